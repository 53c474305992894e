#include "gui/linux/hidraw_path.h"
#include "gui/main_frame.h"
#include "gui/windows/device_event.h"

#include "tests/support/temp_log.h"

#include <QGuiApplication>
#include <QQmlEngine>

#include <gtest/gtest.h>

namespace {

TEST(LinuxWatcher, PathTextCarriesTheVendorAsWindowsWritesIt) {
  EXPECT_EQ(hidraw_path_text("hidraw3", "/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/0003:096E:0858.0004/hidraw/hidraw3"),
            "hidraw3 VID_096E&PID_0858");
  EXPECT_EQ(hidraw_path_text("hidraw0", "/devices/virtual/misc/uhid/0003:096e:085a.0001/hidraw/hidraw0"),
            "hidraw0 VID_096E&PID_085A");
  EXPECT_EQ(hidraw_path_text("hidraw1", "/devices/pci0000:00/usb1/1-1/1-1:1.1/0003:046D:C52B.0002/hidraw/hidraw1"),
            "hidraw1 VID_046D&PID_C52B");
  EXPECT_EQ(hidraw_path_text("hidraw9", "/devices/virtual/hidraw9"), "hidraw9");
  EXPECT_EQ(hidraw_path_text("hidraw9", ""), "hidraw9");
}

TEST(LinuxWatcher, RegistersOrSaysWhyNot) {
  TempLog log;
  log.setup_quiet();
  QQmlEngine engine;
  MainFrame frame(engine.rootContext(), qobject_cast<QGuiApplication*>(QCoreApplication::instance()));
  const std::string text = log.read_log();
  // A container may have no udev netlink socket: then the error line, and the program runs on.
  SUCCEED() << (text.find("register device notification error") != std::string::npos ? "no udev here" : "monitoring");
  long result = 0;
  EXPECT_FALSE(DeviceEvent(&frame).nativeEventFilter("xcb_generic_event_t", nullptr, &result));
}

}  // namespace
