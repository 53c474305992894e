#pragma once

#include "key/u2f_usbkey.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

constexpr std::uint16_t orvalin_vendor_id = 0x096E;

// Whether an interface of the key opened.
enum class KeyAccess {
  untried,              // listed only
  opened,
  refused,              // it did not open: usually missing access rights
  administrators_only,  // the system lets only administrators open it (Windows): not tried
};

// One FIDO interface of the vendor that discovery saw.
struct KeyInterface {
  std::string path;
  std::uint16_t product_id = 0;
  std::wstring usb_serial;  // the device's USB serial number string; empty when it has none
  KeyAccess access = KeyAccess::untried;
};

// An interface that discovery saw, and the key on it: null unless it opened.
struct FoundKey {
  KeyInterface found;
  std::shared_ptr<U2FUsbKey> key;
};

// Turns the HID devices attached right now into key objects. Keeps nothing between calls. None
// of its calls throws but for allocation failure, and then it leaks nothing.
class HID {
 public:
  // Logs every HID device, and returns every FIDO interface of vendor_id, in enumeration order,
  // without opening one. An interface that only administrators may open says so in its access;
  // every other one is untried.
  std::vector<KeyInterface> list_interfaces(std::uint16_t vendor_id);
  // Opens the interface at path. Returns its key, the only owner of the handle, or null when it
  // does not open (logged).
  std::shared_ptr<U2FUsbKey> open(const std::string& path);
  // Lists the FIDO interfaces of vendor_id and opens each that the system may let this user open:
  // one entry per interface, in enumeration order, with its key where it opened.
  std::vector<FoundKey> find_device(std::uint16_t vendor_id);
};
