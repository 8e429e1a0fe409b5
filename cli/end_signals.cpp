#include "cli/end_signals.h"

#include <pthread.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "storage/uninterrupted.h"

namespace orba::cli {

namespace {

[[noreturn]] void DieBy(int signal, const sigset_t& signals) {
    std::signal(signal, SIG_DFL);
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    std::raise(signal);
    std::_Exit(128 + signal);  // not reached: the signal ends the program
}

}  // namespace

EndSignals::EndSignals() {
    sigemptyset(&signals_);
    // A signal ignored when the program starts stays ignored, as the shell that started it in the
    // background asked: a Ctrl+C meant for the foreground does not end it.
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction action {};
        if (sigaction(signal, nullptr, &action) == 0 && action.sa_handler == SIG_IGN) {
            continue;
        }
        sigaddset(&signals_, signal);
        wake_ = wake_ != 0 ? wake_ : signal;
    }
    if (wake_ == 0) {
        return;
    }
    pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
    try {
        Wait();
    } catch (const std::system_error&) {
        // No thread to be had: the signals end the program as they end any program. What it
        // wrote is whole all the same: an output takes its name only once it is complete.
        pthread_sigmask(SIG_UNBLOCK, &signals_, nullptr);
        wake_ = 0;
    }
}

void EndSignals::Wait() {
    waiter_ = std::thread([this] {
        for (;;) {
            siginfo_t info{};
            const int signal = Uninterrupted([&] { return sigwaitinfo(&signals_, &info); },
                                             [](int got) { return got < 0; });
            if (signal < 0) {
                return;
            }
            // The waiter is woken at the end by a signal that this process sends it once it
            // stops waiting; one that anyone else sends is the user's.
            if (stopping_ && info.si_pid == ::getpid()) {
                return;
            }
            if (signal_ != 0) {
                DieBy(signal, signals_);
            }
            signal_ = signal;
            stop_.request_stop();
        }
    });
}

EndSignals::~EndSignals() {
    StopWaiting();
    // A signal that came after the waiter stopped does now what it does to any program.
    pthread_sigmask(SIG_UNBLOCK, &signals_, nullptr);
}

void EndSignals::StopWaiting() {
    if (waiter_.joinable()) {
        stopping_ = true;
        pthread_kill(waiter_.native_handle(), wake_);
        waiter_.join();
    }
}

void EndSignals::EndAsAsked() {
    StopWaiting();
    if (signal_ != 0) {
        DieBy(signal_, signals_);
    }
}

}  // namespace orba::cli
