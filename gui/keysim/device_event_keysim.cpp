// Device arrival and removal for the simulated key: the keysim server's plug and unplug
// announcements, read on the GUI thread through a socket notifier.
#include "gui/windows/device_event.h"
#include "sim/wire.h"

#include <QSocketNotifier>
#include <QStringList>

#include <easylogging++.h>

#include <sys/socket.h>
#include <unistd.h>

namespace {

class KeysimSource : public QObject {
 public:
  KeysimSource(DeviceEvent* watcher, int fd) : watcher(watcher), fd(fd), notifier(fd, QSocketNotifier::Read) {
    connect(&notifier, &QSocketNotifier::activated, this, [this] { read_change(); });
  }
  ~KeysimSource() override { ::close(fd); }

 private:
  // "PLUG key0 096E 0858" or "UNPLUG key0 096E 0858".
  void read_change() {
    char message[256];
    const ssize_t n = ::recv(fd, message, sizeof message, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
      LOG(WARNING) << "The simulated key's server went away: no more device notifications";
      notifier.setEnabled(false);
      return;
    }
    if (n < 0) return;
    const QStringList words = QString::fromUtf8(message, static_cast<int>(n)).split(' ', Qt::SkipEmptyParts);
    if (words.size() != 4) return;
    const DeviceChange kind = words[0] == "PLUG"     ? DeviceChange::arrival
                              : words[0] == "UNPLUG" ? DeviceChange::removal
                                                     : DeviceChange::other;
    watcher->device_changed(kind, "keysim:" + words[1] + " VID_" + words[2] + "&PID_" + words[3]);
  }

  DeviceEvent* watcher;
  int fd;
  QSocketNotifier notifier;
};

}  // namespace

void DeviceEvent::register_event(QWindow*) {
  const int fd = keysim::wire::connect_to(keysim::wire::socket_path());
  std::string reply;
  if (fd < 0 || !keysim::wire::request(fd, "SUBSCRIBE", reply) || reply != "OK subscribed") {
    if (fd >= 0) ::close(fd);
    LOG(ERROR) << "register device notification error";
    return;
  }
  source = std::make_unique<KeysimSource>(this, fd);
}

bool DeviceEvent::nativeEventFilter(const QByteArray&, void*, long*) { return false; }
