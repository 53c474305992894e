#include "gui/desktop/desktop.h"

#include "gui/desktop/linux/data_control.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <sys/socket.h>
#include <sys/stat.h>
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

namespace {

// True when folder is a folder (no link to one) of this process's user that nobody else may enter.
bool private_folder(const QString& folder) {
  struct stat st {};
  return folder.startsWith(QLatin1Char('/')) && ::lstat(QFile::encodeName(folder).constData(), &st) == 0 &&
         S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// The session's runtime folder; without one, a folder of the user's under the cache folder,
// made now. A folder that another user could have made or may enter is not used: whoever could
// write there could hold the lock or answer under the name. Empty when there is none.
QString instance_folder() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (private_folder(runtime)) return runtime;
  const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
  if (cache.isEmpty() || !QDir().mkpath(cache)) return QString();
  const QString folder = cache + QStringLiteral("/umbrata-run");
  ::mkdir(QFile::encodeName(folder).constData(), 0700);
  return private_folder(folder) ? folder : QString();
}

// The folder's path and the file name's start, named after the display; empty without a folder.
// A display's name may be a path (Wayland's may be absolute) or hold a colon: kept to the
// characters a file name takes everywhere.
QString instance_path_stem() {
  const QString folder = instance_folder();
  if (folder.isEmpty()) return QString();
  QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
  if (display.isEmpty()) display = qEnvironmentVariable("DISPLAY");
  display.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
  return folder + QStringLiteral("/umbrata-") + display;
}

}  // namespace

QString instance_name() {
  const QString stem = instance_path_stem();
  return stem.isEmpty() ? stem : stem + QStringLiteral(".socket");
}

QString instance_lock_file() {
  const QString stem = instance_path_stem();
  return stem.isEmpty() ? stem : stem + QStringLiteral(".lock");
}

bool instance_server_is_this_user(qintptr socket_descriptor) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(static_cast<int>(socket_descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
         peer.uid == ::geteuid();
}

void let_running_instance_come_forward() {}

}  // namespace desktop
