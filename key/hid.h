#pragma once

#include "key/u2f_usbkey.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A second key kind named by discovery; nothing creates one.
class OTPUsbKey {};

constexpr std::uint16_t orvalin_vendor_id = 0x096E;

// One FIDO interface of the vendor that discovery saw, whether or not it opened.
struct KeyInterface {
  std::string path;
  std::uint16_t product_id = 0;
  bool opened = false;  // false: listed but refused to open (usually missing access rights)
  // Not opened because the system lets only administrators open it (Windows).
  bool needs_administrator = false;
};

// Turns the HID devices attached right now into key objects. Keeps nothing between calls.
class HID {
 public:
  // Logs every HID device, and appends a U2FUsbKey to u2f_keys for every FIDO interface of
  // vendor_id that opens, in enumeration order. otp_keys is left as it is. When seen is given,
  // every FIDO interface of vendor_id is appended to it, opened or not. Never throws but for
  // allocation failure, and then leaks nothing; a device that does not open is only logged.
  void find_device(std::uint16_t vendor_id, std::vector<std::shared_ptr<OTPUsbKey>>& otp_keys,
                   std::vector<std::shared_ptr<U2FUsbKey>>& u2f_keys, std::vector<KeyInterface>* seen = nullptr);
};
