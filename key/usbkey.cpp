#include "key/usbkey.h"

#include "key/key_exception.h"
#include "key/u2f_usbkey.h"

#include <easylogging++.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

const std::vector<RespCodeRow> resp_code_table = {
    {StatusWord::success, "Success"},
    {StatusWord::no_space, "No space"},
    {StatusWord::auth_required, "Auth required"},
    {StatusWord::wrong_syntax, "Wrong syntax"},
    {StatusWord::generic_error, "Generic error"},
    {StatusWord::no_such_object, "No such object"},
    {StatusWord::wrong_length, "Wrong length"},
    {StatusWord::conditions_not_satisfied, "Conditions not satisfied"},
    {StatusWord::ins_not_supported, "Ins not supported"},
};

const char* algorithm_name(std::uint32_t algorithm) { return algorithm == hotp_algorithm ? "HOTP" : algorithm == totp_algorithm ? "TOTP" : ""; }

const char* hash_name(std::uint32_t type) { return type == 1 ? "SHA-1" : type == 2 ? "SHA-256" : ""; }

namespace {

constexpr std::uint8_t user_record_tag = 0x52;
constexpr std::size_t user_record_header = 3;  // tag, L, algorithm/type
constexpr int max_digits = 9;                  // 10^10 does not fit the 32-bit code

}  // namespace

UsbKey::UsbKey(hid_device* handle) : handle(handle) {}

UsbKey::~UsbKey() {
  if (handle) hid_close(handle);
}

void UsbKey::close() {
  if (!handle) return;
  hid_close(handle);
  handle = nullptr;
}

void UsbKey::setup_header(std::uint8_t*& header) { header = nullptr; }

void UsbKey::switch_press_mode(bool) {}

void UsbKey::combine_send(ProtocolBody& body, ByteBuffer& data, ByteBuffer& resp_code) {
  ByteBuffer body_bytes;
  body.get_bytes(body_bytes);
  // The package travels in one initialization packet; refuse a longer body before a channel is
  // spent on it.
  if (body_bytes.size() > u2fhid::max_request_body)
    THROW_KEY_EXCEPTION(KeyException("Request body of " + std::to_string(body_bytes.size()) +
                                     " bytes does not fit one report"));

  std::uint8_t header_buffer[8] = {};
  std::uint8_t* header = header_buffer;
  setup_header(header);

  ByteBuffer package;
  if (header) {
    LOG(INFO) << "has header";
    header[7] = static_cast<std::uint8_t>(body_bytes.size());
    package.assign(header, header + sizeof header_buffer);
  }
  package.insert(package.end(), body_bytes.begin(), body_bytes.end());
  LOG(INFO) << "-> Request package hex is ";
  LOG(INFO) << hex_dump(package).str();

  // An HOTP code stays valid until it is used: neither it nor the answer it comes from is logged.
  const bool secret = std::exchange(next_answer_secret, false);
  ByteBuffer response;
  send_command(package.data(), static_cast<std::uint32_t>(package.size()), response);
  LOG(INFO) << "-> Response package hex is ";
  if (secret)
    LOG(INFO) << "(an HOTP code's answer of " << response.size() << " bytes, not logged)";
  else
    LOG(INFO) << hex_dump(response).str();

  // With a U2F header the payload length is BCNTH BCNTL at 5 and 6; without, one byte at 1.
  const std::size_t i = header ? 6 : 1;
  if (response.size() < i + 1) THROW_KEY_EXCEPTION(KeyException("resp_code exception: Malformed response"));
  const std::size_t n = header ? (std::size_t{response[5]} << 8) | response[6] : response[1];
  if (n < 2 || response.size() < i + n + 1)
    THROW_KEY_EXCEPTION(KeyException("resp_code exception: Malformed response"));

  data.assign(response.begin() + static_cast<long>(i + 1), response.begin() + static_cast<long>(i + n - 1));
  LOG(INFO) << "-> Parsed response:";
  if (!secret) LOG(INFO) << hex_dump(data).str();
  resp_code.assign(response.begin() + static_cast<long>(i + n - 1), response.begin() + static_cast<long>(i + n + 1));
  LOG(INFO) << "-> Response code:";
  LOG(INFO) << hex_dump(resp_code).str();

  check_resp_code(resp_code);
}

void UsbKey::check_resp_code(const ByteBuffer& resp_code) {
  for (const RespCodeRow& row : resp_code_table) {
    const auto word = static_cast<std::uint16_t>(row.word);
    if (resp_code.size() != 2 || resp_code[0] != word >> 8 || resp_code[1] != (word & 0xFF)) continue;
    if (row.word == StatusWord::success) {
      LOG(INFO) << "Instruction Succesfully";
      return;
    }
    if (row.word == StatusWord::no_such_object) THROW_KEY_EXCEPTION(KeyNoObjectException(row.message));
    THROW_KEY_EXCEPTION(KeyException("resp_code exception: " + row.message));
  }
  if (resp_code.size() == 2 && resp_code[0] == 0x61)
    THROW_KEY_EXCEPTION(KeyException("resp_code exception: More data available"));
  char word[5] = "";
  if (resp_code.size() == 2) std::snprintf(word, sizeof word, "%02X%02X", resp_code[0], resp_code[1]);
  // ISO 7816-4: 62 xx and 63 xx are warnings, and the command did run. Anything else that is not
  // 90 00 is no success, whatever a garbled or foreign answer holds.
  if (resp_code.size() == 2 && (resp_code[0] == 0x62 || resp_code[0] == 0x63)) {
    LOG(WARNING) << "The key answered with the warning status word " << word;
    return;
  }
  THROW_KEY_EXCEPTION(KeyException(std::string("resp_code exception: Unknown status word ") + word));
}

void UsbKey::op_get_active(ByteBuffer& serial, std::uint32_t* algorithm) {
  LOG(INFO) << "In get active";
  ProtocolBody body;
  body.setup_get_active();
  ByteBuffer data, resp_code;
  combine_send(body, data, resp_code);
  serial.clear();
  if (algorithm) *algorithm = 0;
  if (data.size() >= user_record_header) {
    if (data[0] == user_record_tag) {
      serial.assign(data.begin() + user_record_header, data.end());
      if (algorithm) *algorithm = data[2] >> 4;
    } else {
      serial = data;
    }
  }
  LOG(INFO) << "[Done] get active";
}

void UsbKey::op_get_user_info(std::vector<User>& users) {
  ProtocolBody body;
  body.setup_list_user_info();
  ByteBuffer data, resp_code;
  combine_send(body, data, resp_code);

  std::size_t offset = 0;
  while (offset < data.size()) {
    if (data[offset] != user_record_tag) break;
    // A record is read only when L is at least 1 and its header and serial lie inside the data.
    if (offset + user_record_header > data.size() || data[offset + 1] < 1 ||
        offset + 2 + data[offset + 1] > data.size()) {
      LOG(WARNING) << "Malformed credential list at offset " << offset << ": " << hex_dump(data).str();
      break;
    }
    const std::size_t length = data[offset + 1];
    User user;
    user.algorithm = data[offset + 2] >> 4;
    user.type = data[offset + 2] & 0x0F;
    user.serial_number.assign(data.begin() + static_cast<long>(offset + user_record_header),
                              data.begin() + static_cast<long>(offset + 2 + length));
    LOG(INFO) << "serial_number is: " << std::string(user.serial_number.begin(), user.serial_number.end());
    LOG(INFO) << "Algorithm is: " << user.algorithm;
    LOG(INFO) << "Type is: " << user.type;
    users.push_back(std::move(user));
    offset += length + 2;
  }
}

void UsbKey::set_activate(const ByteBuffer& serial) {
  LOG(INFO) << "set_activate";
  ProtocolBodyOfSetActivate body;
  body.setup(serial);
  ByteBuffer data, resp_code;
  combine_send(body, data, resp_code);
}

void UsbKey::op_personlization(std::uint8_t first, std::uint8_t second, std::uint8_t third, const ByteBuffer& s_value,
                               const ByteBuffer& q_value) {
  ProtocolBodyOfPersonlization body;
  body.setup(first, second, third, s_value, q_value);
  ByteBuffer data, resp_code;
  combine_send(body, data, resp_code);
}

void UsbKey::cal_hcode(const ByteBuffer& serial, ByteBuffer& hcode, std::optional<std::uint64_t>) {
  ProtocolBodyOfCalHcode body;
  body.setup(serial);
  ByteBuffer resp_code;
  combine_send(body, hcode, resp_code);
}

std::uint32_t UsbKey::get_otp(const ByteBuffer& hcode, int& digits) {
  LOG(INFO) << "In get otp";
  if (hcode.size() < 3 || hcode[2] > max_digits) THROW_KEY_EXCEPTION(KeyException("otp's hcode is wrong"));
  digits = hcode[2];
  std::uint32_t modulus = 1;
  for (int d = 0; d < digits; ++d) modulus *= 10;
  std::uint32_t value = 0;
  for (std::size_t k = 3; k < hcode.size(); ++k) value = (value << 8) + hcode[k];
  return value % modulus;
}

std::uint32_t UsbKey::op_get_otp(const ByteBuffer& serial, int& digits, std::optional<std::uint64_t> time) {
  ByteBuffer hcode;
  cal_hcode(serial, hcode, time);
  return get_otp(hcode, digits);
}

namespace {

// Runs exchange; when the key refuses it and does not hold serial, says so in plain words.
template <class Exchange>
auto naming_unknown_serial(UsbKey& key, const ByteBuffer& serial, Exchange exchange) {
  try {
    return exchange();
  } catch (const KeyAccessException&) {
    throw;
  } catch (const KeyNoObjectException&) {
    throw;
  } catch (const KeyException&) {
    std::vector<User> users;
    key.op_get_user_info(users);
    std::string held;
    for (const User& user : users) {
      if (user.serial_number == serial) throw;
      held += (held.empty() ? "" : ", ") + std::string(user.serial_number.begin(), user.serial_number.end());
    }
    const std::string asked(serial.begin(), serial.end());
    THROW_KEY_EXCEPTION(KeyException(KeyFailure::no_credential, {asked, held},
                                     "No credential " + asked + " on the key; it holds " + (held.empty() ? "none" : held)));
  }
}

}  // namespace

std::uint32_t credential_code(UsbKey& key, const ByteBuffer& serial, int& digits, std::optional<std::uint64_t> time) {
  return naming_unknown_serial(key, serial, [&] { return key.op_get_otp(serial, digits, time); });
}

std::uint32_t counter_code(UsbKey& key, const ByteBuffer& serial, int& digits) {
  key.keep_next_answer_out_of_log();
  return credential_code(key, serial, digits);
}

std::uint32_t algorithm_of(UsbKey& key, const ByteBuffer& serial) {
  std::vector<User> users;
  key.op_get_user_info(users);
  for (const User& user : users)
    if (user.serial_number == serial) return user.algorithm;
  return 0;
}

void make_active(UsbKey& key, const ByteBuffer& serial) {
  naming_unknown_serial(key, serial, [&] { key.set_activate(serial); });
}
