#pragma once

// The command line's words: options, as GNU tools take them, and the two operands.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orba::cli {

// What is wrong with the words, and the word it is about.
struct UsageError {
    enum class Kind {
        UnrecognizedOption,
        InvalidOption,
        MissingOperands,
        MissingFolder,
        ExtraOperand
    };
    Kind kind;
    std::string
        word;  // the option, the letter, the operand before the missing one, or the extra one
};

struct Arguments {
    bool help = false;
    bool version = false;
    bool dryRun = false;
    bool verbose = false;
    bool sync = false;
    bool recursive = false;
    bool keepGoing = false;
    std::vector<std::string_view> operands;  // TEMPLATE and FOLDER
    std::optional<UsageError> error;
};

// Short options may be given together ("-nv"); "--" ends the options; a lone "-" is an operand.
// The first problem found is kept; --help and --version need no operands.
Arguments ParseArguments(std::span<const std::string_view> words);

}  // namespace orba::cli
