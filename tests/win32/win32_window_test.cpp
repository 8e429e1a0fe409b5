// The native Windows window: layout, keyboard, handlers and runs, under Wine with a virtual
// display.

#include <windows.h>
// after windows.h, which it builds on
#include <richedit.h>
#include <shlobj.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "app/identity.h"
#include "app/provisioning.h"
#include "tests/fake_desktop.h"
#include "tests/test_support.h"
#include "ui/layout_table.h"
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
    int Scaled(int pixels) const {
        return ::MulDiv(pixels, static_cast<int>(::GetDpiForWindow(window.window())), 96);
    }

    TempDir dir;
    std::string oldFolder = dir / "old";
    std::string output = Join(oldFolder, "NewORBA");
    FakeDesktop desktop;
    Win32MainWindow window{::GetModuleHandleW(nullptr), desktop};
};

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
        EXPECT_EQ(font.lfHeight,
                  -::MulDiv(static_cast<int>(std::lround(spec.pointSize * 10)),
                            static_cast<int>(::GetDpiForWindow(window.window())), 720));
        EXPECT_EQ(font.lfWeight, spec.bold ? FW_BOLD : FW_NORMAL);
    }
    EXPECT_EQ(::lstrcmpiW(ClassName(Control("Label1")).c_str(), L"Static"), 0);
    EXPECT_EQ(::lstrcmpiW(ClassName(Control("TXT_MOD_FILE")).c_str(), L"Edit"), 0);
    EXPECT_EQ(::lstrcmpiW(ClassName(Control("BT_END")).c_str(), L"Button"), 0);
    EXPECT_EQ(::lstrcmpiW(ClassName(Control("TXT_PROGRESS")).c_str(), L"RichEdit50W"), 0);
    EXPECT_EQ(::GetWindowLongW(Control("BT_GO"), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
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
    EXPECT_EQ(window.tool().ProgressLog(), " 准备就绪...\r\n");
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
    EXPECT_EQ(window.tool().ProgressLog(), expected);
    EXPECT_EQ(window.ProgressBoxText(), expected);
    EXPECT_EQ(ReadBytes(Join(output, "甲.html")), Document("<new>", "{\"a\":1}", "</new>"));
    EXPECT_THAT(desktop.messages, IsEmpty());
}

TEST_F(Win32WindowTest, EnterClicksTheFocusedButtonAndStartsNothingInAPathBox) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    MSG enter{Control("TXT_MOD_FILE"), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    ::SetFocus(Control("TXT_MOD_FILE"));
    window.PreTranslate(enter);
    EXPECT_EQ(window.tool().ProgressLog(), " 准备就绪...\r\n");

    ::SetFocus(Control("BT_GO"));
    ASSERT_EQ(::GetFocus(), Control("BT_GO"));
    enter.hwnd = Control("BT_GO");
    EXPECT_TRUE(window.PreTranslate(enter));
    EXPECT_THAT(window.tool().ProgressLog(), HasSubstr("【处理结束：成功升级 1 个】"));
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
    TempDir dir;
    WriteBytes(dir / "COMDLG32.OCX", "control v1");
    FakeDesktop desktop;
    desktop.applicationFolder = dir.path();
    Win32MainWindow window(::GetModuleHandleW(nullptr), desktop);
    window.tool().CopyCOMDLG32OCX();
    EXPECT_EQ(ReadBytes(systemCopy), "control v1");

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

}  // namespace
}  // namespace orba
