#pragma once

#include <cstdint>

namespace orba {

// What tells one state of a file's content from another: any write, truncation or replacement
// changes at least one of these.
struct FileStamp {
    std::uint64_t volume = 0;
    std::uint64_t identity = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // nanoseconds or the platform's own ticks
    std::int64_t changed = 0;
    bool operator==(const FileStamp&) const = default;
};

}  // namespace orba
