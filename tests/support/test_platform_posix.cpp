#include <cerrno>
#include <stdexcept>

#include "storage/paths.h"
#include "tests/support/test_support.h"

namespace orba::test {

void WriteHiddenFile(const std::string& path, std::string_view bytes) {
    const std::size_t name = path.rfind('/') + 1;
    if (name >= path.size() || path[name] != '.') {
        throw std::invalid_argument("a hidden file's name begins with a dot: " + path);
    }
    WriteBytes(path, bytes);
}

int HeldError() {
    return EBUSY;
}

int DiskFullError() {
    return ENOSPC;
}

}  // namespace orba::test
