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

void HID::find_device(std::uint16_t vendor_id, std::vector<std::shared_ptr<OTPUsbKey>>&,
                      std::vector<std::shared_ptr<U2FUsbKey>>& u2f_keys, std::vector<KeyInterface>* seen) {
  const std::unique_ptr<hid_device_info, void (*)(hid_device_info*)> devices(hid_enumerate(0, 0), hid_free_enumeration);
  for (hid_device_info* d = devices.get(); d; d = d->next) {
    // Formatted apart: hex flags set on the logger's stream would stick to later lines.
    std::ostringstream found;
    found << "Device Found" << "\n"
          << "vendor id: " << std::hex << d->vendor_id << "   product id: " << d->product_id << "\n"
          << "path: " << (d->path ? d->path : "");
    LOG(INFO) << found.str();

    if (d->vendor_id != vendor_id || d->usage_page != fido_usage_page || d->usage != fido_usage || !d->path) continue;
    if (platform::key_interface_needs_administrator(d->path)) {
      if (seen) seen->push_back({d->path, d->product_id, false, true});
      LOG(INFO) << "Failed to open Orvalin handle: only administrators may open it";
      continue;
    }
    std::unique_ptr<hid_device, void (*)(hid_device*)> handle(hid_open_path(d->path), hid_close);
    if (seen) seen->push_back({d->path, d->product_id, handle != nullptr});
    if (!handle) {
      LOG(INFO) << "Failed to open Orvalin handle";
      continue;
    }
    LOG(INFO) << "Opening Orvalin handle";
    auto key = std::make_shared<U2FUsbKey>(handle.get());
    handle.release();  // the key owns it now
    u2f_keys.push_back(std::move(key));
  }
}
