// The POSIX file calls. Hidden names are those that begin with a dot. A temporary file is locked
// (flock, shared) from before it has a name until it is closed: the clean-up of another run takes
// only files it can lock alone. On a file system without locks (an NFS share whose lock service
// does not answer) temporary files go without, and no clean-up takes them. Linux makes temporary
// files without a name (O_TMPFILE); other POSIX systems, and file systems without them, make named
// ones. Temporary files are named and renamed relative to their open folder, so that a folder
// path near the system's limit still holds them.

#include <dirent.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#ifdef __linux__
#include <linux/magic.h>
#include <sys/vfs.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <memory>

#include "storage/system.h"

namespace orba {

namespace {

// strerror_r is the XSI one (returns a status) or the GNU one (returns the text) by the C library.
[[maybe_unused]] std::string ReasonText(int /*status*/, const char* buffer) {
    return buffer;
}
[[maybe_unused]] std::string ReasonText(const char* text, const char* /*buffer*/) {
    return text;
}

bool IsHiddenName(std::string_view name) {
    return !name.empty() && name.front() == '.';
}

// What `status`, found at `name` (with links followed), is as an entry of its folder.
sys::FolderEntry EntryOf(std::string_view name, const struct stat& status) {
    return {std::string(name), S_ISREG(status.st_mode) && !name.empty(), IsHiddenName(name),
            S_ISDIR(status.st_mode)};
}

[[maybe_unused]] bool KernelAtLeast(int major, int minor) {
    struct utsname names {};
    int hasMajor = 0;
    int hasMinor = 0;
    return ::uname(&names) == 0 && std::sscanf(names.release, "%d.%d", &hasMajor, &hasMinor) == 2 &&
           (hasMajor > major || (hasMajor == major && hasMinor >= minor));
}

#ifdef __linux__
// The file systems that keep their files on a block device of this machine, in its page cache: a
// flush of the file system writes out every file. FUSE (fuseblk too), network and union file
// systems, and any not named here, are not taken for such.
bool IsBlockDeviceFileSystem(std::uint32_t type) {
    constexpr std::uint32_t kExfat = 0x2011BAB0;
    constexpr std::uint32_t kNtfs3 = 0x7366746E;
    constexpr std::uint32_t kF2fs = 0xF2F52010;
    constexpr std::uint32_t kXfs = 0x58465342;
    constexpr std::uint32_t kJfs = 0x3153464A;
    switch (type) {
        case EXT4_SUPER_MAGIC:  // ext2 and ext3 too
        case BTRFS_SUPER_MAGIC:
        case MSDOS_SUPER_MAGIC:  // vfat
        case kExfat:
        case kNtfs3:
        case kF2fs:
        case kXfs:
        case kJfs:
        case TMPFS_MAGIC:  // nothing to flush: the files are in memory
            return true;
        default:
            return false;
    }
}
#endif

bool SameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A descriptor closed with its scope. The close leaves the error of the call before it, which
// the caller is still to read.
class Descriptor {
  public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0) {
            const int error = errno;
            ::close(descriptor_);
            errno = error;
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return descriptor_; }

  private:
    int descriptor_;
};

// A path's folder, open, and the path's last part: calls made relative to the folder take paths
// whose whole length the system would refuse.
class InFolder {
  public:
    explicit InFolder(const std::string& path)
        : name_(NameOf(path)),
          opened_(name_.size() == path.size() ? AT_FDCWD : OpenFolder(FolderOf(path))) {}

    bool opened() const { return opened_.get() != -1; }
    int folder() const { return opened_.get(); }
    const char* name() const { return name_.c_str(); }

  private:
    static int OpenFolder(const std::string& folder) {
#ifdef O_PATH
        return ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
#else
        return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
    }

    std::string name_;
    Descriptor opened_;  // AT_FDCWD for a name alone
};

// Where a lock cannot be had because the file system keeps none.
bool HasNoLocks(int error) {
    return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS;
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// Opens with O_NONBLOCK, so that a FIFO given by name cannot hang the open.
int OpenNoHang(int dirFd, const char* name, int flags) {
    return ::openat(dirFd, name, flags | O_NONBLOCK | O_CLOEXEC);
}

// Whether a live run holds its mark `mark` in the open folder: it stands, and is locked.
bool HeldByItsRun(int dirFd, const std::string& mark) {
    if (mark.empty()) {
        return false;
    }
    const int file = OpenNoHang(dirFd, mark.c_str(), O_RDONLY | O_NOFOLLOW);
    if (file < 0) {
        return errno != ENOENT;  // a mark that cannot be looked at may be a live run's
    }
    const bool held = ::flock(file, LOCK_EX | LOCK_NB) != 0;
    ::close(file);
    return held;
}

}  // namespace

namespace sys {

#ifdef O_TMPFILE
const bool kUnnamedFiles = true;
#else
const bool kUnnamedFiles = false;
#endif
const bool kNamedTemporariesOutliveProcess = true;

int LastError() {
    return errno;
}

void SetLastError(int error) {
    errno = error;
}

std::string Reason(int error) {
    char buffer[256] = {};
    return ReasonText(strerror_r(error, buffer, sizeof buffer), buffer);
}

int DeviceError() {
    return EIO;
}

int NotSupported() {
    return EOPNOTSUPP;
}

bool IsNameTaken(int error) {
    return error == EEXIST;
}

bool IsMissing(int error) {
    return error == ENOENT;
}

bool IsInterrupted(int error) {
    return error == EINTR;
}

bool IsDiskFull(int error) {
    return error == ENOSPC || error == EDQUOT;
}

std::uint64_t OpenFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return UINT64_MAX;
    }
    return static_cast<std::uint64_t>(limit.rlim_cur);
}

// Some FUSE file systems, for one.
bool IsFolderFlushRefusal(int error) {
    return error == EINVAL || error == EOPNOTSUPP;
}

namespace {

class PosixSystem final : public System {
  public:
    Native OpenToRead(const std::string& path) const override {
        return OpenNoHang(AT_FDCWD, path.c_str(), O_RDONLY);
    }

    bool Stamp(Native file, FileStamp& stamp, FileKind& kind) const override {
        struct stat status {};
        if (::fstat(static_cast<int>(file), &status) != 0) {
            return false;
        }
        const auto nanoseconds = [](const timespec& time) {
            return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
        };
        stamp = {static_cast<std::uint64_t>(status.st_dev),
                 static_cast<std::uint64_t>(status.st_ino),
                 static_cast<std::uint64_t>(status.st_size), nanoseconds(status.st_mtim),
                 nanoseconds(status.st_ctim)};
        kind.regular = S_ISREG(status.st_mode);
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        const std::int64_t age =
            nanoseconds(now) - std::max(nanoseconds(status.st_mtim), nanoseconds(status.st_ctim));
        kind.changedJustNow =
            age > -kJustNowMilliseconds * 1'000'000 && age < kJustNowMilliseconds * 1'000'000;
        // Files of virtual file systems (/proc, /sys) occupy no blocks and tell 0 or a page.
        kind.sizeIsExact = status.st_blocks > 0;
        return true;
    }

    std::int64_t ReadAt(Native file, std::uint64_t offset, char* data,
                        std::size_t size) const override {
        return ::pread(static_cast<int>(file), data, size, static_cast<off_t>(offset));
    }

    std::int64_t WriteAt(Native file, std::uint64_t offset, const char* data,
                         std::size_t size) const override {
        return ::pwrite(static_cast<int>(file), data, size, static_cast<off_t>(offset));
    }

    bool Flush(Native file) const override { return ::fdatasync(static_cast<int>(file)) == 0; }

    bool OneFlushReachesEveryFile(const std::string& folder) const override {
#ifdef __linux__
        // Before 5.8 syncfs said nothing of failed writes.
        static const bool reportsFailures = KernelAtLeast(5, 8);
        struct statfs status {};
        return reportsFailures && ::statfs(folder.c_str(), &status) == 0 &&
               IsBlockDeviceFileSystem(static_cast<std::uint32_t>(status.f_type));
#else
        (void)folder;
        return false;
#endif
    }

    bool WriteOut(Native file, bool wait) const override {
#ifdef __linux__
        const unsigned flags =
            wait ? SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER
                 : SYNC_FILE_RANGE_WRITE;
        return ::sync_file_range(static_cast<int>(file), 0, 0, flags) == 0;
#else
        (void)file;
        (void)wait;
        errno = ENOTSUP;
        return false;
#endif
    }

    bool FlushFileSystem(Native file) const override {
#ifdef __linux__
        return ::syncfs(static_cast<int>(file)) == 0;
#else
        (void)file;
        errno = ENOTSUP;
        return false;
#endif
    }

    bool CheckWrites(Native file) const override {
        // Closing a second descriptor of the file reports what a close would (the file system's
        // flush runs at every close) and keeps the first, with its lock, open.
        const int second = ::fcntl(static_cast<int>(file), F_DUPFD_CLOEXEC, 0);
        return second >= 0 && ::close(second) == 0;
    }

    bool Close(Native file) const override {
        return ::close(static_cast<int>(file)) == 0;
    }

    Native CreateUnnamed(const std::string& folder) const override {
#ifdef O_TMPFILE
        const int file = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (file >= 0) {
            // Nobody else can lock a file without a name: only a file system without locks
            // refuses, and then the file goes without.
            ::flock(file, LOCK_SH | LOCK_NB);
            return file;
        }
        if (errno == EISDIR || errno == EINVAL) {  // what kernels and file systems without it say
            errno = EOPNOTSUPP;
        }
#else
        (void)folder;
        errno = EOPNOTSUPP;
#endif
        return kNoFile;
    }

    Native CreateExclusive(const std::string& path) const override {
        const InFolder at(path);
        if (!at.opened()) {
            return kNoFile;
        }
        const int file =
            ::openat(at.folder(), at.name(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file < 0) {
            return kNoFile;
        }
        const bool locked = ::flock(file, LOCK_SH | LOCK_NB) == 0;
        const int lockError = errno;
        // A clean-up may have taken the new file for a leftover before the lock: then the name is
        // gone or belongs to another file, and the caller tries another name.
        struct stat opened {};
        struct stat named {};
        const bool ours = ::fstat(file, &opened) == 0 &&
                          ::fstatat(at.folder(), at.name(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                          SameInode(opened, named);
        if (ours && (locked || HasNoLocks(lockError))) {
            return file;
        }
        if (ours && lockError != EWOULDBLOCK) {
            // A temporary file that cannot be locked is not left behind.
            ::unlinkat(at.folder(), at.name(), 0);
            ::close(file);
            errno = lockError;
            return kNoFile;
        }
        ::close(file);
        errno = EEXIST;  // a clean-up holds it, and removes it
        return kNoFile;
    }

    bool GiveName(Native file, const std::string& path) const override {
        const InFolder at(path);
        if (!at.opened()) {
            return false;
        }
        const std::string procPath = "/proc/self/fd/" + std::to_string(file);
        if (::linkat(AT_FDCWD, procPath.c_str(), at.folder(), at.name(), AT_SYMLINK_FOLLOW) == 0) {
            return true;
        }
#ifdef AT_EMPTY_PATH
        if (errno == ENOENT) {  // no /proc: the privileged way
            return ::linkat(static_cast<int>(file), "", at.folder(), at.name(), AT_EMPTY_PATH) == 0;
        }
#endif
        return false;
    }

    bool MoveIntoPlace(Native /*file*/, const std::string& temporary,
                       const std::string& path) const override {
        const InFolder to(path);
        // The temporary file lies in the output's folder: one open of it serves both names.
        if (FolderOf(temporary) == FolderOf(path)) {
            return to.opened() && ::renameat(to.folder(), std::string(NameOf(temporary)).c_str(),
                                             to.folder(), to.name()) == 0;
        }
        const InFolder from(temporary);
        return from.opened() && to.opened() &&
               ::renameat(from.folder(), from.name(), to.folder(), to.name()) == 0;
    }

    bool KeepAtClose(Native /*file*/) const override {
        return true;
    }

    bool RemoveName(Native /*file*/, const std::string& temporary) const override {
        const InFolder at(temporary);
        return at.opened() && ::unlinkat(at.folder(), at.name(), 0) == 0;
    }

    bool RemoveIfAbandoned(const std::string& folder, const std::string& name,
                           const std::string& mark) const override {
        const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
        if (!dir) {
            return false;
        }
        const int dirFd = ::dirfd(dir.get());
        const int file = OpenNoHang(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW);
        if (file < 0) {
            return false;
        }
        struct stat opened {};
        struct stat named {};
        // A live writer holds its lock from before the file had its name until it closes it, and
        // its run's mark from before that close until it ends.
        const bool abandoned = ::flock(file, LOCK_EX | LOCK_NB) == 0 &&
                               !HeldByItsRun(dirFd, mark) && ::fstat(file, &opened) == 0 &&
                               S_ISREG(opened.st_mode) &&
                               ::fstatat(dirFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                               SameInode(opened, named);
        bool removed = abandoned && ::unlinkat(dirFd, name.c_str(), 0) == 0;
        const bool refusedWhileOpen = abandoned && !removed && errno == EBUSY;
        ::close(file);
        if (refusedWhileOpen) {  // a share that removes no open file, even the one removing it
            removed = ::fstatat(dirFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                      SameInode(opened, named) && ::unlinkat(dirFd, name.c_str(), 0) == 0;
        }
        return removed;
    }

    bool MakeFolder(const std::string& path) const override {
        if (::mkdir(path.c_str(), 0777) != 0) {
            return false;
        }
        // The run writes into the folder it made whatever the umask: its owner may always write
        // there, as mkdir -p lets its owner into the folders it makes on the way.
        struct stat status {};
        if (::stat(path.c_str(), &status) == 0 && (status.st_mode & S_IRWXU) != S_IRWXU) {
            ::chmod(path.c_str(), (status.st_mode & 07777) | S_IRWXU);
        }
        return true;
    }

    bool FreeSpace(const std::string& folder, std::uint64_t& bytes) const override {
        struct statvfs status {};
        if (::statvfs(folder.c_str(), &status) != 0) {
            return false;
        }
        bytes = static_cast<std::uint64_t>(status.f_bavail) * status.f_frsize;
        return true;
    }

    bool RemoveEmptyFolder(const std::string& path) const override {
        return ::rmdir(path.c_str()) == 0;
    }

    bool FlushFolder(const std::string& path) const override {
        const Descriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        return folder.get() >= 0 && ::fsync(folder.get()) == 0;
    }

    bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries) const override {
        const std::unique_ptr<DIR, DirCloser> dir(::opendir(path.c_str()));
        if (!dir) {
            return false;
        }
        const int dirFd = ::dirfd(dir.get());
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir.get());
            if (entry == nullptr) {
                return errno == 0;
            }
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") {
                continue;
            }
            struct stat status {};
            bool link = entry->d_type == DT_LNK;
            if (entry->d_type == DT_UNKNOWN &&
                ::fstatat(dirFd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
                link = S_ISLNK(status.st_mode);
            }
            if (link || entry->d_type == DT_UNKNOWN) {
                if (::fstatat(dirFd, entry->d_name, &status, 0) != 0) {
                    status.st_mode = 0;  // a link that leads nowhere: neither file nor folder
                }
            } else {
                status.st_mode = DTTOIF(entry->d_type);
            }
            entries.push_back(EntryOf(name, status));
            entries.back().link = link;
        }
    }

    PathKind KindOf(const std::string& path) const override {
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0) {
            if (::lstat(path.c_str(), &status) != 0) {
                return PathKind::Nothing;
            }
            // A link that leads nowhere still takes its name; anything else was made between the
            // two looks, by another run perhaps, and is what it is.
            if (S_ISLNK(status.st_mode)) {
                return PathKind::Other;
            }
        }
        return EntryOf(NameOf(path), status).kind();
    }

    bool IsSameFile(const std::string& a, const std::string& b) const override {
        struct stat first {};
        struct stat second {};
        return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
               SameInode(first, second);
    }

    bool IsHeld(int error, const std::string& /*path*/) const override {
        // POSIX files are not locked against others by opening them; a busy file is the one case.
        return error == EBUSY;
    }

    std::uint64_t ProcessNumber() const override {
        return static_cast<std::uint64_t>(::getpid());
    }
};

}  // namespace

const System& TheSystem() {
    static const PosixSystem system;
    return system;
}

}  // namespace sys

}  // namespace orba
