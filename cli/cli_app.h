#pragma once

#include <cstdio>
#include <span>
#include <string_view>

#include "cli/cli_texts.h"

namespace orba {

// Exit statuses of orba-upgrade.
enum ExitStatus : int {
    kExitCompleted = 0,
    kExitFailed = 1,
    kExitRefused = 2,
    kExitUsage = 64,
};

// Runs `orba-upgrade [OPTION]... TEMPLATE FOLDER` (arguments without the program name). The
// progress log goes to `out` entry by entry, messages to `err`; the usage and the lines of a dry
// run and of --verbose are in `language`.
int RunCommandLine(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err,
                   cli::Language language);

}  // namespace orba
