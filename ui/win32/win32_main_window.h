#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/desktop.h"
#include "ui/layout_table.h"
#include "ui/main_window_view.h"
#include "ui/orba_update_tool.h"
#include "ui/win32/dpi_calls.h"
#include "ui/win32/taskbar_button.h"
#include "ui/win32/win32_support.h"

namespace orba::ui::win32 {

// The main window with the controls' own Windows classes: static labels, edit boxes, push
// buttons, a rich edit box for the log. Every event goes to the window's logic (ORBAUpdateTool),
// which decides what the window shows.
class Win32MainWindow final : private MainWindowView {
  public:
    // Creates the window and its controls, not yet shown. `dpiCalls` and `taskbar` are the
    // system's own unless a test hands others.
    Win32MainWindow(HINSTANCE instance, Desktop& desktop, DpiCalls dpiCalls = DpiCalls::OfSystem(),
                    std::unique_ptr<TaskbarCalls> taskbar = nullptr);
    ~Win32MainWindow() override;
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    HWND window() const { return window_; }
    // Dots per inch the window is laid out at.
    UINT dpi() const { return dpi_; }
    HWND Control(std::string_view name) const;
    ORBAUpdateTool& tool() { return tool_; }
    const ORBAUpdateTool& tool() const { return tool_; }

    // Shows the window with the focus on the start button.
    void Show(int showCommand);

    // The log box's text as the box itself holds it, with CR LF line breaks.
    std::string ProgressBoxText() const;

    // The most characters the progress log box holds.
    static constexpr LPARAM kProgressLogLimit = 0x7FFFFFFE;

    // Keyboard handling of this window for a message taken from the queue: the dialog manager's
    // Tab and arrow keys, and Enter clicking the focused button. True when the message was used.
    bool PreTranslate(MSG& message);

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void CreateControls();
    // Sizes the window and places and sets the fonts of every control for the current density.
    void PlaceControls();
    int Scaled(int pixels) const;
    HFONT Font(double pointSize, bool bold);
    void OnCommand(int controlId);
    void DrawButton(const DRAWITEMSTRUCT& item, const ControlSpec& spec);
    void DrawPicture(const DRAWITEMSTRUCT& item, const ControlSpec& spec);
    void AddTooltips();
    RECT FocusRing(HWND control) const;
    void PaintFocusRing(HDC dc) const;

    std::string BoxText(PathBox box) const override;
    void SetBoxText(PathBox box, std::string_view text) override;
    void Hide() override;
    void AppendText(std::string_view entry) override;
    void ShowEnd(Paint paint) override;
    void ProcessEvents() override;
    void WaitForEvents(std::chrono::milliseconds timeout) override;
    void ShowRunProgress(const RunProgress& progress) override;

    HINSTANCE instance_;
    ORBAUpdateTool tool_;
    HWND window_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    DpiCalls dpiCalls_;
    std::map<std::string_view, HWND> controls_;
    std::map<std::pair<int, bool>, GdiObject<HFONT>> fonts_;  // by tenths of a point and weight
    std::map<std::string_view, GdiObject<HBRUSH>>
        backgrounds_;  // labels with a colour of their own
    GdiObject<HBITMAP> logo_;
    GdiObject<HBITMAP> qrCode_;
    HWND tooltip_ = nullptr;
    std::unique_ptr<TaskbarCalls> taskbar_;  // made at the first run, unless a test gave one
};

// Runs the message loop until the program ends; returns the exit code.
int RunMessageLoop(Win32MainWindow& window);

}  // namespace orba::ui::win32
