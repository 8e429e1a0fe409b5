#include "cli/text_output.h"

#include "cli/terminal_text.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <string>
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
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                          length);
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

}  // namespace orba::cli
