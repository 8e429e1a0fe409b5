#pragma once

// The run's progress on the window's taskbar button (ITaskbarList3, Windows 7 and later): normal
// while running, red where a failure stopped the run, none once it has ended; and a flash of the
// button (FlashWindowEx) when a long run ends while the window is behind others.

#include <windows.h>

#include <shobjidl.h>

#include <memory>

#include "ui/window_runs.h"

namespace orba::ui::win32 {

// What the taskbar button is asked: the system's, or a test's.
class TaskbarCalls {
  public:
    virtual ~TaskbarCalls() = default;
    virtual HRESULT SetProgressState(HWND window, TBPFLAG state) = 0;
    virtual HRESULT SetProgressValue(HWND window, ULONGLONG done, ULONGLONG total) = 0;
    // Flashes the button until the window comes to the front.
    virtual void Flash(HWND window) = 0;
    virtual bool IsInFront(HWND window) = 0;

    // The system's taskbar object; where it cannot be made (no shell, a server system), calls
    // that show nothing, and runs go on.
    static std::unique_ptr<TaskbarCalls> OfSystem();
};

// Shows `progress` on `window`'s taskbar button.
void ShowOnTaskbar(TaskbarCalls& calls, HWND window, const RunProgress& progress);

}  // namespace orba::ui::win32
