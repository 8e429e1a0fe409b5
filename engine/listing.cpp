#include "engine/listing.h"

#include <algorithm>

#include "engine/paths.h"
#include "engine/text.h"

namespace orba {

std::vector<std::string> ListFiles(const std::string& folder, std::string_view pattern,
                                   const Files& files) {
    std::vector<std::string> names = files.List(folder);
    std::erase_if(names,
                  [pattern](const std::string& name) { return !MatchesPattern(name, pattern); });
    std::sort(names.begin(), names.end());
    return names;
}

bool FileExists(const std::string& path, const Files& files) {
    if (path.empty() || IsSeparator(path.back(), NativePathStyle())) {
        return false;
    }
    return files.IsOrdinaryFile(path);
}

bool FolderHasFiles(std::string_view folder, const Files& files) {
    return files.HasOrdinaryFiles(WithTrailingSeparator(folder));
}

}  // namespace orba
