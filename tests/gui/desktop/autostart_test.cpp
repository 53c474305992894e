// Start at login: the XDG autostart entry on Linux; on Windows the Run value and this user's
// logon task, decided against a fake Task Scheduler and a Run key in a file of the test's own,
// and the real Run key of the Wine prefix's user.
#include "gui/desktop/autostart.h"
#include "gui/desktop/logon_task.h"

#include <QFile>
#include <QRegularExpression>
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
// A per-user install (the folder's protection is the tests' to say) writes the real Run value,
// a string, as Windows reads it.
TEST(Autostart, APerUserInstallWritesTheRunValueThatWindowsReads) {
  qputenv("UMBRATA_TEST_FOLDER_PROTECTED", "0");
  ASSERT_TRUE(autostart::set_enabled(true, "C:/Users/Ann/AppData/Local/Programs/Umbrata/umbrata.exe", {"--hidden"}));
  wchar_t value[512] = {};
  DWORD size = sizeof value;
  EXPECT_TRUE(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Umbrata", RRF_RT_REG_SZ,
                           nullptr, value, &size) == ERROR_SUCCESS && autostart::enabled() && autostart::starts_unelevated());
  EXPECT_EQ(QString::fromWCharArray(value), R"("C:\Users\Ann\AppData\Local\Programs\Umbrata\umbrata.exe" --hidden)");
  EXPECT_TRUE(autostart::set_enabled(false, {}, {}) && !autostart::enabled());
  qunsetenv("UMBRATA_TEST_FOLDER_PROTECTED");
}
#endif

namespace {

const LogonTask::User ann{"Ann & Co", "S-1-5-21-7-8-9-1001"};
const QString ann_task = "Umbrata at logon (Ann & Co)";
const QString bob_task = "Umbrata at logon (Bob)";
const QString missing_file = "The system cannot find the file specified.";

// A fake schtasks: the tasks it has, by name, every call, as "/Verb name" after "runas " when it
// ran elevated, and the last definition it was given. It reads that from its file while it runs,
// as the real one does, and takes only well-formed XML in UTF-16 after its byte order mark.
struct Scheduler {
  int change_exit;
  QStringList tasks, calls;
  QString definition_file, definition;

  SchtasksAnswer operator()(const QStringList& args, bool elevated) {
    calls << (elevated ? "runas " : "") + args[0] + ' ' + args[2];
    if (args[0] == "/Query") return {tasks.contains(args[2]) ? 0 : 1, "<Task/>", "ERROR: " + missing_file + "\r\n"};
    if (change_exit || args[0] == "/Delete") return {change_exit ? change_exit : int(!tasks.removeOne(args[2])), {}, {}};
    QFile file(definition_file = args[4]);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    QXmlStreamReader reader(definition = QTextCodec::codecForName("UTF-16LE")->toUnicode(bytes.mid(2)));
    while (!reader.atEnd() && !reader.hasError()) reader.readNext();
    if (!bytes.startsWith("\xFF\xFE") || reader.hasError()) return {1, {}, "ERROR: The task XML is malformed."};
    tasks << args[2];
    return {0, {}, {}};
  }
};

}  // namespace

TEST(LoginStart, StartsElevatedOnlyFromAProtectedFolderForAnAdministratorAndRemovesWhatExists) {
  const QString command = R"("C:\Program Files\Ann's & Co\umbrata.exe" --hidden)", before = "written for this user before";
  // schtasks' exit for a change, the tasks there before, the calls made, the Run value after.
  const struct { bool on, protected_folder, admin, elevated; int change_exit; QStringList tasks, calls; QString run_value; } cases[] = {
      // A per-user install, or a user whom no task can elevate (no administrator): the Run value, with no schtasks at all.
      {true, false, true, false, 0, {}, {}, command}, {true, true, false, false, 0, {}, {}, command},
      // A per-machine install for an administrator: this user's task alone.
      {true, true, true, false, 0, {}, {"runas /Create " + ann_task}, {}},
      // Off, on any install: the Run value, and each of this user's tasks that exists, the former "Umbrata" too. A change
      // asks for rights only when the program lacks them.
      {false, true, true, false, 0, {ann_task}, {"runas /Delete " + ann_task}, {}},
      {false, false, true, true, 0, {ann_task, "Umbrata"}, {"/Delete " + ann_task, "/Delete Umbrata"}, {}},
      // schtasks failed, or did not run: that fails, and the Run value or the task stays.
      {true, true, true, false, 1, {}, {"runas /Create " + ann_task}, before},
      {false, true, true, false, -1, {ann_task}, {"runas /Delete " + ann_task}, {}},
  };
  for (const auto& [on, protected_folder, admin, elevated, change_exit, tasks, calls, run_value] : cases) {
    SCOPED_TRACE(testing::Message() << on << protected_folder << admin << elevated << change_exit);
    Scheduler scheduler{change_exit, tasks + QStringList{bob_task}, {}, {}, {}};
    QTemporaryDir dir;
    QSettings run_key(dir.filePath("run.ini"), QSettings::IniFormat);
    run_key.setValue("Umbrata", before);
    LoginStart start(run_key, LogonTask(std::ref(scheduler), elevated, ann, missing_file), protected_folder, admin);
    EXPECT_EQ(start.set(on, "C:/Program Files/Ann's & Co/umbrata.exe", {"--hidden"}), change_exit == 0);
    // Another user's task is never touched; turning off queries first, without asking for rights.
    EXPECT_EQ(on ? scheduler.calls : scheduler.calls.filter(QRegularExpression("^(?!/Query )")), calls);
    EXPECT_EQ(run_key.value("Umbrata").toString(), run_value);
    EXPECT_FALSE(QFile::exists(scheduler.definition_file)) << "the definition's file is gone";
    if (scheduler.definition.isEmpty()) continue;
    // Run as this user, started by this user's logon alone, for the whole session.
    EXPECT_EQ(scheduler.definition.count("<UserId>" + ann.sid + "</UserId>"), 2) << "the principal's and the logon trigger's";
    for (const QString& element : QStringList{"<LogonType>InteractiveToken</LogonType>", "<RunLevel>HighestAvailable</RunLevel>",
             "<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>", R"(<Command>C:\Program Files\Ann's &amp; Co\umbrata.exe</Command>)",
             "<Arguments>--hidden</Arguments>"})
      EXPECT_TRUE(scheduler.definition.contains(element)) << element.toStdString() << " in\n" << scheduler.definition.toStdString();
  }
}

TEST(LogonTask, TellsAMissingTaskFromAQueryThatFailed) {
  using Presence = LogonTask::Presence;
  const QString older = "ERROR: The specified task name \"%1\" does not exist in the system.\r\n";
  // Current Windows print the system's message for a missing file, in the user's language; older
  // ones name the task. Exit 0 with no definition: a scheduler that only pretends (Wine's).
  const struct { SchtasksAnswer answer; Presence presence; } cases[] = {
      {{0, "<Task/>\r\n", {}}, Presence::present}, {{1, {}, "ERROR: " + missing_file + "\r\n"}, Presence::absent},
      {{1, {}, older.arg("\\" + ann_task)}, Presence::absent}, {{1, {}, older.arg(bob_task)}, Presence::unknown},
      {{1, {}, "ERROR: Access is denied.\r\n"}, Presence::unknown}, {{2, {}, "ERROR: " + missing_file}, Presence::unknown},
      {{0, {}, {}}, Presence::unknown}, {{-1, {}, {}}, Presence::unknown}};
  const LogonTask task(nullptr, false, ann, missing_file);
  for (const auto& [answer, presence] : cases)
    EXPECT_EQ(task.presence(answer, ann_task), presence) << answer.exit_code << " " << answer.error.toStdString();
}
