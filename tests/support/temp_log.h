#pragma once

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
// back the log file that the program really writes there.
class TempLog {
 public:
  TempLog() : saved_(qgetenv("XDG_DATA_HOME")) { qputenv("XDG_DATA_HOME", data_home().toLocal8Bit()); }
  ~TempLog() { qputenv("XDG_DATA_HOME", saved_); }

  // Runs setup_log with a log.conf holding conf_text.
  void setup(const std::string& conf_text) {
    std::ofstream(conf_path()) << conf_text;
    setup_log(conf_path());
  }
  // The library's defaults, but nothing on the standard output.
  void setup_quiet() { setup("* GLOBAL:\n    TO_STANDARD_OUTPUT = false\n"); }

  QString data_home() const { return dir_.filePath("data home"); }
  QString log_folder() const { return data_home() + "/Orvalin Direzoda/Umbrata"; }
  std::string log_path() const { return (log_folder() + "/Umbrata.log").toStdString(); }
  std::string conf_path() const { return dir_.filePath("log.conf").toStdString(); }
  std::string read_log() const { return read_file(log_path()); }

 private:
  QTemporaryDir dir_;
  QByteArray saved_;
};
