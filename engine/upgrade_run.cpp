#include "engine/upgrade_run.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "engine/data_block.h"
#include "engine/document_upgrade.h"
#include "engine/listing.h"
#include "engine/markers.h"
#include "engine/paths.h"
#include "engine/text.h"
#include "storage/file_reasons.h"
#include "storage/prepared_output.h"
#include "storage/utf8_file.h"

namespace orba {

namespace {

constexpr std::string_view kOutputFolderName = "NewORBA";
constexpr std::string_view kDocumentPattern = "*.html";

// An input problem, and what was found at the path it is about.
struct Refusal {
    InputProblem problem;
    FoundAtPath found = FoundAtPath::Nothing;
};

RunResult Refuse(RunHost& host, Refusal refusal) {
    host.ShowInputProblem(refusal.problem, refusal.found);
    return {RunOutcome::Refused, 0, refusal.problem, refusal.found};
}

// The template itself, lying in the old-version folder, is not upgraded. The names must agree
// without regard to letter case and name the very same file: on a file system where case tells
// files apart, Tpl.html and tpl.html are two documents.
bool IsTheTemplate(const Files& files, const std::string& documentPath,
                   const std::string& templatePath) {
    return ComparablePath(TrimSpaces(documentPath)) == ComparablePath(TrimSpaces(templatePath)) &&
           files.IsSameFile(documentPath, templatePath);
}

// The run's waits for files that other programs hold are its host's.
class WaitThroughHost final : public HeldFileWait {
  public:
    explicit WaitThroughHost(RunHost& host) : host_(host) {}
    bool Pause(std::chrono::milliseconds pause) override { return host_.PauseWhileFileHeld(pause); }

  private:
    RunHost& host_;
};

// Stops the run when the user asked for it: looked at between any two steps.
void StopIfAsked(const Files& files, RunHost& host) {
    files.ThrowIfStopped();
    if (!host.KeepGoing()) {
        throw WaitEnded();
    }
}

// Whether the run must make its output folder: not where a folder (or a link to one) stands. Any
// other thing at that name, a file or a link that leads nowhere, stops the run and the dry run
// alike, before anything is made. One look decides: another run that makes the folder between
// two looks would otherwise make it look taken. An output folder that is the old-version folder
// itself (a link to it, a mount of it) would have the outputs replace the old documents.
bool OutputFolderMustBeMade(const Files& files, const std::string& oldFolder,
                            const std::string& outputFolder) {
    switch (files.KindOf(outputFolder)) {
        case sys::PathKind::Folder:
            if (files.IsSameFile(outputFolder, oldFolder)) {
                throw FileError(FileError::Operation::WriteInFolder, outputFolder,
                                reasons::Own::LeadsBackToFolder);
            }
            return false;
        case sys::PathKind::Nothing:
            return true;
        case sys::PathKind::OrdinaryFile:
        case sys::PathKind::Other:
            break;
    }
    throw FileError(FileError::Operation::CreateFolder, outputFolder, reasons::Own::NameTaken);
}

// Whether a run could make its output folder and write into it, tried with a temporary file that
// leaves nothing: in the output folder where it stands, else where it would be made, when a
// refusal is the run's failure to make the folder.
void CheckOutputsCanBeWritten(const Files& files, const std::string& oldFolder,
                              const std::string& outputFolder) {
    const bool mustBeMade = OutputFolderMustBeMade(files, oldFolder, outputFolder);
    const std::string& folder = mustBeMade ? oldFolder : outputFolder;
    try {
        const PreparedOutput trial(files, JoinPath(folder, "trial.html"));
    } catch (const FileError& error) {
        throw FileError(
            mustBeMade ? FileError::Operation::CreateFolder : FileError::Operation::WriteInFolder,
            mustBeMade ? outputFolder : folder, error.reason());
    }
}

// A path pasted with the double quotes that Windows' "Copy as path" puts around it: the quotes go
// when the quoted path names nothing, as they cannot be part of a Windows name; on POSIX a name
// that holds them is taken as it stands.
std::string Unquoted(std::string_view path, const Files& files) {
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"' &&
        files.KindOf(std::string(path)) == sys::PathKind::Nothing) {
        path = path.substr(1, path.size() - 2);
    }
    return std::string(path);
}

// No more documents prepared ahead than the open-file limit allows: each holds up to three files
// open at once (the document, its output, the folder it is named in), and the process keeps room
// for its own.
std::size_t WithinOpenFileLimit(std::size_t prepareAhead) {
    constexpr std::uint64_t kKeptFree = 16;
    constexpr std::uint64_t kPerDocument = 3;
    const std::uint64_t limit = sys::OpenFileLimit();
    const std::uint64_t documents = limit > kKeptFree ? (limit - kKeptFree) / kPerDocument : 0;
    // One of them is the document that the run's own thread prepares.
    return static_cast<std::size_t>(
        std::min<std::uint64_t>(prepareAhead, documents > 0 ? documents - 1 : 0));
}

// The two inputs as the run checks them, in its fixed order: the first problem found, or none.
struct CheckedInputs {
    std::string templatePath;
    LoadedFile templateText;
    std::string oldFolder;
};

std::optional<Refusal> CheckInputs(std::string_view templateBox, std::string_view folderBox,
                                   const Files& files, CheckedInputs& inputs) {
    inputs.templatePath = Unquoted(TrimSpaces(templateBox), files);
    if (inputs.templatePath.empty()) {
        return Refusal{InputProblem::TemplateNotGiven};
    }
    if (!FileExists(inputs.templatePath, files)) {
        // A folder here is often the two paths in the wrong order.
        return Refusal{InputProblem::TemplateNotFound,
                       files.IsFolder(CutLastBackslash(inputs.templatePath))
                           ? FoundAtPath::Folder
                           : FoundAtPath::Nothing};
    }
    const auto blockOf = [&] {
        return ExtractStringBetween(inputs.templateText.bytes(), kStartMarker, kEndMarker);
    };
    files.ReadComplete(inputs.templatePath, inputs.templateText,
                       [&] { return !TrimSpaces(blockOf()).empty(); });
    if (TrimSpaces(blockOf()).empty()) {
        return Refusal{InputProblem::TemplateBlockBlank, FoundAtPath::File};
    }
    inputs.oldFolder = CutLastBackslash(Unquoted(TrimSpaces(folderBox), files));
    if (inputs.oldFolder.empty()) {
        return Refusal{InputProblem::FolderNotGiven};
    }
    if (const FoundAtPath found = LookAtFolder(inputs.oldFolder, files);
        found != FoundAtPath::Folder) {
        return Refusal{InputProblem::FolderHasNoFiles, found};
    }
    return std::nullopt;
}

// The output folder among the old-version folder's entries: the run's own, not accounted for.
bool IsOutputFolder(const sys::FolderEntry& entry) {
    return entry.folder && (NativePathStyle().hasDriveLetters
                                ? AsciiLower(entry.name) == AsciiLower(kOutputFolderName)
                                : entry.name == kOutputFolderName);
}

// The plan that the run and the dry run share: every entry of the old-version folder in the
// order of its names, each told for what it is, those that are not documents (and the template
// lying among them) at once; returned are the *.html documents to read, in that order.
std::vector<std::string> DocumentsOf(const Files& files, const CheckedInputs& inputs,
                                     RunHost& host) {
    std::vector<sys::FolderEntry> entries = files.ListEntries(inputs.oldFolder);
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    std::vector<std::string> documents;
    for (sys::FolderEntry& entry : entries) {
        const std::string& name = entry.name;
        if (const auto notADocument = WhyNotADocument(entry, kDocumentPattern)) {
            if (!IsOutputFolder(entry)) {
                host.NotLookedAt(name, *notADocument);
            }
        } else if (IsTheTemplate(files, JoinPath(inputs.oldFolder, name), inputs.templatePath)) {
            host.PassedOver(name, PassedOverReason::TheTemplate);
        } else {
            documents.push_back(std::move(entry.name));
        }
    }
    return documents;
}

}  // namespace

RunResult CheckUpgrade(std::string_view templateBox, std::string_view folderBox, RunHost& host,
                       const Files& givenFiles) {
    std::uint64_t wouldUpgrade = 0;
    std::uint64_t unreadable = 0;
    WaitThroughHost wait(host);
    const Files files = givenFiles.WaitingThrough(wait);
    try {
        CheckedInputs inputs;
        if (const auto refusal = CheckInputs(templateBox, folderBox, files, inputs)) {
            return Refuse(host, *refusal);
        }
        StopIfAsked(files, host);
        CheckOutputsCanBeWritten(files, inputs.oldFolder,
                                 JoinPath(inputs.oldFolder, kOutputFolderName));
        std::vector<char> buffer(kReadBufferSize);
        for (const std::string& name : DocumentsOf(files, inputs, host)) {
            StopIfAsked(files, host);
            const std::string documentPath = JoinPath(inputs.oldFolder, name);
            std::optional<PassedOverReason> passedOver;
            try {
                passedOver = WhyPassedOver(files, documentPath, buffer);
            } catch (const FileError& error) {
                // A preview finds every problem in one go.
                host.ShowFailure(error, Stopped::CheckGoesOn);
                ++unreadable;
                continue;
            }
            if (passedOver) {
                host.PassedOver(name, *passedOver);
                continue;
            }
            ++wouldUpgrade;
            host.WouldUpgrade(name);
        }
        RunResult result{unreadable > 0 ? RunOutcome::Failed : RunOutcome::Completed, wouldUpgrade};
        result.unreadable = unreadable;
        return result;
    } catch (const WaitEnded&) {
        return {RunOutcome::Stopped, wouldUpgrade};
    } catch (const FileError& error) {
        host.ShowFailure(error, Stopped::Check);
        return {RunOutcome::Failed, wouldUpgrade};
    } catch (const std::exception& error) {
        host.ShowUnexpectedFailure(error.what(), Stopped::Check);
        return {RunOutcome::Failed, wouldUpgrade};
    }
}

RunResult RunUpgrade(std::string_view templateBox, std::string_view folderBox, RunHost& host,
                     const Files& givenFiles, std::size_t prepareAhead) {
    std::uint64_t upgraded = 0;
    WaitThroughHost wait(host);
    const Files files = givenFiles.WaitingThrough(wait);
    prepareAhead = WithinOpenFileLimit(prepareAhead);
    std::string outputFolder;  // once known
    std::string oldFolder;
    bool madeOutputFolder = false;
    // Where outputs must be on the disk, so must their names, and the output folder's own.
    const auto putNamesOnDisk = [&] {
        const auto flushNames = [&](const std::string& folder) {
            if (const auto refusal = files.FlushFolder(folder)) {
                host.FolderFlushRefused(host.Shown(folder, ShownIn::Message), *refusal);
            }
        };
        flushNames(outputFolder);
        if (madeOutputFolder) {
            flushNames(oldFolder);
        }
    };
    // A run that fails or is stopped puts the names of what it wrote on the disk before it says
    // so, as a completed run does: "every file written before is kept" holds through a power cut.
    // One that ends before its first output takes away the output folder it made, if nothing else
    // was put there meanwhile.
    const auto ended = [&](RunOutcome outcome) {
        if (upgraded > 0) {
            try {
                putNamesOnDisk();
            } catch (const FileError&) {
                // What ended the run is what the user is told.
            }
        } else if (madeOutputFolder) {
            files.RemoveEmptyFolder(outputFolder);
        }
        return RunResult{outcome, upgraded};
    };
    try {
        // The template text and the places of its data block are fixed for the whole run.
        CheckedInputs inputs;
        if (const auto refusal = CheckInputs(templateBox, folderBox, files, inputs)) {
            return Refuse(host, *refusal);
        }
        oldFolder = inputs.oldFolder;
        const TemplateTransplant transplant(inputs.templateText.bytes(), kStartMarker, kEndMarker);
        StopIfAsked(files, host);

        outputFolder = JoinPath(oldFolder, kOutputFolderName);
        if (OutputFolderMustBeMade(files, oldFolder, outputFolder)) {
            files.CreateFolder(outputFolder);
            madeOutputFolder = true;
        }
        files.RemoveLeftovers(outputFolder);
        const std::vector<std::string> documents = DocumentsOf(files, inputs, host);
        host.AppendLog(StartEntry());
        host.Progress(0, documents.size());
        // Each document being prepared at once has a buffer of its own: the one prepared k-th
        // uses buffer k modulo their number, free again once the one before it was taken.
        std::vector<std::vector<char>> buffers(std::max<std::size_t>(prepareAhead, 1),
                                               std::vector<char>(kReadBufferSize));
        const auto prepare = [&](std::size_t index) {
            const std::string& name = documents[index];
            return PrepareUpgrade(files, transplant, JoinPath(oldFolder, name),
                                  JoinPath(outputFolder, name), buffers[index % buffers.size()]);
        };
        // Up to `prepareAhead` documents are prepared side by side with the one taking its place.
        // Outputs take their names, log entries are made and failures are met strictly in the
        // order of the listing, so the run reads the same either way; a prepared output that is
        // never used leaves no trace.
        std::deque<std::future<PreparedUpgrade>> ahead;
        std::size_t nextToPrepare = 0;
        for (std::size_t index = 0; index < documents.size(); ++index) {
            const std::string& name = documents[index];
            StopIfAsked(files, host);
            while (ahead.size() < prepareAhead && nextToPrepare < documents.size()) {
                ahead.push_back(std::async(std::launch::async, prepare, nextToPrepare++));
            }
            PreparedUpgrade prepared;
            if (ahead.empty()) {
                prepared = prepare(index);
                ++nextToPrepare;
            } else {
                prepared = ahead.front().get();
                ahead.pop_front();
            }
            std::optional<PreparedOutput>& output = prepared.output;
            if (!output) {
                host.PassedOver(name, prepared.passedOver);
                host.Progress(index + 1, documents.size());
                continue;
            }
            output->Commit();
            ++upgraded;
            host.AppendLog(DocumentEntry(upgraded, host.Shown(name, ShownIn::Log)));
            host.Progress(index + 1, documents.size());
            if (!host.AfterDocumentEntry()) {
                return ended(RunOutcome::Stopped);
            }
        }

        putNamesOnDisk();
        host.AppendLog(EndEntry(upgraded));
        host.AppendLog(ResultEntry(host.Shown(outputFolder, ShownIn::Log)));
        host.AfterResultEntry();
        return {RunOutcome::Completed, upgraded};
    } catch (const WaitEnded&) {
        return ended(RunOutcome::Stopped);
    } catch (const FileError& error) {
        const RunResult result = ended(RunOutcome::Failed);
        host.ShowFailure(error, result.upgraded > 0 ? Stopped::Run : Stopped::RunBeforeAnyOutput);
        return result;
    } catch (const std::exception& error) {
        // Out of memory, say: the run stops as after a file failure, and says so.
        const RunResult result = ended(RunOutcome::Failed);
        host.ShowUnexpectedFailure(
            error.what(), result.upgraded > 0 ? Stopped::Run : Stopped::RunBeforeAnyOutput);
        return result;
    }
}

}  // namespace orba
