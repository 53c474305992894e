#include "gui/main_frame.h"
#include "gui/gui.h"
#include "gui/windows/device_event.h"

#include "tests/gui/model_fixture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMetaMethod>
#include <QQmlContext>
#include <QQmlEngine>

namespace {

const char* const two_keys = R"({"keys": [
  {"id": "first", "product_id": 2136, "active": "A1",
   "credentials": [{"serial": "A1", "algorithm": 2, "hash": 1, "secret": "ME"}]},
  {"id": "second", "product_id": 2136, "active": "B1",
   "credentials": [{"serial": "B1", "algorithm": 2, "hash": 1, "secret": "ME"}]}]})";

class Controller : public ModelOnSim {
 protected:
  explicit Controller(const std::string& config = two_keys) : ModelOnSim(config) {}

  OtpStatus* published() { return qobject_cast<OtpStatus*>(engine.rootContext()->contextProperty("otp_status").value<QObject*>()); }
  bool published_is_null() {
    const QVariant v = engine.rootContext()->contextProperty("otp_status");
    return v.isValid() && v.value<QObject*>() == nullptr;
  }
  std::string keys() { return sim.command("KEYS"); }

  QQmlEngine engine;
  MainFrame frame{engine.rootContext(), qobject_cast<QGuiApplication*>(QCoreApplication::instance())};
};

TEST(ControllerMetaObject, TwoSignalsThenTwoInvokableMethods) {
  const QMetaObject& meta = MainFrame::staticMetaObject;
  QStringList methods;
  for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
    const QMetaMethod m = meta.method(i);
    methods << QString("%1 %2").arg(m.methodType()).arg(QString(m.methodSignature()));
  }
  EXPECT_EQ(methods, (QStringList{"1 show_otp_status()", "1 hid_change_event()", "0 rescan_key()",
                                  "0 copy_to_clipboard(QString)"}));
  EXPECT_EQ(meta.propertyCount() - meta.propertyOffset(), 0);
}

TEST_F(Controller, PublishesNullUntilTheFirstScan) {
  EXPECT_TRUE(published_is_null());
}

TEST_F(Controller, UsesTheFirstKeyAndClosesTheOthers) {
  SignalCounter shown(&frame, &MainFrame::show_otp_status);
  frame.rescan_key();
  EXPECT_EQ(shown.count, 1);
  OtpStatus* model = published();
  ASSERT_NE(model, nullptr);
  EXPECT_NE(keys().find("first plugged press-mode unsupported handles 1"), std::string::npos) << keys();
  EXPECT_NE(keys().find("second plugged press-mode unsupported handles 0"), std::string::npos) << keys();

  // A key that still answers is kept: nothing rebuilt, nothing emitted.
  frame.rescan_key();
  frame.rescan_key();
  EXPECT_EQ(published(), model);
  EXPECT_EQ(shown.count, 1);

  // Unplugged: the model goes and the remaining key is taken.
  ASSERT_EQ(sim.command("UNPLUG first"), "OK first unplugged");
  frame.rescan_key();
  EXPECT_EQ(shown.count, 2);
  ASSERT_NE(published(), nullptr);
  ASSERT_TRUE(published()->query_token_info());
  EXPECT_EQ(published()->get_token_info(), "Serial Number: B1\nAlgorithm: TOTP\nHash: SHA-1\n");

  ASSERT_EQ(sim.command("UNPLUG second"), "OK second unplugged");
  frame.rescan_key();
  EXPECT_TRUE(published_is_null());
  EXPECT_EQ(shown.count, 3);
  frame.rescan_key();
  EXPECT_EQ(shown.count, 4) << "every rescan without a key publishes and announces again";
}

TEST_F(Controller, NotificationsFromTheSimulatedKeyTriggerRescans) {
  // The view connects hid_change_event to rescan_key; so does this test.
  QObject::connect(&frame, &MainFrame::hid_change_event, &frame, &MainFrame::rescan_key);
  SignalCounter changes(&frame, &MainFrame::hid_change_event);
  SignalCounter shown(&frame, &MainFrame::show_otp_status);
  frame.rescan_key();
  ASSERT_NE(published(), nullptr);

  ASSERT_EQ(sim.command("UNPLUG first"), "OK first unplugged");
  ASSERT_TRUE(changes.wait_for(1));
  EXPECT_EQ(shown.count, 2);
  ASSERT_EQ(sim.command("UNPLUG second"), "OK second unplugged");
  ASSERT_TRUE(changes.wait_for(2));
  EXPECT_TRUE(published_is_null());
  ASSERT_EQ(sim.command("PLUG first"), "OK first plugged");
  ASSERT_TRUE(changes.wait_for(3));
  EXPECT_EQ(shown.count, 4);
  OtpStatus* model = published();
  ASSERT_NE(model, nullptr);
  EXPECT_NE(log.read_log().find(" INFO [default] hid arrival detected\n"), std::string::npos);
  EXPECT_NE(log.read_log().find(" INFO [default] hid removal detected\n"), std::string::npos);
}

TEST_F(Controller, CopiesToTheClipboard) {
  frame.copy_to_clipboard("123456");
  EXPECT_EQ(QGuiApplication::clipboard()->text(QClipboard::Clipboard), "123456");
  frame.copy_to_clipboard("");
  EXPECT_EQ(QGuiApplication::clipboard()->text(QClipboard::Clipboard), "");
}

class ControllerWithoutKeys : public Controller {
 protected:
  ControllerWithoutKeys() : Controller(R"({"keys": []})") {}
};

TEST_F(ControllerWithoutKeys, NoKeyPublishesNullAndAnnouncesOnce) {
  SignalCounter shown(&frame, &MainFrame::show_otp_status);
  frame.rescan_key();
  EXPECT_TRUE(published_is_null());
  EXPECT_EQ(shown.count, 1);
}

TEST(Watcher, DecidesOnKindAndVendor) {
  TempLog log;
  log.setup_quiet();
  QQmlEngine engine;
  MainFrame frame(engine.rootContext(), qobject_cast<QGuiApplication*>(QCoreApplication::instance()));
  DeviceEvent watcher(&frame);
  SignalCounter changes(&frame, &MainFrame::hid_change_event);
  const QString key_path = R"(\\?\HID#VID_096E&PID_0858&MI_00#7&1a2b3c&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})";

  EXPECT_FALSE(watcher.device_changed(DeviceChange::arrival, key_path));
  EXPECT_EQ(changes.count, 1);
  EXPECT_FALSE(watcher.device_changed(DeviceChange::removal, key_path));
  EXPECT_EQ(changes.count, 2);
  EXPECT_FALSE(watcher.device_changed(DeviceChange::other, key_path));
  EXPECT_FALSE(watcher.device_changed(DeviceChange::arrival, QString(key_path).replace("VID_096E", "vid_096e")));
  EXPECT_FALSE(watcher.device_changed(DeviceChange::arrival, R"(\\?\HID#VID_046D&PID_C52B#1)"));
  EXPECT_FALSE(watcher.device_changed(DeviceChange::removal, ""));
  EXPECT_EQ(changes.count, 2);
  const std::string text = log.read_log();
  EXPECT_EQ(occurrences(text, " INFO [default] hid arrival detected\n"), 1u);
  EXPECT_EQ(occurrences(text, " INFO [default] hid removal detected\n"), 1u);
  long result = 42;
  EXPECT_FALSE(watcher.nativeEventFilter("xcb_generic_event_t", nullptr, &result));
  EXPECT_EQ(result, 42);
}

// A DEV_BROADCAST_DEVICEINTERFACE_W as Windows lays it out.
std::vector<std::uint8_t> broadcast(std::uint32_t type, const std::u16string& path, std::uint32_t declared = 0) {
  std::vector<std::uint8_t> b(28, 0);
  for (char16_t c : path + u'\0') {
    b.push_back(static_cast<std::uint8_t>(c));
    b.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  const std::uint32_t size = declared ? declared : static_cast<std::uint32_t>(b.size());
  for (int i = 0; i < 4; ++i) {
    b[i] = static_cast<std::uint8_t>(size >> (8 * i));
    b[4 + i] = static_cast<std::uint8_t>(type >> (8 * i));
  }
  return b;
}

TEST(Watcher, ReadsTheInterfacePathOfDeviceInterfaceBroadcastsOnly) {
  QString path = "untouched";
  auto b = broadcast(5, u"\\\\?\\HID#VID_096E&PID_0858");
  ASSERT_TRUE(device_interface_path(b.data(), b.size(), path));
  EXPECT_EQ(path, R"(\\?\HID#VID_096E&PID_0858)");

  path = "untouched";
  auto volume = broadcast(2, u"\\\\?\\HID#VID_096E");
  EXPECT_FALSE(device_interface_path(volume.data(), volume.size(), path));
  EXPECT_FALSE(device_interface_path(b.data(), 27, path));
  EXPECT_FALSE(device_interface_path(nullptr, 0, path));
  auto header_only = broadcast(5, u"VID_096E", 20);
  EXPECT_FALSE(device_interface_path(header_only.data(), header_only.size(), path));
  EXPECT_EQ(path, "untouched");

  // A size field shorter than the path cuts it; no terminator within the size is no overrun.
  auto cut = broadcast(5, u"ABCDVID_096E", 28 + 8);
  ASSERT_TRUE(device_interface_path(cut.data(), cut.size(), path));
  EXPECT_EQ(path, "ABCD");
  auto no_terminator = broadcast(5, u"VID_096E");
  ASSERT_TRUE(device_interface_path(no_terminator.data(), no_terminator.size() - 2, path));
  EXPECT_EQ(path, "VID_096E");
}

}  // namespace
