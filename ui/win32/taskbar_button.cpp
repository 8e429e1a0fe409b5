#include "ui/win32/taskbar_button.h"

#include <cmath>

namespace orba::ui::win32 {

namespace {

constexpr ULONGLONG kProgressSteps = 1000;

class SystemTaskbar final : public TaskbarCalls {
  public:
    // Takes over one reference to `taskbar`, which may be null.
    explicit SystemTaskbar(ITaskbarList3* taskbar) : taskbar_(taskbar) {}
    SystemTaskbar(const SystemTaskbar&) = delete;
    SystemTaskbar& operator=(const SystemTaskbar&) = delete;
    ~SystemTaskbar() override {
        if (taskbar_ != nullptr) {
            taskbar_->Release();
        }
    }

    HRESULT SetProgressState(HWND window, TBPFLAG state) override {
        return taskbar_ != nullptr ? taskbar_->SetProgressState(window, state) : S_FALSE;
    }
    HRESULT SetProgressValue(HWND window, ULONGLONG done, ULONGLONG total) override {
        return taskbar_ != nullptr ? taskbar_->SetProgressValue(window, done, total) : S_FALSE;
    }
    void Flash(HWND window) override {
        FLASHWINFO flash{sizeof flash, window, FLASHW_TRAY | FLASHW_TIMERNOFG, 0, 0};
        ::FlashWindowEx(&flash);
    }
    bool IsInFront(HWND window) override { return ::GetForegroundWindow() == window; }

  private:
    ITaskbarList3* taskbar_;
};

}  // namespace

std::unique_ptr<TaskbarCalls> TaskbarCalls::OfSystem() {
    ITaskbarList3* taskbar = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ITaskbarList3, reinterpret_cast<void**>(&taskbar)))) {
        taskbar = nullptr;
    } else if (FAILED(taskbar->HrInit())) {
        taskbar->Release();
        taskbar = nullptr;
    }
    return std::make_unique<SystemTaskbar>(taskbar);
}

void ShowOnTaskbar(TaskbarCalls& calls, HWND window, const RunProgress& progress) {
    const auto done = static_cast<ULONGLONG>(std::lround(progress.fraction * kProgressSteps));
    switch (progress.state) {
        case RunProgress::State::Running:
            calls.SetProgressState(window, TBPF_NORMAL);
            calls.SetProgressValue(window, done, kProgressSteps);
            break;
        case RunProgress::State::Failed:
            calls.SetProgressValue(window, done, kProgressSteps);
            calls.SetProgressState(window, TBPF_ERROR);
            break;
        case RunProgress::State::Ended:
            calls.SetProgressState(window, TBPF_NOPROGRESS);
            break;
    }
    if (progress.wantsAttention && !calls.IsInFront(window)) {
        calls.Flash(window);
    }
}

}  // namespace orba::ui::win32
