#pragma once

// Path rules of the run and the window. Paths are joined by plain concatenation with one
// separator. The style is a parameter so the Windows form (backslash, drive roots) can be checked
// on any build.

#include <optional>
#include <string>
#include <string_view>

namespace orba {

struct PathStyle {
    char separator;
    bool hasDriveLetters;
};

inline constexpr PathStyle kWindowsPathStyle{'\\', true};
inline constexpr PathStyle kPosixPathStyle{'/', false};

PathStyle NativePathStyle();

// Whether `c` separates folders in `style`: on Windows a slash does as well as a backslash.
constexpr bool IsSeparator(char c, PathStyle style) {
    return c == style.separator || (style.hasDriveLetters && c == '/');
}

// `path` as two paths that name the same file by the same letters compare: ASCII letters in lower
// case, and every separator written as the style's own.
std::string ComparablePath(std::string_view path, PathStyle style = NativePathStyle());

// `path` without its last character when that is the separator; only one is removed.
std::string CutLastBackslash(std::string_view path, PathStyle style = NativePathStyle());

// `folder`, one separator and `name`, as they stand.
std::string JoinPath(std::string_view folder, std::string_view name,
                     PathStyle style = NativePathStyle());

// `folder` with a separator at its end, added only when missing.
std::string WithTrailingSeparator(std::string_view folder, PathStyle style = NativePathStyle());

// The text in front of the last separator of `path` (empty when the separator is the first
// character), or nothing when `path` holds no separator.
std::optional<std::string> FolderPartOf(std::string_view path, PathStyle style = NativePathStyle());

}  // namespace orba
