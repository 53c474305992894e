#pragma once

#include "sim/applet.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace keysim {

namespace u2fhid {
constexpr std::size_t report_size = 64;
constexpr std::size_t init_header = 7;   // channel id, command, BCNTH, BCNTL
constexpr std::size_t cont_header = 5;   // channel id, sequence
constexpr std::size_t init_payload = report_size - init_header;  // 57
constexpr std::size_t cont_payload = report_size - cont_header;  // 59
constexpr std::size_t max_message = init_payload + 128 * cont_payload;  // 7609
constexpr std::uint32_t broadcast = 0xFFFFFFFF;

constexpr std::uint8_t cmd_ping = 0x81;
constexpr std::uint8_t cmd_msg = 0x83;
constexpr std::uint8_t cmd_init = 0x86;
constexpr std::uint8_t cmd_keepalive = 0xBB;
constexpr std::uint8_t cmd_error = 0xBF;

constexpr std::uint8_t err_invalid_cmd = 0x01;
constexpr std::uint8_t err_invalid_len = 0x03;
constexpr std::uint8_t err_invalid_seq = 0x04;
constexpr std::uint8_t err_msg_timeout = 0x05;
constexpr std::uint8_t err_channel_busy = 0x06;
constexpr std::uint8_t err_invalid_cid = 0x0B;

constexpr std::uint8_t protocol_version = 2;
constexpr std::chrono::milliseconds message_timeout{3000};
constexpr std::size_t max_channels = 64;
}  // namespace u2fhid

// Faults armed on a key. All but latency hit the next exchange they apply to, then disarm.
struct Faults {
  bool bad_nonce = false;       // next INIT: the echoed nonce differs
  bool short_init = false;      // next INIT: the reply report is 16 bytes long
  bool truncate = false;        // next response of more than one packet: only its first is sent
  bool silent = false;          // next exchange: no answer at all
  std::optional<std::uint16_t> status;  // next application command but SELECT: this status word alone
  std::optional<std::uint16_t> select_status;  // next SELECT: this status word alone
  std::optional<Bytes> answer;  // next application command but SELECT: these data, then 90 00
  // Next application command but SELECT: BCNTL replaced (0-255), or BCNTH and BCNTL (256-65535).
  std::optional<std::uint16_t> bad_length;
  bool foreign_report = false;  // next exchange: a report on another channel comes first
  bool remove = false;          // next exchange: the key is pulled before it answers
  bool out_of_sequence = false;  // next response of more than one packet: its first continuation says 1
  // Next application command but SELECT: that many keep-alives with this status come first.
  std::size_t keepalives = 0;
  std::uint8_t keepalive_status = 1;
  // Next application command but SELECT: never answered; keep-alives (endless-keepalive), or an
  // announced long answer whose continuation packets carry no data (empty-continuation), come
  // one a millisecond, their sequence numbers counting on past 127, until the next request.
  bool endless_keepalive = false;
  bool empty_continuation = false;
  // Next application command but SELECT (error), or next INIT (init-error): an error packet
  // with this code, cut to error_length bytes.
  std::optional<std::uint8_t> error, init_error;
  std::size_t error_length = 64;
  std::size_t stale = 0;  // armed: that many old INIT answers wait in every open handle's queue
  std::chrono::milliseconds latency{0};  // lasting: added before every input report

  // Arms the fault called name (with its argument, where it takes one). On a bad name or
  // argument returns false and says why in error.
  bool arm(const std::string& name, const std::string& argument, std::string& error);
  static const char* names_help();
};

struct DeviceOutput {
  std::vector<Bytes> reports;  // input reports, in order; normally 64 bytes each
  bool removed = false;        // the key is to be unplugged now
  std::size_t paced = 0;       // the first paced reports are each followed by a pause of pace
  std::chrono::milliseconds pace{0};
};

// One FIDO U2F HID interface of a key: reassembles requests from 64-byte output reports, runs
// INIT, PING and MSG (the key's application), and frames the answers as 64-byte input reports.
class U2fDevice {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  U2fDevice(std::shared_ptr<Applet> applet, std::shared_ptr<Faults> faults,
            Clock clock = std::chrono::steady_clock::now);

  // report is one output report without the report id; shorter reports are zero-padded.
  DeviceOutput handle(const Bytes& report);
  // Ends a request whose continuation packets stopped coming.
  DeviceOutput tick();
  // Sends the next report of an endless stream that is due.
  std::optional<std::chrono::steady_clock::time_point> next_deadline() const;
  // Answers to INITs that other programs sent before: broadcast channel, other nonces.
  std::vector<Bytes> stale_reports(std::size_t count);
  // The key was unplugged: channels and half-received requests are gone.
  void reset();

 private:
  struct Pending {
    std::uint32_t cid;
    std::uint8_t cmd;
    std::size_t total;
    Bytes payload;
    std::uint8_t next_seq;
    std::chrono::steady_clock::time_point deadline;
  };

  // An answer that never comes to an end: one report a millisecond on cid.
  struct Stream {
    std::uint32_t cid;
    bool keepalive;
    std::uint8_t next_seq;
    std::chrono::steady_clock::time_point due;
  };

  DeviceOutput dispatch(std::uint32_t cid, std::uint8_t cmd, const Bytes& payload);
  DeviceOutput init(std::uint32_t cid, const Bytes& nonce);
  DeviceOutput msg(std::uint32_t cid, const Bytes& apdu);
  std::uint32_t allocate();
  bool allocated(std::uint32_t cid) const;
  static std::vector<Bytes> frame(std::uint32_t cid, std::uint8_t cmd, const Bytes& payload);
  static DeviceOutput error(std::uint32_t cid, std::uint8_t code);

  std::shared_ptr<Applet> applet_;
  std::shared_ptr<Faults> faults_;
  Clock clock_;
  std::mt19937 random_;
  std::deque<std::uint32_t> channels_;  // oldest first; the oldest is dropped past max_channels
  std::map<std::uint32_t, bool> selected_;
  std::optional<Pending> pending_;
  std::optional<Stream> stream_;
};

}  // namespace keysim
