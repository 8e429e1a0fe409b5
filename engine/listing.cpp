#include "engine/listing.h"

#include <algorithm>

#include "engine/paths.h"
#include "engine/text.h"

namespace orba {

std::optional<NotLookedAtReason> WhyNotADocument(const sys::FolderEntry& entry,
                                                 std::string_view pattern) {
    if (entry.hidden) {
        return NotLookedAtReason::Hidden;
    }
    if (entry.folder) {
        return NotLookedAtReason::Folder;
    }
    if (!entry.ordinaryFile) {
        return NotLookedAtReason::NotAFile;
    }
    if (!MatchesPattern(entry.name, pattern)) {
        return NotLookedAtReason::OtherName;
    }
    return std::nullopt;
}

std::vector<std::string> ListFiles(const std::string& folder, std::string_view pattern,
                                   const Files& files) {
    std::vector<std::string> names;
    for (sys::FolderEntry& entry : files.ListEntries(folder)) {
        if (!WhyNotADocument(entry, pattern)) {
            names.push_back(std::move(entry.name));
        }
    }
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
