#include "key/platform.h"

#include <QFile>
#include <QString>

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/types.h>

namespace platform {

namespace {

bool usable_absolute(const char* path) { return path != nullptr && path[0] == '/'; }

}  // namespace

// The XDG base-directory rules: $XDG_DATA_HOME when it is absolute, else ~/.local/share.
bool user_app_data_folder(std::string& folder) {
  const char* data_home = std::getenv("XDG_DATA_HOME");
  if (usable_absolute(data_home)) {
    folder = data_home;
    return true;
  }
  const char* home = std::getenv("HOME");
  if (usable_absolute(home)) {
    folder = std::string(home) + "/.local/share";
    return true;
  }
  return false;
}

// The log holds serial numbers and codes, so every folder we create is owner-only (0700).
bool make_private_folder(const QString& path) {
  const std::string folder = QFile::encodeName(path).toStdString();
  if (folder.empty()) return false;
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string prefix = folder.substr(0, slash);
    if (!prefix.empty() && ::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace platform
