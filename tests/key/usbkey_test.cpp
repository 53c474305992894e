// The command layer over a key class without a transport header, answering canned responses.
#include "key/key_exception.h"
#include "key/usbkey.h"

#include "tests/support/temp_log.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

class CannedKey : public UsbKey {
 public:
  CannedKey() : UsbKey(nullptr) {}

  // Without a header the response is: one transport byte, the length n, data, SW1 SW2.
  void answer(const ByteBuffer& data, ByteBuffer status = {0x90, 0x00}) {
    ByteBuffer r = {0x00, static_cast<std::uint8_t>(data.size() + 2)};
    r.insert(r.end(), data.begin(), data.end());
    r.insert(r.end(), status.begin(), status.end());
    responses.push_back(r);
  }
  void send_command(const std::uint8_t* request, std::uint32_t length, ByteBuffer& response) override {
    sent.emplace_back(request, request + length);
    ASSERT_FALSE(responses.empty());
    response = responses.front();
    responses.pop_front();
  }
  bool is_alive() override { return true; }

  std::deque<ByteBuffer> responses;
  std::vector<ByteBuffer> sent;
};

class UsbKeyTest : public ::testing::Test {
 protected:
  void SetUp() override { log.setup_quiet(); }

  template <class Exception>
  std::string thrown_by(const std::function<void()>& call) {
    try {
      call();
    } catch (const Exception& e) {
      return e.what();
    } catch (const std::exception& e) {
      return std::string("wrong class: ") + e.what();
    }
    return "nothing thrown";
  }

  TempLog log;
  CannedKey key;
};

TEST_F(UsbKeyTest, WithoutHeaderThePackageIsTheBodyAndLengthIsByteOne) {
  key.answer({'A', 'B'});
  ProtocolBody body;
  body.setup_get_active();
  ByteBuffer data = {9, 9}, resp_code = {9};
  key.combine_send(body, data, resp_code);
  EXPECT_EQ(key.sent.at(0), (ByteBuffer{0x00, 0xE6, 0x00, 0x00, 0x00}));
  EXPECT_EQ(data, (ByteBuffer{'A', 'B'}));
  EXPECT_EQ(resp_code, (ByteBuffer{0x90, 0x00}));
  EXPECT_NE(log.read_log().find("INFO [default] Instruction Succesfully\n"), std::string::npos);
  EXPECT_EQ(log.read_log().find("has header"), std::string::npos);
}

TEST_F(UsbKeyTest, StatusWordsFollowTheTable) {
  struct Case {
    ByteBuffer sw;
    std::string message;  // empty: accepted
    bool no_object;
  };
  const Case cases[] = {
      {{0x90, 0x00}, "", false},
      {{0x6A, 0x84}, "resp_code exception: No space", false},
      {{0x69, 0x82}, "resp_code exception: Auth required", false},
      {{0x6A, 0x80}, "resp_code exception: Wrong syntax", false},
      {{0x65, 0x81}, "resp_code exception: Generic error", false},
      {{0x69, 0x84}, "No such object", true},
      {{0x67, 0x00}, "resp_code exception: Wrong length", false},
      {{0x69, 0x85}, "resp_code exception: Conditions not satisfied", false},
      {{0x6D, 0x00}, "resp_code exception: Ins not supported", false},
      {{0x61, 0x10}, "resp_code exception: More data available", false},
      {{0x6F, 0x00}, "", false},
  };
  for (const Case& c : cases) {
    key.answer({0x01, 0x02}, c.sw);
    ByteBuffer data, resp_code;
    ProtocolBody body;
    if (c.message.empty()) {
      EXPECT_NO_THROW(key.combine_send(body, data, resp_code));
    } else if (c.no_object) {
      EXPECT_EQ(thrown_by<KeyNoObjectException>([&] { key.combine_send(body, data, resp_code); }), c.message);
    } else {
      EXPECT_EQ(thrown_by<KeyException>([&] { key.combine_send(body, data, resp_code); }), c.message);
    }
    EXPECT_EQ(data, (ByteBuffer{0x01, 0x02})) << "data are filled before the status check";
    EXPECT_EQ(resp_code, c.sw);
  }
  ASSERT_EQ(resp_code_table.size(), 10u);
  EXPECT_EQ(resp_code_table[9].message, "Wrong data");
  // 6F 00 is accepted without the success line: one line for the single 90 00 above.
  EXPECT_EQ(occurrences(log.read_log(), "Instruction Succesfully"), 1u);
}

TEST_F(UsbKeyTest, MalformedResponsesAreRefusedAndLeaveTheOutputsAlone) {
  const ByteBuffer responses[] = {{}, {0x00}, {0x00, 0x01, 0x90}, {0x00, 0x00}, {0x00, 0x05, 0x01, 0x90, 0x00}};
  for (const ByteBuffer& r : responses) {
    key.responses.push_back(r);
    ByteBuffer data = {7}, resp_code = {8};
    ProtocolBody body;
    EXPECT_EQ(thrown_by<KeyException>([&] { key.combine_send(body, data, resp_code); }),
              "resp_code exception: Malformed response");
    EXPECT_EQ(data, ByteBuffer{7});
    EXPECT_EQ(resp_code, ByteBuffer{8});
  }
}

TEST_F(UsbKeyTest, BodiesLongerThanOneReportAreRefusedBeforeAnyTraffic) {
  ProtocolBodyOfSetActivate body;
  body.setup(ByteBuffer(51, 's'));  // 5 + 2 + 51 = 58 bytes
  ByteBuffer data, resp_code;
  EXPECT_EQ(thrown_by<KeyException>([&] { key.combine_send(body, data, resp_code); }),
            "Request body of 58 bytes does not fit one report");
  EXPECT_TRUE(key.sent.empty());
  body.setup(ByteBuffer(50, 's'));
  key.answer({});
  EXPECT_NO_THROW(key.combine_send(body, data, resp_code));
}

TEST_F(UsbKeyTest, GetActiveTakesTheSerialOfTheRecord) {
  const std::pair<ByteBuffer, ByteBuffer> cases[] = {
      {{0x52, 0x05, 0x21, 'A', 'B', 'C', 'D'}, {'A', 'B', 'C', 'D'}},
      {{0x52, 0x05}, {}},
      {{'A', 'B', 'C'}, {'A', 'B', 'C'}},
      {{}, {}},
  };
  for (const auto& [answer, serial] : cases) {
    key.answer(answer);
    ByteBuffer got = {0xEE};
    key.op_get_active(got);
    EXPECT_EQ(got, serial);
  }
  const std::string text = log.read_log();
  EXPECT_NE(text.find("INFO [default] [protocol] get active\n"), std::string::npos);
  EXPECT_EQ(occurrences(text, "[Done] get active"), 4u);
}

TEST_F(UsbKeyTest, UserRecordsAreWalkedWithinTheData) {
  std::vector<User> users(1);  // appended to, never cleared
  key.answer({0x52, 0x03, 0x21, '1', '2', 0x52, 0x02, 0x12, '3'});
  key.op_get_user_info(users);
  ASSERT_EQ(users.size(), 3u);
  EXPECT_EQ(users[1].serial_number, (ByteBuffer{'1', '2'}));
  EXPECT_EQ(users[1].algorithm, 2u);
  EXPECT_EQ(users[1].type, 1u);
  EXPECT_EQ(users[2].serial_number, (ByteBuffer{'3'}));
  EXPECT_EQ(users[2].algorithm, 1u);
  EXPECT_EQ(users[2].type, 2u);
  EXPECT_NE(log.read_log().find("INFO [default] serial_number is: 12\n"), std::string::npos);
  EXPECT_NE(log.read_log().find("INFO [default] Algorithm is: 2\n"), std::string::npos);

  users.clear();
  key.answer({0x52, 0x01, 0x21, 0x52, 0x02, 0x12, 'Z'});
  key.op_get_user_info(users);
  ASSERT_EQ(users.size(), 2u);
  EXPECT_TRUE(users[0].serial_number.empty());
  EXPECT_EQ(users[1].serial_number, ByteBuffer{'Z'});

  // Not a record, L = 0, a record running past the end, a header cut short: stop quietly.
  const ByteBuffer bad[] = {{0x41, 0x03, 0x21, 'x', 'y'},
                            {0x52, 0x02, 0x21, 'a', 0x52, 0x00, 0x21},
                            {0x52, 0x02, 0x21, 'a', 0x52, 0x09, 0x21, 'b'},
                            {0x52, 0x02, 0x21, 'a', 0x52, 0x02}};
  const std::size_t kept[] = {0, 1, 1, 1};
  for (std::size_t i = 0; i < 4; ++i) {
    users.clear();
    key.answer(bad[i]);
    EXPECT_NO_THROW(key.op_get_user_info(users));
    EXPECT_EQ(users.size(), kept[i]) << i;
  }
  EXPECT_NE(log.read_log().find("WARNING [default] Malformed credential list at offset 4"), std::string::npos);
}

TEST_F(UsbKeyTest, GetOtpReducesToTheDigitCount) {
  int digits = -1;
  EXPECT_EQ(key.get_otp({0x00, 0x00, 0x06, 0x12, 0x34, 0x56, 0x78}, digits), 419896u);
  EXPECT_EQ(digits, 6);
  EXPECT_EQ(key.get_otp({0x00, 0x00, 0x08, 0x12, 0x34, 0x56, 0x78}, digits), 5419896u);
  EXPECT_EQ(digits, 8);
  EXPECT_EQ(key.get_otp({0x00, 0x00, 0x06, 0x01, 0x12, 0x34, 0x56, 0x78}, digits), 419896u);
  EXPECT_EQ(key.get_otp({0x00, 0x00, 0x06}, digits), 0u);
  EXPECT_EQ(key.get_otp({0x00, 0x00, 0x00, 0xFF, 0xFF}, digits), 0u);
  EXPECT_EQ(digits, 0);
  EXPECT_EQ(key.get_otp({0x00, 0x00, 0x09, 0xFF, 0xFF, 0xFF, 0xFF}, digits), 294967295u);
  EXPECT_EQ(digits, 9);

  digits = 6;
  EXPECT_EQ(thrown_by<KeyException>([&] { key.get_otp({0x00, 0x06}, digits); }), "otp's hcode is wrong");
  EXPECT_EQ(thrown_by<KeyException>([&] { key.get_otp({0x00, 0x00, 0x0A, 0x12}, digits); }), "otp's hcode is wrong");
  EXPECT_EQ(digits, 6);
}

TEST_F(UsbKeyTest, BaseComputeCodeSendsNoCounter) {
  key.answer({0x00, 0x21, 0x06, 0x00, 0x00, 0x00, 0x2A});
  int digits = 0;
  EXPECT_EQ(key.op_get_otp({'S', '1'}, digits), 42u);
  EXPECT_EQ(key.sent.at(0), (ByteBuffer{0x00, 0xA2, 0x01, 0x00, 0x06, 0x54, 0x00, 0x51, 0x02, 'S', '1'}));
}

}  // namespace
