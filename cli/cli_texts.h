#pragma once

// The command line's own texts, in Chinese or English: the usage and the lines of a dry run and
// of --verbose. The run's log and messages are the system's, in Chinese, whatever the language.

#include <cstdint>
#include <string>
#include <string_view>

#include "app/language.h"
#include "cli/arguments.h"
#include "engine/run_host.h"
#include "engine/run_texts.h"

namespace orba::cli {

using app::Language;
using app::LanguageFromEnvironment;

std::string_view Usage(Language language);
// What is wrong with the words given, and where to find out more, as GNU tools say it: two lines.
// `word` is the word the error is about, as it is to be shown.
std::string UsageErrorLines(Language language, UsageError::Kind kind, std::string_view word);
// What stands at a folder that holds no files to upgrade.
enum class FolderState { NotThere, Unreadable, WithoutFiles };

// An input problem as the command line tells it: the window's message (in Chinese) or its English
// words, then a line with the path it is about, as given and as it is to be shown. `folder` tells
// the English words of a folder without files apart from a folder that is not there.
std::string InputProblemLines(Language language, InputProblem problem, FolderState folder,
                              std::string_view shownPath);

// Standard output could not be written: the line for standard error, with the system's reason.
std::string WriteErrorLine(Language language, std::string_view reason);

std::string WouldUpgradeLine(Language language, std::string_view name);
std::string PassedOverLine(Language language, std::string_view name, PassedOverReason reason);
std::string DryRunSummary(Language language, std::uint64_t upgrade, std::uint64_t passedOver);

}  // namespace orba::cli
