// Device arrival and removal on Linux: a udev monitor on the hidraw subsystem, read on the GUI
// thread through a socket notifier.
#include "gui/desktop/linux/hidraw_path.h"
#include "gui/desktop/device_event.h"

#include <QRegularExpression>
#include <QSocketNotifier>
#include <QStringList>

#include <easylogging++.h>
#include <libudev.h>

namespace {

class UdevSource : public QObject {
 public:
  UdevSource(DeviceEvent* watcher, udev* context, udev_monitor* monitor)
      : watcher(watcher), context(context), monitor(monitor),
        notifier(udev_monitor_get_fd(monitor), QSocketNotifier::Read) {
    connect(&notifier, &QSocketNotifier::activated, this, [this] { read_change(); });
  }
  ~UdevSource() override {
    udev_monitor_unref(monitor);
    udev_unref(context);
  }

 private:
  void read_change() {
    udev_device* device = udev_monitor_receive_device(monitor);
    if (!device) return;
    const QString action = QString::fromUtf8(udev_device_get_action(device));
    const DeviceChange kind = action == "add"      ? DeviceChange::arrival
                              : action == "remove" ? DeviceChange::removal
                                                   : DeviceChange::other;
    const QString path = hidraw_path_text(QString::fromUtf8(udev_device_get_sysname(device)),
                                          QString::fromUtf8(udev_device_get_devpath(device)));
    udev_device_unref(device);
    watcher->device_changed(kind, path);
  }

  DeviceEvent* watcher;
  udev* context;
  udev_monitor* monitor;
  QSocketNotifier notifier;
};

}  // namespace

void DeviceEvent::register_event(QWindow*) {
  udev* context = udev_new();
  udev_monitor* monitor = context ? udev_monitor_new_from_netlink(context, "udev") : nullptr;
  if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor) < 0 || udev_monitor_get_fd(monitor) < 0) {
    if (monitor) udev_monitor_unref(monitor);
    if (context) udev_unref(context);
    LOG(ERROR) << "register device notification error";
    return;
  }
  source = std::make_unique<UdevSource>(this, context, monitor);
}

bool DeviceEvent::nativeEventFilter(const QByteArray&, void*, long*) { return false; }
