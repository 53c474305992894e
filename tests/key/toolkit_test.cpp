#include "key/toolkit.h"

#include "tests/support/temp_log.h"

#include <easylogging++.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <cstdlib>
#include <regex>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

const std::string plain_conf =
    "* GLOBAL:\n"
    "    FORMAT = \"%datetime %level [%logger] %msg\"\n"
    "    TO_FILE = true\n"
    "    TO_STANDARD_OUTPUT = false\n";

unsigned mode_of(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 01000;
}

TEST(HexDump, EveryByteIsTwoLowerCaseDigitsAndABlank) {
  EXPECT_EQ(hex_dump(ByteBuffer{0x01, 0xAB, 0x00, 0x0F}).str(), "01 ab 00 0f ");
  EXPECT_EQ(hex_dump(ByteBuffer{}).str(), "");
  const std::uint8_t bytes[] = {0x90, 0x00, 0x7F};
  EXPECT_EQ(hex_dump(bytes, 2).str(), "90 00 ");
  EXPECT_EQ(hex_dump(bytes, -5).str(), "");
}

TEST(SetupLog, WithoutConfWritesIntoTheDataFolderWithDefaultFormat) {
  TempLog log;
  log.setup_without_conf();
  LOG(INFO) << "-> Program Running!";
  const std::string text = log.read_log();
  const std::regex first_line("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2},\\d{3} INFO \\[default\\] "
                              "Read log conf file from: (.*)\n");
  std::smatch match;
  ASSERT_TRUE(std::regex_search(text, match, first_line)) << text;
  EXPECT_EQ(match[1].str(), log.conf_path());
  EXPECT_NE(text.find("INFO [default] -> Program Running!\n"), std::string::npos);
}

TEST(SetupLog, FoldersAndFilesAreTheUsersAloneAndAFullFileRollsOverOnce) {
  TempLog log;
  ASSERT_FALSE(QFileInfo::exists(log.data_home()));
  ASSERT_TRUE(QDir().mkpath(log.log_folder()));
  ::chmod(log.log_folder().toStdString().c_str(), 0755);  // an existing, wider folder
  log.setup(plain_conf + "    MAX_LOG_FILE_SIZE = 2048\n");
  EXPECT_EQ(mode_of(log.log_folder().toStdString()), 0700u);
  EXPECT_EQ(mode_of(log.log_path()), 0600u);
  const std::string line(100, 'x');
  for (int i = 0; i < 60; ++i) LOG(INFO) << "line " << i << ' ' << line;

  EXPECT_EQ(mode_of(log.log_path()), 0600u);
  EXPECT_EQ(mode_of(log.log_path() + ".1"), 0600u);
  const std::string current = log.read_log();
  const std::string previous = log.read_file(log.log_path() + ".1");
  EXPECT_LT(current.size(), 2048u + 200u);
  EXPECT_LT(previous.size(), 2048u + 200u);
  // One generation only: the oldest lines are gone, nothing in between is lost.
  EXPECT_EQ(previous.find("Read log conf file from"), std::string::npos);
  const int first_in_current = std::stoi(current.substr(current.find("line ") + 5));
  EXPECT_NE(previous.find("line " + std::to_string(first_in_current - 1) + " "), std::string::npos) << previous;
  EXPECT_NE(current.find("line 59 "), std::string::npos);
}

TEST(SetupLog, ConfFormatAndLevelsHoldButItsFileNameIsReplaced) {
  TempLog log;
  const std::string elsewhere = log.data_home().toStdString() + "-elsewhere.log";
  log.setup("* GLOBAL:\n    FORMAT = \"%level|%msg\"\n    FILENAME = \"" + elsewhere +
            "\"\n    TO_STANDARD_OUTPUT = false\n");
  LOG(WARNING) << "a" << 1 << "b";
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(elsewhere)));
  EXPECT_EQ(log.read_log(), "INFO|Read log conf file from: " + log.conf_path() + "\nWARNING|a1b\n");

  TempLog delivered;
  setup_log(std::string(UMBRATA_LOG_CONF));
  LOG(DEBUG) << "debug line";
  LOG(ERROR) << "error line";
  EXPECT_EQ(delivered.read_log().find("debug line"), std::string::npos);
  EXPECT_NE(delivered.read_log().find(" ERROR [default] error line\n"), std::string::npos);
}

TEST(SetupLog, WithoutAnyDataFolderNoFileIsMadeAndLoggingGoesOn) {
  TempLog log;
  const char* home = std::getenv("HOME");
  const std::string saved_home = home ? home : "";
  ::setenv("XDG_DATA_HOME", "relative/is/ignored", 1);
  ::unsetenv("HOME");
  testing::internal::CaptureStdout();
  log.setup("* GLOBAL:\n    FORMAT = \"%msg\"\n    TO_STANDARD_OUTPUT = true\n");
  LOG(INFO) << "still logging";
  const std::string out = testing::internal::GetCapturedStdout();
  if (home) ::setenv("HOME", saved_home.c_str(), 1);
  EXPECT_NE(out.find("still logging\n"), std::string::npos);
  EXPECT_FALSE(QFileInfo::exists(log.data_home()));
  EXPECT_FALSE(QFileInfo::exists("relative"));
}

TEST(SetupLog, LinesFromManyThreadsStayWhole) {
  TempLog log;
  log.setup(plain_conf);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) LOG(INFO) << "thread " << t << " line " << i << " end";
    });
  for (auto& thread : threads) thread.join();
  const std::string text = log.read_log();
  const std::regex whole(" INFO \\[default\\] thread \\d line \\d+ end\n");
  EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), whole), std::sregex_iterator()), 800);
}

}  // namespace
