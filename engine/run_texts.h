#pragma once

// The texts the run shows: the five input messages, the progress log entries, and the message for
// a file-system failure. All UTF-8, with CR LF line breaks.

#include <cstdint>
#include <string>
#include <string_view>

#include "storage/file_error.h"

namespace orba {

// Why a *.html document of the old-version folder gets no upgraded copy: no start marker; a start
// marker without an end marker behind it (a damaged or half-saved map); an empty block; or it is
// the template itself.
enum class PassedOverReason { NoDataBlock, BlockCutOff, EmptyBlock, TheTemplate };

// Why an entry of the old-version folder is not looked at: a name that does not end in .html (a
// .htm file among them), a folder (not looked into), a hidden file, or anything else that is not
// an ordinary file (a device, a FIFO, a link that leads nowhere).
enum class NotLookedAtReason { OtherName, Folder, Hidden, NotAFile };

enum class InputProblem {
    TemplateNotGiven = 1,
    TemplateNotFound = 2,
    TemplateBlockBlank = 3,
    FolderNotGiven = 4,
    FolderHasNoFiles = 5,
};

// What the run found at the path that an input problem is about: for a front end that says more
// than the five messages, and so that none looks at the disk again to learn it.
enum class FoundAtPath {
    Nothing,             // nothing, or nothing that can be looked at
    File,                // a file (where a folder was asked for, or a template without a block)
    Folder,              // a folder (where the template was asked for)
    FolderWithoutFiles,  // a folder that holds no ordinary file
    UnreadableFolder,    // a folder that cannot be listed
};

std::string_view InputProblemMessage(InputProblem problem);

// True for the problems with the template, false for those with the old-version folder.
bool IsAboutTemplate(InputProblem problem);

std::string StartEntry();
std::string DocumentEntry(std::uint64_t number, std::string_view name);
std::string EndEntry(std::uint64_t count);
std::string ResultEntry(std::string_view outputFolder);

// What stopped: a run, whose earlier outputs are intact; a run that had written no output yet;
// or a dry run, which writes nothing. The window says the same of both kinds of run. A dry run
// goes on past a document it cannot read.
enum class Stopped { Run, RunBeforeAnyOutput, Check, CheckGoesOn };

// What went wrong, with which file (shown as `shownPath`, the error's path as it is to be shown),
// the system's reason, and what became of the outputs.
std::string FailureMessage(const FileError& error, std::string_view shownPath,
                           Stopped stopped = Stopped::Run);
inline std::string FailureMessage(const FileError& error) {
    return FailureMessage(error, error.path());
}

// The same for a failure that is not a file's (out of memory, for one), with its description.
std::string UnexpectedFailureMessage(std::string_view description, Stopped stopped = Stopped::Run);

// The lines of those messages, for a front end that ends lines its own way: the heading (a file's
// is followed by its path), the reason behind its label, what became of the outputs.
std::string_view FailureHeading(FileError::Operation operation);
inline constexpr std::string_view kUnexpectedFailureHeading =
    "【意外错误】：升级过程中发生了意外错误。";
inline constexpr std::string_view kReasonLabel = "系统原因：";
std::string_view StoppedLine(Stopped stopped);

}  // namespace orba
