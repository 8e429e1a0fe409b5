// Start-up of the window program: identity, Qt's settings and Chinese texts, the one window.

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/identity.h"
#include "app/language.h"
#include "app/standard_descriptors.h"
#include "ui/qt/qt_desktop.h"
#include "ui/qt/qt_main_window.h"
#include "ui/qt/qt_program_settings.h"
#include "ui/qt/qt_text.h"

namespace {

// While Qt connects to the display, what it says is held back: without a display it would end
// the program with an abort and several lines about plugins; this program says so in one line
// and ends with status 1. With a display, what was held back is said after all.
class DisplayConnection {
  public:
    DisplayConnection() { previous_ = qInstallMessageHandler(&Hold); }
    DisplayConnection(const DisplayConnection&) = delete;
    DisplayConnection& operator=(const DisplayConnection&) = delete;
    ~DisplayConnection() {
        qInstallMessageHandler(previous_);
        for (const std::string& message : held_) {
            std::fprintf(stderr, "%s\n", message.c_str());
        }
    }

  private:
    static void Hold(QtMsgType type, const QMessageLogContext& /*context*/, const QString& text) {
        if (type == QtFatalMsg) {
            const auto language = orba::app::LanguageFromEnvironment(
                [](const char* name) -> const char* { return std::getenv(name); });
            std::fputs(orba::app::NoDisplayLine(language).c_str(), stderr);
            std::_Exit(1);
        }
        held_.push_back(text.toStdString());
    }

    // Qt's message handler is one function for the process, called on this thread alone while
    // the application object is made.
    static inline std::vector<std::string> held_;  // NOLINT: the handler has no other place
    QtMessageHandler previous_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    if (!orba::app::OpenClosedStandardDescriptors()) {
        return 1;
    }
    std::optional<DisplayConnection> connecting(std::in_place);
    QApplication application(argc, argv);
    connecting.reset();
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
