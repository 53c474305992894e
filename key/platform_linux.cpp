#include "key/platform.h"

#include <QFile>
#include <QString>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/timex.h>
#include <sys/types.h>
#include <unistd.h>

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
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::chmod(folder.c_str(), 0700) == 0;
}

bool make_private_file(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool owner_only = ::fchmod(fd, 0600) == 0;
  ::close(fd);
  return owner_only;
}

bool key_access_rule_installed() {
  for (const char* rule : {"/usr/lib/udev/rules.d/70-umbrata.rules", "/etc/udev/rules.d/70-umbrata.rules"})
    if (::access(rule, F_OK) == 0) return true;
  return false;
}

bool key_interface_needs_administrator(const std::string&) { return false; }

bool running_elevated() { return ::geteuid() == 0; }

ClockSync clock_sync() {
  timex state{};
  const int clock_state = ::adjtimex(&state);
  if (clock_state == -1) return ClockSync::unknown;
  return clock_state == TIME_ERROR || (state.status & STA_UNSYNC) != 0 ? ClockSync::unsynchronised
                                                                      : ClockSync::synchronised;
}

// hidraw's read fails when a signal interrupts its poll; a fault's own signal must still kill.
void block_async_signals() {
  sigset_t set;
  ::sigfillset(&set);
  for (int synchronous : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT, SIGSYS}) ::sigdelset(&set, synchronous);
  ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

}  // namespace platform
