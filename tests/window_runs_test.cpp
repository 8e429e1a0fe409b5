// The start button's run as the window sees it: whatever a run throws, the window hears of it in
// a message box and can start the next run.

#include "ui/window_runs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <vector>

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

// Another program holds every output for good; the user presses the exit button once it does.
class OutputsHeld final : public WrappedSystem {
  public:
    std::optional<int> Decide(Call call, const std::string& /*path*/) const override {
        if (call != Call::MoveIntoPlace) {
            return std::nullopt;
        }
        exitPressed = true;
        return sys::HeldError();
    }
    mutable bool exitPressed = false;
};

// A log box whose events are a press of the exit button, once `pressed` says so.
class ExitPressedView final : public ui::ProgressLogView {
  public:
    void AppendText(std::string_view entry) override { text += entry; }
    void ShowEnd(Paint) override {}
    void ProcessEvents() override {
        if (*pressed) {
            ++rounds;
            runs->EndProgram();
        }
    }
    void WaitForEvents(std::chrono::milliseconds /*timeout*/) override {
        if (*pressed) {
            ++restingRounds;
            runs->EndProgram();
        }
    }

    ui::WindowRuns* runs = nullptr;
    const bool* pressed = nullptr;
    std::string text;
    int rounds = 0;
    int restingRounds = 0;
};

TEST_F(UpgradeRunTest, ExitButtonAnswersWhileTheRunWaitsForAHeldFile) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    FakeDesktop desktop;
    ExitPressedView view;
    const OutputsHeld system;
    ui::WindowRuns runs(desktop, view, system);
    view.runs = &runs;
    view.pressed = &system.exitPressed;

    runs.Start(templatePath, oldFolder);
    EXPECT_EQ(view.restingRounds, 1)
        << "the wait handled the window's events, at rest between them";
    EXPECT_EQ(view.rounds, 0) << "and never spun";
    EXPECT_EQ(desktop.endRequests, 1) << "and the exit button ended the program";
    EXPECT_THAT(desktop.messages, ::testing::IsEmpty());
    EXPECT_FALSE(Exists(output)) << "nothing half-done is left, nor the folder made for it";
}

// The user presses the exit button while a page without a data block is read.
class ExitPressedDuringARead final : public WrappedSystem {
  public:
    explicit ExitPressedDuringARead(std::string page) : page_(std::move(page)) {}
    std::optional<int> Decide(Call call, const std::string& path) const override {
        if (call == Call::OpenToRead) {
            opened.push_back(path);
            exitPressed = exitPressed || path == page_;
        }
        return std::nullopt;
    }
    mutable bool exitPressed = false;
    mutable std::vector<std::string> opened;

  private:
    std::string page_;
};

TEST_F(UpgradeRunTest, ExitButtonIsSeenAfterEveryDocumentReadNotOnlyAfterOneWritten) {
    WriteBytes(Join(oldFolder, "a.html"), "a page without a data block");
    WriteBytes(Join(oldFolder, "b.html"), Document("", "B", ""));
    FakeDesktop desktop;
    ExitPressedView view;
    const ExitPressedDuringARead system(Join(oldFolder, "a.html"));
    ui::WindowRuns runs(desktop, view, system);
    view.runs = &runs;
    view.pressed = &system.exitPressed;

    runs.Start(templatePath, oldFolder);
    EXPECT_EQ(desktop.endRequests, 1);
    EXPECT_THAT(system.opened, ::testing::Not(::testing::Contains(Join(oldFolder, "b.html"))))
        << "b.html is never begun";
    EXPECT_FALSE(Exists(Join(output, "b.html")));
}

// Records what the run shows outside the window, with how things stood when it was shown.
class ProgressSeenView final : public ui::ProgressLogView {
  public:
    struct Seen {
        ui::RunProgress progress;
        std::size_t messagesBefore;  // message boxes opened by then
        bool heldFileRead;           // the held document read by then
    };
    explicit ProgressSeenView(const FakeDesktop& desktop) : desktop_(desktop) {}
    void AppendText(std::string_view) override {}
    void ShowEnd(Paint) override {}
    void ProcessEvents() override {}
    void ShowRunProgress(const ui::RunProgress& progress) override {
        seen.push_back({progress, desktop_.messages.size(), heldFileRead});
    }

    std::vector<Seen> seen;
    bool heldFileRead = false;

  private:
    const FakeDesktop& desktop_;
};

TEST_F(UpgradeRunTest, FailureReachesTheTaskbarAndAsksForAttentionBeforeItsMessageBox) {
    for (const char* name : {"a.html", "b.html", "c.html", "d.html"}) {
        WriteBytes(Join(oldFolder, name), Document("", name, ""));
    }
    MakeFolder(output);
    MakeFolder(Join(output, "c.html"));  // the third output's name is taken
    FakeDesktop desktop;
    desktop.tick = ui::WindowRuns::kLongRun;  // a run that takes a while
    ProgressSeenView view(desktop);
    ui::WindowRuns runs(desktop, view);

    runs.Start(templatePath, oldFolder);
    ASSERT_EQ(desktop.messages.size(), 1u);
    ASSERT_FALSE(view.seen.empty());
    const ProgressSeenView::Seen& last = view.seen.back();
    EXPECT_EQ(last.progress, (ui::RunProgress{ui::RunProgress::State::Failed, 0.5, true}));
    EXPECT_EQ(last.messagesBefore, 0u) << "shown before the box, not once it is closed";
    EXPECT_EQ(std::count_if(view.seen.begin(), view.seen.end(),
                            [](const auto& seen) {
                                return seen.progress.state == ui::RunProgress::State::Failed;
                            }),
              1)
        << "and asked once";
}

// The first `times` opens of `path` find it held; time passes on the desktop's clock with each.
class HeldWhileTimePasses final : public WrappedSystem {
  public:
    HeldWhileTimePasses(std::string path, int times, FakeDesktop& desktop, ProgressSeenView& view)
        : path_(std::move(path)), times_(times), desktop_(desktop), view_(view) {}
    std::optional<int> Decide(Call call, const std::string& path) const override {
        if (call != Call::OpenToRead || path != path_) {
            return std::nullopt;
        }
        if (times_-- > 0) {
            desktop_.now += ui::WindowRuns::kProgressInterval;
            return sys::HeldError();
        }
        view_.heldFileRead = true;
        return std::nullopt;
    }

  private:
    std::string path_;
    mutable int times_;
    FakeDesktop& desktop_;
    ProgressSeenView& view_;
};

TEST_F(UpgradeRunTest, ProgressHeldBackByTheRateLimitGoesOutDuringAWaitForAHeldFile) {
    for (const char* name : {"a.html", "b.html", "c.html"}) {
        WriteBytes(Join(oldFolder, name), Document("", name, ""));
    }
    FakeDesktop desktop;  // its clock moves only while b.html is held
    ProgressSeenView view(desktop);
    const HeldWhileTimePasses system(Join(oldFolder, "b.html"), 3, desktop, view);
    ui::WindowRuns runs(desktop, view, system);

    runs.Start(templatePath, oldFolder);
    EXPECT_EQ(desktop.messages.size(), 0u);
    const auto oneThird = std::find_if(view.seen.begin(), view.seen.end(), [](const auto& seen) {
        return seen.progress.fraction == 1.0 / 3;
    });
    ASSERT_NE(oneThird, view.seen.end()) << "a.html's progress was shown";
    EXPECT_FALSE(oneThird->heldFileRead) << "while the run waited for b.html";
}

}  // namespace
}  // namespace orba
