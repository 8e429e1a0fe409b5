#include "ui/win32/accessible_names.h"

#include <initguid.h>  // the annotation service's class and interface ids, defined here

#include <oleacc.h>

#include <string>

#include "storage/windows_paths.h"
#include "ui/layout_table.h"

namespace orba::ui {

bool NameControlsForScreenReaders(const std::function<HWND(std::string_view)>& control) {
    IAccPropServices* services = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IAccPropServices, reinterpret_cast<void**>(&services)))) {
        return false;
    }
    bool taken = true;
    const auto annotate = [&](HWND window, const MSAAPROPID& property, std::string_view text) {
        const std::wstring wide = platform::WideFromUtf8(text);
        taken = SUCCEEDED(services->SetHwndPropStr(window, static_cast<DWORD>(OBJID_CLIENT),
                                                   CHILDID_SELF, property, wide.c_str())) &&
                taken;
    };
    for (const ControlSpec& spec : MainWindowControls()) {
        if (!spec.accessible.name.empty()) {
            annotate(control(spec.name), PROPID_ACC_NAME, spec.accessible.name);
        }
        if (!spec.accessible.explainedBy.empty()) {
            annotate(control(spec.name), PROPID_ACC_DESCRIPTION,
                     Control(spec.accessible.explainedBy).text);
        }
    }
    services->Release();
    return taken;
}

}  // namespace orba::ui
