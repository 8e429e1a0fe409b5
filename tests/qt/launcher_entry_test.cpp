// The dock sees a real window's run: on a session bus of the test's own, the window's
// com.canonical.Unity.LauncherEntry Update signals arrive in order, ending at the whole, hidden.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QLineEdit>
#include <QTest>
#include <QVariantMap>
#include <chrono>
#include <utility>
#include <vector>

#include "tests/support/fake_desktop.h"
#include "tests/support/test_support.h"
#include "ui/qt/launcher_entry.h"
#include "ui/qt/qt_main_window.h"
#include "ui/qt/qt_text.h"

namespace orba {

// What a dock hears.
class DockListener : public QObject {
    Q_OBJECT

  public:
    struct Update {
        QString application;
        double progress;
        bool visible;
        bool urgent;
    };
    std::vector<Update> updates;

  public slots:
    void Heard(const QString& application, const QVariantMap& properties) {
        updates.push_back({application, properties.value(QStringLiteral("progress")).toDouble(),
                           properties.value(QStringLiteral("progress-visible")).toBool(),
                           properties.value(QStringLiteral("urgent")).toBool()});
    }
};

namespace {

using namespace test;  // NOLINT: the fixtures and helpers

TEST(LauncherEntryTest, DockSeesTheRunsProgressInOrderEndingAtTheWhole) {
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "dock");
    ASSERT_TRUE(bus.isConnected()) << "run with a session bus: dbus-run-session";
    DockListener dock;
    ASSERT_TRUE(bus.connect(QString(), QString(), QString::fromLatin1(ui::kLauncherEntryInterface),
                            QStringLiteral("Update"), &dock, SLOT(Heard(QString, QVariantMap))));

    TempDir dir;
    FakeDesktop desktop;
    desktop.applicationFolder = dir.path();
    desktop.tick = ui::WindowRuns::kProgressInterval;  // each document's progress is sent
    WriteBytes(dir / "orba.html", Document("<new>", "TEMPLATE", "</new>"));
    const std::string oldFolder = dir / "old";
    MakeFolder(oldFolder);
    for (const char* name : {"a.html", "b.html", "c.html", "d.html"}) {
        WriteBytes(Join(oldFolder, name), Document("", name, ""));
    }
    ui::QtMainWindow window(desktop);
    window.tool().Form_Load();
    window.show();
    window.findChild<QLineEdit*>("TXT_OLD_FOLDER")->setText(ui::ToQString(oldFolder));
    window.tool().BT_GO_Click();

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while ((dock.updates.empty() || dock.updates.back().visible) &&
           std::chrono::steady_clock::now() < deadline) {
        QTest::qWait(20);
    }
    std::vector<std::pair<double, bool>> heard;
    for (const DockListener::Update& update : dock.updates) {
        EXPECT_EQ(update.application, QString::fromLatin1(ui::kLauncherEntryApplication));
        EXPECT_FALSE(update.urgent);
        heard.emplace_back(update.progress, update.visible);
    }
    EXPECT_THAT(heard, ::testing::ElementsAre(std::pair(0.0, true), std::pair(0.25, true),
                                              std::pair(0.5, true), std::pair(0.75, true),
                                              std::pair(1.0, true), std::pair(1.0, false)));
}

}  // namespace
}  // namespace orba

#include "launcher_entry_test.moc"
