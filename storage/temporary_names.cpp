#include "storage/temporary_names.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>

#include "storage/files.h"
#include "storage/platform.h"
#include "storage/system_calls.h"

namespace orba {

std::string TemporaryPathIn(const std::string& folder) {
    thread_local std::mt19937_64 random(
        std::random_device{}() ^ (sys::ProcessNumber() << 32) ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
    return folder + platform::kPathSeparator + std::string(Files::kTemporaryPrefix) + suffix +
           std::string(Files::kTemporarySuffix);
}

bool IsTemporaryName(std::string_view name) {
    return name.starts_with(Files::kTemporaryPrefix) && name.ends_with(Files::kTemporarySuffix);
}

}  // namespace orba
