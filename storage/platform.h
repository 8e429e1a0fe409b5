#pragma once

// The few calls that differ between operating systems. Paths are UTF-8 byte strings; every
// function that fails throws FileError naming the path and the system's reason.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orba::platform {

// The character that separates folders in this platform's paths, and whether paths begin with a
// drive letter (so that a folder like "E:\" is a drive root).
extern const char kPathSeparator;
extern const bool kHasDriveLetters;

// Names (without folder) of the ordinary files in a folder: regular files or links to them, not
// hidden ones (a leading dot on POSIX, the hidden or system attribute on Windows). Folders, FIFOs,
// sockets and devices are never listed. A folder that cannot be opened yields no names when
// `mustOpen` is false and throws otherwise.
std::vector<std::string> ListOrdinaryFiles(const std::string& folder, bool mustOpen);

// True when an ordinary, visible file stands at `path`.
bool IsOrdinaryFile(const std::string& path);

bool IsFolder(const std::string& path);

// Creates one folder level.
void CreateFolder(const std::string& path);

// True when both paths name the same file on disk.
bool IsSameFile(const std::string& a, const std::string& b);

// Replaces `buffer` with the whole content of the file at `path`; reuses the buffer's capacity.
void ReadWholeFile(const std::string& path, std::string& buffer);

// A file's whole content mapped read-only into memory: looking at it costs no copy, and while it
// is open its bytes can be copied into another file inside the kernel.
class MappedFile {
  public:
    MappedFile() = default;
    MappedFile(MappedFile&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          mapped_(std::exchange(other.mapped_, false)),
          fd_(std::exchange(other.fd_, -1)) {}
    MappedFile& operator=(MappedFile&& other) noexcept {
        MappedFile taken(std::move(other));
        std::swap(data_, taken.data_);
        std::swap(size_, taken.size_);
        std::swap(mapped_, taken.mapped_);
        std::swap(fd_, taken.fd_);
        return *this;  // `taken` releases what this held
    }
    ~MappedFile();  // each platform releases its own way

    std::string_view bytes() const { return {data_, size_}; }

  private:
    friend MappedFile MapWholeFile(const std::string& path);
    friend struct MappedFileAccess;
    const char* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
    int fd_ = -1;
};

// Maps the file at `path`; an empty file gives an empty view.
MappedFile MapWholeFile(const std::string& path);

// Writes the concatenation of `pieces` to `path` so that `path` either keeps what it held or holds
// the complete new content: the bytes go to a hidden temporary file in the same folder that is then
// renamed over `path`. A link standing at `path` is replaced, not followed. Pieces that lie inside
// one of `sources` are copied from that file without passing through this process.
void ReplaceFile(const std::string& path, std::span<const std::string_view> pieces,
                 std::span<const MappedFile* const> sources = {});

// Byte offset of the first `needle` in `haystack` at or after `from`, or npos.
std::size_t FindBytes(std::string_view haystack, std::string_view needle, std::size_t from);

}  // namespace orba::platform
