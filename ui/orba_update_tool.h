#pragma once

// The main window of the tool as the user meets it, whatever toolkit draws it: its handlers and
// the runs they start. The window (ui/qt, ui/win32) creates its controls from the layout table,
// forwards each event to the handler of the same name here, and shows what this puts into it.

#include <string>
#include <string_view>

#include "ui/desktop.h"
#include "ui/layout_table.h"
#include "ui/main_window_view.h"
#include "ui/path_boxes.h"
#include "ui/window_runs.h"

namespace orba::ui {

class ORBAUpdateTool {
  public:
    ORBAUpdateTool(MainWindowView& view, Desktop& desktop, WindowFiles files);

    void Form_Load();
    void BT_GO_Click();
    void BT_SELECT_MOD_FILE_Click();
    void BT_BROWSE_OLD_FOLDER_Click();
    void BT_END_Click();
    void BT_LINK_WEB_Click();
    void CopyCOMDLG32OCX();

    // A click on `control`: the handler its entry of the layout table names, if any.
    void Click(const ControlSpec& control);

    // The user closes the window. True when the window can go at once; during a run it is
    // hidden instead, and the program ends at the run's next pause.
    bool Form_Unload();

    // A file or folder was dropped on the window.
    void Form_DragDrop(std::string_view path, bool isFolder);

  private:
    std::string BrowseForFolder();
    PathBoxes Boxes() const;
    void SetBoxes(const PathBoxes& boxes);

    MainWindowView& view_;
    Desktop& desktop_;
    app::ProvisioningFiles startUpFiles_;
    WindowRuns runs_;
};

}  // namespace orba::ui
