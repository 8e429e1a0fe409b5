// A stop asked for at any step (a signal to the command line) is seen before the next one: inside
// a large document's read, while the template is read, in the dry run, and on the threads that
// prepare documents ahead, which drop what they were reading.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <stop_token>

#include "storage/files.h"
#include "tests/run_fixtures.h"
#include "tests/wrapped_system.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// Asks for the stop as the first piece of `at` is read, and counts the calls made after that.
class StopAtFirstRead final : public WrappedSystem {
  public:
    StopAtFirstRead(std::string at, std::stop_source stop)
        : at_(std::move(at)), stop_(std::move(stop)) {}

    std::optional<int> Decide(Call call, const std::string& path) const override {
        const std::lock_guard lock(mutex_);
        if (stopped_ && (call == Call::ReadAt || call == Call::OpenToRead)) {
            ++afterStop_[call];
        } else if (call == Call::ReadAt && path == at_) {
            stopped_ = true;
            stop_.request_stop();
        }
        return std::nullopt;
    }
    int AfterStop(Call call) const {
        const std::lock_guard lock(mutex_);
        return afterStop_[call];
    }

  private:
    std::string at_;
    std::stop_source stop_;
    mutable std::mutex mutex_;
    mutable bool stopped_ = false;
    mutable std::map<Call, int> afterStop_;
};

class StoppingTest : public UpgradeRunTest {
  protected:
    void SetUp() override {
        UpgradeRunTest::SetUp();
        WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
        // Many pieces of the read buffer, and no data block.
        WriteBytes(Join(oldFolder, "b.html"), std::string(std::size_t{4} << 20, 'p'));
        WriteBytes(Join(oldFolder, "c.html"), Document("", "C", ""));
    }

    std::stop_source stop;
};

TEST_F(StoppingTest, StopDuringALargePageWithoutABlockBeginsNoFurtherDocument) {
    const StopAtFirstRead system(Join(oldFolder, "b.html"), stop);
    const RunResult result =
        RunUpgrade(templatePath, oldFolder, host, Files(system).StoppingAt(stop.get_token()));
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_EQ(system.AfterStop(Call::ReadAt), 0) << "the page's read ends at the stop";
    EXPECT_EQ(system.AfterStop(Call::OpenToRead), 0) << "c.html is never begun";
    EXPECT_THAT(AllNames(output), ElementsAre("a.html"));
    EXPECT_THAT(host.log, HasSubstr(" 1: a.html: 升级成功"));
    EXPECT_THAT(host.log, Not(HasSubstr("处理结束")));
}

// Each thread may be in one read as the stop comes; none reads on past it.
TEST_F(StoppingTest, DocumentsPreparedAheadAreDroppedAtTheStop) {
    const StopAtFirstRead system(Join(oldFolder, "b.html"), stop);
    constexpr std::size_t kAhead = 2;
    const RunResult result = RunUpgrade(templatePath, oldFolder, host,
                                        Files(system).StoppingAt(stop.get_token()), kAhead);
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_LE(system.AfterStop(Call::ReadAt), static_cast<int>(kAhead) + 1);
    EXPECT_FALSE(Exists(Join(output, "c.html")));
    EXPECT_THAT(host.log, Not(HasSubstr("处理结束")));
}

TEST_F(StoppingTest, StopWhileTheTemplateIsReadMakesNothing) {
    WriteBytes(templatePath, Document(std::string(std::size_t{4} << 20, 'v'), "T", ""));
    const StopAtFirstRead system(templatePath, stop);
    const RunResult result =
        RunUpgrade(templatePath, oldFolder, host, Files(system).StoppingAt(stop.get_token()));
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_EQ(system.AfterStop(Call::ReadAt), 0);
    EXPECT_FALSE(Exists(output)) << "no NewORBA is made after the stop";
    EXPECT_EQ(host.log, "");
}

TEST_F(StoppingTest, DryRunStopsAtTheStopToo) {
    const StopAtFirstRead system(Join(oldFolder, "b.html"), stop);
    const RunResult result =
        CheckUpgrade(templatePath, oldFolder, host, Files(system).StoppingAt(stop.get_token()));
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_EQ(system.AfterStop(Call::ReadAt), 0);
    EXPECT_EQ(system.AfterStop(Call::OpenToRead), 0) << "c.html is never looked at";
    EXPECT_THAT(host.messages, ::testing::IsEmpty());
}

}  // namespace
}  // namespace orba
