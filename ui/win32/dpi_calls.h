#pragma once

// The window's calls for per-monitor pixel density, which arrived with Windows 10 version 1607.
// They are looked up at run time, so that the program starts on Windows 7 SP1 and later; where they
// are missing, the window takes the system's density, as those systems scale every window.

#include <windows.h>

namespace orba::ui {

class DpiCalls {
  public:
    // The calls of this system, where it has them.
    static DpiCalls OfSystem();
    // None of them, as on Windows 7 and 8.
    static DpiCalls Missing() { return {}; }

    // Dots per inch of the monitor the window is on; the system's where that cannot be asked.
    UINT DpiFor(HWND window) const;
    // The window's frame around `client` at `dpi`.
    BOOL AdjustWindowRect(RECT& client, DWORD style, DWORD exStyle, UINT dpi) const;

  private:
    using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
    using GetDpiForMonitorCall = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    using AdjustWindowRectExForDpiCall = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

    GetDpiForWindowCall getDpiForWindow_ = nullptr;    // Windows 10 1607
    GetDpiForMonitorCall getDpiForMonitor_ = nullptr;  // Windows 8.1, in shcore.dll
    AdjustWindowRectExForDpiCall adjustWindowRectExForDpi_ = nullptr;
};

}  // namespace orba::ui
