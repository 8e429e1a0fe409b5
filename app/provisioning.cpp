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

std::string ProvisioningFailureMessage(const FileError& error, std::string_view destination) {
    const std::string reason = error.path() == destination
                                   ? error.reason()
                                   : "无法读取文件 " + error.path() + "：" + error.reason();
    return "【复制失败】：无法把通用对话框控件复制到 " + std::string(destination) +
           "\r\n系统原因：" + reason;
}

}  // namespace orba::app
