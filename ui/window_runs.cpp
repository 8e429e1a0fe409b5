#include "ui/window_runs.h"

#include <exception>

#include "engine/run_texts.h"
#include "engine/upgrade_run.h"
#include "ui/layout_table.h"
#include "ui/my_sleep.h"

namespace orba::ui {

namespace {
constexpr int kPauseAfterDocumentMs = 5;
}

// The window's side of a run: the log box, message boxes, and a short pause after each document
// in which the window repaints and its buttons answer.
class WindowRuns::Host final : public RunHost {
  public:
    explicit Host(WindowRuns& runs) : runs_(runs) {}

    void AppendLog(std::string_view entry) override {
        runs_.log_ += entry;
        runs_.view_.AppendText(entry);
    }
    // A failure is seen on the taskbar button or in the dock, and asks for attention, before its
    // message box waits for a click: a window behind others would otherwise say nothing.
    void ShowMessage(std::string_view text) override {
        runs_.ShowFailedOutside();
        runs_.desktop_.ShowMessage(text);
    }
    // An input problem ends the run before anything was begun: only its message is shown.
    void ShowInputProblem(InputProblem problem, FoundAtPath /*found*/) override {
        runs_.desktop_.ShowMessage(InputProblemMessage(problem));
    }
    bool AfterDocumentEntry() override {
        runs_.view_.ShowEnd(ProgressLogView::Paint::InThePause);
        return Pause(kPauseAfterDocumentMs);
    }
    // Between any two steps of the run the window handles the events that wait, so that the
    // exit button is seen after every document read, not only after one written.
    bool KeepGoing() override {
        ShowProgressIfDue();
        runs_.view_.ProcessEvents();
        return !runs_.endRequested_;
    }
    void AfterResultEntry() override { runs_.view_.ShowEnd(ProgressLogView::Paint::Now); }
    void Progress(std::uint64_t done, std::uint64_t total) override {
        runs_.fraction_ = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
        heldBack_ = true;
        if (done == 0 || done == total) {
            ShowProgress();
        } else {
            ShowProgressIfDue();
        }
    }
    // While another program holds a file, the window answers as in the pause after a document,
    // but lets the processor rest between its events: such a wait may last seconds.
    bool PauseWhileFileHeld(std::chrono::milliseconds pause) override {
        return Pause(static_cast<int>(pause.count()), Rest::BetweenEvents);
    }

  private:
    enum class Rest { Never, BetweenEvents };
    // How long a resting wait waits for events at a time: progress held back goes out in time.
    static constexpr std::chrono::milliseconds kRestSlice{10};

    // The window's events are handled throughout, and progress held back by the rate limit goes
    // out once its interval has passed, however long the run waits.
    bool Pause(int ms, Rest rest = Rest::Never) {
        return MySleep(
            ms,
            [this, rest] {
                ShowProgressIfDue();
                if (rest == Rest::BetweenEvents) {
                    runs_.view_.WaitForEvents(kRestSlice);
                } else {
                    runs_.view_.ProcessEvents();
                }
            },
            [this] { return !runs_.endRequested_; });
    }
    void ShowProgressIfDue() {
        if (heldBack_ && runs_.desktop_.Now() - lastShown_ >= kProgressInterval) {
            ShowProgress();
        }
    }
    void ShowProgress() {
        lastShown_ = runs_.desktop_.Now();
        heldBack_ = false;
        runs_.view_.ShowRunProgress({RunProgress::State::Running, runs_.fraction_, false});
    }

    WindowRuns& runs_;
    std::chrono::steady_clock::time_point lastShown_{};
    bool heldBack_ = false;  // progress not yet shown
};

WindowRuns::WindowRuns(Desktop& desktop, ProgressLogView& view, const sys::System& system)
    : desktop_(desktop), view_(view), system_(system), log_(kInitialProgressLog) {}

void WindowRuns::Start(std::string_view templateBox, std::string_view folderBox) {
    if (running_) {
        return;  // a run pumping events between two documents is not interrupted by another
    }
    running_ = true;
    // Whatever the run throws, the run is over when this returns and the button works again;
    // nothing may leave an event handler of the window.
    struct RunOver {
        bool& running;
        ~RunOver() { running = false; }
    };
    {
        const RunOver over{running_};
        started_ = desktop_.Now();
        fraction_ = 0;
        failureShownOutside_ = false;
        auto outcome = RunOutcome::Failed;
        try {
            Host host(*this);
            // Users of the window pull out a USB stick once it says the run is over: every
            // output is on the disk before it takes its name, and the names before the end entry.
            outcome = RunUpgrade(templateBox, folderBox, host, Files(system_, Durability::OnDisk))
                          .outcome;
        } catch (const std::exception& error) {
            ShowFailure(error.what());
        } catch (...) {
            ShowFailure("unknown error");
        }
        ShowRunOver(outcome);
    }
    if (endRequested_) {
        desktop_.EndProgram();
    }
}

bool WindowRuns::TookAWhile() {
    return desktop_.Now() - started_ >= kLongRun;
}

void WindowRuns::ShowFailedOutside() {
    failureShownOutside_ = true;
    view_.ShowRunProgress({RunProgress::State::Failed, fraction_, TookAWhile()});
}

void WindowRuns::ShowRunOver(RunOutcome outcome) {
    if (outcome == RunOutcome::Failed && failureShownOutside_) {
        return;  // shown before its message
    }
    const bool wantsAttention = TookAWhile();
    switch (outcome) {
        case RunOutcome::Refused:
            return;  // nothing was begun
        case RunOutcome::Completed:
            view_.ShowRunProgress({RunProgress::State::Ended, 1.0, wantsAttention});
            return;
        case RunOutcome::Failed:
            view_.ShowRunProgress({RunProgress::State::Failed, fraction_, wantsAttention});
            return;
        case RunOutcome::Stopped:  // the program ends
            view_.ShowRunProgress({RunProgress::State::Ended, fraction_, false});
            return;
    }
}

void WindowRuns::ShowFailure(std::string_view description) noexcept {
    try {
        ShowFailedOutside();
    } catch (...) {
        // The message below still tells of the failure.
    }
    try {
        desktop_.ShowMessage(UnexpectedFailureMessage(description));
    } catch (...) {
        // Not even a message box could be shown: the window stays, without one.
    }
}

void WindowRuns::EndProgram() {
    endRequested_ = true;
    if (!running_) {
        desktop_.EndProgram();
    }
}

void WindowRuns::WindowClosing() {
    if (running_) {
        endRequested_ = true;
    }
}

}  // namespace orba::ui
