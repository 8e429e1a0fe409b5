#pragma once

// Text and path conversions for the Windows-only code around the platform file (the programs'
// entry points, the folder picker, tests). Windows only.

#include <string>
#include <string_view>

namespace orba::platform {

std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

// `path` in the extended-length form that Windows accepts beyond MAX_PATH characters: made
// absolute and resolved ("." and "..", slashes) as Windows resolves an ordinary path, then
// prefixed with \\?\ (a drive path) or \\?\UNC\ (\\server\share). A path already in that form, or
// a device path, is returned as it is.
std::wstring ExtendedLengthPath(std::wstring_view path);

}  // namespace orba::platform
