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

// The numbers and shown flags of the published keys.
std::vector<std::pair<int, bool>> numbers_shown(const MainFrame& frame) {
  std::vector<std::pair<int, bool>> found;
  for (const QVariant& key : frame.get_keys()) found.emplace_back(key.toMap()["number"].toInt(), key.toMap()["shown"].toBool());
  return found;
}

using Shown = std::vector<std::pair<int, bool>>;

TEST_F(Controller, KeepsEveryKeyShowsOneAndSaysWhenAKeyMayNotBeOpened) {
  QSignalSpy shown(frame.get(), &MainFrame::show_otp_status);
  frame->rescan_key();
  OtpStatus* model = published();
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(numbers_shown(*frame), (Shown{{1, true}, {2, false}}));
  // Each list is read as its key arrives: a tray menu, whichever opens first, holds them.
  ASSERT_TRUE(QTest::qWaitFor([&] { return frame->get_keys().value(1).toMap()["active"] == "B1"; }, patience_ms));
  EXPECT_NE(sim.command("KEYS").find("second plugged press-mode unsupported handles 1"), std::string::npos);
  frame->rescan_key();
  EXPECT_EQ(published(), model) << "a key that answers is kept";
  EXPECT_EQ(shown.count(), 1);

  // The key not shown goes and comes back: the shown one's session and model stay.
  ASSERT_EQ(sim.command("UNPLUG second"), "OK second unplugged");
  frame->rescan_key();
  EXPECT_EQ(numbers_shown(*frame), (Shown{{1, true}}));
  ASSERT_EQ(sim.command("PLUG second"), "OK second plugged");
  frame->rescan_key();
  EXPECT_EQ(published(), model);
  EXPECT_EQ(numbers_shown(*frame), (Shown{{1, true}, {2, false}})) << "the same number as before";
  EXPECT_EQ(shown.count(), 1);

  // The shown key goes: the other is shown, and the window is told which.
  QSignalSpy replaced(frame.get(), &MainFrame::shown_key_replaced);
  ASSERT_EQ(sim.command("UNPLUG first"), "OK first unplugged");
  frame->rescan_key();
  ASSERT_NE(published(), nullptr);
  EXPECT_EQ(replaced.count(), 1);
  EXPECT_EQ(replaced.value(0).value(0).toInt(), 2);
  published<TokenInfo>("token_info")->refresh();
  const QVariantMap info{{"serial", "B1"}, {"algorithm", "HOTP"}, {"hash", "SHA-256"}};
  ASSERT_TRUE(QTest::qWaitFor([&] { return published<TokenInfo>("token_info")->get_info() == info; }, patience_ms));
  EXPECT_FALSE(frame->get_key_without_access());
  ASSERT_EQ(sim.command("UNPLUG second"), "OK second unplugged");
  frame->rescan_key();
  EXPECT_EQ(published(), nullptr);
  EXPECT_TRUE(frame->get_key_without_access());
}

TEST_F(Controller, TheChosenKeyIsShownAgainWhenItComesBack) {
  frame->rescan_key();
  QSignalSpy chosen(frame.get(), &MainFrame::chosen_key_changed);
  frame->choose_key(2);
  EXPECT_EQ(numbers_shown(*frame), (Shown{{1, false}, {2, true}}));
  EXPECT_EQ(frame->get_chosen_key(), "second") << "remembered by its USB serial number";
  EXPECT_EQ(chosen.count(), 1);
  ASSERT_EQ(sim.command("UNPLUG second"), "OK second unplugged");
  frame->rescan_key();
  EXPECT_EQ(numbers_shown(*frame), (Shown{{1, true}}));
  ASSERT_EQ(sim.command("PLUG second"), "OK second plugged");
  frame->rescan_key();
  EXPECT_EQ(numbers_shown(*frame), (Shown{{1, false}, {2, true}}));
  EXPECT_NE(log.read_log().find("Lost key 2 (second)"), std::string::npos);
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
