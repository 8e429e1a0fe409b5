#pragma once

#include <chrono>
#include <functional>

namespace orba::ui {

// Waits until at least `ms` milliseconds have passed, calling `processEvents` on every pass so the
// window stays live. A monotonic clock is used, so the wait cannot be cut short by clock changes or
// counter wrap-around. Returns early, with false, as soon as `keepWaiting` answers false.
bool MySleep(
    int ms, const std::function<void()>& processEvents,
    const std::function<bool()>& keepWaiting = [] { return true; });

}  // namespace orba::ui
