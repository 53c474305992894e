#pragma once

#include "key/u2f_usbkey.h"

#include <cstdint>
#include <memory>
#include <vector>

// A second key kind named by discovery; nothing creates one.
class OTPUsbKey {};

constexpr std::uint16_t orvalin_vendor_id = 0x096E;

// Turns the HID devices attached right now into key objects. Keeps nothing between calls.
class HID {
 public:
  // Logs every HID device, and appends a U2FUsbKey to u2f_keys for every FIDO interface of
  // vendor_id that opens, in enumeration order. otp_keys is left as it is. Never throws but
  // for allocation failure; a device that does not open is only logged.
  void find_device(std::uint16_t vendor_id, std::vector<std::shared_ptr<OTPUsbKey>>& otp_keys,
                   std::vector<std::shared_ptr<U2FUsbKey>>& u2f_keys);
};
