#include "key/platform.h"

#include <QDir>
#include <QString>

#include <windows.h>
#include <shlobj.h>

namespace platform {

bool user_app_data_folder(std::string& folder) {
  char path[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathA(nullptr, path, CSIDL_APPDATA, FALSE)) return false;
  folder = path;
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

// Windows lets every user open the key: there is no rule to install.
bool key_access_rule_installed() { return false; }

// Windows has no asynchronous signals that interrupt a thread's reads.
void block_async_signals() {}

}  // namespace platform
