#pragma once

// How a run and a dry run end early: every way out told to the observer as the facts they are.

#include <cstdint>
#include <exception>

#include "engine/run_observer.h"
#include "engine/upgrade_run.h"

namespace orba {

// Every way a run or a dry run can end early, told as the facts they are.
template <typename Steps>
inline RunResult Guarded(RunObserver& observer, Stopped stopped, const std::uint64_t& count,
                         Steps&& steps) {
    // A run that wrote nothing says so.
    const auto what = [&] {
        return stopped == Stopped::Run && count == 0 ? Stopped::RunBeforeAnyOutput : stopped;
    };
    try {
        return steps();
    } catch (const WaitEnded&) {
        return {RunOutcome::Stopped, count};
    } catch (const FileError& error) {
        observer.Failed(error, what());
        return {RunOutcome::Failed, count};
    } catch (const std::exception& error) {
        // Out of memory, say: the run stops as after a file failure, and says so.
        observer.FailedUnexpectedly(error.what(), what());
        return {RunOutcome::Failed, count};
    }
}

}  // namespace orba
