#include "gui/desktop.h"

#include "gui/linux/data_control.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QMimeData>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <unistd.h>

namespace desktop {

// What password managers set: KDE's and other clipboard managers leave such an entry out of
// their history.
void mark_secret(QMimeData& data) {
  data.setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
}

ClipboardWipe clear_marked_clipboard(const QString& mark) { return data_control::clear_marked_selection(mark.toStdString()); }

QtClipboardWipe qt_clipboard_wipe() {
  // "wayland", "wayland-egl" and the like: Qt's Wayland platforms.
  if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return QtClipboardWipe::replace_at_input;
  return qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? QtClipboardWipe::clear : QtClipboardWipe::replace;
}

// The terminal's output is the program's own already.
bool attach_parent_console() { return true; }

// A key that the user may not open wants a udev rule here, never root.
bool restart_as_administrator(const QStringList&) { return false; }

// A display's name may be a path (Wayland's may be absolute) or hold a colon: kept to the
// characters a file name takes everywhere.
QString instance_name() {
  QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
  if (display.isEmpty()) display = qEnvironmentVariable("DISPLAY");
  display.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (runtime.startsWith(QLatin1Char('/'))) return runtime + QStringLiteral("/umbrata-") + display + QStringLiteral(".socket");
  return QStringLiteral("umbrata-%1-%2").arg(::getuid()).arg(display);
}

void let_running_instance_come_forward() {}

}  // namespace desktop
