#include "engine/upgrade_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "engine/markers.h"
#include "tests/test_support.h"

namespace orba {
namespace {

using test::AllNames;
using test::Document;
using test::ExpectedLog;
using test::MakeFolder;
using test::ReadBytes;
using test::RecordingHost;
using test::TempDir;
using test::WriteBytes;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

const std::string kTemplateText =
    Document("<html><script>新版查看器</script>", "{\"t\":\"模板\"}", "<footer>v2</footer></html>");

std::string Upgraded(std::string_view oldBlock) {
    return Document("<html><script>新版查看器</script>", oldBlock, "<footer>v2</footer></html>");
}

// A template beside an old-version folder "old".
class UpgradeRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteBytes(templatePath, kTemplateText);
        MakeFolder(oldFolder);
    }

    RunResult Run() { return RunUpgrade(templatePath, oldFolder, host); }
    RunResult Run(std::string_view templateBox, std::string_view folderBox) {
        return RunUpgrade(templateBox, folderBox, host);
    }

    void ExpectRefused(const RunResult& result, InputProblem problem) {
        EXPECT_EQ(result.outcome, RunOutcome::Refused);
        EXPECT_EQ(result.problem, problem);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0], InputProblemMessage(problem));
        EXPECT_THAT(host.log, IsEmpty());
        EXPECT_FALSE(std::filesystem::exists(output)) << "a refused run creates nothing";
    }

    TempDir dir;
    std::string templatePath = dir / "tpl.html";
    std::string oldFolder = dir / "old";
    std::string output = oldFolder + "/NewORBA";
    RecordingHost host;
};

TEST_F(UpgradeRunTest, UpgradesEveryHtmlDocumentWithADataBlock) {
    WriteBytes(oldFolder + "/b.html", Document("<old viewer>", "{\"b\":\"乙\"}", "</old>"));
    WriteBytes(oldFolder + "/A.HTML", Document("", "{\"a\":\"甲\"}", ""));
    WriteBytes(oldFolder + "/c.htm", Document("", "{\"c\":1}", ""));
    WriteBytes(oldFolder + "/empty-block.html", Document("", "", ""));
    WriteBytes(oldFolder + "/plain.html", "<html>no map here</html>");
    WriteBytes(oldFolder + "/z.html", Document("", "{\"z\":26}", ""));

    const RunResult result = Run();

    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(result.upgraded, 3u);
    EXPECT_THAT(host.messages, IsEmpty());
    EXPECT_EQ(host.log, ExpectedLog({"A.HTML", "b.html", "z.html"}, output));
    EXPECT_EQ(host.documentPauses, 3);
    EXPECT_EQ(host.resultPauses, 1);
    EXPECT_THAT(AllNames(output), ElementsAre("A.HTML", "b.html", "z.html"));
    EXPECT_EQ(ReadBytes(output + "/A.HTML"), Upgraded("{\"a\":\"甲\"}"));
    EXPECT_EQ(ReadBytes(output + "/b.html"), Upgraded("{\"b\":\"乙\"}"));
    EXPECT_EQ(ReadBytes(oldFolder + "/b.html"),
              Document("<old viewer>", "{\"b\":\"乙\"}", "</old>"))
        << "old documents are never changed";
}

TEST_F(UpgradeRunTest, PathsAreTrimmedAndATrailingSeparatorIsCut) {
    WriteBytes(oldFolder + "/a.html", Document("", "A", ""));
    const RunResult result = Run("  " + templatePath + "\xE3\x80\x80 ", " " + oldFolder + "/ ");
    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(host.log, ExpectedLog({"a.html"}, output));
}

TEST_F(UpgradeRunTest, FolderWithFilesButNoDocumentsStillCompletes) {
    WriteBytes(oldFolder + "/notes.txt", "x");
    const RunResult result = Run();
    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(result.upgraded, 0u);
    EXPECT_EQ(host.log, ExpectedLog({}, output));
    EXPECT_TRUE(std::filesystem::is_directory(output));
}

TEST_F(UpgradeRunTest, RefusesAMissingTemplate) {
    WriteBytes(oldFolder + "/a.html", Document("", "A", ""));
    ExpectRefused(Run("   ", oldFolder), InputProblem::TemplateNotGiven);
    host = {};
    ExpectRefused(Run(dir / "missing.html", oldFolder), InputProblem::TemplateNotFound);
    host = {};
    ExpectRefused(Run(oldFolder, oldFolder), InputProblem::TemplateNotFound);
    host = {};
    WriteBytes(dir / ".hidden.html", kTemplateText);
    ExpectRefused(Run(dir / ".hidden.html", oldFolder), InputProblem::TemplateNotFound);
}

TEST_F(UpgradeRunTest, RefusesATemplateWithoutAUsableBlock) {
    WriteBytes(oldFolder + "/a.html", Document("", "A", ""));
    const std::string start(kStartMarker);
    const std::string end(kEndMarker);
    for (const std::string& text :
         {std::string("<html/>"), "x" + start + "no end", end + "x" + start,
          Document("", "     ", ""), Document("", "", "")}) {
        host = {};
        WriteBytes(templatePath, text);
        ExpectRefused(Run(), InputProblem::TemplateBlockBlank);
    }
}

TEST_F(UpgradeRunTest, RefusesAMissingOrEmptyFolder) {
    ExpectRefused(Run(templatePath, "  "), InputProblem::FolderNotGiven);
    host = {};
    ExpectRefused(Run(templatePath, " / "), InputProblem::FolderNotGiven);
    host = {};
    ExpectRefused(Run(), InputProblem::FolderHasNoFiles);
    host = {};
    MakeFolder(oldFolder + "/sub");
    WriteBytes(oldFolder + "/sub/a.html", Document("", "A", ""));
    ExpectRefused(Run(), InputProblem::FolderHasNoFiles);
    host = {};
    ExpectRefused(Run(templatePath, dir / "missing"), InputProblem::FolderHasNoFiles);
}

TEST_F(UpgradeRunTest, TemplateInTheFolderIsPassedOver) {
    const std::string inside = oldFolder + "/tpl.html";
    WriteBytes(inside, kTemplateText);
    WriteBytes(oldFolder + "/a.html", Document("", "A", ""));
    EXPECT_EQ(Run(inside, oldFolder).upgraded, 1u);
    EXPECT_EQ(host.log, ExpectedLog({"a.html"}, output));
}

TEST_F(UpgradeRunTest, FilesThatOnlyShareTheTemplatesNameInAnotherCaseAreDocuments) {
    const std::string inside = oldFolder + "/tpl.html";
    WriteBytes(inside, kTemplateText);
    WriteBytes(oldFolder + "/TPL.html", Document("", "upper", ""));
    EXPECT_EQ(Run(inside, oldFolder).upgraded, 1u);
    EXPECT_EQ(ReadBytes(output + "/TPL.html"), Upgraded("upper"));
}

TEST_F(UpgradeRunTest, TemplateNamedThroughAnotherPathFormIsAnOrdinaryDocument) {
    WriteBytes(oldFolder + "/tpl.html", kTemplateText);
    EXPECT_EQ(Run(oldFolder + "/./tpl.html", oldFolder).upgraded, 1u);
    EXPECT_EQ(ReadBytes(output + "/tpl.html"), kTemplateText);
}

TEST_F(UpgradeRunTest, SecondRunReplacesOutputsAndAppendsToTheLog) {
    WriteBytes(oldFolder + "/a.html", Document("", "A", ""));
    Run();
    WriteBytes(oldFolder + "/a.html", Document("", "A2", ""));
    Run();
    EXPECT_EQ(host.log, ExpectedLog({"a.html"}, output) + ExpectedLog({"a.html"}, output));
    EXPECT_EQ(ReadBytes(output + "/a.html"), Upgraded("A2"));
}

TEST_F(UpgradeRunTest, AllOutputsComeFromTheTemplateAsReadAtTheStart) {
    MakeFolder(output);
    const std::string templateInOutput = output + "/a.html";
    WriteBytes(templateInOutput, kTemplateText);
    WriteBytes(oldFolder + "/a.html", Document("", "A", ""));
    WriteBytes(oldFolder + "/b.html", Document("", "B", ""));
    EXPECT_EQ(Run(templateInOutput, oldFolder).upgraded, 2u);
    EXPECT_EQ(ReadBytes(output + "/a.html"), Upgraded("A"));
    EXPECT_EQ(ReadBytes(output + "/b.html"), Upgraded("B"));
}

TEST_F(UpgradeRunTest, EndingTheProgramStopsBetweenTwoDocuments) {
    for (const char* name : {"a.html", "b.html", "c.html"}) {
        WriteBytes(oldFolder + "/" + name, Document("", name, ""));
    }
    host.onDocument = [] { return false; };
    const RunResult result = Run();
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_EQ(result.upgraded, 1u);
    EXPECT_THAT(host.log, Not(HasSubstr("处理结束")));
    EXPECT_THAT(AllNames(output), ElementsAre("a.html"));
    EXPECT_EQ(ReadBytes(output + "/a.html"), Upgraded("a.html"));
}

TEST_F(UpgradeRunTest, OutputNameTakenByAFolderStopsTheRunThere) {
    WriteBytes(oldFolder + "/a.html", Document("", "A", ""));
    WriteBytes(oldFolder + "/b.html", Document("", "B", ""));
    WriteBytes(oldFolder + "/c.html", Document("", "C", ""));
    MakeFolder(output);
    MakeFolder(output + "/b.html");

    const RunResult result = Run();

    EXPECT_EQ(result.outcome, RunOutcome::Failed);
    EXPECT_EQ(result.upgraded, 1u);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_THAT(host.messages[0], HasSubstr(output + "/b.html"));
    EXPECT_THAT(host.messages[0], HasSubstr("Is a directory"));
    EXPECT_THAT(host.log, HasSubstr(" 1: a.html: 升级成功"));
    EXPECT_THAT(host.log, Not(HasSubstr("处理结束")));
    EXPECT_THAT(AllNames(output), ElementsAre("a.html", "b.html")) << "no temporary file left";
    EXPECT_EQ(ReadBytes(output + "/a.html"), Upgraded("A"));
}

TEST_F(UpgradeRunTest, OutputFolderNameTakenByAFileFails) {
    WriteBytes(oldFolder + "/a.html", Document("", "A", ""));
    WriteBytes(output, "I am a file");
    const RunResult result = Run();
    EXPECT_EQ(result.outcome, RunOutcome::Failed);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_THAT(host.messages[0], HasSubstr("【创建文件夹失败】"));
    EXPECT_THAT(host.messages[0], HasSubstr(output));
    EXPECT_THAT(host.log, IsEmpty());
    EXPECT_EQ(ReadBytes(output), "I am a file");
}

TEST_F(UpgradeRunTest, DocumentVanishingDuringTheRunIsReportedByName) {
    WriteBytes(oldFolder + "/a.html", Document("", "A", ""));
    WriteBytes(oldFolder + "/b.html", Document("", "B", ""));
    host.onDocument = [this] {
        std::filesystem::remove(oldFolder + "/b.html");
        return true;
    };
    const RunResult result = Run();
    EXPECT_EQ(result.outcome, RunOutcome::Failed);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_THAT(host.messages[0], HasSubstr("【读取失败】"));
    EXPECT_THAT(host.messages[0], HasSubstr(oldFolder + "/b.html"));
    EXPECT_THAT(host.messages[0], HasSubstr("No such file or directory"));
}

TEST_F(UpgradeRunTest, FifoNamedLikeADocumentIsNotRead) {
    WriteBytes(oldFolder + "/a.html", Document("", "A", ""));
    ASSERT_EQ(::mkfifo((oldFolder + "/x.html").c_str(), 0644), 0);
    const RunResult result = Run();
    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(host.log, ExpectedLog({"a.html"}, output));
}

TEST_F(UpgradeRunTest, LinkAtAnOutputNameIsReplaced) {
    WriteBytes(oldFolder + "/a.html", Document("", "A", ""));
    WriteBytes(dir / "precious.html", "precious");
    MakeFolder(output);
    ASSERT_EQ(::symlink((dir / "precious.html").c_str(), (output + "/a.html").c_str()), 0);
    EXPECT_EQ(Run().outcome, RunOutcome::Completed);
    EXPECT_EQ(ReadBytes(dir / "precious.html"), "precious");
    EXPECT_EQ(ReadBytes(output + "/a.html"), Upgraded("A"));
}

TEST_F(UpgradeRunTest, TemplateOnAnotherFileSystemGivesTheSameOutput) {
    // Copying between two file systems takes the plain write path instead of the kernel copy.
    if (!std::filesystem::is_directory("/dev/shm")) {
        GTEST_SKIP() << "no second file system at /dev/shm";
    }
    const std::string elsewhere = "/dev/shm/orba-test-template-" + std::to_string(::getpid());
    WriteBytes(elsewhere, kTemplateText);
    WriteBytes(oldFolder + "/a.html", Document("", "甲", ""));
    WriteBytes(oldFolder + "/b.html", Document("", "乙", ""));
    const RunResult result = Run(elsewhere, oldFolder);
    std::filesystem::remove(elsewhere);
    EXPECT_EQ(result.upgraded, 2u);
    EXPECT_EQ(ReadBytes(output + "/a.html"), Upgraded("甲"));
    EXPECT_EQ(ReadBytes(output + "/b.html"), Upgraded("乙"));
}

}  // namespace
}  // namespace orba
