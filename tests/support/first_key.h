#pragma once

#include "key/hid.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// The first key that discovery finds, as the controller takes it; a test failure when none.
inline std::shared_ptr<U2FUsbKey> first_key_found() {
  std::vector<std::shared_ptr<OTPUsbKey>> otp;
  std::vector<std::shared_ptr<U2FUsbKey>> keys;
  HID().find_device(orvalin_vendor_id, otp, keys);
  EXPECT_FALSE(keys.empty()) << "discovery found no key";
  return keys.empty() ? nullptr : keys.front();
}
