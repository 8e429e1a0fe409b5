#pragma once

// Writing the command line's UTF-8 text. Into files and pipes the bytes go out as they are. A
// Windows console is given the text as UTF-16, so that it shows Chinese whatever its code page,
// and its code page is left as the user had it.

#include <cstdio>
#include <string_view>

namespace orba::cli {

// Writes `utf8` to `stream` and flushes it; false when it could not be written whole.
bool WriteText(std::FILE* stream, std::string_view utf8);

// True when both streams write into the same file or pipe (`> run.log 2>&1`).
bool SameDestination(std::FILE* a, std::FILE* b);

}  // namespace orba::cli
