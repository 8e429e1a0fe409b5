// The start button's run as the window sees it, with scripted runs: whatever a run throws, the
// window hears of it in a message box and can start the next run; the exit button is seen in the
// pauses and waits of a run, and progress goes out in time.

#include "ui/window_runs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <vector>

#include "tests/support/fake_desktop.h"
#include "tests/support/scripted_run.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::ElementsAre;
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

TEST(WindowRunsTest, WindowRecoversFromAFailureThatIsNotAFilesAndRunsAgain) {
    ScriptedRun run;
    run.Upgrades({"a.html"});
    FakeDesktop desktop;
    FailingLogView view;
    ui::WindowRuns runs(desktop, view, run.Files());

    runs.Start("tpl.html", "old");
    EXPECT_FALSE(runs.Running()) << "the run is over";
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_THAT(desktop.messages[0], HasSubstr("升级已中止"));
    EXPECT_THAT(desktop.messages[0], HasSubstr(std::bad_alloc().what()));

    runs.Start("tpl.html", "old");
    EXPECT_EQ(desktop.messages.size(), 1u) << "the second run completes without a message";
    EXPECT_EQ(view.text, ExpectedLog({"a.html"}, run.outputFolder));
    EXPECT_EQ(desktop.endRequests, 0);
}

// A log box whose events are a press of the exit button, once `pressed` says so: in the pause
// after a document, or while a held file is waited for.
class ExitPressedView final : public ui::ProgressLogView {
  public:
    void AppendText(std::string_view entry) override { text += entry; }
    void ShowEnd(Paint) override {}
    void ProcessEvents() override {
        if (pressed()) {
            ++rounds;
            runs->EndProgram();
        }
    }
    void WaitForEvents(std::chrono::milliseconds /*timeout*/) override {
        if (pressed()) {
            ++restingRounds;
            runs->EndProgram();
        }
    }

    ui::WindowRuns* runs = nullptr;
    std::function<bool()> pressed;
    std::string text;
    int rounds = 0;
    int restingRounds = 0;
};

// A window whose user presses the exit button once the run has begun its first document.
struct ExitAfterTheFirstDocumentBegun {
    explicit ExitAfterTheFirstDocumentBegun(std::vector<ScriptedRun::Entry> documents) {
        run.documents = std::move(documents);
        view.runs = &runs;
        view.pressed = [this] { return !run.begun.empty(); };
        runs.Start("tpl.html", "old");
    }

    ScriptedRun run;
    FakeDesktop desktop;
    ExitPressedView view;
    ui::WindowRuns runs{desktop, view, run.Files()};
};

TEST(WindowRunsTest, ExitButtonAnswersWhileTheRunWaitsForAHeldFile) {
    const ExitAfterTheFirstDocumentBegun window({{"a.html", ScriptedRun::Fate::Upgraded, 1000}});
    const ExitPressedView& view = window.view;
    const FakeDesktop& desktop = window.desktop;
    EXPECT_EQ(view.restingRounds, 1)
        << "the wait handled the window's events, at rest between them";
    EXPECT_EQ(view.rounds, 0) << "and never spun";
    EXPECT_EQ(desktop.endRequests, 1) << "and the exit button ended the program";
    EXPECT_THAT(desktop.messages, ::testing::IsEmpty());
}

TEST(WindowRunsTest, ExitButtonIsSeenAfterEveryDocumentReadNotOnlyAfterOneWritten) {
    const ExitAfterTheFirstDocumentBegun window(
        {{"a.html", ScriptedRun::Fate::PassedOver}, {"b.html"}});
    EXPECT_EQ(window.desktop.endRequests, 1);
    EXPECT_THAT(window.run.begun, ElementsAre("a.html")) << "b.html is never begun";
}

// Records what the run shows outside the window, with how things stood when it was shown.
class ProgressSeenView final : public ui::ProgressLogView {
  public:
    struct Seen {
        ui::RunProgress progress;
        std::size_t messagesBefore;  // message boxes opened by then
        std::size_t begun;           // documents begun by then
    };
    ProgressSeenView(FakeDesktop& desktop, const ScriptedRun& run) : desktop_(desktop), run_(run) {}
    void AppendText(std::string_view) override {}
    void ShowEnd(Paint) override {}
    void ProcessEvents() override {}
    void ShowRunProgress(const ui::RunProgress& progress) override {
        seen.push_back({progress, desktop_.messages.size(), run_.begun.size()});
    }
    // Time passes on the desktop's clock while the run waits for a held file.
    void WaitForEvents(std::chrono::milliseconds /*timeout*/) override {
        desktop_.now += ui::WindowRuns::kProgressInterval;
    }

    std::vector<Seen> seen;

  private:
    FakeDesktop& desktop_;
    const ScriptedRun& run_;
};

TEST(WindowRunsTest, FailureReachesTheTaskbarAndAsksForAttentionBeforeItsMessageBox) {
    ScriptedRun run;
    run.Upgrades({"a.html", "b.html", "c.html", "d.html"});
    run.documents[2].fate = ScriptedRun::Fate::CannotBeWritten;
    FakeDesktop desktop;
    desktop.tick = ui::WindowRuns::kLongRun;  // a run that takes a while
    ProgressSeenView view(desktop, run);
    ui::WindowRuns runs(desktop, view, run.Files());

    runs.Start("tpl.html", "old");
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

TEST(WindowRunsTest, ProgressHeldBackByTheRateLimitGoesOutDuringAWaitForAHeldFile) {
    ScriptedRun run;
    run.documents = {{"a.html"}, {"b.html", ScriptedRun::Fate::Upgraded, 3}, {"c.html"}};
    FakeDesktop desktop;  // its clock moves only while b.html is held
    ProgressSeenView view(desktop, run);
    ui::WindowRuns runs(desktop, view, run.Files());

    runs.Start("tpl.html", "old");
    EXPECT_EQ(desktop.messages.size(), 0u);
    const auto oneThird = std::find_if(view.seen.begin(), view.seen.end(), [](const auto& seen) {
        return seen.progress.fraction == 1.0 / 3;
    });
    ASSERT_NE(oneThird, view.seen.end()) << "a.html's progress was shown";
    EXPECT_EQ(oneThird->begun, 2u) << "while the run waited for b.html";
}

}  // namespace
}  // namespace orba
