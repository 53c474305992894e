#include "gui/desktop/logon_task.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryFile>

#include <easylogging++.h>

#include <algorithm>
#include <string>
#include <utility>

namespace {

// The task of every user that earlier versions made, run at anyone's logon.
const QString former_task_name = QStringLiteral("Umbrata");
const QString run_value_name = QStringLiteral("Umbrata");

QString native_path(const QString& program) {
  QString native = program;
  return native.replace(QLatin1Char('/'), QLatin1Char('\\'));
}

// The program in quotes, as Windows reads a path with spaces, then the arguments.
QString command_line(const QString& program, const QStringList& arguments) {
  QStringList command{QStringLiteral("\"") + native_path(program) + QStringLiteral("\"")};
  for (const QString& argument : arguments) command << windows_argument(argument);
  return command.join(QLatin1Char(' '));
}

std::string outcome(const SchtasksAnswer& answer) {
  if (answer.exit_code < 0) return "schtasks did not run";
  std::string text = "schtasks exit " + std::to_string(answer.exit_code);
  const QString error = answer.error.trimmed();
  return error.isEmpty() ? text : text + ": " + error.toStdString();
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

LogonTask::LogonTask(Runner runner, bool running_elevated, User user, QString missing_task_message)
    : runner(std::move(runner)),
      running_elevated(running_elevated),
      user(std::move(user)),
      missing_task_message(std::move(missing_task_message)) {}

QStringList LogonTask::names() const {
  QStringList own;
  if (!user.name.isEmpty()) own << QStringLiteral("Umbrata at logon (") + user.name + QStringLiteral(")");
  return own << former_task_name;
}

QStringList LogonTask::query_arguments(const QString& name) {
  return {QStringLiteral("/Query"), QStringLiteral("/TN"), name, QStringLiteral("/XML")};
}

LogonTask::Presence LogonTask::presence(const SchtasksAnswer& answer, const QString& name) const {
  if (answer.exit_code == 0 && !answer.output.trimmed().isEmpty()) return Presence::present;
  // Older Windows name the task they did not find, in quotes and perhaps after the root folder's
  // backslash; newer ones give the system's message for a missing file.
  const bool missing =
      answer.exit_code == 1 &&
      (answer.error.contains(QStringLiteral("\"") + name + QStringLiteral("\"")) ||
       answer.error.contains(QStringLiteral("\"\\") + name + QStringLiteral("\"")) ||
       (!missing_task_message.isEmpty() && answer.error.contains(missing_task_message)));
  if (missing) return Presence::absent;
  LOG(WARNING) << "Start at login: it is unknown whether the logon task " << name.toStdString()
               << " exists (" << (answer.exit_code == 0 ? std::string("schtasks printed no definition") : outcome(answer)) << ")";
  return Presence::unknown;
}

QString LogonTask::definition(const QString& program, const QStringList& arguments) const {
  QStringList command_arguments;
  for (const QString& argument : arguments) command_arguments << windows_argument(argument);
  // Interactive: with the user's own token, while the user is logged on. No time limit and no
  // stop on batteries: the program runs for the whole session.
  return QStringLiteral(
             "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
             "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
             "  <RegistrationInfo>\n"
             "    <Description>Starts Umbrata, hidden in the tray, when %1 logs on.</Description>\n"
             "  </RegistrationInfo>\n"
             "  <Triggers>\n"
             "    <LogonTrigger>\n"
             "      <Enabled>true</Enabled>\n"
             "      <UserId>%2</UserId>\n"
             "    </LogonTrigger>\n"
             "  </Triggers>\n"
             "  <Principals>\n"
             "    <Principal id=\"Author\">\n"
             "      <UserId>%2</UserId>\n"
             "      <LogonType>InteractiveToken</LogonType>\n"
             "      <RunLevel>HighestAvailable</RunLevel>\n"
             "    </Principal>\n"
             "  </Principals>\n"
             "  <Settings>\n"
             "    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\n"
             "    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\n"
             "    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\n"
             "    <ExecutionTimeLimit>PT0S</ExecutionTimeLimit>\n"
             "    <Enabled>true</Enabled>\n"
             "  </Settings>\n"
             "  <Actions Context=\"Author\">\n"
             "    <Exec>\n"
             "      <Command>%3</Command>\n"
             "      <Arguments>%4</Arguments>\n"
             "    </Exec>\n"
             "  </Actions>\n"
             "</Task>\n")
      .arg(user.name.toHtmlEscaped(), user.sid.toHtmlEscaped(), native_path(program).toHtmlEscaped(),
           command_arguments.join(QLatin1Char(' ')).toHtmlEscaped());
}

bool LogonTask::create(const QString& program, const QStringList& arguments) {
  if (program.isEmpty() || user.name.isEmpty() || user.sid.isEmpty()) {
    LOG(WARNING) << "Start at login: the logon task was not created ("
                 << (program.isEmpty() ? "no program to start" : "this user's name or SID is unknown") << ")";
    return false;
  }
  // schtasks reads the definition from a file, in UTF-16 after its byte order mark. The file
  // goes with this object, once schtasks has read it.
  QTemporaryFile file(QDir::tempPath() + QStringLiteral("/umbrata-logon-task-XXXXXX.xml"));
  const QString text = definition(program, arguments);
  QByteArray bytes("\xFF\xFE", 2);
  for (const QChar c : text) {
    bytes.append(static_cast<char>(c.unicode() & 0xFF));
    bytes.append(static_cast<char>(c.unicode() >> 8));
  }
  if (!file.open() || file.write(bytes) != bytes.size() || !file.flush()) {
    LOG(WARNING) << "Start at login: the logon task was not created (its definition was not written: "
                 << file.errorString().toStdString() << ")";
    return false;
  }
  file.close();
  return change({QStringLiteral("/Create"), QStringLiteral("/TN"), names().first(), QStringLiteral("/XML"),
                 QDir::toNativeSeparators(file.fileName()), QStringLiteral("/F")},
                "created");
}

bool LogonTask::remove() {
  bool removed = true;
  for (const QString& name : names()) {
    // schtasks fails to delete a missing task, and would ask for administrator rights first.
    if (presence(runner(query_arguments(name), false), name) != Presence::present) continue;
    removed = change({QStringLiteral("/Delete"), QStringLiteral("/TN"), name, QStringLiteral("/F")}, "deleted") && removed;
  }
  return removed;
}

bool LogonTask::change(const QStringList& args, const char* done) const {
  const SchtasksAnswer answer = runner(args, !running_elevated);
  if (answer.exit_code == 0) {
    LOG(INFO) << "Start at login: the logon task " << args[2].toStdString() << " was " << done;
    return true;
  }
  LOG(WARNING) << "Start at login: the logon task " << args[2].toStdString() << " was not " << done << " ("
               << outcome(answer) << ")";
  return false;
}

LoginStart::LoginStart(QSettings& run_key, LogonTask task, bool folder_protected, bool user_is_administrator)
    : run_key(run_key), task(std::move(task)), use_task(folder_protected && user_is_administrator) {}

bool LoginStart::run_value_present(const QSettings& run_key) { return run_key.contains(run_value_name); }

bool LoginStart::set(bool on, const QString& program, const QStringList& arguments) {
  if (!on) {
    const bool run_value_removed = remove_run_value();
    return task.remove() && run_value_removed;
  }
  if (program.isEmpty()) {
    LOG(WARNING) << "Start at login: no program to start";
    return false;
  }
  if (!use_task) return write_run_value(command_line(program, arguments));
  if (!task.create(program, arguments)) return false;
  // A Run value from before, written for this user when the task could not be, would start a
  // second, unelevated instance.
  remove_run_value();
  return true;
}

bool LoginStart::write_run_value(const QString& command) {
  run_key.setValue(run_value_name, command);
  run_key.sync();
  if (run_key.status() == QSettings::NoError && run_key.value(run_value_name).toString() == command) {
    LOG(INFO) << "Start at login: the Run value was written";
    return true;
  }
  LOG(WARNING) << "Start at login: the Run value was not written";
  return false;
}

bool LoginStart::remove_run_value() {
  if (!run_value_present(run_key)) return true;
  run_key.remove(run_value_name);
  run_key.sync();
  if (!run_value_present(run_key)) {
    LOG(INFO) << "Start at login: the Run value was removed";
    return true;
  }
  LOG(WARNING) << "Start at login: the Run value was not removed";
  return false;
}
