// Runs while the world changes under them: documents truncated and rewritten while they are read,
// files of virtual file systems, two runs at once, runs killed while they write, a log that cannot
// be written.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "engine/data_block.h"
#include "engine/markers.h"
#include "engine/upgrade_run.h"
#include "storage/files.h"
#include "storage/prepared_output.h"
#include "storage/temporary_names.h"
#include "tests/support/process_runner.h"
#include "tests/support/run_fixtures.h"
#include "tests/support/wrapped_system.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// The temporary files in `folder`; none where a run that ended before its first output took the
// folder away.
std::vector<std::string> TemporaryNames(const std::string& folder) {
    std::vector<std::string> names;
    if (!Exists(folder)) {
        return names;
    }
    for (const std::string& name : AllNames(folder)) {
        if (name.starts_with(kTemporaryPrefix)) {
            names.push_back(name);
        }
    }
    return names;
}

// A large document in two versions of the same size, so that a torn read would mix them.
std::string Version(char fill, std::string_view block) {
    return Document(std::string(6 << 20, fill), block, std::string(2 << 20, fill));
}

// Truncates and rewrites `path` in place, alternating between `a` and `b`, until told to stop.
// Each version stands a while as it is written: file times move in ticks of up to 10 ms, and two
// saves of the same length within one tick leave the same stamp, which no reader can tell apart.
class Rewriter {
  public:
    Rewriter(std::string path, std::string a, std::string b)
        : path_(std::move(path)), a_(std::move(a)), b_(std::move(b)), thread_([this] { Loop(); }) {}
    ~Rewriter() {
        stop_ = true;
        thread_.join();
    }
    int rounds() const { return rounds_; }

  private:
    void Loop() {
        const int fd = ::open(path_.c_str(), O_WRONLY);
        for (bool useA = false; !stop_; useA = !useA) {
            const std::string& text = useA ? a_ : b_;
            // Emptied, then the other version written: each state the file passes through holds
            // one version only, so an output with both came from a torn read.
            (void)::ftruncate(fd, 0);
            (void)::pwrite(fd, text.data(), text.size(), 0);
            ++rounds_;
            std::this_thread::sleep_for(kRest);
        }
        ::close(fd);
    }

    static constexpr std::chrono::milliseconds kRest{20};
    std::string path_, a_, b_;
    std::atomic<bool> stop_ = false;
    std::atomic<int> rounds_ = 0;
    std::thread thread_;
};

TEST_F(UpgradeRunTest, DocumentRewrittenWhileRunsReadItGivesOneVersionOrAFailureNamingIt) {
    const std::string document = Join(oldFolder, "big.html");
    const std::string a = Version('a', "版本甲");
    const std::string b = Version('b', "版本乙");
    WriteBytes(document, a);
    int completed = 0;
    int passedOver = 0;
    int failed = 0;
    {
        // Saved in place again and again: a run that reads it in a halfway state (empty, or cut
        // short) reads it again. How often a run meets the file changing under every pass it
        // allows depends on the machine's speed, so the count is told, not checked.
        const Rewriter rewriter(document, a, b);
        for (int run = 0; run < 40 || rewriter.rounds() < 100; ++run) {
            RecordingObserver runObserver;
            const RunResult result = RunUpgrade(templatePath, oldFolder, runObserver, Files());
            if (result.outcome == RunOutcome::Completed) {
                ++completed;
                // A writer slowed down by a busy machine or disk leaves the file empty or half
                // written for longer than a save takes: the run then takes it for a document
                // without a block and passes it over, as it would any such document.
                EXPECT_LE(result.upgraded, 1u);
                passedOver += result.upgraded == 0 ? 1 : 0;
                if (Exists(Join(output, "big.html"))) {
                    const std::string out = ReadBytes(Join(output, "big.html"));
                    EXPECT_TRUE(out == Upgraded("版本甲") || out == Upgraded("版本乙"))
                        << "an output mixes two versions";
                }
            } else {
                ++failed;
                EXPECT_EQ(result.outcome, RunOutcome::Failed);
                ASSERT_EQ(runObserver.failures.size(), 1u);
                EXPECT_EQ(runObserver.failures[0].path(), document);
                EXPECT_EQ(runObserver.failures[0].ownReason(), OwnReason::ChangedWhileRead);
            }
            EXPECT_THAT(TemporaryNames(output), ::testing::IsEmpty());
        }
        std::printf("document: %d runs completed (%d passed it over), %d stopped, %d rewrites\n",
                    completed, passedOver, failed, rewriter.rounds());
    }
}

TEST_F(UpgradeRunTest, TemplateRewrittenWhileRunsReadItGivesOneVersionOrAFailureNamingIt) {
    const std::string a = Version('a', "模板甲");
    const std::string b = Version('b', "模板乙");
    WriteBytes(templatePath, a);
    WriteBytes(Join(oldFolder, "doc.html"), Document("", "旧图", ""));
    int completed = 0;
    int failed = 0;
    const Rewriter rewriter(templatePath, a, b);
    for (int run = 0; run < 40 || rewriter.rounds() < 100; ++run) {
        RecordingObserver runObserver;
        const RunResult result = RunUpgrade(templatePath, oldFolder, runObserver, Files());
        if (result.outcome == RunOutcome::Completed) {
            ++completed;
            // The template may have been read in any state it passed through, but in one only.
            const std::string out = ReadBytes(Join(output, "doc.html"));
            EXPECT_TRUE(out.find("aaaa") == std::string::npos ||
                        out.find("bbbb") == std::string::npos)
                << "an output mixes two versions";
            EXPECT_EQ(ExtractStringBetween(out, kStartMarker, kEndMarker), "旧图");
        } else if (result.outcome == RunOutcome::Failed) {
            ++failed;
            ASSERT_EQ(runObserver.failures.size(), 1u);
            EXPECT_EQ(runObserver.failures[0].path(), templatePath);
            EXPECT_EQ(runObserver.failures[0].ownReason(), OwnReason::ChangedWhileRead);
        } else {
            // A truncated template without its block is refused like any template without one.
            EXPECT_EQ(result.outcome, RunOutcome::Refused);
            EXPECT_THAT(runObserver.refused, ElementsAre(InputProblem::TemplateBlockBlank));
        }
    }
    // How often runs complete is told, not checked: the forced changes of changing_reads_test
    // check that a file which settles is read.
    std::printf("template: %d runs completed, %d stopped, %d rewrites\n", completed, failed,
                rewriter.rounds());
}

// As an editor saves it: each version written whole beside the template and renamed over it.
// Every run then reads one whole version, and completes.
TEST_F(UpgradeRunTest, TemplateReplacedWhileRunsReadItGivesOneVersionAlways) {
    const std::string a = Document(std::string(1 << 20, 'a'), "模板甲", "");
    const std::string b = Document(std::string(1 << 20, 'b'), "模板乙", "");
    WriteBytes(templatePath, a);
    WriteBytes(Join(oldFolder, "doc.html"), Document("", "旧图", ""));
    std::atomic<bool> stop = false;
    std::atomic<int> rounds = 0;
    std::thread saver([&] {
        for (bool useA = false; !stop; useA = !useA, ++rounds) {
            WriteBytes(templatePath + ".saving", useA ? a : b);
            std::filesystem::rename(templatePath + ".saving", templatePath);
        }
    });
    for (int run = 0; run < 30 || rounds < 20; ++run) {
        RecordingObserver runObserver;
        ASSERT_EQ(RunUpgrade(templatePath, oldFolder, runObserver, Files()).outcome,
                  RunOutcome::Completed)
            << ::testing::PrintToString(runObserver.messages);
        const std::string out = ReadBytes(Join(output, "doc.html"));
        EXPECT_TRUE(out.find("aaaa") == std::string::npos || out.find("bbbb") == std::string::npos)
            << "an output mixes two versions";
    }
    stop = true;
    saver.join();
}

// A file of a virtual file system tells a size that is not its length.
TEST_F(UpgradeRunTest, FileOfAVirtualFileSystemIsRead) {
    std::string source;
    for (const char* candidate : {"/sys/kernel/mm/transparent_hugepage/enabled", "/sys/power/state",
                                  "/sys/kernel/uevent_seqnum"}) {
        std::ifstream probe(candidate);
        if (probe) {
            source = candidate;
            break;
        }
    }
    if (source.empty()) {
        GTEST_SKIP() << "no readable file under /sys";
    }
    std::ostringstream expected;
    expected << std::ifstream(source).rdbuf();
    EXPECT_EQ(Files().Load(source).bytes(), expected.str());

    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    ASSERT_EQ(::symlink(source.c_str(), Join(oldFolder, "sys.html").c_str()), 0);
    EXPECT_EQ(Run().outcome, RunOutcome::Completed) << ::testing::PrintToString(observer.messages);
    EXPECT_EQ(observer.log, ExpectedFacts({"a.html"}, output));
}

TEST(CreateFolderTest, AFolderAlreadyThereIsFineAFileIsNot) {
    TempDir dir;
    MakeFolder(dir / "NewORBA");
    EXPECT_NO_THROW(Files().CreateFolder(dir / "NewORBA"));
    WriteBytes(dir / "file", "x");
    EXPECT_THROW(Files().CreateFolder(dir / "file"), FileError);
}

// Starts `program` with `arguments` once `release` is closed; standard output goes nowhere,
// standard error into the file `errors`.
pid_t StartHeldBack(const std::vector<std::string>& argv, const int release[2],
                    const std::string& errors) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(release[1]);
        char byte = 0;
        (void)::read(release[0], &byte, 1);
        ::dup2(::open("/dev/null", O_WRONLY), 1);
        ::dup2(::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        std::vector<char*> raw;
        for (const std::string& argument : argv) {
            raw.push_back(const_cast<char*>(argument.c_str()));
        }
        raw.push_back(nullptr);
        ::execv(raw[0], raw.data());
        ::_exit(127);
    }
    return child;
}

int ExitStatusOf(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(CommandLineTest, TwoRunsReleasedTogetherBothComplete) {
    for (int i = 0; i < 20; ++i) {
        WriteBytes(Join(oldFolder, "图" + std::to_string(i) + ".html"),
                   Document("", "块" + std::to_string(i), ""));
    }
    constexpr int kPairs = 25;
    for (int pair = 0; pair < kPairs; ++pair) {
        SCOPED_TRACE("pair " + std::to_string(pair));
        std::filesystem::remove_all(output);
        int release[2];
        ASSERT_EQ(::pipe(release), 0);
        const std::vector<std::string> argv = {kProgram, templatePath, oldFolder};
        const std::string firstErrors = dir / "first.err";
        const std::string secondErrors = dir / "second.err";
        const pid_t first = StartHeldBack(argv, release, firstErrors);
        const pid_t second = StartHeldBack(argv, release, secondErrors);
        ::close(release[0]);
        ::close(release[1]);  // both read end of file at once
        EXPECT_EQ(ExitStatusOf(first), 0) << ReadBytes(firstErrors);
        EXPECT_EQ(ExitStatusOf(second), 0) << ReadBytes(secondErrors);
        for (int i = 0; i < 20; ++i) {
            EXPECT_EQ(ReadBytes(Join(output, "图" + std::to_string(i) + ".html")),
                      Document("<new>", "块" + std::to_string(i), "</new>"));
        }
        EXPECT_THAT(TemporaryNames(output), ::testing::IsEmpty());
    }
}

// A child process writing `path`, held at its first call of `kind`.
struct HeldWriter {
    HeldWriter(const std::string& path, Call kind) {
        int held[2];
        int go[2];
        if (::pipe(held) != 0 || ::pipe(go) != 0) {
            throw std::runtime_error("pipe failed");
        }
        pid = ::fork();
        if (pid == 0) {
            ::close(held[0]);
            ::close(go[1]);
            // Holds a call of the chosen kind until the parent lets it go: the child says "held"
            // on one pipe, then waits on another.
            const DecidedBy system([&](Call call, const std::string& /*path*/) {
                if (call == kind) {
                    char byte = 'h';
                    (void)::write(held[1], &byte, 1);
                    (void)::read(go[0], &byte, 1);
                }
                return std::nullopt;
            });
            try {
                PreparedOutput output(Files(system), path);
                output.Write(Document("", "写入中", ""));
                output.Commit();
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        ::close(held[1]);
        ::close(go[0]);
        heldPipe = held[0];
        goPipe = go[1];
        char byte = 0;
        EXPECT_EQ(::read(heldPipe, &byte, 1), 1) << "the writer reached the call";
    }
    void Kill() const { ::kill(pid, SIGKILL); }
    int Finish() const {
        ::close(goPipe);
        ::close(heldPipe);
        return ExitStatusOf(pid);
    }

    pid_t pid = -1;
    int heldPipe = -1;
    int goPipe = -1;
};

TEST(KilledRunTest, WriterKilledWhileWritingLeavesNothing) {
    TempDir dir;
    const HeldWriter writer(dir / "out.html", Call::WriteAt);
    writer.Kill();
    writer.Finish();
    EXPECT_THAT(AllNames(dir.path()), ::testing::IsEmpty());
}

TEST_F(UpgradeRunTest, LeftoverOfAKilledRunIsRemovedByTheNextRun) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    MakeFolder(output);
    // Held just before the rename, the finished file has its temporary name.
    const HeldWriter writer(Join(output, "a.html"), Call::MoveIntoPlace);
    ASSERT_EQ(TemporaryNames(output).size(), 1u);
    writer.Kill();
    writer.Finish();
    ASSERT_EQ(TemporaryNames(output).size(), 1u) << "killed at this moment, a name is left";
    EXPECT_EQ(Run().outcome, RunOutcome::Completed);
    EXPECT_THAT(AllNames(output), ElementsAre("a.html"));
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), Upgraded("A"));
}

TEST_F(UpgradeRunTest, CleanUpLeavesTheFileOfALiveWriter) {
    MakeFolder(output);
    const HeldWriter writer(Join(output, "b.html"), Call::MoveIntoPlace);
    WriteBytes(Join(output, std::string(kTemporaryPrefix) + "0123456789abcdef.tmp"),
               "left by a run that died");
    Files().RemoveLeftovers(output);
    EXPECT_EQ(TemporaryNames(output).size(), 1u) << "the dead run's file goes, the live one stays";
    EXPECT_EQ(writer.Finish(), 0) << "the live writer completes";
    EXPECT_THAT(AllNames(output), ElementsAre("b.html"));
    EXPECT_EQ(ReadBytes(Join(output, "b.html")), Document("", "写入中", ""));
}

TEST_F(CommandLineTest, LogThatCannotBeWrittenStopsTheRun) {
    for (const char* name : {"a.html", "b.html"}) {
        WriteBytes(Join(oldFolder, name), Document("", name, ""));
    }
    ProcessOptions options = kEnglish;
    options.standardOutput = "/dev/full";
    const ProcessResult result = RunProcess(kProgram, {templatePath, oldFolder}, options);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_THAT(result.err, HasSubstr("cannot write the file standard output"));
    EXPECT_THAT(result.err, HasSubstr("No space left on device"));
    // Stopped at the start entry: nothing was upgraded, and the folder made for it is gone.
    EXPECT_FALSE(Exists(output));
}

}  // namespace
}  // namespace orba
