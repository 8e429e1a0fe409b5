#pragma once

// The one retry of a call that a signal interrupted (EINTR): storage's calls go through it.

#include <utility>

#include "storage/system.h"

namespace orba {

// Makes `call` again while it fails because a signal interrupted it; `failed` tells a failed
// result, whose error is then the system's last.
template <class Call, class Failed>
auto Uninterrupted(Call&& call, Failed&& failed) -> decltype(call()) {
    for (;;) {
        auto result = call();
        if (!failed(result) || !sys::IsInterrupted(sys::LastError())) {
            return result;
        }
    }
}

// The same for a call that says whether it succeeded.
template <class Call>
bool Uninterrupted(Call&& call) {
    return Uninterrupted(std::forward<Call>(call), [](bool done) { return !done; });
}

}  // namespace orba
