#pragma once

#include "app/provisioning.h"
#include "ui/desktop.h"
#include "ui/path_boxes.h"

namespace orba::ui {

// The boxes' defaults at load: the default template of the application folder when it exists,
// and the application folder.
PathBoxes DefaultBoxes(Desktop& desktop, const app::ProvisioningFiles& files);

// Copies the common dialog control file into the system folder when the system lacks it and the
// application folder has it. A failed copy is shown, and start-up goes on: this build does not
// need the file.
void ProvisionDialogControlFile(Desktop& desktop, const app::ProvisioningFiles& files);

}  // namespace orba::ui
