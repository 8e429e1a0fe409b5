#pragma once

// The file calls of a run: reading a document, writing an output, creating the output folder,
// listing the old-version folder, testing for files. A run is handed one `Files`, which makes
// every call through one `sys::System`; a test hands it a wrapped one. Every failure throws
// FileError naming the file and the reason.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "storage/file_error.h"
#include "storage/file_stamp.h"
#include "storage/system.h"

namespace orba {

// Takes a file's bytes as they are read, from its start, in one pass. A pass that saw the file
// change is void: the next one starts with Restart.
class ReadingSink {
  public:
    virtual ~ReadingSink() = default;
    // A pass begins; `sizeHint` is what the system says the file's size is, or 0 where it tells
    // no size that can be trusted (virtual file systems tell 0 or a page whatever their length).
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

// What a run does while another program (a virus scanner, a sync client, a preview) holds a file
// it needs: it waits and tries again. With documents prepared ahead, asked from several threads.
class HeldFileWait {
  public:
    virtual ~HeldFileWait() = default;
    // Waits `pause`; false when the user ended the program meanwhile.
    virtual bool Pause(std::chrono::milliseconds pause) = 0;
};

// When an output counts as written.
enum class Durability {
    Written,  // handed to the system, which puts it on the disk when it will, as cp does
    OnDisk,   // on the disk before it takes its name, and its folder's names at the end
};

class Files {
  public:
    // One run's own over its output folder: what the folder's file system was found to refuse,
    // learnt by the first output that met it and kept for those after it, and the run's name and
    // mark (see RunMarkName). Shared by every copy of a Files; the last removes the mark.
    class RunState {
      public:
        explicit RunState(const sys::System& system);
        RunState(const RunState&) = delete;
        RunState& operator=(const RunState&) = delete;
        ~RunState();

        const std::string& name() const { return name_; }
        // Makes the run's mark in `folder` unless it stands; false, with the system's error,
        // when it cannot be made.
        bool Mark(const std::string& folder);

        std::atomic<bool> noUnnamedFiles{false};
        std::atomic<bool> noRenameWhileOpen{false};  // not even a file its writer holds open
        // The folder the run writes its outputs into, set before its first output: where another
        // run takes it away, the run makes it again, and its name in its parent is then this
        // run's to put on the disk (remadeFolder).
        std::string outputFolder;
        std::atomic<bool> remadeFolder{false};
        // Where one flush of the output folder's file system reaches every file, outputs that
        // stand as they would be written are put on the disk by one flush at the end (see
        // FlushFileSystemOf), not each by its own: whether there are such, left to flush.
        std::atomic<bool> flushStandingTogether{false};
        std::atomic<bool> standingLeftToFlush{false};

      private:
        void ReleaseMark();

        const sys::System& system_;
        std::string name_;
        std::mutex mutex_;
        std::string mark_;
        sys::Native markFile_ = sys::kNoFile;
    };

    Files() : Files(sys::TheSystem()) {}  // the system's own calls, no flushing, waits by sleeping
    explicit Files(const sys::System& system, Durability durability = Durability::Written)
        : system_(&system), durability_(durability), run_(std::make_shared<RunState>(system)) {}

    const sys::System& system() const { return *system_; }
    Durability durability() const { return durability_; }

    // The same calls, waiting through `wait` while a file is held.
    Files WaitingThrough(HeldFileWait& wait) const;
    // The same calls, given up with WaitEnded once `stop` is requested: a read between two of its
    // pieces, a wait between two pauses. Safe from any thread, so documents prepared ahead stop
    // too.
    Files StoppingAt(std::stop_token stop) const;
    // Throws WaitEnded when a stop was requested.
    void ThrowIfStopped() const;
    // The same calls, for a run of its own: nothing learnt yet, no mark.
    Files LearningAnew() const;
    RunState& run() const { return *run_; }

    // How long a run waits for a file that another program holds before it gives up, in pauses
    // that grow from a few milliseconds to about a second.
    static constexpr std::chrono::milliseconds kHeldFileLimit{10'000};

    // Reads the file at `path` from its start into `sink`, again from the start while another
    // program changes it during a pass; if it keeps changing, this fails saying so. Only the last
    // pass counts: it saw one state of the file from its first byte to the last it read. False
    // when that state was made just now, so that a writer may be in the middle of it.
    bool Read(const std::string& path, ReadingSink& sink) const;
    // How many passes a read makes over a file that changes under each of them before it fails.
    static constexpr int kConsistentReadPasses = 5;

    // Reads as Read until `complete` says that what was read is whole, or until the file has been
    // left alone for a moment: a state that is not whole and was made just now may be a writer's
    // halfway point (an editor saving in place), so it is read again after a pause. A file that
    // keeps changing fails as Read does.
    void ReadComplete(const std::string& path, ReadingSink& sink,
                      const std::function<bool()>& complete) const;

    // Reads the whole file at `path`, as Read.
    LoadedFile Load(const std::string& path) const {
        LoadedFile file;
        Read(path, file);
        return file;
    }

    // With Durability::OnDisk, puts the file that stands at `path` on the disk as it is, without
    // writing to it; otherwise nothing. False where it cannot be opened or flushed so.
    bool FlushStanding(const std::string& path) const;
    // With Durability::OnDisk, puts every file of the file system that holds `folder` on the
    // disk (syncfs); fails, naming the folder, where it cannot.
    void FlushFileSystemOf(const std::string& folder) const;
    // Creates one folder level; a folder already standing there, made by whoever, is fine.
    void CreateFolder(const std::string& path) const;
    // Removes the folder if it is empty; best effort, as clean-up is.
    void RemoveEmptyFolder(const std::string& path) const { system_->RemoveEmptyFolder(path); }

    // With Durability::OnDisk, puts the names given in `folder` on the disk; otherwise nothing.
    // A file system that keeps no folder of its own to flush may refuse: that is its answer, as
    // SQLite takes it, and the system's words for it are returned.
    std::optional<std::string> FlushFolder(const std::string& folder) const;

    // Every entry of `folder`, with what it is: hidden by the system's rule (a leading dot on
    // POSIX, the hidden or system attribute on Windows), a folder, an ordinary file. Fails when
    // the folder cannot be read.
    std::vector<sys::FolderEntry> ListEntries(const std::string& folder) const;
    // Whether `folder` holds at least one ordinary file; none when it cannot be listed.
    std::optional<bool> HasOrdinaryFiles(const std::string& folder) const;

    // What stands at `path`, in one look: another run may make or remove it meanwhile.
    sys::PathKind KindOf(const std::string& path) const { return system_->KindOf(path); }
    bool IsFolder(const std::string& path) const {
        return system_->KindOf(path) == sys::PathKind::Folder;
    }
    bool IsSameFile(const std::string& a, const std::string& b) const {
        return system_->IsSameFile(a, b);
    }
    // Whether the folders `a` and `b` are one, decided by what they hold: a file made in `a` shows
    // in `b` (a link, a bind mount, another mount of the same folder, a share of the same disk).
    // The file is removed again; where none can be made, they are taken for two.
    bool ShowTheSameFiles(const std::string& a, const std::string& b) const;
    // Whether one flush of the file system that holds `folder` reaches every file on it.
    bool OneFlushReachesEveryFile(const std::string& folder) const {
        return system_->OneFlushReachesEveryFile(folder);
    }
    // The room left to this user on the file system that holds `folder`; none where the system
    // does not say.
    std::optional<std::uint64_t> FreeSpace(const std::string& folder) const {
        std::uint64_t bytes = 0;
        return system_->FreeSpace(folder, bytes) ? std::optional(bytes) : std::nullopt;
    }

    // Removes the temporary files that runs which are no longer alive left in `folder`; never one
    // that a live run is writing. Clean-up is best effort: what cannot be removed is left.
    void RemoveLeftovers(const std::string& folder) const;

    // Makes `call` again, after growing pauses, while it fails because another program holds
    // `path`, up to kHeldFileLimit; `failed` tells a failed result. Giving up fails as FileError
    // with `operation`, saying that another program is using the file.
    template <class Call, class Failed>
    auto WhileHeld(const std::string& path, FileError::Operation operation, Call&& call,
                   Failed&& failed) const -> decltype(call());

    // Waits `pause` as the run waits for a held file; throws WaitEnded when the user ended the
    // program meanwhile.
    void Pause(std::chrono::milliseconds pause) const;

  private:
    // Waits before the next try; throws when the wait is over.
    void WaitForHeld(const std::string& path, FileError::Operation operation,
                     std::chrono::milliseconds& pause, std::chrono::milliseconds& waited) const;

    const sys::System* system_;
    Durability durability_ = Durability::Written;
    HeldFileWait* wait_ = nullptr;
    std::stop_token stop_;
    std::shared_ptr<RunState> run_;
};

template <class Call, class Failed>
auto Files::WhileHeld(const std::string& path, FileError::Operation operation, Call&& call,
                      Failed&& failed) const -> decltype(call()) {
    std::chrono::milliseconds pause{5};
    std::chrono::milliseconds waited{0};
    for (;;) {
        auto result = call();
        if (!failed(result) || !system_->IsHeld(sys::LastError(), path)) {
            return result;
        }
        WaitForHeld(path, operation, pause, waited);
    }
}

}  // namespace orba
