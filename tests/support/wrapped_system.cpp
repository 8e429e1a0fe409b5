#include "tests/support/wrapped_system.h"

#include <atomic>
#include <memory>

#include "tests/support/test_support.h"

namespace orba::test {

namespace {

// The call made, unless `error` refuses it: then it fails as the real call fails, with `failure`
// and the error code left for LastError.
template <class Result, class Call>
Result Through(const std::optional<int>& error, Result failure, Call&& call) {
    if (!error) {
        return call();
    }
    sys::SetLastError(*error);
    return failure;
}

}  // namespace

std::string WrappedSystem::PathOf(sys::Native file) const {
    const std::lock_guard lock(pathsMutex_);
    const auto found = paths_.find(file);
    return found == paths_.end() ? std::string() : found->second;
}

sys::Native WrappedSystem::Opened(sys::Native file, const std::string& path) const {
    if (file != sys::kNoFile) {
        Named(file, path);
    }
    return file;
}

void WrappedSystem::Named(sys::Native file, const std::string& path) const {
    const std::lock_guard lock(pathsMutex_);
    paths_[file] = path;
}

void WrappedSystem::Closed(sys::Native file) const {
    const std::lock_guard lock(pathsMutex_);
    paths_.erase(file);
}

sys::Native WrappedSystem::OpenToRead(const std::string& path) const {
    return Through(Ask(Call::OpenToRead, path), sys::kNoFile,
                   [&] { return Opened(inner_.OpenToRead(path), path); });
}

bool WrappedSystem::Stamp(sys::Native file, FileStamp& stamp, sys::FileKind& kind) const {
    return Through(Ask(Call::Stamp, file), false, [&] { return inner_.Stamp(file, stamp, kind); });
}

std::int64_t WrappedSystem::ReadAt(sys::Native file, std::uint64_t offset, char* data,
                                   std::size_t size) const {
    return Through(Ask(Call::ReadAt, file), std::int64_t{-1},
                   [&] { return inner_.ReadAt(file, offset, data, size); });
}

std::int64_t WrappedSystem::WriteAt(sys::Native file, std::uint64_t offset, const char* data,
                                    std::size_t size) const {
    const std::int64_t written = Through(Ask(Call::WriteAt, file), std::int64_t{-1},
                                         [&] { return inner_.WriteAt(file, offset, data, size); });
    After({Call::WriteAt,
           PathOf(file),
           file,
           written > 0,
           {},
           offset,
           std::string_view(data, written > 0 ? static_cast<std::size_t>(written) : 0)});
    return written;
}

bool WrappedSystem::Flush(sys::Native file) const {
    const bool flushed = Through(Ask(Call::Flush, file), false, [&] { return inner_.Flush(file); });
    After({Call::Flush, PathOf(file), file, flushed});
    return flushed;
}

bool WrappedSystem::OneFlushReachesEveryFile(const std::string& folder) const {
    return Through(
        Ask(Call::OneFlushReachesEveryFile, folder, refusals_.oneFlush, sys::NotSupported()), false,
        [&] { return inner_.OneFlushReachesEveryFile(folder); });
}

bool WrappedSystem::WriteOut(sys::Native file, bool wait) const {
    const bool written =
        Through(Ask(Call::WriteOut, file), false, [&] { return inner_.WriteOut(file, wait); });
    After({Call::WriteOut, PathOf(file), file, written});
    return written;
}

bool WrappedSystem::FlushFileSystem(sys::Native file) const {
    const bool flushed = Through(Ask(Call::FlushFileSystem, file), false,
                                 [&] { return inner_.FlushFileSystem(file); });
    After({Call::FlushFileSystem, PathOf(file), file, flushed});
    return flushed;
}

bool WrappedSystem::CheckWrites(sys::Native file) const {
    const bool checked =
        Through(Ask(Call::CheckWrites, file), false, [&] { return inner_.CheckWrites(file); });
    After({Call::CheckWrites, PathOf(file), file, checked});
    return checked;
}

bool WrappedSystem::Close(sys::Native file) const {
    // A refused close still lets the file go, as the system does when it reports a failure.
    const std::optional<int> error = Ask(Call::Close, file);
    const std::string path = PathOf(file);
    Closed(file);
    const bool closed = Through(error, false, [&, done = inner_.Close(file)] { return done; });
    After({Call::Close, path, file, closed});
    return closed;
}

sys::Native WrappedSystem::CreateUnnamed(const std::string& folder) const {
    const sys::Native file =
        Through(Ask(Call::CreateUnnamed, folder, refusals_.unnamedFiles, sys::NotSupported()),
                sys::kNoFile, [&] { return Opened(inner_.CreateUnnamed(folder), folder); });
    After({Call::CreateUnnamed, folder, file, file != sys::kNoFile});
    return file;
}

sys::Native WrappedSystem::CreateExclusive(const std::string& path) const {
    const sys::Native file = Through(Ask(Call::CreateExclusive, path), sys::kNoFile,
                                     [&] { return Opened(inner_.CreateExclusive(path), path); });
    After({Call::CreateExclusive, path, file, file != sys::kNoFile});
    return file;
}

bool WrappedSystem::GiveName(sys::Native file, const std::string& path) const {
    const bool named = Through(Ask(Call::GiveName, path), false, [&] {
        const bool done = inner_.GiveName(file, path);
        if (done) {
            Named(file, path);
        }
        return done;
    });
    After({Call::GiveName, path, file, named});
    return named;
}

bool WrappedSystem::MoveIntoPlace(sys::Native file, const std::string& temporary,
                                  const std::string& path) const {
    const bool moved = Through(Ask(Call::MoveIntoPlace, path,
                                   refusals_.renameWhileOpen && file != sys::kNoFile, HeldError()),
                               false, [&] {
                                   const bool done = inner_.MoveIntoPlace(file, temporary, path);
                                   if (done && file != sys::kNoFile) {
                                       Named(file, path);
                                   }
                                   return done;
                               });
    After({Call::MoveIntoPlace, path, file, moved, temporary});
    return moved;
}

bool WrappedSystem::KeepAtClose(sys::Native file) const {
    return Through(Ask(Call::KeepAtClose, file), false, [&] { return inner_.KeepAtClose(file); });
}

bool WrappedSystem::RemoveName(sys::Native file, const std::string& temporary) const {
    const bool removed = Through(Ask(Call::RemoveName, temporary), false,
                                 [&] { return inner_.RemoveName(file, temporary); });
    After({Call::RemoveName, temporary, file, removed});
    return removed;
}

bool WrappedSystem::RemoveIfAbandoned(const std::string& folder, const std::string& name,
                                      const std::string& mark) const {
    const bool removed = Through(Ask(Call::RemoveIfAbandoned, folder), false,
                                 [&] { return inner_.RemoveIfAbandoned(folder, name, mark); });
    After({Call::RemoveIfAbandoned, folder + std::string(1, kNativePathStyle.separator) + name,
           sys::kNoFile, removed});
    return removed;
}

bool WrappedSystem::MakeFolder(const std::string& path) const {
    const bool made =
        Through(Ask(Call::MakeFolder, path), false, [&] { return inner_.MakeFolder(path); });
    After({Call::MakeFolder, path, sys::kNoFile, made});
    return made;
}

bool WrappedSystem::FreeSpace(const std::string& folder, std::uint64_t& bytes) const {
    return Through(Ask(Call::FreeSpace, folder), false,
                   [&] { return inner_.FreeSpace(folder, bytes); });
}

bool WrappedSystem::RemoveEmptyFolder(const std::string& path) const {
    const bool removed = Through(Ask(Call::RemoveEmptyFolder, path), false,
                                 [&] { return inner_.RemoveEmptyFolder(path); });
    After({Call::RemoveEmptyFolder, path, sys::kNoFile, removed});
    return removed;
}

bool WrappedSystem::FlushFolder(const std::string& path) const {
    const bool flushed =
        Through(Ask(Call::FlushFolder, path), false, [&] { return inner_.FlushFolder(path); });
    After({Call::FlushFolder, path, sys::kNoFile, flushed});
    return flushed;
}

bool WrappedSystem::ListFolder(const std::string& folder,
                               std::vector<sys::FolderEntry>& entries) const {
    return Through(Ask(Call::ListFolder, folder), false,
                   [&] { return inner_.ListFolder(folder, entries); });
}

sys::PathKind WrappedSystem::KindOf(const std::string& path) const {
    return Through(Ask(Call::KindOf, path), sys::PathKind::Nothing,
                   [&] { return inner_.KindOf(path); });
}

bool WrappedSystem::IsSameFile(const std::string& a, const std::string& b) const {
    return Through(Ask(Call::IsSameFile, a), false, [&] { return inner_.IsSameFile(a, b); });
}

bool WrappedSystem::IsHeld(int error, const std::string& path) const {
    return inner_.IsHeld(error, path);
}

std::uint64_t WrappedSystem::ProcessNumber() const {
    return inner_.ProcessNumber();
}

DecidedBy::Rule FailFirst(Call kind, int times, int error, std::string path) {
    auto failed = std::make_shared<std::atomic<int>>(0);  // from several threads
    return [=](Call call, const std::string& about) -> std::optional<int> {
        if (call != kind || (!path.empty() && about != path) ||
            (times >= 0 && (*failed)++ >= times)) {
            return std::nullopt;
        }
        return error;
    };
}

}  // namespace orba::test
