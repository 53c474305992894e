#include "key/protocol_body.h"

#include <easylogging++.h>

#include <utility>

namespace {

std::uint8_t length_byte(std::size_t size) { return static_cast<std::uint8_t>(size); }

}  // namespace

void ProtocolBody::get_bytes(ByteBuffer& out) {
  out.clear();
  header.append_to(out);
}

void ProtocolBody::setup_get_active() {
  LOG(INFO) << "[protocol] get active";
  header.ins = 0xE6;
}

void ProtocolBody::setup_list_user_info() {
  LOG(INFO) << "[protocol] list user info";
  header.ins = 0x17;
}

void ProtocolBodyOfCalHcode::setup(ByteBuffer second_value, const std::optional<ByteBuffer>& first_value) {
  header.ins = 0xA2;
  header.p1 = 0x01;
  if (first_value) first = *first_value;
  second = std::move(second_value);
  second_length = length_byte(second.size());
  first_length = length_byte(first.size());
  header.lc = length_byte(first_length + second_length + 4);
}

void ProtocolBodyOfCalHcode::get_bytes(ByteBuffer& out) {
  LOG(INFO) << "[ostrel] here";
  out.clear();
  header.append_to(out);
  out.push_back(first_tag);
  out.push_back(first_length);
  out.insert(out.end(), first.begin(), first.end());
  out.push_back(second_tag);
  out.push_back(second_length);
  out.insert(out.end(), second.begin(), second.end());
  LOG(INFO) << "[ostrel] hex: " << hex_dump(out).str();
}

void ProtocolBodyOfPersonlization::setup(std::uint8_t first, std::uint8_t second, std::uint8_t third,
                                         ByteBuffer s_value, ByteBuffer q_value) {
  LOG(INFO) << "[protocol] personlization";
  own_header.ins = 0x09;
  s_first = first;
  s_second = second;
  s_third = third;
  s = std::move(s_value);
  q = std::move(q_value);
  q_length = length_byte(q.size());
  s_length = length_byte(s.size() + 2);
  own_header.lc = length_byte(q.size() + 7 + s.size());
}

void ProtocolBodyOfPersonlization::get_bytes(ByteBuffer& out) {
  own_header.append_to(out);
  out.insert(out.end(), {s_tag, s_length, s_first, s_second, s_third});
  out.insert(out.end(), s.begin(), s.end());
  out.insert(out.end(), {q_tag, q_length});
  out.insert(out.end(), q.begin(), q.end());
}

void ProtocolBodyOfSetActivate::setup(const ByteBuffer& serial) {
  header.ins = 0xE5;
  value = serial;
}

void ProtocolBodyOfSetActivate::get_bytes(ByteBuffer& out) {
  length = length_byte(value.size());
  header.lc = length_byte(value.size() + 2);
  out.clear();
  header.append_to(out);
  out.push_back(tag);
  out.push_back(length);
  out.insert(out.end(), value.begin(), value.end());
}

void ProtocolBodyOfSwitchPressModeOn::get_bytes(ByteBuffer& out) { out = {0x80, 0xE1, 0x05, 0x02, 0x01, 0x01}; }

void ProtocolBodyOfSwitchPressModeOff::get_bytes(ByteBuffer& out) { out = {0x80, 0xE1, 0x05, 0x02, 0x01, 0x00}; }
