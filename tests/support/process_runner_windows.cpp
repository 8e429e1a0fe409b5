#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "storage/windows_paths.h"
#include "tests/support/process_runner.h"
#include "tests/support/test_support.h"

namespace orba::test {

std::string WindowsPath(std::string path) {
    if (path.starts_with('/')) {
        path = "Z:" + path;
    }
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

namespace {

// One argument quoted for CommandLineToArgvW: backslashes are literal unless they precede a quote.
std::wstring Quoted(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

HANDLE InheritableFile(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return ::CreateFileW(platform::WideFromUtf8(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                         &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options) {
    if (options.fileSizeLimit >= 0) {
        throw std::invalid_argument("file-size limits exist only on POSIX");
    }
    TempDir capture;
    const std::string outPath = capture / "out";
    const std::string errPath = capture / "err";

    std::wstring commandLine = Quoted(platform::WideFromUtf8(WindowsPath(program)));
    for (const std::string& argument : arguments) {
        commandLine += L" " + Quoted(platform::WideFromUtf8(argument));
    }
    const HANDLE out = InheritableFile(outPath);
    const HANDLE err = InheritableFile(errPath);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    // Under Wine a new process now and then fails to start for want of the address range its
    // loader reserves; that says nothing of the program, which is started again. Each failure
    // is told with its error code.
    constexpr int kStarts = 5;
    BOOL started = FALSE;
    DWORD error = 0;
    for (int start = 1; start <= kStarts && !started; ++start) {
        started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                   nullptr, &startup, &process);
        if (!started) {
            error = ::GetLastError();
            std::fprintf(stderr, "CreateProcessW of %s failed with error %lu (try %d of %d)\n",
                         program.c_str(), static_cast<unsigned long>(error), start, kStarts);
            ::Sleep(100);
        }
    }
    ::CloseHandle(out);
    ::CloseHandle(err);
    if (!started) {
        throw std::runtime_error("cannot start " + program + ": error " + std::to_string(error));
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);

    ProcessResult result;
    result.exitStatus = static_cast<int>(exitCode);
    result.out = ReadBytes(outPath);
    result.err = ReadBytes(errPath);
    return result;
}

}  // namespace orba::test
