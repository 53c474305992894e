#pragma once

#include "key/usbkey.h"

#include <chrono>
#include <cstddef>

// U2F HID framing: 64-byte reports, each written after a report id of 0.
namespace u2fhid {
constexpr std::size_t report_size = 64;
constexpr std::size_t report_id_size = 1;
constexpr std::size_t cid_size = 4;
constexpr std::size_t init_header_size = 7;   // channel id, command, BCNTH, BCNTL
constexpr std::size_t cont_header_size = 5;   // channel id, sequence number
constexpr std::size_t max_request_body = report_size - init_header_size;  // 57
// 57 bytes in the initialization packet, 59 in each of at most 128 continuation packets.
constexpr std::size_t max_sequence = 127;  // continuation packets are numbered 0 to 127
constexpr std::size_t max_message = max_request_body + 128 * (report_size - cont_header_size);  // 7609
constexpr std::uint8_t cmd_msg = 0x83;
constexpr std::uint8_t cmd_init = 0x86;
constexpr std::uint8_t cmd_keepalive = 0xBB;
constexpr std::uint8_t cmd_error = 0xBF;
constexpr std::uint8_t keepalive_touch = 2;
}  // namespace u2fhid

// How long one exchange may wait: for each packet (restarted by every keep-alive), and in all.
struct ExchangeLimits {
  std::chrono::milliseconds packet{2000};
  std::chrono::milliseconds exchange{30000};
};

// The key over the FIDO U2F HID transport. Every request runs on a freshly allocated channel:
// INIT on the broadcast channel, SELECT of the key's application, then the request itself.
class U2FUsbKey : public UsbKey {
 public:
  explicit U2FUsbKey(hid_device* handle);
  ~U2FUsbKey() override;

  // Throws KeyAccessException when the key cannot be written or read, does not answer within
  // the packet limit, keeps the exchange going past its limit or is asked to stop; KeyException
  // when the key sends an error packet, packets out of sequence or without data, more than 128
  // continuation packets, or a length no message has.
  // Keep-alives are skipped. The answer to INIT is its one report, whatever it holds. A response
  // cut short after its first report is returned as collected.
  void send_command(const std::uint8_t* request, std::uint32_t length, ByteBuffer& response) override;
  // Writes one full all-zero output report; true when the write succeeds. Never throws.
  bool is_alive() override;
  // Allocates a channel and selects the OTP application on it. Throws KeyException of kind
  // no_application when SELECT is not answered with 90 00.
  void setup_header(std::uint8_t*& header) override;
  void cal_hcode(const ByteBuffer& serial, ByteBuffer& hcode, std::optional<std::uint64_t> time = std::nullopt) override;
  void switch_press_mode(bool on) override;

  // Runs INIT on the broadcast channel and writes the new channel id to channel[0..3].
  // Throws KeyException "Error in AllocateChannel" when the nonce does not come back.
  void allocate_channel(std::uint8_t* channel);

  void set_limits(ExchangeLimits value) { limits = value; }

 private:
  ExchangeLimits limits;

  // Appends the 8-byte big-endian counter of the 30-second step of time (now when absent).
  static void gen_totp_data(ByteBuffer& data, std::optional<std::uint64_t> time = std::nullopt);
};
