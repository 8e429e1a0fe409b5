#pragma once

// What the window does with files, handed to it so that its logic runs without a disk in tests.

#include <functional>
#include <string_view>

#include "app/provisioning.h"
#include "engine/upgrade_run.h"
#include "storage/files.h"

namespace orba::ui {

// The upgrade run the start button starts, on the two boxes' texts: it tells `observer` what
// happens and makes its file calls through `files`, which carry the window's stop and its wait
// for held files. The program's is RunUpgrade on the disk; a test scripts one.
using UpgradeCall =
    std::function<RunResult(std::string_view templateBox, std::string_view folderBox,
                            RunObserver& observer, const Files& files)>;

// What the window does with files: its start-up's looks and copy, and the upgrade run.
struct WindowFiles {
    app::ProvisioningFiles startUp;
    UpgradeCall upgrade;
    const sys::System* system = &sys::TheSystem();  // under the run's files
};
// The disk's, through `system`.
WindowFiles FilesOnDisk(const sys::System& system = sys::TheSystem());

}  // namespace orba::ui
