#pragma once

#include "key/protocol_body.h"
#include "key/toolkit.h"

#include <hidapi.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One credential on the key.
// The key's codes for a credential's algorithm.
constexpr std::uint32_t hotp_algorithm = 1, totp_algorithm = 2;

struct User {
  ByteBuffer serial_number;  // text characters, as the key sends them
  std::uint32_t algorithm = 0;  // hotp_algorithm or totp_algorithm
  std::uint32_t type = 0;       // hash: 1 SHA-1, 2 SHA-256
};

// The names the program shows for a credential's algorithm and hash; empty for unknown codes.
const char* algorithm_name(std::uint32_t algorithm);

// The length of a TOTP code's time step: the key counts steps of it since the epoch.
constexpr int totp_step_seconds = 30;
const char* hash_name(std::uint32_t type);

class UsbKey;

// What the window and umbrata-cli ask of a credential named by its serial number. When the key
// refuses the serial, its list is read, and only then, so a code still costs one exchange; a
// serial that the key does not hold is reported as a KeyException "No credential S on the key;
// it holds A, B". Every other failure passes through as the key layer threw it. The code is the one
// of the 30-second step that holds time (seconds since the epoch; the system clock's when absent).
std::uint32_t credential_code(UsbKey& key, const ByteBuffer& serial, int& digits,
                              std::optional<std::uint64_t> time = std::nullopt);
// The next code of an HOTP credential: the key counts up, and the answer stays out of the log.
std::uint32_t counter_code(UsbKey& key, const ByteBuffer& serial, int& digits);
// The algorithm of credential serial from the key's list (1 HOTP, 2 TOTP), 0 when the key does
// not hold it.
std::uint32_t algorithm_of(UsbKey& key, const ByteBuffer& serial);
void make_active(UsbKey& key, const ByteBuffer& serial);

// The status words the key answers with, SW1 in the high byte and SW2 in the low one.
enum class StatusWord : std::uint16_t {
  success = 0x9000,
  no_space = 0x6A84,
  auth_required = 0x6982,
  wrong_syntax = 0x6A80,
  generic_error = 0x6581,
  no_such_object = 0x6984,
  wrong_length = 0x6700,
  conditions_not_satisfied = 0x6985,
  ins_not_supported = 0x6D00,
};

// A status word and the text that the log and the exceptions give it.
struct RespCodeRow {
  StatusWord word;
  std::string message;
};

// Every status word that the key answers with, each once.
extern const std::vector<RespCodeRow> resp_code_table;

// One attached one-time-password key, reached through one open hidapi handle that it owns.
//
// Not thread-safe: a request is a sequence of writes and reads on one handle, so only one
// thread may use a key at a time, and the caller serialises (the model holds its key_mutex).
// Every failure is thrown as a KeyException, KeyAccessException or KeyNoObjectException.
class UsbKey {
 public:
  // Takes ownership of handle; the destructor or close() releases it.
  explicit UsbKey(hid_device* handle);
  virtual ~UsbKey();
  UsbKey(const UsbKey&) = delete;
  UsbKey& operator=(const UsbKey&) = delete;

  // Sends length request bytes (report id first) and replaces response with the key's answer.
  virtual void send_command(const std::uint8_t* request, std::uint32_t length, ByteBuffer& response) = 0;
  // Replaces serial with the serial number of the active credential, and, when given, algorithm
  // with its algorithm (1 HOTP, 2 TOTP; 0 when the key's answer does not say).
  virtual void op_get_active(ByteBuffer& serial, std::uint32_t* algorithm = nullptr);
  // Appends one User per credential on the key, in the key's order.
  virtual void op_get_user_info(std::vector<User>& users);
  virtual void op_personlization(std::uint8_t first, std::uint8_t second, std::uint8_t third, const ByteBuffer& s_value,
                                 const ByteBuffer& q_value);
  // The code of credential serial for the 30-second step that holds time (now when absent);
  // digits receives its length.
  virtual std::uint32_t op_get_otp(const ByteBuffer& serial, int& digits, std::optional<std::uint64_t> time = std::nullopt);
  // Runs one request: data receives the response data and resp_code the status word. Returns
  // only for 90 00 and the ISO 7816 warnings 62 xx and 63 xx; data and resp_code are replaced,
  // never appended to.
  virtual void combine_send(ProtocolBody& body, ByteBuffer& data, ByteBuffer& resp_code);
  // Points header at a filled 8-byte transport header, or sets it to null for none.
  virtual void setup_header(std::uint8_t*& header);
  virtual void check_resp_code(const ByteBuffer& resp_code);
  // Replaces hcode with the key's answer to compute-code for serial at time (now when absent).
  virtual void cal_hcode(const ByteBuffer& serial, ByteBuffer& hcode, std::optional<std::uint64_t> time = std::nullopt);
  virtual void set_activate(const ByteBuffer& serial);
  // Reduces the key's compute-code answer to the code; digits receives the digit count.
  virtual std::uint32_t get_otp(const ByteBuffer& hcode, int& digits);
  // Closes the handle once; later calls do nothing.
  virtual void close();
  // True when a write to the key succeeds. Never throws.
  virtual bool is_alive() = 0;
  virtual void switch_press_mode(bool on);
  // Makes an exchange in progress on another thread end at its next packet with a
  // KeyAccessException, and every later one at once. The one call that is safe from any thread.
  void request_stop() { stop_requested = true; }
  // The next exchange's answer holds a secret: its length alone is logged.
  void keep_next_answer_out_of_log() { next_answer_secret = true; }

 protected:
  hid_device* handle;
  std::atomic<bool> stop_requested{false};
  bool next_answer_secret = false;
};
