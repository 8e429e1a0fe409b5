#include <string>
#include <vector>

#include "engine/data_block.h"
#include "engine/document_upgrade.h"
#include "engine/guarded_run.h"
#include "engine/markers.h"
#include "engine/run_plan.h"
#include "engine/upgrade_run.h"
#include "storage/paths.h"

namespace orba {

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
        const auto standing = NamesStandingIn(files_, outputFolder);
        for (std::size_t index = 0; index < documents.size(); ++index) {
            files_.ThrowIfStopped();
            const std::string& name = documents[index];
            const std::string named = below.empty() ? name : JoinPath(below, name);
            try {
                const UpgradeLook look = LookAtUpgrade(
                    files_, transplant, JoinPath(folder, name), JoinPath(outputFolder, name),
                    !standing || standing->contains(ComparablePath(name)), buffer_);
                if (look.passedOver) {
                    observer_.PassedOver(named, *look.passedOver);
                } else {
                    ++wouldUpgrade_;
                    observer_.Changed(named, look.change);
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
