#pragma once

// Text conversions for the Windows-only code around the platform file (the command line's entry
// point, tests). Windows only.

#include <string>
#include <string_view>

namespace orba::platform {

std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

}  // namespace orba::platform
