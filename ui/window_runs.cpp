#include "ui/window_runs.h"

#include "engine/my_sleep.h"
#include "engine/upgrade_run.h"
#include "ui/layout_table.h"

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
    void ShowMessage(std::string_view text) override { runs_.desktop_.ShowMessage(text); }
    bool AfterDocumentEntry() override {
        runs_.view_.ShowEnd(ProgressLogView::Paint::InThePause);
        return MySleep(
            kPauseAfterDocumentMs, [this] { runs_.view_.ProcessEvents(); },
            [this] { return !runs_.endRequested_; });
    }
    void AfterResultEntry() override { runs_.view_.ShowEnd(ProgressLogView::Paint::Now); }

  private:
    WindowRuns& runs_;
};

WindowRuns::WindowRuns(Desktop& desktop, ProgressLogView& view)
    : desktop_(desktop), view_(view), log_(kInitialProgressLog) {}

void WindowRuns::Start(std::string_view templateBox, std::string_view folderBox) {
    if (running_) {
        return;  // a run pumping events between two documents is not interrupted by another
    }
    running_ = true;
    Host host(*this);
    RunUpgrade(templateBox, folderBox, host);
    running_ = false;
    if (endRequested_) {
        desktop_.EndProgram();
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
