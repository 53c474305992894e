#pragma once

#include "key/platform.h"
#include "key/toolkit.h"

#include <QTemporaryDir>
#include <QString>

#include <fstream>
#include <sstream>
#include <string>

// How many times what stands in text.
inline std::size_t occurrences(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

inline std::string read_file(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

// A private application-data folder for one test: XDG_DATA_HOME points into a fresh temporary
// folder (which does not exist yet, so set-up has to create the whole chain), and the test reads
// back the log file that the program really writes there. Windows asks its shell for the folder,
// which no variable moves: there the log is the user's (a private Wine prefix's), and a test
// reads back only what was written since its set-up.
class TempLog {
 public:
#ifdef _WIN32
  TempLog() = default;
#else
  TempLog() : saved_(qgetenv("XDG_DATA_HOME")) { qputenv("XDG_DATA_HOME", data_home().toLocal8Bit()); }
  ~TempLog() { qputenv("XDG_DATA_HOME", saved_); }
#endif

  // Runs setup_log with a log.conf holding conf_text.
  void setup(const std::string& conf_text) {
    std::ofstream(conf_path()) << conf_text;
    start_ = read_file(log_path()).size();
    setup_log(conf_path());
  }
  // The library's defaults, but nothing on the standard output.
  void setup_quiet() { setup("* GLOBAL:\n    TO_STANDARD_OUTPUT = false\n"); }

  QString data_home() const {
#ifdef _WIN32
    std::string folder;
    platform::user_app_data_folder(folder);
    return QString::fromLocal8Bit(folder.c_str()).replace('\\', '/');
#else
    return dir_.filePath("data home");
#endif
  }
  QString log_folder() const { return data_home() + "/Orvalin Direzoda/Umbrata"; }
  std::string log_path() const { return (log_folder() + "/Umbrata.log").toStdString(); }
  std::string conf_path() const { return dir_.filePath("log.conf").toStdString(); }
  std::string read_log() const {
    const std::string text = read_file(log_path());
    return start_ <= text.size() ? text.substr(start_) : text;
  }

 private:
  QTemporaryDir dir_;
  QByteArray saved_;
  std::size_t start_ = 0;
};
