// End-to-end runs of the orba-upgrade program: bytes on stdout and stderr, exit status, files.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/paths.h"
#include "engine/run_texts.h"
#include "tests/process_runner.h"
#include "tests/run_fixtures.h"
#include "tests/test_support.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

TEST_F(CommandLineTest, CompletedRunPrintsTheLogBytesAndExitsZero) {
    WriteBytes(Join(oldFolder, "一.html"), Document("<old>", "{\"n\":1}", "</old>"));
    WriteBytes(Join(oldFolder, "two.HTML"), Document("", "{\"n\":2}", ""));
    WriteBytes(Join(oldFolder, "skip.htm"), Document("", "{\"n\":3}", ""));

    const ProcessResult result =
        RunProcess(kProgram, {" " + templatePath + " ", WithTrailingSeparator(oldFolder)});

    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, ExpectedLog({"two.HTML", "一.html"}, output));
    EXPECT_THAT(result.err, IsEmpty());
    EXPECT_THAT(AllNames(output), ElementsAre("two.HTML", "一.html"));
    EXPECT_EQ(ReadBytes(Join(output, "一.html")), Document("<new>", "{\"n\":1}", "</new>"));
}

TEST_F(CommandLineTest, InputProblemGoesToStderrWithStatusTwo) {
    const ProcessResult result = RunProcess(kProgram, {"", oldFolder});
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_THAT(result.out, IsEmpty());
    EXPECT_EQ(result.err, std::string(InputProblemMessage(InputProblem::TemplateNotGiven)) + "\n");

    const ProcessResult noFiles = RunProcess(kProgram, {templatePath, oldFolder});
    EXPECT_EQ(noFiles.exitStatus, 2);
    EXPECT_EQ(noFiles.err, std::string(InputProblemMessage(InputProblem::FolderHasNoFiles)) + "\n");
    EXPECT_FALSE(Exists(output));
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

}  // namespace
}  // namespace orba
