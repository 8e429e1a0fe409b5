#include "engine/upgrade_run.h"

#include <exception>
#include <string>
#include <vector>

#include "engine/batched_outputs.h"
#include "engine/data_block.h"
#include "engine/document_upgrade.h"
#include "engine/run_plan.h"
#include "storage/paths.h"

namespace orba {

namespace {

// The output folder's ending, which every way out of a run passes. A run that wrote outputs puts
// their names on the disk (where it flushes) before it says it is over, completed or not: "every
// file written before is kept" holds through a power cut. One that ends before its first output
// takes away the output folder it made, if nothing else was put there meanwhile.
class OutputFolderEnding {
  public:
    OutputFolderEnding(const Files& files, RunObserver& observer, const PlannedFolder& folder,
                       bool madeByRun, const std::uint64_t& upgraded)
        : files_(files),
          observer_(observer),
          folder_(folder),
          madeByRun_(madeByRun),
          upgraded_(upgraded),
          upgradedBefore_(upgraded) {}
    OutputFolderEnding(const OutputFolderEnding&) = delete;
    OutputFolderEnding& operator=(const OutputFolderEnding&) = delete;

    // The run completed: a failure to flush is the run's failure.
    void Complete() {
        completed_ = true;
        PutNamesOnDisk();
    }

    ~OutputFolderEnding() {
        if (completed_) {
            return;
        }
        if (upgraded_ == upgradedBefore_) {
            if (madeByRun_) {
                files_.RemoveEmptyFolder(folder_.outputFolder);
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
            files_.FlushFileSystemOf(folder_.outputFolder);
        }
        Flush(folder_.outputFolder);
        if (madeByRun_ || files_.run().remadeFolder) {
            Flush(folder_.path);
        }
    }
    void Flush(const std::string& folder) {
        if (const auto refusal = files_.FlushFolder(folder)) {
            observer_.FolderFlushRefused(folder, *refusal);
        }
    }

    const Files& files_;
    RunObserver& observer_;
    const PlannedFolder& folder_;
    bool madeByRun_;
    const std::uint64_t& upgraded_;  // by the run, in this folder and those before
    std::uint64_t upgradedBefore_;
    bool completed_ = false;
};

// One upgrade run, or a dry run, in short steps; a stop is looked at between any two of them. A
// dry run takes the same steps, and writes nothing.
class UpgradeRun final : private FolderSteps, private BatchedOutputs::Handler {
  public:
    UpgradeRun(const Files& files, RunObserver& observer, const RunOptions& options, bool dryRun)
        : files_(files.LearningAnew()),
          observer_(observer),
          options_(options),
          dryRun_(dryRun),
          batches_(files_, options.prepareAhead, options.keepGoing) {}

    // The run from its start to its end, every way it can end early told as the facts they are.
    RunResult Run(std::string_view templateBox, std::string_view folderBox) {
        // A run that wrote nothing says so.
        const auto stopped = [&] {
            return dryRun_          ? Stopped::Check
                   : upgraded_ == 0 ? Stopped::RunBeforeAnyOutput
                                    : Stopped::Run;
        };
        try {
            if (!FollowPlan(templateBox, folderBox, files_, observer_, options_.recursive, *this)) {
                return {RunOutcome::Refused};
            }
            return {failed_ > 0 ? RunOutcome::Failed : RunOutcome::Completed, upgraded_, failed_,
                    folders_};
        } catch (const WaitEnded&) {
            return {RunOutcome::Stopped, upgraded_};
        } catch (const FileError& error) {
            observer_.Failed(error, stopped());
            return {RunOutcome::Failed, upgraded_};
        } catch (const std::exception& error) {
            // Out of memory, say: the run stops as after a file failure, and says so.
            observer_.FailedUnexpectedly(error.what(), stopped());
            return {RunOutcome::Failed, upgraded_};
        }
    }

  private:
    // The documents of a folder upgraded into its output folder, from the first to the folder's
    // closing entries; a dry run tries that the output folder could be made or written into.
    void Folder(const TemplateTransplant& transplant, const PlannedFolder& folder,
                const std::function<std::vector<std::string>()>& list) override {
        if (dryRun_) {
            CheckOutputsCanBeWritten(files_, folder.path, folder.outputFolder);
            Documents(transplant, folder, list());
            return;
        }
        OutputFolderEnding ending(files_, observer_, folder, MakeOutputFolder(folder), upgraded_);
        files_.run().outputFolder = folder.outputFolder;
        files_.RemoveLeftovers(folder.outputFolder);
        Documents(transplant, folder, list());
        files_.ThrowIfStopped();
        ending.Complete();
        observer_.Completed(folder.outputFolder, upgraded_ - folderFirst_);
    }

    void Documents(const TemplateTransplant& transplant, const PlannedFolder& folder,
                   const std::vector<std::string>& documents) {
        observer_.Started(documents.size());
        ++folders_;
        folderFirst_ = upgraded_;
        folder_ = &folder;
        documents_ = &documents;
        // What stands in the output folder, from one look at it.
        const auto standing = options_.compare ? NamesStandingIn(files_, folder.outputFolder)
                                               : std::optional<std::set<std::string>>();
        batches_.NameAll(
            folder.outputFolder, documents.size(),
            [&](std::size_t index, std::span<char> buffer) {
                const std::string& name = documents[index];
                const std::string document = JoinPath(folder.path, name);
                const std::string output = JoinPath(folder.outputFolder, name);
                const bool mayStand = !standing || standing->contains(ComparablePath(name));
                if (!options_.compare) {
                    return PrepareUpgrade(files_, transplant, document, output, buffer);
                }
                return PrepareChangedUpgrade(files_, transplant, document, output, mayStand,
                                             !dryRun_, buffer);
            },
            *this);
    }

    // A folder below that cannot be listed ends the run unless it keeps going.
    void Unlisted(const FileError& error) override {
        if (!options_.keepGoing) {
            throw error;
        }
        GoOnPast(error);
    }

    void Handled(std::size_t index, const PreparedUpgrade& document) override {
        const std::string name = folder_->Named((*documents_)[index]);
        if (document.passedOver) {
            observer_.PassedOver(name, *document.passedOver);
        } else {
            ++upgraded_;
            if (options_.compare) {  // as a dry run always does
                observer_.Changed(name, document.change);
            }
            if (!dryRun_) {
                observer_.Upgraded(name, upgraded_ - folderFirst_);
            }
        }
        observer_.Handled(index + 1, documents_->size());
    }
    void WentOnPast(std::size_t index, const FileError& error) override {
        GoOnPast(error);
        observer_.Handled(index + 1, documents_->size());
    }

    // A failure that the run goes on past: told, and counted.
    void GoOnPast(const FileError& error) {
        ++failed_;
        observer_.Failed(error, dryRun_ ? Stopped::CheckGoesOn : Stopped::RunGoesOn);
    }

    // Whether the run made the output folder.
    bool MakeOutputFolder(const PlannedFolder& folder) {
        if (!OutputFolderMustBeMade(files_, folder.path, folder.outputFolder)) {
            return false;
        }
        files_.CreateFolder(folder.outputFolder);
        return true;
    }

    const Files files_;  // what its output folder's file system refuses, learnt by this run
    RunObserver& observer_;
    RunOptions options_;
    bool dryRun_;
    BatchedOutputs batches_;
    std::uint64_t upgraded_ = 0;                           // or, in a dry run, that would be
    std::uint64_t failed_ = 0;                             // documents gone on past
    std::uint64_t folders_ = 0;                            // whose documents were handled
    std::uint64_t folderFirst_ = 0;                        // upgraded before the folder in hand
    const PlannedFolder* folder_ = nullptr;                // the folder in hand
    const std::vector<std::string>* documents_ = nullptr;  // the folder in hand's
};

}  // namespace

RunResult RunUpgrade(std::string_view templateBox, std::string_view folderBox,
                     RunObserver& observer, const Files& files, const RunOptions& options) {
    return UpgradeRun(files, observer, options, false).Run(templateBox, folderBox);
}

RunResult CheckUpgrade(std::string_view templateBox, std::string_view folderBox,
                       RunObserver& observer, const Files& files, const RunOptions& options) {
    // What stands in each output folder is looked at, and every document that cannot be read is
    // found in one go.
    RunOptions checking;
    checking.recursive = options.recursive;
    checking.keepGoing = true;
    checking.compare = true;
    return UpgradeRun(files, observer, checking, true).Run(templateBox, folderBox);
}

}  // namespace orba
