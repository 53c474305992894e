#include "gui/app/settings.h"

#include "gui/desktop/autostart.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSettings>
#include <QWindow>

namespace {

// Beside the log folder's names: ~/.config/Orvalin Direzoda/Umbrata.conf on Linux.
QSettings user_settings() { return QSettings(QStringLiteral("Orvalin Direzoda"), QStringLiteral("Umbrata")); }
const QString clear_copied_codes_key = QStringLiteral("clipboard/clear_copied_codes");
const QString keep_in_tray_key = QStringLiteral("tray/keep_running");
const QString warn_unsynchronised_clock_key = QStringLiteral("clock/warn_unsynchronised");
const QString start_at_login_key = QStringLiteral("session/start_at_login");
const QString chosen_key_key = QStringLiteral("keys/chosen");

}  // namespace

Settings::Settings(QObject* parent) : QObject(parent) {
  const QSettings settings = user_settings();
  clear_copied_codes = settings.value(clear_copied_codes_key, true).toBool();
  keep_in_tray = settings.value(keep_in_tray_key, false).toBool();
  warn_unsynchronised_clock = settings.value(warn_unsynchronised_clock_key, true).toBool();
  start_at_login = autostart::enabled();
  start_at_login_unelevated = start_at_login && autostart::starts_unelevated();
  if (start_at_login || !autostart::may_have_logon_task()) return;
  // The last choice until a logon task's query answers, or when it fails.
  start_at_login = settings.value(start_at_login_key, false).toBool();
  for (QWindow* window : QGuiApplication::allWindows()) {
    if (window->metaObject()->indexOfSignal("frameSwapped()") < 0) continue;
    connect(window, SIGNAL(frameSwapped()), this, SLOT(ask_logon_task()));
    break;
  }
}

void Settings::set_clear_copied_codes(bool on) {
  if (on == clear_copied_codes) return;
  clear_copied_codes = on;
  user_settings().setValue(clear_copied_codes_key, on);
  emit clear_copied_codes_changed();
}

QString Settings::get_chosen_key() const { return user_settings().value(chosen_key_key).toString(); }

void Settings::set_chosen_key(const QString& usb_serial) { user_settings().setValue(chosen_key_key, usb_serial); }

void Settings::set_keep_in_tray(bool on) {
  if (on == keep_in_tray) return;
  keep_in_tray = on;
  user_settings().setValue(keep_in_tray_key, on);
  emit keep_in_tray_changed();
}

void Settings::set_warn_unsynchronised_clock(bool on) {
  if (on == warn_unsynchronised_clock) return;
  warn_unsynchronised_clock = on;
  user_settings().setValue(warn_unsynchronised_clock_key, on);
  emit warn_unsynchronised_clock_changed();
}

void Settings::set_start_at_login(bool on) {
  if (on == start_at_login) return;
  start_at_login_chosen = true;
  // Started hidden: the tray icon or a second start shows the window.
  if (!autostart::set_enabled(on, QCoreApplication::applicationFilePath(), {QStringLiteral("--hidden")})) {
    emit start_at_login_changed();  // the menu's check mark goes back
    return;
  }
  start_at_login = on;
  start_at_login_unelevated = on && autostart::starts_unelevated();
  user_settings().setValue(start_at_login_key, on);
  emit start_at_login_changed();
}

void Settings::ask_logon_task() {
  // Frames may have been queued from the render thread before the first one disconnected.
  if (logon_task_asked) return;
  logon_task_asked = true;
  disconnect(sender(), SIGNAL(frameSwapped()), this, SLOT(ask_logon_task()));
  autostart::ask_logon_task(this, [this](bool exists) {
    if (start_at_login_chosen || exists == start_at_login) return;
    start_at_login = exists;
    user_settings().setValue(start_at_login_key, exists);
    emit start_at_login_changed();
  });
}
