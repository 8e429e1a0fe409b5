// Preloaded into orba-upgrade by a test: every fsync of a folder is refused with EINVAL, as file
// systems that keep no folders of their own to flush refuse it; other files are flushed.

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>

extern "C" int fsync(int file) {
    struct stat status {};
    if (::fstat(file, &status) == 0 && S_ISDIR(status.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    using Fsync = int (*)(int);
    static const auto real = reinterpret_cast<Fsync>(::dlsym(RTLD_NEXT, "fsync"));
    return real(file);
}
