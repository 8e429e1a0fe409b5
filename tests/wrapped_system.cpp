#include "tests/wrapped_system.h"

namespace orba::test {

bool MustBeReported(Call call) {
    switch (call) {
        case Call::Close:  // of a file read, or of an output already in place
        case Call::Abandon:
        case Call::RemoveIfAbandoned:
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

sys::Native WrappedSystem::OpenToRead(const std::string& path) const {
    return Through(Ask(Call::OpenToRead, path), sys::kNoFile,
                   [&] { return inner_.OpenToRead(path); });
}

bool WrappedSystem::Stamp(sys::Native file, FileStamp& stamp, sys::FileKind& kind) const {
    return Through(Ask(Call::Stamp), false, [&] { return inner_.Stamp(file, stamp, kind); });
}

std::int64_t WrappedSystem::ReadAt(sys::Native file, std::uint64_t offset, char* data,
                                   std::size_t size) const {
    return Through(Ask(Call::ReadAt), std::int64_t{-1},
                   [&] { return inner_.ReadAt(file, offset, data, size); });
}

std::int64_t WrappedSystem::WriteAt(sys::Native file, std::uint64_t offset, const char* data,
                                    std::size_t size) const {
    return Through(Ask(Call::WriteAt), std::int64_t{-1},
                   [&] { return inner_.WriteAt(file, offset, data, size); });
}

bool WrappedSystem::Flush(sys::Native file) const {
    return Through(Ask(Call::Flush), false, [&] { return inner_.Flush(file); });
}

bool WrappedSystem::CheckWrites(sys::Native file) const {
    return Through(Ask(Call::CheckWrites), false, [&] { return inner_.CheckWrites(file); });
}

bool WrappedSystem::Close(sys::Native file) const {
    // A refused close still lets the file go, as the system does when it reports a failure.
    const bool closed = inner_.Close(file);
    return Through(Ask(Call::Close), false, [&] { return closed; });
}

sys::Native WrappedSystem::CreateUnnamed(const std::string& folder) const {
    return Through(Ask(Call::CreateUnnamed, folder), sys::kNoFile,
                   [&] { return inner_.CreateUnnamed(folder); });
}

sys::Native WrappedSystem::CreateExclusive(const std::string& path) const {
    return Through(Ask(Call::CreateExclusive, path), sys::kNoFile,
                   [&] { return inner_.CreateExclusive(path); });
}

bool WrappedSystem::GiveName(sys::Native file, const std::string& path) const {
    return Through(Ask(Call::GiveName, path), false, [&] { return inner_.GiveName(file, path); });
}

bool WrappedSystem::MoveIntoPlace(sys::Native file, const std::string& temporary,
                                  const std::string& path) const {
    return Through(Ask(Call::MoveIntoPlace, path), false,
                   [&] { return inner_.MoveIntoPlace(file, temporary, path); });
}

void WrappedSystem::Abandon(sys::Native file, const std::string& temporary,
                            bool removeNamed) const {
    // A refused abandon closes the file but fails to remove its name.
    const bool refused = Ask(Call::Abandon, temporary).has_value();
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
