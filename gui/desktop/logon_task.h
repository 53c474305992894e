#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class QSettings;

// One argument of a Windows command line as CommandLineToArgvW and the C runtime read it back:
// as it is when it needs no quotes, otherwise quoted, with the backslashes before a quote (and
// before the closing one) doubled.
QString windows_argument(const QString& argument);

// What schtasks.exe answered: its exit code (-1 when it did not run or did not finish), what it
// printed, and its error message.
struct SchtasksAnswer {
  int exit_code = -1;
  QByteArray output;
  QString error;
};

// The Task Scheduler task that starts the program at a user's logon with the highest privileges,
// which opening the key on Windows needs. It is that user's alone: named after the user, run as
// the user and started by that user's logon only, even when an administrator elevated schtasks
// for the user (schtasks then runs as the administrator). schtasks.exe creates, deletes and
// queries it; creating or deleting a task that runs with the highest privileges takes
// administrator rights, querying it does not.
class LogonTask {
 public:
  // Runs schtasks.exe with args, elevated when asked.
  using Runner = std::function<SchtasksAnswer(const QStringList& args, bool elevated)>;

  // The user the task is for, as the unelevated program knows them: the name, in the task's
  // name, and the SID, whom the task runs as and whose logon starts it.
  struct User {
    QString name;
    QString sid;
  };

  enum class Presence { present, absent, unknown };

  // running_elevated: whether this program has administrator rights already, so that schtasks
  // runs without asking the user for them. missing_task_message: the system's text for a file
  // that is not found, which schtasks prints, in the user's language, for a missing task.
  LogonTask(Runner runner, bool running_elevated, User user, QString missing_task_message);

  // This user's task's name, "Umbrata at logon (NAME)", then "Umbrata", the task that earlier
  // versions made, which removal deletes too.
  QStringList names() const;

  // schtasks' arguments that ask for the definition of the task named name.
  static QStringList query_arguments(const QString& name);

  // What answer, to query_arguments(name), says of that task. schtasks exits 1 for other
  // failures too: absent only when its message says the task is missing; unknown, logged, when
  // it says something else or nothing.
  Presence presence(const SchtasksAnswer& answer, const QString& name) const;

  // The task definition, as schtasks /XML reads it, that starts program with arguments.
  QString definition(const QString& program, const QStringList& arguments) const;

  // Creates this user's task, replacing one of the same name. Returns true when done; false,
  // with the reason logged, when it failed.
  bool create(const QString& program, const QStringList& arguments);

  // Deletes each task of names() that exists; one whose presence schtasks did not tell is left
  // (logged). Returns false when a deletion failed.
  bool remove();

 private:
  // Runs a change of the task named args[2], elevated unless the program is; true when done.
  bool change(const QStringList& args, const char* done) const;

  Runner runner;
  bool running_elevated;
  User user;
  QString missing_task_message;
};

// Start at login on Windows. A Run value under HKEY_CURRENT_USER starts the program without
// administrator rights; this user's logon task starts it with them. The task is made only when
// the program's folder is one that only administrators may write (a per-machine install), since
// what runs elevated at logon must be nothing that the user's programs can swap, and only for a
// user who is an administrator, since no task can elevate anyone else.
class LoginStart {
 public:
  // run_key: HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run. folder_protected:
  // only administrators may write the program's folder. user_is_administrator: the user is in the
  // Administrators group, elevated or not.
  LoginStart(QSettings& run_key, LogonTask task, bool folder_protected, bool user_is_administrator);

  // True when the program's Run value is in run_key.
  static bool run_value_present(const QSettings& run_key);

  // On: creates the task (and removes a Run value written before), or writes the Run value.
  // Off: removes the Run value and the tasks that exist. Returns true when that is done; false,
  // with the reason logged, when it failed.
  bool set(bool on, const QString& program, const QStringList& arguments);

 private:
  bool write_run_value(const QString& command);
  bool remove_run_value();

  QSettings& run_key;
  LogonTask task;
  bool use_task;
};
