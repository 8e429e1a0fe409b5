#include "engine/upgrade_run.h"

#include <algorithm>
#include <exception>
#include <future>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "engine/batched_outputs.h"
#include "engine/data_block.h"
#include "engine/document_upgrade.h"
#include "engine/markers.h"
#include "engine/paths.h"
#include "engine/run_plan.h"
#include "storage/prepared_output.h"

namespace orba {

namespace {

// The output folder's ending, which every way out of a run passes. A run that wrote outputs puts
// their names on the disk (where it flushes) before it says it is over, completed or not: "every
// file written before is kept" holds through a power cut. One that ends before its first output
// takes away the output folder it made, if nothing else was put there meanwhile.
class OutputFolderEnding {
  public:
    OutputFolderEnding(const Files& files, RunObserver& observer, const std::string& oldFolder,
                       const std::uint64_t& upgraded)
        : files_(files),
          observer_(observer),
          oldFolder_(oldFolder),
          upgraded_(upgraded),
          upgradedBefore_(upgraded) {}
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
        if (upgraded_ == upgradedBefore_) {
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
    // The output folder's names, and the old folder's, which now holds the output folder's name
    // where this run made it (again, after another run took it away).
    void PutNamesOnDisk() {
        if (files_.run().standingLeftToFlush.exchange(false)) {
            files_.FlushFileSystemOf(outputFolder_);
        }
        Flush(outputFolder_);
        if (madeByRun_ || files_.run().remadeFolder) {
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
    const std::uint64_t& upgraded_;  // by the run, in this folder and those before
    std::uint64_t upgradedBefore_;
    std::string outputFolder_;  // once known
    bool madeByRun_ = false;
    bool completed_ = false;
};

// One upgrade run, in short steps; a stop is looked at between any two of them.
class UpgradeRun final : private BatchedOutputs::Handler {
  public:
    UpgradeRun(const Files& files, RunObserver& observer, const RunOptions& options)
        : files_(files.LearningAnew()),
          observer_(observer),
          options_(options),
          batches_(files_, options.prepareAhead, options.keepGoing) {}

    const std::uint64_t& upgraded() const { return upgraded_; }

    RunResult Run(std::string_view templateBox, std::string_view folderBox) {
        const auto started =
            StartPlan(templateBox, folderBox, files_, observer_, options_.recursive);
        if (!started) {
            return {RunOutcome::Refused};
        }
        const CheckedInputs& inputs = *started;
        // The template text and the places of its data block are fixed for the whole run.
        const TemplateTransplant transplant(inputs.templateText.bytes(), kStartMarker, kEndMarker);
        files_.ThrowIfStopped();
        if (options_.recursive) {
            UpgradeTree(inputs, transplant, inputs.oldFolder, {});
        } else {
            UpgradeFolder(transplant, inputs.oldFolder, {},
                          [&] { return DocumentsOf(files_, inputs, observer_); });
        }
        RunResult result{failed_ > 0 ? RunOutcome::Failed : RunOutcome::Completed, upgraded_};
        result.failed = failed_;
        result.folders = folders_;
        return result;
    }

  private:
    // The folder and, going down, every folder below it that is not passed by: those holding
    // documents, each as a run on it alone.
    void UpgradeTree(const CheckedInputs& inputs, const TemplateTransplant& transplant,
                     const std::string& folder, const std::string& below) {
        files_.ThrowIfStopped();
        FolderListing listing;
        try {
            listing = ListFolder(files_, inputs, folder, below, observer_, true);
        } catch (const FileError& error) {
            if (below.empty() || !options_.keepGoing) {
                throw;
            }
            GoOnPast(error);
            return;
        }
        if (!listing.documents.empty()) {
            UpgradeFolder(transplant, folder, below, [&] { return listing.documents; });
        }
        for (const std::string& name : listing.folders) {
            UpgradeTree(inputs, transplant, JoinPath(folder, name),
                        below.empty() ? name : JoinPath(below, name));
        }
    }

    // The documents of `folder` (`list` lists them) upgraded into its output folder, from the
    // first to the folder's closing entries.
    template <class List>
    void UpgradeFolder(const TemplateTransplant& transplant, const std::string& folder,
                       const std::string& below, List&& list) {
        OutputFolderEnding ending(files_, observer_, folder, upgraded_);
        const std::string outputFolder = JoinPath(folder, kOutputFolderName);
        ending.Begin(outputFolder, MakeOutputFolder(folder, outputFolder));
        files_.run().outputFolder = outputFolder;
        files_.RemoveLeftovers(outputFolder);
        const std::vector<std::string> documents = list();
        observer_.Started(documents.size());
        ++folders_;
        folderFirst_ = upgraded_;
        below_ = below;
        documents_ = &documents;
        batches_.NameAll(
            outputFolder, documents.size(),
            [&](std::size_t index, std::span<char> buffer) {
                const auto prepare = options_.compare ? PrepareChangedUpgrade : PrepareUpgrade;
                return prepare(files_, transplant, JoinPath(folder, documents[index]),
                               JoinPath(outputFolder, documents[index]), buffer);
            },
            *this);
        files_.ThrowIfStopped();
        ending.Complete();
        observer_.Completed(outputFolder, upgraded_ - folderFirst_);
    }

    // A document's name as told: its path below the old-version folder.
    std::string Named(const std::string& name) const {
        return below_.empty() ? name : JoinPath(below_, name);
    }

    void Handled(std::size_t index, const PreparedUpgrade& document) override {
        const std::string name = Named((*documents_)[index]);
        if (document.upgraded()) {
            ++upgraded_;
            if (options_.compare) {
                observer_.Changed(name, document.change);
            }
            observer_.Upgraded(name, upgraded_ - folderFirst_);
        } else {
            observer_.PassedOver(name, document.passedOver);
        }
        observer_.Handled(index + 1, documents_->size());
    }
    void WentOnPast(std::size_t index, const FileError& error) override {
        GoOnPast(error);
        observer_.Handled(index + 1, documents_->size());
    }

    // A failure that a run keeping going goes on past: told, and counted.
    void GoOnPast(const FileError& error) {
        ++failed_;
        observer_.Failed(error, Stopped::RunGoesOn);
    }

    // Whether the run made the output folder.
    bool MakeOutputFolder(const std::string& oldFolder, const std::string& outputFolder) {
        if (!OutputFolderMustBeMade(files_, oldFolder, outputFolder)) {
            return false;
        }
        files_.CreateFolder(outputFolder);
        return true;
    }

    const Files files_;  // what its output folder's file system refuses, learnt by this run
    RunObserver& observer_;
    RunOptions options_;
    BatchedOutputs batches_;
    std::uint64_t upgraded_ = 0;
    std::uint64_t failed_ = 0;       // documents gone on past
    std::uint64_t folders_ = 0;      // whose documents were handled
    std::uint64_t folderFirst_ = 0;  // upgraded before the folder in hand
    std::string below_;              // the folder in hand's path below the old-version folder
    const std::vector<std::string>* documents_ = nullptr;  // the folder in hand's
};

// Every way a run or a dry run can end early, told as the facts they are.
template <typename Steps>
RunResult Guarded(RunObserver& observer, Stopped stopped, const std::uint64_t& count,
                  Steps&& steps) {
    // A run that wrote nothing says so.
    const auto what = [&] {
        return stopped == Stopped::Run && count == 0 ? Stopped::RunBeforeAnyOutput : stopped;
    };
    try {
        return steps();
    } catch (const WaitEnded&) {
        return {RunOutcome::Stopped, count};
    } catch (const FileError& error) {
        observer.Failed(error, what());
        return {RunOutcome::Failed, count};
    } catch (const std::exception& error) {
        // Out of memory, say: the run stops as after a file failure, and says so.
        observer.FailedUnexpectedly(error.what(), what());
        return {RunOutcome::Failed, count};
    }
}

}  // namespace

RunResult RunUpgrade(std::string_view templateBox, std::string_view folderBox,
                     RunObserver& observer, const Files& files, const RunOptions& options) {
    UpgradeRun run(files, observer, options);
    return Guarded(observer, Stopped::Run, run.upgraded(),
                   [&] { return run.Run(templateBox, folderBox); });
}

namespace {

// A dry run, in the steps of a run.
class UpgradeCheck {
  public:
    UpgradeCheck(const Files& files, RunObserver& observer, const RunOptions& options)
        : files_(files), observer_(observer), options_(options) {}

    const std::uint64_t& wouldUpgrade() const { return wouldUpgrade_; }

    RunResult Run(std::string_view templateBox, std::string_view folderBox) {
        auto started = StartPlan(templateBox, folderBox, files_, observer_, options_.recursive);
        if (!started) {
            return {RunOutcome::Refused};
        }
        inputs_ = std::move(*started);
        files_.ThrowIfStopped();
        const TemplateTransplant transplant(inputs_.templateText.bytes(), kStartMarker, kEndMarker);
        if (options_.recursive) {
            CheckTree(transplant, inputs_.oldFolder, {});
        } else {
            CheckOutputsCanBeWritten(files_, inputs_.oldFolder,
                                     JoinPath(inputs_.oldFolder, kOutputFolderName));
            CheckFolder(transplant, inputs_.oldFolder, {}, DocumentsOf(files_, inputs_, observer_));
        }
        RunResult result{failed_ > 0 ? RunOutcome::Failed : RunOutcome::Completed, wouldUpgrade_};
        result.failed = failed_;
        result.folders = folders_;
        return result;
    }

  private:
    void CheckTree(const TemplateTransplant& transplant, const std::string& folder,
                   const std::string& below) {
        files_.ThrowIfStopped();
        FolderListing listing;
        try {
            listing = ListFolder(files_, inputs_, folder, below, observer_, true);
        } catch (const FileError& error) {
            if (below.empty()) {
                throw;
            }
            // A preview finds every problem in one go.
            observer_.Failed(error, Stopped::CheckGoesOn);
            ++failed_;
            return;
        }
        if (!listing.documents.empty()) {
            CheckOutputsCanBeWritten(files_, folder, JoinPath(folder, kOutputFolderName));
            CheckFolder(transplant, folder, below, listing.documents);
        }
        for (const std::string& name : listing.folders) {
            CheckTree(transplant, JoinPath(folder, name),
                      below.empty() ? name : JoinPath(below, name));
        }
    }

    void CheckFolder(const TemplateTransplant& transplant, const std::string& folder,
                     const std::string& below, const std::vector<std::string>& documents) {
        observer_.Started(documents.size());
        ++folders_;
        const std::string outputFolder = JoinPath(folder, kOutputFolderName);
        for (std::size_t index = 0; index < documents.size(); ++index) {
            files_.ThrowIfStopped();
            const std::string& name = documents[index];
            const std::string named = below.empty() ? name : JoinPath(below, name);
            try {
                const UpgradeLook look = Look(transplant, folder, outputFolder, name);
                if (look.passedOver) {
                    observer_.PassedOver(named, *look.passedOver);
                } else {
                    ++wouldUpgrade_;
                    if (options_.compare) {
                        observer_.Changed(named, look.change);
                    }
                    observer_.WouldUpgrade(named);
                }
            } catch (const FileError& error) {
                // A preview finds every problem in one go.
                observer_.Failed(error, Stopped::CheckGoesOn);
                ++failed_;
            }
            observer_.Handled(index + 1, documents.size());
        }
    }

    UpgradeLook Look(const TemplateTransplant& transplant, const std::string& folder,
                     const std::string& outputFolder, const std::string& name) {
        if (options_.compare) {
            return LookAtUpgrade(files_, transplant, JoinPath(folder, name),
                                 JoinPath(outputFolder, name), buffer_);
        }
        return {WhyPassedOver(files_, JoinPath(folder, name), buffer_), {}};
    }

    const Files& files_;
    RunObserver& observer_;
    RunOptions options_;
    CheckedInputs inputs_;
    std::vector<char> buffer_ = std::vector<char>(kReadBufferSize);
    std::uint64_t wouldUpgrade_ = 0;
    std::uint64_t failed_ = 0;
    std::uint64_t folders_ = 0;
};

}  // namespace

RunResult CheckUpgrade(std::string_view templateBox, std::string_view folderBox,
                       RunObserver& observer, const Files& files, const RunOptions& options) {
    UpgradeCheck check(files, observer, options);
    return Guarded(observer, Stopped::Check, check.wouldUpgrade(),
                   [&] { return check.Run(templateBox, folderBox); });
}

}  // namespace orba
