#include "tests/wrapped_system.h"

namespace orba::test {

bool MustBeReported(Call call) {
    switch (call) {
        case Call::Close:  // of a file read, or of an output already in place
        case Call::Abandon:
        case Call::RemoveIfAbandoned:
        case Call::RemoveEmptyFolder:
        case Call::ListFolder:  // also asked whether the folder has files, and for the clean-up
        case Call::KindOf:
        case Call::IsSameFile:
            return false;
        default:
            return true;
    }
}

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
    return Through(Ask(Call::WriteAt, file), std::int64_t{-1},
                   [&] { return inner_.WriteAt(file, offset, data, size); });
}

bool WrappedSystem::Flush(sys::Native file) const {
    return Through(Ask(Call::Flush, file), false, [&] { return inner_.Flush(file); });
}

bool WrappedSystem::CheckWrites(sys::Native file) const {
    return Through(Ask(Call::CheckWrites, file), false, [&] { return inner_.CheckWrites(file); });
}

bool WrappedSystem::Close(sys::Native file) const {
    // A refused close still lets the file go, as the system does when it reports a failure.
    const std::optional<int> error = Ask(Call::Close, file);
    Closed(file);
    const bool closed = inner_.Close(file);
    return Through(error, false, [&] { return closed; });
}

sys::Native WrappedSystem::CreateUnnamed(const std::string& folder) const {
    return Through(Ask(Call::CreateUnnamed, folder), sys::kNoFile,
                   [&] { return Opened(inner_.CreateUnnamed(folder), folder); });
}

sys::Native WrappedSystem::CreateExclusive(const std::string& path) const {
    return Through(Ask(Call::CreateExclusive, path), sys::kNoFile,
                   [&] { return Opened(inner_.CreateExclusive(path), path); });
}

bool WrappedSystem::GiveName(sys::Native file, const std::string& path) const {
    return Through(Ask(Call::GiveName, path), false, [&] {
        const bool named = inner_.GiveName(file, path);
        if (named) {
            Named(file, path);
        }
        return named;
    });
}

bool WrappedSystem::MoveIntoPlace(sys::Native file, const std::string& temporary,
                                  const std::string& path) const {
    return Through(Ask(Call::MoveIntoPlace, path), false, [&] {
        const bool moved = inner_.MoveIntoPlace(file, temporary, path);
        if (moved) {
            Named(file, path);
        }
        return moved;
    });
}

void WrappedSystem::Abandon(sys::Native file, const std::string& temporary,
                            bool removeNamed) const {
    // A refused abandon closes the file but fails to remove its name.
    const bool refused = Ask(Call::Abandon, temporary).has_value();
    Closed(file);
    inner_.Abandon(file, temporary, removeNamed && !refused);
}

void WrappedSystem::RemoveIfAbandoned(const std::string& folder, const std::string& name) const {
    if (!Ask(Call::RemoveIfAbandoned, folder)) {
        inner_.RemoveIfAbandoned(folder, name);
    }
}

bool WrappedSystem::MakeFolder(const std::string& path) const {
    return Through(Ask(Call::MakeFolder, path), false, [&] { return inner_.MakeFolder(path); });
}

bool WrappedSystem::RemoveEmptyFolder(const std::string& path) const {
    return Through(Ask(Call::RemoveEmptyFolder, path), false,
                   [&] { return inner_.RemoveEmptyFolder(path); });
}

bool WrappedSystem::FlushFolder(const std::string& path) const {
    return Through(Ask(Call::FlushFolder, path), false, [&] { return inner_.FlushFolder(path); });
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

}  // namespace orba::test
