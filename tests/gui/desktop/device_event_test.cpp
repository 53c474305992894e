// The device watcher's decision, and its reading of Windows' broadcasts, on every platform.
#include "gui/desktop/device_event.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#ifndef _WIN32
#include "gui/desktop/linux/hidraw_path.h"
#endif

namespace {

TEST(Watcher, DecidesOnKindAndVendor) {
  DeviceEvent watcher;
  QSignalSpy changes(&watcher, &DeviceEvent::hid_changed);
  const QString key = R"(\\?\HID#VID_096E&PID_0858&MI_00#7&1a2b3c&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})";
  const std::tuple<DeviceChange, QString, int> cases[] = {
      {DeviceChange::arrival, key, 1}, {DeviceChange::removal, key, 1}, {DeviceChange::other, key, 0},
      {DeviceChange::arrival, QString(key).replace("VID_096E", "vid_096e"), 0},
      {DeviceChange::arrival, R"(\\?\HID#VID_046D&PID_C52B#1)", 0}, {DeviceChange::removal, "", 0},
#ifndef _WIN32
      {DeviceChange::arrival, hidraw_path_text("hidraw3", "/devices/usb1/1-2:1.0/0003:096E:0858.0004/hidraw/hidraw3"), 1},
      {DeviceChange::arrival, hidraw_path_text("hidraw0", "/devices/virtual/misc/uhid/0003:096e:085a.0001/hidraw/hidraw0"), 1},
      {DeviceChange::arrival, hidraw_path_text("hidraw1", "/devices/usb1/1-1:1.1/0003:046D:C52B.0002/hidraw/hidraw1"), 0},
      {DeviceChange::arrival, hidraw_path_text("hidraw9", "/devices/virtual/hidraw9"), 0},
#endif
  };
  for (const auto& [kind, path, emitted] : cases) {
    const int before = changes.count();
    EXPECT_FALSE(watcher.device_changed(kind, path));
    EXPECT_EQ(changes.count() - before, emitted) << path.toStdString();
  }
}

// A DEV_BROADCAST_DEVICEINTERFACE_W as Windows lays it out.
std::vector<std::uint8_t> broadcast(std::uint32_t type, const std::u16string& path, std::uint32_t declared = 0) {
  std::vector<std::uint8_t> b(28, 0);
  for (char16_t c : path + u'\0') b.insert(b.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
  const std::uint32_t size_and_type[] = {declared ? declared : static_cast<std::uint32_t>(b.size()), type};
  std::memcpy(b.data(), size_and_type, sizeof size_and_type);  // little-endian, as on Windows
  return b;
}

TEST(Watcher, ReadsTheInterfacePathOfDeviceInterfaceBroadcastsOnly) {
  const auto whole = broadcast(5, u"\\\\?\\HID#VID_096E");
  const auto no_terminator = broadcast(5, u"VID_096E");
  const std::tuple<std::vector<std::uint8_t>, std::size_t, QString> cases[] = {
      {whole, whole.size(), R"(\\?\HID#VID_096E)"},
      {broadcast(2, u"\\\\?\\HID#VID_096E"), 60, "untouched"},  // not a device interface
      {whole, 27, "untouched"},
      {broadcast(5, u"VID_096E", 20), 48, "untouched"},     // the size leaves no room for a path
      {broadcast(5, u"ABCDVID_096E", 28 + 8), 54, "ABCD"},  // the size cuts the path
      {no_terminator, no_terminator.size() - 2, "VID_096E"},
      {{}, 0, "untouched"},
  };
  for (const auto& [bytes, size, expected] : cases) {
    QString path = "untouched";
    EXPECT_EQ(device_interface_path(bytes.empty() ? nullptr : bytes.data(), size, path), expected != "untouched");
    EXPECT_EQ(path, expected);
  }
}

}  // namespace
