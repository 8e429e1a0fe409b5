// The Windows side of the platform calls. Paths travel as UTF-8 and meet the system as UTF-16
// through the wide-character calls, so names in any script come through intact. Hidden and system
// files count as neither listed nor existing.

#include <windows.h>
#undef ReplaceFile  // windows.h names its own ReplaceFileW so

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <utility>

#include "storage/file_error.h"
#include "storage/platform.h"
#include "storage/platform_windows.h"

namespace orba::platform {

const char kPathSeparator = '\\';
const bool kHasDriveLetters = true;

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

namespace {

std::wstring Wide(std::string_view utf8) {
    return WideFromUtf8(utf8);
}
std::string Utf8(std::wstring_view wide) {
    return Utf8FromWide(wide);
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
    return Utf8(reason);
}

[[noreturn]] void ThrowLastError(FileError::Operation operation, const std::string& path) {
    throw FileError(operation, path, SystemReason(::GetLastError()));
}

constexpr DWORD kNotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;

// Closes a handle when it leaves scope.
class Handle {
  public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
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

// Opens a file on disk for reading, letting other programs read, write and delete it meanwhile.
Handle OpenDiskFile(const std::string& path) {
    Handle file(::CreateFileW(Wide(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        ThrowLastError(FileError::Operation::Read, path);
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
        throw FileError(FileError::Operation::Read, path, "not a regular file");
    }
    return file;
}

std::uint64_t SizeOf(const Handle& file, const std::string& path) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        ThrowLastError(FileError::Operation::Read, path);
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::string FolderOf(const std::string& path) {
    const auto separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string(".") : path.substr(0, separator);
}

std::wstring TemporaryPathBeside(const std::string& path, unsigned attempt) {
    const auto ticks = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    const unsigned long long mixed =
        (ticks * 0x9E3779B97F4A7C15ull) ^
        (static_cast<unsigned long long>(::GetCurrentProcessId()) << 20) ^ attempt;
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%016llx", mixed);
    return Wide(FolderOf(path) + "\\.orba-upgrade-" + suffix + ".tmp");
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

// Another program (a virus scanner, an indexer) may hold the target open for a moment.
bool MoveIntoPlace(const std::wstring& from, const std::wstring& to) {
    constexpr int kAttempts = 5;
    for (int attempt = 1;; ++attempt) {
        if (::MoveFileExW(from.c_str(), to.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
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

}  // namespace

std::vector<std::string> ListOrdinaryFiles(const std::string& folder, bool mustOpen) {
    std::vector<std::string> names;
    std::string pattern = folder;
    if (!pattern.ends_with('\\')) {
        pattern += '\\';
    }
    pattern += '*';
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileExW(Wide(pattern).c_str(), FindExInfoBasic, &found,
                                             FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (mustOpen && error != ERROR_FILE_NOT_FOUND) {
            throw FileError(FileError::Operation::ListFolder, folder, SystemReason(error));
        }
        return names;
    }
    do {
        if ((found.dwFileAttributes & kNotOrdinary) == 0) {
            names.push_back(Utf8(found.cFileName));
        }
    } while (::FindNextFileW(search, &found));
    const DWORD error = ::GetLastError();
    ::FindClose(search);
    if (error != ERROR_NO_MORE_FILES && mustOpen) {
        throw FileError(FileError::Operation::ListFolder, folder, SystemReason(error));
    }
    return names;
}

bool IsOrdinaryFile(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kNotOrdinary) == 0;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void CreateFolder(const std::string& path) {
    if (!::CreateDirectoryW(Wide(path).c_str(), nullptr)) {
        ThrowLastError(FileError::Operation::CreateFolder, path);
    }
}

bool IsSameFile(const std::string& a, const std::string& b) {
    const auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        const Handle file(::CreateFileW(
            Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return file.valid() && ::GetFileInformationByHandle(file.get(), &info);
    };
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return identify(a, first) && identify(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

void ReadWholeFile(const std::string& path, std::string& buffer) {
    const Handle file = OpenDiskFile(path);
    buffer.resize(static_cast<std::size_t>(SizeOf(file, path)) + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == buffer.size()) {
            buffer.resize(buffer.size() * 2);
        }
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(buffer.size() - filled, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer.data() + filled, chunk, &got, nullptr)) {
            ThrowLastError(FileError::Operation::Read, path);
        }
        if (got == 0) {
            break;
        }
        filled += got;
    }
    buffer.resize(filled);
}

MappedFile::~MappedFile() {
    if (mapped_) {
        ::VirtualFree(const_cast<char*>(data_), 0, MEM_RELEASE);
    }
}

// Read into memory of its own rather than mapped: Windows refuses to replace a file while a view
// of it is mapped, and the template may lie where an output is written.
MappedFile MapWholeFile(const std::string& path) {
    const Handle file = OpenDiskFile(path);
    const std::uint64_t size = SizeOf(file, path);
    MappedFile view;
    if (size == 0) {
        return view;
    }
    auto* data = static_cast<char*>(::VirtualAlloc(nullptr, static_cast<SIZE_T>(size),
                                                   MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (data == nullptr) {
        ThrowLastError(FileError::Operation::Read, path);
    }
    view.data_ = data;
    view.mapped_ = true;
    std::size_t filled = 0;
    while (filled < size) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::uint64_t>(size - filled, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(file.get(), data + filled, chunk, &got, nullptr)) {
            ThrowLastError(FileError::Operation::Read, path);
        }
        if (got == 0) {
            break;  // the file shrank meanwhile: its bytes so far are its content
        }
        filled += got;
    }
    view.size_ = filled;
    return view;
}

void ReplaceFile(const std::string& path, std::span<const std::string_view> pieces,
                 std::span<const MappedFile* const> /*sources*/) {
    std::wstring temporary;
    HANDLE created = INVALID_HANDLE_VALUE;
    unsigned attempt = 0;
    do {
        temporary = TemporaryPathBeside(path, attempt++);
        created = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_HIDDEN, nullptr);
    } while (created == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_EXISTS);
    if (created == INVALID_HANDLE_VALUE) {
        ThrowLastError(FileError::Operation::Write, path);
    }
    Handle file(created);
    const auto fail = [&] {
        const DWORD error = ::GetLastError();
        if (file.valid()) {
            file.Close();
        }
        ::DeleteFileW(temporary.c_str());
        throw FileError(FileError::Operation::Write, path, SystemReason(error));
    };
    for (const std::string_view piece : pieces) {
        if (!WriteAll(file.get(), piece)) {
            fail();
        }
    }
    if (!file.Close()) {
        fail();
    }
    // The finished file takes its final name visible, as an ordinary file.
    if (!::SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL) ||
        !MoveIntoPlace(temporary, Wide(path))) {
        fail();
    }
}

std::size_t FindBytes(std::string_view haystack, std::string_view needle, std::size_t from) {
    if (from > haystack.size()) {
        return std::string_view::npos;
    }
    const auto begin = haystack.begin() + static_cast<std::ptrdiff_t>(from);
    const auto found = std::search(
        begin, haystack.end(), std::boyer_moore_horspool_searcher(needle.begin(), needle.end()));
    return found == haystack.end() && !needle.empty()
               ? std::string_view::npos
               : static_cast<std::size_t>(found - haystack.begin());
}

}  // namespace orba::platform
