// Files that another program holds for a moment, as Windows users meet them: a program of the
// tests holds an output or a document open while a run needs it. Held 1.5 s, the run waits and
// completes; held for good, it stops within 15 s naming the file, every earlier output intact.

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/upgrade_run.h"
#include "storage/file_reasons.h"
#include "storage/temporary_names.h"
#include "storage/windows_paths.h"
#include "tests/process_runner.h"
#include "tests/run_fixtures.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::HasSubstr;

// The holding program, started; it lets the file go when its time is up or this is dropped.
class Holder {
  public:
    Holder(const std::string& path, const char* sharing, int milliseconds, const TempDir& dir) {
        const std::string ready = dir / "ready";
        std::wstring command =
            L"\"" + platform::WideFromUtf8(WindowsPath(HOLD_FILE_PATH)) + L"\" \"" +
            platform::WideFromUtf8(path) + L"\" " + platform::WideFromUtf8(sharing) + L" " +
            std::to_wstring(milliseconds) + L" \"" + platform::WideFromUtf8(ready) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process_)) {
            throw std::runtime_error("cannot start the holding program");
        }
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!Exists(ready)) {
            if (std::chrono::steady_clock::now() > giveUp) {
                throw std::runtime_error("the holding program never held the file");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
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

  private:
    PROCESS_INFORMATION process_{};
};

class HeldFilesTest : public EarlierOutputsTest {
  protected:
    // A run while `path` is held: it completes, with every output exact, having waited.
    void ExpectRunWaitsAndCompletes(const std::string& path, const char* sharing) {
        const Holder holder(path, sharing, 1500, holding);
        EXPECT_EQ(Run().outcome, RunOutcome::Completed) << ::testing::PrintToString(host.messages);
        EXPECT_FALSE(host.heldPauses.empty()) << "the run met the file held";
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

TEST_F(HeldFilesTest, OutputHeldForGoodStopsTheRunWithin15SecondsNamingIt) {
    const std::string held = Join(output, "b.html");
    const Holder holder(held, "none", 60'000, holding);
    const auto start = std::chrono::steady_clock::now();
    const RunResult result = Run();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    EXPECT_EQ(result.outcome, RunOutcome::Failed);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_THAT(host.messages[0], HasSubstr("无法写入文件 " + held));
    EXPECT_THAT(host.messages[0], HasSubstr(reasons::kHeldByAnotherProgram));
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), Upgraded("a.html"));
    EXPECT_EQ(ReadBytes(Join(output, "c.html")), "earlier");
    ExpectNoTemporaryFile();
}

}  // namespace
}  // namespace orba
