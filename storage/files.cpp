#include "storage/files.h"

#include <cstring>

namespace orba {

void LoadedFile::Reserve(std::size_t capacity) {
    if (capacity <= capacity_) {
        return;
    }
    // Not zero-filled: every byte up to size_ is written before it is read.
    auto grown = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ > 0) {
        std::memcpy(grown.get(), data_.get(), size_);
    }
    data_ = std::move(grown);
    capacity_ = capacity;
}

}  // namespace orba
