#pragma once

// The command line's texts, in Chinese or English: the usage, the lines of a dry run and of
// --verbose, and every message on standard error, each line ended as the platform ends lines.
// Only the run's log is the window's, in Chinese with CR LF, whatever the language.

#include <cstdint>
#include <string>
#include <string_view>

#include "app/language.h"
#include "app/texts_zh.h"
#include "cli/arguments.h"
#include "engine/run_facts.h"

namespace orba::cli {

using app::Language;
using app::LanguageFromEnvironment;

#ifdef _WIN32
inline constexpr std::string_view kLineEnd = "\r\n";
#else
inline constexpr std::string_view kLineEnd = "\n";
#endif

std::string Usage(Language language);
// What is wrong with the words given, and where to find out more, as GNU tools say it: two lines.
// `word` is the word the error is about, as it is to be shown.
std::string UsageErrorLines(Language language, UsageError::Kind kind, std::string_view word);
// An input problem as the command line tells it: the window's message (in Chinese) or its English
// words for what was found at the path, then a line with the path it is about, as it is to be
// shown. A folder given as the template, or a file as the folder, is said to be one, with a hint
// that the two may be in the wrong order.
std::string InputProblemLines(Language language, InputProblem problem, FoundAtPath found,
                              std::string_view shownPath);

// Standard output could not be written: the line for standard error, with the system's reason.
std::string WriteErrorLine(Language language, std::string_view reason);
// Standard output, as a failure message names it.
std::string_view StandardOutputName(Language language);

// A failure that stopped the run or the dry run: the window's message, or its English words, with
// the reason: the system's words, or the program's own in the language.
std::string FailureLines(Language language, const FileError& error, std::string_view shownPath,
                         Stopped stopped);
std::string UnexpectedFailureLines(Language language, std::string_view shownDescription,
                                   Stopped stopped);

// With --sync and -v: the file system refused to flush `folder`'s names, for `reason`.
std::string FolderFlushRefusedLine(Language language, std::string_view folder,
                                   std::string_view reason);

// A dry run's line, or with -v a run's, for a document whose output was compared with what stood
// at its name.
std::string WouldUpgradeLine(Language language, std::string_view name, UpgradeChange change);
std::string UpgradedLine(Language language, std::string_view name, UpgradeChange change);
std::string PassedOverLine(Language language, std::string_view name, PassedOverReason reason);
std::string NotLookedAtLine(Language language, std::string_view name, NotLookedAtReason reason);

// How many entries of the folder went each way.
struct Counts {
    std::uint64_t upgraded = 0;
    std::uint64_t passedOver = 0;
    std::uint64_t notLookedAt = 0;
    std::uint64_t failed = 0;   // could not be read (a dry run), or read or written (a run)
    std::uint64_t folders = 0;  // handled, told where the run went through a folder tree

    std::uint64_t notUpgraded() const { return passedOver + notLookedAt + failed; }
};
// The dry run's closing line: the counts of each kind, the entries not looked at and the
// documents that could not be read where there are some.
std::string DryRunSummary(Language language, const Counts& counts);
// The closing line of a run on standard error: the same counts; `namedEach` says whether each
// entry not upgraded was named (-v), or else that -v names them.
std::string RunSummary(Language language, const Counts& counts, bool namedEach = true);

}  // namespace orba::cli
