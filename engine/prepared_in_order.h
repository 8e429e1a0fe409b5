#pragma once

// Documents prepared strictly in the listing's order: up to `ahead` of the following ones on
// other threads while the caller's thread handles the one before, fewer where the system has no
// more threads to give. Each has a read buffer of its
// own: the k-th uses buffer k modulo their number, free again once the one before it was taken.
// A prepared output that is never taken leaves no trace: its temporary goes with it.

#include <algorithm>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <span>
#include <system_error>
#include <vector>

#include "engine/document_upgrade.h"

namespace orba {

class PreparedInOrder {
  public:
    using Prepare = std::function<PreparedUpgrade(std::size_t index, std::span<char> buffer)>;

    PreparedInOrder(Prepare prepare, std::size_t count, std::size_t ahead)
        : prepare_(std::move(prepare)),
          count_(count),
          ahead_(ahead),
          buffers_(std::max<std::size_t>(ahead, 1), std::vector<char>(kReadBufferSize)) {}

    // The next document's share, prepared on this thread if none was ahead.
    PreparedUpgrade Next() {
        while (pending_.size() < ahead_ && started_ < count_) {
            try {
                pending_.push_back(std::async(std::launch::async, [this, index = started_] {
                    return prepare_(index, buffers_[index % buffers_.size()]);
                }));
            } catch (const std::system_error&) {
                // Threads are short: no more ahead than those under way.
                ahead_ = pending_.size();
                break;
            }
            ++started_;
        }
        if (pending_.empty()) {
            const std::size_t index = started_++;
            return prepare_(index, buffers_[index % buffers_.size()]);
        }
        // A document that failed is taken all the same: a run going on past it takes the next.
        std::future<PreparedUpgrade> first = std::move(pending_.front());
        pending_.pop_front();
        return first.get();
    }

    // From now on the next document is the `index`th, with `ahead` prepared ahead: those prepared
    // ahead before are dropped, their temporaries with them.
    void RestartAt(std::size_t index, std::size_t ahead) {
        pending_.clear();
        started_ = index;
        ahead_ = std::min(ahead, buffers_.size());
    }

  private:
    Prepare prepare_;
    std::size_t count_;
    std::size_t ahead_;
    std::size_t started_ = 0;
    std::vector<std::vector<char>> buffers_;
    // Last: destroyed first, each waiting for its thread, while the buffers are still there.
    std::deque<std::future<PreparedUpgrade>> pending_;
};

}  // namespace orba
