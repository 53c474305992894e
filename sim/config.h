#pragma once

#include "sim/applet.h"

#include <cstdint>
#include <string>
#include <vector>

namespace keysim {

struct KeyConfig {
  std::string id;
  std::uint16_t vendor_id = 0x096E;
  std::uint16_t product_id = 0;
  std::vector<bool> interfaces;  // true: FIDO U2F HID; false: a keyboard that never answers
  bool plugged = true;
  bool openable = true;  // false: listed, but opening fails, as without access rights
  AppletState applet;
};

// Reads the keys of a JSON config. On failure returns false and names the key and the field.
bool load_config(const std::string& path, std::vector<KeyConfig>& keys, std::string& error);
bool parse_config(const std::string& json, std::vector<KeyConfig>& keys, std::string& error);

}  // namespace keysim
