// Rules of the POSIX build: hidden names begin with a dot; FIFOs, sockets and links are listed or
// not by what they are; new files get the usual permissions; a full disk mid-run.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>

#include "engine/listing.h"
#include "storage/file_copy.h"
#include "storage/file_error.h"
#include "storage/paths.h"
#include "tests/support/process_runner.h"
#include "tests/support/run_fixtures.h"
#include "tests/support/wrapped_system.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

TEST(PosixPathsTest, NativeStyleIsSlashWithoutDrives) {
    EXPECT_EQ(kNativePathStyle.separator, '/');
    EXPECT_FALSE(kNativePathStyle.hasDriveLetters);
}

TEST(DocumentNamesTest, LeavesOutFoldersSpecialAndHiddenFiles) {
    TempDir dir;
    WriteBytes(dir / "real.html", "x");
    WriteBytes(dir / ".hidden.html", "x");
    MakeFolder(dir / "folder.html");
    ASSERT_EQ(::mkfifo((dir / "fifo.html").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("real.html", (dir / "link.html").c_str()), 0);
    ASSERT_EQ(::symlink("missing.html", (dir / "dangling.html").c_str()), 0);
    ASSERT_EQ(::symlink("folder.html", (dir / "dirlink.html").c_str()), 0);
    EXPECT_THAT(DocumentNames(dir.path()), ElementsAre("link.html", "real.html"));
}

TEST(FileExistsTest, OnlyVisibleOrdinaryFilesExist) {
    TempDir dir;
    WriteBytes(dir / "tpl.html", "x");
    WriteBytes(dir / ".tpl.html", "x");
    MakeFolder(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("tpl.html", (dir / "link").c_str()), 0);

    EXPECT_TRUE(FileExists(dir / "tpl.html", Files()));
    EXPECT_TRUE(FileExists(dir / "link", Files()));
    EXPECT_FALSE(FileExists(dir / ".tpl.html", Files()));
    EXPECT_FALSE(FileExists(dir / "folder", Files()));
    EXPECT_FALSE(FileExists(dir / "folder/", Files()));
    EXPECT_FALSE(FileExists(dir / "fifo", Files()));
    EXPECT_FALSE(FileExists(dir / "missing.html", Files()));
    EXPECT_FALSE(FileExists(dir / "*.html", Files())) << "wildcards are not expanded";
    EXPECT_FALSE(FileExists("", Files()));
}

TEST(LookAtFolderTest, SocketsAndFifosAreNotFiles) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir / "sock";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_NE(LookAtFolder(dir.path(), Files()), FoundAtPath::Folder);
    ::close(fd);
}

TEST_F(CommandLineTest, ChineseLocaleGivesChineseLinesAndUsage) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    WriteBytes(Join(oldFolder, "c.html"), "no block");
    const ProcessOptions chinese{.environment = {"LC_ALL=", "LC_MESSAGES=zh_CN.UTF-8", "LANG=C"}};
    const ProcessResult dryRun = RunProcess(kProgram, {"-n", templatePath, oldFolder}, chinese);
    EXPECT_EQ(dryRun.out,
              "将升级：a.html（新文件）\n跳过：c.html（没有数据块）\n将升级 1 个，跳过 1 个\n");
    const ProcessResult help = RunProcess(kProgram, {"-h"}, chinese);
    EXPECT_THAT(help.out, ::testing::StartsWith("用法：orba-upgrade [选项]... 模板 文件夹\n"));
}

TEST(FileCopyTest, NewFilesGetTheUsualPermissions) {
    TempDir dir;
    WriteBytes(dir / "from.html", "x");
    const mode_t previous = ::umask(022);
    CopyFile(Files(), dir / "from.html", dir / "doc.html");
    ::umask(previous);
    struct stat status {};
    ASSERT_EQ(::stat((dir / "doc.html").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);
}

TEST(FileCopyTest, CopyingAFifoFailsInsteadOfHanging) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo.html").c_str(), 0644), 0);
    EXPECT_THROW(CopyFile(Files(), dir / "fifo.html", dir / "doc.html"), FileError);
}

TEST(FileCopyTest, OnlyRegularFilesLoad) {
    TempDir dir;
    MakeFolder(dir / "folder.html");
    ASSERT_EQ(::mkfifo((dir / "fifo.html").c_str(), 0644), 0);
    EXPECT_THROW(Files().Load(dir / "missing.html"), FileError);
    EXPECT_THROW(Files().Load(dir / "folder.html"), FileError);
    EXPECT_THROW(Files().Load(dir / "fifo.html"), FileError);
}

TEST_F(UpgradeRunTest, FifoNamedLikeADocumentIsNotRead) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    ASSERT_EQ(::mkfifo((Join(oldFolder, "x.html")).c_str(), 0644), 0);
    const RunResult result = Run();
    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(observer.log, ExpectedFacts({"a.html"}, output));
}

TEST_F(UpgradeRunTest, LinkAtAnOutputNameIsReplaced) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    WriteBytes(dir / "precious.html", "precious");
    MakeFolder(output);
    ASSERT_EQ(::symlink((dir / "precious.html").c_str(), (Join(output, "a.html")).c_str()), 0);
    EXPECT_EQ(Run().outcome, RunOutcome::Completed);
    EXPECT_EQ(ReadBytes(dir / "precious.html"), "precious");
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), Upgraded("A"));
}

TEST_F(UpgradeRunTest, TemplateOnAnotherFileSystemGivesTheSameOutput) {
    // Copying between two file systems takes the plain write path instead of the kernel copy.
    if (!std::filesystem::is_directory("/dev/shm")) {
        GTEST_SKIP() << "no second file system at /dev/shm";
    }
    const std::string elsewhere = "/dev/shm/orba-test-template-" + std::to_string(::getpid());
    WriteBytes(elsewhere, kTemplateText);
    WriteBytes(Join(oldFolder, "a.html"), Document("", "甲", ""));
    WriteBytes(Join(oldFolder, "b.html"), Document("", "乙", ""));
    const RunResult result = Run(elsewhere, oldFolder);
    std::filesystem::remove(elsewhere);
    EXPECT_EQ(result.upgraded, 2u);
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), Upgraded("甲"));
    EXPECT_EQ(ReadBytes(Join(output, "b.html")), Upgraded("乙"));
}

TEST_F(UpgradeRunTest, FilesThatOnlyShareTheTemplatesNameInAnotherCaseAreDocuments) {
    const std::string inside = Join(oldFolder, "tpl.html");
    WriteBytes(inside, kTemplateText);
    WriteBytes(Join(oldFolder, "TPL.html"), Document("", "upper", ""));
    EXPECT_EQ(Run(inside, oldFolder).upgraded, 1u);
    EXPECT_EQ(ReadBytes(Join(output, "TPL.html")), Upgraded("upper"));
}

TEST_F(CommandLineTest, FullDiskMidRunKeepsEarlierOutputsAndLeavesNoPartialFile) {
    // A file-size limit makes every write beyond it fail as on a full disk.
    WriteBytes(templatePath, Document(std::string(3000, 'v'), "TEMPLATE", ""));
    WriteBytes(Join(oldFolder, "a.html"), Document("", "small", ""));
    WriteBytes(Join(oldFolder, "b.html"), Document("", std::string(10000, 'B'), ""));
    WriteBytes(Join(oldFolder, "c.html"), Document("", "small", ""));

    const ProcessResult result =
        RunProcess(kProgram, {templatePath, oldFolder},
                   {.fileSizeLimit = 8192, .environment = kEnglish.environment});

    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_THAT(result.err, HasSubstr("Write failed: cannot write the file "));
    EXPECT_THAT(result.err, HasSubstr(Join(output, "b.html")));
    EXPECT_THAT(result.err, HasSubstr("File too large"));
    EXPECT_THAT(result.out, HasSubstr(" 1: a.html: 升级成功"));
    EXPECT_THAT(result.out, Not(HasSubstr("处理结束")));
    EXPECT_THAT(AllNames(output), ElementsAre("a.html"));
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), Document(std::string(3000, 'v'), "small", ""));
}

TEST_F(CommandLineTest, FailedWriteKeepsTheEarlierCompleteOutput) {
    WriteBytes(templatePath, Document(std::string(3000, 'v'), "TEMPLATE", ""));
    WriteBytes(Join(oldFolder, "a.html"), Document("", std::string(10000, 'A'), ""));
    MakeFolder(output);
    WriteBytes(Join(output, "a.html"), "result of an earlier run");

    const ProcessResult result =
        RunProcess(kProgram, {templatePath, oldFolder}, {.fileSizeLimit = 8192});

    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), "result of an earlier run");
    EXPECT_THAT(AllNames(output), ElementsAre("a.html"));
}

// Runs `program` with its standard output and error on a new pseudo-terminal and returns all it
// wrote there.
std::string RunOnTerminal(const std::vector<std::string>& argv) {
    int master = -1;
    const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (child == 0) {
        std::vector<char*> raw;
        for (const std::string& argument : argv) {
            raw.push_back(const_cast<char*>(argument.c_str()));
        }
        raw.push_back(nullptr);
        ::setenv("LC_ALL", "C.UTF-8", 1);
        ::execv(raw[0], raw.data());
        ::_exit(127);
    }
    std::string shown;
    char buffer[4096];
    for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;) {
        shown.append(buffer, static_cast<std::size_t>(got));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(master);
    return shown;
}

class TerminalTest : public CommandLineTest {
  protected:
    void SetUp() override {
        CommandLineTest::SetUp();
        WriteBytes(Join(oldFolder, kTitleSetter), Document("", "A", ""));
        WriteBytes(Join(oldFolder, "c\xff.html"), Document("", "C", ""));
        WriteBytes(Join(oldFolder, "passed\x1b[2J.html"), "no block");
    }
    static constexpr std::string_view kTitleSetter =
        "a\x1b]2;PWNED\x07"
        "b.html";
};

TEST_F(TerminalTest, NamesOnATerminalAreEscaped) {
    const std::string shown = RunOnTerminal({kProgram, "-v", templatePath, oldFolder});
    EXPECT_THAT(shown, HasSubstr(" 1: a\\033]2;PWNED\\007b.html: 升级成功"));
    EXPECT_THAT(shown, HasSubstr(" 2: c\\377.html: 升级成功"));
    EXPECT_THAT(shown, HasSubstr("pass over: passed\\033[2J.html (no data block)"));
    EXPECT_EQ(shown.find('\x1b'), std::string::npos) << "no escape byte reaches the terminal";
    EXPECT_EQ(shown.find('\x07'), std::string::npos);

    const std::string dryRun = RunOnTerminal({kProgram, "-n", templatePath, oldFolder});
    EXPECT_THAT(dryRun, HasSubstr("upgrade: a\\033]2;PWNED\\007b.html"));
    EXPECT_EQ(dryRun.find('\x1b'), std::string::npos);

    const std::string usage = RunOnTerminal({kProgram, "--\x1b]2;X\x07"});
    EXPECT_THAT(usage, HasSubstr("unrecognized option '--\\033]2;X\\007'"));
}

TEST_F(TerminalTest, LinesOnATerminalAreNeverLeftHalfWritten) {
    const std::string shown = RunOnTerminal({kProgram, "-v", templatePath, oldFolder});
    const std::size_t passOver = shown.find("pass over:");
    ASSERT_NE(passOver, std::string::npos);
    EXPECT_EQ(shown[passOver - 1], '\n') << "a verbose line begins a line of its own";
    EXPECT_TRUE(shown.ends_with("\n")) << "the run ends its last line";
}

TEST_F(CommandLineTest, EveryWayOfEndingReportsAnUnwritableStandardOutput) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    ProcessOptions options = kEnglish;
    options.standardOutput = "/dev/full";
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"-n", templatePath, oldFolder}, {"--help"}, {"-V"}}) {
        SCOPED_TRACE(arguments[0]);
        const ProcessResult result = RunProcess(kProgram, arguments, options);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.err,
                  "orba-upgrade: write error: standard output: No space left on device\n");
    }
}

// The system's words for `error` in the locale `name`, as the C library has them.
std::string SystemReasonIn(const char* name, int error) {
    const locale_t locale = newlocale(LC_CTYPE_MASK | LC_MESSAGES_MASK, name, nullptr);
    if (locale == nullptr) {
        ADD_FAILURE() << name << " is not installed: tools/setup-deps.sh test makes it";
        return {};
    }
    std::string reason = strerror_l(error, locale);
    freelocale(locale);
    return reason;
}

// Each message is wholly in the locale's language, the system's reason too, and every line of
// standard error ends alike.
TEST_F(CommandLineTest, MessagesSpeakTheLocalesLanguageThroughoutWithOneLineEnd) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    WriteBytes(output, "a file where NewORBA would be");
    const ProcessResult english = RunProcess(kProgram, {templatePath, oldFolder}, kEnglish);
    EXPECT_EQ(english.err, "Folder not made: cannot create the folder " + output +
                               "\nReason: the name is taken by a file; move it away or rename it\n"
                               "The upgrade stopped; no file was written.\n");
    const ProcessResult chinese = RunProcess(kProgram, {templatePath, oldFolder}, kChinese);
    EXPECT_EQ(chinese.err, "【创建文件夹失败】：无法创建文件夹 " + output +
                               "\n系统原因：该名称已被一个文件占用；请移走它或为它改名\n"
                               "升级已中止；没有写入任何文件。\n");
    const ProcessResult input = RunProcess(kProgram, {"", oldFolder}, kChinese);
    EXPECT_EQ(input.err,
              "【模板文件未指定】：请指定一个新版本的岚溪图谱 ORBA 文件，作为升级模板。\n"
              "请重新指定。\n模板：“”\n");

    std::filesystem::remove(output);
    ProcessOptions fullDisk = kChinese;
    fullDisk.standardOutput = "/dev/full";
    const std::string reason = SystemReasonIn("zh_CN.UTF-8", ENOSPC);
    EXPECT_NE(reason, SystemReasonIn("C.UTF-8", ENOSPC)) << "the C library has Chinese words";
    const ProcessResult full = RunProcess(kProgram, {templatePath, oldFolder}, fullDisk);
    EXPECT_EQ(full.err, "【写入失败】：无法写入文件 标准输出\n系统原因：" + reason +
                            "\n升级已中止；没有写入任何文件。\n");
}

// The preloaded shim of system calls, set by `settings` (see system_call_shim.cpp).
ProcessOptions WithShim(std::vector<std::string> settings) {
    ProcessOptions options = kEnglish;
    options.environment.push_back(std::string("LD_PRELOAD=") + SYSTEM_CALL_SHIM_PATH);
    // The sanitizers' runtime need not come first in a build that has them.
    options.environment.push_back("ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1");
    options.environment.insert(options.environment.end(), settings.begin(), settings.end());
    return options;
}

// Another run makes the output folder between this run's two looks at its name (stat finds
// nothing, the folder is there for lstat): the folder is taken as it is and the run completes.
TEST_F(CommandLineTest, OutputFolderMadeByAnotherRunMeanwhileIsUsed) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    const ProcessResult run =
        RunProcess(kProgram, {templatePath, oldFolder}, WithShim({"SHIM_FOLDER_APPEARS=NewORBA"}));
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), Document("<new>", "A", "</new>"));
}

// A file system that refuses to flush folders: --sync takes it as the file system's answer and
// exits 0; -v names each folder it could not flush.
TEST_F(CommandLineTest, SyncRunOnAFileSystemThatRefusesFolderFlushesSaysSoWithVerbose) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    const ProcessOptions refusing = WithShim({"SHIM_REFUSE_FOLDER_FLUSH=1"});

    const ProcessResult verbose =
        RunProcess(kProgram, {"--sync", "-v", templatePath, oldFolder}, refusing);
    EXPECT_EQ(verbose.exitStatus, 0) << verbose.err;
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), Document("<new>", "A", "</new>"));
    const std::string reason = SystemReasonIn("C.UTF-8", EINVAL);
    EXPECT_EQ(verbose.err,
              "upgraded: a.html (new)\n"
              "orba-upgrade: the file system refused to flush the folder " +
                  output + " (" + reason + "); it keeps the names in it its own way\n" +
                  "orba-upgrade: the file system refused to flush the folder " + oldFolder + " (" +
                  reason + "); it keeps the names in it its own way\n" +
                  "1 upgraded, 0 passed over\n");

    const ProcessResult quiet = RunProcess(kProgram, {"--sync", templatePath, oldFolder}, refusing);
    EXPECT_EQ(quiet.exitStatus, 0);
    EXPECT_THAT(quiet.err, IsEmpty());
}

// SIGTERM during a run: the run takes no further document, puts the names of what it wrote on
// the disk after the last of them, then ends by the signal.
TEST_F(CommandLineTest, RunEndedBySigtermFlushesTheNamesItWroteAndEndsByTheSignal) {
    for (int i = 0; i < 30; ++i) {
        WriteBytes(Join(oldFolder, "d" + std::to_string(100 + i) + ".html"),
                   Document("", std::to_string(i), ""));
    }
    const std::string log = dir / "calls.log";
    const ProcessOptions signalled = WithShim({"SHIM_SIGNAL_AT_RENAME=2", "SHIM_LOG=" + log});

    const ProcessResult result =
        RunProcess(kProgram, {"--sync", templatePath, oldFolder}, signalled);
    EXPECT_EQ(result.exitStatus, -1) << "ended by the signal, not by exit";
    // How far it got depends on when the signal was taken; what it wrote is whole and told.
    const std::vector<std::string> written = AllNames(output);
    EXPECT_GE(written.size(), 2u);
    for (const std::string& name : written) {
        EXPECT_THAT(result.out, HasSubstr(": " + name + ": 升级成功")) << "only what it told";
        EXPECT_EQ(ReadBytes(Join(output, name)),
                  Document("<new>", std::to_string(std::stoi(name.substr(1)) - 100), "</new>"));
    }
    // The calls in order: the folder flushes come after the last rename.
    std::vector<std::string> calls;
    std::istringstream lines(ReadBytes(log));
    for (std::string line; std::getline(lines, line);) {
        calls.push_back(line);
    }
    const auto lastRename = std::find_if(calls.rbegin(), calls.rend(), [](const std::string& c) {
        return c.starts_with("rename ");
    });
    ASSERT_NE(lastRename, calls.rend());
    const std::vector<std::string> after(calls.rbegin(), lastRename);
    EXPECT_THAT(after, ::testing::UnorderedElementsAre("folder-flush " + output,
                                                       "folder-flush " + oldFolder));
}

// The dry run decides about NewORBA as the run does: the same exit status, and where both fail,
// the same path and reason.
TEST_F(CommandLineTest, DryRunAndRunAgreeOnEveryStateOfTheOutputFolder) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    const std::string elsewhere = dir / "elsewhere";
    MakeFolder(elsewhere);
    const std::vector<std::pair<std::string, std::function<void()>>> states = {
        {"missing", [] {}},
        {"a folder", [&] { MakeFolder(output); }},
        {"a file", [&] { WriteBytes(output, "x"); }},
        {"a link to a folder",
         [&] { std::filesystem::create_directory_symlink(elsewhere, output); }},
        {"a link that leads nowhere",
         [&] { std::filesystem::create_symlink(dir / "nowhere", output); }},
    };
    for (const auto& [state, make] : states) {
        SCOPED_TRACE("NewORBA is " + state);
        std::filesystem::remove(output);
        make();
        const ProcessResult dry = RunProcess(kProgram, {"-n", templatePath, oldFolder}, kEnglish);
        const ProcessResult run = RunProcess(kProgram, {templatePath, oldFolder}, kEnglish);
        EXPECT_EQ(dry.exitStatus, run.exitStatus) << dry.err << run.err;
        if (run.exitStatus != 0) {
            EXPECT_THAT(dry.err, HasSubstr(output));
            EXPECT_THAT(run.err, HasSubstr(output));
            EXPECT_THAT(
                dry.err,
                HasSubstr("Reason: the name is taken by a file; move it away or rename it\n"));
            EXPECT_THAT(
                run.err,
                HasSubstr("Reason: the name is taken by a file; move it away or rename it\n"));
        }
        std::filesystem::remove_all(Join(elsewhere, "a.html"));
        if (std::filesystem::is_directory(std::filesystem::symlink_status(output))) {
            std::filesystem::remove_all(output);
        }
    }
}

TEST_F(CommandLineTest, RunEndedBeforeItsFirstOutputTakesAwayOnlyTheFolderItMade) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    ProcessOptions options;
    options.standardOutput = "/dev/full";
    EXPECT_EQ(RunProcess(kProgram, {templatePath, oldFolder}, options).exitStatus, 1);
    EXPECT_FALSE(Exists(output)) << "the empty NewORBA the run made is gone";

    MakeFolder(output);
    EXPECT_EQ(RunProcess(kProgram, {templatePath, oldFolder}, options).exitStatus, 1);
    EXPECT_TRUE(Exists(output)) << "a NewORBA that was there before stays";
}

TEST_F(TerminalTest, PipedLogKeepsTheNamesBytes) {
    const ProcessResult result = RunProcess(kProgram, {"-v", templatePath, oldFolder});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, ExpectedLog({std::string(kTitleSetter), "c\xff.html"}, output));
    EXPECT_EQ(result.err, "upgraded: " + std::string(kTitleSetter) +
                              " (new)\nupgraded: c\xff.html (new)\n"
                              "pass over: passed\x1b[2J.html (no data block)\n2 upgraded, 1 "
                              "passed over\n");
}

// Maps (d100a.html, ...) and pages without a data block (d100b.html, ...), taken in turns.
void WriteMapsAndPages(const std::string& folder, int count) {
    for (int i = 0; i < count; ++i) {
        WriteBytes(Join(folder, "d" + std::to_string(100 + i) + "a.html"),
                   Document("", "map " + std::to_string(i), ""));
        WriteBytes(Join(folder, "d" + std::to_string(100 + i) + "b.html"), "no data block");
    }
}

// Started with standard input and error closed, as some launchers and service managers start
// programs: the files the run opens meanwhile never take their place, so no line of -v lands in
// an output. Each line of -v waits a moment before it is written, while the next documents are
// prepared.
TEST_F(CommandLineTest, ClosedStandardDescriptorsNeverCarryTextIntoAnOutput) {
    constexpr int kMaps = 10;
    WriteMapsAndPages(oldFolder, kMaps);
    ProcessOptions closed = WithShim({"SHIM_SLOW_STANDARD_ERROR=1"});
    closed.closedDescriptors = {0, 2};
    for (int round = 0; round < 2; ++round) {
        const ProcessResult result = RunProcess(kProgram, {"-v", templatePath, oldFolder}, closed);
        EXPECT_EQ(result.exitStatus, 0);
        for (int i = 0; i < kMaps; ++i) {
            const std::string name = "d" + std::to_string(100 + i) + "a.html";
            ASSERT_EQ(ReadBytes(Join(output, name)),
                      Document("<new>", "map " + std::to_string(i), "</new>"))
                << name << " in round " << round;
        }
    }
}

// SIGUSR1, which tools send to ask for progress, does to the program what it does to any program
// that has no use for it: it ends it. It never turns off SIGINT or SIGTERM.
TEST_F(CommandLineTest, SigusrOneEndsTheProgramAsItEndsAnyProgram) {
    WriteMapsAndPages(oldFolder, 5);
    const ProcessResult result =
        RunProcess(kProgram, {templatePath, oldFolder},
                   WithShim({"SHIM_SIGNAL_AT_RENAME=1", "SHIM_SIGNAL=USR1"}));
    EXPECT_EQ(result.signal, SIGUSR1) << "exit status " << result.exitStatus;
}

// Under a small `ulimit -u` or a cgroup's pids.max no thread, or only a few, can be made: every
// way of the command line still completes, with fewer documents prepared ahead and the batch's
// flush made on the caller's thread.
TEST_F(CommandLineTest, EveryWayCompletesWhenThreadsAreShort) {
    WriteMapsAndPages(oldFolder, 20);
    for (const char* threads : {"0", "2"}) {
        for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--help"},
                                                          {"--version"},
                                                          {"-n", templatePath, oldFolder},
                                                          {templatePath, oldFolder},
                                                          {"--sync", templatePath, oldFolder}}) {
            SCOPED_TRACE(std::string(threads) + " threads: " + arguments[0]);
            std::filesystem::remove_all(output);
            const ProcessResult result =
                RunProcess(kProgram, arguments, WithShim({std::string("SHIM_THREADS=") + threads}));
            EXPECT_EQ(result.exitStatus, 0) << result.err;
            if (arguments.back() == oldFolder && arguments[0] != "-n") {
                EXPECT_THAT(result.out, HasSubstr("【处理结束"));
                EXPECT_EQ(AllNames(output).size(), 20u);
            }
        }
    }
}

// A shell starts a script's background jobs with SIGINT ignored, so that a Ctrl+C meant for the
// foreground leaves them be: a signal ignored at the start stays ignored, and the run completes.
TEST_F(CommandLineTest, SignalIgnoredWhenTheProgramStartsStaysIgnored) {
    WriteMapsAndPages(oldFolder, 5);
    for (const auto& [signal, name] : {std::pair{SIGINT, "INT"}, std::pair{SIGTERM, "TERM"}}) {
        SCOPED_TRACE(name);
        ProcessOptions ignoring =
            WithShim({"SHIM_SIGNAL_AT_RENAME=1", std::string("SHIM_SIGNAL=") + name});
        ignoring.ignoredSignals = {signal};
        const ProcessResult result = RunProcess(kProgram, {templatePath, oldFolder}, ignoring);
        EXPECT_EQ(result.exitStatus, 0) << "signal " << result.signal << ": " << result.err;
        EXPECT_THAT(result.out, HasSubstr("【处理结束"));
    }
}

// A link named NewORBA that leads back to FOLDER would have the outputs replace the documents:
// the run and the dry run refuse it alike, and the documents stay as they were.
TEST_F(CommandLineTest, OutputFolderThatIsTheFolderItselfIsRefused) {
    const std::string original = Document("<old>", "A", "</old>");
    WriteBytes(Join(oldFolder, "a.html"), original);
    std::filesystem::create_directory_symlink(".", output);
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"-n", templatePath, oldFolder}, {templatePath, oldFolder}}) {
        SCOPED_TRACE(arguments[0]);
        const ProcessResult result = RunProcess(kProgram, arguments, kEnglish);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_THAT(result.err, HasSubstr(output));
        EXPECT_THAT(result.err, HasSubstr("it leads back to the old-version folder itself"));
        EXPECT_EQ(ReadBytes(Join(oldFolder, "a.html")), original);
    }
}

// A file system without unnamed files or locks (an NFS share whose lock service does not
// answer): the run goes on without locks, and neither it nor the dry run leaves a temporary file.
TEST_F(CommandLineTest, FileSystemWithoutUnnamedFilesOrLocksLeavesNoTemporaryFile) {
    WriteMapsAndPages(oldFolder, 3);
    const ProcessOptions noLocks =
        WithShim({"SHIM_NO_TMPFILE=1", "SHIM_FLOCK_ERROR=" + std::to_string(ENOLCK)});
    const ProcessResult dry = RunProcess(kProgram, {"-n", templatePath, oldFolder}, noLocks);
    EXPECT_EQ(dry.exitStatus, 0) << dry.err;
    EXPECT_EQ(AllNames(oldFolder).size(), 6u) << "the dry run leaves nothing";

    const ProcessResult run = RunProcess(kProgram, {"--sync", templatePath, oldFolder}, noLocks);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_THAT(AllNames(output), ElementsAre("d100a.html", "d101a.html", "d102a.html"));
    EXPECT_EQ(AllNames(oldFolder).size(), 7u);

    // A lock refused for another reason: the temporary file goes at once, and the reason given is
    // the system's own. (The outputs are written anew: one that stands as it is is left alone.)
    WriteBytes(templatePath, Document("<newer>", "TEMPLATE", "</newer>"));
    const ProcessResult failed =
        RunProcess(kProgram, {templatePath, oldFolder},
                   WithShim({"SHIM_NO_TMPFILE=1", "SHIM_FLOCK_ERROR=" + std::to_string(EIO)}));
    EXPECT_EQ(failed.exitStatus, 1);
    EXPECT_THAT(failed.err, HasSubstr(SystemReasonIn("C.UTF-8", EIO)));
    EXPECT_EQ(AllNames(output).size(), 3u);
}

// --sync prepares documents ahead within the open-file limit: maps large enough that many are
// in hand at once.
TEST_F(CommandLineTest, SyncRunCompletesUnderASmallOpenFileLimit) {
    constexpr int kMaps = 20;
    for (int i = 0; i < kMaps; ++i) {
        WriteBytes(Join(oldFolder, "d" + std::to_string(100 + i) + ".html"),
                   Document("", std::string(300'000, 'x'), ""));
    }
    ProcessOptions limited = kEnglish;
    limited.openFileLimit = 20;
    const ProcessResult result = RunProcess(kProgram, {"--sync", templatePath, oldFolder}, limited);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(AllNames(output).size(), static_cast<std::size_t>(kMaps));
}

// A folder whose path comes within a few bytes of the system's limit: the outputs' paths fit,
// though a temporary file's whole path would not.
TEST_F(UpgradeRunTest, FolderPathNearTheSystemsLimitStillTakesItsOutputs) {
    std::string deep = dir.path();
    while (deep.size() < 4060 - 201) {
        deep = Join(deep, std::string(200, 'd'));
        MakeFolder(deep);
    }
    deep = Join(deep, std::string(4060 - deep.size() - 1, 'e'));
    ASSERT_EQ(deep.size(), 4060u);
    MakeFolder(deep);
    WriteBytes(Join(deep, "a.html"), Document("", "A", ""));

    EXPECT_EQ(CheckUpgrade(templatePath, deep, observer, Files()).outcome, RunOutcome::Completed);
    const RunResult result = Run(templatePath, deep);
    EXPECT_EQ(result.outcome, RunOutcome::Completed) << ::testing::PrintToString(observer.messages);
    EXPECT_EQ(ReadBytes(Join(Join(deep, "NewORBA"), "a.html")), Upgraded("A"));
}

// With a umask that takes the owner's write permission away, the run still writes into the
// NewORBA it made.
TEST_F(UpgradeRunTest, FolderMadeUnderAStrictUmaskTakesTheOutputs) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    const mode_t previous = ::umask(0222);
    const RunResult result = Run();
    ::umask(previous);
    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    struct stat status {};
    ASSERT_EQ(::stat(output.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & S_IRWXU, static_cast<mode_t>(S_IRWXU));
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), Upgraded("A"));
}

TEST_F(UpgradeRunTest, InterruptedFlushesAndRenamesAreMadeAgain) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    WriteBytes(Join(oldFolder, "b.html"), Document("", "B", ""));
    for (const char* documents : {"a batch of two", "a batch of one"}) {
        SCOPED_TRACE(documents);
        // A signal may interrupt a flush or a rename on a slow device: each is made again.
        std::set<Call> interrupted;
        const DecidedBy system([&](Call call, const std::string& /*path*/) -> std::optional<int> {
            if ((call == Call::Flush || call == Call::WriteOut || call == Call::FlushFileSystem ||
                 call == Call::MoveIntoPlace || call == Call::FlushFolder) &&
                interrupted.insert(call).second) {
                return EINTR;
            }
            return std::nullopt;
        });
        const RunResult result =
            RunUpgrade(templatePath, oldFolder, observer, Files(system, Durability::OnDisk));
        EXPECT_EQ(result.outcome, RunOutcome::Completed)
            << ::testing::PrintToString(observer.messages);
        EXPECT_EQ(ReadBytes(Join(output, "a.html")), Upgraded("A"));
        Remove(Join(oldFolder, "b.html"));
    }
}

// The dry run lists what it would pass over in the order in which -v names it during the run.
TEST_F(CommandLineTest, DryRunAndVerboseRunPassOverInOneOrder) {
    const std::string inside = Join(oldFolder, "m.html");
    WriteBytes(inside, Document("<new>", "TEMPLATE", "</new>"));
    WriteBytes(Join(oldFolder, "a.html"), "no data block");
    WriteBytes(Join(oldFolder, "z.html"), Document("", "Z", ""));
    const ProcessResult dry = RunProcess(kProgram, {"-n", inside, oldFolder}, kEnglish);
    const ProcessResult run = RunProcess(kProgram, {"-v", inside, oldFolder}, kEnglish);
    const auto passedOver = [](const std::string& text) {
        std::string lines;
        std::istringstream stream(text);
        for (std::string line; std::getline(stream, line);) {
            if (line.starts_with("pass over: ")) {
                lines += line + "\n";
            }
        }
        return lines;
    };
    EXPECT_EQ(passedOver(dry.out), passedOver(run.err));
    EXPECT_THAT(run.err, ::testing::StartsWith("pass over: m.html"));
}

// `> run.log 2>&1`: a line of -v begins a line of its own after the log's open last line.
TEST_F(CommandLineTest, VerboseLineBeginsALineOfItsOwnInAFileSharedWithTheLog) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    WriteBytes(Join(oldFolder, "b.html"), "no data block");
    ProcessOptions shared = kEnglish;
    shared.standardOutput = dir / "run.log";
    shared.errorsToOutput = true;
    EXPECT_EQ(RunProcess(kProgram, {"-v", templatePath, oldFolder}, shared).exitStatus, 0);
    EXPECT_THAT(ReadBytes(dir / "run.log"),
                HasSubstr(" 1: a.html: 升级成功\npass over: b.html (no data block)\n\r\n"));
}

// On POSIX double quotes may be part of a name: a quoted path that names a folder is that folder.
TEST_F(UpgradeRunTest, QuotedNameThatStandsIsTakenAsItIs) {
    const std::string quoted = dir / "\"old\"";
    MakeFolder(quoted);
    WriteBytes(Join(quoted, "a.html"), Document("", "A", ""));
    EXPECT_EQ(Run(templatePath, quoted).upgraded, 1u);
    EXPECT_EQ(ReadBytes(Join(Join(quoted, "NewORBA"), "a.html")), Upgraded("A"));
}

}  // namespace
}  // namespace orba

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::HasSubstr;
using ::testing::Not;

// A tree of maps as users keep them: -r handles each folder as a run on it alone would, passes by
// hidden folders, output folders and a link back up the tree, and agrees with -r -n; -k goes on
// past two documents nobody may read; a second run writes nothing and says so.
TEST_F(CommandLineTest, RecursiveRunHandlesEachFolderOfTheTreeAsARunOnIt) {
    const std::string sub = Join(oldFolder, "sub");
    const std::string deep = Join(sub, "deep");
    MakeFolder(sub);
    MakeFolder(deep);
    MakeFolder(Join(oldFolder, ".hidden"));
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    WriteBytes(Join(oldFolder, "half.html"), std::string(kStartMarker) + "cut off");
    WriteBytes(Join(oldFolder, "secret.html"), Document("", "S", ""));
    WriteBytes(Join(Join(oldFolder, ".hidden"), "h.html"), Document("", "H", ""));
    WriteBytes(Join(sub, "b.html"), Document("", "B", ""));
    WriteBytes(Join(deep, "c.html"), Document("", "C", ""));
    WriteBytes(Join(deep, "locked.html"), Document("", "L", ""));
    ASSERT_EQ(::symlink("../..", Join(deep, "up").c_str()), 0);

    const ProcessOptions unreadable = WithShim({"SHIM_UNREADABLE=secret.html,locked.html"});
    const ProcessResult stopped = RunProcess(kProgram, {"-r", templatePath, oldFolder}, unreadable);
    EXPECT_EQ(stopped.exitStatus, 1);
    EXPECT_FALSE(Exists(Join(sub, "NewORBA"))) << "without -k the run ends at secret.html";

    const ProcessResult dryRun = RunProcess(kProgram, {"-r", "-n", templatePath, oldFolder});
    EXPECT_EQ(dryRun.out, Lines("not looked at: .hidden (hidden)\n"
                                "not looked at: NewORBA (an output folder: not gone into)\n"
                                "upgrade: a.html (the output there is the same: not written)\n"
                                "pass over: half.html (the data block has no end marker: a "
                                "damaged or half-saved map)\n"
                                "upgrade: secret.html (new)\n"
                                "upgrade: sub/b.html (new)\n"
                                "not looked at: sub/deep/up (a link to a folder: not gone into)\n"
                                "upgrade: sub/deep/c.html (new)\n"
                                "upgrade: sub/deep/locked.html (new)\n"
                                "5 to upgrade, 1 passed over, 2 not looked at, in 3 folders\n"));

    const ProcessResult going = RunProcess(kProgram, {"-rk", templatePath, oldFolder}, unreadable);
    EXPECT_EQ(going.exitStatus, 1);
    EXPECT_EQ(going.out, ExpectedLog({"a.html"}, Join(oldFolder, "NewORBA")) +
                             ExpectedLog({"sub/b.html"}, Join(sub, "NewORBA")) +
                             ExpectedLog({"sub/deep/c.html"}, Join(deep, "NewORBA")));
    EXPECT_THAT(going.err, HasSubstr("cannot read the file " + Join(oldFolder, "secret.html")));
    EXPECT_THAT(going.err, HasSubstr("cannot read the file " + Join(deep, "locked.html")));
    EXPECT_THAT(going.err, HasSubstr("The upgrade goes on with the next document"));
    EXPECT_THAT(going.err, HasSubstr(Lines("pass over: half.html (the data block has no end "
                                           "marker: a damaged or half-saved map)\n")));
    EXPECT_THAT(going.err, HasSubstr(Lines("3 upgraded, 1 passed over, 2 not looked at, 2 failed, "
                                           "in 3 folders; -v names each entry not upgraded, and "
                                           "why\n")));
    for (const auto& [folder, block] : {std::pair{oldFolder, "A"}, {sub, "B"}, {deep, "C"}}) {
        const std::string name = block == std::string("A")   ? "a.html"
                                 : block == std::string("B") ? "b.html"
                                                             : "c.html";
        EXPECT_EQ(ReadBytes(Join(Join(folder, "NewORBA"), name)),
                  Document("<new>", block, "</new>"));
        EXPECT_EQ(AllNames(Join(folder, "NewORBA")).size(), 1u) << folder;
    }
    EXPECT_FALSE(Exists(Join(Join(oldFolder, ".hidden"), "NewORBA")));

    // Again over the outputs, unchanged: not one rename, and -v says so of each.
    const std::string log = dir / "renames.log";
    ProcessOptions logged =
        WithShim({"SHIM_UNREADABLE=secret.html,locked.html", "SHIM_LOG=" + log});
    const ProcessResult again =
        RunProcess(kProgram, {"-rkv", "--sync", templatePath, oldFolder}, logged);
    EXPECT_EQ(again.out, going.out);
    EXPECT_THAT(ReadBytes(log), Not(HasSubstr("rename")));
    EXPECT_THAT(again.err, HasSubstr(Lines("upgraded: sub/deep/c.html (the output there is the "
                                           "same: not written)\n")));
}

}  // namespace
}  // namespace orba
