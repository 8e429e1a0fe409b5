#pragma once

// The run's progress in Linux docks (KDE Plasma's task manager, Dash to Dock, Ubuntu's dock):
// com.canonical.Unity.LauncherEntry Update signals on the session bus for the program's desktop
// entry. Without a session bus nothing is sent, and the run goes on.

#include "ui/window_runs.h"

namespace orba::ui {

inline constexpr char kLauncherEntryInterface[] = "com.canonical.Unity.LauncherEntry";
inline constexpr char kLauncherEntryApplication[] = "application://orba-upgrade.desktop";

void SendLauncherEntryUpdate(const RunProgress& progress);

}  // namespace orba::ui
