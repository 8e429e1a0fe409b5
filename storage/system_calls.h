#pragma once

// The few file calls that each operating system makes its own way. Everything built on them (the
// consistent read, temporary files and their names, preparing and committing an output, the
// clean-up, the test gate) is written once, in files.cpp and prepared_output.cpp. A failed call
// returns false (or kNoFile, or a negative count) and leaves the system's error code to
// LastError(). Paths are UTF-8.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "storage/file_stamp.h"

namespace orba::sys {

// A file handle of the system (a descriptor, a HANDLE) as a number; kNoFile is none.
using Native = std::intptr_t;
inline constexpr Native kNoFile = -1;

// The error code of the last failed call of this thread, and its text in the system's words.
int LastError();
void SetLastError(int error);
std::string Reason(int error);
int DeviceError();   // an I/O error reported by a device: what a refused call fails with
int NotSupported();  // what CreateUnnamed fails with where the file system has no unnamed files
bool IsNameTaken(int error);
bool IsInterrupted(int error);

// Opens an existing file for reading; other programs may go on reading, writing and removing it.
Native OpenToRead(const std::string& path);
// What identifies the content of the open file, and what kind of file it is.
struct FileKind {
    bool regular = false;      // a regular file on a disk
    bool sizeIsExact = false;  // false where the size told is not the length (virtual files)
};
bool Stamp(Native file, FileStamp& stamp, FileKind& kind);
// Reads up to `size` bytes at `offset`: the count read, 0 at the end, negative on failure.
std::int64_t ReadAt(Native file, std::uint64_t offset, char* data, std::size_t size);
// Writes up to `size` bytes at `offset`: the count written, negative on failure.
std::int64_t WriteAt(Native file, std::uint64_t offset, const char* data, std::size_t size);
// Closes the file; false when the system reports a write it had deferred as failed.
bool Close(Native file);

// A temporary file for an output, open for reading and writing, that no clean-up of another run
// can take for a leftover while it is open, and that vanishes with the process until it is given
// its final name. Where unnamed files are possible (kUnnamedFiles), it has no name at all until
// GiveName; elsewhere it has the name `path`, created only if nothing stands there.
extern const bool kUnnamedFiles;
Native CreateUnnamed(const std::string& folder);
Native CreateExclusive(const std::string& path);
// Gives an unnamed file the name `path`, only if nothing stands there.
bool GiveName(Native file, const std::string& path);
// The temporary file named `temporary` takes the place of `path`, replacing what stands there.
bool MoveIntoPlace(Native file, const std::string& temporary, const std::string& path);
// Closes a temporary file that will not take its place, so that it leaves nothing. `removeNamed`
// false keeps a name it may have (a removal that failed).
void Abandon(Native file, const std::string& temporary, bool removeNamed);
// Removes the temporary file `name` in `folder` unless a live run holds it open.
void RemoveIfAbandoned(const std::string& folder, const std::string& name);

bool MakeFolder(const std::string& path);

struct FolderEntry {
    std::string name;
    bool ordinaryFile = false;  // a regular file or a link to one
    bool hidden = false;        // hidden by the system's own rule
};
// The entries of a folder; false when it cannot be opened or read to its end.
bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries);

// Sets the process apart from others, for the names of temporary files.
std::uint64_t ProcessNumber();

}  // namespace orba::sys
