#pragma once

// Provisioning of the common dialog control file COMDLG32.OCX: copied from the application folder
// into the system folder at start when the system lacks it. Only Windows has that folder.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "storage/file_error.h"
#include "storage/paths.h"

namespace orba::app {

inline constexpr std::string_view kDialogControlFile = "COMDLG32.OCX";
// The control is a 32-bit file for 32-bit programs: on 64-bit Windows, the only Windows this
// program runs on, their system folder is SysWOW64 (where the fixed System32 path of a 32-bit
// program leads), not the System32 of 64-bit programs.
inline constexpr std::string_view kSystemDialogControlPath = "C:\\Windows\\SysWOW64\\COMDLG32.OCX";

// The application's copy: the folder, a separator and the file name, except at a drive root (a
// folder of at most 3 characters), which already ends in its separator.
std::string ApplicationDialogControlPath(std::string_view applicationFolder,
                                         PathStyle style = kNativePathStyle);

// The system's copy, on platforms that have the fixed system location.
std::optional<std::string> SystemDialogControlPath(PathStyle style = kNativePathStyle);

struct ProvisioningFiles {
    std::function<bool(const std::string&)> exists;
    std::function<void(const std::string& from, const std::string& to)> copy;  // throws FileError
};

enum class Provisioning { NothingToDo, Copied };

// Tests the system copy, then the application copy, and copies when only the application has it.
// Without a system location nothing is tested. A failing copy throws FileError.
Provisioning ProvisionDialogControl(std::string_view applicationFolder,
                                    const std::optional<std::string>& systemCopy,
                                    const ProvisioningFiles& files,
                                    PathStyle style = kNativePathStyle);

}  // namespace orba::app
