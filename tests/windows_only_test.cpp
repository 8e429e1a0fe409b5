// Rules of the Windows build: backslashes and drive roots, hidden and system attributes, names
// without regard to letter case, Chinese names, outputs replaced in one step.

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/listing.h"
#include "engine/paths.h"
#include "storage/platform_windows.h"
#include "storage/utf8_file.h"
#include "tests/run_fixtures.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::ElementsAre;
using ::testing::HasSubstr;

void SetAttributes(const std::string& path, DWORD attributes) {
    ASSERT_TRUE(::SetFileAttributesW(platform::WideFromUtf8(path).c_str(), attributes)) << path;
}

DWORD Attributes(const std::string& path) {
    return ::GetFileAttributesW(platform::WideFromUtf8(path).c_str());
}

TEST(WindowsPathsTest, NativeStyleIsBackslashWithDrives) {
    EXPECT_EQ(NativePathStyle().separator, '\\');
    EXPECT_TRUE(NativePathStyle().hasDriveLetters);
    EXPECT_EQ(JoinPath(CutLastBackslash("D:\\a\\"), "NewORBA"), "D:\\a\\NewORBA");
    EXPECT_EQ(JoinPath(CutLastBackslash("D:\\a"), "NewORBA"), "D:\\a\\NewORBA");
}

TEST(WindowsListingTest, HiddenAndSystemFilesAreNeitherListedNorFound) {
    TempDir dir;
    WriteBytes(dir / "visible.html", "x");
    WriteBytes(dir / "hidden.html", "x");
    WriteBytes(dir / "system.html", "x");
    WriteBytes(dir / "FOO.HTML", "x");
    WriteBytes(dir / "foo.htm", "x");
    SetAttributes(dir / "hidden.html", FILE_ATTRIBUTE_HIDDEN);
    SetAttributes(dir / "system.html", FILE_ATTRIBUTE_SYSTEM);
    EXPECT_THAT(ListFiles(dir.path(), "*.html"), ElementsAre("FOO.HTML", "visible.html"));
    EXPECT_TRUE(FileExists(dir / "visible.html"));
    EXPECT_FALSE(FileExists(dir / "hidden.html"));
    EXPECT_FALSE(FileExists(dir / "system.html"));
    EXPECT_FALSE(FileExists(dir / "*.html")) << "wildcards are not expanded";
}

TEST(WindowsListingTest, FolderWithOnlyHiddenFilesHasNoFiles) {
    TempDir dir;
    WriteHiddenFile(dir / "desktop.ini", "x");
    EXPECT_FALSE(FolderHasFiles(dir.path()));
    EXPECT_FALSE(FolderHasFiles(WithTrailingSeparator(dir.path())));
}

TEST_F(UpgradeRunTest, FolderWithOrWithoutTrailingBackslashGivesOneOutputFolder) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    EXPECT_EQ(Run(templatePath, oldFolder + "\\").outcome, RunOutcome::Completed);
    EXPECT_EQ(Run(templatePath, oldFolder).outcome, RunOutcome::Completed);
    EXPECT_EQ(host.log, ExpectedLog({"a.html"}, oldFolder + "\\NewORBA") +
                            ExpectedLog({"a.html"}, oldFolder + "\\NewORBA"));
}

TEST_F(UpgradeRunTest, OneBackslashIsNoFolder) {
    ExpectRefused(Run(templatePath, " \\ "), InputProblem::FolderNotGiven);
}

TEST_F(UpgradeRunTest, HiddenTemplateIsNotFound) {
    SetAttributes(templatePath, FILE_ATTRIBUTE_HIDDEN);
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    ExpectRefused(Run(), InputProblem::TemplateNotFound);
}

TEST_F(UpgradeRunTest, TemplateNamedInOtherLetterCaseIsPassedOver) {
    WriteBytes(Join(oldFolder, "tpl.html"), kTemplateText);
    WriteBytes(Join(oldFolder, "FOO.HTML"), Document("", "F", ""));
    const RunResult result = Run(Join(oldFolder, "TPL.HTML"), oldFolder);
    EXPECT_EQ(result.upgraded, 1u);
    EXPECT_EQ(host.log, ExpectedLog({"FOO.HTML"}, output));
}

TEST_F(UpgradeRunTest, ChineseNamesComeThroughIntact) {
    const std::string folder = dir / "旧版脑图";
    MakeFolder(folder);
    WriteBytes(Join(folder, "项目计划.html"), Document("", "{\"计划\":1}", ""));
    EXPECT_EQ(Run(templatePath, folder).upgraded, 1u);
    EXPECT_THAT(host.log, HasSubstr(" 1: 项目计划.html: 升级成功"));
    EXPECT_EQ(ReadBytes(Join(Join(folder, "NewORBA"), "项目计划.html")), Upgraded("{\"计划\":1}"));
}

TEST_F(UpgradeRunTest, ExistingOutputIsReplacedWholeAndVisible) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    MakeFolder(output);
    WriteBytes(Join(output, "a.html"), std::string(100000, 'x'));
    EXPECT_EQ(Run().outcome, RunOutcome::Completed);
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), Upgraded("A"));
    EXPECT_THAT(AllNames(output), ElementsAre("a.html")) << "no temporary file is left";
    EXPECT_EQ(Attributes(Join(output, "a.html")) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

}  // namespace
}  // namespace orba
