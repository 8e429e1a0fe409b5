#include "ui/path_boxes.h"

namespace orba::ui {

std::string DefaultTemplatePath(std::string_view applicationFolder, PathStyle style) {
    return JoinPath(applicationFolder, "orba.html", style);
}

PathBoxes BoxesAtLoad(std::string_view applicationFolder,
                      const std::function<bool(const std::string&)>& fileExists, PathStyle style) {
    const std::string defaultTemplate = DefaultTemplatePath(applicationFolder, style);
    return {fileExists(defaultTemplate) ? defaultTemplate : std::string(),
            std::string(applicationFolder)};
}

PathBoxes BoxesAfterTemplateChoice(PathBoxes boxes, std::string_view chosen, PathStyle style) {
    if (!chosen.empty()) {
        boxes.templateBox = chosen;
    }
    if (auto folder = FolderPartOf(boxes.templateBox, style)) {
        boxes.folderBox = std::move(*folder);
    }
    return boxes;
}

PathBoxes BoxesAfterDrop(PathBoxes boxes, std::string_view dropped, bool isFolder,
                         PathStyle style) {
    if (isFolder) {
        boxes.folderBox = FolderBoxAfterFolderChoice(boxes.folderBox, dropped);
        return boxes;
    }
    return BoxesAfterTemplateChoice(std::move(boxes), dropped, style);
}

std::string FolderBoxAfterFolderChoice(std::string_view folderBox, std::string_view picked) {
    return std::string(picked.empty() ? folderBox : picked);
}

}  // namespace orba::ui
