// Documents prepared ahead on other threads: the run reads the same as one document after the
// other, in its log, its outputs, its failures and its stops, and what was prepared but never
// used leaves no trace.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/upgrade_run.h"
#include "storage/prepared_output.h"
#include "tests/support/run_fixtures.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr std::size_t kAhead = 2;

void WriteDocuments(const std::string& folder, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string name = "图" + std::to_string(i) + ".html";
        // Every third has no data block and is passed over.
        WriteBytes(Join(folder, name),
                   i % 3 == 2 ? "无数据块" : Document("<旧>", "块" + std::to_string(i), "</旧>"));
    }
}

TEST(PrepareAheadTest, RunReadsTheSameAsOneDocumentAfterTheOther) {
    TempDir dir;
    const std::string templatePath = dir / "tpl.html";
    WriteBytes(templatePath, kTemplateText);
    std::vector<std::string> logs;
    for (const std::size_t ahead : {std::size_t{0}, kAhead}) {
        const std::string folder = dir / ("old" + std::to_string(ahead));
        MakeFolder(folder);
        WriteDocuments(folder, 14);
        RecordingObserver observer;
        const RunResult result =
            RunUpgrade(templatePath, folder, observer, Files(), RunOptions{ahead});
        EXPECT_EQ(result.outcome, RunOutcome::Completed);
        EXPECT_EQ(result.upgraded, 10u);
        const std::string output = Join(folder, "NewORBA");
        for (int i = 0; i < 14; ++i) {
            const std::string name = Join(output, "图" + std::to_string(i) + ".html");
            if (i % 3 == 2) {
                EXPECT_FALSE(Exists(name));
            } else {
                EXPECT_EQ(ReadBytes(name), Upgraded("块" + std::to_string(i)));
            }
        }
        EXPECT_EQ(AllNames(output).size(), 10u) << "no temporary file left";
        logs.push_back(observer.log.substr(0, observer.log.find("completed")));
    }
    EXPECT_EQ(logs[0], logs[1]);
}

TEST_F(UpgradeRunTest, FailureAheadIsMetInTheOrderOfTheListing) {
    WriteDocuments(oldFolder, 8);
    MakeFolder(output);
    MakeFolder(Join(output, "图3.html"));  // its output cannot be written
    const RunResult result =
        RunUpgrade(templatePath, oldFolder, observer, observer.With(Files()), RunOptions{kAhead});
    EXPECT_EQ(result.outcome, RunOutcome::Failed);
    EXPECT_EQ(result.upgraded, 2u);
    ASSERT_EQ(observer.messages.size(), 1u);
    EXPECT_THAT(observer.messages[0], HasSubstr(Join(output, "图3.html")));
    EXPECT_THAT(observer.log, HasSubstr("upgraded 2 图1.html\n"));
    EXPECT_THAT(observer.log, Not(HasSubstr("图4.html")));
    EXPECT_THAT(AllNames(output), ElementsAre("图0.html", "图1.html", "图3.html"))
        << "documents prepared after the failing one leave nothing";
}

TEST_F(UpgradeRunTest, StopLeavesNothingOfWhatWasPreparedAhead) {
    WriteDocuments(oldFolder, 8);
    observer.onDocument = [] { return false; };
    const RunResult result =
        RunUpgrade(templatePath, oldFolder, observer, observer.With(Files()), RunOptions{kAhead});
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_THAT(AllNames(output), ElementsAre("图0.html"));
}

TEST(PreparedOutputTest, OutputDroppedUncommittedLeavesNothing) {
    TempDir dir;
    {
        PreparedOutput output(Files(), dir / "doc.html");
        output.Write("<a>");
    }
    EXPECT_THAT(AllNames(dir.path()), ::testing::IsEmpty());
    PreparedOutput output(Files(), dir / "doc.html");
    output.Write("<a>");
    output.Write("中间");
    output.Write("</a>");
    output.Commit();
    EXPECT_THAT(AllNames(dir.path()), ElementsAre("doc.html"));
    EXPECT_EQ(ReadBytes(dir / "doc.html"), "<a>中间</a>");
}

TEST(PreparedOutputTest, RepeatCopiesWhatWasWrittenThroughASmallBuffer) {
    TempDir dir;
    PreparedOutput output(Files(), dir / "doc.html");
    output.Write("head[0123456789]tail");
    char buffer[3];
    output.Repeat(5, 10, buffer);
    output.Commit();
    EXPECT_EQ(ReadBytes(dir / "doc.html"), "head[0123456789]tail0123456789");
}

}  // namespace
}  // namespace orba
