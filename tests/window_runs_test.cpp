// The start button's run as the window sees it: whatever a run throws, the window hears of it in
// a message box and can start the next run.

#include "ui/window_runs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <new>

#include "tests/fake_desktop.h"
#include "tests/run_fixtures.h"
#include "tests/wrapped_system.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::HasSubstr;

// A log box that fails to take the first `failures` entries, as one out of memory would.
class FailingLogView final : public ui::ProgressLogView {
  public:
    void AppendText(std::string_view entry) override {
        if (failures > 0) {
            --failures;
            throw std::bad_alloc();
        }
        text += entry;
    }
    void ShowEnd(Paint) override {}
    void ProcessEvents() override {}

    int failures = 1;
    std::string text;
};

TEST_F(UpgradeRunTest, WindowRecoversFromAFailureThatIsNotAFilesAndRunsAgain) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    FakeDesktop desktop;
    FailingLogView view;
    ui::WindowRuns runs(desktop, view);

    runs.Start(templatePath, oldFolder);
    EXPECT_FALSE(runs.Running()) << "the run is over";
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_THAT(desktop.messages[0], HasSubstr("升级已中止"));
    EXPECT_THAT(desktop.messages[0], HasSubstr(std::bad_alloc().what()));

    runs.Start(templatePath, oldFolder);
    EXPECT_EQ(desktop.messages.size(), 1u) << "the second run completes without a message";
    EXPECT_EQ(view.text, ExpectedLog({"a.html"}, output));
    EXPECT_EQ(desktop.endRequests, 0);
}

// Another program holds every output for good.
class OutputsHeld final : public WrappedSystem {
  public:
    std::optional<int> Decide(Call call, const std::string& /*path*/) const override {
        return call == Call::MoveIntoPlace ? std::optional(sys::HeldError()) : std::nullopt;
    }
};

// A log box whose events are a press of the exit button.
class ExitPressedView final : public ui::ProgressLogView {
  public:
    void AppendText(std::string_view entry) override { text += entry; }
    void ShowEnd(Paint) override {}
    void ProcessEvents() override {
        ++rounds;
        runs->EndProgram();
    }

    ui::WindowRuns* runs = nullptr;
    std::string text;
    int rounds = 0;
};

TEST_F(UpgradeRunTest, ExitButtonAnswersWhileTheRunWaitsForAHeldFile) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    FakeDesktop desktop;
    ExitPressedView view;
    const OutputsHeld system;
    ui::WindowRuns runs(desktop, view, system);
    view.runs = &runs;

    runs.Start(templatePath, oldFolder);
    EXPECT_EQ(view.rounds, 1) << "the wait handled the window's events";
    EXPECT_EQ(desktop.endRequests, 1) << "and the exit button ended the program";
    EXPECT_THAT(desktop.messages, ::testing::IsEmpty());
    EXPECT_FALSE(Exists(output)) << "nothing half-done is left, nor the folder made for it";
}

}  // namespace
}  // namespace orba
