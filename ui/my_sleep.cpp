#include "ui/my_sleep.h"

namespace orba::ui {

bool MySleep(int ms, const std::function<void()>& processEvents,
             const std::function<bool()>& keepWaiting,
             const std::function<std::chrono::steady_clock::time_point()>& now) {
    const auto until = now() + std::chrono::milliseconds(ms);
    while (now() < until) {
        processEvents();
        if (!keepWaiting()) {
            return false;
        }
    }
    return keepWaiting();
}

}  // namespace orba::ui
