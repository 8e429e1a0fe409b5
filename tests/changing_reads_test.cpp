// Files that another program saves while a run reads them, with the change forced through the
// system's calls so that it comes at the same moment on every machine: between the first look at
// the file and the end of a pass over it. A file that settles within the passes a read allows is
// read in the one state it settled in; one that changes under every pass fails, naming the file.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>

#include "engine/upgrade_run.h"
#include "tests/support/run_fixtures.h"
#include "tests/support/wrapped_system.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::HasSubstr;

// Saves `path` anew, alternating between two versions, after the first read of each of the first
// `changedPasses` passes over it (negative: every pass), so that a pass taken for whole would mix
// the two. The versions differ in length, so that
// each change shows in the file's stamp however coarse its clock.
class SavedWhileRead final : public WrappedSystem {
  public:
    SavedWhileRead(std::string path, std::string first, std::string second, int changedPasses)
        : path_(std::move(path)),
          versions_{std::move(first), std::move(second)},
          changedPasses_(changedPasses) {
        WriteBytes(path_, versions_[0]);
    }

    std::optional<int> Decide(Call call, const std::string& path) const override {
        if (path != path_) {
            return std::nullopt;
        }
        const std::lock_guard lock(mutex_);
        // A pass is framed by two looks at the file's stamp: an odd look begins one.
        if (call == Call::Stamp && ++stamps_ % 2 == 1) {
            ++passes;
            readsInPass_ = 0;
            changeInPass_ = changedPasses_ < 0 || changes < changedPasses_;
        }
        if (call == Call::ReadAt && ++readsInPass_ == 2 && changeInPass_) {
            ++changes;
            WriteBytes(path_, versions_[changes % 2]);
        }
        return std::nullopt;
    }

    // The version that stands now.
    const std::string& standing() const { return versions_[changes % 2]; }

    mutable int passes = 0;
    mutable int changes = 0;

  private:
    std::string path_;
    std::string versions_[2];
    int changedPasses_;
    mutable std::mutex mutex_;
    mutable int stamps_ = 0;
    mutable int readsInPass_ = 0;
    mutable bool changeInPass_ = false;
};

class ChangingReadsTest : public EarlierOutputsTest {
  protected:
    RunResult RunWith(const sys::System& system) {
        return RunUpgrade(templatePath, oldFolder, observer, Files(system));
    }
};

constexpr int kPasses = Files::kConsistentReadPasses;

// A block longer than one chunk of a document's read, so that a pass over it reads more than once.
std::string LongBlock(std::string_view head, char fill) {
    return std::string(head) + std::string(1 << 20, fill);
}

TEST_F(ChangingReadsTest, DocumentThatSettlesWithinTheAllowedPassesIsUpgradedFromOneVersion) {
    for (int changed = 1; changed < kPasses; ++changed) {
        SCOPED_TRACE("changed under " + std::to_string(changed) + " passes");
        const std::string older = LongBlock("版本甲", 'a');
        const std::string newer = LongBlock("版本乙，更长", 'b');
        const SavedWhileRead system(Join(oldFolder, "b.html"), Document("", older, ""),
                                    Document("<p>", newer, "</p>"), changed);
        EXPECT_EQ(RunWith(system).outcome, RunOutcome::Completed)
            << ::testing::PrintToString(observer.messages);
        EXPECT_EQ(system.passes, changed + 1) << "each changed pass is read again, once";
        EXPECT_TRUE(ReadBytes(Join(output, "b.html")) == Upgraded(changed % 2 == 1 ? newer : older))
            << "upgraded from the version that stood at the last pass";
    }
}

TEST_F(ChangingReadsTest, TemplateThatSettlesWithinTheAllowedPassesGivesEveryOutputOneVersion) {
    const std::string older = Document("<old>", "模板", "</old>");
    const SavedWhileRead system(templatePath, older, Document("<new>", "模板，新存", "</new>"),
                                kPasses - 1);
    EXPECT_EQ(RunWith(system).outcome, RunOutcome::Completed)
        << ::testing::PrintToString(observer.messages);
    const bool settledOld = system.standing() == older;
    for (const char* name : {"a.html", "b.html", "c.html"}) {
        EXPECT_EQ(ReadBytes(Join(output, name)), settledOld ? Document("<old>", name, "</old>")
                                                            : Document("<new>", name, "</new>"));
    }
}

TEST_F(ChangingReadsTest, FileChangedUnderEveryPassFailsNamingItAndKeepsEarlierOutputs) {
    for (const bool isTemplate : {false, true}) {
        SCOPED_TRACE(isTemplate ? "the template" : "a document");
        RecordingObserver runObserver;
        const std::string path = isTemplate ? templatePath : Join(oldFolder, "b.html");
        const SavedWhileRead system(path, Document("<x>", LongBlock("甲", 'a'), ""),
                                    Document("<y>", LongBlock("乙乙", 'b'), ""), -1);
        const RunResult result = RunUpgrade(templatePath, oldFolder, runObserver, Files(system));
        EXPECT_EQ(result.outcome, RunOutcome::Failed);
        EXPECT_EQ(system.passes, kPasses) << "the read gives up after the passes it allows";
        ASSERT_EQ(runObserver.failures.size(), 1u);
        EXPECT_EQ(runObserver.failures[0].path(), path);
        EXPECT_EQ(runObserver.failures[0].ownReason(), OwnReason::ChangedWhileRead);
        EXPECT_EQ(ReadBytes(Join(output, "b.html")), "earlier");
        EXPECT_EQ(ReadBytes(Join(output, "c.html")), "earlier");
        ExpectNoTemporaryFile();
    }
}

}  // namespace
}  // namespace orba
