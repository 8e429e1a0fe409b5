#pragma once

// SIGINT and SIGTERM, taken as a request to end: while an EndSignals lives, the first of them
// sets `requested` and the run ends at its next document; a second one ends the program at once,
// as a kill does. Made before any other thread, which inherits the signals blocked.

#include <atomic>
#include <csignal>
#include <thread>

namespace orba::cli {

class EndSignals {
  public:
    EndSignals();
    ~EndSignals();
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

    const std::atomic<bool>& requested() const { return requested_; }
    // After the run: a program asked to end ends by that signal, with its status.
    void EndAsAsked();

  private:
    sigset_t signals_{};
    std::atomic<bool> requested_{false};
    std::atomic<int> signal_{0};
    std::thread waiter_;
};

}  // namespace orba::cli
