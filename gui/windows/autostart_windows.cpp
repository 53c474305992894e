#include "gui/autostart.h"

#include "gui/windows/logon_task.h"
#include "key/platform.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <easylogging++.h>

#include <string>

#include <windows.h>
#include <shellapi.h>

namespace autostart {

namespace {

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

// Through the shell's "runas", which asks the user for administrator rights.
int run_elevated(const QString& schtasks, const QStringList& args) {
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
    return -1;
  }
  if (!info.hProcess) return -1;
  DWORD code = 0;
  const bool finished =
      WaitForSingleObject(info.hProcess, schtasks_timeout_ms) == WAIT_OBJECT_0 && GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  if (!finished) {
    LOG(WARNING) << "Start at login: schtasks did not finish";
    return -1;
  }
  return static_cast<int>(code);
}

int run_directly(const QString& schtasks, const QStringList& args) {
  QProcess process;
  process.setCreateProcessArgumentsModifier(
      [](QProcess::CreateProcessArguments* arguments) { arguments->flags |= CREATE_NO_WINDOW; });
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  process.start(schtasks, args);
  if (!process.waitForFinished(schtasks_timeout_ms)) {
    LOG(WARNING) << "Start at login: schtasks did not run: " << process.errorString().toStdString();
    process.kill();
    process.waitForFinished(schtasks_timeout_ms);
    return -1;
  }
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

int run_schtasks(const QStringList& args, bool elevated) {
  const QString schtasks = schtasks_path();
  if (schtasks.isEmpty()) {
    LOG(WARNING) << "Start at login: the system folder, where schtasks is, is unknown";
    return -1;
  }
  return elevated ? run_elevated(schtasks, args) : run_directly(schtasks, args);
}

LogonTask logon_task() { return LogonTask(run_schtasks, platform::running_elevated()); }

}  // namespace

bool enabled() { return logon_task().exists(); }

bool set_enabled(bool on, const QString& program, const QStringList& arguments) {
  return logon_task().set(on, program, arguments);
}

}  // namespace autostart
