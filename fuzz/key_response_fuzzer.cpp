// Feeds arbitrary key answers to the response path: report reassembly, the command layer's
// split, the status check, the user-record walk and get_otp, through a fake device.
//
// Input: one byte choosing the operation, then reports, each a length byte, a flags byte and
// that many bytes. Length 255: the read fails, as on removal; other lengths, up to 254, are
// returned as they are, longer than a report too. Flag bit 0: the report is put on the request's
// channel and, after an INIT, carries the host's nonce, so that the fuzzer gets past channel
// allocation as easily as a real key does. Flag bit 1: the report was queued before the request,
// for the flush to drain. Keep-alives and error packets of every length come from the bytes.
#include "key/key_exception.h"
#include "key/u2f_usbkey.h"

#include <easylogging++.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

struct hid_device_ {};

namespace {

hid_device_ fake_device;
const std::uint8_t* input = nullptr;
std::size_t input_left = 0;
std::uint8_t last_request[65];

}  // namespace

extern "C" {

int hid_write(hid_device*, const unsigned char* data, size_t length) {
  std::memset(last_request, 0, sizeof last_request);
  std::memcpy(last_request, data, std::min(length, sizeof last_request));
  return static_cast<int>(length);
}

int hid_read_timeout(hid_device*, unsigned char* data, size_t length, int milliseconds) {
  if (input_left < 2) return 0;
  const bool queued = input[1] & 0x02;
  if ((milliseconds == 0) != queued) return 0;  // the flush drains only what was queued before
  const std::size_t size = input[0];
  const bool on_channel = input[1] & 0x01;
  input += 2;
  input_left -= 2;
  if (size == 255) return -1;
  const std::size_t taken = std::min(size, input_left);
  std::uint8_t report[254] = {};
  std::memcpy(report, input, taken);
  input += taken;
  input_left -= taken;
  if (on_channel) {
    std::memcpy(report, last_request + 1, std::min<std::size_t>(4, taken));
    if (last_request[5] == 0x86 && taken >= 15) std::memcpy(report + 7, last_request + 8, 8);
  }
  std::memcpy(data, report, std::min(taken, length));
  return static_cast<int>(std::min(taken, length));
}

void hid_close(hid_device*) {}

hid_device_info* hid_enumerate(unsigned short, unsigned short) { return nullptr; }

void hid_free_enumeration(hid_device_info*) {}

hid_device* hid_open_path(const char*) { return nullptr; }

int LLVMFuzzerInitialize(int*, char***) {
  el::Configurations quiet;
  quiet.setToDefault();
  quiet.setGlobally(el::ConfigurationType::ToStandardOutput, "false");
  quiet.setGlobally(el::ConfigurationType::ToFile, "false");
  el::Loggers::reconfigureAllLoggers(quiet);
  return 0;
}

int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  input = data + 1;
  input_left = size - 1;
  U2FUsbKey key(&fake_device);
  ByteBuffer serial;
  std::vector<User> users;
  int digits = 0;
  std::uint8_t header[8] = {};
  std::uint8_t* pointer = header;
  try {
    switch (data[0] % 5) {
      case 0: key.op_get_active(serial); break;
      case 1: key.op_get_user_info(users); break;
      case 2: key.op_get_otp({'O', 'T', '1'}, digits); break;
      case 3: key.switch_press_mode(data[0] & 0x80); break;
      default: key.setup_header(pointer);
    }
  } catch (const KeyException&) {
  }
  return 0;
}

}  // extern "C"
