#include "ui/start_up.h"

#include "app/provisioning.h"
#include "app/texts_zh.h"
#include "engine/listing.h"
#include "storage/file_copy.h"
#include "storage/file_error.h"
#include "ui/window_files.h"

namespace orba::ui {

WindowFiles FilesOnDisk(const sys::System& system) {
    return {{[&system](const std::string& path) { return FileExists(path, Files(system)); },
             [](const std::string& from, const std::string& to) { CopyFile(Files(), from, to); }},
            [](std::string_view templateBox, std::string_view folderBox, RunObserver& observer,
               const Files& files) { return RunUpgrade(templateBox, folderBox, observer, files); },
            &system};
}

PathBoxes DefaultBoxes(Desktop& desktop, const app::ProvisioningFiles& files) {
    return BoxesAtLoad(desktop.ApplicationFolder(), files.exists);
}

void ProvisionDialogControlFile(Desktop& desktop, const app::ProvisioningFiles& files) {
    const std::optional<std::string> systemCopy = app::SystemDialogControlPath();
    try {
        app::ProvisionDialogControl(desktop.ApplicationFolder(), systemCopy, files);
    } catch (const FileError& error) {
        desktop.ShowMessage(zh::ProvisioningFailureMessage(error, systemCopy.value_or("")));
    }
}

}  // namespace orba::ui
