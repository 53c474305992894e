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

}  // namespace platform
