#include "key/platform.h"

#include <QDir>
#include <QString>

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

namespace platform {

namespace {

// Empty when text is empty or not valid UTF-16.
std::string utf8_of(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string utf8(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, utf8.data(), size, nullptr, nullptr) != size) return {};
  utf8.pop_back();  // the terminating NUL
  return utf8;
}

}  // namespace

// Asked for in UTF-16 and handed on in UTF-8, which the programs' manifest makes their active
// code page: Windows names the profile folder after the account, and the ANSI form of a name
// with letters that the legacy code page lacks holds question marks instead.
bool user_app_data_folder(std::string& folder) {
  PWSTR path = nullptr;
  const HRESULT found = SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &path);
  const std::string utf8 = SUCCEEDED(found) ? utf8_of(path) : std::string();
  // The shell may allocate the path even when it fails.
  CoTaskMemFree(path);
  if (utf8.empty()) return false;
  folder = utf8;
  return true;
}

// The roaming profile is already private to its user; the folders inherit its access list.
bool make_private_folder(const QString& folder) {
  return QDir().mkpath(folder);
}

bool make_private_file(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

// Access to a device is granted by its driver's security descriptor, not by a rule one installs.
bool key_access_rule_installed() { return false; }

bool key_interface_needs_administrator(const std::string& path) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
  if (length <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), length);
  // The same open as hidapi's first attempt: read and write, shared.
  const HANDLE device = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (device != INVALID_HANDLE_VALUE) {
    CloseHandle(device);
    return false;
  }
  return GetLastError() == ERROR_ACCESS_DENIED && !running_elevated();
}

bool running_elevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  const bool elevated = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
                        elevation.TokenIsElevated != 0;
  CloseHandle(token);
  return elevated;
}

ClockSync clock_sync() {
  // Both are the service's configuration, which every user may read.
  const wchar_t* const service = L"SYSTEM\\CurrentControlSet\\Services\\W32Time";
  DWORD start = 0;
  DWORD size = sizeof start;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, service, L"Start", RRF_RT_REG_DWORD, nullptr, &start, &size) != ERROR_SUCCESS)
    return ClockSync::unknown;
  if (start == SERVICE_DISABLED) return ClockSync::unsynchronised;
  wchar_t type[16] = {};
  size = sizeof type;
  const std::wstring parameters = std::wstring(service) + L"\\Parameters";
  // A value longer than the known ones (NTP, NT5DS, AllSync, NoSync) is none of them.
  if (RegGetValueW(HKEY_LOCAL_MACHINE, parameters.c_str(), L"Type", RRF_RT_REG_SZ, nullptr, type, &size) != ERROR_SUCCESS)
    return ClockSync::unknown;
  return _wcsicmp(type, L"NoSync") == 0 ? ClockSync::unsynchronised : ClockSync::synchronised;
}

// Windows has no asynchronous signals that interrupt a thread's reads.
void block_async_signals() {}

}  // namespace platform
