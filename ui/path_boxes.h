#pragma once

// What the window's handlers put into the two path boxes, as plain functions that every front end
// shares. Nothing here checks a path: the upgrade run does that.

#include <functional>
#include <string>
#include <string_view>

#include "storage/paths.h"

namespace orba::ui {

struct PathBoxes {
    std::string templateBox;
    std::string folderBox;

    bool operator==(const PathBoxes&) const = default;
};

// One entry of the open-file dialog's filter: what the user sees and the patterns it stands for,
// separated by semicolons.
struct FileFilter {
    std::string_view description;
    std::string_view patterns;
};

inline constexpr FileFilter kTemplateFilter[] = {
    {"HTML Files (*.htm; *.html)", "*.htm;*.html"},
    {"All Files (*.*)", "*.*"},
};

inline constexpr std::string_view kFolderPickerTitle = "请选择旧版 ORBA 所在的文件夹";

// The application folder and the default template "orba.html" in it, joined as they stand: at a
// drive root the path holds two separators in a row.
std::string DefaultTemplatePath(std::string_view applicationFolder,
                                PathStyle style = kNativePathStyle);

// The boxes at start: the default template when that file exists (else empty), and the
// application folder unchanged.
PathBoxes BoxesAtLoad(std::string_view applicationFolder,
                      const std::function<bool(const std::string&)>& fileExists,
                      PathStyle style = kNativePathStyle);

// The boxes after the open-file dialog returned `chosen` (empty after a cancel): a chosen file goes
// into the template box; then, after a cancel too, the folder part of the template box goes into
// the folder box when the template box holds a separator.
PathBoxes BoxesAfterTemplateChoice(PathBoxes boxes, std::string_view chosen,
                                   PathStyle style = kNativePathStyle);

// The boxes after a file or folder was dragged onto the window: a file as if chosen in the
// open-file dialog, a folder as if confirmed in the folder picker.
PathBoxes BoxesAfterDrop(PathBoxes boxes, std::string_view dropped, bool isFolder,
                         PathStyle style = kNativePathStyle);

// The folder box after the folder picker returned `picked` (empty after a cancel).
std::string FolderBoxAfterFolderChoice(std::string_view folderBox, std::string_view picked);

}  // namespace orba::ui
