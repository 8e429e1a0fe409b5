#include "ui/win32/win32_desktop.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include "app/identity.h"
#include "ui/win32/win32_support.h"

namespace orba::ui::win32 {

std::string FolderOfModule(std::string_view modulePath) {
    const std::size_t separator = modulePath.rfind('\\');
    if (separator == std::string_view::npos) {
        return {};
    }
    const std::string_view folder = modulePath.substr(0, separator);
    if (folder.size() == 2 && folder[1] == ':') {
        return std::string(folder) + "\\";
    }
    return std::string(folder);
}

std::string Win32Desktop::ApplicationFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return FolderOfModule(Utf8FromWide(path));
}

std::string Win32Desktop::ChooseFileToOpen(std::span<const FileFilter> filters) {
    std::wstring filter;
    for (const FileFilter& entry : filters) {
        filter += WideFromUtf8(entry.description) + L'\0' + WideFromUtf8(entry.patterns) + L'\0';
    }
    filter += L'\0';
    std::wstring file(32768, L'\0');
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner_;
    request.lpstrFilter = filter.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = file.data();
    request.nMaxFile = static_cast<DWORD>(file.size());
    request.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
    if (!::GetOpenFileNameW(&request)) {
        return {};  // cancelled
    }
    return Utf8FromWide(file.c_str());
}

std::string Win32Desktop::ChooseFolder(std::string_view title) {
    const std::wstring wideTitle = WideFromUtf8(title);
    BROWSEINFOW request{};
    request.hwndOwner = owner_;
    request.lpszTitle = wideTitle.c_str();
    request.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE item = ::SHBrowseForFolderW(&request);
    if (item == nullptr) {
        return {};
    }
    // Room for a path of any length Windows allows, not only MAX_PATH characters.
    std::wstring path(32768, L'\0');
    const BOOL found =
        ::SHGetPathFromIDListEx(item, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT);
    ::CoTaskMemFree(item);
    return found ? Utf8FromWide(path.c_str()) : std::string();
}

void Win32Desktop::OpenWebAddress(std::string_view address) {
    // Shown normally: a browser opened hidden would show the user nothing.
    ::ShellExecuteW(owner_, L"open", WideFromUtf8(address).c_str(), L"", L"", SW_SHOWNORMAL);
}

void Win32Desktop::ShowMessage(std::string_view text) {
    ::MessageBoxW(owner_, WideFromUtf8(text).c_str(), WideFromUtf8(identity::kProductName).c_str(),
                  MB_OK | MB_ICONERROR);
}

void Win32Desktop::EndProgram() {
    ::PostQuitMessage(0);
}

}  // namespace orba::ui::win32
