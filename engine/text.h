#pragma once

// Small text rules of the run, on UTF-8 bytes.

#include <string>
#include <string_view>

namespace orba {

// `text` without the spaces (U+0020 and the ideographic space U+3000) at both ends. Tabs and line
// breaks stay.
std::string_view TrimSpaces(std::string_view text);

// `text` with A to Z turned into a to z; every other byte stays.
std::string AsciiLower(std::string_view text);

// Whether `name` matches a listing pattern of literal characters, `*` (any run) and `?` (any one
// byte), without regard to ASCII letter case.
bool MatchesPattern(std::string_view name, std::string_view pattern);

}  // namespace orba
