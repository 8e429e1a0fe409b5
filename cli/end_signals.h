#pragma once

// SIGINT and SIGTERM, taken as a request to end: while an EndSignals lives, the first of them
// requests `stop` and the run goes no further; a second one ends the program at once, as a kill
// does. Made before any other thread, which inherits the two signals blocked: one thread of its
// own waits for them; where no thread can be had, they end the program as they end any. One that
// was ignored when the program started stays ignored. Every other signal keeps what it does to
// any program.

#include <atomic>
#include <csignal>
#include <stop_token>
#include <thread>

namespace orba::cli {

class EndSignals {
  public:
    EndSignals();
    ~EndSignals();
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

    std::stop_token stop() const { return stop_.get_token(); }
    // After the run: a program asked to end ends by that signal, with its status.
    void EndAsAsked();

  private:
    void Wait();  // starts the thread that waits for the signals
    void StopWaiting();

    sigset_t signals_{};
    std::stop_source stop_;
    int signal_ = 0;  // the first one, once the waiter is joined
    int wake_ = 0;    // what wakes the waiter at the end: one of the signals it waits for
    std::atomic<bool> stopping_{false};
    std::thread waiter_;
};

}  // namespace orba::cli
