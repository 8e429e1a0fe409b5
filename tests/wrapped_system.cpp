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

// Fails the call with `error` when there is one: the value the real call fails with.
template <class Result>
bool Refused(const std::optional<int>& error, Result failure, Result& result) {
    if (!error) {
        return false;
    }
    sys::SetLastError(*error);
    result = failure;
    return true;
}

}  // namespace

sys::Native WrappedSystem::OpenToRead(const std::string& path) const {
    sys::Native result{};
    return Refused(Ask(Call::OpenToRead, path), sys::kNoFile, result) ? result
                                                                      : inner_.OpenToRead(path);
}

bool WrappedSystem::Stamp(sys::Native file, FileStamp& stamp, sys::FileKind& kind) const {
    bool result{};
    return Refused(Ask(Call::Stamp), false, result) ? result : inner_.Stamp(file, stamp, kind);
}

std::int64_t WrappedSystem::ReadAt(sys::Native file, std::uint64_t offset, char* data,
                                   std::size_t size) const {
    std::int64_t result{};
    return Refused(Ask(Call::ReadAt), std::int64_t{-1}, result)
               ? result
               : inner_.ReadAt(file, offset, data, size);
}

std::int64_t WrappedSystem::WriteAt(sys::Native file, std::uint64_t offset, const char* data,
                                    std::size_t size) const {
    std::int64_t result{};
    return Refused(Ask(Call::WriteAt), std::int64_t{-1}, result)
               ? result
               : inner_.WriteAt(file, offset, data, size);
}

bool WrappedSystem::Flush(sys::Native file) const {
    bool result{};
    return Refused(Ask(Call::Flush), false, result) ? result : inner_.Flush(file);
}

bool WrappedSystem::CheckWrites(sys::Native file) const {
    bool result{};
    return Refused(Ask(Call::CheckWrites), false, result) ? result : inner_.CheckWrites(file);
}

bool WrappedSystem::Close(sys::Native file) const {
    // A refused close still lets the file go, as the system does when it reports a failure.
    const bool closed = inner_.Close(file);
    bool result{};
    return Refused(Ask(Call::Close), false, result) ? result : closed;
}

sys::Native WrappedSystem::CreateUnnamed(const std::string& folder) const {
    sys::Native result{};
    return Refused(Ask(Call::CreateUnnamed, folder), sys::kNoFile, result)
               ? result
               : inner_.CreateUnnamed(folder);
}

sys::Native WrappedSystem::CreateExclusive(const std::string& path) const {
    sys::Native result{};
    return Refused(Ask(Call::CreateExclusive, path), sys::kNoFile, result)
               ? result
               : inner_.CreateExclusive(path);
}

bool WrappedSystem::GiveName(sys::Native file, const std::string& path) const {
    bool result{};
    return Refused(Ask(Call::GiveName, path), false, result) ? result : inner_.GiveName(file, path);
}

bool WrappedSystem::MoveIntoPlace(sys::Native file, const std::string& temporary,
                                  const std::string& path) const {
    bool result{};
    return Refused(Ask(Call::MoveIntoPlace, path), false, result)
               ? result
               : inner_.MoveIntoPlace(file, temporary, path);
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
    bool result{};
    return Refused(Ask(Call::MakeFolder, path), false, result) ? result : inner_.MakeFolder(path);
}

bool WrappedSystem::FlushFolder(const std::string& path) const {
    bool result{};
    return Refused(Ask(Call::FlushFolder, path), false, result) ? result : inner_.FlushFolder(path);
}

bool WrappedSystem::ListFolder(const std::string& folder,
                               std::vector<sys::FolderEntry>& entries) const {
    bool result{};
    return Refused(Ask(Call::ListFolder, folder), false, result)
               ? result
               : inner_.ListFolder(folder, entries);
}

sys::PathKind WrappedSystem::KindOf(const std::string& path) const {
    sys::PathKind result{};
    return Refused(Ask(Call::KindOf, path), sys::PathKind::Nothing, result) ? result
                                                                            : inner_.KindOf(path);
}

bool WrappedSystem::IsSameFile(const std::string& a, const std::string& b) const {
    bool result{};
    return Refused(Ask(Call::IsSameFile, a), false, result) ? result : inner_.IsSameFile(a, b);
}

bool WrappedSystem::IsHeld(int error, const std::string& path) const {
    return inner_.IsHeld(error, path);
}

std::uint64_t WrappedSystem::ProcessNumber() const {
    return inner_.ProcessNumber();
}

}  // namespace orba::test
