#include "tests/support/temp_log.h"

#include <easylogging++.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

unsigned mode_of(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 01000;
}

TEST(SetupLog, FoldersAndFilesAreTheUsersAloneAndAFullFileRollsOverOnce) {
  TempLog log;
  ASSERT_TRUE(QDir().mkpath(log.log_folder()));
  ::chmod(log.log_folder().toStdString().c_str(), 0755);  // an existing, wider folder
  log.setup("* GLOBAL:\n    TO_STANDARD_OUTPUT = false\n    MAX_LOG_FILE_SIZE = 2048\n");
  EXPECT_EQ(mode_of(log.log_folder().toStdString()), 0700u);
  EXPECT_EQ(mode_of(log.log_path()), 0600u);
  for (int i = 0; i < 60; ++i) LOG(INFO) << "line " << i << ' ' << std::string(100, 'x');

  // Every file that replaces a full one is made the user's alone before it is written; the
  // previous file is one that filled up.
  EXPECT_EQ(mode_of(log.log_path()), 0600u);
  const std::string current = log.read_log();
  const std::string previous = read_file(log.log_path() + ".1");
  EXPECT_LT(previous.size(), 2048u + 200u);
  // One generation only: the oldest lines are gone, nothing in between is lost.
  EXPECT_EQ(previous.find("Read log conf file from"), std::string::npos);
  const int first_in_current = std::stoi(current.substr(current.find("line ") + 5));
  EXPECT_NE(previous.find("line " + std::to_string(first_in_current - 1) + " "), std::string::npos) << previous;
  EXPECT_NE(current.find("line 59 "), std::string::npos);
}

TEST(SetupLog, TheConfDecidesTheFormatButNotTheFile) {
  TempLog log;
  const std::string elsewhere = log.data_home().toStdString() + "-elsewhere.log";
  log.setup("* GLOBAL:\n    FORMAT = \"%level|%msg\"\n    FILENAME = \"" + elsewhere + "\"\n    TO_STANDARD_OUTPUT = false\n");
  LOG(WARNING) << "a" << 1 << "b";
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(elsewhere)));
  EXPECT_EQ(log.read_log(), "INFO|Read log conf file from: " + log.conf_path() + "\nWARNING|a1b\n");
  // Every folder that set-up created, not only the last.
  for (const QString& folder : {log.data_home(), log.data_home() + "/Orvalin Direzoda", log.log_folder()})
    EXPECT_EQ(mode_of(folder.toStdString()), 0700u) << folder.toStdString();

  // Without a conf, the library's own format, in the same file.
  TempLog missing;
  setup_log(missing.conf_path());
  EXPECT_NE(missing.read_log().find(" INFO [default] Read log conf file from: " + missing.conf_path() + "\n"), std::string::npos);
}

}  // namespace
