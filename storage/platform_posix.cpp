// The POSIX side of the platform calls. Hidden names are those that begin with a dot. Linux has
// calls that spare work (unnamed temporary files, copies inside the kernel, mapping a file's cached
// pages at once); on other POSIX systems the plain ways stand in for them.

#include <dirent.h>
#include <fcntl.h>
#include <setjmp.h>
#include <signal.h>
#include <string.h>
#include <sys/file.h>
#include <sys/mman.h>
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
#include <mutex>
#include <random>
#include <utility>

#include "storage/file_error.h"
#include "storage/file_reasons.h"
#include "storage/files.h"
#include "storage/platform.h"

#ifndef MAP_POPULATE
#define MAP_POPULATE 0  // pages are mapped one fault at a time
#endif

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

using GateCheck = std::function<bool(FileCall)>;

// The temporary file an output is written to, open for writing. It is locked for as long as it is
// open, from before it has a name, so that the clean-up of another run never takes it for a
// leftover. Where the file system allows, it has no name at all until it is complete (`name`
// stays empty), and vanishes with the process. Returns -1 with errno set on failure.
int CreateTemporary(const std::string& folder, std::string& name, const GateCheck& allows) {
    name.clear();
#ifdef O_TMPFILE
    const int unnamed = Gated(allows(FileCall::Create), [&] {
        return ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    });
    if (unnamed >= 0) {
        ::flock(unnamed, LOCK_EX);
        return unnamed;
    }
    // Only file systems without unnamed files fall back to a named one; other errors stand.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return -1;
    }
#endif
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string candidate = TemporaryName(folder);
        FileDescriptor fd(Gated(allows(FileCall::Create), [&] {
            return ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        }));
        if (fd.get() < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return -1;
        }
        // A clean-up may have taken the new file for a leftover before the lock: then the name is
        // gone or belongs to another file, and a new one is made.
        struct stat opened {};
        struct stat named {};
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && ::fstat(fd.get(), &opened) == 0 &&
            ::lstat(candidate.c_str(), &named) == 0 && SameInode(opened, named)) {
            name = std::move(candidate);
            return fd.Release();
        }
    }
    errno = EEXIST;
    return -1;
}

// Gives a complete unnamed temporary file a name in `folder`.
bool NameTemporary(int fd, const std::string& folder, std::string& name, const GateCheck& allows) {
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string candidate = TemporaryName(folder);
        int linked = Gated(allows(FileCall::Create), [&] {
            return ::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, candidate.c_str(),
                            AT_SYMLINK_FOLLOW);
        });
#ifdef AT_EMPTY_PATH
        if (linked != 0 && errno == ENOENT) {  // no /proc: the privileged way
            linked = ::linkat(fd, "", AT_FDCWD, candidate.c_str(), AT_EMPTY_PATH);
        }
#endif
        if (linked == 0) {
            name = std::move(candidate);
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

enum class CopyResult { Done, Unsupported, SourceShrank, Failed };

// Copies `piece`, which lies in the mapped file open as `source`, inside the kernel, as cp does.
CopyResult CopyFromSource(int source, std::size_t offset, std::size_t size, int target,
                          const GateCheck& allows) {
    auto position = static_cast<off_t>(offset);
    bool copiedAny = false;
    while (size > 0) {
        const ssize_t copied = Gated(allows(FileCall::Write), [&]() -> ssize_t {
#ifdef __linux__
            return ::copy_file_range(source, &position, target, nullptr, size, 0);
#else
            (void)source, (void)target;
            errno = ENOSYS;  // written from the mapping instead
            return -1;
#endif
        });
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
        size -= static_cast<std::size_t>(copied);
    }
    return CopyResult::Done;
}

// The SIGBUS that a mapped file raises when another program truncates it while it is looked at
// ends the look instead of the program: the thread's guard, set only around a look, is jumped to.
thread_local sigjmp_buf* tLookGuard = nullptr;

void OnBusError(int signal, siginfo_t* /*info*/, void* /*context*/) {
    if (tLookGuard != nullptr) {
        siglongjmp(*tLookGuard, 1);
    }
    ::signal(signal, SIG_DFL);  // a fault outside a look stays what it is
    ::raise(signal);
}

void CatchBusErrors() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, nullptr);
    });
}

}  // namespace

namespace platform {

std::string DeviceErrorReason() {
    return SystemReason(EIO);
}

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

namespace {

// Reads the regular file open as `fd` whole into `into`, again and again until nothing that
// identifies its content changed during a read; fails after a few tries.
void ReadConsistently(int fd, const std::string& path, std::size_t& size,
                      const std::function<char*(std::size_t)>& reserve, const GateCheck& allows,
                      FileStamp& stamp) {
    constexpr int kAttempts = 5;
    for (int attempt = 1;; ++attempt) {
        struct stat before {};
        if (::fstat(fd, &before) != 0) {
            ThrowLastError(FileError::Operation::Read, path);
        }
        if (!S_ISREG(before.st_mode)) {
            throw FileError(FileError::Operation::Read, path,
                            std::string(reasons::kNotARegularFile));
        }
        // The size fstat gives is a first guess only: files of virtual file systems tell 0 or a
        // page, and the read goes on to the end of the file whatever it is.
        std::size_t capacity = static_cast<std::size_t>(before.st_size) + 1;
        char* data = reserve(capacity);
        size = 0;
        for (;;) {
            if (size == capacity) {
                capacity *= 2;
                data = reserve(capacity);
            }
            const ssize_t got = Gated(allows(FileCall::Read), [&] {
                return ::pread(fd, data + size, capacity - size, static_cast<off_t>(size));
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
            size += static_cast<std::size_t>(got);
        }
        struct stat after {};
        if (::fstat(fd, &after) != 0) {
            ThrowLastError(FileError::Operation::Read, path);
        }
        stamp = StampOf(after);
        if (StampOf(before) == stamp) {
            return;
        }
        if (attempt == kAttempts) {
            throw FileError(FileError::Operation::Read, path,
                            std::string(reasons::kChangedWhileRead));
        }
    }
}

}  // namespace

void Files::Load(const std::string& path, LoadedFile& into) const {
    // O_NONBLOCK keeps a FIFO given by name from hanging the open; regular files ignore it.
    const FileDescriptor file(Gated(Allows(FileCall::Open), [&] {
        return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    }));
    if (file.get() < 0) {
        ThrowLastError(FileError::Operation::Read, path);
    }
    FileStamp stamp;
    ReadConsistently(
        file.get(), path, into.size_,
        [&](std::size_t capacity) {
            into.Reserve(capacity);
            return into.data_.get();
        },
        [this](FileCall call) { return Allows(call); }, stamp);
}

void OpenDocument::Release() noexcept {
    if (mapped_) {
        ::munmap(const_cast<char*>(data_), size_);
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
    data_ = nullptr;
    size_ = 0;
    mapped_ = false;
    fd_ = -1;
}

bool OpenDocument::Look(const std::function<void(std::string_view)>& look) const {
    if (!mapped_) {
        look(bytes());
        return true;
    }
    CatchBusErrors();
    sigjmp_buf guard;
    if (sigsetjmp(guard, 1) != 0) {
        tLookGuard = nullptr;
        return false;
    }
    tLookGuard = &guard;
    look(bytes());
    tLookGuard = nullptr;
    return true;
}

bool OpenDocument::Unchanged() const {
    if (!mapped_) {
        return true;  // read whole in one consistent state
    }
    struct stat status {};
    return ::fstat(fd_, &status) == 0 && StampOf(status) == stamp_;
}

OpenDocument Files::Open(const std::string& path) const {
    OpenDocument document;
    document.fd_ = Gated(Allows(FileCall::Open),
                         [&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); });
    if (document.fd_ < 0) {
        ThrowLastError(FileError::Operation::Read, path);
    }
    struct stat status {};
    if (::fstat(document.fd_, &status) != 0) {
        ThrowLastError(FileError::Operation::Read, path);
    }
    if (!S_ISREG(status.st_mode)) {
        throw FileError(FileError::Operation::Read, path, std::string(reasons::kNotARegularFile));
    }
    // The document is mapped: looking at it costs no copy, and its pieces go into the output by
    // the kernel. MAP_POPULATE maps the cached pages in one call instead of one fault per page.
    if (status.st_size > 0) {
        void* data = ::mmap(nullptr, static_cast<std::size_t>(status.st_size), PROT_READ,
                            MAP_SHARED | MAP_POPULATE, document.fd_, 0);
        if (data != MAP_FAILED) {
            document.data_ = static_cast<const char*>(data);
            document.size_ = static_cast<std::size_t>(status.st_size);
            document.mapped_ = true;
            document.stamp_ = StampOf(status);
            return document;
        }
    }
    // Files that tell no size (virtual file systems) or cannot be mapped are read.
    ReadConsistently(
        document.fd_, path, document.read_.size_,
        [&](std::size_t capacity) {
            document.read_.Reserve(capacity);
            return document.read_.data_.get();
        },
        [this](FileCall call) { return Allows(call); }, document.stamp_);
    document.ShowReadBytes();
    return document;
}

void PreparedOutput::Discard() noexcept {
    if (handle_ == kNoHandle) {
        return;
    }
    const int error = errno;
    if (!temporary_.empty()) {
        Gated(files_->Allows(FileCall::Remove), [&] { return ::unlink(temporary_.c_str()); });
        temporary_.clear();
    }
    ::close(static_cast<int>(handle_));
    handle_ = kNoHandle;
    errno = error;
}

PreparedOutput Files::Prepare(const std::string& path, std::span<const std::string_view> pieces,
                              const OpenDocument* source) const {
    const GateCheck allows = [this](FileCall call) { return Allows(call); };
    PreparedOutput output;
    output.path_ = path;
    output.files_ = this;
    const int fd = CreateTemporary(FolderOf(path), output.temporary_, allows);
    if (fd < 0) {
        ThrowLastError(FileError::Operation::Write, path);
    }
    output.handle_ = fd;
    const bool fromFile = source != nullptr && source->mapped_;
    const auto sourceChanged = [&] { return fromFile && !source->Unchanged(); };
    const auto fail = [&] {
        const int error = errno;
        if (sourceChanged()) {  // not a failure: the caller reads the document again
            output.Discard();
            return;
        }
        output.Discard();
        ThrowError(FileError::Operation::Write, path, error);
    };

    // Consecutive pieces from memory go out in one writev; pieces of the mapped source are copied
    // from its file by the kernel, as cp does, which spares a pass through this process.
    std::size_t batchStart = 0;
    const auto flushBatch = [&](std::size_t end) {
        return WriteAll(fd, pieces.subspan(batchStart, end - batchStart),
                        [&] { return Allows(FileCall::Write); });
    };
    bool kernelCopy = fromFile;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::string_view bytes = fromFile ? source->bytes() : std::string_view();
        const bool inSource = kernelCopy && !pieces[i].empty() &&
                              pieces[i].data() >= bytes.data() &&
                              pieces[i].data() + pieces[i].size() <= bytes.data() + bytes.size();
        if (!inSource) {
            continue;
        }
        if (!flushBatch(i)) {
            fail();
            return output;
        }
        batchStart = i + 1;
        const auto offset = static_cast<std::size_t>(pieces[i].data() - bytes.data());
        switch (CopyFromSource(source->fd_, offset, pieces[i].size(), fd, allows)) {
            case CopyResult::Done:
                break;
            case CopyResult::Unsupported:
                kernelCopy = false;  // written from the mapping with the rest
                batchStart = i;
                break;
            case CopyResult::SourceShrank:
                output.Discard();
                return output;
            case CopyResult::Failed:
                fail();
                return output;
        }
    }
    if (!flushBatch(pieces.size())) {
        fail();
        return output;
    }
    // The copies came from the file as it is now: they belong to the state that was looked at
    // only if nothing changed since.
    if (sourceChanged()) {
        output.Discard();
    }
    return output;
}

void Files::Commit(PreparedOutput& output) const {
    const GateCheck allows = [this](FileCall call) { return Allows(call); };
    const int fd = static_cast<int>(output.handle_);
    const std::string& path = output.path_;
    if (output.temporary_.empty() &&
        !NameTemporary(fd, FolderOf(path), output.temporary_, allows)) {
        const int error = errno;
        output.Discard();
        ThrowError(FileError::Operation::Write, path, error);
    }
    if (Gated(Allows(FileCall::Rename),
              [&] { return ::rename(output.temporary_.c_str(), path.c_str()); }) != 0) {
        const int error = errno;
        output.Discard();
        ThrowError(FileError::Operation::Write, path, error);
    }
    // The name is the output's now. A write that the system reports only at close (NFS, quotas)
    // means the output in place may be incomplete: it is removed.
    output.temporary_.clear();
    output.handle_ = PreparedOutput::kNoHandle;
    const bool allowed = Allows(FileCall::Flush);
    if (::close(fd) != 0 || !allowed) {
        const int error = allowed ? errno : EIO;
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
