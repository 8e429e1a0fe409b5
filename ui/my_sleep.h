#pragma once

#include <chrono>
#include <functional>

namespace orba::ui {

// Waits until at least `ms` milliseconds have passed, calling `processEvents` on every pass so the
// window stays live. A monotonic clock is used, so the wait cannot be cut short by clock changes or
// counter wrap-around. Returns early, with false, as soon as `keepWaiting` answers false. `now`
// reads the clock; a test hands in one of its own.
bool MySleep(
    int ms, const std::function<void()>& processEvents,
    const std::function<bool()>& keepWaiting = [] { return true; },
    const std::function<std::chrono::steady_clock::time_point()>& now =
        std::chrono::steady_clock::now);

}  // namespace orba::ui
