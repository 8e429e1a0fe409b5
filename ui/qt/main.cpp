// Start-up of the window program: identity, Qt's settings and Chinese texts, the one window.

#include <QApplication>
#include <QIcon>

#include "app/identity.h"
#include "ui/qt/qt_desktop.h"
#include "ui/qt/qt_main_window.h"
#include "ui/qt/qt_program_settings.h"
#include "ui/qt/qt_text.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(orba::ui::ToQString(orba::identity::kProductName));
    QApplication::setApplicationVersion(orba::ui::ToQString(orba::identity::kVersionText));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/orba/icon.png")));

    const orba::ui::QtProgramSettings settings;

    orba::ui::QtDesktop desktop;
    orba::ui::QtMainWindow window(desktop);
    desktop.SetOwner(&window);
    window.tool().Form_Load();
    window.show();
    return QApplication::exec();
}
