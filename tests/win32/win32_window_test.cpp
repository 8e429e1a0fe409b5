// The native Windows window: layout, keyboard, handlers and runs, under Wine with a virtual
// display.

#include <windows.h>
// after windows.h, which it builds on
#include <oleacc.h>
#include <richedit.h>
#include <shlobj.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/identity.h"
#include "app/provisioning.h"
#include "storage/windows_paths.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/test_support.h"
#include "ui/layout_table.h"
#include "ui/win32/accessible_names.h"
#include "ui/win32/win32_desktop.h"
#include "ui/win32/win32_main_window.h"

namespace orba {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using namespace test;  // NOLINT: the fixtures and helpers
using ui::win32::WideFromUtf8;
using ui::win32::Win32MainWindow;
using ui::win32::WindowText;

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

// The taskbar button's calls, as "state N", "value D/T" and "flash".
class RecordingTaskbar final : public ui::win32::TaskbarCalls {
  public:
    HRESULT SetProgressState(HWND /*window*/, TBPFLAG state) override {
        calls.push_back("state " + std::to_string(state));
        return S_OK;
    }
    HRESULT SetProgressValue(HWND /*window*/, ULONGLONG done, ULONGLONG total) override {
        calls.push_back("value " + std::to_string(done) + "/" + std::to_string(total));
        return S_OK;
    }
    void Flash(HWND /*window*/) override { calls.push_back("flash"); }
    bool IsInFront(HWND /*window*/) override { return inFront; }

    std::vector<std::string> calls;
    bool inFront = true;
};

class Win32WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        desktop.applicationFolder = dir.path();
        WriteBytes(dir / "orba.html", Document("<new>", "TEMPLATE", "</new>"));
        MakeFolder(oldFolder);
        window.tool().Form_Load();
        ::SetWindowTextW(Control("TXT_OLD_FOLDER"), WideFromUtf8(oldFolder).c_str());
        window.Show(SW_SHOW);
    }

    HWND Control(const char* name) const { return window.Control(name); }
    void Click(const char* name) { ::SendMessageW(Control(name), BM_CLICK, 0, 0); }
    int Scaled(int pixels) const { return ::MulDiv(pixels, static_cast<int>(window.dpi()), 96); }

    TempDir dir;
    std::string oldFolder = dir / "old";
    std::string output = Join(oldFolder, "NewORBA");
    FakeDesktop desktop;
    std::unique_ptr<RecordingTaskbar> ownTaskbar = std::make_unique<RecordingTaskbar>();
    RecordingTaskbar& taskbar = *ownTaskbar;
    Win32MainWindow window{::GetModuleHandleW(nullptr), desktop, ui::DpiCalls::OfSystem(),
                           std::move(ownTaskbar)};
};

// What a screen reader asks the control for: its name, or its description.
std::string Accessible(HWND control, bool description) {
    IAccessible* accessible = nullptr;
    if (FAILED(::AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                            IID_IAccessible,
                                            reinterpret_cast<void**>(&accessible)))) {
        return "(no accessible object)";
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    const HRESULT got = description ? accessible->get_accDescription(self, &text)
                                    : accessible->get_accName(self, &text);
    accessible->Release();
    std::string result = SUCCEEDED(got) && text != nullptr
                             ? platform::Utf8FromWide(std::wstring_view(text, ::SysStringLen(text)))
                             : std::string();
    ::SysFreeString(text);
    return result;
}

TEST_F(Win32WindowTest, ScreenReadersHearTheNamesOfTheLayoutTable) {
    if (!ui::NameControlsForScreenReaders(
            [this](std::string_view name) { return window.Control(name); })) {
        GTEST_SKIP() << "this system offers no accessibility annotation (IAccPropServices)";
    }
    for (const ui::ControlSpec& spec : ui::MainWindowControls()) {
        if (!spec.accessible.name.empty()) {
            EXPECT_EQ(Accessible(Control(std::string(spec.name).c_str()), false),
                      spec.accessible.name);
        }
    }
    EXPECT_EQ(Accessible(Control("TXT_MOD_FILE"), true), ui::Control("Label4").text);
}

TEST_F(Win32WindowTest, EveryControlStandsWhereTheLayoutTableSaysWithItsTextAndFont) {
    RECT client{};
    ::GetClientRect(window.window(), &client);
    EXPECT_EQ(client.right, Scaled(1059));
    EXPECT_EQ(client.bottom, Scaled(444));
    EXPECT_EQ(WindowText(window.window()), "ORBA批量升级工具");
    for (const ui::ControlSpec& spec : ui::MainWindowControls()) {
        SCOPED_TRACE(std::string(spec.name));
        const HWND control = window.Control(spec.name);
        RECT place{};
        ::GetWindowRect(control, &place);
        ::MapWindowPoints(nullptr, window.window(), reinterpret_cast<POINT*>(&place), 2);
        EXPECT_EQ(place.left, Scaled(std::lround(spec.left / 15.0)));
        EXPECT_EQ(place.top, Scaled(std::lround(spec.top / 15.0)));
        EXPECT_EQ(place.right - place.left, Scaled(std::lround(spec.width / 15.0)));
        EXPECT_EQ(place.bottom - place.top, Scaled(std::lround(spec.height / 15.0)));
        if (spec.kind == ui::ControlKind::Image) {
            continue;
        }
        if (spec.kind == ui::ControlKind::RichTextBox) {
            // The box's font is set by its content: 9-point 宋体.
            CHARFORMAT2W format{};
            format.cbSize = sizeof format;
            CHARRANGE start{0, 0};
            ::SendMessageW(control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&start));
            ::SendMessageW(control, EM_GETCHARFORMAT, SCF_SELECTION,
                           reinterpret_cast<LPARAM>(&format));
            EXPECT_STREQ(format.szFaceName, L"宋体");
            EXPECT_EQ(format.yHeight, 180) << "twips";
            continue;
        }
        if (spec.kind != ui::ControlKind::TextBox) {
            EXPECT_EQ(WindowText(control), spec.text);
        }
        LOGFONTW font{};
        ASSERT_NE(::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)),
                               sizeof font, &font),
                  0);
        EXPECT_STREQ(font.lfFaceName, L"宋体");
        EXPECT_EQ(font.lfCharSet, GB2312_CHARSET);
        EXPECT_EQ(font.lfHeight, -::MulDiv(static_cast<int>(std::lround(spec.pointSize * 10)),
                                           static_cast<int>(window.dpi()), 720));
        EXPECT_EQ(font.lfWeight, spec.bold ? FW_BOLD : FW_NORMAL);
    }
    EXPECT_EQ(::lstrcmpiW(ClassName(Control("Label1")).c_str(), L"Static"), 0);
    EXPECT_EQ(::lstrcmpiW(ClassName(Control("TXT_MOD_FILE")).c_str(), L"Edit"), 0);
    EXPECT_EQ(::lstrcmpiW(ClassName(Control("BT_END")).c_str(), L"Button"), 0);
    EXPECT_EQ(::lstrcmpiW(ClassName(Control("TXT_PROGRESS")).c_str(), L"RichEdit50W"), 0);
    EXPECT_EQ(::GetWindowLongW(Control("BT_GO"), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
}

// The ink of a control's text drawn as the control draws it, but unclipped: every pixel that is
// not background, in the window's client coordinates.
std::vector<RECT> InkOf(HWND window, HWND control, const ui::ControlSpec& spec) {
    RECT client{};
    ::GetClientRect(control, &client);
    constexpr int kMargin = 64;
    const int width = client.right + 2 * kMargin;
    const int height = client.bottom + 2 * kMargin;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const HDC screen = ::GetDC(nullptr);
    const HDC dc = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    const HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previousBitmap = ::SelectObject(dc, bitmap);
    const HGDIOBJ previousFont =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT whole{0, 0, width, height};
    ::FillRect(dc, &whole, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0, 0, 0));
    const std::wstring text = WideFromUtf8(spec.text);
    RECT box{kMargin, kMargin, kMargin + client.right, kMargin + client.bottom};
    UINT flags = DT_NOPREFIX | DT_NOCLIP;
    if (spec.kind == ui::ControlKind::Label) {
        flags |= DT_WORDBREAK | (spec.align == ui::TextAlign::Centre ? DT_CENTER : DT_LEFT);
    } else if (spec.look.ownerDrawn) {
        flags |= DT_CENTER | DT_VCENTER | DT_SINGLELINE;  // as the window draws it
    } else {
        // A multi-line push button centres its block of lines.
        RECT measured = box;
        ::DrawTextW(dc, text.c_str(), -1, &measured,
                    flags | DT_CENTER | DT_WORDBREAK | DT_CALCRECT);
        const int offset = ((box.bottom - box.top) - (measured.bottom - measured.top)) / 2;
        box.top += offset;
        box.bottom = box.top + (measured.bottom - measured.top);
        flags |= DT_CENTER | DT_WORDBREAK;
    }
    ::DrawTextW(dc, text.c_str(), -1, &box, flags);
    ::GdiFlush();
    POINT origin{0, 0};
    ::MapWindowPoints(control, window, &origin, 1);
    std::vector<RECT> ink;
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if ((pixels[y * width + x] & 0xFFFFFF) != 0xFFFFFF) {
                const int left = origin.x + x - kMargin;
                const int top = origin.y + y - kMargin;
                ink.push_back({left, top, left + 1, top + 1});
            }
        }
    }
    ::SelectObject(dc, previousFont);
    ::SelectObject(dc, previousBitmap);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    return ink;
}

// Every label's and button's text is whole: inside its control, and under no control in front.
void ExpectEveryTextWhole(const Win32MainWindow& window) {
    const auto controls = ui::MainWindowControls();
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ui::ControlSpec& spec = controls[i];
        if (spec.kind != ui::ControlKind::Label && spec.kind != ui::ControlKind::CommandButton) {
            continue;
        }
        SCOPED_TRACE(std::string(spec.name));
        const HWND control = window.Control(spec.name);
        RECT place{};
        ::GetWindowRect(control, &place);
        ::MapWindowPoints(nullptr, window.window(), reinterpret_cast<POINT*>(&place), 2);
        const std::vector<RECT> ink = InkOf(window.window(), control, spec);
        RECT needed = ink.empty() ? RECT{} : ink.front();
        for (const RECT& pixel : ink) {
            ::UnionRect(&needed, &needed, &pixel);
        }
        std::printf("%-21s ink %ld x %ld at (%ld, %ld), room %ld x %ld at (%ld, %ld)\n",
                    std::string(spec.name).c_str(), needed.right - needed.left,
                    needed.bottom - needed.top, needed.left, needed.top, place.right - place.left,
                    place.bottom - place.top, place.left, place.top);
        EXPECT_TRUE(needed.left >= place.left && needed.top >= place.top &&
                    needed.right <= place.right && needed.bottom <= place.bottom)
            << "ink outside the control";
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            RECT front{};
            ::GetWindowRect(window.Control(controls[j].name), &front);
            ::MapWindowPoints(nullptr, window.window(), reinterpret_cast<POINT*>(&front), 2);
            const auto covered = std::count_if(ink.begin(), ink.end(), [&](const RECT& pixel) {
                RECT overlap{};
                return ::IntersectRect(&overlap, &pixel, &front) != FALSE;
            });
            EXPECT_EQ(covered, 0) << std::string(controls[j].name) << " covers ink";
        }
    }
}

// Windows 7 and 8 have no per-monitor density calls: the window takes the system's density and
// lays itself out as on any other system.
TEST(Win32WindowWithoutLaterCallsTest, OpensWholeAtTheSystemsDensity) {
    FakeDesktop desktop;
    Win32MainWindow window(::GetModuleHandleW(nullptr), desktop, ui::DpiCalls::Missing());
    window.Show(SW_SHOW);
    const HDC screen = ::GetDC(nullptr);
    const int systemDpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    EXPECT_EQ(window.dpi(), static_cast<UINT>(systemDpi));
    const auto scaled = [&](int twips) {
        return ::MulDiv(std::lround(twips / 15.0), systemDpi, 96);
    };
    RECT client{};
    ::GetClientRect(window.window(), &client);
    EXPECT_EQ(client.right, scaled(ui::kClientWidthTwips));
    EXPECT_EQ(client.bottom, scaled(ui::kClientHeightTwips));
    for (const ui::ControlSpec& spec : ui::MainWindowControls()) {
        RECT place{};
        ::GetWindowRect(window.Control(spec.name), &place);
        ::MapWindowPoints(nullptr, window.window(), reinterpret_cast<POINT*>(&place), 2);
        EXPECT_EQ(place.left, scaled(spec.left)) << spec.name;
        EXPECT_EQ(place.bottom - place.top, scaled(spec.height)) << spec.name;
    }
    ExpectEveryTextWhole(window);
}

TEST_F(Win32WindowTest, EveryLabelAndButtonShowsItsWholeTextAtOnceAndTwiceTheScale) {
    const UINT dpi = window.dpi();
    ExpectEveryTextWhole(window);
    RECT frame{};
    ::GetWindowRect(window.window(), &frame);
    frame.right = frame.left + 2 * (frame.right - frame.left);
    frame.bottom = frame.top + 2 * (frame.bottom - frame.top);
    ::SendMessageW(window.window(), WM_DPICHANGED, MAKEWPARAM(2 * dpi, 2 * dpi),
                   reinterpret_cast<LPARAM>(&frame));
    RECT client{};
    ::GetClientRect(window.window(), &client);
    ASSERT_EQ(client.right, ::MulDiv(1059, static_cast<int>(2 * dpi), 96)) << "laid out anew";
    ExpectEveryTextWhole(window);
}

TEST_F(Win32WindowTest, LogBoxShowsALineOfFortyEqualSignsUnwrapped) {
    const HWND log = Control("TXT_PROGRESS");
    RECT format{};
    ::SendMessageW(log, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    const HFONT font =
        ::CreateFontW(-::MulDiv(9, static_cast<int>(window.dpi()), 72), 0, 0, 0, FW_NORMAL, FALSE,
                      FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                      CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"宋体");
    const HDC dc = ::GetDC(log);
    const HGDIOBJ previous = ::SelectObject(dc, font);
    SIZE line{};
    ::GetTextExtentPoint32W(dc, std::wstring(40, L'=').c_str(), 40, &line);
    ::SelectObject(dc, previous);
    ::ReleaseDC(log, dc);
    ::DeleteObject(font);
    std::printf("forty '=': %ld px, room %ld px\n", line.cx, format.right - format.left);
    EXPECT_LE(line.cx, format.right - format.left);
}

TEST_F(Win32WindowTest, LogBoxShowsItsFocus) {
    const HWND log = Control("TXT_PROGRESS");
    RECT place{};
    ::GetWindowRect(log, &place);
    ::MapWindowPoints(nullptr, window.window(), reinterpret_cast<POINT*>(&place), 2);
    const auto colourBeside = [&] {
        ::UpdateWindow(window.window());
        const HDC dc = ::GetDC(window.window());
        const COLORREF colour = ::GetPixel(dc, place.left - 1, place.top + Scaled(20));
        ::ReleaseDC(window.window(), dc);
        return colour;
    };
    ::SetFocus(log);
    EXPECT_EQ(colourBeside(), ::GetSysColor(COLOR_HIGHLIGHT)) << "a ring shows the focus";
    ::SetFocus(Control("BT_GO"));
    EXPECT_EQ(colourBeside(), ::GetSysColor(COLOR_BTNFACE)) << "and goes with it";
}

TEST_F(Win32WindowTest, TabFollowsTheFixedOrderWithoutADefaultButton) {
    std::vector<std::string> order;
    HWND control = Control("BT_GO");
    for (int i = 0; i <= 8; ++i) {
        for (const ui::ControlSpec& spec : ui::MainWindowControls()) {
            if (window.Control(spec.name) == control) {
                order.emplace_back(spec.name);
            }
        }
        control = ::GetNextDlgTabItem(window.window(), control, FALSE);
    }
    EXPECT_THAT(order,
                ElementsAre("BT_GO", "BT_BROWSE_OLD_FOLDER", "BT_SELECT_MOD_FILE", "TXT_MOD_FILE",
                            "TXT_OLD_FOLDER", "BT_END", "BT_LINK_WEB", "TXT_PROGRESS", "BT_GO"));
    EXPECT_EQ(HIWORD(::SendMessageW(window.window(), DM_GETDEFID, 0, 0)), 0) << "no default button";
}

TEST_F(Win32WindowTest, LogReadsReadyBeforeAnyRun) {
    EXPECT_EQ(window.ProgressBoxText(), " 准备就绪...\r\n");
}

TEST_F(Win32WindowTest, LogBoxHoldsAnyLength) {
    // Wine grows the limit by itself: what the program asked for is checked too.
    EXPECT_EQ(::SendMessageW(Control("TXT_PROGRESS"), EM_GETLIMITTEXT, 0, 0),
              Win32MainWindow::kProgressLogLimit);
    const HWND box = Control("TXT_PROGRESS");
    std::string expected = window.ProgressBoxText();
    std::string entry;
    for (int i = 1; i <= 500; ++i) {
        entry += "\r\n " + std::to_string(i) + ": 一个很长的文件名很长很长很长很长.html: 升级成功";
    }
    const std::wstring wideEntry = WideFromUtf8(entry);
    for (int i = 0; i < 6; ++i) {  // over 100,000 characters in all
        CHARRANGE end{-1, -1};
        ::SendMessageW(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
        ::SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wideEntry.c_str()));
        expected += entry;
    }
    EXPECT_TRUE(window.ProgressBoxText() == expected) << "the box holds every entry";
}

TEST_F(Win32WindowTest, AClickOnEachButtonReachesItsHandler) {
    desktop.filesToChoose = {"C:\\maps\\模板.html"};
    Click("BT_SELECT_MOD_FILE");
    EXPECT_EQ(WindowText(Control("TXT_MOD_FILE")), "C:\\maps\\模板.html");
    desktop.foldersToChoose = {"F:\\"};
    Click("BT_BROWSE_OLD_FOLDER");
    EXPECT_EQ(WindowText(Control("TXT_OLD_FOLDER")), "F:\\");
    Click("BT_LINK_WEB");
    EXPECT_THAT(desktop.openedAddresses, ElementsAre(std::string(identity::kMakerWebAddress)));
    Click("BT_END");
    EXPECT_EQ(desktop.endRequests, 1);
    EXPECT_FALSE(::IsWindowVisible(window.window()));
}

TEST_F(Win32WindowTest, StartButtonRunsTheUpgradeAndTheLogBoxShowsEveryEntry) {
    WriteBytes(Join(oldFolder, "甲.html"), Document("<old>", "{\"a\":1}", "</old>"));
    WriteBytes(Join(oldFolder, "B.HTML"), Document("<old>", "{\"b\":2}", "</old>"));
    Click("BT_GO");
    const std::string expected = " 准备就绪...\r\n" + ExpectedLog({"B.HTML", "甲.html"}, output);
    EXPECT_EQ(window.ProgressBoxText(), expected);
    EXPECT_EQ(ReadBytes(Join(output, "甲.html")), Document("<new>", "{\"a\":1}", "</new>"));
    EXPECT_THAT(desktop.messages, IsEmpty());
}

TEST_F(Win32WindowTest, EnterClicksTheFocusedButtonAndStartsNothingInAPathBox) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    MSG enter{Control("TXT_MOD_FILE"), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    ::SetFocus(Control("TXT_MOD_FILE"));
    window.PreTranslate(enter);
    EXPECT_EQ(window.ProgressBoxText(), " 准备就绪...\r\n");

    ::SetFocus(Control("BT_GO"));
    ASSERT_EQ(::GetFocus(), Control("BT_GO"));
    enter.hwnd = Control("BT_GO");
    EXPECT_TRUE(window.PreTranslate(enter));
    EXPECT_THAT(window.ProgressBoxText(), HasSubstr("【处理结束：成功升级 1 个】"));
}

// What the shell hands a window that accepts files: a DROPFILES block with one wide path.
HDROP DropOf(const std::string& path) {
    const std::wstring wide = WideFromUtf8(path);
    const std::size_t bytes = sizeof(DROPFILES) + (wide.size() + 2) * sizeof(wchar_t);
    const HGLOBAL memory = ::GlobalAlloc(GHND, bytes);
    auto* files = static_cast<DROPFILES*>(::GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    auto* names = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(files) + sizeof(DROPFILES));
    std::copy(wide.begin(), wide.end(), names);
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST_F(Win32WindowTest, DroppedFileIsTheTemplateAndDroppedFolderTheOldFolder) {
    const std::string otherTemplate = Join(oldFolder, "新模板.html");
    WriteBytes(otherTemplate, "x");
    ::SendMessageW(window.window(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf(otherTemplate)),
                   0);
    EXPECT_EQ(WindowText(Control("TXT_MOD_FILE")), otherTemplate);
    EXPECT_EQ(WindowText(Control("TXT_OLD_FOLDER")), oldFolder);
    ::SendMessageW(window.window(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf(dir.path())), 0);
    EXPECT_EQ(WindowText(Control("TXT_OLD_FOLDER")), dir.path());
}

TEST(Win32ProvisioningTest, CopiesIntoTheRealSystemFolderOnlyWhenItLacksTheFile) {
    const std::string systemCopy(app::kSystemDialogControlPath);
    if (Exists(systemCopy)) {
        GTEST_SKIP() << "this system already has " << systemCopy;
    }
    // Every 64-bit Windows has the 32-bit programs' system folder; a Wine prefix without 32-bit
    // support may lack it.
    ::CreateDirectoryW(L"C:\\Windows\\SysWOW64", nullptr);
    TempDir dir;
    WriteBytes(dir / "COMDLG32.OCX", "control v1");
    FakeDesktop desktop;
    desktop.applicationFolder = dir.path();
    Win32MainWindow window(::GetModuleHandleW(nullptr), desktop);
    const std::string sixtyFourBitCopy = "C:\\Windows\\System32\\COMDLG32.OCX";
    const bool sixtyFourBitHadIt = Exists(sixtyFourBitCopy);
    window.tool().CopyCOMDLG32OCX();
    EXPECT_EQ(ReadBytes(systemCopy), "control v1");
    EXPECT_EQ(Exists(sixtyFourBitCopy), sixtyFourBitHadIt)
        << "the 32-bit control goes where 32-bit programs look, not among the 64-bit files";

    WriteBytes(dir / "COMDLG32.OCX", "control v2");
    window.tool().CopyCOMDLG32OCX();
    EXPECT_EQ(ReadBytes(systemCopy), "control v1") << "an existing system copy is never replaced";
    Remove(systemCopy);
    EXPECT_THAT(desktop.messages, IsEmpty());
}

TEST(Win32DesktopTest, ApplicationFolderKeepsTheBackslashOnlyAtADriveRoot) {
    EXPECT_EQ(ui::win32::FolderOfModule("D:\\Tools\\ORBA批量升级工具.exe"), "D:\\Tools");
    EXPECT_EQ(ui::win32::FolderOfModule("E:\\ORBA批量升级工具.exe"), "E:\\");
}

TEST_F(Win32WindowTest, TaskbarButtonShowsTheRunsProgressThenNone) {
    desktop.tick = ui::WindowRuns::kProgressInterval;  // each document's progress is shown
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    WriteBytes(Join(oldFolder, "b.html"), Document("", "B", ""));
    Click("BT_GO");
    EXPECT_THAT(taskbar.calls, ElementsAre("state 2", "value 0/1000", "state 2", "value 500/1000",
                                           "state 2", "value 1000/1000", "state 0"))
        << "TBPF_NORMAL while running, TBPF_NOPROGRESS at the end";
}

TEST_F(Win32WindowTest, FailedRunTurnsTheButtonRedWhereItStopped) {
    desktop.tick = ui::WindowRuns::kProgressInterval;
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    WriteBytes(Join(oldFolder, "b.html"), Document("", "B", ""));
    MakeFolder(output);
    MakeFolder(Join(output, "b.html"));
    Click("BT_GO");
    ASSERT_GE(taskbar.calls.size(), 2u);
    EXPECT_THAT(std::vector(taskbar.calls.end() - 2, taskbar.calls.end()),
                ElementsAre("value 500/1000", "state 4"))
        << "TBPF_ERROR";
}

TEST_F(Win32WindowTest, LongRunEndingBehindOtherWindowsFlashesTheButton) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    desktop.tick = ui::WindowRuns::kLongRun;
    Click("BT_GO");
    EXPECT_EQ(taskbar.calls.back(), "state 0") << "in front: no flash";
    taskbar.inFront = false;
    Click("BT_GO");
    EXPECT_EQ(taskbar.calls.back(), "flash");
}

TEST(Win32TaskbarTest, SystemsTaskbarObjectTakesTheCalls) {
    // Wine makes the taskbar object and accepts the calls, showing nothing; a system without a
    // shell makes none, and the calls do nothing.
    const HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                          nullptr, nullptr, nullptr, nullptr);
    const auto calls = ui::win32::TaskbarCalls::OfSystem();
    const HRESULT state = calls->SetProgressState(window, TBPF_NORMAL);
    const HRESULT value = calls->SetProgressValue(window, 1, 2);
    std::printf("taskbar object: %s; SetProgressState 0x%08lx, SetProgressValue 0x%08lx\n",
                state == S_FALSE ? "none" : "made", static_cast<unsigned long>(state),
                static_cast<unsigned long>(value));
    EXPECT_TRUE(SUCCEEDED(state));
    EXPECT_TRUE(SUCCEEDED(value));
    ::DestroyWindow(window);
}

}  // namespace
}  // namespace orba
