// Holds a file open for a while, as a virus scanner, a sync client or a preview does:
//   hold_file PATH none|delete MILLISECONDS READY
// "none" shares nothing; "delete" shares reading, writing and deletion. Once the file is open,
// the empty file READY is made; the file is let go after MILLISECONDS.

#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        return 2;
    }
    const DWORD share = std::wstring(argv[2]) == L"delete"
                            ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                            : 0;
    const HANDLE held = ::CreateFileW(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        return 1;
    }
    const HANDLE ready = ::CreateFileW(argv[4], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    ::CloseHandle(ready);
    ::Sleep(static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)));
    ::CloseHandle(held);
    return 0;
}
