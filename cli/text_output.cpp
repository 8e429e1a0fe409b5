#include "cli/text_output.h"

#include "cli/terminal_text.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "storage/windows_paths.h"
#else
#include <sys/stat.h>
#endif

namespace orba::cli {

namespace {

bool WriteBytes(std::FILE* stream, std::string_view bytes) {
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
    return std::fflush(stream) == 0 && written;
}

#ifdef _WIN32
// The console behind `stream`, or null when it writes to a file or a pipe.
HANDLE ConsoleOf(std::FILE* stream) {
    return IsTerminal(stream) ? reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))) : nullptr;
}

bool WriteToConsole(HANDLE console, std::string_view utf8) {
    const std::wstring wide = platform::WideFromUtf8(utf8);
    // The console takes a limited amount at once (64 KiB on Windows 7).
    constexpr std::size_t kLargestCall = 8192;
    for (std::wstring_view rest = wide; !rest.empty();) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min(rest.size(), kLargestCall));
        if (!::WriteConsoleW(console, rest.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        rest.remove_prefix(written);
    }
    return true;
}
#endif

}  // namespace

bool WriteText(std::FILE* stream, std::string_view utf8) {
#ifdef _WIN32
    if (const HANDLE console = ConsoleOf(stream)) {
        std::fflush(stream);  // nothing written before stays behind
        return WriteToConsole(console, utf8);
    }
#endif
    return WriteBytes(stream, utf8);
}

bool SameDestination(std::FILE* a, std::FILE* b) {
#ifdef _WIN32
    // Files only: Windows tells no two ends of one pipe apart from two pipes.
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return ::GetFileInformationByHandle(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(a))),
                                        &first) &&
           ::GetFileInformationByHandle(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(b))),
                                        &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
#else
    struct stat first {};
    struct stat second {};
    return ::fstat(fileno(a), &first) == 0 && ::fstat(fileno(b), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
#endif
}

}  // namespace orba::cli
