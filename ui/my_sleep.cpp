#include "ui/my_sleep.h"

namespace orba::ui {

bool MySleep(int ms, const std::function<void()>& processEvents,
             const std::function<bool()>& keepWaiting) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < until) {
        processEvents();
        if (!keepWaiting()) {
            return false;
        }
    }
    return keepWaiting();
}

}  // namespace orba::ui
