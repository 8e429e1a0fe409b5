// Runs the window tests inside one QApplication. Without a display they use Qt's offscreen
// platform, so the same program also runs by hand on a real desktop.

#include <gmock/gmock.h>

#include <QApplication>

#include "ui/qt/qt_program_settings.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const orba::ui::QtProgramSettings settings;  // as the program has them
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
