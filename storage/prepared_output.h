#pragma once

// An output written to a temporary file in its folder before it takes its place.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/files.h"

namespace orba {

// An output being written to its temporary file in the output's folder, not yet in place. The
// file has no name, or one that the clean-up of other runs recognises, and vanishes with the
// process; dropped without being committed, it leaves nothing. Each keeps a copy of the `Files`
// that made it, so its calls go to the same system whatever becomes of that one. It stays where
// it was made: a run that hands outputs on holds each through a pointer.
class PreparedOutput {
  public:
    // Creates the temporary file for an output that will take the place of `path`.
    PreparedOutput(const Files& files, std::string path);
    PreparedOutput(const PreparedOutput&) = delete;
    PreparedOutput& operator=(const PreparedOutput&) = delete;
    ~PreparedOutput();

    const std::string& path() const { return path_; }
    std::uint64_t size() const { return size_; }
    // Whether its temporary file has a name already: one that the file system keeps where it has
    // no unnamed files.
    bool named() const { return !temporary_.empty(); }

    // Appends `bytes`; small pieces are gathered in memory until Complete.
    void Write(std::string_view bytes);
    // Writes what is gathered: from then on the file holds everything appended.
    void Complete();
    // Appends again the `length` bytes written from `offset` on, passing them through `buffer`.
    void Repeat(std::uint64_t offset, std::uint64_t length, std::span<char> buffer);

    // Where the output must be on the disk, puts what was written there now, so that a commit
    // later has only the name to give.
    void Flush();
    // The same for outputs that lie in one folder, at once: with one flush of their file system
    // where it reaches every file (`wholeFileSystem`), else with their own flushes on several
    // threads. A failed flush is believed: the system reports a write error once, and a second
    // flush may succeed over lost data. Each output whose flush failed, or whose file system's
    // flush failed, fails at its commit with that error. A stop between two calls throws
    // WaitEnded.
    static void FlushTogether(std::span<PreparedOutput* const> outputs, bool wholeFileSystem);

    // The complete output takes its final name, replacing what stood there: written, flushed
    // where the output must be on the disk, every deferred write checked, then renamed. Any
    // failure leaves the earlier file as it was; nothing can fail after the rename.
    void Commit();

  private:
    const sys::System& system() const { return files_.system(); }
    bool Create(const std::string& folder);  // the temporary file; false with the system's error
    void Discard() noexcept;
    void WriteNow(std::string_view bytes);  // at the end of what the file holds
    void FlushNow();
    void CloseForRename();  // keeps the temporary's name for a rename by name
    void Failed(int error) { failure_ = error != 0 ? error : sys::DeviceError(); }
    [[noreturn]] void Fail(int error);

    Files files_;
    std::string path_;       // where the output goes
    std::string temporary_;  // the temporary file's name, where it has one
    sys::Native file_ = sys::kNoFile;
    std::uint64_t size_ = 0;  // with what is gathered
    std::string gathered_;
    bool flushed_ = false;  // nothing written since the last flush
    int failure_ = 0;       // the error of a failed flush, never asked for again
};

}  // namespace orba
