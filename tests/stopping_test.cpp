// A stop asked for at any step (a signal to the command line) is seen before the next one: inside
// a large document's read, while the template is read, in the dry run, and on the threads that
// prepare documents ahead, which drop what they were reading.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <mutex>

#include "storage/files.h"
#include "tests/support/run_fixtures.h"
#include "tests/support/wrapped_system.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

class StoppingTest : public UpgradeRunTest {
  protected:
    void SetUp() override {
        UpgradeRunTest::SetUp();
        WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
        // Many pieces of the read buffer, and no data block.
        WriteBytes(Join(oldFolder, "b.html"), std::string(std::size_t{4} << 20, 'p'));
        WriteBytes(Join(oldFolder, "c.html"), Document("", "C", ""));
    }

    // A system that asks for the stop as the first call of `kind` (the first piece of a read,
    // say) is made on `at` (on any path where it is empty), and counts the calls made after that
    // in `afterStop`. With `eachFile`, a file system that a single flush does not reach.
    DecidedBy StopAtFirst(Call kind, std::string at, bool eachFile = false) {
        return DecidedBy([=, this](Call call, const std::string& path) -> std::optional<int> {
            if (eachFile && call == Call::OneFlushReachesEveryFile) {
                return sys::NotSupported();
            }
            const std::lock_guard lock(mutex);
            if (observer.stop.stop_requested()) {
                ++afterStop[call];
            } else if (call == kind && (at.empty() || path == at)) {
                observer.stop.request_stop();
            }
            return std::nullopt;
        });
    }

    std::mutex mutex;
    std::map<Call, int> afterStop;
};

TEST_F(StoppingTest, StopDuringALargePageWithoutABlockBeginsNoFurtherDocument) {
    const DecidedBy system = StopAtFirst(Call::ReadAt, Join(oldFolder, "b.html"));
    const RunResult result =
        RunUpgrade(templatePath, oldFolder, observer, observer.With(Files(system)));
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_EQ(afterStop[Call::ReadAt], 0) << "the page's read ends at the stop";
    EXPECT_EQ(afterStop[Call::OpenToRead], 0) << "c.html is never begun";
    EXPECT_THAT(AllNames(output), ElementsAre("a.html"));
    EXPECT_THAT(observer.log, HasSubstr("upgraded 1 a.html\n"));
    EXPECT_THAT(observer.log, Not(HasSubstr("completed")));
}

// Each thread may be in one read as the stop comes; none reads on past it.
TEST_F(StoppingTest, DocumentsPreparedAheadAreDroppedAtTheStop) {
    const DecidedBy system = StopAtFirst(Call::ReadAt, Join(oldFolder, "b.html"));
    constexpr std::size_t kAhead = 2;
    const RunResult result = RunUpgrade(templatePath, oldFolder, observer,
                                        observer.With(Files(system)), RunOptions{kAhead});
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_LE(afterStop[Call::ReadAt], static_cast<int>(kAhead) + 1);
    EXPECT_FALSE(Exists(Join(output, "c.html")));
    EXPECT_THAT(observer.log, Not(HasSubstr("completed")));
}

TEST_F(StoppingTest, StopWhileTheTemplateIsReadMakesNothing) {
    WriteBytes(templatePath, Document(std::string(std::size_t{4} << 20, 'v'), "T", ""));
    const DecidedBy system = StopAtFirst(Call::ReadAt, templatePath);
    const RunResult result =
        RunUpgrade(templatePath, oldFolder, observer, observer.With(Files(system)));
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_EQ(afterStop[Call::ReadAt], 0);
    EXPECT_FALSE(Exists(output)) << "no NewORBA is made after the stop";
    EXPECT_EQ(observer.log, "");
}

TEST_F(StoppingTest, DryRunStopsAtTheStopToo) {
    const DecidedBy system = StopAtFirst(Call::ReadAt, Join(oldFolder, "b.html"));
    const RunResult result =
        CheckUpgrade(templatePath, oldFolder, observer, observer.With(Files(system)));
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_EQ(afterStop[Call::ReadAt], 0);
    EXPECT_EQ(afterStop[Call::OpenToRead], 0) << "c.html is never looked at";
    EXPECT_THAT(observer.messages, ::testing::IsEmpty());
}

// A slow device may take seconds to flush a batch: the stop is seen between two calls of the
// flush, and the batch is dropped, none of its outputs named.
TEST_F(StoppingTest, StopDuringABatchsFlushEndsItAtTheNextCall) {
    for (const bool eachFile : {false, true}) {
        SCOPED_TRACE(eachFile ? "each output flushed on its own" : "one flush of the file system");
        observer = {};
        afterStop.clear();
        const bool wholeFileSystem =
            !eachFile && sys::TheSystem().OneFlushReachesEveryFile(oldFolder);
        const DecidedBy system =
            StopAtFirst(wholeFileSystem ? Call::WriteOut : Call::Flush, "", eachFile);
        const RunResult result = RunUpgrade(templatePath, oldFolder, observer,
                                            observer.With(Files(system, Durability::OnDisk)));
        EXPECT_EQ(result.outcome, RunOutcome::Stopped);
        // The other output's flush may have been under way on a thread of its own.
        EXPECT_LE(
            afterStop[Call::WriteOut] + afterStop[Call::Flush] + afterStop[Call::FlushFileSystem],
            wholeFileSystem ? 0 : 1);
        EXPECT_EQ(afterStop[Call::MoveIntoPlace], 0);
        EXPECT_FALSE(Exists(Join(output, "a.html")));
        EXPECT_FALSE(Exists(Join(output, "c.html")));
        EXPECT_THAT(observer.log, Not(HasSubstr("upgraded")));
    }
}

}  // namespace
}  // namespace orba
