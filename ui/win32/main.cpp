// Start-up of the Windows program: COM and the common controls, Chinese for the system's own
// texts, the one window, the message loop.

#include <windows.h>
// after windows.h, which they build on
#include <commctrl.h>
#include <ole2.h>

#include "ui/win32/win32_desktop.h"
#include "ui/win32/win32_main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    ::OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    ::SetThreadUILanguage(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));

    int exitCode = 0;
    {
        orba::ui::win32::Win32Desktop desktop;
        orba::ui::win32::Win32MainWindow window(instance, desktop);
        desktop.SetOwner(window.window());
        window.tool().Form_Load();
        window.Show(showCommand);
        exitCode = orba::ui::win32::RunMessageLoop(window);
    }
    ::OleUninitialize();
    return exitCode;
}
