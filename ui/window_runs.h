#pragma once

// What the start and exit buttons decide around the upgrade run, shared by every front end: the
// run's log, the pause after each document, a second start refused while a run pumps events, and
// an end of the program that waits for the run's next pause.

#include <chrono>
#include <stop_token>
#include <string>
#include <string_view>

#include "ui/desktop.h"
#include "ui/window_files.h"

namespace orba::ui {

// How far a run has got, as a front end shows it outside its window: on the taskbar button, in
// the dock.
struct RunProgress {
    enum class State {
        Running,  // `fraction` of the documents handled
        Failed,   // stopped by a failure, after `fraction` of them
        Ended,    // over: nothing to show
    };
    State state = State::Ended;
    double fraction = 0;
    // A run that took a while is over: a window that is not in front asks for the user's eye.
    bool wantsAttention = false;

    bool operator==(const RunProgress&) const = default;
};

// The front end's progress log box.
class ProgressLogView {
  public:
    virtual ~ProgressLogView() = default;

    // Adds `entry` (CR LF line breaks) at the end of the box.
    virtual void AppendText(std::string_view entry) = 0;

    enum class Paint { Now, InThePause };
    // Puts the caret at the end and brings the newest entry into view; paints now, or leaves the
    // painting to the pause's first round of events, which follows at once.
    virtual void ShowEnd(Paint paint) = 0;

    // Handles the window events that are waiting.
    virtual void ProcessEvents() = 0;

    // Waits up to `timeout` for window events, with the processor at rest, and handles those that
    // came. A front end that cannot wait so handles what is waiting at once.
    virtual void WaitForEvents(std::chrono::milliseconds /*timeout*/) { ProcessEvents(); }

    // Shows how far the run has got outside the window; a front end without a place for it
    // shows nothing.
    virtual void ShowRunProgress(const RunProgress& /*progress*/) {}
};

class WindowRuns {
  public:
    WindowRuns(Desktop& desktop, ProgressLogView& view, WindowFiles files);

    // The log as every run wrote it, CR LF included, behind the box's initial text.
    bool Running() const { return running_; }

    // The start button: one upgrade run on the two boxes' texts, unless one is running.
    void Start(std::string_view templateBox, std::string_view folderBox);

    // The exit button: ends the program now, or during a run at the run's next pause.
    void EndProgram();

    // The window is being closed: a run in progress goes no further.
    void WindowClosing();

    // A run that ends after this long asks for attention.
    static constexpr std::chrono::seconds kLongRun{3};
    // Progress while running is shown at most this often (and always at the start and the end).
    static constexpr std::chrono::milliseconds kProgressInterval{250};

  private:
    class Observer;
    void ShowFailure(std::string_view description) noexcept;
    void ShowFailedOutside();
    void ShowRunOver(RunOutcome outcome);
    bool TookAWhile();

    Desktop& desktop_;
    ProgressLogView& view_;
    WindowFiles files_;
    std::chrono::steady_clock::time_point started_{};  // of the run in progress, or the last one
    double fraction_ = 0;                              // likewise
    bool failureShownOutside_ = false;                 // before its message box
    bool running_ = false;
    bool endRequested_ = false;
    std::stop_source stop_;  // of the run in progress
};

}  // namespace orba::ui
