#include "key/hid.h"

#include "key/platform.h"

#include <easylogging++.h>

#include <memory>
#include <sstream>

namespace {

// The key's OTP application answers on its FIDO interface only; a keyboard interface beside
// it opens (as root) but never answers U2F HID.
constexpr unsigned short fido_usage_page = 0xF1D0;
constexpr unsigned short fido_usage = 0x01;

}  // namespace

std::vector<KeyInterface> HID::list_interfaces(std::uint16_t vendor_id) {
  std::vector<KeyInterface> interfaces;
  const std::unique_ptr<hid_device_info, void (*)(hid_device_info*)> devices(hid_enumerate(0, 0), hid_free_enumeration);
  for (hid_device_info* d = devices.get(); d; d = d->next) {
    // Formatted apart: hex flags set on the logger's stream would stick to later lines.
    std::ostringstream found;
    found << "Device Found" << "\n"
          << "vendor id: " << std::hex << d->vendor_id << "   product id: " << d->product_id << "\n"
          << "path: " << (d->path ? d->path : "");
    LOG(INFO) << found.str();

    if (d->vendor_id != vendor_id || d->usage_page != fido_usage_page || d->usage != fido_usage || !d->path) continue;
    KeyInterface found_interface{d->path, d->product_id, d->serial_number ? d->serial_number : L"", KeyAccess::untried};
    if (platform::key_interface_needs_administrator(d->path)) found_interface.access = KeyAccess::administrators_only;
    interfaces.push_back(std::move(found_interface));
  }
  return interfaces;
}

std::shared_ptr<U2FUsbKey> HID::open(const std::string& path) {
  std::unique_ptr<hid_device, void (*)(hid_device*)> handle(hid_open_path(path.c_str()), hid_close);
  if (!handle) {
    LOG(INFO) << "Failed to open Orvalin handle";
    return nullptr;
  }
  LOG(INFO) << "Opening Orvalin handle";
  auto key = std::make_shared<U2FUsbKey>(handle.get());
  handle.release();  // the key owns it now
  return key;
}

std::vector<FoundKey> HID::find_device(std::uint16_t vendor_id) {
  std::vector<FoundKey> found;
  for (KeyInterface& key_interface : list_interfaces(vendor_id)) {
    std::shared_ptr<U2FUsbKey> key;
    if (key_interface.access == KeyAccess::administrators_only) {
      LOG(INFO) << "Failed to open Orvalin handle: only administrators may open it";
    } else {
      key = open(key_interface.path);
      key_interface.access = key ? KeyAccess::opened : KeyAccess::refused;
    }
    found.push_back({std::move(key_interface), std::move(key)});
  }
  return found;
}
