#pragma once

// Finding a document's data block in its bytes as they are read, chunk by chunk, through one
// buffer of fixed size: the block's bytes are handed on as they arrive, so a document of any size
// passes through the same small, reused memory. A marker, or a part of one, that straddles two
// chunks is found as in one piece. Reading stops at the end marker.

#include <cstdint>
#include <span>
#include <string_view>

#include "engine/run_facts.h"
#include "storage/files.h"

namespace orba {

class BlockStream : public ReadingSink {
  public:
    // `buffer` must hold more than twice the longer tag; the tags must not be empty.
    BlockStream(std::span<char> buffer, std::string_view startTag, std::string_view endTag);

    void Restart(std::uint64_t sizeHint) override;
    std::span<char> Room() override;
    void Took(std::size_t count) override;

    // After a pass: true when the bytes held a data block that is not empty, the same as
    // ExtractStringBetween of the whole text finds.
    bool FoundBlock() const { return state_ == State::Done && blockSize_ > 0; }
    // After a pass without such a block: why not.
    PassedOverReason WhyNoBlock() const {
        return state_ == State::SeekingStart ? PassedOverReason::NoDataBlock
               : state_ == State::InBlock    ? PassedOverReason::BlockCutOff
                                             : PassedOverReason::EmptyBlock;
    }
    std::uint64_t blockSize() const { return blockSize_; }

  protected:
    // A new pass begins: what the earlier one handed on is void.
    virtual void OnRestart() {}
    // The next bytes of the block, in order.
    virtual void OnBlockBytes(std::string_view /*bytes*/) {}

  private:
    enum class State { SeekingStart, InBlock, Done };
    void Hand(std::string_view bytes);

    std::span<char> buffer_;
    std::string_view startTag_;
    std::string_view endTag_;
    State state_ = State::SeekingStart;
    std::size_t begin_ = 0;   // the first byte of the buffer not yet dealt with
    std::size_t filled_ = 0;  // bytes in the buffer
    std::uint64_t blockSize_ = 0;
};

}  // namespace orba
