#include <windows.h>

#include <stdexcept>

#include "storage/windows_paths.h"
#include "tests/support/test_support.h"

namespace orba::test {

void WriteHiddenFile(const std::string& path, std::string_view bytes) {
    WriteBytes(path, bytes);
    if (!::SetFileAttributesW(platform::WideFromUtf8(path).c_str(), FILE_ATTRIBUTE_HIDDEN)) {
        throw std::runtime_error("cannot hide " + path);
    }
}

int HeldError() {
    return ERROR_SHARING_VIOLATION;
}

int DiskFullError() {
    return ERROR_DISK_FULL;
}

}  // namespace orba::test
