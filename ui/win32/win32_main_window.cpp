#include "ui/win32/win32_main_window.h"

#include "ui/win32/accessible_names.h"

#include <commctrl.h>
#include <richedit.h>
#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "app/identity.h"
#include "ui/layout_table.h"
#include "ui/win32/pictures.h"

namespace orba::ui::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"ORBAUpdateTool";
constexpr int kFirstControlId = 100;
constexpr DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;
COLORREF ToColorRef(const Rgb& colour) {
    return RGB(colour.red, colour.green, colour.blue);
}

int ControlId(const ControlSpec& spec) {
    const auto controls = MainWindowControls();
    return kFirstControlId + static_cast<int>(&spec - controls.data());
}

// The layout table's entry of the control with this id, if it is one of the table's.
const ControlSpec* SpecOf(int controlId) {
    const auto controls = MainWindowControls();
    const int index = controlId - kFirstControlId;
    return index >= 0 && index < static_cast<int>(controls.size())
               ? &controls[static_cast<std::size_t>(index)]
               : nullptr;
}

bool IsButton(HWND control) {
    wchar_t name[16] = {};
    ::GetClassNameW(control, name, 16);
    return ::lstrcmpiW(name, L"Button") == 0;
}

// The class, styles and extended styles of a control of this kind.
struct WindowsClass {
    const wchar_t* name;
    DWORD style;
    DWORD exStyle;
};

WindowsClass ClassFor(const ControlSpec& spec) {
    constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    switch (spec.kind) {
        case ControlKind::Label:
            return {L"STATIC",
                    kChild | SS_NOPREFIX | (spec.align == TextAlign::Centre ? SS_CENTER : SS_LEFT),
                    0};
        case ControlKind::TextBox:
            return {L"EDIT", kChild | WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT, WS_EX_CLIENTEDGE};
        case ControlKind::CommandButton:
            return {L"BUTTON",
                    kChild | WS_TABSTOP | BS_MULTILINE |
                        (spec.look.ownerDrawn ? BS_OWNERDRAW : BS_PUSHBUTTON),
                    0};
        case ControlKind::Image:
            return {L"STATIC", kChild | SS_OWNERDRAW | SS_NOTIFY, 0};
        case ControlKind::RichTextBox:
            return {MSFTEDIT_CLASS,
                    kChild | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                    WS_EX_CLIENTEDGE};
    }
    return {L"STATIC", kChild, 0};
}

void RegisterWindowClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (::GetClassInfoExW(instance, kWindowClass, &existing)) {
        return;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassExW(&windowClass);
}

}  // namespace

Win32MainWindow::Win32MainWindow(HINSTANCE instance, Desktop& desktop, DpiCalls dpiCalls,
                                 std::unique_ptr<TaskbarCalls> taskbar)
    : instance_(instance),
      tool_(*this, desktop, FilesOnDisk()),
      dpiCalls_(dpiCalls),
      logo_(LoadJpegResource(instance, kLogoResource)),
      qrCode_(LoadJpegResource(instance, kQrCodeResource)),
      taskbar_(std::move(taskbar)) {
    ::LoadLibraryW(L"Msftedit.dll");  // registers the rich edit class; stays for the process
    RegisterWindowClass(instance, WindowProc);
    window_ = ::CreateWindowExW(kWindowExStyle, kWindowClass,
                                WideFromUtf8(identity::kProductName).c_str(), kWindowStyle,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                                nullptr, instance, this);
    dpi_ = dpiCalls_.DpiFor(window_);
    CreateControls();
    ::DragAcceptFiles(window_, TRUE);
}

Win32MainWindow::~Win32MainWindow() {
    if (::IsWindow(window_)) {
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        ::DestroyWindow(window_);
    }
}

HWND Win32MainWindow::Control(std::string_view name) const {
    return controls_.at(name);
}

int Win32MainWindow::Scaled(int pixels) const {
    return ::MulDiv(pixels, static_cast<int>(dpi_), USER_DEFAULT_SCREEN_DPI);
}

HFONT Win32MainWindow::Font(double pointSize, bool bold) {
    const int tenths = static_cast<int>(std::lround(pointSize * 10));
    auto& font = fonts_[{tenths, bold}];
    if (font.get() == nullptr) {
        const int height = -::MulDiv(tenths, static_cast<int>(dpi_), 720);
        font = GdiObject<HFONT>(::CreateFontW(
            height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
            WideFromUtf8(kFontName).c_str()));
    }
    return font.get();
}

void Win32MainWindow::PlaceControls() {
    RECT frame{0, 0, Scaled(TwipsToPixels(kClientWidthTwips)),
               Scaled(TwipsToPixels(kClientHeightTwips))};
    dpiCalls_.AdjustWindowRect(frame, kWindowStyle, kWindowExStyle, dpi_);
    ::SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const ControlSpec& spec : MainWindowControls()) {
        const HWND control = Control(spec.name);
        ::SetWindowPos(control, nullptr, Scaled(TwipsToPixels(spec.left)),
                       Scaled(TwipsToPixels(spec.top)), Scaled(TwipsToPixels(spec.width)),
                       Scaled(TwipsToPixels(spec.height)), SWP_NOZORDER | SWP_NOACTIVATE);
        if (spec.kind != ControlKind::Image) {
            ::SendMessageW(control, WM_SETFONT,
                           reinterpret_cast<WPARAM>(Font(spec.pointSize, spec.bold)), TRUE);
        }
    }
}

void Win32MainWindow::CreateControls() {
    // Creation order is both the tab order and the stacking order, first created in front: the
    // controls that take focus come first, in tab order, and lie in front of the labels; then the
    // rest from the last listed to the first, so a later one lies in front of an earlier one.
    std::vector<const ControlSpec*> order;
    for (const std::string_view name : TabOrder()) {
        order.push_back(&ui::Control(name));
    }
    const auto controls = MainWindowControls();
    for (auto spec = controls.rbegin(); spec != controls.rend(); ++spec) {
        if (!TakesFocus(*spec)) {
            order.push_back(&*spec);
        }
    }
    for (const ControlSpec* spec : order) {
        const WindowsClass windowsClass = ClassFor(*spec);
        const HWND control = ::CreateWindowExW(
            windowsClass.exStyle, windowsClass.name, WideFromUtf8(spec->text).c_str(),
            windowsClass.style, 0, 0, 0, 0, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(*spec))), instance_, nullptr);
        controls_[spec->name] = control;
        if (spec->kind == ControlKind::Label && spec->look.background) {
            backgrounds_[spec->name] =
                GdiObject<HBRUSH>(::CreateSolidBrush(ToColorRef(*spec->look.background)));
        }
    }
    PlaceControls();

    // A rich edit holds 32,767 characters unless told otherwise; the log of a thousand documents,
    // or of several runs, is longer.
    ::SendMessageW(Control("TXT_PROGRESS"), EM_EXLIMITTEXT, 0, kProgressLogLimit);
    const std::string rtf = RichTextOf(kInitialProgressLog, kFontName);
    SETTEXTEX setText{ST_DEFAULT, CP_ACP};
    ::SendMessageW(Control("TXT_PROGRESS"), EM_SETTEXTEX, reinterpret_cast<WPARAM>(&setText),
                   reinterpret_cast<LPARAM>(rtf.c_str()));
    // The font the document names, for every character: Wine's rich edit reads the font table's
    // name byte by byte instead of in code page 936.
    CHARFORMAT2W font{};
    font.cbSize = sizeof font;
    font.dwMask = CFM_FACE | CFM_SIZE | CFM_CHARSET | CFM_BOLD;
    font.yHeight = 180;  // twips: 9 points
    font.bCharSet = GB2312_CHARSET;
    ::lstrcpynW(font.szFaceName, WideFromUtf8(kFontName).c_str(), LF_FACESIZE);
    ::SendMessageW(Control("TXT_PROGRESS"), EM_SETCHARFORMAT, SCF_ALL,
                   reinterpret_cast<LPARAM>(&font));
    ::SendMessageW(Control("TXT_PROGRESS"), EM_SETCHARFORMAT, SCF_DEFAULT,
                   reinterpret_cast<LPARAM>(&font));
    // Rich edit versions differ in whether a document's last \par survives loading; the log's
    // entries follow a line break either way.
    if (!ProgressBoxText().ends_with("\r\n")) {
        AppendText("\r");
    }

    AddTooltips();
    NameControlsForScreenReaders([this](std::string_view name) { return Control(name); });
}

void Win32MainWindow::AddTooltips() {
    tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                 window_, nullptr, instance_, nullptr);
    for (const ControlSpec& spec : MainWindowControls()) {
        if (spec.look.tooltip.empty()) {
            continue;
        }
        std::wstring tip = WideFromUtf8(spec.look.tooltip);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(Control(spec.name));
        tool.lpszText = tip.data();
        ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void Win32MainWindow::Show(int showCommand) {
    ::ShowWindow(window_, showCommand);
    ::UpdateWindow(window_);
    ::SetFocus(Control(TabOrder().front()));
}

std::string Win32MainWindow::BoxText(PathBox box) const {
    return WindowText(Control(box == PathBox::Template ? "TXT_MOD_FILE" : "TXT_OLD_FOLDER"));
}

void Win32MainWindow::SetBoxText(PathBox box, std::string_view text) {
    ::SetWindowTextW(Control(box == PathBox::Template ? "TXT_MOD_FILE" : "TXT_OLD_FOLDER"),
                     WideFromUtf8(text).c_str());
}

void Win32MainWindow::Hide() {
    ::ShowWindow(window_, SW_HIDE);
}

std::string Win32MainWindow::ProgressBoxText() const {
    const HWND box = Control("TXT_PROGRESS");
    GETTEXTLENGTHEX lengthRequest{GTL_USECRLF | GTL_NUMCHARS, 1200};
    const auto length = static_cast<std::size_t>(
        ::SendMessageW(box, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthRequest), 0));
    std::wstring text(length + 1, L'\0');
    GETTEXTEX request{static_cast<DWORD>(text.size() * sizeof(wchar_t)), GT_USECRLF, 1200, nullptr,
                      nullptr};
    const auto copied = static_cast<std::size_t>(
        ::SendMessageW(box, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request),
                       reinterpret_cast<LPARAM>(text.data())));
    text.resize(copied);
    return Utf8FromWide(text);
}

void Win32MainWindow::AppendText(std::string_view entry) {
    const HWND box = Control("TXT_PROGRESS");
    CHARRANGE end{LONG_MAX, LONG_MAX};  // the box takes positions past its end as its end
    ::SendMessageW(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
    ::SendMessageW(box, EM_REPLACESEL, FALSE,
                   reinterpret_cast<LPARAM>(WideFromUtf8(entry).c_str()));
}

void Win32MainWindow::ShowEnd(Paint paint) {
    const HWND box = Control("TXT_PROGRESS");
    CHARRANGE end{LONG_MAX, LONG_MAX};
    ::SendMessageW(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
    ::SendMessageW(box, EM_SCROLLCARET, 0, 0);
    if (paint == Paint::Now) {
        ::RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    } else {
        ::InvalidateRect(box, nullptr, FALSE);
    }
}

void Win32MainWindow::ShowRunProgress(const RunProgress& progress) {
    if (!taskbar_) {
        taskbar_ = TaskbarCalls::OfSystem();  // the window has its taskbar button by now
    }
    ShowOnTaskbar(*taskbar_, window_, progress);
}

void Win32MainWindow::WaitForEvents(std::chrono::milliseconds timeout) {
    ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(timeout.count()), QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
    ProcessEvents();
}

void Win32MainWindow::ProcessEvents() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));  // for the main loop to see
            return;
        }
        if (!PreTranslate(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

bool Win32MainWindow::PreTranslate(MSG& message) {
    if (message.hwnd != window_ && !::IsChild(window_, message.hwnd)) {
        return false;
    }
    if (message.message == WM_KEYDOWN) {
        const HWND focus = ::GetFocus();
        if (message.wParam == VK_RETURN && IsButton(focus)) {
            ::SendMessageW(focus, BM_CLICK, 0, 0);  // Enter clicks the focused button
            return true;
        }
        if (message.wParam == VK_TAB && focus == Control("TXT_PROGRESS")) {
            // The log box would keep the Tab key for itself.
            ::SetFocus(::GetNextDlgTabItem(window_, focus, ::GetKeyState(VK_SHIFT) < 0));
            return true;
        }
    }
    return ::IsDialogMessageW(window_, &message) != FALSE;
}

void Win32MainWindow::OnCommand(int controlId) {
    // IDOK and IDCANCEL from Enter and Esc are no control of the table: nothing is the default.
    if (const ControlSpec* spec = SpecOf(controlId)) {
        tool_.Click(*spec);
    }
}

RECT Win32MainWindow::FocusRing(HWND control) const {
    RECT ring{};
    ::GetWindowRect(control, &ring);
    ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&ring), 2);
    ::InflateRect(&ring, Scaled(2), Scaled(2));
    return ring;
}

// A read-only rich edit shows no caret: a ring around the log box shows that it has the focus.
void Win32MainWindow::PaintFocusRing(HDC dc) const {
    const HWND focus = ::GetFocus();
    const ControlSpec* spec = SpecOf(::GetDlgCtrlID(focus));
    if (focus == nullptr || ::GetParent(focus) != window_ || spec == nullptr ||
        spec->kind != ControlKind::RichTextBox) {
        return;
    }
    const RECT ring = FocusRing(focus);
    const GdiObject<HBRUSH> highlight(::CreateSolidBrush(::GetSysColor(COLOR_HIGHLIGHT)));
    const int width = Scaled(2);
    const RECT sides[] = {{ring.left, ring.top, ring.right, ring.top + width},
                          {ring.left, ring.bottom - width, ring.right, ring.bottom},
                          {ring.left, ring.top, ring.left + width, ring.bottom},
                          {ring.right - width, ring.top, ring.right, ring.bottom}};
    for (const RECT& side : sides) {
        ::FillRect(dc, &side, highlight.get());
    }
}

void Win32MainWindow::DrawButton(const DRAWITEMSTRUCT& item, const ControlSpec& spec) {
    RECT face = item.rcItem;
    const GdiObject<HBRUSH> colour(::CreateSolidBrush(
        spec.look.background ? ToColorRef(*spec.look.background) : ::GetSysColor(COLOR_BTNFACE)));
    ::FillRect(item.hDC, &face, colour.get());
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    ::DrawEdge(item.hDC, &face, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    const HGDIOBJ previous = ::SelectObject(
        item.hDC, reinterpret_cast<HFONT>(::SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    ::SetBkMode(item.hDC, TRANSPARENT);
    ::SetTextColor(item.hDC, ::GetSysColor(COLOR_BTNTEXT));
    RECT text = face;
    if (pressed) {
        ::OffsetRect(&text, 1, 1);
    }
    const std::wstring caption = WideFromUtf8(WindowText(item.hwndItem));
    ::DrawTextW(item.hDC, caption.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    ::SelectObject(item.hDC, previous);
    if ((item.itemState & ODS_FOCUS) != 0) {
        ::InflateRect(&face, -Scaled(4), -Scaled(4));
        ::DrawFocusRect(item.hDC, &face);
    }
}

void Win32MainWindow::DrawPicture(const DRAWITEMSTRUCT& item, const ControlSpec& spec) {
    switch (spec.look.picture) {
        case Picture::Logo:
            DrawStretched(item.hDC, item.rcItem, logo_.get());
            break;
        case Picture::QrCode:
            DrawStretched(item.hDC, item.rcItem, qrCode_.get());
            break;
        case Picture::None:
            break;
    }
}

LRESULT CALLBACK Win32MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<Win32MainWindow*>(create->lpCreateParams);
        self->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    return self != nullptr ? self->HandleMessage(message, wParam, lParam)
                           : ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) {
                OnCommand(LOWORD(wParam));
            } else if (HIWORD(wParam) == EN_SETFOCUS || HIWORD(wParam) == EN_KILLFOCUS) {
                RECT ring = FocusRing(reinterpret_cast<HWND>(lParam));
                ::InvalidateRect(window_, &ring, TRUE);
            }
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            const HDC dc = ::BeginPaint(window_, &paint);
            PaintFocusRing(dc);
            ::EndPaint(window_, &paint);
            return 0;
        }
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            const ControlSpec* spec = SpecOf(static_cast<int>(item.CtlID));
            if (spec != nullptr && spec->kind == ControlKind::CommandButton) {
                DrawButton(item, *spec);
            } else if (spec != nullptr) {
                DrawPicture(item, *spec);
            }
            return TRUE;
        }
        case WM_CTLCOLORSTATIC: {
            const auto dc = reinterpret_cast<HDC>(wParam);
            const ControlSpec* spec = SpecOf(::GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
            if (spec != nullptr && spec->look.background) {
                ::SetBkColor(dc, ToColorRef(*spec->look.background));
                return reinterpret_cast<LRESULT>(backgrounds_.at(spec->name).get());
            }
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_CLOSE:
            // During a run the window only hides: the run stops at its next pause, then the
            // program ends.
            if (tool_.Form_Unload()) {
                ::DestroyWindow(window_);
            }
            return 0;
        case WM_DPICHANGED: {
            // Moved to a monitor of another density: the same layout at the new scale.
            dpi_ = HIWORD(wParam);
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            const auto oldFonts = std::move(fonts_);  // released once the controls use new ones
            fonts_.clear();
            PlaceControls();
            return 0;
        }
        case WM_DROPFILES: {
            const auto drop = reinterpret_cast<HDROP>(wParam);
            std::wstring path(::DragQueryFileW(drop, 0, nullptr, 0) + 1, L'\0');
            path.resize(::DragQueryFileW(drop, 0, path.data(), static_cast<UINT>(path.size())));
            ::DragFinish(drop);
            const DWORD attributes = ::GetFileAttributesW(path.c_str());
            const bool isFolder = attributes != INVALID_FILE_ATTRIBUTES &&
                                  (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            tool_.Form_DragDrop(Utf8FromWide(path), isFolder);
            return 0;
        }
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window_, message, wParam, lParam);
    }
}

int RunMessageLoop(Win32MainWindow& window) {
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!window.PreTranslate(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

}  // namespace orba::ui::win32
