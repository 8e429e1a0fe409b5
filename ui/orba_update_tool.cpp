#include "ui/orba_update_tool.h"

#include "app/identity.h"
#include "ui/start_up.h"

namespace orba::ui {

ORBAUpdateTool::ORBAUpdateTool(MainWindowView& view, Desktop& desktop, WindowFiles files)
    : view_(view), desktop_(desktop), startUpFiles_(files.startUp), runs_(desktop, view, files) {}

void ORBAUpdateTool::Form_Load() {
    SetBoxes(DefaultBoxes(desktop_, startUpFiles_));
    CopyCOMDLG32OCX();
}

void ORBAUpdateTool::CopyCOMDLG32OCX() {
    ProvisionDialogControlFile(desktop_, startUpFiles_);
}

void ORBAUpdateTool::BT_GO_Click() {
    runs_.Start(view_.BoxText(PathBox::Template), view_.BoxText(PathBox::Folder));
}

void ORBAUpdateTool::BT_SELECT_MOD_FILE_Click() {
    SetBoxes(BoxesAfterTemplateChoice(Boxes(), desktop_.ChooseFileToOpen(kTemplateFilter)));
}

void ORBAUpdateTool::BT_BROWSE_OLD_FOLDER_Click() {
    view_.SetBoxText(PathBox::Folder,
                     FolderBoxAfterFolderChoice(view_.BoxText(PathBox::Folder), BrowseForFolder()));
}

std::string ORBAUpdateTool::BrowseForFolder() {
    return desktop_.ChooseFolder(kFolderPickerTitle);
}

void ORBAUpdateTool::BT_END_Click() {
    view_.Hide();
    runs_.EndProgram();
}

void ORBAUpdateTool::BT_LINK_WEB_Click() {
    desktop_.OpenWebAddress(identity::kMakerWebAddress);
}

void ORBAUpdateTool::Click(const ControlSpec& control) {
    // Without a default: a command added to the table without its handler here does not compile
    // cleanly (-Wswitch).
    switch (control.command) {
        case Command::None:
            return;
        case Command::StartUpgrade:
            return BT_GO_Click();
        case Command::ChooseTemplate:
            return BT_SELECT_MOD_FILE_Click();
        case Command::ChooseOldFolder:
            return BT_BROWSE_OLD_FOLDER_Click();
        case Command::EndProgram:
            return BT_END_Click();
        case Command::OpenWebSite:
            return BT_LINK_WEB_Click();
    }
}

bool ORBAUpdateTool::Form_Unload() {
    if (!runs_.Running()) {
        return true;
    }
    runs_.WindowClosing();
    view_.Hide();
    return false;
}

void ORBAUpdateTool::Form_DragDrop(std::string_view path, bool isFolder) {
    if (!path.empty()) {
        SetBoxes(BoxesAfterDrop(Boxes(), path, isFolder));
    }
}

PathBoxes ORBAUpdateTool::Boxes() const {
    return {view_.BoxText(PathBox::Template), view_.BoxText(PathBox::Folder)};
}

void ORBAUpdateTool::SetBoxes(const PathBoxes& boxes) {
    view_.SetBoxText(PathBox::Template, boxes.templateBox);
    view_.SetBoxText(PathBox::Folder, boxes.folderBox);
}

}  // namespace orba::ui
