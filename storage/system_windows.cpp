// The Windows file calls. Paths travel as UTF-8 and meet the system as UTF-16 through the
// wide-character calls, in their extended-length form, so names in any script and of any length
// come through intact. Hidden and system files count as neither listed nor existing. A temporary
// file is open unshared from its creation until it has its final name, so the clean-up of another
// run cannot remove it, and marked for deletion until just before the rename, so that a process
// that dies leaves nothing.

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "storage/system.h"
#include "storage/windows_paths.h"

namespace orba {

namespace {

using platform::Utf8FromWide;

// Every path handed to the system.
std::wstring SystemPath(std::string_view utf8) {
    return platform::ExtendedLengthPath(platform::WideFromUtf8(utf8));
}

HANDLE AsHandle(sys::Native file) {
    return reinterpret_cast<HANDLE>(file);
}

sys::Native AsNative(HANDLE file) {
    return file == INVALID_HANDLE_VALUE ? sys::kNoFile : reinterpret_cast<sys::Native>(file);
}

OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

DWORD ChunkOf(std::size_t size) {
    return static_cast<DWORD>(std::min<std::size_t>(size, DWORD{1} << 30));
}

constexpr DWORD kHiddenOrSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr DWORD kNotAFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;

// What an entry with these attributes is. Of the reparse points, links and junctions lead
// elsewhere; a cloud placeholder (OneDrive) is the folder itself.
sys::FolderEntry EntryOf(std::string name, DWORD attributes, DWORD reparseTag = 0) {
    return {std::move(name), (attributes & kNotAFile) == 0, (attributes & kHiddenOrSystem) != 0,
            (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                (reparseTag == IO_REPARSE_TAG_SYMLINK || reparseTag == IO_REPARSE_TAG_MOUNT_POINT)};
}

// While marked, the file is removed when its last handle closes, also when the process dies.
bool MarkForDeletion(HANDLE file, bool marked) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = marked ? TRUE : FALSE;
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                        sizeof disposition) != 0;
}

bool SetAttributes(HANDLE file, DWORD attributes) {
    FILE_BASIC_INFO basic{};  // times of 0 stay as they are
    basic.FileAttributes = attributes;
    return ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != 0;
}

// FILE_RENAME_INFO with the flags of FileRenameInfoEx (Windows 10 1809 and later), which older
// headers lack.
struct RenameInformation {
    DWORD flags;  // for FileRenameInfo, its first byte is ReplaceIfExists
    HANDLE rootDirectory;
    DWORD fileNameLength;
    WCHAR fileName[1];
};
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD kRenameReplaceIfExists = 0x1;
constexpr DWORD kRenamePosixSemantics = 0x2;

bool RenameOpenFile(HANDLE file, const std::wstring& target, FILE_INFO_BY_HANDLE_CLASS kind,
                    DWORD flags) {
    std::vector<std::byte> buffer(sizeof(RenameInformation) + target.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<RenameInformation*>(buffer.data());
    rename->flags = flags;
    rename->rootDirectory = nullptr;
    rename->fileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::memcpy(rename->fileName, target.data(), target.size() * sizeof(wchar_t));
    return ::SetFileInformationByHandle(file, kind, rename, static_cast<DWORD>(buffer.size())) != 0;
}

// Replaces the target even while another program holds it with delete sharing, where the system
// can (POSIX semantics); elsewhere as Windows always replaced files.
bool ReplaceWithOpenFile(HANDLE file, const std::wstring& target) {
    if (RenameOpenFile(file, target, kFileRenameInfoEx,
                       kRenameReplaceIfExists | kRenamePosixSemantics)) {
        return true;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED &&
        error != ERROR_INVALID_FUNCTION) {
        return false;  // the call is known, and the rename itself failed
    }
    return RenameOpenFile(file, target, FileRenameInfo, TRUE);
}

}  // namespace

namespace sys {

const bool kUnnamedFiles = false;
// Temporary files are marked for deletion until they take their name: the system removes them
// with the process.
const bool kNamedTemporariesOutliveProcess = false;

int LastError() {
    return static_cast<int>(::GetLastError());
}

void SetLastError(int error) {
    ::SetLastError(static_cast<DWORD>(error));
}

std::string Reason(int error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring reason(text != nullptr ? std::wstring_view(text, length) : std::wstring_view());
    ::LocalFree(text);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r')) {
        reason.pop_back();
    }
    if (reason.empty()) {
        return "system error " + std::to_string(static_cast<DWORD>(error));
    }
    return Utf8FromWide(reason);
}

int DeviceError() {
    return ERROR_IO_DEVICE;
}

int NotSupported() {
    return ERROR_NOT_SUPPORTED;
}

bool IsNameTaken(int error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

bool IsMissing(int error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool IsInterrupted(int /*error*/) {
    return false;  // Windows' file calls are not interrupted by signals
}

bool IsDiskFull(int error) {
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

// Handles have no limit of their own that a run could reach.
std::uint64_t OpenFileLimit() {
    return UINT64_MAX;
}

// Windows documents no flush of a folder: where the file system takes one it is made, and where
// it refuses (access to a folder for writing, a request it does not know) the names stand as the
// file system keeps them, in its journal on NTFS.
bool IsFolderFlushRefusal(int error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_FUNCTION ||
           error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_PARAMETER;
}

namespace {

class WindowsSystem final : public System {
  public:
    Native OpenToRead(const std::string& path) const override {
        return AsNative(::CreateFileW(SystemPath(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    }

    bool Stamp(Native file, FileStamp& stamp, FileKind& kind) const override {
        BY_HANDLE_FILE_INFORMATION info{};
        FILE_BASIC_INFO basic{};
        if (!::GetFileInformationByHandle(AsHandle(file), &info) ||
            !::GetFileInformationByHandleEx(AsHandle(file), FileBasicInfo, &basic, sizeof basic)) {
            return false;
        }
        const auto join = [](DWORD high, DWORD low) {
            return (static_cast<std::uint64_t>(high) << 32) | low;
        };
        stamp = {info.dwVolumeSerialNumber, join(info.nFileIndexHigh, info.nFileIndexLow),
                 join(info.nFileSizeHigh, info.nFileSizeLow),
                 static_cast<std::int64_t>(
                     join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime)),
                 basic.ChangeTime.QuadPart};
        kind.regular = ::GetFileType(AsHandle(file)) == FILE_TYPE_DISK &&
                       (info.dwFileAttributes & kNotAFile) == 0;
        kind.sizeIsExact = true;
        FILETIME now{};
        ::GetSystemTimeAsFileTime(&now);
        const std::int64_t age =
            static_cast<std::int64_t>(join(now.dwHighDateTime, now.dwLowDateTime)) -
            std::max(stamp.modified, stamp.changed);
        constexpr std::int64_t kTicksPerMillisecond = 10'000;
        kind.changedJustNow = age > -kJustNowMilliseconds * kTicksPerMillisecond &&
                              age < kJustNowMilliseconds * kTicksPerMillisecond;
        return true;
    }

    std::int64_t ReadAt(Native file, std::uint64_t offset, char* data,
                        std::size_t size) const override {
        OVERLAPPED at = At(offset);
        DWORD got = 0;
        if (!::ReadFile(AsHandle(file), data, ChunkOf(size), &got, &at)) {
            return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
        }
        return got;
    }

    std::int64_t WriteAt(Native file, std::uint64_t offset, const char* data,
                         std::size_t size) const override {
        OVERLAPPED at = At(offset);
        DWORD written = 0;
        if (!::WriteFile(AsHandle(file), data, ChunkOf(size), &written, &at)) {
            return -1;
        }
        return written;
    }

    bool Flush(Native file) const override { return ::FlushFileBuffers(AsHandle(file)) != 0; }

    // No call flushes a volume without an administrator's rights: each file is flushed.
    bool OneFlushReachesEveryFile(const std::string& /*folder*/) const override { return false; }

    bool WriteOut(Native /*file*/, bool /*wait*/) const override {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }

    bool FlushFileSystem(Native /*file*/) const override {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }

    bool CheckWrites(Native /*file*/) const override {
        return true;  // Windows reports a failed write at the write or the flush, not at the close
    }

    bool Close(Native file) const override { return ::CloseHandle(AsHandle(file)) != 0; }

    Native CreateUnnamed(const std::string& /*folder*/) const override {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return kNoFile;
    }

    Native CreateExclusive(const std::string& path) const override {
        const HANDLE file =
            ::CreateFileW(SystemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            MarkForDeletion(file, true);
        }
        return AsNative(file);
    }

    bool GiveName(Native /*file*/, const std::string& /*path*/) const override {
        ::SetLastError(ERROR_NOT_SUPPORTED);  // temporary files are named from their creation
        return false;
    }

    bool MoveIntoPlace(Native file, const std::string& temporary,
                       const std::string& path) const override {
        if (file == kNoFile) {
            return ::MoveFileExW(SystemPath(temporary).c_str(), SystemPath(path).c_str(),
                                 MOVEFILE_REPLACE_EXISTING) != 0;
        }
        // The finished file takes its final name visible, as an ordinary file, through its
        // handle, so it is never closed before it is in place.
        if (!KeepAtClose(file)) {
            return false;
        }
        if (ReplaceWithOpenFile(AsHandle(file), SystemPath(path))) {
            return true;
        }
        const DWORD error = ::GetLastError();
        MarkForDeletion(AsHandle(file), true);
        ::SetLastError(error);
        return false;
    }

    bool KeepAtClose(Native file) const override {
        return SetAttributes(AsHandle(file), FILE_ATTRIBUTE_NORMAL) &&
               MarkForDeletion(AsHandle(file), false);
    }

    bool RemoveName(Native file, const std::string& temporary) const override {
        // The temporary file is open without sharing: its name goes with its handle's close.
        return file != kNoFile ? MarkForDeletion(AsHandle(file), true)
                               : ::DeleteFileW(SystemPath(temporary).c_str()) != 0;
    }

    bool RemoveIfAbandoned(const std::string& folder, const std::string& name,
                           const std::string& mark) const override {
        // A live writer holds its temporary file open without sharing it, and its run's mark
        // (made with CreateExclusive) from before it closes the file for its rename: either open
        // fails. The file is held from before its mark is looked at until it is removed.
        const HANDLE file = ::CreateFileW(SystemPath(folder + "\\" + name).c_str(), DELETE, 0,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return false;
        }
        bool abandoned = true;
        if (!mark.empty()) {
            const HANDLE held =
                ::CreateFileW(SystemPath(folder + "\\" + mark).c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            abandoned = held != INVALID_HANDLE_VALUE || ::GetLastError() == ERROR_FILE_NOT_FOUND;
            if (held != INVALID_HANDLE_VALUE) {
                ::CloseHandle(held);
            }
        }
        const bool removed = abandoned && MarkForDeletion(file, true);
        ::CloseHandle(file);
        return removed;
    }

    bool MakeFolder(const std::string& path) const override {
        return ::CreateDirectoryW(SystemPath(path).c_str(), nullptr) != 0;
    }

    bool FreeSpace(const std::string& folder, std::uint64_t& bytes) const override {
        // A folder of a share is named with a backslash at its end.
        std::wstring path = SystemPath(folder);
        if (path.empty() || path.back() != L'\\') {
            path += L'\\';
        }
        ULARGE_INTEGER available{};
        if (!::GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr)) {
            return false;
        }
        bytes = available.QuadPart;
        return true;
    }

    bool RemoveEmptyFolder(const std::string& path) const override {
        return ::RemoveDirectoryW(SystemPath(path).c_str()) != 0;
    }

    bool FlushFolder(const std::string& path) const override {
        const HANDLE folder =
            ::CreateFileW(SystemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (folder == INVALID_HANDLE_VALUE) {
            return false;
        }
        const bool flushed = ::FlushFileBuffers(folder) != 0;
        const DWORD error = ::GetLastError();
        ::CloseHandle(folder);
        ::SetLastError(error);
        return flushed;
    }

    bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) const override {
        std::string pattern = folder;
        if (!pattern.ends_with('\\')) {
            pattern += '\\';
        }
        pattern += '*';
        WIN32_FIND_DATAW found{};
        const HANDLE search = ::FindFirstFileExW(SystemPath(pattern).c_str(), FindExInfoBasic,
                                                 &found, FindExSearchNameMatch, nullptr, 0);
        if (search == INVALID_HANDLE_VALUE) {
            return ::GetLastError() == ERROR_FILE_NOT_FOUND;  // a drive root with nothing in it
        }
        do {
            const std::wstring_view name = found.cFileName;
            if (name != L"." && name != L"..") {
                entries.push_back(
                    EntryOf(Utf8FromWide(name), found.dwFileAttributes, found.dwReserved0));
            }
        } while (::FindNextFileW(search, &found));
        const DWORD error = ::GetLastError();
        ::FindClose(search);
        ::SetLastError(error);
        return error == ERROR_NO_MORE_FILES;
    }

    PathKind KindOf(const std::string& path) const override {
        const DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            return PathKind::Nothing;
        }
        return EntryOf({}, attributes).kind();
    }

    bool IsSameFile(const std::string& a, const std::string& b) const override {
        const auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
            const HANDLE file = ::CreateFileW(
                SystemPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                return false;
            }
            const bool known = ::GetFileInformationByHandle(file, &info) != 0;
            ::CloseHandle(file);
            return known;
        };
        BY_HANDLE_FILE_INFORMATION first{};
        BY_HANDLE_FILE_INFORMATION second{};
        return identify(a, first) && identify(b, second) &&
               first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
               first.nFileIndexHigh == second.nFileIndexHigh &&
               first.nFileIndexLow == second.nFileIndexLow;
    }

    bool IsHeld(int error, const std::string& path) const override {
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
            return true;
        }
        // A file that another program holds without delete sharing, or that is being deleted,
        // refuses to be replaced with "access denied", as a file the user may not write does:
        // only a file that stands there and may be written counts as held.
        if (error != ERROR_ACCESS_DENIED) {
            return false;
        }
        const DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
    }

    std::uint64_t ProcessNumber() const override { return ::GetCurrentProcessId(); }
};

}  // namespace

const System& TheSystem() {
    static const WindowsSystem system;
    return system;
}

}  // namespace sys

}  // namespace orba
