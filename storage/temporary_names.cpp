#include "storage/temporary_names.h"

#include <chrono>
#include <cstdio>
#include <random>

#include "storage/paths.h"

namespace orba {

namespace {

constexpr std::size_t kRunLength = 16;

std::string RandomHex(std::uint64_t process) {
    thread_local std::mt19937_64 random(
        std::random_device{}() ^ (process << 32) ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(random()));
    return hex;
}

}  // namespace

std::string NewRunName(std::uint64_t process) {
    return RandomHex(process);
}

std::string TemporaryPathIn(const std::string& folder, std::string_view run,
                            std::uint64_t process) {
    return JoinPath(folder, std::string(kTemporaryPrefix) + std::string(run) + "-" +
                                RandomHex(process) + std::string(kTemporarySuffix));
}

bool IsTemporaryName(std::string_view name) {
    return name.starts_with(kTemporaryPrefix) && name.ends_with(kTemporarySuffix);
}

std::optional<std::string_view> RunOf(std::string_view temporaryName) {
    const std::string_view rest = temporaryName.substr(kTemporaryPrefix.size());
    if (!IsTemporaryName(temporaryName) || rest.size() <= kRunLength || rest[kRunLength] != '-') {
        return std::nullopt;
    }
    return rest.substr(0, kRunLength);
}

std::string RunMarkName(std::string_view run) {
    return std::string(kTemporaryPrefix) + std::string(run) + std::string(kRunMarkSuffix);
}

bool IsRunMarkName(std::string_view name) {
    return name.starts_with(kTemporaryPrefix) && name.ends_with(kRunMarkSuffix);
}

}  // namespace orba
