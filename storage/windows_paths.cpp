// Conversions between the UTF-8 paths of the program and the UTF-16 ones of Windows.

#include <windows.h>

#include "storage/windows_paths.h"

namespace orba {

namespace platform {

std::wstring WideFromUtf8(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                          size);
    return wide;
}

std::string Utf8FromWide(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                          nullptr, nullptr);
    return utf8;
}

std::wstring ExtendedLengthPath(std::wstring_view path) {
    if (path.empty() || path.starts_with(LR"(\\?\)") || path.starts_with(LR"(\\.\)")) {
        return std::wstring(path);
    }
    // The full path resolves a relative path, "." and "..", and turns slashes into backslashes,
    // as Windows does for a path of ordinary length; the prefix then lifts the length limit.
    const std::wstring given(path);
    const DWORD needed = ::GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return given;
    }
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(given.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        return given;
    }
    full.resize(length);
    if (full.starts_with(LR"(\\)")) {
        return LR"(\\?\UNC\)" + full.substr(2);
    }
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') {
        return LR"(\\?\)" + full;
    }
    return full;
}

}  // namespace platform

}  // namespace orba
