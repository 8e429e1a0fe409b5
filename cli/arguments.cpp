#include "cli/arguments.h"

namespace orba::cli {

namespace {

// The option a long name or a short letter stands for; null when there is none.
bool* Option(Arguments& arguments, std::string_view longName, char letter) {
    struct Entry {
        std::string_view longName;
        char letter;
        bool Arguments::*flag;
    };
    static constexpr Entry kOptions[] = {
        {"help", 'h', &Arguments::help},           {"version", 'V', &Arguments::version},
        {"dry-run", 'n', &Arguments::dryRun},      {"verbose", 'v', &Arguments::verbose},
        {"sync", '\0', &Arguments::sync},          {"recursive", 'r', &Arguments::recursive},
        {"keep-going", 'k', &Arguments::keepGoing}};
    for (const Entry& entry : kOptions) {
        if ((!longName.empty() && entry.longName == longName) ||
            (longName.empty() && entry.letter != '\0' && entry.letter == letter)) {
            return &(arguments.*entry.flag);
        }
    }
    return nullptr;
}

}  // namespace

Arguments ParseArguments(std::span<const std::string_view> words) {
    Arguments arguments;
    const auto fail = [&](UsageError::Kind kind, std::string_view word) {
        if (!arguments.error) {
            arguments.error = UsageError{kind, std::string(word)};
        }
    };
    bool optionsEnded = false;
    for (const std::string_view word : words) {
        if (optionsEnded || word.size() < 2 || !word.starts_with('-')) {
            arguments.operands.push_back(word);
        } else if (word == "--") {
            optionsEnded = true;
        } else if (word.starts_with("--")) {
            if (bool* flag = Option(arguments, word.substr(2), '\0')) {
                *flag = true;
            } else {
                fail(UsageError::Kind::UnrecognizedOption, word);
            }
        } else {
            for (const char letter : word.substr(1)) {
                if (bool* flag = Option(arguments, {}, letter)) {
                    *flag = true;
                } else {
                    fail(UsageError::Kind::InvalidOption, std::string_view(&letter, 1));
                }
            }
        }
    }
    if (arguments.error || arguments.help || arguments.version) {
        return arguments;
    }
    if (arguments.operands.empty()) {
        fail(UsageError::Kind::MissingOperands, {});
    } else if (arguments.operands.size() == 1) {
        fail(UsageError::Kind::MissingFolder, arguments.operands[0]);
    } else if (arguments.operands.size() > 2) {
        fail(UsageError::Kind::ExtraOperand, arguments.operands[2]);
    }
    return arguments;
}

}  // namespace orba::cli
