#include "key/key_exception.h"

#include "tests/support/temp_log.h"

#include <gtest/gtest.h>

#include <exception>
#include <string>

namespace {

// Throws through the routine the key layer uses, seen only as a KeyException.
template <class Exception>
[[noreturn]] void throw_through_base(const std::string& message, int& line) {
  const Exception exp(message);
  const KeyException& as_base = exp;
  line = __LINE__ + 1;
  THROW_KEY_EXCEPTION(as_base);
}

template <class Exception>
void expect_caught_as_every_class(const std::string& message) {
  int line = 0;
  try {
    throw_through_base<Exception>(message, line);
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), message.c_str());
  }
  try {
    throw_through_base<Exception>(message, line);
  } catch (const KeyException& e) {
    EXPECT_NE(dynamic_cast<const Exception*>(&e), nullptr);
  }
  try {
    throw_through_base<Exception>(message, line);
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), message.c_str());
  }
  try {
    throw_through_base<Exception>(message, line);
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), message.c_str());
  }
}

TEST(KeyException, RaiseKeepsTheDynamicClass) {
  TempLog log;
  log.setup_without_conf();
  expect_caught_as_every_class<KeyException>("Error in AllocateChannel");
  expect_caught_as_every_class<KeyAccessException>("U2F usb key sending command");
  expect_caught_as_every_class<KeyNoObjectException>("No such object");

  int line = 0;
  try {
    throw_through_base<KeyAccessException>("x", line);
  } catch (const KeyNoObjectException&) {
    ADD_FAILURE() << "an access failure was caught as no-object";
  } catch (const KeyAccessException&) {
  }
}

TEST(KeyException, CopiesKeepTheirMessage) {
  const KeyAccessException original("U2F usb key sending command");
  const KeyAccessException copy = original;
  EXPECT_STREQ(copy.what(), "U2F usb key sending command");
  EXPECT_EQ(std::string(static_cast<const std::runtime_error&>(copy).what()), "U2F usb key sending command");
}

TEST(KeyException, LogLineNamesMessageAndRepositoryRelativeThrowSite) {
  TempLog log;
  log.setup_without_conf();
  int line = 0;
  try {
    throw_through_base<KeyAccessException>("U2F usb key sending command", line);
  } catch (const KeyAccessException&) {
  }
  const std::string expected = "INFO [default] Key Exception (U2F usb key sending command) occurs at "
                               "tests/key/key_exception_test.cpp:" +
                               std::to_string(line) + "\n";
  const std::string text = log.read_log();
  EXPECT_NE(text.find(expected), std::string::npos) << text;
}

}  // namespace
