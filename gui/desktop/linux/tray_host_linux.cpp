#include "gui/desktop/tray_host.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

#include <easylogging++.h>

#include <functional>

// Tray icons are StatusNotifier items: the desktop's panel shows them once its host has
// registered with the watcher. Both may come up after the program, the watcher first.
namespace {

const QString watcher_service = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcher_path = QStringLiteral("/StatusNotifierWatcher");

// Asks the watcher whether a host is registered, now and whenever the watcher or a host comes.
class HostQuery : public QObject {
  Q_OBJECT

 public:
  HostQuery(QDBusConnection bus, std::function<void(bool)> answer, QObject* parent)
      : QObject(parent), bus(bus), answer(std::move(answer)) {}

 public slots:
  void ask() {
    QDBusMessage get = QDBusMessage::createMethodCall(watcher_service, watcher_path,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << watcher_service << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* call = new QDBusPendingCallWatcher(bus.asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
      const QDBusPendingReply<QDBusVariant> reply = *finished;
      answer(!reply.isError() && reply.value().variant().toBool());
      finished->deleteLater();
    });
  }

 private:
  QDBusConnection bus;
  std::function<void(bool)> answer;
};

}  // namespace

TrayHost::TrayHost(QObject* parent) : QObject(parent) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    LOG(INFO) << "No StatusNotifier host: no tray icon";
    return;
  }
  auto* query = new HostQuery(bus, [this, first = true](bool on) mutable {
    if (first && !on) LOG(INFO) << "No StatusNotifier host: no tray icon";
    first = false;
    set_available(on);
  }, this);
  auto* owner = new QDBusServiceWatcher(watcher_service, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
  connect(owner, &QDBusServiceWatcher::serviceOwnerChanged, query,
          [this, query](const QString&, const QString&, const QString& new_owner) {
            if (new_owner.isEmpty())
              set_available(false);
            else
              query->ask();
          });
  bus.connect(watcher_service, watcher_path, watcher_service, QStringLiteral("StatusNotifierHostRegistered"), query,
              SLOT(ask()));
  query->ask();
}

void TrayHost::set_available(bool on) {
  if (on == host_available) return;
  host_available = on;
  emit available_changed();
}

#include "tray_host_linux.moc"
