#pragma once

// The few file calls that each operating system makes its own way, as one object: everything built
// on them (the consistent read, temporary files and their names, preparing and committing an
// output, waiting for a file that another program holds, the clean-up) is written once and calls
// through a `System`. A test wraps the object to fail, delay or hold any call. A failed call
// returns false (or kNoFile, or a negative count) and leaves the system's error code to
// LastError(). Paths are UTF-8.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "storage/file_stamp.h"
#include "storage/paths.h"

namespace orba::sys {

// Whether CreateUnnamed can succeed at all: elsewhere temporary files are named from the start.
extern const bool kUnnamedFiles;
// Whether a named temporary file outlives a process that is killed (not on Windows, which removes
// it at its last close): then the next run's clean-up removes it.
extern const bool kNamedTemporariesOutliveProcess;

// A file handle of the system (a descriptor, a HANDLE) as a number; kNoFile is none.
using Native = std::intptr_t;
inline constexpr Native kNoFile = -1;

// The error code of the last failed call of this thread, and its text in the system's words.
int LastError();
void SetLastError(int error);
std::string Reason(int error);
int DeviceError();   // an I/O error reported by a device
int NotSupported();  // what CreateUnnamed fails with where the file system has no unnamed files
bool IsNameTaken(int error);
bool IsMissing(int error);  // no file, or no folder, at the path
bool IsInterrupted(int error);
bool IsDiskFull(int error);  // no room left on the device, or in the user's quota
// How many files the process may have open at once.
std::uint64_t OpenFileLimit();
// True when a flush of a folder failed with `error` because the file system keeps no folder of
// its own to flush, and says so.
bool IsFolderFlushRefusal(int error);

// How recent a change must be for a writer to be perhaps still in the middle of it: some ticks of
// the clock that file times are taken from, which can lag behind on an idle machine, and a moment
// in which a busy one may not run the writer.
inline constexpr std::int64_t kJustNowMilliseconds = 100;

struct FileKind {
    bool regular = false;         // a regular file on a disk
    bool sizeIsExact = false;     // false where the size told is not the length (virtual files)
    bool changedJustNow = false;  // written or changed less than kJustNowMilliseconds ago
};

enum class PathKind {
    Nothing,       // nothing there, or nothing that can be looked at
    OrdinaryFile,  // a visible ordinary file
    Folder,
    Other,  // hidden files, devices, FIFOs, sockets, links that lead nowhere
};

struct FolderEntry {
    std::string name;
    bool ordinaryFile = false;  // a regular file or a link to one
    bool hidden = false;        // hidden by the system's own rule
    bool folder = false;        // a folder or a link to one
    bool link = false;          // a symbolic link (on Windows, a junction or other reparse point)

    // A visible ordinary file: the one kind of entry a run may read.
    bool IsVisibleOrdinaryFile() const { return ordinaryFile && !hidden; }
    PathKind kind() const {
        return folder                    ? PathKind::Folder
               : IsVisibleOrdinaryFile() ? PathKind::OrdinaryFile
                                         : PathKind::Other;
    }
};

class System {
  public:
    virtual ~System() = default;

    // Opens an existing file for reading; other programs may go on reading, writing and removing
    // it.
    virtual Native OpenToRead(const std::string& path) const = 0;
    // What identifies the content of the open file, and what kind of file it is.
    virtual bool Stamp(Native file, FileStamp& stamp, FileKind& kind) const = 0;
    // Reads up to `size` bytes at `offset`: the count read, 0 at the end, negative on failure.
    virtual std::int64_t ReadAt(Native file, std::uint64_t offset, char* data,
                                std::size_t size) const = 0;
    // Writes up to `size` bytes at `offset`: the count written, negative on failure.
    virtual std::int64_t WriteAt(Native file, std::uint64_t offset, const char* data,
                                 std::size_t size) const = 0;
    // Puts what was written to the file on the disk.
    virtual bool Flush(Native file) const = 0;
    // Whether one flush of the file system that holds `folder` puts every file's written data on
    // the disk and reports each file's failed writes: syncfs on Linux 5.8 and later, on the file
    // systems of a block device. Not on FUSE (sshfs, encrypted and union mounts, fuseblk) nor on
    // network file systems, which syncfs does not reach, nor on Windows, where no call flushes a
    // volume without an administrator's rights: there each file is flushed on its own.
    virtual bool OneFlushReachesEveryFile(const std::string& folder) const = 0;
    // Has the system write the file's data to its device: starts it, or with `wait` starts what
    // is left and waits until all of it is written, reporting a failed write. Not a flush: the
    // file system's own records, and the device's cache, may still hold it back. Only where
    // OneFlushReachesEveryFile.
    virtual bool WriteOut(Native file, bool wait) const = 0;
    // Flushes the whole file system that holds `file`: false when a write of any file on it
    // failed. Only where OneFlushReachesEveryFile.
    virtual bool FlushFileSystem(Native file) const = 0;
    // Reports a write that the system deferred and found failed, as closing the file would
    // (NFS, quotas), while the file stays open.
    virtual bool CheckWrites(Native file) const = 0;
    // Closes the file; false when the system reports a deferred write as failed.
    virtual bool Close(Native file) const = 0;

    // A temporary file for an output, open for reading and writing, that no clean-up of another
    // run can take for a leftover while it is open, and that vanishes with the process until it
    // is given its final name. CreateUnnamed makes one with no name at all until GiveName;
    // CreateExclusive one named `path`, only if nothing stands there.
    virtual Native CreateUnnamed(const std::string& folder) const = 0;
    virtual Native CreateExclusive(const std::string& path) const = 0;
    // Gives an unnamed file the name `path`, only if nothing stands there.
    virtual bool GiveName(Native file, const std::string& path) const = 0;
    // The temporary file named `temporary` takes the place of `path`, replacing what stands there.
    // With kNoFile, a temporary already closed (KeepAtClose), by its name.
    virtual bool MoveIntoPlace(Native file, const std::string& temporary,
                               const std::string& path) const = 0;
    // Lets the named temporary file outlive its close as an ordinary file, so that it can take its
    // place by its name: some shares refuse to rename a file that is still open.
    virtual bool KeepAtClose(Native file) const = 0;
    // Removes the name `temporary` of a temporary file that will not take its place: at once, or
    // where the system removes an open file's name only at its close, when `file` is closed. With
    // kNoFile, the name of a file already closed.
    virtual bool RemoveName(Native file, const std::string& temporary) const = 0;
    // Removes the temporary file `name` in `folder` unless a live run holds it open, or the run
    // it belongs to still holds its mark `mark` in `folder` (empty: none told): true when it was
    // removed. The run's mark is looked at once the file is held, so that a run that closes its
    // temporary for its rename, after making its mark, is always seen. A file system that removes
    // no open file has the file closed first.
    virtual bool RemoveIfAbandoned(const std::string& folder, const std::string& name,
                                   const std::string& mark) const = 0;

    virtual bool MakeFolder(const std::string& path) const = 0;
    // How many bytes this user may still write on the file system that holds `folder`.
    virtual bool FreeSpace(const std::string& folder, std::uint64_t& bytes) const = 0;
    // Removes the folder only if it is empty.
    virtual bool RemoveEmptyFolder(const std::string& path) const = 0;
    // Puts the folder's names (renames, new entries) on the disk.
    virtual bool FlushFolder(const std::string& path) const = 0;
    // The entries of a folder, without "." and ".."; false when it cannot be opened or read to its
    // end.
    virtual bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) const = 0;

    virtual PathKind KindOf(const std::string& path) const = 0;
    // True when both paths name the same file on disk.
    virtual bool IsSameFile(const std::string& a, const std::string& b) const = 0;
    // True when `error`, met on `path`, means that another program holds the file for the
    // moment, so that the same call may succeed a little later.
    virtual bool IsHeld(int error, const std::string& path) const = 0;

    // Sets the process apart from others, for the names of temporary files.
    virtual std::uint64_t ProcessNumber() const = 0;
};

// The calls of the system this program runs on.
const System& TheSystem();

}  // namespace orba::sys
