#include "ui/win32/dpi_calls.h"

namespace orba::ui {

namespace {

// A function of a system library by its name; null where this Windows lacks it.
template <class Call>
Call FromLibrary(HMODULE library, const char* name) {
    return library == nullptr
               ? nullptr
               : reinterpret_cast<Call>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

UINT SystemDpi() {
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen == nullptr ? 0 : ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace

DpiCalls DpiCalls::OfSystem() {
    DpiCalls calls;
    const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    calls.getDpiForWindow_ = FromLibrary<GetDpiForWindowCall>(user32, "GetDpiForWindow");
    calls.adjustWindowRectExForDpi_ =
        FromLibrary<AdjustWindowRectExForDpiCall>(user32, "AdjustWindowRectExForDpi");
    if (calls.getDpiForWindow_ == nullptr) {
        // Windows 8.1 tells a monitor's density through its shell's scaling library, which stays
        // loaded for the process; Windows 7 and 8 have none.
        calls.getDpiForMonitor_ = FromLibrary<GetDpiForMonitorCall>(
            ::LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32),
            "GetDpiForMonitor");
    }
    return calls;
}

UINT DpiCalls::DpiFor(HWND window) const {
    UINT dpi = 0;
    if (getDpiForWindow_ != nullptr) {
        dpi = getDpiForWindow_(window);
    } else if (getDpiForMonitor_ != nullptr) {
        UINT vertical = 0;
        if (FAILED(getDpiForMonitor_(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST),
                                     kEffectiveDpi, &dpi, &vertical))) {
            dpi = 0;
        }
    }
    return dpi > 0 ? dpi : SystemDpi();
}

BOOL DpiCalls::AdjustWindowRect(RECT& client, DWORD style, DWORD exStyle, UINT dpi) const {
    if (adjustWindowRectExForDpi_ != nullptr) {
        return adjustWindowRectExForDpi_(&client, style, FALSE, exStyle, dpi);
    }
    // Without per-monitor density the frame is drawn at the system's, which is the window's.
    return ::AdjustWindowRectEx(&client, style, FALSE, exStyle);
}

}  // namespace orba::ui
