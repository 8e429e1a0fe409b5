#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ui/desktop.h"
#include "ui/handlers.h"
#include "ui/win32/win32_support.h"
#include "ui/window_runs.h"

namespace orba::ui::win32 {

// The one window with the controls' own Windows classes: static labels, edit boxes, push buttons,
// a rich edit box for the log. The upgrade run and every decision are the shared code's.
class ORBAUpdateTool final : private ProgressLogView {
  public:
    // Creates the window and its controls, not yet shown.
    ORBAUpdateTool(HINSTANCE instance, Desktop& desktop);
    ~ORBAUpdateTool() override;
    ORBAUpdateTool(const ORBAUpdateTool&) = delete;
    ORBAUpdateTool& operator=(const ORBAUpdateTool&) = delete;

    HWND window() const { return window_; }
    HWND Control(std::string_view name) const;

    void Form_Load();
    void BT_GO_Click();
    void BT_SELECT_MOD_FILE_Click();
    void BT_BROWSE_OLD_FOLDER_Click();
    void BT_END_Click();
    void BT_LINK_WEB_Click();
    void CopyCOMDLG32OCX();

    // Shows the window with the focus on the start button.
    void Show(int showCommand);

    const std::string& ProgressLog() const { return runs_.Log(); }
    bool RunInProgress() const { return runs_.Running(); }

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
    void DrawStartButton(const DRAWITEMSTRUCT& item);
    void DrawPicture(const DRAWITEMSTRUCT& item);
    PathBoxes Boxes() const;
    void SetBoxes(const PathBoxes& boxes);
    std::string BrowseForFolder();

    void AppendText(std::string_view entry) override;
    void ShowEnd(Paint paint) override;
    void ProcessEvents() override;

    HINSTANCE instance_;
    Desktop& desktop_;
    WindowRuns runs_;
    HWND window_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    std::map<std::string_view, HWND> controls_;
    std::map<std::pair<int, bool>, GdiObject<HFONT>> fonts_;  // by tenths of a point and weight
    GdiObject<HBRUSH> whiteBrush_;
    GdiObject<HBITMAP> logo_;
    GdiObject<HBITMAP> qrCode_;
    HWND tooltip_ = nullptr;
};

// Runs the message loop until the program ends; returns the exit code.
int RunMessageLoop(ORBAUpdateTool& window);

}  // namespace orba::ui::win32
