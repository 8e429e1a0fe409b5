// The POSIX side of the platform calls. Hidden names are those that begin with a dot.

#include <dirent.h>
#include <fcntl.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <memory>
#include <utility>

#include "storage/file_error.h"
#include "storage/platform.h"

namespace orba::platform {

const char kPathSeparator = '/';
const bool kHasDriveLetters = false;

namespace {

std::string SystemReason(int error) {
    char text[256] = {};
    // The GNU strerror_r returns its text, which may or may not live in `text`.
    return strerror_r(error, text, sizeof text);
}

[[noreturn]] void ThrowLastError(FileError::Operation operation, const std::string& path) {
    throw FileError(operation, path, SystemReason(errno));
}

// Closes a descriptor when it leaves scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }
    // Closes now so that a late write error (NFS, quotas) is seen; returns the close result.
    int Close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

  private:
    int fd_;
};

bool IsHiddenName(std::string_view name) {
    return !name.empty() && name.front() == '.';
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(std::string_view path) {
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool IsRegularEntry(int dirFd, const dirent& entry) {
    if (entry.d_type == DT_REG) {
        return true;
    }
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) {
        return false;
    }
    struct stat status {};
    return ::fstatat(dirFd, entry.d_name, &status, 0) == 0 && S_ISREG(status.st_mode);
}

// A name that no other writer picks at the same moment; O_EXCL settles the rare clash.
std::string TemporaryPathBeside(const std::string& path, unsigned attempt) {
    const auto ticks = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    const unsigned long long mixed = (ticks * 0x9E3779B97F4A7C15ull) ^
                                     (static_cast<unsigned long long>(::getpid()) << 20) ^ attempt;
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%016llx", mixed);
    return FolderOf(path) + "/.orba-upgrade-" + suffix + ".tmp";
}

// Writes all of `pieces`, continuing after short writes and interrupts.
bool WriteAll(int fd, std::span<const std::string_view> pieces) {
    std::vector<iovec> vectors;
    vectors.reserve(pieces.size());
    for (const std::string_view piece : pieces) {
        if (!piece.empty()) {
            vectors.push_back({const_cast<char*>(piece.data()), piece.size()});
        }
    }
    std::size_t first = 0;
    while (first < vectors.size()) {
        const int count = static_cast<int>(std::min<std::size_t>(vectors.size() - first, IOV_MAX));
        const ssize_t written = ::writev(fd, &vectors[first], count);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        auto left = static_cast<std::size_t>(written);
        while (first < vectors.size() && left >= vectors[first].iov_len) {
            left -= vectors[first].iov_len;
            ++first;
        }
        if (left > 0) {
            vectors[first].iov_base = static_cast<char*>(vectors[first].iov_base) + left;
            vectors[first].iov_len -= left;
        }
    }
    return true;
}

}  // namespace

struct MappedFileAccess {
    static int Descriptor(const MappedFile& file) { return file.fd_; }
};

namespace {

// The source file whose mapping holds all of `piece`, if any.
const MappedFile* SourceHolding(std::span<const MappedFile* const> sources,
                                std::string_view piece) {
    if (piece.empty()) {
        return nullptr;
    }
    for (const MappedFile* source : sources) {
        const std::string_view bytes = source->bytes();
        if (piece.data() >= bytes.data() &&
            piece.data() + piece.size() <= bytes.data() + bytes.size()) {
            return source;
        }
    }
    return nullptr;
}

enum class CopyResult { Done, Unsupported, SourceShrank, Failed };

CopyResult CopyFromSource(const MappedFile& source, std::string_view piece, int target) {
    loff_t offset = piece.data() - source.bytes().data();
    std::size_t left = piece.size();
    bool copiedAny = false;
    while (left > 0) {
        const ssize_t copied = ::copy_file_range(MappedFileAccess::Descriptor(source), &offset,
                                                 target, nullptr, left, 0);
        if (copied < 0) {
            if (errno == EINTR) {
                continue;
            }
            // File systems and kernels that cannot copy between these two files say so at once.
            if (!copiedAny && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                               errno == EOPNOTSUPP || errno == EBADF)) {
                return CopyResult::Unsupported;
            }
            return CopyResult::Failed;
        }
        if (copied == 0) {
            return CopyResult::SourceShrank;
        }
        copiedAny = true;
        left -= static_cast<std::size_t>(copied);
    }
    return CopyResult::Done;
}

}  // namespace

std::vector<std::string> ListOrdinaryFiles(const std::string& folder, bool mustOpen) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) {
        if (mustOpen) {
            ThrowLastError(FileError::Operation::ListFolder, folder);
        }
        return names;
    }
    const int dirFd = ::dirfd(dir.get());
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0 && mustOpen) {
                ThrowLastError(FileError::Operation::ListFolder, folder);
            }
            break;
        }
        if (!IsHiddenName(entry->d_name) && IsRegularEntry(dirFd, *entry)) {
            names.emplace_back(entry->d_name);
        }
    }
    return names;
}

bool IsOrdinaryFile(const std::string& path) {
    const std::string name = NameOf(path);
    struct stat status {};
    return !name.empty() && !IsHiddenName(name) && ::stat(path.c_str(), &status) == 0 &&
           S_ISREG(status.st_mode);
}

bool IsFolder(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

void CreateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) != 0) {
        ThrowLastError(FileError::Operation::CreateFolder, path);
    }
}

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

namespace {

// Opens a regular file for reading and tells its size.
FileDescriptor OpenRegularFile(const std::string& path, struct stat& status) {
    // O_NONBLOCK keeps a FIFO given by name from hanging the open; regular files ignore it.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) {
        ThrowLastError(FileError::Operation::Read, path);
    }
    if (::fstat(file.get(), &status) != 0) {
        ThrowLastError(FileError::Operation::Read, path);
    }
    if (!S_ISREG(status.st_mode)) {
        throw FileError(FileError::Operation::Read, path, "not a regular file");
    }
    return file;
}

}  // namespace

MappedFile::~MappedFile() {
    if (mapped_) {
        ::munmap(const_cast<char*>(data_), size_);
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

MappedFile MapWholeFile(const std::string& path) {
    struct stat status {};
    FileDescriptor file = OpenRegularFile(path, status);
    MappedFile view;
    if (status.st_size == 0) {
        return view;
    }
    const auto size = static_cast<std::size_t>(status.st_size);
    // MAP_POPULATE maps the cached pages in one call instead of one fault per page.
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, file.get(), 0);
    if (data == MAP_FAILED) {
        ThrowLastError(FileError::Operation::Read, path);
    }
    view.data_ = static_cast<const char*>(data);
    view.size_ = size;
    view.mapped_ = true;
    view.fd_ = file.Release();
    return view;
}

void ReadWholeFile(const std::string& path, std::string& buffer) {
    struct stat status {};
    const FileDescriptor file = OpenRegularFile(path, status);
    // Read up to the size fstat gave, then on until end of file in case the file grew meanwhile.
    std::size_t filled = 0;
    buffer.resize(static_cast<std::size_t>(status.st_size) + 1);
    for (;;) {
        if (filled == buffer.size()) {
            buffer.resize(buffer.size() * 2);
        }
        const ssize_t got = ::read(file.get(), buffer.data() + filled, buffer.size() - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowLastError(FileError::Operation::Read, path);
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    buffer.resize(filled);
}

void ReplaceFile(const std::string& path, std::span<const std::string_view> pieces,
                 std::span<const MappedFile* const> sources) {
    std::string temporary;
    int fd = -1;
    unsigned attempt = 0;
    do {
        temporary = TemporaryPathBeside(path, attempt++);
        // Mode 0666 lets the umask give the new file the usual permissions.
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EEXIST);
    if (fd < 0) {
        ThrowLastError(FileError::Operation::Write, path);
    }
    FileDescriptor file(fd);
    const auto fail = [&](const std::string& reason) {
        ::unlink(temporary.c_str());
        throw FileError(FileError::Operation::Write, path, reason);
    };

    // Consecutive pieces from memory go out in one writev; pieces of an open source file are
    // copied by the kernel, as cp does, which spares a pass through this process.
    std::size_t batchStart = 0;
    const auto flushBatch = [&](std::size_t end) {
        if (!WriteAll(file.get(), pieces.subspan(batchStart, end - batchStart))) {
            fail(SystemReason(errno));
        }
    };
    bool kernelCopy = true;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const MappedFile* source = kernelCopy ? SourceHolding(sources, pieces[i]) : nullptr;
        if (source == nullptr) {
            continue;
        }
        flushBatch(i);
        batchStart = i + 1;
        switch (CopyFromSource(*source, pieces[i], file.get())) {
            case CopyResult::Done:
                break;
            case CopyResult::Unsupported:
                kernelCopy = false;
                batchStart = i;
                break;
            case CopyResult::SourceShrank:
                fail("a document changed while it was being read");
                break;
            case CopyResult::Failed:
                fail(SystemReason(errno));
                break;
        }
    }
    flushBatch(pieces.size());
    if (file.Close() != 0) {
        fail(SystemReason(errno));
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        fail(SystemReason(errno));
    }
}

std::size_t FindBytes(std::string_view haystack, std::string_view needle, std::size_t from) {
    if (from > haystack.size()) {
        return std::string_view::npos;
    }
    const void* found =
        ::memmem(haystack.data() + from, haystack.size() - from, needle.data(), needle.size());
    return found == nullptr
               ? std::string_view::npos
               : static_cast<std::size_t>(static_cast<const char*>(found) - haystack.data());
}

}  // namespace orba::platform
