#include "gui/desktop/autostart.h"

#include "gui/desktop/windows/folder_protection.h"
#include "gui/desktop/logon_task.h"
#include "key/platform.h"

#include <QFileInfo>
#include <QObject>
#include <QProcess>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <easylogging++.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>
#include <sddl.h>
#include <shellapi.h>

namespace autostart {

namespace {

const QString run_key_path = QStringLiteral(R"(HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run)");

// schtasks finishes in a second or two; the administrator prompt is answered before it starts.
constexpr int schtasks_timeout_ms = 30000;

// The system's own schtasks, never one that the search path would find first: it may run as
// administrator.
QString schtasks_path() {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return QString::fromWCharArray(folder, static_cast<int>(length)) + QStringLiteral("\\schtasks.exe");
}

// schtasks writes its messages in the console's code page, the OEM one.
QString oem_text(const QByteArray& bytes) {
  if (bytes.isEmpty()) return {};
  const int length = MultiByteToWideChar(CP_OEMCP, 0, bytes.constData(), bytes.size(), nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_OEMCP, 0, bytes.constData(), bytes.size(), wide.data(), length);
  return QString::fromStdWString(wide);
}

// What schtasks prints for a task that does not exist on current Windows, in the user's language.
QString missing_file_message() {
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     ERROR_FILE_NOT_FOUND, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  const QString message = length > 0 ? QString::fromWCharArray(text, static_cast<int>(length)).trimmed() : QString();
  LocalFree(text);
  return message;
}

void hide_console(QProcess& process) {
  process.setCreateProcessArgumentsModifier(
      [](QProcess::CreateProcessArguments* arguments) { arguments->flags |= CREATE_NO_WINDOW; });
}

SchtasksAnswer answer_of(QProcess& process, int exit_code) {
  return {exit_code, process.readAllStandardOutput(), oem_text(process.readAllStandardError())};
}

// Through the shell's "runas", which asks the user for administrator rights. What schtasks
// prints then goes to a console of its own, unread.
SchtasksAnswer run_elevated(const QString& schtasks, const QStringList& args) {
  QStringList command_line;
  for (const QString& argument : args) command_line << windows_argument(argument);
  const std::wstring file = schtasks.toStdWString();
  const std::wstring parameters = command_line.join(QLatin1Char(' ')).toStdWString();
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
  info.lpVerb = L"runas";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_HIDE;
  if (!ShellExecuteExW(&info)) {
    const DWORD error = GetLastError();
    if (error == ERROR_CANCELLED)
      LOG(INFO) << "Start at login: the user declined the administrator prompt";
    else
      LOG(WARNING) << "Start at login: schtasks did not start as administrator (error " << error << ")";
    return {};
  }
  if (!info.hProcess) return {};
  DWORD code = 0;
  const bool finished =
      WaitForSingleObject(info.hProcess, schtasks_timeout_ms) == WAIT_OBJECT_0 && GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  if (!finished) {
    LOG(WARNING) << "Start at login: schtasks did not finish";
    return {};
  }
  return {static_cast<int>(code), {}, {}};
}

SchtasksAnswer run_directly(const QString& schtasks, const QStringList& args) {
  QProcess process;
  hide_console(process);
  process.start(schtasks, args);
  if (!process.waitForFinished(schtasks_timeout_ms)) {
    LOG(WARNING) << "Start at login: schtasks did not run: " << process.errorString().toStdString();
    process.kill();
    process.waitForFinished(schtasks_timeout_ms);
    return {};
  }
  return answer_of(process, process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1);
}

SchtasksAnswer run_schtasks(const QStringList& args, bool elevated) {
  const QString schtasks = schtasks_path();
  if (schtasks.isEmpty()) {
    LOG(WARNING) << "Start at login: the system folder, where schtasks is, is unknown";
    return {};
  }
  return elevated ? run_elevated(schtasks, args) : run_directly(schtasks, args);
}

// This program's user: with an administrator's rights given over the shoulder, that
// administrator, whose Run key and settings this program uses too.
LogonTask::User this_user() {
  LogonTask::User user;
  wchar_t name[257] = {};
  DWORD length = 257;
  if (GetUserNameW(name, &length)) user.name = QString::fromWCharArray(name);
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return user;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
    LPWSTR sid = nullptr;
    if (ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
      user.sid = QString::fromWCharArray(sid);
      LocalFree(sid);
    }
  }
  CloseHandle(token);
  return user;
}

// A member of Administrators, elevated or not: unelevated, an administrator's token is split, and
// its linked token, the elevated one, holds the group. No task can elevate anyone else.
bool user_is_administrator() {
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD administrators_size = sizeof administrators;
  if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &administrators_size)) return false;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size)) type = TokenElevationTypeDefault;
  BOOL member = FALSE;
  if (type == TokenElevationTypeLimited) {
    TOKEN_LINKED_TOKEN linked{};
    if (GetTokenInformation(token, TokenLinkedToken, &linked, sizeof linked, &size)) {
      if (!CheckTokenMembership(linked.LinkedToken, administrators, &member)) member = FALSE;
      CloseHandle(linked.LinkedToken);
    }
  } else if (!CheckTokenMembership(nullptr, administrators, &member)) {
    member = FALSE;
  }
  CloseHandle(token);
  return member != FALSE;
}

LogonTask logon_task() { return LogonTask(run_schtasks, platform::running_elevated(), this_user(), missing_file_message()); }

}  // namespace

bool enabled() {
  const QSettings run_key(run_key_path, QSettings::NativeFormat);
  return LoginStart::run_value_present(run_key);
}

bool starts_unelevated() { return enabled(); }

bool may_have_logon_task() { return true; }

void ask_logon_task(QObject* receiver, std::function<void(bool exists)> answer) {
  const QString schtasks = schtasks_path();
  if (schtasks.isEmpty()) {
    LOG(WARNING) << "Start at login: the system folder, where schtasks is, is unknown";
    return;
  }
  const auto task = std::make_shared<LogonTask>(logon_task());
  const QStringList names = task->names();
  // One query a name, at once; the last answer settles: present when any task is, absent when
  // every query said so.
  struct Answers {
    int pending;
    bool present = false;
    bool unknown = false;
  };
  const auto answers = std::make_shared<Answers>(Answers{static_cast<int>(names.size())});
  const auto settle = [answers, answer = std::move(answer)](LogonTask::Presence presence) {
    answers->present = answers->present || presence == LogonTask::Presence::present;
    answers->unknown = answers->unknown || presence == LogonTask::Presence::unknown;
    if (--answers->pending == 0 && (answers->present || !answers->unknown)) answer(answers->present);
  };
  for (const QString& name : names) {
    // Owned by receiver: gone with it, and its schtasks killed.
    auto* process = new QProcess(receiver);
    hide_console(*process);
    QObject::connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), receiver,
                     [process, task, name, settle](int code, QProcess::ExitStatus status) {
                       settle(task->presence(answer_of(*process, status == QProcess::NormalExit ? code : -1), name));
                       process->deleteLater();
                     });
    // A schtasks that did not start sends no finished.
    QObject::connect(process, &QProcess::errorOccurred, receiver, [process, task, name, settle](QProcess::ProcessError error) {
      if (error != QProcess::FailedToStart) return;
      settle(task->presence(SchtasksAnswer{}, name));
      process->deleteLater();
    });
    process->start(schtasks, LogonTask::query_arguments(name));
  }
}

bool set_enabled(bool on, const QString& program, const QStringList& arguments) {
  QSettings run_key(run_key_path, QSettings::NativeFormat);
  const bool protected_folder = !program.isEmpty() && folder_protected(QFileInfo(program).absolutePath());
  return LoginStart(run_key, logon_task(), protected_folder, user_is_administrator()).set(on, program, arguments);
}

}  // namespace autostart
