#pragma once

// The file calls of a run that can fail: reading a document, writing an output, creating the
// output folder, listing the old-version folder. A run is handed one `Files`; a test hands it one
// with a gate that makes a chosen call fail. Every failure throws FileError naming the file and
// the reason.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/file_stamp.h"
#include "storage/system_calls.h"

namespace orba {

// The kinds of system call that a gate may refuse.
enum class FileCall { Open, Read, Create, Write, Flush, Rename, Remove };

// Asked before each call of a run. With documents prepared ahead (RunUpgrade's prepareAhead), it
// is asked from several threads at once, so a gate must be safe to call so.
class FileCallGate {
  public:
    virtual ~FileCallGate() = default;
    // False makes the call fail as if the device had reported an error.
    virtual bool Allow(FileCall call) = 0;
};

// Takes a file's bytes as they are read, from its start, in one pass. A pass that saw the file
// change is void: the next one starts with Restart.
class ReadingSink {
  public:
    virtual ~ReadingSink() = default;
    // A pass begins; `sizeHint` is what the system says the file's size is (virtual file systems
    // tell 0 or a page whatever their length).
    virtual void Restart(std::uint64_t sizeHint) = 0;
    // Where the next bytes go; an empty room ends the pass early: all that is needed has come.
    virtual std::span<char> Room() = 0;
    // `count` bytes arrived at the start of the last room.
    virtual void Took(std::size_t count) = 0;
};

// A file's whole content, read in one consistent state. The buffer is kept when the object is
// loaded again, so document after document is read without new allocations.
class LoadedFile final : public ReadingSink {
  public:
    std::string_view bytes() const { return {data_.get(), size_}; }

    void Restart(std::uint64_t sizeHint) override;
    std::span<char> Room() override;
    void Took(std::size_t count) override { size_ += count; }

  private:
    void Reserve(std::size_t capacity);

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

class Files {
  public:
    Files() = default;  // the system's own calls
    explicit Files(FileCallGate& gate) : gate_(&gate) {}

    // Reads the file at `path` from its start into `sink`, again from the start while another
    // program changes it during a pass; if it keeps changing, this fails saying so. Only the last
    // pass counts: it saw one state of the file from its first byte to the last it read.
    void Read(const std::string& path, ReadingSink& sink) const;

    // Reads the whole file at `path` into `into`, as Read.
    void Load(const std::string& path, LoadedFile& into) const { Read(path, into); }
    LoadedFile Load(const std::string& path) const {
        LoadedFile file;
        Load(path, file);
        return file;
    }

    // Writes the concatenation of `pieces` to `path` so that `path` either keeps what it held or
    // holds the complete new content. A link at `path` is replaced.
    void Replace(const std::string& path, std::span<const std::string_view> pieces) const;

    // Creates one folder level; a folder already standing there, made by whoever, is fine.
    void CreateFolder(const std::string& path) const;

    // Names of the ordinary files in `folder`, as platform::ListOrdinaryFiles; fails when the
    // folder cannot be read.
    std::vector<std::string> List(const std::string& folder) const;

    // Removes the temporary files that runs which are no longer alive left in `folder`; never one
    // that a live run is writing. Clean-up is best effort: what cannot be removed is left.
    void RemoveLeftovers(const std::string& folder) const;

    static constexpr std::string_view kTemporaryPrefix = ".orba-upgrade-";
    static constexpr std::string_view kTemporarySuffix = ".tmp";

    // Runs a system call unless the gate refuses it; a refused call fails as a device error
    // would, returning `failure`.
    template <class Result, class Call>
    Result Gated(FileCall kind, Result failure, Call&& call) const {
        if (gate_ != nullptr && !gate_->Allow(kind)) {
            sys::SetLastError(sys::DeviceError());
            return failure;
        }
        return call();
    }

  private:
    FileCallGate* gate_ = nullptr;
};

// An output being written to its temporary file in the output's folder, not yet in place. The
// file has no name, or one that the clean-up of other runs recognises, and vanishes with the
// process; dropped without being committed, it leaves nothing. Each keeps a copy of the `Files`
// that made it, so its calls pass the same gate whatever becomes of that one.
class PreparedOutput {
  public:
    // Creates the temporary file for an output that will take the place of `path`.
    PreparedOutput(const Files& files, std::string path);
    PreparedOutput(PreparedOutput&& other) noexcept;
    PreparedOutput& operator=(PreparedOutput&& other) noexcept;
    PreparedOutput(const PreparedOutput&) = delete;
    PreparedOutput& operator=(const PreparedOutput&) = delete;
    ~PreparedOutput();

    const std::string& path() const { return path_; }
    std::uint64_t size() const { return size_; }

    // Appends `bytes`.
    void Write(std::string_view bytes);
    // Appends again the `length` bytes written from `offset` on, passing them through `buffer`.
    void Repeat(std::uint64_t offset, std::uint64_t length, std::span<char> buffer);

    // The complete output takes its final name, replacing what stood there. A failure before the
    // rename leaves the earlier file as it was; the system's report of a deferred write failure
    // at the close after it leaves the new file in place and is reported.
    void Commit();

  private:
    void Discard() noexcept;
    [[noreturn]] void Fail(int error);

    Files files_;
    std::string path_;       // where the output goes
    std::string temporary_;  // the temporary file's name, where it has one
    sys::Native file_ = sys::kNoFile;
    std::uint64_t size_ = 0;
};

}  // namespace orba
