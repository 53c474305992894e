#include "gui/windows/logon_task.h"

#include <easylogging++.h>

#include <algorithm>
#include <string>
#include <utility>

namespace {

const QString task_name = QStringLiteral("Umbrata");

// The task's command: the program in quotes, as Windows reads a path with spaces, then the
// arguments.
QString task_command(const QString& program, const QStringList& arguments) {
  QString native = program;
  native.replace(QLatin1Char('/'), QLatin1Char('\\'));
  QStringList command{QStringLiteral("\"") + native + QStringLiteral("\"")};
  for (const QString& argument : arguments) command << windows_argument(argument);
  return command.join(QLatin1Char(' '));
}

}  // namespace

QString windows_argument(const QString& argument) {
  const bool plain = !argument.isEmpty() && std::none_of(argument.begin(), argument.end(), [](QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('"');
  });
  if (plain) return argument;
  QString out = QStringLiteral("\"");
  int backslashes = 0;
  for (const QChar c : argument) {
    if (c == QLatin1Char('\\')) {
      ++backslashes;
      continue;
    }
    out += QString(c == QLatin1Char('"') ? 2 * backslashes + 1 : backslashes, QLatin1Char('\\'));
    backslashes = 0;
    out += c;
  }
  out += QString(2 * backslashes, QLatin1Char('\\'));
  return out + QLatin1Char('"');
}

LogonTask::LogonTask(Runner runner, bool running_elevated)
    : runner(std::move(runner)), running_elevated(running_elevated) {}

int LogonTask::query() const { return runner({QStringLiteral("/Query"), QStringLiteral("/TN"), task_name}, false); }

bool LogonTask::exists() const { return query() == 0; }

bool LogonTask::set(bool on, const QString& program, const QStringList& arguments) {
  const char* const done = on ? "created" : "deleted";
  if (on && program.isEmpty()) {
    LOG(WARNING) << "Start at login: the logon task was not created (no program to start)";
    return false;
  }
  // schtasks fails to delete a missing task, and would ask for administrator rights first.
  if (!on && query() == 1) return true;
  const QStringList args =
      on ? QStringList{QStringLiteral("/Create"), QStringLiteral("/F"), QStringLiteral("/TN"), task_name,
                       QStringLiteral("/SC"), QStringLiteral("ONLOGON"), QStringLiteral("/RL"), QStringLiteral("HIGHEST"),
                       QStringLiteral("/TR"), task_command(program, arguments)}
         : QStringList{QStringLiteral("/Delete"), QStringLiteral("/F"), QStringLiteral("/TN"), task_name};
  const int code = runner(args, !running_elevated);
  if (code == 0) {
    LOG(INFO) << "Start at login: the logon task was " << done;
    return true;
  }
  LOG(WARNING) << "Start at login: the logon task was not " << done
               << (code < 0 ? std::string(" (schtasks did not run)") : " (schtasks exit " + std::to_string(code) + ")");
  return false;
}
