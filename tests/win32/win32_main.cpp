// Runs the Windows window tests with COM and the common controls ready, as the program has them.

#include <windows.h>
// after windows.h, which they build on
#include <commctrl.h>
#include <ole2.h>

#include <gmock/gmock.h>

int main(int argc, char** argv) {
    ::OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    ::testing::InitGoogleMock(&argc, argv);
    const int result = RUN_ALL_TESTS();
    ::OleUninitialize();
    return result;
}
