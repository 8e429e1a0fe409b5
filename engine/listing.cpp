#include "engine/listing.h"

#include "engine/text.h"
#include "storage/paths.h"

namespace orba {

std::optional<NotLookedAtReason> WhyNotADocument(const sys::FolderEntry& entry,
                                                 std::string_view pattern) {
    if (entry.hidden) {
        return NotLookedAtReason::Hidden;
    }
    if (entry.folder) {
        return NotLookedAtReason::Folder;
    }
    if (!entry.IsVisibleOrdinaryFile()) {
        return NotLookedAtReason::NotAFile;
    }
    if (!MatchesPattern(entry.name, pattern)) {
        return NotLookedAtReason::OtherName;
    }
    return std::nullopt;
}

bool FileExists(const std::string& path, const Files& files) {
    if (path.empty() || IsSeparator(path.back(), kNativePathStyle)) {
        return false;
    }
    return files.KindOf(path) == sys::PathKind::OrdinaryFile;
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
