#include "tests/support/temp_log.h"

#include <easylogging++.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <regex>
#include <sys/stat.h>

namespace {

const std::string plain_conf = "* GLOBAL:\n    FORMAT = \"%datetime %level [%logger] %msg\"\n    TO_STANDARD_OUTPUT = false\n";

unsigned mode_of(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 01000;
}

TEST(SetupLog, FoldersAndFilesAreTheUsersAloneAndAFullFileRollsOverOnce) {
  TempLog log;
  ASSERT_TRUE(QDir().mkpath(log.log_folder()));
  ::chmod(log.log_folder().toStdString().c_str(), 0755);  // an existing, wider folder
  log.setup(plain_conf + "    MAX_LOG_FILE_SIZE = 2048\n");
  EXPECT_EQ(mode_of(log.log_folder().toStdString()), 0700u);
  EXPECT_EQ(mode_of(log.log_path()), 0600u);
  for (int i = 0; i < 60; ++i) LOG(INFO) << "line " << i << ' ' << std::string(100, 'x');

  EXPECT_EQ(mode_of(log.log_path()), 0600u);
  EXPECT_EQ(mode_of(log.log_path() + ".1"), 0600u);
  const std::string current = log.read_log();
  const std::string previous = read_file(log.log_path() + ".1");
  EXPECT_LT(current.size(), 2048u + 200u);
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

  TempLog missing;
  setup_log(missing.conf_path());
  // Every folder that set-up created, not only the last.
  for (const QString& folder : {missing.data_home(), missing.data_home() + "/Orvalin Direzoda", missing.log_folder()})
    EXPECT_EQ(mode_of(folder.toStdString()), 0700u) << folder.toStdString();
  const std::regex default_format("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2},\\d{3} INFO \\[default\\] "
                                  "Read log conf file from: " + missing.conf_path() + "\n");
  EXPECT_TRUE(std::regex_search(missing.read_log(), default_format)) << missing.read_log();
}

}  // namespace
