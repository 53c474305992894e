#include "sim/applet.h"

#include <algorithm>
#include <utility>

namespace keysim {

const Bytes Applet::aid = {0xD1, 0x56, 0x00, 0x01, 0x32, 0x83, 0x26, 0x01, 0x01};

namespace {

Bytes with_status(Bytes data, std::uint16_t status) {
  data.push_back(static_cast<std::uint8_t>(status >> 8));
  data.push_back(static_cast<std::uint8_t>(status));
  return data;
}

Bytes user_record(const Credential& c) {
  Bytes record(3 + c.serial.size());
  record[0] = 0x52;
  record[1] = static_cast<std::uint8_t>(c.serial.size() + 1);
  record[2] = static_cast<std::uint8_t>((c.algorithm << 4) | static_cast<std::uint8_t>(c.hash));
  std::copy(c.serial.begin(), c.serial.end(), record.begin() + 3);
  return record;
}

// Reads the next tag-length-value item; fails when the tag differs or the value runs past the end.
bool take_item(const Bytes& data, std::size_t& offset, std::uint8_t tag, Bytes& value) {
  if (offset + 2 > data.size() || data[offset] != tag) return false;
  const std::size_t length = data[offset + 1];
  if (offset + 2 + length > data.size()) return false;
  value.assign(data.begin() + static_cast<long>(offset) + 2, data.begin() + static_cast<long>(offset + 2 + length));
  offset += 2 + length;
  return true;
}

std::string as_text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace

Bytes status_only(std::uint16_t status) { return with_status({}, status); }

Applet::Applet(AppletState state, Clock clock) : state_(std::move(state)), clock_(std::move(clock)) {}

void Applet::press() { last_press_ = clock_(); }

bool Applet::press_pending() const {
  if (!state_.press_mode) return false;
  return !last_press_ || clock_() - *last_press_ > press_window;
}

Credential* Applet::find(const std::string& serial) {
  auto it = std::find_if(state_.credentials.begin(), state_.credentials.end(),
                         [&](const Credential& c) { return c.serial == serial; });
  return it == state_.credentials.end() ? nullptr : &*it;
}

Bytes Applet::process(const Bytes& apdu, bool& selected) {
  if (apdu.size() < 4) return status_only(sw::wrong_length);
  const std::uint8_t cla = apdu[0], ins = apdu[1], p1 = apdu[2], p2 = apdu[3];
  Bytes data;
  if (apdu.size() > 4) {
    const std::size_t lc = apdu[4];
    // Case 3 (Lc and data) or case 4 (one more byte, Le).
    if (apdu.size() != 5 + lc && apdu.size() != 6 + lc) return status_only(sw::wrong_length);
    data.assign(apdu.begin() + 5, apdu.begin() + 5 + static_cast<long>(lc));
  }

  if (cla == 0x00 && ins == 0xA4) {
    if (p1 != 0x04 || p2 != 0x00) return status_only(sw::wrong_p1p2);
    selected = data == aid;
    return status_only(selected ? sw::success : sw::not_found);
  }
  if (cla != 0x00 && cla != 0x80) return status_only(sw::cla_not_supported);
  if (!selected) return status_only(sw::conditions_not_satisfied);
  if (cla == 0x80) {
    if (ins != 0xE1) return status_only(sw::ins_not_supported);
    return switch_press_mode(p1, p2, data);
  }

  switch (ins) {
    case 0xE6:
      return press_pending() ? status_only(sw::no_such_object) : get_active();
    case 0x17:
      return press_pending() ? status_only(sw::no_such_object) : list_user_info();
    case 0xA2:
      return press_pending() ? status_only(sw::no_such_object) : compute_code(data, p1);
    case 0xE5:
      return set_activate(data);
    case 0x09:
      return personalize(data);
    default:
      return status_only(sw::ins_not_supported);
  }
}

Bytes Applet::get_active() {
  const Credential* active = find(state_.active);
  if (!active) return status_only(sw::not_found);
  return with_status(user_record(*active), sw::success);
}

Bytes Applet::list_user_info() {
  Bytes records;
  for (const Credential& c : state_.credentials) {
    const Bytes record = user_record(c);
    records.insert(records.end(), record.begin(), record.end());
  }
  return with_status(std::move(records), sw::success);
}

Bytes Applet::compute_code(const Bytes& data, std::uint8_t p1) {
  if (p1 != 0x01) return status_only(sw::wrong_p1p2);
  std::size_t offset = 0;
  Bytes counter_bytes, serial;
  if (!take_item(data, offset, 0x54, counter_bytes) || !take_item(data, offset, 0x51, serial) || offset != data.size())
    return status_only(sw::wrong_data);
  Credential* credential = find(as_text(serial));
  if (!credential) return status_only(sw::wrong_data);

  std::uint64_t counter = 0;
  if (credential->algorithm == 1) {
    counter = credential->counter++;
  } else {
    if (counter_bytes.size() != 8) return status_only(sw::wrong_length);
    for (std::uint8_t b : counter_bytes) counter = (counter << 8) | b;
  }
  const std::uint32_t value = truncated_hmac(credential->secret, credential->hash, counter);
  Bytes answer = {0x00, static_cast<std::uint8_t>((credential->algorithm << 4) | static_cast<std::uint8_t>(credential->hash)),
                  credential->digits,
                  static_cast<std::uint8_t>(value >> 24),
                  static_cast<std::uint8_t>(value >> 16),
                  static_cast<std::uint8_t>(value >> 8),
                  static_cast<std::uint8_t>(value)};
  return with_status(std::move(answer), sw::success);
}

Bytes Applet::set_activate(const Bytes& data) {
  std::size_t offset = 0;
  Bytes serial;
  if (!take_item(data, offset, 0x51, serial) || offset != data.size()) return status_only(sw::wrong_data);
  if (!find(as_text(serial))) return status_only(sw::wrong_data);
  state_.active = as_text(serial);
  return status_only(sw::success);
}

// Item 53 holds algorithm, hash and digits, then the secret; its length byte counts the secret
// plus 2. Item 51 holds the serial number. A known serial number is replaced.
Bytes Applet::personalize(const Bytes& data) {
  if (data.size() < 5 || data[0] != 0x53 || data[1] < 2) return status_only(sw::wrong_data);
  const std::size_t secret_length = data[1] - 2u;
  std::size_t offset = 5 + secret_length;
  if (offset > data.size()) return status_only(sw::wrong_data);
  Credential c;
  c.algorithm = data[2];
  c.hash = static_cast<Hash>(data[3]);
  c.digits = data[4];
  c.secret.assign(data.begin() + 5, data.begin() + static_cast<long>(offset));
  Bytes serial;
  if (!take_item(data, offset, 0x51, serial) || offset != data.size() || serial.empty())
    return status_only(sw::wrong_data);
  c.serial = as_text(serial);
  if (c.algorithm < 1 || c.algorithm > 2 || data[3] < 1 || data[3] > 2 || c.digits < 6 || c.digits > 8 ||
      c.secret.empty())
    return status_only(sw::wrong_data);

  if (Credential* existing = find(c.serial)) {
    *existing = std::move(c);
  } else {
    if (state_.credentials.size() >= max_credentials) return status_only(sw::no_space);
    state_.credentials.push_back(std::move(c));
  }
  if (state_.active.empty()) state_.active = state_.credentials.front().serial;
  return status_only(sw::success);
}

Bytes Applet::switch_press_mode(std::uint8_t p1, std::uint8_t p2, const Bytes& data) {
  if (!state_.press_mode_supported) return status_only(sw::ins_not_supported);
  if (p1 != 0x05 || p2 != 0x02) return status_only(sw::wrong_p1p2);
  if (data.size() != 1 || data[0] > 1) return status_only(sw::wrong_data);
  state_.press_mode = data[0] == 1;
  return status_only(sw::success);
}

}  // namespace keysim
