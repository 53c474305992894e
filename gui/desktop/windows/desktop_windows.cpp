#include "gui/desktop/desktop.h"
#include "gui/desktop/logon_task.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QMimeData>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <vector>

#include <windows.h>
#include <shellapi.h>

namespace desktop {

// Windows' clipboard history and cloud clipboard read these registered formats. Qt registers a
// format under the whole MIME type's name when it writes, so the bare names are the MIME types.
void mark_secret(QMimeData& data) {
  const QByteArray dword_zero(4, '\0');
  data.setData(QStringLiteral("ExcludeClipboardContentFromMonitorProcessing"), dword_zero);
  data.setData(QStringLiteral("CanIncludeInClipboardHistory"), dword_zero);
  data.setData(QStringLiteral("CanUploadToCloudClipboard"), dword_zero);
}

// Windows' clipboard is one program's at a time, with no compositor between: Qt's clear, read
// back, tells.
ClipboardWipe clear_marked_clipboard(const QString&) { return ClipboardWipe::unavailable; }
QtClipboardWipe qt_clipboard_wipe() { return QtClipboardWipe::clear; }

// Output that the parent redirected to a file or a pipe stays there; otherwise the parent's
// console is joined, when there is one. A character device that is no console (a terminal's,
// under Wine) is written to as it is.
bool attach_parent_console() {
  if (GetConsoleWindow()) return true;
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  const DWORD type = out == nullptr || out == INVALID_HANDLE_VALUE ? FILE_TYPE_UNKNOWN : GetFileType(out);
  if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) return true;
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    std::FILE* ignored = nullptr;
    freopen_s(&ignored, "CONOUT$", "w", stdout);
    freopen_s(&ignored, "CONOUT$", "w", stderr);
    return true;
  }
  return type == FILE_TYPE_CHAR;
}

bool restart_as_administrator(const QStringList& arguments) {
  QStringList command_line;
  for (const QString& argument : arguments) command_line << windows_argument(argument);
  const std::wstring program = QDir::toNativeSeparators(QCoreApplication::applicationFilePath()).toStdWString();
  const std::wstring parameters = command_line.join(QLatin1Char(' ')).toStdWString();
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOASYNC;
  info.lpVerb = L"runas";
  info.lpFile = program.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&info) != FALSE;
}

// A user may be logged in more than once (fast user switching, remote desktop): each login
// session has its own instance.
QString instance_name() {
  DWORD session = 0;
  if (!ProcessIdToSessionId(GetCurrentProcessId(), &session)) session = 0;
  return QStringLiteral("umbrata-%1-%2").arg(session).arg(qEnvironmentVariable("USERNAME"));
}

// A user's own temporary folder, which the elevated copy of the program shares with the one it
// replaces (both run as the same user).
QString instance_lock_file() { return QDir(QDir::tempPath()).filePath(instance_name() + QStringLiteral(".lock")); }

namespace {

// The user that process runs as, a TOKEN_USER in buffer; false when its token cannot be read.
bool token_user(HANDLE process, std::vector<BYTE>& buffer) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return false;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  buffer.resize(size);
  const bool read = size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
  CloseHandle(token);
  return read;
}

}  // namespace

// The socket descriptor of a connected QLocalSocket is its pipe's handle. Whatever cannot be
// read counts as another user's.
bool instance_server_is_this_user(qintptr socket_descriptor) {
  ULONG server_id = 0;
  if (!GetNamedPipeServerProcessId(reinterpret_cast<HANDLE>(socket_descriptor), &server_id)) return false;
  const HANDLE server = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, server_id);
  if (server == nullptr) return false;
  std::vector<BYTE> server_user;
  std::vector<BYTE> own_user;
  const bool read = token_user(server, server_user) && token_user(GetCurrentProcess(), own_user);
  CloseHandle(server);
  return read && EqualSid(reinterpret_cast<TOKEN_USER*>(server_user.data())->User.Sid,
                          reinterpret_cast<TOKEN_USER*>(own_user.data())->User.Sid) != FALSE;
}

void let_running_instance_come_forward() { AllowSetForegroundWindow(ASFW_ANY); }

}  // namespace desktop
