#pragma once

// The file calls of a run that can fail: loading a document, writing an output, creating the
// output folder, listing the old-version folder. A run is handed one `Files`; a test hands it one
// with a gate that makes a chosen call fail. Every failure throws FileError naming the file and
// the reason.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orba {

// The kinds of system call that a gate may refuse.
enum class FileCall { Open, Read, Create, Write, Flush, Rename, Remove };

class FileCallGate {
  public:
    virtual ~FileCallGate() = default;
    // Asked before each call; false makes the call fail as if the device had reported an error.
    virtual bool Allow(FileCall call) = 0;
};

// What tells one state of a file's content from another: any write, truncation or replacement
// changes at least one of these.
struct FileStamp {
    std::uint64_t volume = 0;
    std::uint64_t identity = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // nanoseconds or the platform's own ticks
    std::int64_t changed = 0;
    bool operator==(const FileStamp&) const = default;
};

// A file's whole content, read in one consistent state. The buffer is kept when the object is
// loaded again, so a run reads document after document without new allocations.
class LoadedFile {
  public:
    std::string_view bytes() const { return {data_.get(), size_}; }

  private:
    friend class Files;
    void Reserve(std::size_t capacity);

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

class Files {
  public:
    Files() = default;  // the system's own calls
    explicit Files(FileCallGate& gate) : gate_(&gate) {}

    // Reads the whole file at `path` into `into`. A file that another program changes while it is
    // read is read again; if it keeps changing, this fails saying so.
    void Load(const std::string& path, LoadedFile& into) const;
    LoadedFile Load(const std::string& path) const {
        LoadedFile file;
        Load(path, file);
        return file;
    }

    // Writes the concatenation of `pieces` to `path` so that `path` either keeps what it held or
    // holds the complete new content. The bytes go to a temporary file in the same folder that
    // has a name only once it is complete, just before it is renamed over `path`, and that
    // vanishes with the process where the system allows. A link at `path` is replaced.
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

  private:
    bool Allows(FileCall call) const { return gate_ == nullptr || gate_->Allow(call); }

    FileCallGate* gate_ = nullptr;
};

}  // namespace orba
