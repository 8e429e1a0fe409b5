#include "storage/system.h"

namespace orba::sys {

namespace {
std::size_t LastSeparator(std::string_view path) {
    for (std::size_t at = path.size(); at > 0; --at) {
        if (IsSeparator(path[at - 1])) {
            return at - 1;
        }
    }
    return std::string_view::npos;
}
}  // namespace

std::string FolderOf(std::string_view path) {
    const std::size_t separator = LastSeparator(path);
    if (separator == std::string_view::npos) {
        return ".";
    }
    return std::string(path.substr(0, separator == 0 ? 1 : separator));
}

std::string_view NameOf(std::string_view path) {
    const std::size_t separator = LastSeparator(path);
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

}  // namespace orba::sys
