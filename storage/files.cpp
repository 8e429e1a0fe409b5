#include "storage/files.h"

#include <algorithm>
#include <cstring>
#include <thread>
#include <utility>

#include "storage/paths.h"
#include "storage/temporary_names.h"
#include "storage/uninterrupted.h"

namespace orba {

namespace {

// Closes a file opened for reading when it leaves scope.
class ReadHandle {
  public:
    ReadHandle(const sys::System& system, sys::Native file) : system_(system), file_(file) {}
    ReadHandle(const ReadHandle&) = delete;
    ReadHandle& operator=(const ReadHandle&) = delete;
    ~ReadHandle() {
        if (file_ != sys::kNoFile) {
            system_.Close(file_);
        }
    }
    sys::Native get() const { return file_; }

  private:
    const sys::System& system_;
    sys::Native file_;
};

[[noreturn]] void ThrowError(FileError::Operation operation, const std::string& path, int error) {
    throw FileError(operation, path, sys::Reason(error));
}

// Without a waiter to wait through, a wait is a sleep.
class SleepingWait final : public HeldFileWait {
  public:
    bool Pause(std::chrono::milliseconds pause) override {
        std::this_thread::sleep_for(pause);
        return true;
    }
};

}  // namespace

void LoadedFile::Reserve(std::size_t capacity) {
    if (capacity <= capacity_) {
        return;
    }
    // Not zero-filled: every byte up to size_ is written before it is read.
    auto grown = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ > 0) {
        std::memcpy(grown.get(), data_.get(), size_);
    }
    data_ = std::move(grown);
    capacity_ = capacity;
}

void LoadedFile::Restart(std::uint64_t sizeHint) {
    size_ = 0;
    // One byte more than the size told, so that the end of the file is met without growing.
    Reserve(static_cast<std::size_t>(std::min<std::uint64_t>(sizeHint, SIZE_MAX - 1)) + 1);
}

std::span<char> LoadedFile::Room() {
    if (size_ == capacity_) {
        Reserve(std::max<std::size_t>(2 * capacity_, 4096));
    }
    return {data_.get() + size_, capacity_ - size_};
}

Files Files::WaitingThrough(HeldFileWait& wait) const {
    Files waiting = *this;
    waiting.wait_ = &wait;
    return waiting;
}

Files Files::StoppingAt(std::stop_token stop) const {
    Files stopping = *this;
    stopping.stop_ = std::move(stop);
    return stopping;
}

Files Files::LearningAnew() const {
    Files fresh = *this;
    fresh.run_ = std::make_shared<RunState>(*system_);
    return fresh;
}

Files::RunState::RunState(const sys::System& system)
    : system_(system), name_(NewRunName(system.ProcessNumber())) {}

Files::RunState::~RunState() {
    ReleaseMark();
}

void Files::RunState::ReleaseMark() {
    if (markFile_ == sys::kNoFile) {
        return;
    }
    // Best effort, as clean-up is: a mark left behind is another run's to remove. A share that
    // removes no open file may still hold it a moment after its close, which FUSE tells the
    // server later.
    bool removed = system_.RemoveName(markFile_, mark_);
    system_.Close(markFile_);
    for (std::chrono::milliseconds pause{1}; !removed && pause < std::chrono::milliseconds{200};
         pause *= 2) {
        removed = system_.RemoveName(sys::kNoFile, mark_);
        if (!removed && system_.IsHeld(sys::LastError(), mark_)) {
            std::this_thread::sleep_for(pause);
        } else {
            break;
        }
    }
    markFile_ = sys::kNoFile;
    mark_.clear();
}

bool Files::RunState::Mark(const std::string& folder) {
    const std::lock_guard lock(mutex_);
    const std::string mark = JoinPath(folder, RunMarkName(name_));
    if (markFile_ != sys::kNoFile && mark == mark_) {
        return true;
    }
    // A run through a folder tree moves on to the next output folder only once every temporary
    // of the one before took its name or is gone: its mark there has served.
    ReleaseMark();
    mark_ = mark;
    markFile_ = system_.CreateExclusive(mark_);
    return markFile_ != sys::kNoFile;
}

void Files::ThrowIfStopped() const {
    if (stop_.stop_requested()) {
        throw WaitEnded();
    }
}

void Files::WaitForHeld(const std::string& path, FileError::Operation operation,
                        std::chrono::milliseconds& pause, std::chrono::milliseconds& waited) const {
    // The call is made again after the pause, and says anew why it failed.
    if (waited >= kHeldFileLimit) {
        throw FileError(operation, path, OwnReason::HeldByAnotherProgram,
                        sys::Reason(sys::LastError()));
    }
    Pause(pause);
    waited += pause;
    constexpr std::chrono::milliseconds kLongestPause{1'000};
    pause = std::min(2 * pause, kLongestPause);
}

void Files::Pause(std::chrono::milliseconds pause) const {
    SleepingWait sleeping;
    HeldFileWait& wait = wait_ != nullptr ? *wait_ : sleeping;
    ThrowIfStopped();
    if (!wait.Pause(pause)) {
        throw WaitEnded();
    }
    ThrowIfStopped();
}

void Files::ReadComplete(const std::string& path, ReadingSink& sink,
                         const std::function<bool()>& complete) const {
    // Pauses of a quarter of the time a change counts as just made: a state that stays is taken
    // after four of them.
    constexpr int kReads = 8;
    for (int read = 1;; ++read) {
        const bool settled = Read(path, sink);
        if (settled || complete()) {
            return;
        }
        if (read == kReads) {
            throw FileError(FileError::Operation::Read, path, OwnReason::ChangedWhileRead);
        }
        Pause(std::chrono::milliseconds(sys::kJustNowMilliseconds / 4));
    }
}

bool Files::Read(const std::string& path, ReadingSink& sink) const {
    using Operation = FileError::Operation;
    ThrowIfStopped();
    const ReadHandle file(*system_,
                          WhileHeld(
                              path, Operation::Read, [&] { return system_->OpenToRead(path); },
                              [](sys::Native opened) { return opened == sys::kNoFile; }));
    if (file.get() == sys::kNoFile) {
        ThrowError(Operation::Read, path, sys::LastError());
    }
    sys::FileKind kind;
    const auto stamp = [&](FileStamp& into) {
        if (!system_->Stamp(file.get(), into, kind)) {
            ThrowError(Operation::Read, path, sys::LastError());
        }
        if (!kind.regular) {
            throw FileError(Operation::Read, path, OwnReason::NotARegularFile);
        }
    };
    // A pass is consistent when nothing that identifies the file's content changed from before
    // its first read to after its last; a torn pass is made again.
    for (int pass = 1;; ++pass) {
        FileStamp before;
        stamp(before);
        // A size that virtual files tell (0 or a page, whatever their length) is no hint.
        sink.Restart(kind.sizeIsExact ? before.size : 0);
        // The read goes on to the end of the file, whatever size the system told, unless the
        // sink has all it needs.
        std::uint64_t offset = 0;
        bool reachedEnd = false;
        for (;;) {
            ThrowIfStopped();
            // Pieces of a bounded size, so that a stop is seen soon even in a large file.
            constexpr std::size_t kLargestPiece = std::size_t{1} << 20;
            std::span<char> room = sink.Room();
            room = room.first(std::min(room.size(), kLargestPiece));
            if (room.empty()) {
                break;
            }
            // A program may lock a stretch of the file for a moment.
            const auto failed = [](std::int64_t count) { return count < 0; };
            const std::int64_t got = Uninterrupted(
                [&] {
                    return WhileHeld(
                        path, Operation::Read,
                        [&] {
                            return system_->ReadAt(file.get(), offset, room.data(), room.size());
                        },
                        failed);
                },
                failed);
            if (got < 0) {
                ThrowError(Operation::Read, path, sys::LastError());
            }
            if (got == 0) {
                reachedEnd = true;
                break;
            }
            offset += static_cast<std::uint64_t>(got);
            sink.Took(static_cast<std::size_t>(got));
        }
        FileStamp after;
        stamp(after);
        // File times may move in coarse ticks: a file emptied and written anew within one tick
        // keeps its stamp, but a read that met its end early saw it empty or half-written.
        const bool torn = reachedEnd && kind.sizeIsExact && offset != after.size;
        if (before == after && !torn) {
            return !kind.changedJustNow;
        }
        if (pass == kConsistentReadPasses) {
            throw FileError(Operation::Read, path, OwnReason::ChangedWhileRead);
        }
    }
}

void Files::CreateFolder(const std::string& path) const {
    if (system_->MakeFolder(path)) {
        return;
    }
    const int error = sys::LastError();
    // Another run may have made it a moment ago.
    if (IsFolder(path)) {
        return;
    }
    ThrowError(FileError::Operation::CreateFolder, path, error);
}

bool Files::ShowTheSameFiles(const std::string& a, const std::string& b) const {
    const std::string probe = TemporaryPathIn(a, run_->name(), system_->ProcessNumber());
    const sys::Native file = system_->CreateExclusive(probe);
    if (file == sys::kNoFile) {
        return false;
    }
    const bool same = system_->KindOf(JoinPath(b, NameOf(probe))) != sys::PathKind::Nothing;
    const bool removed = system_->RemoveName(file, probe);
    system_->Close(file);
    if (!removed) {
        system_->RemoveName(sys::kNoFile, probe);  // a share that removes no open file
    }
    return same;
}

bool Files::FlushStanding(const std::string& path) const {
    if (durability_ != Durability::OnDisk) {
        return true;
    }
    const ReadHandle file(*system_, system_->OpenToRead(path));
    if (file.get() == sys::kNoFile) {
        return false;
    }
    return Uninterrupted([&] { return system_->Flush(file.get()); });
}

void Files::FlushFileSystemOf(const std::string& folder) const {
    if (durability_ != Durability::OnDisk) {
        return;
    }
    const ReadHandle opened(*system_, system_->OpenToRead(folder));
    if (opened.get() == sys::kNoFile || !system_->FlushFileSystem(opened.get())) {
        ThrowError(FileError::Operation::Write, folder, sys::LastError());
    }
}

std::optional<std::string> Files::FlushFolder(const std::string& folder) const {
    if (durability_ != Durability::OnDisk) {
        return std::nullopt;
    }
    if (!Uninterrupted([&] { return system_->FlushFolder(folder); })) {
        const int error = sys::LastError();
        if (sys::IsFolderFlushRefusal(error)) {
            return sys::Reason(error);
        }
        ThrowError(FileError::Operation::Write, folder, error);
    }
    return std::nullopt;
}

std::vector<sys::FolderEntry> Files::ListEntries(const std::string& folder) const {
    std::vector<sys::FolderEntry> entries;
    if (!system_->ListFolder(folder, entries)) {
        ThrowError(FileError::Operation::ListFolder, folder, sys::LastError());
    }
    return entries;
}

std::optional<bool> Files::HasOrdinaryFiles(const std::string& folder) const {
    std::vector<sys::FolderEntry> entries;
    if (!system_->ListFolder(folder, entries)) {
        return std::nullopt;
    }
    return std::any_of(entries.begin(), entries.end(),
                       [](const sys::FolderEntry& entry) { return entry.IsVisibleOrdinaryFile(); });
}

void Files::RemoveLeftovers(const std::string& folder) const {
    std::vector<sys::FolderEntry> entries;
    system_->ListFolder(folder, entries);  // what could be listed is cleaned
    // The temporaries first, each with its run's mark, then the marks of runs no longer alive.
    for (const bool marks : {false, true}) {
        for (const sys::FolderEntry& entry : entries) {
            if (entry.ordinaryFile && !marks && IsTemporaryName(entry.name)) {
                const auto run = RunOf(entry.name);
                system_->RemoveIfAbandoned(folder, entry.name,
                                           run ? RunMarkName(*run) : std::string());
            } else if (entry.ordinaryFile && marks && IsRunMarkName(entry.name)) {
                system_->RemoveIfAbandoned(folder, entry.name, {});
            }
        }
    }
}

}  // namespace orba
