// The Windows side of the platform calls. Paths travel as UTF-8 and meet the system as UTF-16
// through the wide-character calls, in their extended-length form, so names in any script and of
// any length come through intact. Hidden and system files count as neither listed nor existing.

#include <windows.h>
#undef ReplaceFile  // windows.h names its own ReplaceFileW so

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <utility>
#include <vector>

#include "storage/file_error.h"
#include "storage/file_reasons.h"
#include "storage/files.h"
#include "storage/platform.h"
#include "storage/platform_windows.h"

namespace orba {

namespace platform {

std::wstring WideFromUtf8(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                          size);
    return wide;
}

std::string Utf8FromWide(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                          nullptr, nullptr);
    return utf8;
}

std::wstring ExtendedLengthPath(std::wstring_view path) {
    if (path.empty() || path.starts_with(LR"(\\?\)") || path.starts_with(LR"(\\.\)")) {
        return std::wstring(path);
    }
    // The full path resolves a relative path, "." and "..", and turns slashes into backslashes,
    // as Windows does for a path of ordinary length; the prefix then lifts the length limit.
    const std::wstring given(path);
    const DWORD needed = ::GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return given;
    }
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(given.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        return given;
    }
    full.resize(length);
    if (full.starts_with(LR"(\\)")) {
        return LR"(\\?\UNC\)" + full.substr(2);
    }
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') {
        return LR"(\\?\)" + full;
    }
    return full;
}

}  // namespace platform

namespace {

using platform::Utf8FromWide;

// Every path handed to the system.
std::wstring SystemPath(std::string_view utf8) {
    return platform::ExtendedLengthPath(platform::WideFromUtf8(utf8));
}

std::string SystemReason(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring reason(text != nullptr ? std::wstring_view(text, length) : std::wstring_view());
    ::LocalFree(text);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r')) {
        reason.pop_back();
    }
    if (reason.empty()) {
        return "system error " + std::to_string(error);
    }
    return Utf8FromWide(reason);
}

[[noreturn]] void ThrowError(FileError::Operation operation, const std::string& path, DWORD error) {
    throw FileError(operation, path, SystemReason(error));
}

[[noreturn]] void ThrowLastError(FileError::Operation operation, const std::string& path) {
    ThrowError(operation, path, ::GetLastError());
}

constexpr DWORD kRefusedByGate = ERROR_IO_DEVICE;

// Runs a system call unless the gate refused it; a refused call fails as a device error would.
template <class Result, class Call>
Result Gated(bool allowed, Result failure, Call&& call) {
    if (!allowed) {
        ::SetLastError(kRefusedByGate);
        return failure;
    }
    return call();
}

constexpr DWORD kNotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;

// Closes a handle when it leaves scope.
class Handle {
  public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (valid()) {
            ::CloseHandle(handle_);
        }
    }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    BOOL Close() { return ::CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)); }

  private:
    HANDLE handle_;
};

std::string FolderOf(const std::string& path) {
    const auto separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string(".") : path.substr(0, separator);
}

bool IsTemporaryName(std::string_view name) {
    return name.starts_with(Files::kTemporaryPrefix) && name.ends_with(Files::kTemporarySuffix);
}

std::string TemporaryPathIn(const std::string& folder) {
    thread_local std::mt19937_64 random(
        std::random_device{}() ^ (static_cast<std::uint64_t>(::GetCurrentProcessId()) << 32) ^
        ::GetTickCount64());
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
    return folder + "\\" + std::string(Files::kTemporaryPrefix) + suffix +
           std::string(Files::kTemporarySuffix);
}

bool WriteAll(HANDLE file, std::string_view bytes, const std::function<bool()>& allowWrite) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!Gated(allowWrite(), FALSE,
                   [&] { return ::WriteFile(file, bytes.data(), chunk, &written, nullptr); }) ||
            written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
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

bool RenameOpenFile(HANDLE file, const std::wstring& target) {
    std::vector<std::byte> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, target.data(), target.size() * sizeof(wchar_t));
    return ::SetFileInformationByHandle(file, FileRenameInfo, rename,
                                        static_cast<DWORD>(buffer.size())) != 0;
}

// Another program (a virus scanner, an indexer) may hold the target open for a moment.
bool MoveIntoPlace(HANDLE file, const std::wstring& target, const std::function<bool()>& allow) {
    constexpr int kAttempts = 5;
    for (int attempt = 1;; ++attempt) {
        if (Gated(allow(), false, [&] { return RenameOpenFile(file, target); })) {
            return true;
        }
        const DWORD error = ::GetLastError();
        if (attempt == kAttempts ||
            (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION &&
             error != ERROR_ACCESS_DENIED)) {
            ::SetLastError(error);
            return false;
        }
        ::Sleep(static_cast<DWORD>(50 * attempt));
    }
}

FileStamp StampOf(HANDLE file, bool& ok) {
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    ok = ::GetFileInformationByHandle(file, &info) &&
         ::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic);
    const auto join = [](DWORD high, DWORD low) {
        return (static_cast<std::uint64_t>(high) << 32) | low;
    };
    return {info.dwVolumeSerialNumber, join(info.nFileIndexHigh, info.nFileIndexLow),
            join(info.nFileSizeHigh, info.nFileSizeLow),
            static_cast<std::int64_t>(
                join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime)),
            basic.ChangeTime.QuadPart};
}

}  // namespace

namespace platform {

std::string DeviceErrorReason() {
    return SystemReason(kRefusedByGate);
}

const char kPathSeparator = '\\';
const bool kHasDriveLetters = true;

std::vector<std::string> ListOrdinaryFiles(const std::string& folder, bool mustOpen) {
    std::vector<std::string> names;
    std::string pattern = folder;
    if (!pattern.ends_with('\\')) {
        pattern += '\\';
    }
    pattern += '*';
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileExW(SystemPath(pattern).c_str(), FindExInfoBasic, &found,
                                             FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (mustOpen && error != ERROR_FILE_NOT_FOUND) {
            ThrowError(FileError::Operation::ListFolder, folder, error);
        }
        return names;
    }
    do {
        if ((found.dwFileAttributes & kNotOrdinary) == 0) {
            names.push_back(Utf8FromWide(found.cFileName));
        }
    } while (::FindNextFileW(search, &found));
    const DWORD error = ::GetLastError();
    ::FindClose(search);
    if (error != ERROR_NO_MORE_FILES && mustOpen) {
        ThrowError(FileError::Operation::ListFolder, folder, error);
    }
    return names;
}

bool IsOrdinaryFile(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kNotOrdinary) == 0;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsSameFile(const std::string& a, const std::string& b) {
    const auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        const Handle file(::CreateFileW(
            SystemPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return file.valid() && ::GetFileInformationByHandle(file.get(), &info);
    };
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return identify(a, first) && identify(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

}  // namespace platform

void Files::Load(const std::string& path, LoadedFile& into) const {
    // Other programs may read, write and delete the file meanwhile; a change is seen below.
    const Handle file(Gated(Allows(FileCall::Open), INVALID_HANDLE_VALUE, [&] {
        return ::CreateFileW(SystemPath(path).c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }));
    if (!file.valid()) {
        ThrowLastError(FileError::Operation::Read, path);
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
        throw FileError(FileError::Operation::Read, path, std::string(reasons::kNotARegularFile));
    }
    // A read is consistent when nothing that identifies the file's content changed from before it
    // to after it; a torn read is read again.
    constexpr int kAttempts = 5;
    for (int attempt = 1;; ++attempt) {
        bool ok = false;
        const FileStamp before = StampOf(file.get(), ok);
        LARGE_INTEGER start{};
        if (!ok || !::SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) {
            ThrowLastError(FileError::Operation::Read, path);
        }
        into.size_ = 0;
        into.Reserve(static_cast<std::size_t>(before.size) + 1);
        for (;;) {
            if (into.size_ == into.capacity_) {
                into.Reserve(into.capacity_ * 2);
            }
            const DWORD chunk =
                static_cast<DWORD>(std::min<std::size_t>(into.capacity_ - into.size_, 1u << 30));
            DWORD got = 0;
            if (!Gated(Allows(FileCall::Read), FALSE, [&] {
                    return ::ReadFile(file.get(), into.data_.get() + into.size_, chunk, &got,
                                      nullptr);
                })) {
                ThrowLastError(FileError::Operation::Read, path);
            }
            if (got == 0) {
                break;
            }
            into.size_ += got;
        }
        const FileStamp after = StampOf(file.get(), ok);
        if (!ok) {
            ThrowLastError(FileError::Operation::Read, path);
        }
        if (before == after) {
            return;
        }
        if (attempt == kAttempts) {
            throw FileError(FileError::Operation::Read, path,
                            std::string(reasons::kChangedWhileRead));
        }
    }
}

void OpenDocument::Release() noexcept {
    data_ = nullptr;
    size_ = 0;
}

bool OpenDocument::Look(const std::function<void(std::string_view)>& look) const {
    look(bytes());
    return true;
}

bool OpenDocument::Unchanged() const {
    return true;  // read whole in one consistent state
}

// Read into memory of its own rather than mapped: Windows refuses to replace a file while a view
// of it is mapped, and the template may lie where an output is written.
OpenDocument Files::Open(const std::string& path) const {
    OpenDocument document;
    Load(path, document.read_);
    document.ShowReadBytes();
    return document;
}

void PreparedOutput::Discard() noexcept {
    if (handle_ == kNoHandle) {
        return;
    }
    const DWORD error = ::GetLastError();
    const auto file = reinterpret_cast<HANDLE>(handle_);
    const bool vanishes = MarkForDeletion(file, true);
    ::CloseHandle(file);
    if (!vanishes) {
        Gated(files_->Allows(FileCall::Remove), FALSE,
              [&] { return ::DeleteFileW(SystemPath(temporary_).c_str()); });
    }
    handle_ = kNoHandle;
    ::SetLastError(error);
}

PreparedOutput Files::Prepare(const std::string& path, std::span<const std::string_view> pieces,
                              const OpenDocument* /*source: always read, never copied*/) const {
    // The temporary file is open, unshared, from its creation until it has its final name, so the
    // clean-up of another run cannot remove it; and it is marked for deletion until just before
    // the rename, so that a process that dies leaves nothing.
    PreparedOutput output;
    output.path_ = path;
    output.files_ = this;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 16; ++attempt) {
        output.temporary_ = TemporaryPathIn(FolderOf(path));
        created = Gated(Allows(FileCall::Create), INVALID_HANDLE_VALUE, [&] {
            return ::CreateFileW(SystemPath(output.temporary_).c_str(), GENERIC_WRITE | DELETE, 0,
                                 nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
        });
        if (created != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    if (created == INVALID_HANDLE_VALUE) {
        ThrowLastError(FileError::Operation::Write, path);
    }
    output.handle_ = reinterpret_cast<std::intptr_t>(created);
    MarkForDeletion(created, true);
    for (const std::string_view piece : pieces) {
        if (!WriteAll(created, piece, [this] { return Allows(FileCall::Write); })) {
            const DWORD error = ::GetLastError();
            output.Discard();
            ThrowError(FileError::Operation::Write, path, error);
        }
    }
    return output;
}

void Files::Commit(PreparedOutput& output) const {
    const auto file = reinterpret_cast<HANDLE>(output.handle_);
    const std::string& path = output.path_;
    // The finished file takes its final name visible, as an ordinary file.
    if (!SetAttributes(file, FILE_ATTRIBUTE_NORMAL) || !MarkForDeletion(file, false) ||
        !MoveIntoPlace(file, SystemPath(path), [this] { return Allows(FileCall::Rename); })) {
        const DWORD error = ::GetLastError();
        output.Discard();
        ThrowError(FileError::Operation::Write, path, error);
    }
    output.handle_ = PreparedOutput::kNoHandle;
    const bool allowed = Allows(FileCall::Flush);
    if (!::CloseHandle(file) || !allowed) {
        const DWORD error = allowed ? ::GetLastError() : kRefusedByGate;
        ::DeleteFileW(SystemPath(path).c_str());
        ThrowError(FileError::Operation::Write, path, error);
    }
}

void Files::CreateFolder(const std::string& path) const {
    if (Gated(Allows(FileCall::Create), FALSE,
              [&] { return ::CreateDirectoryW(SystemPath(path).c_str(), nullptr); })) {
        return;
    }
    const DWORD error = ::GetLastError();
    // Another run may have made it a moment ago.
    if (error == ERROR_ALREADY_EXISTS && platform::IsFolder(path)) {
        return;
    }
    ThrowError(FileError::Operation::CreateFolder, path, error);
}

void Files::RemoveLeftovers(const std::string& folder) const {
    const std::string pattern =
        folder + "\\" + std::string(kTemporaryPrefix) + "*" + std::string(kTemporarySuffix);
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileExW(SystemPath(pattern).c_str(), FindExInfoBasic, &found,
                                             FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::string name = Utf8FromWide(found.cFileName);
        // A live writer holds its temporary file open without sharing it: the removal fails.
        if (IsTemporaryName(name) && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            ::DeleteFileW(SystemPath(folder + "\\" + name).c_str());
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

}  // namespace orba
