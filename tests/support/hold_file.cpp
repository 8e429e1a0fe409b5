// Holds a file open, as a virus scanner, a sync client or a preview does:
//   hold_file PATH none|delete READY RELEASE
// "none" shares nothing; "delete" shares reading, writing and deletion. Once the file is open,
// the empty file READY is made; the file is let go once a file RELEASE exists.

#include <windows.h>

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
    const HANDLE ready = ::CreateFileW(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    ::CloseHandle(ready);
    while (::GetFileAttributesW(argv[4]) == INVALID_FILE_ATTRIBUTES) {
        ::Sleep(5);
    }
    ::CloseHandle(held);
    return 0;
}
