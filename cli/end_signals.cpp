#include "cli/end_signals.h"

#include <pthread.h>

namespace orba::cli {

namespace {

// The waiter's own wake-up at the end.
constexpr int kWakeUp = SIGUSR1;

[[noreturn]] void DieBy(int signal, const sigset_t& signals) {
    std::signal(signal, SIG_DFL);
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    std::raise(signal);
    std::_Exit(128 + signal);  // not reached: the signal ends the program
}

}  // namespace

EndSignals::EndSignals() {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    sigaddset(&signals_, kWakeUp);
    pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
    waiter_ = std::thread([this] {
        for (;;) {
            int signal = 0;
            if (sigwait(&signals_, &signal) != 0 || signal == kWakeUp) {
                return;
            }
            if (requested_.exchange(true)) {
                DieBy(signal, signals_);
            }
            signal_ = signal;
        }
    });
}

EndSignals::~EndSignals() {
    pthread_kill(waiter_.native_handle(), kWakeUp);
    waiter_.join();
}

void EndSignals::EndAsAsked() {
    if (requested_) {
        pthread_kill(waiter_.native_handle(), kWakeUp);
        waiter_.join();
        DieBy(signal_, signals_);
    }
}

}  // namespace orba::cli
