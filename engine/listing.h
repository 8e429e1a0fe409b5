#pragma once

// Listing a folder and testing for a file, ordinary files only: hidden files, folders and special
// files never count.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_facts.h"
#include "storage/files.h"

namespace orba {

// Why an entry of a folder is no document for `pattern`; none when it is one: a visible ordinary
// file (or a link to one) whose name matches.
std::optional<NotLookedAtReason> WhyNotADocument(const sys::FolderEntry& entry,
                                                 std::string_view pattern);

// True when an ordinary file stands at `path`. The path is taken literally: `*` and `?` are
// ordinary characters here, and a path ending in a separator names no file.
bool FileExists(const std::string& path, const Files& files);

// Folder when `folder` holds at least one ordinary file of any name, else what stands there.
FoundAtPath LookAtFolder(std::string_view folder, const Files& files);

}  // namespace orba
