#pragma once

// The file calls of a run that can fail: loading a document, writing an output, creating the
// output folder, listing the old-version folder. A run is handed one `Files`; a test hands it one
// with a gate that makes a chosen call fail. Every failure throws FileError naming the file and
// the reason.

#include <cstdint>
#include <functional>
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

class Files;

// An old document opened for one look at its bytes. Where the system allows, the file is mapped
// rather than read, and pieces of it are copied into an output by the kernel: the bytes never
// pass through this process. Where it cannot be mapped (a virtual file system, Windows, which
// will not replace a file while a view of it is mapped), it is read.
class OpenDocument {
  public:
    OpenDocument() = default;
    OpenDocument(OpenDocument&& other) noexcept;
    OpenDocument& operator=(OpenDocument&& other) noexcept;
    OpenDocument(const OpenDocument&) = delete;
    OpenDocument& operator=(const OpenDocument&) = delete;
    ~OpenDocument();

    std::string_view bytes() const { return {data_, size_}; }

    // Runs `look` over the bytes. False when the file shrank under it, so that the look was cut
    // short: `look` may then be left at any point, and must own nothing that needs releasing.
    bool Look(const std::function<void(std::string_view)>& look) const;

    // True while nothing that identifies the file's content has changed since it was opened.
    bool Unchanged() const;

  private:
    friend class Files;
    void Release() noexcept;
    void ShowReadBytes() { data_ = read_.bytes().data(), size_ = read_.bytes().size(); }

    const char* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
    int fd_ = -1;
    FileStamp stamp_;
    LoadedFile read_;  // the bytes where the file was read instead
};

// An output written whole to its temporary file, waiting to take its name. Dropped without being
// committed, it leaves no trace.
class PreparedOutput {
  public:
    PreparedOutput() = default;
    PreparedOutput(PreparedOutput&& other) noexcept;
    PreparedOutput& operator=(PreparedOutput&& other) noexcept;
    PreparedOutput(const PreparedOutput&) = delete;
    PreparedOutput& operator=(const PreparedOutput&) = delete;
    ~PreparedOutput();

    // False when a source document changed while the output was written: nothing was prepared.
    bool ready() const { return handle_ != kNoHandle; }
    const std::string& path() const { return path_; }

  private:
    friend class Files;
    static constexpr std::intptr_t kNoHandle = -1;
    void Discard() noexcept;

    std::string path_;       // where the output goes
    std::string temporary_;  // the temporary file's name, where it has one
    std::intptr_t handle_ = kNoHandle;
    const Files* files_ = nullptr;
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

    // Opens an old document for one look at its bytes.
    OpenDocument Open(const std::string& path) const;

    // Writes the concatenation of `pieces` to `path` so that `path` either keeps what it held or
    // holds the complete new content. The bytes go to a temporary file in the same folder that
    // has a name only once it is complete, just before it is renamed over `path`, and that
    // vanishes with the process where the system allows. A link at `path` is replaced.
    void Replace(const std::string& path, std::span<const std::string_view> pieces) const;

    // The first half of Replace: the output written whole, not yet in place. Pieces that lie in
    // `source`'s bytes are copied from its file; if that file changed meanwhile, the result is
    // not ready and nothing is left behind.
    PreparedOutput Prepare(const std::string& path, std::span<const std::string_view> pieces,
                           const OpenDocument* source = nullptr) const;
    // The second half: the prepared output takes its final name.
    void Commit(PreparedOutput& output) const;

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
    friend class PreparedOutput;
    bool Allows(FileCall call) const { return gate_ == nullptr || gate_->Allow(call); }

    FileCallGate* gate_ = nullptr;
};

}  // namespace orba
