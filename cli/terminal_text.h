#pragma once

// Names and paths shown on a terminal. A file name is input from anyone who can put a file into
// a folder: its control characters could move the cursor, set the terminal's title or worse.

#include <cstdio>
#include <string>
#include <string_view>

namespace orba::cli {

// `text` with every byte that a terminal could take for a command, or that is no text, written
// as a backslash and three octal digits, as `ls -b` writes it: control characters (C0, DEL and
// C1), line and paragraph separators, format characters that show as nothing or reorder the text
// (bidirectional controls, zero-width characters, the byte order mark, tag characters), and bytes
// that are not UTF-8. Everything else, Chinese included, stays.
std::string TerminalSafe(std::string_view text);

// True when `stream` writes to a terminal (a console on Windows).
bool IsTerminal(std::FILE* stream);

}  // namespace orba::cli
