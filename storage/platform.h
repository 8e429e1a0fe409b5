#pragma once

// The few calls that differ between operating systems, besides the fallible file calls of a run
// (storage/files.h). Paths are UTF-8 byte strings; the listing throws FileError naming the folder
// and the system's reason.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orba::platform {

// The character that separates folders in this platform's paths, and whether paths begin with a
// drive letter (so that a folder like "E:\" is a drive root).
extern const char kPathSeparator;
extern const bool kHasDriveLetters;

// Names (without folder) of the ordinary files in a folder: regular files or links to them, not
// hidden ones (a leading dot on POSIX, the hidden or system attribute on Windows). Folders, FIFOs,
// sockets and devices are never listed. A folder that cannot be opened yields no names when
// `mustOpen` is false and throws otherwise.
std::vector<std::string> ListOrdinaryFiles(const std::string& folder, bool mustOpen);

// True when an ordinary, visible file stands at `path`.
bool IsOrdinaryFile(const std::string& path);

bool IsFolder(const std::string& path);

// The system's words for a device that reported an error: what a call refused by a test's gate
// (storage/files.h) fails with.
std::string DeviceErrorReason();

// True when both paths name the same file on disk.
bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace orba::platform
