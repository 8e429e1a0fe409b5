// End-to-end runs of the orba-upgrade program: bytes on stdout and stderr, exit status, files.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "app/texts_zh.h"
#include "engine/markers.h"
#include "storage/paths.h"
#include "tests/support/process_runner.h"
#include "tests/support/run_fixtures.h"
#include "tests/support/test_support.h"

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
    EXPECT_EQ(result.err, Lines("2 upgraded, 0 passed over, 1 not looked at; -v names each entry "
                                "not upgraded, and why\n"));
    EXPECT_THAT(AllNames(output), ElementsAre("two.HTML", "一.html"));
    EXPECT_EQ(ReadBytes(Join(output, "一.html")), Document("<new>", "{\"n\":1}", "</new>"));
}

TEST_F(CommandLineTest, InputProblemNamesItsPathWithStatusTwo) {
    const ProcessResult result = RunProcess(kProgram, {" ", oldFolder}, kEnglish);
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_THAT(result.out, IsEmpty());
    EXPECT_EQ(result.err,
              Lines("No template given: name a document of the new ORBA version to upgrade to.\n"
                    "template: ' '\n"));

    const ProcessResult missing = RunProcess(kProgram, {templatePath, dir / "missing"}, kEnglish);
    EXPECT_EQ(missing.exitStatus, 2);
    EXPECT_EQ(missing.err, Lines("Folder not found: there is no folder at this path.\nfolder: '" +
                                 (dir / "missing") + "'\n"));

    // The folder stands, but holds only a hidden file and a subfolder.
    WriteHiddenFile(Join(oldFolder, ".hidden.html"), "x");
    MakeFolder(Join(oldFolder, "sub"));
    const ProcessResult noFiles = RunProcess(kProgram, {templatePath, oldFolder}, kEnglish);
    EXPECT_EQ(noFiles.exitStatus, 2);
    EXPECT_EQ(
        noFiles.err,
        Lines("Folder without files: the folder holds no ordinary file to upgrade.\nfolder: '" +
              oldFolder + "'\n"));
    EXPECT_FALSE(Exists(output));
#ifndef _WIN32  // on Windows the user's interface language decides, not the locale's variables
    const ProcessResult chinese = RunProcess(kProgram, {templatePath, oldFolder}, kChinese);
    EXPECT_EQ(chinese.exitStatus, 2);
    EXPECT_EQ(chinese.err,
              "【旧版文件夹未找到】：请正确指定旧版本脑图所在文件夹，该文件夹中的所有 ORBA "
              "文件都将被升级。\n请重新指定。\n文件夹：“" +
                  oldFolder + "”\n");
#endif
}

// The two paths in the wrong order: each is said to be of the other kind.
TEST_F(CommandLineTest, SwappedArgumentsAreCalledWhatTheyAre) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    const ProcessResult swapped = RunProcess(kProgram, {oldFolder, templatePath}, kEnglish);
    EXPECT_EQ(swapped.exitStatus, 2);
    EXPECT_THAT(swapped.err,
                Says("This is a folder, not a file: TEMPLATE comes first, then FOLDER.",
                     "这是一个文件夹，不是文件；先写模板，再写文件夹。"));
    const ProcessResult fileAsFolder =
        RunProcess(kProgram, {templatePath, Join(oldFolder, "a.html")}, kEnglish);
    EXPECT_EQ(fileAsFolder.exitStatus, 2);
    EXPECT_THAT(fileAsFolder.err,
                Says("This is a file, not a folder: TEMPLATE comes first, then FOLDER.",
                     "这是一个文件，不是文件夹；先写模板，再写文件夹。"));
}

TEST_F(CommandLineTest, DryRunTellsOfAnOutputFolderItCouldNotMakeAsNothingWritten) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    WriteBytes(output, "a file where NewORBA would be");
    const ProcessResult result = RunProcess(kProgram, {"-n", templatePath, oldFolder}, kEnglish);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_THAT(result.out, IsEmpty());
    EXPECT_THAT(result.err, HasSubstr(output));
    EXPECT_THAT(result.err, Says(Lines("The check stopped; nothing was written.\n"),
                                 Lines("检查已中止；没有写入任何文件。\n")));
    EXPECT_EQ(ReadBytes(output), "a file where NewORBA would be");
}

TEST_F(CommandLineTest, WrongUsageSaysWhatIsWrongInTwoLinesAndExitsWith64) {
    const std::string hint = Lines("Try 'orba-upgrade --help' for more information.\n");
    const std::string hintZh = "请用“orba-upgrade --help”查看更多信息。\n";
    const struct {
        std::vector<std::string> arguments;
        std::string english;
        std::string chinese;
    } cases[] = {
        {{}, "missing TEMPLATE and FOLDER operands", "缺少操作数：模板 和 文件夹"},
        {{templatePath},
         "missing FOLDER operand after '" + templatePath + "'",
         "“" + templatePath + "”之后缺少操作数：文件夹"},
        {{templatePath, oldFolder, "多余"}, "extra operand '多余'", "多余的操作数“多余”"},
        {{"--frobnicate", templatePath, oldFolder},
         "unrecognized option '--frobnicate'",
         "无法识别的选项“--frobnicate”"},
        {{"-nx", templatePath, oldFolder}, "invalid option -- 'x'", "无效的选项 -- “x”"},
    };
    for (const auto& [arguments, english, chinese] : cases) {
        SCOPED_TRACE(english);
        const ProcessResult result = RunProcess(kProgram, arguments, kEnglish);
        EXPECT_EQ(result.exitStatus, 64);
        EXPECT_EQ(result.err, Lines("orba-upgrade: " + english + "\n") + hint);
        EXPECT_THAT(result.out, IsEmpty());
#ifndef _WIN32  // on Windows the user's interface language decides, not the locale's variables
        const ProcessResult zh = RunProcess(kProgram, arguments, kChinese);
        EXPECT_EQ(zh.exitStatus, 64);
        EXPECT_EQ(zh.err, "orba-upgrade: " + chinese + "\n" + hintZh);
#else
        (void)chinese, (void)hintZh;
#endif
    }
}

TEST_F(CommandLineTest, ShortOptionsGoTogether) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    const ProcessResult result = RunProcess(kProgram, {"-nv", templatePath, oldFolder}, kEnglish);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, Lines("upgrade: a.html (new)\n1 to upgrade, 0 passed over\n"));
}

TEST_F(CommandLineTest, HelpAndVersionInLongAndShortForms) {
    for (const char* option : {"--help", "-h"}) {
        const ProcessResult help = RunProcess(kProgram, {option}, kEnglish);
        EXPECT_EQ(help.exitStatus, 0);
        EXPECT_THAT(help.out,
                    StartsWith(Lines("Usage: orba-upgrade [OPTION]... TEMPLATE FOLDER\n")));
        EXPECT_THAT(help.out, HasSubstr("  -n, --dry-run"));
    }
    for (const char* option : {"--version", "-V"}) {
        const ProcessResult version = RunProcess(kProgram, {option}, kEnglish);
        EXPECT_EQ(version.exitStatus, 0);
        EXPECT_EQ(version.out, Lines("ORBA批量升级工具 1.00.0002\n"));
    }
}

TEST_F(CommandLineTest, DoubleDashEndsTheOptions) {
    const std::string dashFolder = dir / "--help";
    MakeFolder(dashFolder);
    WriteBytes(Join(dashFolder, "a.html"), Document("", "A", ""));
    const ProcessResult result = RunProcess(kProgram, {"--", templatePath, dashFolder}, kEnglish);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(ReadBytes(Join(Join(dashFolder, "NewORBA"), "a.html")),
              Document("<new>", "A", "</new>"));
}

TEST_F(CommandLineTest, DryRunListsEveryDocumentInRunOrderAndWritesNothing) {
    WriteBytes(Join(oldFolder, "b.HTML"), Document("", "B", ""));
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    WriteBytes(Join(oldFolder, "c.html"), "no block");
    WriteBytes(Join(oldFolder, "d.htm"), Document("", "D", ""));  // not a document
    const std::string templateInFolder = Join(oldFolder, "tpl.html");
    WriteBytes(templateInFolder, Document("<new>", "TEMPLATE", "</new>"));
    for (const char* option : {"--dry-run", "-n"}) {
        const ProcessResult result =
            RunProcess(kProgram, {option, templateInFolder, oldFolder}, kEnglish);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.out, Lines("not looked at: d.htm (the name does not end in .html; .htm "
                                    "files are not upgraded either)\n"
                                    "pass over: tpl.html (the template itself)\n"
                                    "upgrade: a.html (new)\n"
                                    "upgrade: b.HTML (new)\n"
                                    "pass over: c.html (no data block)\n"
                                    "2 to upgrade, 2 passed over, 1 not looked at\n"));
        EXPECT_THAT(result.err, IsEmpty());
        EXPECT_FALSE(Exists(output)) << "a dry run creates nothing";
    }
    // Over the outputs of a run, one of them edited since: what each would change.
    RunProcess(kProgram, {templateInFolder, oldFolder});
    WriteBytes(Join(output, "b.HTML"), "edited");
    const ProcessResult again = RunProcess(kProgram, {"-n", templateInFolder, oldFolder}, kEnglish);
    EXPECT_THAT(again.out, HasSubstr(Lines("upgrade: a.html (the output there is the same: not "
                                           "written)\nupgrade: b.HTML (replaces the output "
                                           "there)\n")));
}

TEST_F(CommandLineTest, DryRunChecksTheInputsAsARunDoes) {
    const ProcessResult result = RunProcess(kProgram, {"-n", "", oldFolder}, kEnglish);
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_THAT(result.out, IsEmpty());
    EXPECT_THAT(result.err, ::testing::StartsWith("No template given"));
}

// -v accounts for every entry of the folder, each with its reason, and counts them at the end.
TEST_F(CommandLineTest, VerboseRunNamesWhatItPassesOverAndKeepsTheLog) {
    WriteEntriesOfEveryKind(oldFolder);
    const ProcessResult result = RunProcess(kProgram, {"-v", templatePath, oldFolder}, kEnglish);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, ExpectedLog({"a.html"}, output));
    EXPECT_EQ(result.err,
              Lines("not looked at: .f.html (hidden)\n"
                    "not looked at: e.htm (the name does not end in .html; .htm files are "
                    "not upgraded either)\n"
                    "not looked at: g (a folder: its files are not looked at)\n"
                    "upgraded: a.html (new)\n"
                    "pass over: b.html (no data block)\n"
                    "pass over: c.html (the data block has no end marker: a damaged or "
                    "half-saved map)\n"
                    "pass over: d.html (the data block is empty)\n"
                    "1 upgraded, 3 passed over, 3 not looked at\n"));
    // Without -v, the damaged and the empty map are named all the same, and the rest counted;
    // the log stays as it is. An output that stands with its very bytes is not written again.
    const auto written =
        std::filesystem::last_write_time(std::filesystem::u8path(Join(output, "a.html")));
    const ProcessResult quiet = RunProcess(kProgram, {templatePath, oldFolder}, kEnglish);
    EXPECT_EQ(quiet.out, ExpectedLog({"a.html"}, output));
    EXPECT_EQ(quiet.err, Lines("pass over: c.html (the data block has no end marker: a damaged or "
                               "half-saved map)\n"
                               "pass over: d.html (the data block is empty)\n"
                               "1 upgraded, 3 passed over, 3 not looked at; -v names each entry "
                               "not upgraded, and why\n"));
    EXPECT_EQ(std::filesystem::last_write_time(std::filesystem::u8path(Join(output, "a.html"))),
              written);
}

}  // namespace
}  // namespace orba
