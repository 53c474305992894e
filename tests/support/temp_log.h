#pragma once

#include <QTemporaryDir>
#include <QString>

#include <string>

// How many times what stands in text.
inline std::size_t occurrences(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A private application-data folder for one test: XDG_DATA_HOME points into a fresh temporary
// folder (which does not exist yet, so set-up has to create the whole chain), and the test reads
// back the log file that the program really writes there.
class TempLog {
 public:
  TempLog();
  ~TempLog();
  TempLog(const TempLog&) = delete;
  TempLog& operator=(const TempLog&) = delete;

  // Runs setup_log with a log.conf holding conf_text, or with the path of a missing file.
  void setup(const std::string& conf_text);
  void setup_without_conf();
  // The library's defaults, but nothing on the standard output.
  void setup_quiet();

  QString data_home() const;
  QString log_folder() const;
  std::string log_path() const;
  std::string conf_path() const;
  std::string read_log() const;
  std::string read_file(const std::string& path) const;

 private:
  QTemporaryDir dir_;
  std::string saved_data_home_;
  bool had_data_home_ = false;
};
