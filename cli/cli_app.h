#pragma once

#include <cstdio>
#include <span>
#include <stop_token>
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
// progress log goes to `out` entry by entry, messages to `err`; the usage, the lines of a dry
// run and of --verbose and the messages are in `language`. Once `stop` is requested (by a signal
// that asks the program to end), the run and the dry run go no further: the document in hand is
// dropped, however far it was read, no further document is begun, and what was written is put on
// the disk as --sync asks.
int RunCommandLine(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err,
                   cli::Language language, std::stop_token stop = {});

}  // namespace orba
