#include "key/u2f_usbkey.h"

#include "key/hid_flush_queue.h"
#include "key/key_exception.h"

#include <easylogging++.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

using namespace u2fhid;

namespace {

constexpr std::uint8_t application_id[] = {0xD1, 0x56, 0x00, 0x01, 0x32, 0x83, 0x26, 0x01, 0x01};
constexpr std::size_t nonce_size = 8;
constexpr std::size_t init_reply_size = init_header_size + nonce_size + cid_size;  // 19
constexpr std::size_t read_buffer_size = 256;

using Clock = std::chrono::steady_clock;

// An error packet's code is its one payload byte; n is the length that was read.
std::string error_packet_message(const std::uint8_t* report, int n, std::size_t header) {
  if (static_cast<std::size_t>(n) <= header) return "U2F HID error packet without a code";
  const std::uint8_t code = report[header];
  const char* meaning = code == 0x01   ? "invalid command"
                        : code == 0x02 ? "invalid parameter"
                        : code == 0x03 ? "invalid length"
                        : code == 0x04 ? "invalid sequence"
                        : code == 0x05 ? "message timeout"
                        : code == 0x06 ? "channel busy"
                        : code == 0x0A ? "lock required"
                        : code == 0x0B ? "invalid channel"
                                       : "other error";
  char text[64];
  std::snprintf(text, sizeof text, "U2F HID error packet 0x%02x (%s)", code, meaning);
  return text;
}

// A read waits this long at most before it looks whether the exchange must stop: closing a session
// must not wait for a silent key's whole time limit.
constexpr long long stop_poll_ms = 100;

// Reads one report on channel cid, skipping reports on other channels, until deadline or until
// stop is set. Returns the length read, 0 on time-out or stop, -1 on failure.
int read_on_channel(hid_device* handle, const std::uint8_t* cid, std::uint8_t* report, Clock::time_point deadline,
                    const std::atomic<bool>& stop) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const std::chrono::milliseconds wait(std::clamp<long long>(left, 0, stop_poll_ms));
    const auto asked = Clock::now();
    const int n = hid_read_timeout(handle, report, read_buffer_size, static_cast<int>(wait.count()));
    if (n < 0) return n;
    if (static_cast<std::size_t>(n) >= cid_size && std::memcmp(report, cid, cid_size) == 0) return n;
    // hidapi says 0 only once the wait is over: a device that says it sooner has nothing to send.
    if (left <= 0 || stop || (n == 0 && Clock::now() - asked < wait)) return 0;
  }
}

}  // namespace

U2FUsbKey::U2FUsbKey(hid_device* handle) : UsbKey(handle) {}

U2FUsbKey::~U2FUsbKey() = default;

void U2FUsbKey::send_command(const std::uint8_t* request, std::uint32_t length, ByteBuffer& response) {
  if (!handle) THROW_KEY_EXCEPTION(KeyAccessException("U2F usb key is closed"));
  if (length > report_id_size + report_size || length < report_id_size + init_header_size)
    THROW_KEY_EXCEPTION(KeyException("U2F request of " + std::to_string(length) + " bytes is not one report"));
  if (stop_requested) THROW_KEY_EXCEPTION(KeyAccessException("U2F usb key exchange stopped"));

  if (hid_flush_queue(handle) < 0) LOG(WARNING) << "Failed to flush the queue";

  // Always a full output report: hidraw does not pad a short write as Windows does.
  std::uint8_t out[report_id_size + report_size] = {};
  std::memcpy(out, request, length);
  if (hid_write(handle, out, sizeof out) == -1)
    THROW_KEY_EXCEPTION(KeyAccessException("U2F usb key sending command"));

  const auto give_up = Clock::now() + limits.exchange;
  // The next packet on channel: its length, or 0 when the packet limit passed. Throws when the
  // read fails, the whole exchange ran out of time or the exchange must stop.
  std::uint8_t report[read_buffer_size];
  const auto next_packet = [&](const std::uint8_t* channel) {
    const int n = read_on_channel(handle, channel, report, std::min(Clock::now() + limits.packet, give_up), stop_requested);
    if (n < 0) THROW_KEY_EXCEPTION(KeyAccessException("U2F usb key sending command"));
    if (stop_requested) THROW_KEY_EXCEPTION(KeyAccessException("U2F usb key exchange stopped"));
    // Checked after every packet: keep-alives or continuations without end never end a read.
    if (Clock::now() >= give_up)
      THROW_KEY_EXCEPTION(KeyAccessException("U2F usb key kept the exchange waiting too long"));
    return n;
  };

  // Every open handle sees every report of the key: skip other programs' traffic on other
  // channels. INIT is answered on the broadcast channel, which all programs share, so an
  // INIT reply there with another program's nonce still fails the allocation at once.
  const std::uint8_t* channel = request + report_id_size;
  bool touch_logged = false;
  int n = 0;
  for (;;) {
    n = next_packet(channel);
    if (n < static_cast<int>(init_header_size)) THROW_KEY_EXCEPTION(KeyAccessException("U2F usb key sending command"));
    // A key that also speaks FIDO2 says it is still working, or waiting for a touch.
    if (report[cid_size] != cmd_keepalive || channel[cid_size] == cmd_init) break;
    if (!touch_logged && n > static_cast<int>(init_header_size) && report[init_header_size] == keepalive_touch) {
      LOG(INFO) << "The key is waiting for a touch";
      touch_logged = true;
    }
  }
  response.assign(report, report + n);
  if (channel[cid_size] == cmd_init) return;  // one report; allocation judges it
  if (report[cid_size] == cmd_error) THROW_KEY_EXCEPTION(KeyException(error_packet_message(report, n, init_header_size)));

  const std::size_t length_field = (std::size_t{report[5]} << 8) | report[6];
  if (length_field > max_message)
    THROW_KEY_EXCEPTION(KeyException("U2F response of " + std::to_string(length_field) +
                                     " bytes is longer than any U2F HID message"));
  const std::size_t expected = init_header_size + length_field;
  LOG(INFO) << "The whole U2F response package length is: " << expected;

  std::uint8_t cid[cid_size];
  std::memcpy(cid, report, cid_size);
  for (std::size_t sequence = 0; response.size() < expected; ++sequence) {
    n = next_packet(cid);
    if (n == 0) return;  // cut short: the command layer refuses what does not add up
    if (static_cast<std::size_t>(n) <= cont_header_size)
      THROW_KEY_EXCEPTION(KeyException("U2F continuation packet of " + std::to_string(n) + " bytes carries no data"));
    if (report[cid_size] == cmd_error) THROW_KEY_EXCEPTION(KeyException(error_packet_message(report, n, init_header_size)));
    if (sequence > max_sequence)
      THROW_KEY_EXCEPTION(KeyException("U2F response of more than " + std::to_string(max_sequence + 1) +
                                       " continuation packets"));
    if (report[cid_size] != sequence)
      THROW_KEY_EXCEPTION(KeyException("U2F continuation packet out of sequence: expected " + std::to_string(sequence) +
                                       ", got " + std::to_string(report[cid_size])));
    const std::size_t part = std::min(static_cast<std::size_t>(n) - cont_header_size, expected - response.size());
    response.insert(response.end(), report + cont_header_size, report + cont_header_size + part);
  }
}

bool U2FUsbKey::is_alive() {
  if (!handle) return false;
  const std::uint8_t zeros[report_id_size + report_size] = {};
  return hid_write(handle, zeros, sizeof zeros) >= 0;
}

void U2FUsbKey::allocate_channel(std::uint8_t* channel) {
  LOG(INFO) << "Allocate Channel";
  std::fill(channel, channel + cid_size, 0xFF);

  std::mt19937 generator(std::random_device{}());
  std::uniform_int_distribution<int> byte(0, 255);
  std::uint8_t request[16] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, cmd_init, 0x00, nonce_size};
  std::uint8_t* nonce = request + 8;
  for (std::size_t i = 0; i < nonce_size; ++i) nonce[i] = static_cast<std::uint8_t>(byte(generator));

  ByteBuffer response;
  send_command(request, sizeof request, response);
  if (response.size() >= init_reply_size && response[cid_size] == cmd_init &&
      std::equal(nonce, nonce + nonce_size, response.begin() + init_header_size)) {
    std::copy_n(response.begin() + init_header_size + nonce_size, cid_size, channel);
    LOG(INFO) << "Successfully allocate channel";
    return;
  }
  LOG(ERROR) << "[Error detail]: Allocate channel";
  LOG(ERROR) << hex_dump(request, sizeof request).str();
  LOG(ERROR) << hex_dump(response).str();
  THROW_KEY_EXCEPTION(KeyException("Error in AllocateChannel"));
}

void U2FUsbKey::setup_header(std::uint8_t*& header) {
  std::uint8_t channel[cid_size];
  allocate_channel(channel);

  std::uint8_t select[22] = {0x00, channel[0], channel[1], channel[2], channel[3], cmd_msg, 0x00, 0x0E,
                             0x00, 0xA4,       0x04,       0x00,       0x09};
  std::copy(std::begin(application_id), std::end(application_id), select + 13);
  // A key whose OTP application does not take SELECT would take every command after it as
  // another application's: it is not used.
  ByteBuffer reply;
  send_command(select, sizeof select, reply);
  const std::size_t length = reply.size() > 6 ? (std::size_t{reply[5]} << 8) | reply[6] : 0;
  if (length < 2 || reply.size() < init_header_size + length ||
      reply[init_header_size + length - 2] != 0x90 || reply[init_header_size + length - 1] != 0x00) {
    char word[5] = "";
    if (length >= 2 && reply.size() >= init_header_size + length)
      std::snprintf(word, sizeof word, "%02X%02X", reply[init_header_size + length - 2], reply[init_header_size + length - 1]);
    THROW_KEY_EXCEPTION(KeyException(KeyFailure::no_application, {word},
                                     std::string("The key's OTP application did not answer SELECT") +
                                         (*word ? std::string(" (status word ") + word + ")" : std::string())));
  }

  std::copy(channel, channel + cid_size, header + 1);
  header[5] = cmd_msg;
}

void U2FUsbKey::gen_totp_data(ByteBuffer& data, std::optional<std::uint64_t> time) {
  const std::uint64_t seconds =
      time ? *time
           : static_cast<std::uint64_t>(
                 std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
                     .count());
  const std::uint64_t counter = seconds / totp_step_seconds;
  for (int shift = 56; shift >= 0; shift -= 8) data.push_back(static_cast<std::uint8_t>(counter >> shift));
}

void U2FUsbKey::cal_hcode(const ByteBuffer& serial, ByteBuffer& hcode, std::optional<std::uint64_t> time) {
  LOG(INFO) << "cal hcode";
  ProtocolBodyOfCalHcode body;
  LOG(INFO) << "gen_totp_data";
  ByteBuffer counter;
  gen_totp_data(counter, time);
  body.setup(serial, counter);
  ByteBuffer resp_code;
  combine_send(body, hcode, resp_code);
}

void U2FUsbKey::switch_press_mode(bool on) {
  ByteBuffer data, resp_code;
  if (on) {
    ProtocolBodyOfSwitchPressModeOn body;
    combine_send(body, data, resp_code);
  } else {
    ProtocolBodyOfSwitchPressModeOff body;
    combine_send(body, data, resp_code);
  }
}
