// Start at login: the XDG autostart entry on Linux, and the decisions around schtasks on Windows
// against a fake Task Scheduler.
#include "gui/autostart.h"
#include "gui/windows/logon_task.h"

#include <QFile>

#include <gtest/gtest.h>

#ifndef _WIN32
// In the private XDG_CONFIG_HOME of the tests' main.
TEST(Autostart, TheEntryStartsTheProgramAsTheDesktopReadsItUntilRemoved) {
  // Program and arguments; the Exec line: quoted, then each backslash doubled as a string value's escape.
  const struct { QStringList command; QString exec; } cases[] = {{{"/opt/A B/u", "--hidden"}, R"(Exec="/opt/A B/u" --hidden)"},
      {{"/a\\b$c", "50%", "say \"hi\"", ""}, R"(Exec="/a\\\\b\\$c" 50%% "say \\"hi\\"" "")"}};
  for (const auto& [command, exec] : cases) {
    QFile entry(qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart/com.example.orvalin.umbrata.desktop");
    EXPECT_TRUE(autostart::set_enabled(true, command[0], command.mid(1)) && autostart::enabled());
    EXPECT_TRUE(entry.open(QIODevice::ReadOnly) && QString(entry.readAll()).split('\n').contains(exec)) << exec.toStdString();
  }
  // Removing a missing entry is done already.
  EXPECT_TRUE(autostart::set_enabled(false, {}, {}) && !autostart::enabled() && autostart::set_enabled(false, {}, {}));
}
#endif

// A fake schtasks on a list of task names. changes gets each call that would change one, its
// arguments joined by |, after "runas " when it ran elevated.
static LogonTask::Runner schtasks(QStringList& tasks, QStringList& changes, int change_exit = 0) {
  return [&tasks, &changes, change_exit](const QStringList& args, bool elevated) {
    if (args[0] == "/Query") return int(!tasks.contains(args[2]));
    changes << (elevated ? "runas " : "") + args.join('|');
    if (change_exit) return change_exit;
    return args[0] == "/Create" ? (tasks.append(args[3]), 0) : int(!tasks.removeOne(args[3]));
  };
}

TEST(LogonTask, CreatesAndDeletesTheTaskAskingForRightsOnlyWhenLacked) {
  for (const bool running_elevated : {false, true}) {
    QStringList tasks, changes;
    LogonTask task(schtasks(tasks, changes), running_elevated);
    // Nothing to delete: no prompt.
    EXPECT_TRUE(task.set(false, {}, {}) && task.set(true, "C:/Program Files/u.exe", {"--hidden"}));
    EXPECT_TRUE(task.exists() && task.set(false, {}, {}) && !task.exists());
    const QString runas = running_elevated ? "" : "runas ";
    EXPECT_EQ(changes, QStringList({runas + R"(/Create|/F|/TN|Umbrata|/SC|ONLOGON|/RL|HIGHEST|/TR|"C:\Program Files\u.exe" --hidden)",
                                    runas + "/Delete|/F|/TN|Umbrata"}));
  }
}

TEST(LogonTask, FailsWhenSchtasksFailsOrDoesNotRun) {
  for (const int code : {1, -1}) {
    QStringList tasks{"Umbrata"}, changes;
    LogonTask task(schtasks(tasks, changes, code), false);
    EXPECT_FALSE(task.set(true, "C:/umbrata.exe", {}) || task.set(false, {}, {}) || !task.exists());
  }
}
