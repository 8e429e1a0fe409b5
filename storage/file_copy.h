#pragma once

// A plain byte copy of one file, as the window saves a sample where the user asks.

#include <string>

#include "storage/files.h"

namespace orba {

// Copies the file at `from` to `to` byte for byte: `to` either keeps what it held or holds the
// whole copy, never half of it. Throws FileError naming the file that could not be read or
// written.
void CopyFile(const Files& files, const std::string& from, const std::string& to);

}  // namespace orba
