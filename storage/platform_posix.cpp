// The POSIX side of the platform calls. Hidden names are those that begin with a dot.

#include <dirent.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <utility>

#include "storage/file_error.h"
#include "storage/file_reasons.h"
#include "storage/files.h"
#include "storage/platform.h"

namespace orba {

namespace {

// strerror_r is the XSI one (returns a status) or the GNU one (returns the text) by the C library.
[[maybe_unused]] std::string ReasonText(int /*status*/, const char* buffer) {
    return buffer;
}
[[maybe_unused]] std::string ReasonText(const char* text, const char* /*buffer*/) {
    return text;
}

std::string SystemReason(int error) {
    char buffer[256] = {};
    return ReasonText(strerror_r(error, buffer, sizeof buffer), buffer);
}

[[noreturn]] void ThrowError(FileError::Operation operation, const std::string& path, int error) {
    throw FileError(operation, path, SystemReason(error));
}

[[noreturn]] void ThrowLastError(FileError::Operation operation, const std::string& path) {
    ThrowError(operation, path, errno);
}

// Runs a system call unless the gate refused it; a refused call fails as a device error would.
template <class Call>
auto Gated(bool allowed, Call&& call) -> decltype(call()) {
    if (!allowed) {
        errno = EIO;
        return -1;
    }
    return call();
}

// Closes a descriptor when it leaves scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        FileDescriptor taken(std::move(other));
        std::swap(fd_, taken.fd_);
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }

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

FileStamp StampOf(const struct stat& status) {
    const auto nanoseconds = [](const timespec& time) {
        return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
    };
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
            static_cast<std::uint64_t>(status.st_size), nanoseconds(status.st_mtim),
            nanoseconds(status.st_ctim)};
}

bool SameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A fresh name for a temporary file in `folder`: random, so that runs side by side never pick the
// same one; the exclusive create or link settles the rare clash.
std::string TemporaryName(const std::string& folder) {
    thread_local std::mt19937_64 random(
        std::random_device{}() ^ static_cast<std::uint64_t>(::getpid()) ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
    return folder + "/" + std::string(Files::kTemporaryPrefix) + suffix +
           std::string(Files::kTemporarySuffix);
}

bool IsTemporaryName(std::string_view name) {
    return name.starts_with(Files::kTemporaryPrefix) && name.ends_with(Files::kTemporarySuffix);
}

// Writes all of `pieces`, continuing after short writes and interrupts.
bool WriteAll(int fd, std::span<const std::string_view> pieces, const auto& allowWrite) {
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
        const ssize_t written =
            Gated(allowWrite(), [&] { return ::writev(fd, &vectors[first], count); });
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

// The temporary file an output is written to. It is locked for as long as it is open, from before
// it has a name, so that the clean-up of another run never takes it for a leftover. Where the
// file system allows, it has no name at all until it is complete, and vanishes with the process.
class TemporaryFile {
  public:
    TemporaryFile(std::string folder, std::function<bool(FileCall)> allows)
        : folder_(std::move(folder)), allows_(std::move(allows)) {
#ifdef O_TMPFILE
        fd_ = FileDescriptor(Gated(allows_(FileCall::Create), [&] {
            return ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        }));
        if (fd_.get() >= 0) {
            ::flock(fd_.get(), LOCK_EX);
            return;
        }
        // Only file systems without unnamed files fall back to a named one; other errors stand.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return;
        }
#endif
        CreateNamed();
    }

    int fd() const {
        return fd_.get();
    }
    bool valid() const {
        return fd_.get() >= 0;
    }

    // Gives the complete file its temporary name, if it has none yet.
    bool Name() {
        if (!name_.empty()) {
            return true;
        }
        const std::string procPath = "/proc/self/fd/" + std::to_string(fd_.get());
        for (int attempt = 0; attempt < 16; ++attempt) {
            std::string name = TemporaryName(folder_);
            int linked = Gated(allows_(FileCall::Create), [&] {
                return ::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(),
                                AT_SYMLINK_FOLLOW);
            });
            if (linked != 0 && errno == ENOENT) {  // no /proc: the privileged way
                linked = ::linkat(fd_.get(), "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
            }
            if (linked == 0) {
                name_ = std::move(name);
                return true;
            }
            if (errno != EEXIST) {
                return false;
            }
        }
        return false;
    }

    const std::string& name() const {
        return name_;
    }

    // The file was renamed into place: its name is the output's now, not to be removed.
    void Placed() {
        name_.clear();
    }

    // Closes the file; a late write error (NFS, quotas) shows here.
    bool Close() {
        const bool allowed = allows_(FileCall::Flush);
        FileDescriptor closing = std::move(fd_);
        const int result = ::close(closing.Release());
        if (!allowed) {
            errno = EIO;
            return false;
        }
        return result == 0;
    }

    // Removes the file's name, if it has one, keeping errno; an unnamed file needs nothing.
    void Discard() {
        const int error = errno;
        if (!name_.empty()) {
            Gated(allows_(FileCall::Remove), [&] { return ::unlink(name_.c_str()); });
            name_.clear();
        }
        errno = error;
    }

    ~TemporaryFile() {
        if (!name_.empty()) {
            Discard();
        }
    }

  private:
    void CreateNamed() {
        for (int attempt = 0; attempt < 16; ++attempt) {
            std::string name = TemporaryName(folder_);
            FileDescriptor fd(Gated(allows_(FileCall::Create), [&] {
                return ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            }));
            if (fd.get() < 0) {
                if (errno == EEXIST) {
                    continue;
                }
                return;
            }
            // A clean-up may have taken the new file for a leftover before the lock: then the name
            // is gone or belongs to another file, and a new one is made.
            struct stat opened {};
            struct stat named {};
            if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && ::fstat(fd.get(), &opened) == 0 &&
                ::lstat(name.c_str(), &named) == 0 && SameInode(opened, named)) {
                fd_ = std::move(fd);
                name_ = std::move(name);
                return;
            }
        }
        errno = EEXIST;
    }

    std::string folder_;
    std::function<bool(FileCall)> allows_;
    FileDescriptor fd_;
    std::string name_;
};

}  // namespace

namespace platform {

const char kPathSeparator = '/';
const bool kHasDriveLetters = false;

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

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           SameInode(first, second);
}

}  // namespace platform

void Files::Load(const std::string& path, LoadedFile& into) const {
    // O_NONBLOCK keeps a FIFO given by name from hanging the open; regular files ignore it.
    const FileDescriptor file(Gated(Allows(FileCall::Open), [&] {
        return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    }));
    if (file.get() < 0) {
        ThrowLastError(FileError::Operation::Read, path);
    }
    // The content is read whole, not mapped: a mapped file that another program truncates kills
    // the reader with SIGBUS. A read is consistent when nothing that identifies the file's content
    // changed from before it to after it; a torn read is read again.
    constexpr int kAttempts = 5;
    for (int attempt = 1;; ++attempt) {
        struct stat before {};
        if (::fstat(file.get(), &before) != 0) {
            ThrowLastError(FileError::Operation::Read, path);
        }
        if (!S_ISREG(before.st_mode)) {
            throw FileError(FileError::Operation::Read, path,
                            std::string(reasons::kNotARegularFile));
        }
        // The size fstat gives is a first guess only: files of virtual file systems tell 0 or a
        // page, and the read goes on to the end of the file whatever it is.
        into.size_ = 0;
        into.Reserve(static_cast<std::size_t>(before.st_size) + 1);
        for (;;) {
            if (into.size_ == into.capacity_) {
                into.Reserve(into.capacity_ * 2);
            }
            const ssize_t got = Gated(Allows(FileCall::Read), [&] {
                return ::pread(file.get(), into.data_.get() + into.size_,
                               into.capacity_ - into.size_, static_cast<off_t>(into.size_));
            });
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                ThrowLastError(FileError::Operation::Read, path);
            }
            if (got == 0) {
                break;
            }
            into.size_ += static_cast<std::size_t>(got);
        }
        struct stat after {};
        if (::fstat(file.get(), &after) != 0) {
            ThrowLastError(FileError::Operation::Read, path);
        }
        if (StampOf(before) == StampOf(after)) {
            return;
        }
        if (attempt == kAttempts) {
            throw FileError(FileError::Operation::Read, path,
                            std::string(reasons::kChangedWhileRead));
        }
    }
}

void Files::Replace(const std::string& path, std::span<const std::string_view> pieces) const {
    TemporaryFile temporary(FolderOf(path), [this](FileCall call) { return Allows(call); });
    if (!temporary.valid()) {
        ThrowLastError(FileError::Operation::Write, path);
    }
    const auto fail = [&] {
        const int error = errno;
        temporary.Discard();
        ThrowError(FileError::Operation::Write, path, error);
    };
    if (!WriteAll(temporary.fd(), pieces, [&] { return Allows(FileCall::Write); }) ||
        !temporary.Name()) {
        fail();
    }
    if (Gated(Allows(FileCall::Rename),
              [&] { return ::rename(temporary.name().c_str(), path.c_str()); }) != 0) {
        fail();
    }
    temporary.Placed();
    if (!temporary.Close()) {
        // A write the system reports only at close: the output in place may be incomplete.
        const int error = errno != 0 ? errno : EIO;
        ::unlink(path.c_str());
        ThrowError(FileError::Operation::Write, path, error);
    }
}

void Files::CreateFolder(const std::string& path) const {
    if (Gated(Allows(FileCall::Create), [&] { return ::mkdir(path.c_str(), 0777); }) == 0) {
        return;
    }
    const int error = errno;
    // Another run may have made it a moment ago.
    if (error == EEXIST && platform::IsFolder(path)) {
        return;
    }
    ThrowError(FileError::Operation::CreateFolder, path, error);
}

std::vector<std::string> Files::List(const std::string& folder) const {
    if (!Allows(FileCall::Open)) {
        ThrowError(FileError::Operation::ListFolder, folder, EIO);
    }
    return platform::ListOrdinaryFiles(folder, /*mustOpen=*/true);
}

void Files::RemoveLeftovers(const std::string& folder) const {
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) {
        return;
    }
    const int dirFd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!IsTemporaryName(entry->d_name)) {
            continue;
        }
        const FileDescriptor file(
            ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat opened {};
        struct stat named {};
        // A live writer holds the lock from before the file had its name until it is gone.
        if (file.get() >= 0 && ::flock(file.get(), LOCK_EX | LOCK_NB) == 0 &&
            ::fstat(file.get(), &opened) == 0 && S_ISREG(opened.st_mode) &&
            ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            SameInode(opened, named)) {
            ::unlinkat(dirFd, entry->d_name, 0);
        }
    }
}

}  // namespace orba
