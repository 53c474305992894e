#pragma once

#include <QObject>

// Whether the desktop shows tray icons, followed as it changes: at login the program may well
// start before the desktop's panel. Published to the views as "tray_host". One unit per platform.
class TrayHost : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool available READ available NOTIFY available_changed)

 public:
  explicit TrayHost(QObject* parent = nullptr);
  // True once the desktop can show a tray icon. Qt decides whether it can when the first icon is
  // made, and never again: make none before this is true.
  bool available() const { return host_available; }

 signals:
  void available_changed();

 private:
  void set_available(bool on);
  bool host_available = false;
};
