#pragma once

// The program's Chinese texts, shared by the window and the command line: the five input
// messages, the progress log's entries, the messages of failures and the program's own reasons.
// All UTF-8, with CR LF line breaks.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/run_facts.h"
#include "storage/file_error.h"

namespace orba::zh {

std::string_view InputProblemMessage(InputProblem problem);

// The progress log's entries: the same log, whichever front end writes it.
std::string StartEntry();
std::string DocumentEntry(std::uint64_t number, std::string_view name);
// The end entry and the result entry of a completed run.
std::string EndEntries(std::uint64_t count, std::string_view outputFolder);

// What went wrong, with which file, the reason, and what became of the outputs: the window's
// message box.
std::string FailureMessage(const FileError& error, Stopped stopped);
// The same for a failure that is not a file's (out of memory, for one), with its description.
std::string UnexpectedFailureMessage(std::string_view description, Stopped stopped = Stopped::Run);

// The lines of those messages, for a front end that ends lines its own way (the headings and
// reasons are app::HeadingWords and app::ReasonWords): the label of the reason, and what became
// of the outputs, which the window says alike for a stop before the first output.
inline constexpr std::string_view kUnexpectedFailureHeading =
    "【意外错误】：升级过程中发生了意外错误。";
inline constexpr std::string_view kReasonLabel = "系统原因：";
std::string_view StoppedLine(Stopped stopped);

// The dialog control file could not be copied to `destination`; the program then starts all the
// same. The message names the file that could not be written; when it was the application's copy
// that could not be read, the reason says so, naming that one.
std::string ProvisioningFailureMessage(const FileError& error, std::string_view destination);

}  // namespace orba::zh
