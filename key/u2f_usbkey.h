#pragma once

#include "key/usbkey.h"

#include <cstddef>

// U2F HID framing: 64-byte reports, each written after a report id of 0.
namespace u2fhid {
constexpr std::size_t report_size = 64;
constexpr std::size_t report_id_size = 1;
constexpr std::size_t cid_size = 4;
constexpr std::size_t init_header_size = 7;   // channel id, command, BCNTH, BCNTL
constexpr std::size_t cont_header_size = 5;   // channel id, sequence number
constexpr std::size_t max_request_body = report_size - init_header_size;  // 57
constexpr std::uint8_t cmd_msg = 0x83;
constexpr std::uint8_t cmd_init = 0x86;
constexpr std::uint8_t cmd_error = 0xBF;
constexpr int read_timeout_ms = 2000;
}  // namespace u2fhid

// The key over the FIDO U2F HID transport. Every request runs on a freshly allocated channel:
// INIT on the broadcast channel, SELECT of the key's application, then the request itself.
class U2FUsbKey : public UsbKey {
 public:
  explicit U2FUsbKey(hid_device* handle);
  ~U2FUsbKey() override;

  // Throws KeyAccessException when the key cannot be written or read (or does not answer
  // within 2 s), KeyException when the key sends an error packet or packets out of sequence.
  // A response cut short after its first report is returned as collected.
  void send_command(const std::uint8_t* request, std::uint32_t length, ByteBuffer& response) override;
  // Writes one full all-zero output report; true when the write succeeds. Never throws.
  bool is_alive() override;
  void setup_header(std::uint8_t*& header) override;
  void cal_hcode(const ByteBuffer& serial, ByteBuffer& hcode, std::optional<std::uint64_t> time = std::nullopt) override;
  void switch_press_mode(bool on) override;

  // Runs INIT on the broadcast channel and writes the new channel id to channel[0..3].
  // Throws KeyException "Error in AllocateChannel" when the nonce does not come back.
  void allocate_channel(std::uint8_t* channel);

 private:
  // Appends the 8-byte big-endian counter of the 30-second step of time (now when absent).
  static void gen_totp_data(ByteBuffer& data, std::optional<std::uint64_t> time = std::nullopt);
};
