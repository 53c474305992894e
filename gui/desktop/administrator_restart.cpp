#include "gui/desktop/administrator_restart.h"

#include "gui/desktop/desktop.h"
#include "gui/desktop/single_instance.h"
#include "key/platform.h"

#include <QCoreApplication>

#include <easylogging++.h>

AdministratorRestart::AdministratorRestart(SingleInstance* instance, QObject* parent)
    : QObject(parent), instance(instance), available(!platform::running_elevated()) {}

void AdministratorRestart::restart() {
  // The elevated copy must find the session's instance free, or it would show this window and
  // end, leaving nothing running: this one lets go of it first, and takes it back when the copy
  // does not start.
  if (instance) instance->release();
  if (!desktop::restart_as_administrator(QCoreApplication::arguments().mid(1))) {
    LOG(WARNING) << "The restart as administrator did not start";
    if (!instance || instance->take_back()) return;
    LOG(WARNING) << "Another start became the session's instance meanwhile: this one quits";
    QCoreApplication::quit();
    return;
  }
  LOG(INFO) << "Restarted as administrator: this instance quits";
  QCoreApplication::quit();
}

void AdministratorRestart::set_available(bool on) {
  if (on == available) return;
  available = on;
  emit available_changed();
}
