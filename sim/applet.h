#pragma once

#include "sim/otp.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace keysim {

namespace sw {
constexpr std::uint16_t success = 0x9000;
constexpr std::uint16_t no_space = 0x6A84;
constexpr std::uint16_t wrong_data = 0x6A80;
constexpr std::uint16_t no_such_object = 0x6984;
constexpr std::uint16_t wrong_length = 0x6700;
constexpr std::uint16_t conditions_not_satisfied = 0x6985;
constexpr std::uint16_t ins_not_supported = 0x6D00;
constexpr std::uint16_t cla_not_supported = 0x6E00;
constexpr std::uint16_t wrong_p1p2 = 0x6A86;
constexpr std::uint16_t not_found = 0x6A82;
}  // namespace sw

struct Credential {
  std::string serial;
  std::uint8_t algorithm = 2;  // 1 HOTP, 2 TOTP
  Hash hash = Hash::sha1;
  std::uint8_t digits = 6;
  Bytes secret;
  std::uint64_t counter = 0;  // HOTP only: the next counter to use
};

struct AppletState {
  std::vector<Credential> credentials;
  std::string active;
  bool press_mode_supported = true;
  bool press_mode = false;
};

// The key's one-time-password application: takes a command APDU, returns data then SW1 SW2.
class Applet {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  static constexpr std::size_t max_credentials = 16;
  static constexpr std::chrono::seconds press_window{10};
  static const Bytes aid;

  explicit Applet(AppletState state, Clock clock = std::chrono::steady_clock::now);

  // selected is the channel's own state: SELECT sets it, and every other command needs it.
  Bytes process(const Bytes& apdu, bool& selected);
  void press();

  const AppletState& state() const { return state_; }

 private:
  Bytes get_active();
  Bytes list_user_info();
  Bytes compute_code(const Bytes& data, std::uint8_t p1);
  Bytes set_activate(const Bytes& data);
  Bytes personalize(const Bytes& data);
  Bytes switch_press_mode(std::uint8_t p1, std::uint8_t p2, const Bytes& data);
  bool press_pending() const;
  Credential* find(const std::string& serial);

  AppletState state_;
  Clock clock_;
  std::optional<std::chrono::steady_clock::time_point> last_press_;
};

Bytes status_only(std::uint16_t status);

}  // namespace keysim
