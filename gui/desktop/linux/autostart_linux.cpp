#include "gui/desktop/autostart.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <easylogging++.h>

#include <algorithm>

namespace autostart {

namespace {

// The XDG autostart folder: desktop sessions start every entry in it at login.
QString entry_folder() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart");
}

QString entry_path() { return entry_folder() + QStringLiteral("/com.example.orvalin.umbrata.desktop"); }

// One argument of the Exec key. One that holds a space or a reserved character goes in double
// quotes, where ", `, $ and \ take a backslash; a literal % is doubled, or it would read as a
// field code. The key's value is a string besides, whose own escapes apply before the quoting
// is undone: every backslash is doubled again, and control characters are written as escapes.
QString exec_argument(const QString& argument) {
  static const QString reserved = QStringLiteral(" \t\n\r\"'\\><~|&;$*?#()`");
  static const QString escaped_in_quotes = QStringLiteral("\"`$\\");
  const bool quote = argument.isEmpty() || std::any_of(argument.begin(), argument.end(),
                                                       [](QChar c) { return reserved.contains(c); });
  QString out;
  for (const QChar c : argument) {
    if (quote && escaped_in_quotes.contains(c)) out += QLatin1Char('\\');
    out += c;
  }
  if (quote) out = QStringLiteral("\"") + out + QStringLiteral("\"");
  return out.replace(QLatin1Char('%'), QStringLiteral("%%"))
      .replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
      .replace(QLatin1Char('\n'), QStringLiteral("\\n"))
      .replace(QLatin1Char('\t'), QStringLiteral("\\t"))
      .replace(QLatin1Char('\r'), QStringLiteral("\\r"));
}

QByteArray entry(const QString& program, const QStringList& arguments) {
  QStringList exec{exec_argument(program)};
  for (const QString& argument : arguments) exec << exec_argument(argument);
  return (QStringLiteral("[Desktop Entry]\n"
                         "Type=Application\n"
                         "Name=Umbrata\n"
                         "Comment=Codes of the USB one-time-password key\n"
                         "Exec=") +
          exec.join(QLatin1Char(' ')) +
          QStringLiteral("\n"
                         "Icon=com.example.orvalin.umbrata\n"
                         "Terminal=false\n"
                         "X-GNOME-Autostart-enabled=true\n"))
      .toUtf8();
}

}  // namespace

bool enabled() { return QFile::exists(entry_path()); }

bool starts_unelevated() { return false; }

bool may_have_logon_task() { return false; }

void ask_logon_task(QObject*, std::function<void(bool)>) {}

bool set_enabled(bool on, const QString& program, const QStringList& arguments) {
  const QString path = entry_path();
  if (!on) {
    if (QFile::remove(path) || !QFile::exists(path)) return true;
    LOG(WARNING) << "Start at login: " << path.toStdString() << " could not be removed";
    return false;
  }
  if (program.isEmpty()) {
    LOG(WARNING) << "Start at login: no program to start";
    return false;
  }
  if (!QDir().mkpath(entry_folder())) {
    LOG(WARNING) << "Start at login: the folder " << entry_folder().toStdString() << " could not be created";
    return false;
  }
  // QSaveFile writes beside the entry and renames only a whole one over it; an entry it did not
  // commit is discarded.
  QSaveFile file(path);
  const QByteArray text = entry(program, arguments);
  if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
    LOG(WARNING) << "Start at login: " << path.toStdString() << " was not written: " << file.errorString().toStdString();
    return false;
  }
  LOG(INFO) << "Start at login: " << path.toStdString() << " written";
  return true;
}

}  // namespace autostart
