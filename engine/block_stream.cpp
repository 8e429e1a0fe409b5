#include "engine/block_stream.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "engine/byte_search.h"

namespace orba {

BlockStream::BlockStream(std::span<char> buffer, std::string_view startTag, std::string_view endTag)
    : buffer_(buffer), startTag_(startTag), endTag_(endTag) {
    if (startTag.empty() || endTag.empty() ||
        buffer.size() <= 2 * std::max(startTag.size(), endTag.size())) {
        throw std::invalid_argument("BlockStream: buffer too small for the tags");
    }
}

void BlockStream::Restart(std::uint64_t /*sizeHint*/) {
    state_ = State::SeekingStart;
    begin_ = 0;
    filled_ = 0;
    blockSize_ = 0;
    OnRestart();
}

std::span<char> BlockStream::Room() {
    if (state_ == State::Done) {
        return {};
    }
    // What is kept between chunks is shorter than a tag: moving it to the front is cheap.
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, filled_ - begin_);
        filled_ -= begin_;
        begin_ = 0;
    }
    return buffer_.subspan(filled_);
}

void BlockStream::Took(std::size_t count) {
    filled_ += count;
    if (state_ == State::SeekingStart) {
        const std::string_view seen(buffer_.data() + begin_, filled_ - begin_);
        const std::size_t at = FindBytes(seen, startTag_, 0);
        if (at == std::string_view::npos) {
            // The end of what was seen may be the beginning of a start tag.
            begin_ = filled_ - std::min(seen.size(), startTag_.size() - 1);
            return;
        }
        begin_ += at + startTag_.size();
        state_ = State::InBlock;
    }
    if (state_ == State::InBlock) {
        const std::string_view seen(buffer_.data() + begin_, filled_ - begin_);
        const std::size_t at = FindBytes(seen, endTag_, 0);
        if (at != std::string_view::npos) {
            Hand(seen.substr(0, at));
            state_ = State::Done;
            return;
        }
        // All but what may be the beginning of an end tag belongs to the block.
        const std::size_t sure = seen.size() - std::min(seen.size(), endTag_.size() - 1);
        Hand(seen.substr(0, sure));
        begin_ += sure;
    }
}

void BlockStream::Hand(std::string_view bytes) {
    if (!bytes.empty()) {
        blockSize_ += bytes.size();
        OnBlockBytes(bytes);
    }
}

}  // namespace orba
