#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// One argument of a Windows command line as CommandLineToArgvW and the C runtime read it back:
// as it is when it needs no quotes, otherwise quoted, with the backslashes before a quote (and
// before the closing one) doubled.
QString windows_argument(const QString& argument);

// The Task Scheduler task that starts the program at the user's logon with the highest
// privileges, which opening the key on Windows needs (a Run value in the registry would start it
// without them). schtasks.exe creates, deletes and queries it; creating or deleting a task that
// runs with the highest privileges takes administrator rights, querying it does not.
class LogonTask {
 public:
  // Runs schtasks.exe with args, elevated when asked; returns its exit code, or -1 when it did not run.
  using Runner = std::function<int(const QStringList& args, bool elevated)>;

  // running_elevated: whether this program has administrator rights already, so that schtasks
  // runs without asking the user for them.
  LogonTask(Runner runner, bool running_elevated);

  // True when the task exists; false when it does not, or when schtasks did not answer.
  bool exists() const;

  // Creates (on) or deletes (off) the task that starts program with arguments. Returns true when
  // that is done, deleting a missing task included; false, with schtasks' exit code logged, when
  // it failed.
  bool set(bool on, const QString& program, const QStringList& arguments);

 private:
  // schtasks' exit code for the query: 0 when the task exists.
  int query() const;

  Runner runner;
  bool running_elevated;
};
