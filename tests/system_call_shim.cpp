// Preloaded into orba-upgrade by a test, and set by the environment:
//   SHIM_REFUSE_FOLDER_FLUSH=1  every fsync of a folder is refused with EINVAL, as file systems
//                               that keep no folders of their own to flush refuse it
//   SHIM_SIGNAL_AT_RENAME=N     the program sends itself SIGTERM at its Nth rename
//   SHIM_LOG=PATH               each rename and each flush of a folder is written to PATH as a
//                               line: "rename NEW-PATH" or "folder-flush PATH"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

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

}  // namespace

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

extern "C" int rename(const char* from, const char* to) {
    static const auto real = Real<int (*)(const char*, const char*)>("rename");
    const int result = real(from, to);
    Log(std::string("rename ") + to);
    if (const char* at = std::getenv("SHIM_SIGNAL_AT_RENAME");
        at != nullptr && ++renames == std::atoi(at)) {
        ::kill(::getpid(), SIGTERM);
    }
    return result;
}
