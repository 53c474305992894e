// The command layer over a key class without a transport header, answering canned responses:
// what the simulated key never says.
#include "key/key_exception.h"
#include "key/usbkey.h"

#include "tests/support/sim_server.h"

#include <deque>

namespace {

class CannedKey : public UsbKey {
 public:
  CannedKey() : UsbKey(nullptr) {}

  // Without a header the response is: one transport byte, the length n, data, SW1 SW2.
  void answer(const ByteBuffer& data) {
    ByteBuffer r = {0x00, static_cast<std::uint8_t>(data.size() + 2)};
    r.insert(r.end(), data.begin(), data.end());
    r.insert(r.end(), {0x90, 0x00});
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

class Command : public ::testing::Test {
 protected:
  void SetUp() override { log.setup_quiet(); }
  TempLog log;
  CannedKey key;
};

TEST_F(Command, MalformedResponsesAndLongBodiesAreRefusedAndLeaveTheOutputsAlone) {
  for (const ByteBuffer& r : {ByteBuffer{}, ByteBuffer{0x00}, ByteBuffer{0x00, 0x01, 0x90}, ByteBuffer{0x00, 0x00},
                              ByteBuffer{0x00, 0x05, 0x01, 0x90, 0x00}}) {
    key.responses.push_back(r);
    ByteBuffer data = {7}, resp_code = {8};
    ProtocolBody body;
    EXPECT_EQ(outcome([&] { key.combine_send(body, data, resp_code); }), "KeyException: resp_code exception: Malformed response");
    EXPECT_EQ(std::make_pair(data, resp_code), std::make_pair(ByteBuffer{7}, ByteBuffer{8}));
  }
  key.sent.clear();
  ProtocolBodyOfSetActivate body;
  body.setup(ByteBuffer(51, 's'));  // 5 + 2 + 51 = 58 bytes
  ByteBuffer data, resp_code;
  EXPECT_EQ(outcome([&] { key.combine_send(body, data, resp_code); }),
            "KeyException: Request body of 58 bytes does not fit one report");
  EXPECT_TRUE(key.sent.empty());
}

TEST_F(Command, RecordsAreWalkedWithinTheData) {
  const std::pair<ByteBuffer, ByteBuffer> active[] = {
      {{0x52, 0x05, 0x21, 'A', 'B', 'C', 'D'}, {'A', 'B', 'C', 'D'}}, {{0x52, 0x05}, {}}, {{'A', 'B', 'C'}, {'A', 'B', 'C'}}};
  for (const auto& [answer, serial] : active) {
    key.answer(answer);
    ByteBuffer got = {0xEE};
    key.op_get_active(got);
    EXPECT_EQ(got, serial);
  }
  // Records kept: two good ones; then not a record, L = 0, past the end, a header cut short.
  const std::pair<ByteBuffer, std::size_t> lists[] = {{{0x52, 0x03, 0x21, '1', '2', 0x52, 0x01, 0x12}, 2},
                                                      {{0x41, 0x03, 0x21, 'x', 'y'}, 0},
                                                      {{0x52, 0x02, 0x21, 'a', 0x52, 0x00, 0x21}, 1},
                                                      {{0x52, 0x02, 0x21, 'a', 0x52, 0x09, 0x21, 'b'}, 1},
                                                      {{0x52, 0x02, 0x21, 'a', 0x52, 0x02}, 1}};
  for (const auto& [answer, kept] : lists) {
    std::vector<User> users;
    key.answer(answer);
    EXPECT_NO_THROW(key.op_get_user_info(users));
    ASSERT_EQ(users.size(), kept);
    if (kept) {
      EXPECT_EQ(std::make_tuple(users[0].serial_number.size(), users[0].algorithm, users[0].type),
                std::make_tuple(std::size_t{kept == 2 ? 2u : 1u}, 2u, 1u));
    }
  }
  EXPECT_NE(log.read_log().find("WARNING [default] Malformed credential list at offset 4"), std::string::npos);
}

TEST_F(Command, CodesAreReducedToTheKeysDigitCount) {
  const std::tuple<ByteBuffer, std::uint32_t, int> cases[] = {
      {{0x00, 0x00, 0x06, 0x12, 0x34, 0x56, 0x78}, 419896u, 6},
      {{0x00, 0x00, 0x08, 0x12, 0x34, 0x56, 0x78}, 5419896u, 8},
      {{0x00, 0x00, 0x06, 0x01, 0x12, 0x34, 0x56, 0x78}, 419896u, 6},
      {{0x00, 0x00, 0x06}, 0u, 6},
      {{0x00, 0x00, 0x00, 0xFF, 0xFF}, 0u, 0},
      {{0x00, 0x00, 0x09, 0xFF, 0xFF, 0xFF, 0xFF}, 294967295u, 9},
  };
  for (const auto& [hcode, code, digits] : cases) {
    int got = -1;
    EXPECT_EQ(key.get_otp(hcode, got), code);
    EXPECT_EQ(got, digits);
  }
  int digits = 6;
  for (const ByteBuffer& wrong : {ByteBuffer{0x00, 0x06}, ByteBuffer{0x00, 0x00, 0x0A, 0x12}})
    EXPECT_EQ(outcome([&] { key.get_otp(wrong, digits); }), "KeyException: otp's hcode is wrong");
  EXPECT_EQ(digits, 6);
}

}  // namespace
