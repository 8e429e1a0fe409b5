#pragma once

// The names of the temporary files that outputs are written to before they take their place, and
// of the mark a run leaves beside them while it may hold one closed.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orba {

inline constexpr std::string_view kTemporaryPrefix = ".orba-upgrade-";
inline constexpr std::string_view kTemporarySuffix = ".tmp";
inline constexpr std::string_view kRunMarkSuffix = ".run";

// A name that sets one run apart from every other, for its temporaries and its mark: random.
std::string NewRunName(std::uint64_t process);

// A fresh name for a temporary file of the run `run` in `folder`: random, so that runs side by
// side never pick the same one; the exclusive create settles the rare clash. `process` sets this
// process apart where the system's random source does not.
std::string TemporaryPathIn(const std::string& folder, std::string_view run, std::uint64_t process);

// True for the name (without folder) of such a file, whichever run made it.
bool IsTemporaryName(std::string_view name);
// The run a temporary's name tells, if it tells one (earlier versions' names do not).
std::optional<std::string_view> RunOf(std::string_view temporaryName);

// The name of the mark of the run `run`: a file the run holds open, and locked where the system
// has locks, from before it closes a temporary for its rename (as a share that renames no open
// file asks) until it ends; a clean-up leaves that run's temporaries alone while it stands.
std::string RunMarkName(std::string_view run);
bool IsRunMarkName(std::string_view name);

}  // namespace orba
