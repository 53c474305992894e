// Device arrival and removal for the simulated key: the keysim server's plug and unplug
// announcements, read on the GUI thread through a socket notifier.
#include "gui/desktop/device_event.h"
#include "sim/wire.h"

#include <QSocketNotifier>
#include <QStringList>

#include <easylogging++.h>

namespace {

class KeysimSource : public QObject {
 public:
  KeysimSource(DeviceEvent* watcher, keysim::wire::Socket fd)
      : watcher(watcher), fd(fd), notifier(static_cast<qintptr>(fd), QSocketNotifier::Read) {
    connect(&notifier, &QSocketNotifier::activated, this, [this] { read_change(); });
  }
  ~KeysimSource() override { keysim::wire::close_socket(fd); }

 private:
  // "PLUG key0 096E 0858" or "UNPLUG key0 096E 0858".
  void read_change() {
    char message[256];
    const long n = keysim::wire::receive_message(fd, message, sizeof message, 0);
    if (n < 0) {
      LOG(WARNING) << "The simulated key's server went away: no more device notifications";
      notifier.setEnabled(false);
      return;
    }
    if (n == 0) return;
    const QStringList words = QString::fromUtf8(message, static_cast<int>(n)).split(' ', Qt::SkipEmptyParts);
    if (words.size() != 4) return;
    const DeviceChange kind = words[0] == "PLUG"     ? DeviceChange::arrival
                              : words[0] == "UNPLUG" ? DeviceChange::removal
                                                     : DeviceChange::other;
    watcher->device_changed(kind, "keysim:" + words[1] + " VID_" + words[2] + "&PID_" + words[3]);
  }

  DeviceEvent* watcher;
  keysim::wire::Socket fd;
  QSocketNotifier notifier;
};

}  // namespace

void DeviceEvent::register_event(QWindow*) {
  const keysim::wire::Socket fd = keysim::wire::connect_to(keysim::wire::socket_path());
  std::string reply;
  if (fd == keysim::wire::invalid_socket || !keysim::wire::request(fd, "SUBSCRIBE", reply) || reply != "OK subscribed") {
    keysim::wire::close_socket(fd);
    LOG(ERROR) << "register device notification error";
    return;
  }
  source = std::make_unique<KeysimSource>(this, fd);
}

bool DeviceEvent::nativeEventFilter(const QByteArray&, void*, long*) { return false; }
