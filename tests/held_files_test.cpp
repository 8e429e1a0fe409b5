// Files that another program holds for a moment are waited for, with growing pauses; one held for
// good stops the run with a message that names it. Outputs that must be on the disk are flushed
// before they take their names. Both seen through the system's calls, wrapped.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <numeric>

#include "engine/markers.h"
#include "engine/upgrade_run.h"
#include "storage/paths.h"
#include "storage/temporary_names.h"
#include "tests/support/run_fixtures.h"
#include "tests/support/wrapped_system.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class HeldFilesTest : public EarlierOutputsTest {
  protected:
    void SetUp() override {
        EarlierOutputsTest::SetUp();
        observer.onHeldPause = [] { return true; };  // no real wait
    }

    // A run whose calls of one kind about one path are refused `times` times (negative: for
    // good), as held by another program unless another error is given.
    RunResult RunHeld(Call kind, const std::string& path, int times, int error = HeldError()) {
        const DecidedBy system(FailFirst(kind, times, error, path));
        return RunUpgrade(templatePath, oldFolder, observer, observer.With(Files(system)));
    }
};

TEST_F(HeldFilesTest, DocumentHeldForAMomentIsReadOnceFree) {
    EXPECT_EQ(RunHeld(Call::OpenToRead, Join(oldFolder, "b.html"), 4).outcome,
              RunOutcome::Completed);
    EXPECT_THAT(observer.heldPauses, ElementsAre(5ms, 10ms, 20ms, 40ms)) << "pauses grow";
    EXPECT_EQ(ReadBytes(Join(output, "b.html")), Upgraded("b.html"));
}

TEST_F(HeldFilesTest, OutputHeldForAMomentIsReplacedOnceFree) {
    EXPECT_EQ(RunHeld(Call::MoveIntoPlace, Join(output, "b.html"), 3).outcome,
              RunOutcome::Completed);
    // The first refusal may be a share's, which renames no open file: the temporary is closed
    // and renamed by its name at once. A pause for each refusal after it.
    EXPECT_EQ(observer.heldPauses.size(), 2u);
    for (const char* name : {"a.html", "b.html", "c.html"}) {
        EXPECT_EQ(ReadBytes(Join(output, name)), Upgraded(name));
    }
    ExpectNoTemporaryFile();
}

TEST_F(HeldFilesTest, OutputHeldForGoodStopsTheRunAfterAboutTenSecondsNamingIt) {
    const RunResult result = RunHeld(Call::MoveIntoPlace, Join(output, "b.html"), -1);
    EXPECT_EQ(result.outcome, RunOutcome::Failed);
    ASSERT_EQ(observer.failures.size(), 1u);
    EXPECT_EQ(observer.failures[0].operation(), FileError::Operation::Write);
    EXPECT_EQ(observer.failures[0].path(), Join(output, "b.html"));
    EXPECT_EQ(observer.failures[0].ownReason(), OwnReason::HeldByAnotherProgram);
    const auto waited =
        std::accumulate(observer.heldPauses.begin(), observer.heldPauses.end(), 0ms);
    EXPECT_GE(waited, Files::kHeldFileLimit);
    EXPECT_LE(waited, Files::kHeldFileLimit + 1s);
    EXPECT_LE(*std::max_element(observer.heldPauses.begin(), observer.heldPauses.end()), 1s);
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), Upgraded("a.html"));
    EXPECT_EQ(ReadBytes(Join(output, "b.html")), "earlier");
    EXPECT_EQ(ReadBytes(Join(output, "c.html")), "earlier");
    ExpectNoTemporaryFile();
}

TEST_F(HeldFilesTest, EndingTheProgramDuringAWaitStopsTheRunThere) {
    observer.onHeldPause = [] { return false; };
    const RunResult result = RunHeld(Call::MoveIntoPlace, Join(output, "b.html"), -1);
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_EQ(result.upgraded, 1u);
    EXPECT_THAT(observer.messages, ::testing::IsEmpty());
    EXPECT_EQ(ReadBytes(Join(output, "b.html")), "earlier");
    ExpectNoTemporaryFile();
}

TEST_F(HeldFilesTest, OtherFailuresAreNotWaitedFor) {
    EXPECT_EQ(RunHeld(Call::OpenToRead, Join(oldFolder, "b.html"), 1, sys::DeviceError()).outcome,
              RunOutcome::Failed);
    EXPECT_THAT(observer.heldPauses, ::testing::IsEmpty());
    ASSERT_EQ(observer.failures.size(), 1u);
    EXPECT_NE(observer.failures[0].ownReason(), OwnReason::HeldByAnotherProgram);
}

TEST_F(UpgradeRunTest, OutputsOnTheDiskBeforeTheirNamesAndTheNamesBeforeTheEnd) {
    for (const char* name : {"a.html", "b.html"}) {
        WriteBytes(Join(oldFolder, name), Document("", name, ""));
    }
    // The order of the calls that put an output in place, and what the log held at the folder's
    // flush.
    std::mutex mutex;
    std::vector<Call> calls;
    std::vector<std::string> flushedFolders;
    std::string logAtFolderFlush;
    const DecidedBy system([&](Call call, const std::string& path) {
        const std::lock_guard lock(mutex);
        if (call == Call::Flush || call == Call::WriteOut || call == Call::FlushFileSystem ||
            call == Call::CheckWrites || call == Call::MoveIntoPlace || call == Call::FlushFolder) {
            calls.push_back(call);
        }
        if (call == Call::FlushFolder) {
            flushedFolders.push_back(path);
            logAtFolderFlush = observer.log;
        }
        return std::nullopt;
    });
    EXPECT_EQ(RunUpgrade(templatePath, oldFolder, observer,
                         observer.With(Files(system, Durability::OnDisk)))
                  .outcome,
              RunOutcome::Completed);
    // The batch's outputs are flushed together: written out, then their file system flushed once
    // where that reaches every file, else each on its own. Then each is checked and takes its
    // name in turn.
    std::vector<Call> expected = {Call::Flush, Call::Flush};
    if (sys::TheSystem().OneFlushReachesEveryFile(output)) {
        expected = {Call::WriteOut, Call::WriteOut, Call::WriteOut, Call::WriteOut,
                    Call::FlushFileSystem};
    }
    expected.insert(expected.end(), {Call::CheckWrites, Call::MoveIntoPlace, Call::CheckWrites,
                                     Call::MoveIntoPlace, Call::FlushFolder, Call::FlushFolder});
    EXPECT_EQ(calls, expected);
    EXPECT_THAT(flushedFolders, ElementsAre(output, oldFolder))
        << "the output folder's names, then the old folder's, as the run made NewORBA";
    EXPECT_THAT(logAtFolderFlush, ::testing::Not(HasSubstr("completed")));
}

// A file system without unnamed files (exFAT, NTFS through FUSE, network shares) refuses them.
class NoUnnamedFiles final : public WrappedSystem {
  public:
    std::optional<int> Decide(Call call, const std::string& /*path*/) const override {
        if (call == Call::CreateUnnamed) {
            return sys::NotSupported();
        }
        if (call == Call::CreateExclusive) {
            const std::lock_guard lock(mutex_);
            ++named;
        }
        return std::nullopt;
    }
    // Named temporaries held at once: a killed run leaves them behind.
    void After(const CallDone& done) const override {
        const std::lock_guard lock(mutex_);
        if (done.succeeded && done.call == Call::CreateExclusive) {
            mostHeld = std::max(mostHeld, ++held_);
        } else if (done.succeeded &&
                   (done.call == Call::MoveIntoPlace || done.call == Call::RemoveName)) {
            --held_;
        }
    }

    mutable int named = 0;
    mutable int mostHeld = 0;

  private:
    mutable std::mutex mutex_;
    mutable int held_ = 0;
};

TEST_F(UpgradeRunTest, FileSystemWithoutUnnamedFilesGetsNamedTemporaryFiles) {
    for (const char* name : {"a.html", "b.html"}) {
        WriteBytes(Join(oldFolder, name), Document("", name, ""));
    }
    WriteBytes(Join(oldFolder, "unended.html"), std::string(kStartMarker) + std::string(500, 'x'));
    const NoUnnamedFiles system;
    EXPECT_EQ(
        RunUpgrade(templatePath, oldFolder, observer, observer.With(Files(system)), RunOptions{2})
            .outcome,
        RunOutcome::Completed);
    EXPECT_GE(system.named, 3) << "one for each output begun";
    EXPECT_THAT(AllNames(output), ElementsAre("a.html", "b.html"));
    EXPECT_EQ(ReadBytes(Join(output, "b.html")), Upgraded("b.html"));

    // Outputs that must be on the disk are held in batches, as many as a killed run may leave.
    for (int document = 0; document < 40; ++document) {
        WriteBytes(Join(oldFolder, "m" + std::to_string(document) + ".html"),
                   Document("", "M", ""));
    }
    const NoUnnamedFiles batched;
    EXPECT_EQ(RunUpgrade(templatePath, oldFolder, observer,
                         observer.With(Files(batched, Durability::OnDisk)), RunOptions{16})
                  .outcome,
              RunOutcome::Completed);
    EXPECT_EQ(ReadBytes(Join(output, "m39.html")), Upgraded("M"));
    if (sys::kNamedTemporariesOutliveProcess) {
        EXPECT_LE(batched.mostHeld, 16);
    }
}

// A run on a share that renames no open file closes each temporary a moment before its rename,
// after making its mark: the clean-up of another run leaves the temporaries of a run whose mark
// is held, and removes them, and the mark, once that run is gone.
TEST_F(UpgradeRunTest, CleanUpLeavesTheClosedTemporariesOfARunThatHoldsItsMark) {
    MakeFolder(output);
    const std::string run = NewRunName(1);
    const std::string temporary = TemporaryPathIn(output, run, 1);
    WriteBytes(temporary, "closed for its rename");
    const sys::Native mark = sys::TheSystem().CreateExclusive(Join(output, RunMarkName(run)));
    ASSERT_NE(mark, sys::kNoFile);
    Files().RemoveLeftovers(output);
    EXPECT_TRUE(Exists(temporary)) << "its run is alive";

    // The run is gone: its mark goes with it on Windows, and stays behind on POSIX.
    sys::TheSystem().Close(mark);
    Files().RemoveLeftovers(output);
    EXPECT_THAT(AllNames(output), ::testing::IsEmpty());
}

// Through a folder tree on such a share, each output folder holds the run's mark whenever one of
// its temporaries is closed for its rename: another run's clean-up there sees a live run.
TEST_F(UpgradeRunTest, ThroughATreeOnAShareEachOutputFolderHoldsTheRunsMark) {
    const std::string sub = Join(oldFolder, "sub");
    MakeFolder(sub);
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    WriteBytes(Join(sub, "b.html"), Document("", "B", ""));
    std::mutex mutex;
    int unmarked = 0;
    const DecidedBy system(
        [&](Call call, const std::string& path) {
            if (call == Call::KeepAtClose) {  // a temporary about to be closed for its rename
                const std::lock_guard lock(mutex);
                bool marked = false;
                for (const auto& entry :
                     std::filesystem::directory_iterator(std::filesystem::u8path(FolderOf(path)))) {
                    marked = marked || entry.path().extension() == ".run";
                }
                unmarked += marked ? 0 : 1;
            }
            return std::nullopt;
        },
        kShare);
    RunOptions options;
    options.recursive = true;
    EXPECT_EQ(RunUpgrade(templatePath, oldFolder, observer,
                         observer.With(Files(system, Durability::OnDisk)), options)
                  .outcome,
              RunOutcome::Completed);
    EXPECT_EQ(unmarked, 0);
    EXPECT_EQ(ReadBytes(Join(Join(sub, "NewORBA"), "b.html")), Upgraded("B"));
    EXPECT_THAT(AllNames(Join(sub, "NewORBA")), ElementsAre("b.html")) << "its mark is gone";
}

}  // namespace
}  // namespace orba
