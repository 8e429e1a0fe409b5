#include "ui/start_up.h"

#include "app/provisioning.h"
#include "engine/listing.h"
#include "storage/file_error.h"
#include "storage/utf8_file.h"

namespace orba::ui {

namespace {
bool OrdinaryFileExists(const std::string& path) {
    return FileExists(path);
}
}  // namespace

PathBoxes DefaultBoxes(Desktop& desktop) {
    return BoxesAtLoad(desktop.ApplicationFolder(), OrdinaryFileExists);
}

void ProvisionDialogControlFile(Desktop& desktop) {
    const app::ProvisioningFiles files{
        OrdinaryFileExists,
        [](const std::string& from, const std::string& to) { SaveAsUTF8(LoadAsUTF8(from), to); }};
    const std::optional<std::string> systemCopy = app::SystemDialogControlPath();
    try {
        app::ProvisionDialogControl(desktop.ApplicationFolder(), systemCopy, files);
    } catch (const FileError& error) {
        desktop.ShowMessage(app::ProvisioningFailureMessage(error, systemCopy.value_or("")));
    }
}

}  // namespace orba::ui
