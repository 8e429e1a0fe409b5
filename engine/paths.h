#pragma once

// Path rules of the run and the window. Paths are joined by plain concatenation with one
// separator.

#include <optional>
#include <string>
#include <string_view>

#include "storage/path_style.h"

namespace orba {

// `path` as two paths that name the same file by the same letters compare: ASCII letters in lower
// case, and every separator written as the style's own.
std::string ComparablePath(std::string_view path, PathStyle style = kNativePathStyle);

// `path` without its last character when that is the separator; only one is removed.
std::string CutLastBackslash(std::string_view path, PathStyle style = kNativePathStyle);

// `folder`, one separator and `name`, as they stand.
std::string JoinPath(std::string_view folder, std::string_view name,
                     PathStyle style = kNativePathStyle);

// `folder` with a separator at its end, added only when missing.
std::string WithTrailingSeparator(std::string_view folder, PathStyle style = kNativePathStyle);

// The text in front of the last separator of `path` (empty when the separator is the first
// character), or nothing when `path` holds no separator.
std::optional<std::string> FolderPartOf(std::string_view path, PathStyle style = kNativePathStyle);

}  // namespace orba
