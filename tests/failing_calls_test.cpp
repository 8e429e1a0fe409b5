// Every file call of a run can fail: the Nth call is made to fail, for N = 1, 2, ... until the run
// completes. After each failure the message names a file and a reason, every output is either
// what the earlier run left or complete, and no temporary file stays behind.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <utility>

#include "engine/upgrade_run.h"
#include "storage/files.h"
#include "tests/run_fixtures.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::HasSubstr;

// Refuses the `failAt`th call it is asked about, and remembers which kind that was. Documents
// prepared ahead ask it from several threads.
class FailNthCall final : public FileCallGate {
  public:
    explicit FailNthCall(int failAt) : failAt_(failAt) {}
    bool Allow(FileCall call) override {
        const std::lock_guard lock(mutex_);
        if (++calls_ == failAt_) {
            failed_ = call;
            return false;
        }
        return true;
    }
    std::optional<FileCall> failed() const {
        const std::lock_guard lock(mutex_);
        return failed_;
    }

  private:
    mutable std::mutex mutex_;
    int failAt_;
    int calls_ = 0;
    std::optional<FileCall> failed_;
};

bool IsTemporary(const std::string& name) {
    return name.starts_with(Files::kTemporaryPrefix);
}

class FailingCallsTest : public UpgradeRunTest {
  protected:
    void SetUp() override {
        UpgradeRunTest::SetUp();
        for (const char* name : {"a.html", "b.html", "c.html"}) {
            WriteBytes(Join(oldFolder, name), Document("<old>", std::string("块-") + name, ""));
        }
        WriteBytes(Join(oldFolder, "none.html"), "no data block");
        // An earlier run's outputs, one of them for a document that is gone now.
        MakeFolder(output);
        earlier = {{"a.html", "earlier a"}, {"b.html", "earlier b"}, {"gone.html", "earlier gone"}};
        for (const auto& [name, text] : earlier) {
            WriteBytes(Join(output, name), text);
        }
    }

    // Every output is the earlier run's or the complete new one; no temporary file is visible
    // unless `allowTemporary`.
    void ExpectOutputsWhole(bool allowTemporary) {
        for (const std::string& name : AllNames(output)) {
            const std::string bytes = ReadBytes(Join(output, name));
            if (IsTemporary(name)) {
                EXPECT_TRUE(allowTemporary) << "temporary file left: " << name;
                continue;
            }
            const auto before = earlier.find(name);
            const bool asBefore = before != earlier.end() && bytes == before->second;
            const bool complete = bytes == Upgraded("块-" + name);
            EXPECT_TRUE(asBefore || complete) << name << " is partial: " << bytes;
        }
    }

    std::map<std::string, std::string> earlier;
};

// Documents one after the other, as the window runs them, and prepared ahead, as the command line
// runs them.
class EveryFailingCallTest : public FailingCallsTest,
                             public ::testing::WithParamInterface<std::size_t> {};

INSTANTIATE_TEST_SUITE_P(PreparedAhead, EveryFailingCallTest, ::testing::Values(0, 2));

TEST_P(EveryFailingCallTest, StopsTheRunCleanly) {
    const std::size_t prepareAhead = GetParam();
    int failAt = 1;
    for (;; ++failAt) {
        SCOPED_TRACE("call " + std::to_string(failAt) + " fails");
        FailNthCall gate(failAt);
        RecordingHost failing;
        const RunResult result =
            RunUpgrade(templatePath, oldFolder, failing, Files(gate), prepareAhead);
        if (!gate.failed()) {
            EXPECT_EQ(result.outcome, RunOutcome::Completed);
            break;
        }
        EXPECT_EQ(result.outcome, RunOutcome::Failed);
        ASSERT_EQ(failing.messages.size(), 1u);
        EXPECT_THAT(failing.messages[0],
                    ::testing::AnyOf(HasSubstr(templatePath), HasSubstr(oldFolder)))
            << "the message names a file";
        EXPECT_THAT(failing.messages[0], HasSubstr("系统原因："));
        EXPECT_THAT(failing.log, ::testing::Not(HasSubstr("【处理结束"))) << "no closing entries";

        // Only a failed removal may leave a temporary file, and the next run's clean-up takes it.
        const bool removalFailed = *gate.failed() == FileCall::Remove;
        ExpectOutputsWhole(removalFailed);
        if (removalFailed) {
            RecordingHost next;
            EXPECT_EQ(RunUpgrade(templatePath, oldFolder, next).outcome, RunOutcome::Completed);
            ExpectOutputsWhole(false);
            for (const auto& [name, text] : earlier) {  // back to the earlier run's state
                WriteBytes(Join(output, name), text);
            }
            Remove(Join(output, "c.html"));
        }
        EXPECT_LT(failAt, 200) << "the run never completes";
        if (failAt >= 200) {
            break;
        }
    }
    EXPECT_GT(failAt, 10) << "the run makes its file calls through the gate";
    ExpectOutputsWhole(false);
    EXPECT_EQ(ReadBytes(Join(output, "gone.html")), "earlier gone");
    for (const char* name : {"a.html", "b.html", "c.html"}) {
        EXPECT_EQ(ReadBytes(Join(output, name)), Upgraded(std::string("块-") + name));
    }
}

// Refuses the first call of one kind.
class FailFirst final : public FileCallGate {
  public:
    explicit FailFirst(FileCall kind) : kind_(kind) {}
    bool Allow(FileCall call) override { return call != kind_ || std::exchange(failed_, true); }

  private:
    FileCall kind_;
    bool failed_ = false;
};

TEST_F(FailingCallsTest, FailedCreationOfTheOutputFolderNamesIt) {
    for (const char* name : {"a.html", "b.html", "gone.html"}) {
        Remove(Join(output, name));
    }
    Remove(output);
    FailFirst gate(FileCall::Create);
    const RunResult result = RunUpgrade(templatePath, oldFolder, host, Files(gate));
    EXPECT_EQ(result.outcome, RunOutcome::Failed);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_THAT(host.messages[0], HasSubstr("无法创建文件夹 " + output));
    EXPECT_FALSE(Exists(output));
}

TEST_F(FailingCallsTest, WriteReportedFailedAtTheCloseKeepsTheNewOutput) {
    // The output already has its name when the system reports the deferred write: removing it
    // would lose the earlier output too.
    FailFirst gate(FileCall::Flush);
    const RunResult result = RunUpgrade(templatePath, oldFolder, host, Files(gate));
    EXPECT_EQ(result.outcome, RunOutcome::Failed);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_THAT(host.messages[0], HasSubstr("无法写入文件 " + Join(output, "a.html")));
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), Upgraded("块-a.html"));
}

// A gate that fails as no file call does.
class Throwing final : public FileCallGate {
  public:
    bool Allow(FileCall /*call*/) override { throw std::runtime_error("意外的失败"); }
};

TEST_F(FailingCallsTest, DryRunReportsAnyFailureAsARunDoes) {
    Throwing gate;
    RecordingHost dry;
    EXPECT_EQ(CheckUpgrade(templatePath, oldFolder, dry, Files(gate)).outcome, RunOutcome::Failed);
    RecordingHost run;
    EXPECT_EQ(RunUpgrade(templatePath, oldFolder, run, Files(gate)).outcome, RunOutcome::Failed);
    ASSERT_EQ(dry.messages.size(), 1u);
    EXPECT_THAT(dry.messages[0], HasSubstr("意外的失败"));
    EXPECT_EQ(dry.messages, run.messages);
}

}  // namespace
}  // namespace orba
