#include "tests/support/temp_log.h"

#include "key/toolkit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

TempLog::TempLog() {
  if (const char* old = std::getenv("XDG_DATA_HOME")) {
    had_data_home_ = true;
    saved_data_home_ = old;
  }
  EXPECT_TRUE(dir_.isValid());
  ::setenv("XDG_DATA_HOME", data_home().toStdString().c_str(), 1);
}

TempLog::~TempLog() {
  if (had_data_home_) {
    ::setenv("XDG_DATA_HOME", saved_data_home_.c_str(), 1);
  } else {
    ::unsetenv("XDG_DATA_HOME");
  }
}

void TempLog::setup(const std::string& conf_text) {
  std::ofstream(conf_path()) << conf_text;
  setup_log(conf_path());
}

void TempLog::setup_without_conf() { setup_log(conf_path()); }

void TempLog::setup_quiet() { setup("* GLOBAL:\n    TO_STANDARD_OUTPUT = false\n"); }

QString TempLog::data_home() const { return dir_.filePath("data home"); }

QString TempLog::log_folder() const { return data_home() + "/Orvalin Direzoda/Umbrata"; }

std::string TempLog::log_path() const { return (log_folder() + "/Umbrata.log").toStdString(); }

std::string TempLog::conf_path() const { return dir_.filePath("log.conf").toStdString(); }

std::string TempLog::read_log() const { return read_file(log_path()); }

std::string TempLog::read_file(const std::string& path) const {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
