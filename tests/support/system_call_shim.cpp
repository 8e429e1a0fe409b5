// Preloaded into orba-upgrade by a test, and set by the environment:
//   SHIM_REFUSE_FOLDER_FLUSH=1  every fsync of a folder is refused with EINVAL, as file systems
//                               that keep no folders of their own to flush refuse it
//   SHIM_SIGNAL_AT_RENAME=N     the program sends itself SIGTERM at its Nth rename (and at the
//                               Nth folder-relative one)
//   SHIM_SIGNAL=USR1            ... or SIGUSR1 (INT: SIGINT) in its place
//   SHIM_NO_TMPFILE=1           files without a name (O_TMPFILE) are refused with EOPNOTSUPP, as
//                               file systems without them refuse them
//   SHIM_SLOW_STANDARD_ERROR=1  each write to descriptor 2 waits 20 ms first, so that what other
//                               threads open meanwhile has its chance to take a closed one's place
//   SHIM_FLOCK_ERROR=N          every flock fails with the error code N (37, ENOLCK: a file
//                               system whose lock service does not answer)
//   SHIM_FOLDER_APPEARS=NAME    a stat of a path ending in /NAME that finds nothing makes a
//                               folder there before it returns, as another run would between
//                               two looks
//   SHIM_LOG=PATH               each rename and each flush of a folder is written to PATH as a
//                               line: "rename NEW-PATH" or "folder-flush PATH"
//   SHIM_THREADS=N              no more than N threads can be made (pthread_create fails with
//                               EAGAIN), as under a small `ulimit -u` or a cgroup's pids.max
//   SHIM_UNREADABLE=A,B         an open for reading of a path ending in /A or /B fails with
//                               EACCES, as for a file nobody may read (root reads any other)

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void Log(const std::string& line) {
    const char* path = std::getenv("SHIM_LOG");
    if (path == nullptr) {
        return;
    }
    const int log = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const std::string text = line + "\n";
    (void)::write(log, text.data(), text.size());
    ::close(log);
}

template <typename Function>
Function Real(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

std::atomic<int> renames{0};  // of this process: a shim has no other place for it
std::atomic<int> threads{0};

}  // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*start)(void*), void* argument) {
    if (const char* most = std::getenv("SHIM_THREADS");
        most != nullptr && threads.fetch_add(1) >= std::atoi(most)) {
        return EAGAIN;
    }
    static const auto real =
        Real<int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*)>("pthread_create");
    return real(thread, attributes, start, argument);
}

extern "C" int fsync(int file) {
    struct stat status {};
    if (::fstat(file, &status) == 0 && S_ISDIR(status.st_mode)) {
        char path[4096] = {};
        const std::string link = "/proc/self/fd/" + std::to_string(file);
        (void)::readlink(link.c_str(), path, sizeof path - 1);
        if (std::getenv("SHIM_REFUSE_FOLDER_FLUSH") != nullptr) {
            errno = EINVAL;
            return -1;
        }
        Log(std::string("folder-flush ") + path);
    }
    static const auto real = Real<int (*)(int)>("fsync");
    return real(file);
}

namespace {

void Renamed(const std::string& to) {
    Log("rename " + to);
    if (const char* at = std::getenv("SHIM_SIGNAL_AT_RENAME");
        at != nullptr && ++renames == std::atoi(at)) {
        const std::string which =
            std::getenv("SHIM_SIGNAL") != nullptr ? std::getenv("SHIM_SIGNAL") : "";
        ::kill(::getpid(), which == "USR1" ? SIGUSR1 : which == "INT" ? SIGINT : SIGTERM);
    }
}

// The path of the folder open as `folder`, and `name` in it.
std::string PathAt(int folder, const char* name) {
    if (folder == AT_FDCWD || name[0] == '/') {
        return name;
    }
    char path[4096] = {};
    const std::string link = "/proc/self/fd/" + std::to_string(folder);
    (void)::readlink(link.c_str(), path, sizeof path - 1);
    return std::string(path) + "/" + name;
}

}  // namespace

extern "C" int rename(const char* from, const char* to) {
    static const auto real = Real<int (*)(const char*, const char*)>("rename");
    const int result = real(from, to);
    Renamed(to);
    return result;
}

extern "C" int renameat(int fromFolder, const char* from, int toFolder, const char* to) {
    static const auto real = Real<int (*)(int, const char*, int, const char*)>("renameat");
    const int result = real(fromFolder, from, toFolder, to);
    Renamed(PathAt(toFolder, to));
    return result;
}

extern "C" int stat(const char* path, struct stat* status) {
    static const auto real = Real<int (*)(const char*, struct stat*)>("stat");
    const int result = real(path, status);
    if (const char* name = std::getenv("SHIM_FOLDER_APPEARS"); name != nullptr && result != 0) {
        const std::string_view whole(path);
        const std::string ending = std::string("/") + name;
        if (whole.ends_with(ending)) {
            ::mkdir(path, 0777);
        }
        errno = ENOENT;
    }
    return result;
}

extern "C" ssize_t write(int file, const void* data, size_t size) {
    if (file == 2 && std::getenv("SHIM_SLOW_STANDARD_ERROR") != nullptr) {
        ::usleep(20'000);
    }
    static const auto real = Real<ssize_t (*)(int, const void*, size_t)>("write");
    return real(file, data, size);
}

extern "C" int flock(int file, int operation) {
    if (const char* error = std::getenv("SHIM_FLOCK_ERROR")) {
        errno = std::atoi(error);
        return -1;
    }
    static const auto real = Real<int (*)(int, int)>("flock");
    return real(file, operation);
}

// An open for reading that the setting refuses, with errno set.
static bool Unreadable(std::string_view path, int flags) {
    const char* names = std::getenv("SHIM_UNREADABLE");
    if (names == nullptr || (flags & O_ACCMODE) != O_RDONLY || (flags & O_DIRECTORY) != 0) {
        return false;
    }
    for (std::string_view rest(names); !rest.empty();) {
        const std::string_view name = rest.substr(0, rest.find(','));
        rest.remove_prefix(std::min(rest.size(), name.size() + 1));
        if (path.size() > name.size() && path.ends_with(name) &&
            path[path.size() - name.size() - 1] == '/') {
            errno = EACCES;
            return true;
        }
    }
    return false;
}

extern "C" int openat(int folder, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const auto mode = static_cast<mode_t>(va_arg(arguments, int));
    va_end(arguments);
    if (Unreadable(PathAt(folder, path), flags)) {
        return -1;
    }
    static const auto real = Real<int (*)(int, const char*, int, ...)>("openat");
    return real(folder, path, flags, mode);
}

extern "C" int openat64(int folder, const char* path, int flags, ...)
    __attribute__((alias("openat")));

// Refuses an unnamed file where the setting says so. On 64-bit Linux open64 is open.
extern "C" int open(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const auto mode = static_cast<mode_t>(va_arg(arguments, int));
    va_end(arguments);
    if ((flags & O_TMPFILE) == O_TMPFILE && std::getenv("SHIM_NO_TMPFILE") != nullptr) {
        errno = EOPNOTSUPP;
        return -1;
    }
    if (Unreadable(path, flags)) {
        return -1;
    }
    static const auto real = Real<int (*)(const char*, int, ...)>("open");
    return real(path, flags, mode);
}

extern "C" int open64(const char* path, int flags, ...) __attribute__((alias("open")));
