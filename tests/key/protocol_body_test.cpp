#include "key/protocol_body.h"

#include <gtest/gtest.h>

namespace {

const ByteBuffer stale = {0xAA, 0xBB, 0xCC};

ByteBuffer serial_abcd() { return {'A', 'B', 'C', 'D'}; }

TEST(ProtocolBody, PlainRequestsAreFiveHeaderBytesAndReplaceTheBuffer) {
  ProtocolBody get_active;
  get_active.setup_get_active();
  ByteBuffer out = stale;
  get_active.get_bytes(out);
  EXPECT_EQ(out, (ByteBuffer{0x00, 0xE6, 0x00, 0x00, 0x00}));

  ProtocolBody list;
  list.setup_list_user_info();
  list.get_bytes(out);
  EXPECT_EQ(out, (ByteBuffer{0x00, 0x17, 0x00, 0x00, 0x00}));

  ProtocolBody fresh;
  fresh.get_bytes(out);
  EXPECT_EQ(out, ByteBuffer(5, 0x00));
}

TEST(ProtocolBody, SetActivateCarriesTheSerialAsItem51) {
  ProtocolBodyOfSetActivate body;
  body.setup(serial_abcd());
  ByteBuffer out = stale;
  body.get_bytes(out);
  EXPECT_EQ(out, (ByteBuffer{0x00, 0xE5, 0x00, 0x00, 0x06, 0x51, 0x04, 'A', 'B', 'C', 'D'}));

  ByteBuffer again;
  body.get_bytes(again);
  EXPECT_EQ(again, out);

  ProtocolBodyOfSetActivate empty;
  empty.setup({});
  empty.get_bytes(out);
  EXPECT_EQ(out, (ByteBuffer{0x00, 0xE5, 0x00, 0x00, 0x02, 0x51, 0x00}));
}

TEST(ProtocolBody, CalHcodeCarriesCounterThenSerial) {
  ProtocolBodyOfCalHcode body;
  const ByteBuffer counter = {0x00, 0x00, 0x00, 0x00, 0x02, 0x35, 0x23, 0xEC};
  body.setup(serial_abcd(), counter);
  ByteBuffer out = stale;
  body.get_bytes(out);
  const ByteBuffer expected = {0x00, 0xA2, 0x01, 0x00, 0x10, 0x54, 0x08, 0x00, 0x00, 0x00, 0x00, 0x02,
                               0x35, 0x23, 0xEC, 0x51, 0x04, 'A',  'B',  'C',  'D'};
  EXPECT_EQ(out, expected);
  EXPECT_EQ(out.size(), 21u);

  // Without a first value the counter item keeps what it held.
  body.setup({'Z'});
  body.get_bytes(out);
  EXPECT_EQ(out[4], 0x0D);
  EXPECT_EQ(ByteBuffer(out.begin() + 5, out.begin() + 15), ByteBuffer(expected.begin() + 5, expected.begin() + 15));
  EXPECT_EQ(ByteBuffer(out.begin() + 15, out.end()), (ByteBuffer{0x51, 0x01, 'Z'}));

  ProtocolBodyOfCalHcode no_counter;
  no_counter.setup(serial_abcd());
  no_counter.get_bytes(out);
  EXPECT_EQ(out, (ByteBuffer{0x00, 0xA2, 0x01, 0x00, 0x08, 0x54, 0x00, 0x51, 0x04, 'A', 'B', 'C', 'D'}));
}

TEST(ProtocolBody, PersonlizationAppendsItsOwnHeaderAndCountsSPlusTwo) {
  ProtocolBodyOfPersonlization empty;
  empty.setup(0x01, 0x02, 0x03, {}, {});
  ByteBuffer out;
  empty.get_bytes(out);
  EXPECT_EQ(out, (ByteBuffer{0x00, 0x09, 0x00, 0x00, 0x07, 0x53, 0x02, 0x01, 0x02, 0x03, 0x51, 0x00}));

  ProtocolBodyOfPersonlization body;
  body.setup(0x11, 0x22, 0x33, {0xA0, 0xA1}, {'Q', 'R', 'S'});
  ByteBuffer appended = stale;
  body.get_bytes(appended);
  const ByteBuffer expected = {0xAA, 0xBB, 0xCC, 0x00, 0x09, 0x00, 0x00, 0x0C, 0x53, 0x04, 0x11,
                               0x22, 0x33, 0xA0, 0xA1, 0x51, 0x03, 'Q',  'R',  'S'};
  EXPECT_EQ(appended, expected);
}

TEST(ProtocolBody, PressModeBodiesAreFixedAndReplaceTheBuffer) {
  ByteBuffer out = stale;
  ProtocolBodyOfSwitchPressModeOn on;
  on.get_bytes(out);
  EXPECT_EQ(out, (ByteBuffer{0x80, 0xE1, 0x05, 0x02, 0x01, 0x01}));
  ProtocolBodyOfSwitchPressModeOff off;
  off.get_bytes(out);
  EXPECT_EQ(out, (ByteBuffer{0x80, 0xE1, 0x05, 0x02, 0x01, 0x00}));
}

TEST(ProtocolBody, LengthBytesWrapModulo256) {
  ProtocolBodyOfSetActivate activate;
  activate.setup(ByteBuffer(300, 'x'));
  ByteBuffer out;
  activate.get_bytes(out);
  ASSERT_EQ(out.size(), 5u + 2u + 300u);
  EXPECT_EQ(out[4], (300 + 2) % 256);
  EXPECT_EQ(out[6], 300 % 256);

  ProtocolBodyOfCalHcode hcode;
  hcode.setup(ByteBuffer(250, 's'), ByteBuffer(8, 0));
  hcode.get_bytes(out);
  EXPECT_EQ(out[4], (8 + 250 + 4) % 256);
  EXPECT_EQ(out[5 + 2 + 8 + 1], 250);

  ProtocolBodyOfPersonlization perso;
  perso.setup(0, 0, 0, ByteBuffer(255, 's'), ByteBuffer(256, 'q'));
  out.clear();
  perso.get_bytes(out);
  ASSERT_EQ(out.size(), 5u + 5u + 255u + 2u + 256u);
  EXPECT_EQ(out[4], (256 + 7 + 255) % 256);
  EXPECT_EQ(out[6], (255 + 2) % 256);
  EXPECT_EQ(out[5 + 5 + 255 + 1], 0);
}

}  // namespace
