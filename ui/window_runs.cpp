#include "ui/window_runs.h"

#include <exception>

#include "app/texts_zh.h"
#include "engine/upgrade_run.h"
#include "ui/layout_table.h"
#include "ui/my_sleep.h"

namespace orba::ui {

namespace {
constexpr int kPauseAfterDocumentMs = 5;
}

// The window's side of a run: the log box, message boxes, and a short pause after each document
// in which the window repaints and its buttons answer. The exit button stops the run at its next
// step.
class WindowRuns::Observer final : public RunObserver, public HeldFileWait {
  public:
    explicit Observer(WindowRuns& runs) : runs_(runs) {}

    // An input problem ends the run before anything was begun: only its message is shown.
    void Refused(InputProblem problem, FoundAtPath /*found*/) override {
        runs_.desktop_.ShowMessage(zh::InputProblemMessage(problem));
    }
    void Started(std::uint64_t documents) override {
        Log(zh::StartEntry());
        Handled(0, documents);
    }
    void Upgraded(std::string_view name, std::uint64_t number) override {
        Log(zh::DocumentEntry(number, name));
        runs_.view_.ShowEnd(ProgressLogView::Paint::InThePause);
        Pause(kPauseAfterDocumentMs);
    }
    // After each document the window handles the events that wait, so that the exit button is
    // seen after every document read, not only after one written.
    void Handled(std::uint64_t done, std::uint64_t total) override {
        runs_.fraction_ = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
        heldBack_ = true;
        if (done == 0 || done == total) {
            ShowProgress();
        } else {
            ShowProgressIfDue();
        }
        runs_.view_.ProcessEvents();
    }
    void Completed(std::string_view outputFolder, std::uint64_t upgraded) override {
        Log(zh::EndEntries(upgraded, outputFolder));
        runs_.view_.ShowEnd(ProgressLogView::Paint::Now);
    }
    void Failed(const FileError& error, Stopped stopped) override {
        ShowFailure(zh::FailureMessage(error, stopped));
    }
    void FailedUnexpectedly(std::string_view description, Stopped stopped) override {
        ShowFailure(zh::UnexpectedFailureMessage(description, stopped));
    }

    // While another program holds a file, the window answers as in the pause after a document,
    // but lets the processor rest between its events: such a wait may last seconds.
    bool Pause(std::chrono::milliseconds pause) override {
        return Pause(static_cast<int>(pause.count()), Rest::BetweenEvents);
    }

  private:
    enum class Rest { Never, BetweenEvents };
    // How long a resting wait waits for events at a time: progress held back goes out in time.
    static constexpr std::chrono::milliseconds kRestSlice{10};

    void Log(const std::string& entry) { runs_.view_.AppendText(entry); }
    // A failure is seen on the taskbar button or in the dock, and asks for attention, before its
    // message box waits for a click: a window behind others would otherwise say nothing.
    void ShowFailure(const std::string& message) {
        runs_.ShowFailedOutside();
        runs_.desktop_.ShowMessage(message);
    }
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

WindowRuns::WindowRuns(Desktop& desktop, ProgressLogView& view, WindowFiles files)
    : desktop_(desktop), view_(view), files_(std::move(files)) {}

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
        stop_ = std::stop_source();
        auto outcome = RunOutcome::Failed;
        try {
            Observer observer(*this);
            // Users of the window pull out a USB stick once it says the run is over: every
            // output is on the disk before it takes its name, and the names before the end entry.
            const Files files = Files(*files_.system, Durability::OnDisk)
                                    .StoppingAt(stop_.get_token())
                                    .WaitingThrough(observer);
            outcome = files_.upgrade(templateBox, folderBox, observer, files).outcome;
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
        desktop_.ShowMessage(zh::UnexpectedFailureMessage(description));
    } catch (...) {
        // Not even a message box could be shown: the window stays, without one.
    }
}

void WindowRuns::EndProgram() {
    endRequested_ = true;
    stop_.request_stop();
    if (!running_) {
        desktop_.EndProgram();
    }
}

void WindowRuns::WindowClosing() {
    if (running_) {
        endRequested_ = true;
        stop_.request_stop();
    }
}

}  // namespace orba::ui
