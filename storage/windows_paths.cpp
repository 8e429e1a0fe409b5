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

namespace {

// `path` made absolute and resolved as Windows resolves an ordinary path; empty when it cannot be.
std::wstring FullPath(const std::wstring& path) {
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return {};
    }
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        return {};
    }
    full.resize(length);
    return full;
}

}  // namespace

std::wstring ExtendedLengthPath(std::wstring_view path) {
    if (path.empty() || path.starts_with(LR"(\\?\)") || path.starts_with(LR"(\\.\)")) {
        return std::wstring(path);
    }
    // The full path resolves a relative path, "." and "..", and turns slashes into backslashes,
    // as Windows does for a path of ordinary length; the prefix then lifts the length limit. Only
    // the folder part is resolved: the last part is a name as a listing gives it, and resolving
    // aux.html, con.html or nul.html as a whole path would reach the device of that name, and a
    // name's trailing dots and spaces would be cut off.
    const std::size_t last = path.find_last_of(L"\\/");
    const std::wstring_view name =
        last == std::wstring_view::npos ? std::wstring_view{} : path.substr(last + 1);
    std::wstring full;
    if (name.empty() || name == L"." || name == L"..") {
        full = FullPath(std::wstring(path));
    } else {
        full = FullPath(std::wstring(path.substr(0, last + 1)));
        if (!full.empty()) {
            if (!full.ends_with(L'\\')) {
                full += L'\\';
            }
            full += name;
        }
    }
    if (full.empty()) {
        return std::wstring(path);
    }
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
