#pragma once

// What the start and exit buttons decide around the upgrade run, shared by every front end: the
// run's log, the pause after each document, a second start refused while a run pumps events, and
// an end of the program that waits for the run's next pause.

#include <string>
#include <string_view>

#include "storage/system.h"
#include "ui/desktop.h"

namespace orba::ui {

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
};

class WindowRuns {
  public:
    // Runs make their file calls through `system`.
    WindowRuns(Desktop& desktop, ProgressLogView& view,
               const sys::System& system = sys::TheSystem());

    // The log as every run wrote it, CR LF included, behind the box's initial text.
    const std::string& Log() const { return log_; }
    bool Running() const { return running_; }

    // The start button: one upgrade run on the two boxes' texts, unless one is running.
    void Start(std::string_view templateBox, std::string_view folderBox);

    // The exit button: ends the program now, or during a run at the run's next pause.
    void EndProgram();

    // The window is being closed: a run in progress goes no further.
    void WindowClosing();

  private:
    class Host;
    void ShowFailure(std::string_view description) noexcept;

    Desktop& desktop_;
    ProgressLogView& view_;
    const sys::System& system_;
    std::string log_;
    bool running_ = false;
    bool endRequested_ = false;
};

}  // namespace orba::ui
