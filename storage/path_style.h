#pragma once

// How a system writes paths: the separator between folders, and whether a path may begin with a
// drive letter (so that a folder like "E:\" is a drive root). A parameter where the Windows form
// must be checked on any build.

namespace orba {

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

}  // namespace orba
