#include "storage/temporary_names.h"

#include <chrono>
#include <cstdio>
#include <random>

#include "storage/system.h"

namespace orba {

std::string TemporaryPathIn(const std::string& folder, std::uint64_t process) {
    thread_local std::mt19937_64 random(
        std::random_device{}() ^ (process << 32) ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
    return folder + kNativePathStyle.separator + std::string(kTemporaryPrefix) + suffix +
           std::string(kTemporarySuffix);
}

bool IsTemporaryName(std::string_view name) {
    return name.starts_with(kTemporaryPrefix) && name.ends_with(kTemporarySuffix);
}

}  // namespace orba
