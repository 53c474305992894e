// Start at login: the XDG autostart entry on Linux; on Windows the Run value and this user's
// logon task, decided against a fake Task Scheduler and a Run key in a file of the test's own,
// and the real Run key of the Wine prefix's user.
#include "gui/autostart.h"
#include "gui/windows/logon_task.h"

#include <QFile>
#include <QMap>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

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

#ifdef _WIN32
// A per-user install: the folder's protection is the tests' to say, the Run key is the real one.
TEST(Autostart, APerUserInstallWritesTheRunValueThatWindowsReads) {
  qputenv("UMBRATA_TEST_FOLDER_PROTECTED", "0");
  ASSERT_TRUE(autostart::set_enabled(true, "C:/Users/Ann/AppData/Local/Programs/Umbrata/umbrata.exe", {"--hidden"}));
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  wchar_t value[512] = {};
  DWORD type = 0, size = sizeof value - sizeof(wchar_t);
  EXPECT_EQ(RegQueryValueExW(key, L"Umbrata", nullptr, &type, reinterpret_cast<BYTE*>(value), &size), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_EQ(QString::fromWCharArray(value), R"("C:\Users\Ann\AppData\Local\Programs\Umbrata\umbrata.exe" --hidden)");
  EXPECT_TRUE(autostart::enabled() && autostart::starts_unelevated());
  EXPECT_TRUE(autostart::set_enabled(false, {}, {}) && !autostart::enabled());
  qunsetenv("UMBRATA_TEST_FOLDER_PROTECTED");
}
#endif

namespace {

const LogonTask::User ann{"Ann & Co", "S-1-5-21-7-8-9-1001"};
const QString ann_task = "Umbrata at logon (Ann & Co)";
const QString bob_task = "Umbrata at logon (Bob)";
const QString missing_file = "The system cannot find the file specified.";

// A fake schtasks over named task definitions, read from their file while it runs as the real
// one does. calls gets every call, its arguments joined by |, after "runas " when it ran elevated.
struct Scheduler {
  QMap<QString, QString> tasks;
  QStringList calls, definition_files;
  int change_exit = 0;

  LogonTask::Runner runner() {
    return [this](const QStringList& args, bool elevated) -> SchtasksAnswer {
      calls << (elevated ? "runas " : "") + args.join('|');
      const QString& name = args[2];
      if (args[0] == "/Query")
        return tasks.contains(name) ? SchtasksAnswer{0, tasks[name].toUtf8(), {}} : SchtasksAnswer{1, {}, "ERROR: " + missing_file + "\r\n"};
      if (change_exit) return {change_exit, {}, {}};
      if (args[0] == "/Delete") return {tasks.remove(name) ? 0 : 1, {}, {}};
      definition_files << args[4];
      QFile file(args[4]);
      const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
      if (!bytes.startsWith("\xFF\xFE")) return {1, {}, "ERROR: not UTF-16 with its byte order mark"};
      tasks[name] = QTextCodec::codecForName("UTF-16LE")->toUnicode(bytes.mid(2));
      return {0, {}, {}};
    };
  }
  LogonTask task(bool running_elevated) { return LogonTask(runner(), running_elevated, ann, missing_file); }
  QStringList changes() const {
    QStringList out;
    for (const QString& call : calls)
      if (!call.startsWith("/Query")) out << call;
    return out;
  }
};

// A definition's elements that hold text, as path=text ("Actions/Exec/Arguments=--hidden"), with
// its XML read back; a parse error ends the list.
QStringList elements(const QString& xml) {
  QXmlStreamReader reader(xml);
  QStringList path, out;
  QString text;
  while (reader.readNext() != QXmlStreamReader::EndDocument && !reader.hasError()) {
    if (reader.isCharacters()) text += reader.text();
    if (!reader.isStartElement() && !reader.isEndElement()) continue;
    if (reader.isEndElement() && !text.trimmed().isEmpty()) out << path.mid(1).join('/') + '=' + text;
    text.clear();
    if (reader.isStartElement()) path << reader.name().toString();
    else path.removeLast();
  }
  if (reader.hasError()) out << "error: " + reader.errorString();
  return out;
}

QStringList starting_with(const QStringList& list, const QString& prefix) {
  QStringList out;
  for (const QString& item : list)
    if (item.startsWith(prefix)) out << item;
  return out;
}

}  // namespace

TEST(LoginStart, StartsElevatedOnlyFromAProtectedFolderAndOnlyForAnAdministrator) {
  const struct { bool protected_folder, administrator, running_elevated, task; } cases[] = {
      {false, true, false, false},  // a per-user install: the Run value, with no schtasks at all
      {false, false, false, false},
      {true, true, false, true},    // a per-machine install: this user's task, asking for rights
      {true, true, true, true},     // ...which this program has already
      {true, false, false, false},  // no task can elevate a user who is not an administrator
  };
  for (const auto& [protected_folder, administrator, running_elevated, task] : cases) {
    SCOPED_TRACE(testing::Message() << protected_folder << administrator << running_elevated);
    Scheduler scheduler;
    scheduler.tasks[bob_task] = "<Task/>";
    QTemporaryDir dir;
    QSettings run_key(dir.filePath("run.ini"), QSettings::IniFormat);
    run_key.setValue("Umbrata", "written for this user before");
    LoginStart start(run_key, scheduler.task(running_elevated), protected_folder, administrator);
    ASSERT_TRUE(start.set(true, "C:/Program Files/Ann's & Co/umbrata.exe", {"--hidden"}));
    EXPECT_EQ(scheduler.tasks.value(bob_task), "<Task/>") << "another user's task is left alone";
    if (!task) {
      EXPECT_EQ(run_key.value("Umbrata").toString(), R"("C:\Program Files\Ann's & Co\umbrata.exe" --hidden)");
      EXPECT_EQ(scheduler.calls, QStringList());
      continue;
    }
    EXPECT_FALSE(LoginStart::run_value_present(run_key)) << "one start, elevated";
    ASSERT_EQ(scheduler.changes().size(), 1);
    EXPECT_EQ(scheduler.changes()[0], QString(running_elevated ? "" : "runas ") + "/Create|/TN|" + ann_task + "|/XML|" +
                                          scheduler.definition_files.value(0) + "|/F");
    EXPECT_FALSE(QFile::exists(scheduler.definition_files.value(0))) << "the definition's file is gone";
    const QStringList definition = elements(scheduler.tasks.value(ann_task));
    EXPECT_EQ(starting_with(definition, "Triggers/"),
              QStringList({"Triggers/LogonTrigger/Enabled=true", "Triggers/LogonTrigger/UserId=" + ann.sid}));
    EXPECT_EQ(starting_with(definition, "Principals/"),
              QStringList({"Principals/Principal/UserId=" + ann.sid, "Principals/Principal/LogonType=InteractiveToken",
                           "Principals/Principal/RunLevel=HighestAvailable"}));
    EXPECT_EQ(starting_with(definition, "Actions/"),
              QStringList({R"(Actions/Exec/Command=C:\Program Files\Ann's & Co\umbrata.exe)", "Actions/Exec/Arguments=--hidden"}));
    EXPECT_TRUE(definition.contains("Settings/ExecutionTimeLimit=PT0S")) << "runs for the whole session";
    EXPECT_TRUE(definition.contains("RegistrationInfo/Description=Starts Umbrata, hidden in the tray, when Ann & Co logs on."))
        << definition.join('\n').toStdString();
  }
}

TEST(LoginStart, TurningOffRemovesTheRunValueAndEachOfThisUsersTasksThatExists) {
  const QString former = "Umbrata";
  const struct { QStringList tasks; bool run_value; QStringList deletions; } cases[] = {
      {{}, true, {}},
      {{ann_task}, false, {"runas /Delete|/TN|" + ann_task + "|/F"}},
      {{former}, false, {"runas /Delete|/TN|Umbrata|/F"}},
      {{ann_task, former}, true, {"runas /Delete|/TN|" + ann_task + "|/F", "runas /Delete|/TN|Umbrata|/F"}},
  };
  for (const auto& [tasks, run_value, deletions] : cases) {
    SCOPED_TRACE(tasks.join(", ").toStdString());
    Scheduler scheduler;
    for (const QString& name : tasks + QStringList{bob_task}) scheduler.tasks[name] = "<Task/>";
    QTemporaryDir dir;
    QSettings run_key(dir.filePath("run.ini"), QSettings::IniFormat);
    if (run_value) run_key.setValue("Umbrata", "\"C:\\u.exe\" --hidden");
    // On a per-user install too, which makes no task but may have the former one.
    LoginStart start(run_key, scheduler.task(false), false, true);
    EXPECT_TRUE(start.set(false, {}, {}));
    EXPECT_FALSE(LoginStart::run_value_present(run_key));
    EXPECT_EQ(scheduler.changes(), deletions);
    EXPECT_EQ(scheduler.tasks.keys(), QStringList{bob_task});
  }
}

TEST(LoginStart, FailsAndKeepsWhatIsThereWhenSchtasksFailsOrDoesNotRun) {
  for (const int code : {1, -1}) {
    Scheduler scheduler;
    scheduler.tasks[ann_task] = "<Task/>";
    scheduler.change_exit = code;
    QTemporaryDir dir;
    QSettings run_key(dir.filePath("run.ini"), QSettings::IniFormat);
    run_key.setValue("Umbrata", "before");
    LoginStart start(run_key, scheduler.task(false), true, true);
    EXPECT_FALSE(start.set(true, "C:/Program Files/Umbrata/umbrata.exe", {"--hidden"}));
    EXPECT_EQ(run_key.value("Umbrata").toString(), "before");
    EXPECT_FALSE(start.set(false, {}, {}));
    EXPECT_TRUE(scheduler.tasks.contains(ann_task));
  }
}

TEST(LogonTask, TellsAMissingTaskFromAQueryThatFailed) {
  using Presence = LogonTask::Presence;
  const struct { SchtasksAnswer answer; Presence presence; } cases[] = {
      {{0, "<Task/>\r\n", {}}, Presence::present},
      // Current Windows: the system's message for a missing file, in the user's language.
      {{1, {}, "ERROR: " + missing_file + "\r\n"}, Presence::absent},
      // Older Windows name the task.
      {{1, {}, "ERROR: The specified task name \"\\" + ann_task + "\" does not exist in the system.\r\n"}, Presence::absent},
      {{1, {}, "ERROR: The specified task name \"" + bob_task + "\" does not exist in the system.\r\n"}, Presence::unknown},
      {{1, {}, "ERROR: Access is denied.\r\n"}, Presence::unknown},
      {{2, {}, "ERROR: " + missing_file}, Presence::unknown},
      {{0, {}, {}}, Presence::unknown},  // no definition: a scheduler that only pretends (Wine's)
      {{-1, {}, {}}, Presence::unknown},
  };
  const LogonTask task(nullptr, false, ann, missing_file);
  for (const auto& [answer, presence] : cases)
    EXPECT_EQ(task.presence(answer, ann_task), presence) << answer.exit_code << " " << answer.error.toStdString();
}
