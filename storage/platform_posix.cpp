// The POSIX side of the platform calls. Hidden names are those that begin with a dot.

#include <dirent.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <random>

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
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    // Closes now so that a late write error (NFS, quotas) is seen; returns the close result.
    int Close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

  private:
    int fd_;
};

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

std::string TemporaryPathBeside(const std::string& path) {
    std::random_device random;
    std::uniform_int_distribution<unsigned> digit(0, 35);
    std::string suffix(8, '0');
    for (char& c : suffix) {
        const unsigned d = digit(random);
        c = static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10);
    }
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

bool IsHiddenName(std::string_view name) {
    return !name.empty() && name.front() == '.';
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

void ReadWholeFile(const std::string& path, std::string& buffer) {
    // O_NONBLOCK keeps a FIFO given by name from hanging the open; regular files ignore it.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) {
        ThrowLastError(FileError::Operation::Read, path);
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        ThrowLastError(FileError::Operation::Read, path);
    }
    if (!S_ISREG(status.st_mode)) {
        throw FileError(FileError::Operation::Read, path, "not a regular file");
    }
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

void ReplaceFile(const std::string& path, std::span<const std::string_view> pieces) {
    std::string temporary;
    int fd = -1;
    do {
        temporary = TemporaryPathBeside(path);
        // Mode 0666 lets the umask give the new file the usual permissions.
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EEXIST);
    if (fd < 0) {
        ThrowLastError(FileError::Operation::Write, path);
    }
    FileDescriptor file(fd);
    const auto fail = [&] {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw FileError(FileError::Operation::Write, path, SystemReason(error));
    };
    if (!WriteAll(file.get(), pieces) || file.Close() != 0) {
        fail();
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        fail();
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
