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
    return LookAtFolder(folder, files) == FoundAtPath::Folder;
}

FoundAtPath LookAtFolder(std::string_view folder, const Files& files) {
    if (const auto hasFiles = files.HasOrdinaryFiles(WithTrailingSeparator(folder))) {
        return *hasFiles ? FoundAtPath::Folder : FoundAtPath::FolderWithoutFiles;
    }
    // It could not be listed: why, one look tells.
    switch (files.KindOf(CutLastBackslash(folder))) {
        case sys::PathKind::Folder:
            return FoundAtPath::UnreadableFolder;
        case sys::PathKind::OrdinaryFile:
        case sys::PathKind::Other:
            return FoundAtPath::File;
        case sys::PathKind::Nothing:
            break;
    }
    return FoundAtPath::Nothing;
}

}  // namespace orba
