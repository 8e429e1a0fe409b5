#include "storage/files.h"

#include <cstring>
#include <utility>

#include "storage/file_error.h"
#include "storage/platform.h"

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

void Files::Replace(const std::string& path, std::span<const std::string_view> pieces) const {
    PreparedOutput output = Prepare(path, pieces);
    Commit(output);
}

std::vector<std::string> Files::List(const std::string& folder) const {
    if (!Allows(FileCall::Open)) {
        throw FileError(FileError::Operation::ListFolder, folder, platform::DeviceErrorReason());
    }
    return platform::ListOrdinaryFiles(folder, /*mustOpen=*/true);
}

OpenDocument::OpenDocument(OpenDocument&& other) noexcept {
    *this = std::move(other);
}

OpenDocument& OpenDocument::operator=(OpenDocument&& other) noexcept {
    if (this != &other) {
        Release();
        // A read document's bytes live in its buffer, which moves along unchanged.
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapped_ = std::exchange(other.mapped_, false);
        fd_ = std::exchange(other.fd_, -1);
        stamp_ = other.stamp_;
        read_ = std::move(other.read_);
    }
    return *this;
}

OpenDocument::~OpenDocument() {
    Release();
}

PreparedOutput::PreparedOutput(PreparedOutput&& other) noexcept {
    *this = std::move(other);
}

PreparedOutput& PreparedOutput::operator=(PreparedOutput&& other) noexcept {
    if (this != &other) {
        Discard();
        path_ = std::move(other.path_);
        temporary_ = std::move(other.temporary_);
        handle_ = std::exchange(other.handle_, kNoHandle);
        files_ = other.files_;
    }
    return *this;
}

PreparedOutput::~PreparedOutput() {
    Discard();
}

}  // namespace orba
