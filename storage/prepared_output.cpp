#include "storage/prepared_output.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "storage/file_error.h"
#include "storage/paths.h"
#include "storage/temporary_names.h"
#include "storage/uninterrupted.h"

namespace orba {

namespace {

// Tries fresh temporary names of the run `files` makes in `folder` until `take` accepts one that
// nothing else holds.
template <class Take>
bool WithFreshName(const Files& files, const std::string& folder, std::string& name, Take&& take) {
    const sys::System& system = files.system();
    const std::string& run = files.run().name();
    constexpr int kAttempts = 16;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string candidate = TemporaryPathIn(folder, run, system.ProcessNumber());
        if (take(candidate)) {
            name = std::move(candidate);
            return true;
        }
        if (!sys::IsNameTaken(sys::LastError())) {
            return false;
        }
    }
    return false;
}

// Calls `each` for every item, from this thread and up to kAtOnce - 1 others: a slow device
// merges the flushes that are under way together. The first exception thrown ends the work and is
// thrown again once every thread is done. Where no thread can be had, this one does it all.
template <class Item, class Each>
void OnThreads(std::span<Item> items, Each&& each) {
    constexpr std::size_t kAtOnce = 16;
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::exception_ptr failure;
    const auto work = [&] {
        for (std::size_t at = next++; at < items.size(); at = next++) {
            try {
                each(items[at]);
            } catch (...) {
                const std::lock_guard lock(mutex);
                failure = failure ? failure : std::current_exception();
                next = items.size();
            }
        }
    };
    {
        std::vector<std::jthread> threads;
        try {
            while (threads.size() + 1 < std::min(kAtOnce, items.size())) {
                threads.emplace_back(work);
            }
        } catch (const std::system_error&) {
            // Those started, and this one, do the work.
        }
        work();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

}  // namespace

PreparedOutput::PreparedOutput(const Files& files, std::string path)
    : files_(files), path_(std::move(path)) {
    const std::string folder = FolderOf(path_);
    if (Create(folder)) {
        return;
    }
    // Another run that ended before its first output may have taken away the folder it made, as
    // this run began to write into it: the run's output folder is made again, once.
    if (!sys::IsMissing(sys::LastError()) || folder != files_.run().outputFolder) {
        Fail(sys::LastError());
    }
    files_.CreateFolder(folder);
    files_.run().remadeFolder = true;
    if (!Create(folder)) {
        Fail(sys::LastError());
    }
}

bool PreparedOutput::Create(const std::string& folder) {
    if (sys::kUnnamedFiles && !files_.run().noUnnamedFiles) {
        file_ = system().CreateUnnamed(folder);
        if (file_ != sys::kNoFile) {
            return true;
        }
        // Only file systems without unnamed files fall back to a named one; other errors stand.
        if (sys::LastError() != sys::NotSupported()) {
            return false;
        }
        files_.run().noUnnamedFiles = true;
    }
    return WithFreshName(files_, folder, temporary_, [&](const std::string& candidate) {
        file_ = system().CreateExclusive(candidate);
        return file_ != sys::kNoFile;
    });
}

PreparedOutput::~PreparedOutput() {
    Discard();
}

void PreparedOutput::Write(std::string_view bytes) {
    // Small pieces are gathered into one write: on a share every call is a round trip.
    constexpr std::size_t kGathered = std::size_t{64} << 10;
    if (gathered_.size() + bytes.size() <= kGathered) {
        gathered_.append(bytes);
    } else {
        Complete();
        WriteNow(bytes);
    }
    size_ += bytes.size();
    flushed_ = false;
}

void PreparedOutput::Complete() {
    if (!gathered_.empty()) {
        WriteNow(gathered_);
        gathered_.clear();
    }
}

void PreparedOutput::WriteNow(std::string_view bytes) {
    constexpr std::size_t kLargestCall = std::size_t{1} << 30;
    std::uint64_t offset = size_ - gathered_.size();
    while (!bytes.empty()) {
        const std::size_t chunk = std::min(bytes.size(), kLargestCall);
        const std::int64_t written =
            Uninterrupted([&] { return system().WriteAt(file_, offset, bytes.data(), chunk); },
                          [](std::int64_t count) { return count < 0; });
        if (written <= 0) {
            Fail(written < 0 ? sys::LastError() : sys::DeviceError());
        }
        offset += static_cast<std::uint64_t>(written);
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void PreparedOutput::Repeat(std::uint64_t offset, std::uint64_t length, std::span<char> buffer) {
    Complete();  // what is repeated is read back from the file
    while (length > 0) {
        const auto wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(length, buffer.size()));
        const std::int64_t got =
            Uninterrupted([&] { return system().ReadAt(file_, offset, buffer.data(), wanted); },
                          [](std::int64_t count) { return count < 0; });
        if (got <= 0) {  // the file is this run's own: it cannot end early
            Fail(got < 0 ? sys::LastError() : sys::DeviceError());
        }
        Write({buffer.data(), static_cast<std::size_t>(got)});
        offset += static_cast<std::uint64_t>(got);
        length -= static_cast<std::uint64_t>(got);
    }
}

void PreparedOutput::Flush() {
    Complete();
    if (files_.durability() == Durability::OnDisk && !flushed_ && failure_ == 0) {
        FlushNow();
    }
    if (failure_ != 0) {
        Fail(failure_);
    }
}

void PreparedOutput::FlushNow() {
    // A signal may interrupt a flush on a slow device; the flush is made again.
    if (Uninterrupted([&] { return system().Flush(file_); })) {
        flushed_ = true;
    } else {
        Failed(sys::LastError());
    }
}

void PreparedOutput::FlushTogether(std::span<PreparedOutput* const> outputs, bool wholeFileSystem) {
    std::vector<PreparedOutput*> due;
    for (PreparedOutput* output : outputs) {
        // One with bytes still gathered is flushed at its commit, where a failure to write them
        // is told.
        if (output->files_.durability() == Durability::OnDisk && !output->flushed_ &&
            output->failure_ == 0 && output->gathered_.empty()) {
            due.push_back(output);
        }
    }
    if (due.empty()) {
        return;
    }
    if (!wholeFileSystem) {
        OnThreads(std::span(due), [](PreparedOutput* output) {
            output->files_.ThrowIfStopped();
            output->FlushNow();
        });
        return;
    }
    // Each file's data is written out while those before it are waited for, file by file, so
    // that a stop is seen between two; the file system's flush then finds it all written and
    // commits its journal once. No more than about kWrittenOutAhead bytes are under way beyond the
    // file waited for: an output dropped at a stop waits at its close for what is under way.
    const Files& files = due.front()->files_;
    const sys::System& system = due.front()->system();
    const auto writeOut = [&](PreparedOutput* output, bool wait) {
        files.ThrowIfStopped();
        if (output->failure_ == 0 &&
            !Uninterrupted([&] { return system.WriteOut(output->file_, wait); })) {
            output->Failed(sys::LastError());
        }
    };
    constexpr std::uint64_t kWrittenOutAhead = std::uint64_t{1} << 20;
    std::size_t started = 0;
    std::uint64_t underWay = 0;
    for (PreparedOutput* output : due) {
        while (started < due.size() && (due[started] == output || underWay < kWrittenOutAhead)) {
            writeOut(due[started], false);
            underWay += due[started++]->size_;
        }
        writeOut(output, true);
        underWay -= output->size_;
    }
    files.ThrowIfStopped();
    const bool flushed = Uninterrupted([&] { return system.FlushFileSystem(due.front()->file_); });
    const int error = sys::LastError();
    for (PreparedOutput* output : due) {
        if (output->failure_ != 0) {
            continue;
        }
        if (flushed) {
            output->flushed_ = true;
        } else {
            // Not known to be on the disk: the file system does not say whose write failed.
            output->Failed(error);
        }
    }
}

void PreparedOutput::Commit() {
    // Whatever the system can still report about the writes comes before the rename, while a
    // failure leaves the earlier output as it was.
    Flush();
    // Where the temporary is closed before its rename, its close tells what the check would.
    if (!files_.run().noRenameWhileOpen && !system().CheckWrites(file_)) {
        Fail(sys::LastError());
    }
    if (temporary_.empty()) {
        const auto giveName = [&] {
            return WithFreshName(files_, FolderOf(path_), temporary_,
                                 [&](const auto& name) { return system().GiveName(file_, name); });
        };
        bool named = giveName();
        if (!named && sys::IsMissing(sys::LastError()) &&
            FolderOf(path_) == files_.run().outputFolder) {  // taken away meanwhile
            files_.CreateFolder(FolderOf(path_));
            files_.run().remadeFolder = true;
            named = giveName();
        }
        if (!named) {
            Fail(sys::LastError());
        }
    }
    // Some shares refuse to rename a file that is still open, even by its writer (EBUSY, a lock
    // violation): there the temporary, written, checked and flushed, is closed first and renamed
    // by its name. The first output finds out; those after it close first.
    const auto rename = [&] {
        return Uninterrupted([&] { return system().MoveIntoPlace(file_, temporary_, path_); });
    };
    if (files_.run().noRenameWhileOpen) {
        CloseForRename();
    }
    bool moved = rename();
    const bool refusedWhileOpen = !moved && file_ != sys::kNoFile;
    if (refusedWhileOpen) {
        const int error = sys::LastError();
        if (!system().IsHeld(error, path_)) {
            Fail(error);
        }
        CloseForRename();
    }
    // A virus scanner, a sync client or a preview may hold the earlier output for a moment.
    if (!moved) {
        int tries = 0;
        moved = files_.WhileHeld(
            path_, FileError::Operation::Write,
            [&] {
                ++tries;
                return rename();
            },
            [](bool done) { return !done; });
        if (moved && refusedWhileOpen && tries == 1) {
            files_.run().noRenameWhileOpen = true;
        }
    }
    if (!moved) {
        Fail(sys::LastError());
    }
    // The name is the output's now, and all it holds was written and checked: closing it can
    // report nothing that was not reported before.
    temporary_.clear();
    if (file_ != sys::kNoFile) {
        system().Close(std::exchange(file_, sys::kNoFile));
    }
}

void PreparedOutput::CloseForRename() {
    // The run's mark, made before the first of its temporaries is closed, keeps the clean-up of
    // other runs away from them until the run ends.
    if (!files_.run().Mark(FolderOf(path_)) || !system().KeepAtClose(file_)) {
        Fail(sys::LastError());
    }
    if (!system().Close(std::exchange(file_, sys::kNoFile))) {
        Fail(sys::LastError());
    }
}

// Every failure's error is taken before the output is discarded (Fail): the calls here may leave
// their own.
void PreparedOutput::Discard() noexcept {
    if (file_ == sys::kNoFile) {
        if (!temporary_.empty()) {  // closed for its rename
            system().RemoveName(sys::kNoFile, std::exchange(temporary_, {}));
        }
        return;
    }
    const sys::Native file = std::exchange(file_, sys::kNoFile);
    const bool removed = temporary_.empty() || system().RemoveName(file, temporary_);
    system().Close(file);
    if (!removed) {
        system().RemoveName(sys::kNoFile, temporary_);  // a name the open file kept
    }
    temporary_.clear();
}

void PreparedOutput::Fail(int error) {
    Discard();
    throw FileError(FileError::Operation::Write, path_, sys::Reason(error), sys::IsDiskFull(error));
}

}  // namespace orba
