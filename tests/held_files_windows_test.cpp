// Files that another program holds for a moment, as Windows users meet them: a program of the
// tests holds an output or a document open while a run needs it. Let go after the run's third try,
// the file is taken and the run completes; held for good, the run stops once its pauses add up to
// the limit, naming the file, every earlier output intact. The pauses are the test's own: the
// observer counts them instead of sleeping, so the outcome does not hang on the machine's speed.

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <numeric>

#include "engine/upgrade_run.h"
#include "storage/temporary_names.h"
#include "storage/windows_paths.h"
#include "tests/support/process_runner.h"
#include "tests/support/run_fixtures.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using namespace std::chrono_literals;
using ::testing::HasSubstr;

// The holding program, started; it lets the file go when told to or when this is dropped.
class Holder {
  public:
    Holder(const std::string& path, const char* sharing, const TempDir& dir)
        : release_(dir / "release") {
        const std::string ready = dir / "ready";
        std::wstring command =
            L"\"" + platform::WideFromUtf8(WindowsPath(HOLD_FILE_PATH)) + L"\" \"" +
            platform::WideFromUtf8(path) + L"\" " + platform::WideFromUtf8(sharing) + L" \"" +
            platform::WideFromUtf8(ready) + L"\" \"" + platform::WideFromUtf8(release_) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process_)) {
            throw std::runtime_error("cannot start the holding program: error " +
                                     std::to_string(::GetLastError()));
        }
        // However long the program takes to start: it either holds the file or ends.
        while (!Exists(ready)) {
            if (::WaitForSingleObject(process_.hProcess, 10) == WAIT_OBJECT_0) {
                throw std::runtime_error("the holding program ended without holding the file");
            }
        }
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    ~Holder() {
        ::TerminateProcess(process_.hProcess, 0);
        ::WaitForSingleObject(process_.hProcess, INFINITE);
        ::CloseHandle(process_.hProcess);
        ::CloseHandle(process_.hThread);
    }

    // Lets the file go, and returns once the program has closed it.
    void Release() {
        WriteBytes(release_, "");
        ::WaitForSingleObject(process_.hProcess, INFINITE);
    }

  private:
    std::string release_;
    PROCESS_INFORMATION process_{};
};

class HeldFilesTest : public EarlierOutputsTest {
  protected:
    // A run while `path` is held until its third pause: it completes, with every output exact.
    void ExpectRunWaitsAndCompletes(const std::string& path, const char* sharing) {
        Holder holder(path, sharing, holding);
        observer.onHeldPause = [&] {
            if (observer.heldPauses.size() == 3) {
                holder.Release();
            }
            return true;
        };
        EXPECT_EQ(Run().outcome, RunOutcome::Completed)
            << ::testing::PrintToString(observer.messages);
        EXPECT_EQ(observer.heldPauses.size(), 3u)
            << "the file was taken at the try after its release";
        for (const char* name : {"a.html", "b.html", "c.html"}) {
            EXPECT_EQ(ReadBytes(Join(output, name)), Upgraded(name));
        }
    }

    TempDir holding;
};

TEST_F(HeldFilesTest, OutputHeldUnsharedForAMomentIsReplaced) {
    ExpectRunWaitsAndCompletes(Join(output, "b.html"), "none");
    ExpectNoTemporaryFile();
}

TEST_F(HeldFilesTest, OutputHeldWithDeleteSharingForAMomentIsReplaced) {
    ExpectRunWaitsAndCompletes(Join(output, "b.html"), "delete");
    ExpectNoTemporaryFile();
}

TEST_F(HeldFilesTest, DocumentHeldUnsharedForAMomentIsRead) {
    ExpectRunWaitsAndCompletes(Join(oldFolder, "b.html"), "none");
}

TEST_F(HeldFilesTest, OutputHeldForGoodStopsTheRunAtTheLimitNamingIt) {
    const std::string held = Join(output, "b.html");
    const Holder holder(held, "none", holding);
    observer.onHeldPause = [] { return true; };
    const RunResult result = Run();
    EXPECT_EQ(result.outcome, RunOutcome::Failed);
    const auto waited =
        std::accumulate(observer.heldPauses.begin(), observer.heldPauses.end(), 0ms);
    EXPECT_GE(waited, Files::kHeldFileLimit);
    EXPECT_LE(waited, Files::kHeldFileLimit + 1s);
    ASSERT_EQ(observer.failures.size(), 1u);
    EXPECT_EQ(observer.failures[0].operation(), FileError::Operation::Write);
    EXPECT_EQ(observer.failures[0].path(), held);
    EXPECT_EQ(observer.failures[0].ownReason(), OwnReason::HeldByAnotherProgram);
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), Upgraded("a.html"));
    EXPECT_EQ(ReadBytes(Join(output, "c.html")), "earlier");
    ExpectNoTemporaryFile();
}

}  // namespace
}  // namespace orba
