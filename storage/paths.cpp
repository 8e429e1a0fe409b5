#include "storage/paths.h"

namespace orba {

namespace {

std::size_t LastSeparator(std::string_view path, PathStyle style) {
    for (std::size_t at = path.size(); at > 0; --at) {
        if (IsSeparator(path[at - 1], style)) {
            return at - 1;
        }
    }
    return std::string_view::npos;
}

}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name, PathStyle style) {
    std::string joined;
    joined.reserve(folder.size() + 1 + name.size());
    joined.append(folder).push_back(style.separator);
    joined.append(name);
    return joined;
}

std::string WithTrailingSeparator(std::string_view folder, PathStyle style) {
    std::string result(folder);
    if (result.empty() || !IsSeparator(result.back(), style)) {
        result.push_back(style.separator);
    }
    return result;
}

std::string CutLastBackslash(std::string_view path, PathStyle style) {
    if (!path.empty() && IsSeparator(path.back(), style)) {
        path.remove_suffix(1);
    }
    return std::string(path);
}

std::string ComparablePath(std::string_view path, PathStyle style) {
    std::string comparable(path);
    for (char& c : comparable) {
        if (IsSeparator(c, style)) {
            c = style.separator;
        } else if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return comparable;
}

std::optional<std::string> FolderPartOf(std::string_view path, PathStyle style) {
    const std::size_t last = path.rfind(style.separator);
    if (last == std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(path.substr(0, last));
}

std::string FolderOf(std::string_view path) {
    const std::size_t separator = LastSeparator(path, kNativePathStyle);
    if (separator == std::string_view::npos) {
        return ".";
    }
    return std::string(path.substr(0, separator == 0 ? 1 : separator));
}

std::string_view NameOf(std::string_view path) {
    const std::size_t separator = LastSeparator(path, kNativePathStyle);
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

}  // namespace orba
