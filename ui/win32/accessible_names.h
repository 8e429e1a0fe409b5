#pragma once

// Names and descriptions for screen readers, from the layout table, given to the window's
// controls through the system's accessibility annotation (IAccPropServices).

#include <windows.h>

#include <functional>
#include <string_view>

namespace orba::ui {

// Annotates each control that the table gives a name or an explaining label; `control` finds a
// control's window by its name. False when the system offers no annotation service: the controls
// then keep the names the system finds itself.
bool NameControlsForScreenReaders(const std::function<HWND(std::string_view)>& control);

}  // namespace orba::ui
