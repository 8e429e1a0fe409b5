#include "engine/paths.h"

#include "engine/text.h"

namespace orba {

std::string CutLastBackslash(std::string_view path, PathStyle style) {
    if (!path.empty() && IsSeparator(path.back(), style)) {
        path.remove_suffix(1);
    }
    return std::string(path);
}

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

std::optional<std::string> FolderPartOf(std::string_view path, PathStyle style) {
    const std::size_t last = path.rfind(style.separator);
    if (last == std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(path.substr(0, last));
}

std::string ComparablePath(std::string_view path, PathStyle style) {
    std::string comparable = AsciiLower(path);
    for (char& c : comparable) {
        if (IsSeparator(c, style)) {
            c = style.separator;
        }
    }
    return comparable;
}

}  // namespace orba
