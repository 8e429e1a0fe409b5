#pragma once

// What the main window's logic asks of the window a toolkit draws: the two path boxes, the
// progress log and hiding. The Qt and Windows windows implement it; tests pass a fake.

#include <string>
#include <string_view>

#include "ui/window_runs.h"

namespace orba::ui {

enum class PathBox { Template, Folder };  // TXT_MOD_FILE, TXT_OLD_FOLDER

class MainWindowView : public ProgressLogView {
  public:
    virtual std::string BoxText(PathBox box) const = 0;
    virtual void SetBoxText(PathBox box, std::string_view text) = 0;

    // Takes the window off the screen; the program goes on until it ends.
    virtual void Hide() = 0;
};

}  // namespace orba::ui
