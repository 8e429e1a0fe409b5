#pragma once

// Whole-file reading and writing of UTF-8 text. Text is kept as the file's own bytes: line endings,
// a byte-order mark and invalid sequences pass through untouched in both directions.

#include <span>
#include <string>
#include <string_view>

#include "storage/files.h"

namespace orba {

// The whole content of the file at `fileName`. Throws FileError.
std::string LoadAsUTF8(const std::string& fileName);

// Creates or replaces the file at `fileName` with `text`, never leaving it half-written.
// Throws FileError.
void SaveAsUTF8(std::string_view text, const std::string& fileName);

// The same with the text given as consecutive pieces, written without joining them first.
void SaveAsUTF8(std::span<const std::string_view> pieces, const std::string& fileName,
                const Files& files = Files());

}  // namespace orba
