#include "storage/files.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "storage/file_error.h"
#include "storage/file_reasons.h"
#include "storage/platform.h"
#include "storage/temporary_names.h"

namespace orba {

namespace {

// Closes a file opened for reading when it leaves scope.
class ReadHandle {
  public:
    explicit ReadHandle(sys::Native file) : file_(file) {}
    ReadHandle(const ReadHandle&) = delete;
    ReadHandle& operator=(const ReadHandle&) = delete;
    ~ReadHandle() {
        if (file_ != sys::kNoFile) {
            sys::Close(file_);
        }
    }
    sys::Native get() const { return file_; }

  private:
    sys::Native file_;
};

[[noreturn]] void ThrowError(FileError::Operation operation, const std::string& path, int error) {
    throw FileError(operation, path, sys::Reason(error));
}

}  // namespace

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

void LoadedFile::Restart(std::uint64_t sizeHint) {
    size_ = 0;
    // One byte more than the size told, so that the end of the file is met without growing.
    Reserve(static_cast<std::size_t>(std::min<std::uint64_t>(sizeHint, SIZE_MAX - 1)) + 1);
}

std::span<char> LoadedFile::Room() {
    if (size_ == capacity_) {
        Reserve(std::max<std::size_t>(2 * capacity_, 4096));
    }
    return {data_.get() + size_, capacity_ - size_};
}

void Files::Read(const std::string& path, ReadingSink& sink) const {
    using Operation = FileError::Operation;
    const ReadHandle file(
        Gated(FileCall::Open, sys::kNoFile, [&] { return sys::OpenToRead(path); }));
    if (file.get() == sys::kNoFile) {
        ThrowError(Operation::Read, path, sys::LastError());
    }
    sys::FileKind kind;
    const auto stamp = [&](FileStamp& into) {
        if (!sys::Stamp(file.get(), into, kind)) {
            ThrowError(Operation::Read, path, sys::LastError());
        }
        if (!kind.regular) {
            throw FileError(Operation::Read, path, std::string(reasons::kNotARegularFile));
        }
    };
    // A pass is consistent when nothing that identifies the file's content changed from before
    // its first read to after its last; a torn pass is made again.
    constexpr int kPasses = 5;
    for (int pass = 1;; ++pass) {
        FileStamp before;
        stamp(before);
        sink.Restart(before.size);
        // The read goes on to the end of the file, whatever size the system told.
        std::uint64_t offset = 0;
        bool reachedEnd = false;
        for (;;) {
            const std::span<char> room = sink.Room();
            if (room.empty()) {
                break;
            }
            const std::int64_t got = Gated(FileCall::Read, std::int64_t{-1}, [&] {
                return sys::ReadAt(file.get(), offset, room.data(), room.size());
            });
            if (got < 0) {
                if (sys::IsInterrupted(sys::LastError())) {
                    continue;
                }
                ThrowError(Operation::Read, path, sys::LastError());
            }
            if (got == 0) {
                reachedEnd = true;
                break;
            }
            offset += static_cast<std::uint64_t>(got);
            sink.Took(static_cast<std::size_t>(got));
        }
        FileStamp after;
        stamp(after);
        // File times may move in coarse ticks: a file emptied and written anew within one tick
        // keeps its stamp, but a read that met its end early saw it empty or half-written.
        const bool torn = reachedEnd && kind.sizeIsExact && offset != after.size;
        if (before == after && !torn) {
            return;
        }
        if (pass == kPasses) {
            throw FileError(Operation::Read, path, std::string(reasons::kChangedWhileRead));
        }
    }
}

void Files::Replace(const std::string& path, std::span<const std::string_view> pieces) const {
    PreparedOutput output(*this, path);
    for (const std::string_view piece : pieces) {
        output.Write(piece);
    }
    output.Commit();
}

void Files::CreateFolder(const std::string& path) const {
    if (Gated(FileCall::Create, false, [&] { return sys::MakeFolder(path); })) {
        return;
    }
    const int error = sys::LastError();
    // Another run may have made it a moment ago.
    if (platform::IsFolder(path)) {
        return;
    }
    ThrowError(FileError::Operation::CreateFolder, path, error);
}

std::vector<std::string> Files::List(const std::string& folder) const {
    if (!Gated(FileCall::Open, false, [] { return true; })) {
        throw FileError(FileError::Operation::ListFolder, folder, platform::DeviceErrorReason());
    }
    return platform::ListOrdinaryFiles(folder, /*mustOpen=*/true);
}

void Files::RemoveLeftovers(const std::string& folder) const {
    std::vector<sys::FolderEntry> entries;
    sys::ListFolder(folder, entries);  // what could be listed is cleaned
    for (const sys::FolderEntry& entry : entries) {
        if (entry.ordinaryFile && IsTemporaryName(entry.name)) {
            sys::RemoveIfAbandoned(folder, entry.name);
        }
    }
}

namespace platform {

std::vector<std::string> ListOrdinaryFiles(const std::string& folder, bool mustOpen) {
    std::vector<sys::FolderEntry> entries;
    if (!sys::ListFolder(folder, entries) && mustOpen) {
        ThrowError(FileError::Operation::ListFolder, folder, sys::LastError());
    }
    std::vector<std::string> names;
    for (sys::FolderEntry& entry : entries) {
        if (entry.ordinaryFile && !entry.hidden) {
            names.push_back(std::move(entry.name));
        }
    }
    return names;
}

std::string DeviceErrorReason() {
    return sys::Reason(sys::DeviceError());
}

}  // namespace platform

}  // namespace orba
