#pragma once

// Finding a marker in a document at memory speed. Real documents are HTML and JavaScript, full of
// the bytes a marker begins and ends with, so the search filters on the marker's two rarest bytes
// at their distance, many positions at once, and checks the few candidates whole.

#include <cstddef>
#include <string_view>

namespace orba {

// Byte offset of the first `needle` in `haystack` at or after `from`, or npos. An empty needle is
// found at `from` when `from` lies within the haystack.
std::size_t FindBytes(std::string_view haystack, std::string_view needle, std::size_t from);

// The same, one position after another: the reference that FindBytes must always agree with.
std::size_t FindBytesPlain(std::string_view haystack, std::string_view needle, std::size_t from);

}  // namespace orba
