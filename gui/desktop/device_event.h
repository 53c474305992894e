#pragma once

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

class QWindow;

enum class DeviceChange { arrival, removal, other };

// Reads the interface path of a device-change broadcast (DEV_BROADCAST_DEVICEINTERFACE_W) from
// its bytes. Returns false, leaving path alone, unless the header says device interface and its
// size, and the size given, cover the path.
bool device_interface_path(const std::uint8_t* broadcast, std::size_t size, QString& path);

// Watches for HID devices of the key's vendor being plugged in or removed, and emits
// hid_changed. The decision is the same on every platform; where the changes come from is up to
// one unit per platform (Windows messages, udev, or the simulated key's server), chosen by the
// build.
class DeviceEvent : public QObject, public QAbstractNativeEventFilter {
  Q_OBJECT

 public:
  explicit DeviceEvent(QObject* parent = nullptr);
  ~DeviceEvent() override;

  // Subscribes to device changes (for window, where the platform needs one). On failure logs
  // "register device notification error" and the program runs on without notifications.
  void register_event(QWindow* window);
  // On Windows, WM_DEVICECHANGE; elsewhere nothing. Never consumes a message: always false.
  bool nativeEventFilter(const QByteArray& event_type, void* message, long* result) override;

  // A change of the interface at path: one log line and hid_changed when it is an arrival or a
  // removal of a device of the key's vendor ("VID_096E" in the path, as Windows writes it).
  // Returns false, the filter's answer.
  bool device_changed(DeviceChange kind, const QString& path);

 signals:
  void hid_changed();

 private:
  std::unique_ptr<QObject> source;  // the platform's subscription, where it needs one
};
