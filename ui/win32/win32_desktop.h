#pragma once

#include <windows.h>

#include "ui/desktop.h"

namespace orba::ui::win32 {

// The desktop as Windows offers it: the common open-file dialog, the shell's folder picker and
// "open" verb, a critical message box.
class Win32Desktop final : public Desktop {
  public:
    // Dialogs and message boxes are modal to `owner`, set once the window exists.
    void SetOwner(HWND owner) { owner_ = owner; }

    std::string ApplicationFolder() override;
    std::string ChooseFileToOpen(std::span<const FileFilter> filters) override;
    std::string ChooseFolder(std::string_view title) override;
    void OpenWebAddress(std::string_view address) override;
    void ShowMessage(std::string_view text) override;
    void EndProgram() override;

  private:
    HWND owner_ = nullptr;
};

// The folder of an executable at `modulePath`: without a trailing backslash, except at a drive
// root, which keeps it (C:\).
std::string FolderOfModule(std::string_view modulePath);

}  // namespace orba::ui::win32
