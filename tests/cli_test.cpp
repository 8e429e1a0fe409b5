// End-to-end runs of the orba-upgrade program: bytes on stdout and stderr, exit status, files.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/run_texts.h"
#include "tests/process_runner.h"
#include "tests/test_support.h"

namespace orba {
namespace {

using test::AllNames;
using test::Document;
using test::ExpectedLog;
using test::MakeFolder;
using test::ProcessResult;
using test::ReadBytes;
using test::RunProcess;
using test::TempDir;
using test::WriteBytes;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

const std::string kProgram = ORBA_UPGRADE_PATH;

class CommandLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteBytes(templatePath, Document("<new>", "TEMPLATE", "</new>"));
        MakeFolder(oldFolder);
    }

    TempDir dir;
    std::string templatePath = dir / "orba.html";
    std::string oldFolder = dir / "旧版";
    std::string output = oldFolder + "/NewORBA";
};

TEST_F(CommandLineTest, CompletedRunPrintsTheLogBytesAndExitsZero) {
    WriteBytes(oldFolder + "/一.html", Document("<old>", "{\"n\":1}", "</old>"));
    WriteBytes(oldFolder + "/two.HTML", Document("", "{\"n\":2}", ""));
    WriteBytes(oldFolder + "/skip.htm", Document("", "{\"n\":3}", ""));

    const ProcessResult result = RunProcess(kProgram, {" " + templatePath + " ", oldFolder + "/"});

    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, ExpectedLog({"two.HTML", "一.html"}, output));
    EXPECT_THAT(result.err, IsEmpty());
    EXPECT_THAT(AllNames(output), ElementsAre("two.HTML", "一.html"));
    EXPECT_EQ(ReadBytes(output + "/一.html"), Document("<new>", "{\"n\":1}", "</new>"));
}

TEST_F(CommandLineTest, InputProblemGoesToStderrWithStatusTwo) {
    const ProcessResult result = RunProcess(kProgram, {"", oldFolder});
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_THAT(result.out, IsEmpty());
    EXPECT_EQ(result.err, std::string(InputProblemMessage(InputProblem::TemplateNotGiven)) + "\n");

    const ProcessResult noFiles = RunProcess(kProgram, {templatePath, oldFolder});
    EXPECT_EQ(noFiles.exitStatus, 2);
    EXPECT_EQ(noFiles.err, std::string(InputProblemMessage(InputProblem::FolderHasNoFiles)) + "\n");
    EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(CommandLineTest, WrongUsageExitsWith64) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, {templatePath}, {templatePath, oldFolder, "extra"}}) {
        const ProcessResult result = RunProcess(kProgram, arguments);
        EXPECT_EQ(result.exitStatus, 64);
        EXPECT_THAT(result.err, StartsWith("Usage: orba-upgrade TEMPLATE FOLDER"));
        EXPECT_THAT(result.out, IsEmpty());
    }
}

TEST_F(CommandLineTest, HelpAndVersion) {
    const ProcessResult help = RunProcess(kProgram, {"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_THAT(help.out, StartsWith("Usage: orba-upgrade TEMPLATE FOLDER"));
    const ProcessResult version = RunProcess(kProgram, {"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out, "ORBA批量升级工具 1.00.0002\n");
}

TEST_F(CommandLineTest, FullDiskMidRunKeepsEarlierOutputsAndLeavesNoPartialFile) {
    // A file-size limit makes every write beyond it fail as on a full disk.
    WriteBytes(templatePath, Document(std::string(3000, 'v'), "TEMPLATE", ""));
    WriteBytes(oldFolder + "/a.html", Document("", "small", ""));
    WriteBytes(oldFolder + "/b.html", Document("", std::string(10000, 'B'), ""));
    WriteBytes(oldFolder + "/c.html", Document("", "small", ""));

    const ProcessResult result =
        RunProcess(kProgram, {templatePath, oldFolder}, {.fileSizeLimit = 8192});

    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_THAT(result.err, HasSubstr("【写入失败】"));
    EXPECT_THAT(result.err, HasSubstr(output + "/b.html"));
    EXPECT_THAT(result.err, HasSubstr("File too large"));
    EXPECT_THAT(result.out, HasSubstr(" 1: a.html: 升级成功"));
    EXPECT_THAT(result.out, Not(HasSubstr("处理结束")));
    EXPECT_THAT(AllNames(output), ElementsAre("a.html"));
    EXPECT_EQ(ReadBytes(output + "/a.html"), Document(std::string(3000, 'v'), "small", ""));
}

TEST_F(CommandLineTest, FailedWriteKeepsTheEarlierCompleteOutput) {
    WriteBytes(templatePath, Document(std::string(3000, 'v'), "TEMPLATE", ""));
    WriteBytes(oldFolder + "/a.html", Document("", std::string(10000, 'A'), ""));
    MakeFolder(output);
    WriteBytes(output + "/a.html", "result of an earlier run");

    const ProcessResult result =
        RunProcess(kProgram, {templatePath, oldFolder}, {.fileSizeLimit = 8192});

    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(ReadBytes(output + "/a.html"), "result of an earlier run");
    EXPECT_THAT(AllNames(output), ElementsAre("a.html"));
}

}  // namespace
}  // namespace orba
