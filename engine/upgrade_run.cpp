#include "engine/upgrade_run.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "engine/data_block.h"
#include "engine/document_upgrade.h"
#include "engine/markers.h"
#include "engine/paths.h"
#include "engine/prepared_in_order.h"
#include "engine/run_plan.h"
#include "storage/prepared_output.h"

namespace orba {

namespace {

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
                                OwnReason::LeadsBackToFolder);
            }
            return false;
        case sys::PathKind::Nothing:
            return true;
        case sys::PathKind::OrdinaryFile:
        case sys::PathKind::Other:
            break;
    }
    throw FileError(FileError::Operation::CreateFolder, outputFolder, OwnReason::NameTaken);
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
            mustBeMade ? outputFolder : folder, error);
    }
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

// The output folder's ending, which every way out of a run passes. A run that wrote outputs puts
// their names on the disk (where it flushes) before it says it is over, completed or not: "every
// file written before is kept" holds through a power cut. One that ends before its first output
// takes away the output folder it made, if nothing else was put there meanwhile.
class OutputFolderEnding {
  public:
    OutputFolderEnding(const Files& files, RunObserver& observer, const std::string& oldFolder,
                       const std::uint64_t& upgraded)
        : files_(files), observer_(observer), oldFolder_(oldFolder), upgraded_(upgraded) {}
    OutputFolderEnding(const OutputFolderEnding&) = delete;
    OutputFolderEnding& operator=(const OutputFolderEnding&) = delete;

    void Begin(std::string outputFolder, bool madeByRun) {
        outputFolder_ = std::move(outputFolder);
        madeByRun_ = madeByRun;
    }

    // The run completed: a failure to flush is the run's failure.
    void Complete() {
        completed_ = true;
        PutNamesOnDisk();
    }

    ~OutputFolderEnding() {
        if (completed_ || outputFolder_.empty()) {
            return;
        }
        if (upgraded_ == 0) {
            if (madeByRun_) {
                files_.RemoveEmptyFolder(outputFolder_);
            }
            return;
        }
        try {
            PutNamesOnDisk();
        } catch (...) {
            // What ended the run is what the user is told.
        }
    }

  private:
    // The output folder's names, and the old folder's, which now holds the output folder's name.
    void PutNamesOnDisk() {
        Flush(outputFolder_);
        if (madeByRun_) {
            Flush(oldFolder_);
        }
    }
    void Flush(const std::string& folder) {
        if (const auto refusal = files_.FlushFolder(folder)) {
            observer_.FolderFlushRefused(folder, *refusal);
        }
    }

    const Files& files_;
    RunObserver& observer_;
    const std::string& oldFolder_;
    const std::uint64_t& upgraded_;
    std::string outputFolder_;  // once known
    bool madeByRun_ = false;
    bool completed_ = false;
};

// One upgrade run, in short steps; a stop is looked at between any two of them.
class UpgradeRun {
  public:
    UpgradeRun(const Files& files, RunObserver& observer, std::size_t prepareAhead)
        : files_(files), observer_(observer), prepareAhead_(WithinOpenFileLimit(prepareAhead)) {}

    const std::uint64_t& upgraded() const { return upgraded_; }

    RunResult Run(std::string_view templateBox, std::string_view folderBox) {
        CheckedInputs inputs;
        if (const auto refusal = CheckInputs(templateBox, folderBox, files_, inputs)) {
            observer_.Refused(refusal->problem, refusal->found);
            return {RunOutcome::Refused, 0, refusal->problem, refusal->found};
        }
        // The template text and the places of its data block are fixed for the whole run.
        const TemplateTransplant transplant(inputs.templateText.bytes(), kStartMarker, kEndMarker);
        files_.ThrowIfStopped();
        OutputFolderEnding ending(files_, observer_, inputs.oldFolder, upgraded_);
        const std::string outputFolder = JoinPath(inputs.oldFolder, kOutputFolderName);
        ending.Begin(outputFolder, MakeOutputFolder(inputs.oldFolder, outputFolder));
        files_.RemoveLeftovers(outputFolder);
        const std::vector<std::string> documents = DocumentsOf(files_, inputs, observer_);
        observer_.Started(documents.size());
        UpgradeEach(documents, transplant, inputs.oldFolder, outputFolder);
        files_.ThrowIfStopped();
        ending.Complete();
        observer_.Completed(outputFolder, upgraded_);
        return {RunOutcome::Completed, upgraded_};
    }

  private:
    // Whether the run made the output folder.
    bool MakeOutputFolder(const std::string& oldFolder, const std::string& outputFolder) {
        if (!OutputFolderMustBeMade(files_, oldFolder, outputFolder)) {
            return false;
        }
        files_.CreateFolder(outputFolder);
        return true;
    }

    // Outputs take their names, and failures are met, strictly in the order of the listing,
    // however many documents are prepared ahead.
    void UpgradeEach(const std::vector<std::string>& documents,
                     const TemplateTransplant& transplant, const std::string& oldFolder,
                     const std::string& outputFolder) {
        PreparedInOrder prepared(
            [&](std::size_t index, std::span<char> buffer) {
                return PrepareUpgrade(files_, transplant, JoinPath(oldFolder, documents[index]),
                                      JoinPath(outputFolder, documents[index]), buffer);
            },
            documents.size(), prepareAhead_);
        for (std::size_t index = 0; index < documents.size(); ++index) {
            files_.ThrowIfStopped();
            PreparedUpgrade next = prepared.Next();
            if (next.output) {
                next.output->Commit();
                ++upgraded_;
                observer_.Upgraded(documents[index], upgraded_);
            } else {
                observer_.PassedOver(documents[index], next.passedOver);
            }
            observer_.Handled(index + 1, documents.size());
        }
    }

    const Files& files_;
    RunObserver& observer_;
    std::size_t prepareAhead_;
    std::uint64_t upgraded_ = 0;
};

// Every way a run or a dry run can end early, told as the facts they are.
template <typename Steps>
RunResult Guarded(RunObserver& observer, Stopped stopped, const std::uint64_t& count,
                  Steps&& steps) {
    try {
        return steps();
    } catch (const WaitEnded&) {
        return {RunOutcome::Stopped, count};
    } catch (const FileError& error) {
        observer.Failed(
            error, stopped == Stopped::Run && count == 0 ? Stopped::RunBeforeAnyOutput : stopped);
        return {RunOutcome::Failed, count};
    } catch (const std::exception& error) {
        // Out of memory, say: the run stops as after a file failure, and says so.
        observer.FailedUnexpectedly(error.what(), stopped == Stopped::Run && count == 0
                                                      ? Stopped::RunBeforeAnyOutput
                                                      : stopped);
        return {RunOutcome::Failed, count};
    }
}

}  // namespace

RunResult RunUpgrade(std::string_view templateBox, std::string_view folderBox,
                     RunObserver& observer, const Files& files, std::size_t prepareAhead) {
    UpgradeRun run(files, observer, prepareAhead);
    return Guarded(observer, Stopped::Run, run.upgraded(),
                   [&] { return run.Run(templateBox, folderBox); });
}

RunResult CheckUpgrade(std::string_view templateBox, std::string_view folderBox,
                       RunObserver& observer, const Files& files) {
    std::uint64_t wouldUpgrade = 0;
    return Guarded(observer, Stopped::Check, wouldUpgrade, [&]() -> RunResult {
        CheckedInputs inputs;
        if (const auto refusal = CheckInputs(templateBox, folderBox, files, inputs)) {
            observer.Refused(refusal->problem, refusal->found);
            return {RunOutcome::Refused, 0, refusal->problem, refusal->found};
        }
        files.ThrowIfStopped();
        CheckOutputsCanBeWritten(files, inputs.oldFolder,
                                 JoinPath(inputs.oldFolder, kOutputFolderName));
        const std::vector<std::string> documents = DocumentsOf(files, inputs, observer);
        observer.Started(documents.size());
        std::vector<char> buffer(kReadBufferSize);
        std::uint64_t unreadable = 0;
        for (std::size_t index = 0; index < documents.size(); ++index) {
            files.ThrowIfStopped();
            const std::string& name = documents[index];
            try {
                if (const auto passedOver =
                        WhyPassedOver(files, JoinPath(inputs.oldFolder, name), buffer)) {
                    observer.PassedOver(name, *passedOver);
                } else {
                    ++wouldUpgrade;
                    observer.WouldUpgrade(name);
                }
            } catch (const FileError& error) {
                // A preview finds every problem in one go.
                observer.Failed(error, Stopped::CheckGoesOn);
                ++unreadable;
            }
            observer.Handled(index + 1, documents.size());
        }
        RunResult result{unreadable > 0 ? RunOutcome::Failed : RunOutcome::Completed, wouldUpgrade};
        result.unreadable = unreadable;
        return result;
    });
}

}  // namespace orba
