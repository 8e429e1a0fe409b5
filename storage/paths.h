#pragma once

// Paths, for every layer: how a system writes them (the separator between folders, and whether a
// path may begin with a drive letter, so that "E:\" is a drive root), and the rules built on it.
// One rule tells a separator: the style's own, and on Windows a slash as well. Paths are joined
// by plain concatenation with one separator.

#include <optional>
#include <string>
#include <string_view>

namespace orba {

// A parameter where the Windows form must be checked on any build.
struct PathStyle {
    char separator;
    bool hasDriveLetters;
};

inline constexpr PathStyle kWindowsPathStyle{'\\', true};
inline constexpr PathStyle kPosixPathStyle{'/', false};
#ifdef _WIN32
inline constexpr PathStyle kNativePathStyle = kWindowsPathStyle;
#else
inline constexpr PathStyle kNativePathStyle = kPosixPathStyle;
#endif

// Whether `c` separates folders in `style`: on Windows a slash does as well as a backslash.
constexpr bool IsSeparator(char c, PathStyle style = kNativePathStyle) {
    return c == style.separator || (style.hasDriveLetters && c == '/');
}

// `folder`, one separator and `name`, as they stand.
std::string JoinPath(std::string_view folder, std::string_view name,
                     PathStyle style = kNativePathStyle);

// `folder` with a separator at its end, added only when missing.
std::string WithTrailingSeparator(std::string_view folder, PathStyle style = kNativePathStyle);

// `path` without its last character when that is a separator; only one is removed.
std::string CutLastBackslash(std::string_view path, PathStyle style = kNativePathStyle);

// `path` as two paths that name the same file by the same letters compare: ASCII letters in lower
// case, and every separator written as the style's own.
std::string ComparablePath(std::string_view path, PathStyle style = kNativePathStyle);

// The template picker's folder part: the text in front of the last of the style's own separators
// in `path` (empty when that is the first character), or nothing when `path` holds none. Only the
// style's own counts here, the backslash on Windows, as the window has always taken it.
std::optional<std::string> FolderPartOf(std::string_view path, PathStyle style = kNativePathStyle);

// A path's folder and its last name, split at its last separator. The folder is the root itself
// for a name in the root, "." for a path without a separator.
std::string FolderOf(std::string_view path);
std::string_view NameOf(std::string_view path);

}  // namespace orba
