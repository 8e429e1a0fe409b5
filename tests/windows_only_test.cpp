// Rules of the Windows build: backslashes and drive roots, hidden and system attributes, names
// without regard to letter case, Chinese names, outputs replaced in one step.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/terminal_text.h"
#include "cli/text_output.h"
#include "engine/listing.h"
#include "storage/files.h"
#include "storage/paths.h"
#include "storage/windows_paths.h"
#include "tests/support/process_runner.h"
#include "tests/support/run_fixtures.h"

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
    EXPECT_EQ(kNativePathStyle.separator, '\\');
    EXPECT_TRUE(kNativePathStyle.hasDriveLetters);
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
    EXPECT_THAT(DocumentNames(dir.path()), ElementsAre("FOO.HTML", "visible.html"));
    EXPECT_TRUE(FileExists(dir / "visible.html", Files()));
    EXPECT_FALSE(FileExists(dir / "hidden.html", Files()));
    EXPECT_FALSE(FileExists(dir / "system.html", Files()));
    EXPECT_FALSE(FileExists(dir / "*.html", Files())) << "wildcards are not expanded";
}

TEST(WindowsListingTest, FolderWithOnlyHiddenFilesHasNoFiles) {
    TempDir dir;
    WriteHiddenFile(dir / "desktop.ini", "x");
    EXPECT_NE(LookAtFolder(dir.path(), Files()), FoundAtPath::Folder);
    EXPECT_NE(LookAtFolder(WithTrailingSeparator(dir.path()), Files()), FoundAtPath::Folder);
}

TEST_F(UpgradeRunTest, FolderWithOrWithoutTrailingBackslashGivesOneOutputFolder) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    EXPECT_EQ(Run(templatePath, oldFolder + "\\").outcome, RunOutcome::Completed);
    EXPECT_EQ(Run(templatePath, oldFolder).outcome, RunOutcome::Completed);
    EXPECT_EQ(observer.log, ExpectedFacts({"a.html"}, oldFolder + "\\NewORBA") +
                                ExpectedFacts({"a.html"}, oldFolder + "\\NewORBA"));
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
    EXPECT_EQ(observer.log, ExpectedFacts({"FOO.HTML"}, output));
}

TEST_F(UpgradeRunTest, ChineseNamesComeThroughIntact) {
    const std::string folder = dir / "旧版脑图";
    MakeFolder(folder);
    WriteBytes(Join(folder, "项目计划.html"), Document("", "{\"计划\":1}", ""));
    EXPECT_EQ(Run(templatePath, folder).upgraded, 1u);
    EXPECT_THAT(observer.log, HasSubstr("upgraded 1 项目计划.html\n"));
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

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers

std::wstring CurrentFolder() {
    wchar_t folder[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, folder);
    return folder;
}

TEST(ExtendedLengthPathTest, EveryFormBecomesAnAbsoluteExtendedPath) {
    using platform::ExtendedLengthPath;
    EXPECT_EQ(ExtendedLengthPath(LR"(C:\maps\旧版\a.html)"), LR"(\\?\C:\maps\旧版\a.html)");
    EXPECT_EQ(ExtendedLengthPath(LR"(C:/maps/./x/../旧版)"), LR"(\\?\C:\maps\旧版)");
    EXPECT_EQ(ExtendedLengthPath(LR"(C:\maps\)"), LR"(\\?\C:\maps\)") << "a folder keeps its end";
    EXPECT_EQ(ExtendedLengthPath(LR"(\\server\share\maps\a.html)"),
              LR"(\\?\UNC\server\share\maps\a.html)");
    EXPECT_EQ(ExtendedLengthPath(LR"(\\?\C:\already\..\as is)"), LR"(\\?\C:\already\..\as is)");
    EXPECT_EQ(ExtendedLengthPath(LR"(\\?\UNC\server\share)"), LR"(\\?\UNC\server\share)");
    EXPECT_EQ(ExtendedLengthPath(LR"(\\.\pipe\name)"), LR"(\\.\pipe\name)");
    EXPECT_EQ(ExtendedLengthPath(L""), L"");

    std::wstring here = CurrentFolder();
    if (!here.ends_with(L'\\')) {
        here += L'\\';
    }
    EXPECT_EQ(ExtendedLengthPath(L"rel\\a.html"), LR"(\\?\)" + here + L"rel\\a.html");
    EXPECT_EQ(ExtendedLengthPath(L".\\rel\\..\\b.html"), LR"(\\?\)" + here + L"b.html");
}

TEST(LongPathTest, RunWritesOutputsBeyondMaxPath) {
    TempDir dir;
    std::string folder = dir.path();
    while (platform::WideFromUtf8(folder).size() < 300) {
        folder = Join(folder, "很长的中文文件夹名称很长的中文文件夹名称");
        MakeFolder(folder);
    }
    const std::string templatePath = dir / "orba.html";
    WriteBytes(templatePath, Document("<new>", "TEMPLATE", "</new>"));
    WriteBytes(Join(folder, "旧图.html"), Document("<old>", "块", "</old>"));
    const std::string output = Join(Join(folder, "NewORBA"), "旧图.html");
    ASSERT_GT(platform::WideFromUtf8(output).size(), 300u);

    const ProcessResult result = RunProcess(kProgram, {templatePath, folder});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(ReadBytes(output), Document("<new>", "块", "</new>"));
}

TEST(LeftoverTest, CleanUpRemovesWhatNoLiveRunHoldsOpen) {
    TempDir dir;
    const std::string dead = dir / ".orba-upgrade-00000000000000aa.tmp";
    const std::string live = dir / ".orba-upgrade-00000000000000bb.tmp";
    WriteBytes(dead, "left by a run that died");
    WriteBytes(live, "being written");
    // A writer holds its temporary file open unshared until it has its final name.
    const HANDLE writer = ::CreateFileW(platform::WideFromUtf8(live).c_str(), GENERIC_WRITE, 0,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    Files().RemoveLeftovers(dir.path());
    ::CloseHandle(writer);
    EXPECT_FALSE(Exists(dead));
    EXPECT_TRUE(Exists(live));
}

// The text as a console shows it: the line the cursor is on, up to the cursor.
std::wstring ConsoleLineBeforeCursor(HANDLE console) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    ::GetConsoleScreenBufferInfo(console, &info);
    std::wstring line(static_cast<std::size_t>(info.dwCursorPosition.X), L'\0');
    DWORD read = 0;
    ::ReadConsoleOutputCharacterW(console, line.data(), static_cast<DWORD>(line.size()),
                                  COORD{0, info.dwCursorPosition.Y}, &read);
    line.resize(read);
    return line;
}

TEST(ConsoleOutputTest, ConsoleGetsTheTextAndKeepsItsCodePage) {
    // A console of the test's own (Wine attaches console programs started from a shell to one
    // without a screen buffer).
    ::FreeConsole();
    ASSERT_TRUE(::AllocConsole());
    const HANDLE console =
        ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(console, INVALID_HANDLE_VALUE);
    std::FILE* stream = ::_fdopen(
        ::_open_osfhandle(reinterpret_cast<intptr_t>(console), _O_WRONLY | _O_BINARY), "wb");
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(cli::IsTerminal(stream));
    ::SetConsoleOutputCP(936);  // a Chinese system's console
    EXPECT_TRUE(cli::WriteText(stream, "\r\n 1: 项目计划.html: 升级成功"));
    EXPECT_EQ(::GetConsoleOutputCP(), 936u) << "the console's code page is left as it was";
    EXPECT_EQ(ConsoleLineBeforeCursor(console), L" 1: 项目计划.html: 升级成功");
    std::fclose(stream);
}

TEST(ConsoleOutputTest, FileGetsTheBytesAsTheyAre) {
    TempDir dir;
    const std::string path = dir / "log.txt";
    std::FILE* stream = ::_wfopen(platform::WideFromUtf8(path).c_str(), L"wb");
    ASSERT_NE(stream, nullptr);
    EXPECT_FALSE(cli::IsTerminal(stream));
    EXPECT_TRUE(cli::WriteText(stream, "\r\n 1: 项目计划.html: 升级成功\xff"));
    std::fclose(stream);
    EXPECT_EQ(ReadBytes(path), "\r\n 1: 项目计划.html: 升级成功\xff");
}

// Names that Windows keeps for devices come from other systems (Samba shares, zips): each is a
// document like any other, read and written as the file it is.
TEST_F(UpgradeRunTest, DocumentsNamedLikeDevicesAreUpgradedAsFiles) {
    // Only the extended-length form reaches such a file from here.
    const auto asFile = [](const std::string& path) { return R"(\\?\)" + path; };
    const std::vector<std::string> names = {"aux.html",  "com1.html", "con.html",
                                            "lpt1.html", "nul.html",  "prn.html"};
    for (const std::string& name : names) {
        WriteBytes(asFile(Join(oldFolder, name)), Document("", name, ""));
    }
    WriteBytes(Join(oldFolder, "z.html"), Document("", "z", ""));
    const RunResult result = Run();
    EXPECT_EQ(result.outcome, RunOutcome::Completed) << ::testing::PrintToString(observer.messages);
    EXPECT_EQ(result.upgraded, names.size() + 1);
    for (const std::string& name : names) {
        EXPECT_EQ(ReadBytes(asFile(Join(output, name))), Upgraded(name)) << name;
        // The test's own clean-up would reach the devices too.
        for (const std::string& folder : {oldFolder, output}) {
            ::DeleteFileW(platform::WideFromUtf8(asFile(Join(folder, name))).c_str());
        }
    }
}

// A path typed with slashes: the folder's trailing slash is cut as a backslash is, and the
// template lying in the folder is known as the template.
TEST_F(UpgradeRunTest, SlashesSeparateFoldersAsBackslashesDo) {
    const std::string inside = Join(oldFolder, "tpl.html");
    WriteBytes(inside, kTemplateText);
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    std::string slashed = oldFolder;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    const RunResult result = Run(slashed + "/tpl.html", slashed + "/");
    EXPECT_EQ(result.upgraded, 1u) << "the template is passed over";
    EXPECT_FALSE(Exists(Join(output, "tpl.html")));
    EXPECT_THAT(observer.log, HasSubstr(slashed + "\\NewORBA\n"));
}

}  // namespace
}  // namespace orba
