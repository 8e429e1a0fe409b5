#pragma once

// The names of the temporary files that outputs are written to before they take their place.

#include <cstdint>
#include <string>
#include <string_view>

namespace orba {

inline constexpr std::string_view kTemporaryPrefix = ".orba-upgrade-";
inline constexpr std::string_view kTemporarySuffix = ".tmp";

// A fresh name for a temporary file in `folder`: random, so that runs side by side never pick
// the same one; the exclusive create settles the rare clash. `process` sets this process apart.
std::string TemporaryPathIn(const std::string& folder, std::uint64_t process);

// True for the name (without folder) of such a file, whichever run made it.
bool IsTemporaryName(std::string_view name);

}  // namespace orba
