#pragma once

// What the window asks of the desktop: dialogs, the browser, the message box, the application
// folder and the end of the program. The program passes the real ones; tests answer in advance.
// Texts and paths are UTF-8.

#include <chrono>
#include <span>
#include <string>
#include <string_view>

#include "ui/path_boxes.h"

namespace orba::ui {

class Desktop {
  public:
    virtual ~Desktop() = default;

    // The folder that holds the program's executable.
    virtual std::string ApplicationFolder() = 0;

    // The file the user chose in the open-file dialog, or an empty string after a cancel.
    virtual std::string ChooseFileToOpen(std::span<const FileFilter> filters) = 0;

    // The folder the user confirmed in the folder picker, or an empty string after a cancel.
    virtual std::string ChooseFolder(std::string_view title) = 0;

    // Opens the address in the default browser; a failure shows nothing.
    virtual void OpenWebAddress(std::string_view address) = 0;

    // A modal message box with the critical icon, one OK button and the program's title.
    virtual void ShowMessage(std::string_view text) = 0;

    // Ends the program as soon as the current handler returns.
    virtual void EndProgram() = 0;

    // The desktop's tick counter.
    virtual std::chrono::steady_clock::time_point Now() { return std::chrono::steady_clock::now(); }
};

}  // namespace orba::ui
