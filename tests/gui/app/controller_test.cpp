// The controller in a real Qt event loop, with real worker threads, on keys of a keysim server
// running on its own thread.
#include "gui/app/main_frame.h"
#include "gui/models/credentials.h"
#include "gui/models/otp_status.h"
#include "gui/models/token_info.h"

#include "tests/support/sim_server.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>

namespace {

class Controller : public OnSim {
 protected:
  Controller() : OnSim(R"({"keys": [
    {"id": "first", "product_id": 2136, "active": "A1", "credentials": [{"serial": "A1", "algorithm": 2, "hash": 1, "secret": "ME"}]},
    {"id": "second", "product_id": 2136, "press_mode_supported": false, "active": "B1",
     "credentials": [{"serial": "B1", "algorithm": 1, "hash": 2, "secret": "ME"}]},
    {"id": "locked", "product_id": 2136, "openable": false}]})") {}
  template <class T = OtpStatus>
  T* published(const char* name = "otp_status") {
    return qobject_cast<T*>(engine.rootContext()->contextProperty(name).value<QObject*>());
  }
  QQmlEngine engine;
  std::unique_ptr<MainFrame> frame =
      std::make_unique<MainFrame>(engine.rootContext(), qobject_cast<QGuiApplication*>(QCoreApplication::instance()));
  std::atomic<std::int64_t> now{QDateTime::currentMSecsSinceEpoch()};
};

TEST_F(Controller, UsesTheFirstKeyWhileItAnswersAndSaysWhenAKeyMayNotBeOpened) {
  QSignalSpy shown(frame.get(), &MainFrame::show_otp_status);
  frame->rescan_key();
  OtpStatus* model = published();
  ASSERT_NE(model, nullptr);
  // The list is read as the key arrives: a tray menu, whichever opens first, holds it.
  ASSERT_TRUE(QTest::qWaitFor([&] { return published<Credentials>("credentials")->get_rows().size() == 1; }, patience_ms));
  EXPECT_NE(sim.command("KEYS").find("second plugged press-mode unsupported handles 0"), std::string::npos);
  frame->rescan_key();
  EXPECT_EQ(published(), model) << "a key that answers is kept";
  EXPECT_EQ(shown.count(), 1);

  ASSERT_EQ(sim.command("UNPLUG first"), "OK first unplugged");
  frame->rescan_key();
  ASSERT_NE(published(), nullptr);
  published<TokenInfo>("token_info")->refresh();
  const QVariantMap info{{"serial", "B1"}, {"algorithm", "HOTP"}, {"hash", "SHA-256"}};
  ASSERT_TRUE(QTest::qWaitFor([&] { return published<TokenInfo>("token_info")->get_info() == info; }, patience_ms));
  EXPECT_FALSE(frame->get_key_without_access());
  ASSERT_EQ(sim.command("UNPLUG second"), "OK second unplugged");
  frame->rescan_key();
  EXPECT_EQ(published(), nullptr);
  EXPECT_TRUE(frame->get_key_without_access());
}

TEST_F(Controller, TheWindowNeverWaitsOnABusyKeyAndClosesAtOnce) {
  // As the window does: every device change rescans.
  QObject::connect(frame.get(), &MainFrame::hid_change_event, frame.get(), &MainFrame::rescan_key);
  frame->rescan_key();
  OtpStatus* model = published();
  ASSERT_NE(model, nullptr);
  model->set_clock([this] { return now.load(); });
  arm("keepalive 300", "first");  // thirty seconds of "still working"
  model->tick();
  ASSERT_TRUE(QTest::qWaitFor([&] { return requests("first") >= 3; }, patience_ms));

  // The GUI thread's longest stall, measured in its own event loop, while ticks come and another
  // key is plugged and pulled: a rescan or a tick that waited on the key would stall it for as long
  // as the worker holds the key.
  QElapsedTimer since_last;
  qint64 longest_stall = 0;
  QTimer heartbeat;
  QObject::connect(&heartbeat, &QTimer::timeout, [&] { longest_stall = std::max(longest_stall, since_last.restart()); });
  heartbeat.start(10);
  since_last.start();
  QSignalSpy changes(frame.get(), &MainFrame::hid_change_event);
  for (const char* change : {"UNPLUG locked", "PLUG locked", "UNPLUG locked"}) {
    ASSERT_EQ(sim.command(change).rfind("OK", 0), 0u) << change;
    now += 30000;
    model->tick();
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return changes.count() == 3; }, patience_ms));
  EXPECT_LT(longest_stall, 5000) << "the GUI thread waited on the busy key";
  EXPECT_EQ(published(), model);
  EXPECT_EQ(model->get_serial_num(), "") << "the job is still waiting";
  frame.reset();  // closing the window stops the exchange at its next packet
  EXPECT_NE(log.read_log().find("Key Exception (U2F usb key exchange stopped)"), std::string::npos);
}

}  // namespace
