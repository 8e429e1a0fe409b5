#include "app/provisioning.h"

namespace orba::app {

std::string ApplicationDialogControlPath(std::string_view applicationFolder, PathStyle style) {
    if (applicationFolder.size() > 3) {
        return JoinPath(applicationFolder, kDialogControlFile, style);
    }
    return std::string(applicationFolder) + std::string(kDialogControlFile);
}

std::optional<std::string> SystemDialogControlPath(PathStyle style) {
    if (!style.hasDriveLetters) {
        return std::nullopt;
    }
    return std::string(kSystemDialogControlPath);
}

Provisioning ProvisionDialogControl(std::string_view applicationFolder,
                                    const std::optional<std::string>& systemCopy,
                                    const ProvisioningFiles& files, PathStyle style) {
    if (!systemCopy) {
        return Provisioning::NothingToDo;
    }
    const std::string applicationCopy = ApplicationDialogControlPath(applicationFolder, style);
    const bool systemHasIt = files.exists(*systemCopy);
    const bool applicationHasIt = files.exists(applicationCopy);
    if (systemHasIt || !applicationHasIt) {
        return Provisioning::NothingToDo;
    }
    files.copy(applicationCopy, *systemCopy);
    return Provisioning::Copied;
}

}  // namespace orba::app
