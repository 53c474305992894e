#include "gui/desktop/tray_host.h"

// Windows always has its notification area.
TrayHost::TrayHost(QObject* parent) : QObject(parent), host_available(true) {}

void TrayHost::set_available(bool on) {
  if (on == host_available) return;
  host_available = on;
  emit available_changed();
}
