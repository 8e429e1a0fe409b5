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
class UpgradeCheck final : private FolderSteps {
  public:
    UpgradeCheck(const Files& files, RunObserver& observer, const RunOptions& options)
        : files_(files), observer_(observer), options_(options) {}

    const std::uint64_t& wouldUpgrade() const { return wouldUpgrade_; }

    RunResult Run(std::string_view templateBox, std::string_view folderBox) {
        if (!FollowPlan(templateBox, folderBox, files_, observer_, options_.recursive, *this)) {
            return {RunOutcome::Refused};
        }
        return {failed_ > 0 ? RunOutcome::Failed : RunOutcome::Completed, wouldUpgrade_, failed_,
                folders_};
    }

  private:
    void Folder(const TemplateTransplant& transplant, const PlannedFolder& folder,
                const std::function<std::vector<std::string>()>& list) override {
        CheckOutputsCanBeWritten(files_, folder.path, folder.outputFolder);
        const std::vector<std::string> documents = list();
        observer_.Started(documents.size());
        ++folders_;
        const auto standing = NamesStandingIn(files_, folder.outputFolder);
        for (std::size_t index = 0; index < documents.size(); ++index) {
            files_.ThrowIfStopped();
            const std::string& name = documents[index];
            try {
                const UpgradeLook look =
                    LookAtUpgrade(files_, transplant, JoinPath(folder.path, name),
                                  JoinPath(folder.outputFolder, name),
                                  !standing || standing->contains(ComparablePath(name)), buffer_);
                if (look.passedOver) {
                    observer_.PassedOver(folder.Named(name), *look.passedOver);
                } else {
                    ++wouldUpgrade_;
                    observer_.Changed(folder.Named(name), look.change);
                    observer_.WouldUpgrade(folder.Named(name));
                }
            } catch (const FileError& error) {
                GoOnPast(error);
            }
            observer_.Handled(index + 1, documents.size());
        }
    }

    void Unlisted(const FileError& error) override { GoOnPast(error); }

    // A preview finds every problem in one go.
    void GoOnPast(const FileError& error) {
        observer_.Failed(error, Stopped::CheckGoesOn);
        ++failed_;
    }

    const Files& files_;
    RunObserver& observer_;
    RunOptions options_;
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
