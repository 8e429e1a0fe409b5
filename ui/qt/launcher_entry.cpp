#include "ui/qt/launcher_entry.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace orba::ui {

void SendLauncherEntryUpdate(const RunProgress& progress) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage update = QDBusMessage::createSignal(
        QStringLiteral("/org/example/qhsy/orba_upgrade"),
        QString::fromLatin1(kLauncherEntryInterface), QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("progress"), progress.fraction);
    properties.insert(QStringLiteral("progress-visible"),
                      progress.state != RunProgress::State::Ended);
    properties.insert(QStringLiteral("urgent"), progress.state == RunProgress::State::Failed);
    update << QString::fromLatin1(kLauncherEntryApplication) << properties;
    bus.send(update);
}

}  // namespace orba::ui
