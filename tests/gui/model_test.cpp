// The model and the controller in a real Qt event loop, with real worker threads, on keys of a
// keysim server running on its own thread.
#include "gui/credentials.h"
#include "gui/key_session.h"
#include "gui/main_frame.h"
#include "gui/otp_status.h"
#include "gui/token_info.h"
#include "gui/windows/device_event.h"

#include "tests/support/sim_server.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <optional>
#include <thread>
#include <tuple>

#ifndef _WIN32
#include "gui/linux/hidraw_path.h"

#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

// Runs the event loop until condition holds; false after 20 s.
bool wait_until(const std::function<bool()>& condition) {
  for (int waited = 0; waited < 20000 && !condition(); waited += 20) {
    QCoreApplication::processEvents();
    QThread::msleep(20);
  }
  return condition();
}

// Counts a signal on the GUI thread; emissions from workers arrive through the event loop.
template <class Sender, class Signal>
std::shared_ptr<int> counter(Sender* sender, Signal signal) {
  auto count = std::make_shared<int>(0);
  QObject::connect(sender, signal, sender, [count] { ++*count; });
  return count;
}

// Three credentials: the active SHA-1 TOTP one, a SHA-256 TOTP one of 8 digits, and an HOTP one.
const char* const three_credentials = R"({"keys": [{"id": "key0", "product_id": 2136, "press_mode_supported": true,
  "active": "OT000001", "credentials": [
  {"serial": "OT000001", "algorithm": 2, "hash": 1, "secret": "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"},
  {"serial": "OT000002", "algorithm": 2, "hash": 2, "digits": 8, "secret": "JBSWY3DPEHPK3PXPJBSWY3DPEHPK3PXP"},
  {"serial": "HT000001", "algorithm": 1, "hash": 1, "secret": "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"}]}]})";

// The main page's model and the credential list on a key session.
class Model : public OnSim {
 protected:
  explicit Model(const std::string& config = three_credentials) : OnSim(config) {}

  std::unique_ptr<OtpStatus> make_model(int tick_ms = 0) {
    session = std::make_shared<KeySession>(key = first_key_found());
    return clocked(std::make_unique<OtpStatus>(session, tick_ms));
  }
  // A model or a list on the test's clock.
  template <class T>
  std::unique_ptr<T> clocked(std::unique_ptr<T> made) {
    made->set_clock([this] { return now.load(); });
    return made;
  }
  // Ticks as the model's timer does (faster) until condition holds.
  static bool tick_until(OtpStatus& model, const std::function<bool()>& condition) {
    return wait_until([&] { return model.tick(), condition(); });
  }
  bool code_of_this_step(OtpStatus& model) {
    return tick_until(model, [&] { return model.get_shown_step() == now / 30000; });
  }
  // Turns press mode on or off and waits for the key's answer; true when it took it.
  static bool press_mode(OtpStatus& model, bool on) {
    std::optional<bool> answer;
    QObject context;
    QObject::connect(&model, &OtpStatus::press_mode_set, &context, [&](bool, bool ok) { answer = ok; });
    model.set_press_mode(on);
    return wait_until([&] { return answer.has_value(); }) && *answer;
  }
  std::int64_t step_end() const { return (now / 30000 + 1) * 30000; }
  void next_step(OtpStatus& model) {
    now = step_end();
    model.tick();
  }

  // The credential list, with its codes (of the steps of now) and rows as "serial algorithm hash [active]".
  std::unique_ptr<Credentials> make_list() { return clocked(std::make_unique<Credentials>(session)); }
  static QStringList rows(Credentials& list) {
    QStringList lines;
    for (const QVariant& row : list.get_rows()) {
      const QVariantMap c = row.toMap();
      lines << QStringList{c["serial"].toString(), c["algorithm"].toString(), c["hash"].toString(),
                           c["active"].toBool() ? "active" : ""}.join(" ").trimmed();
    }
    return lines;
  }
  bool has_code(Credentials& list, const QString& serial) {
    return wait_until([&] {
      list.tick();
      const QVariantMap code = list.get_codes().value(serial).toMap();
      return code.contains("otp") && code.value("step").toLongLong() == now / 30000;
    });
  }

  std::shared_ptr<U2FUsbKey> key;
  std::shared_ptr<KeySession> session;
  // Milliseconds, mid-step.
  std::atomic<std::int64_t> now{QDateTime::currentMSecsSinceEpoch() / 30000 * 30000 + 10000};
};

// A job that holds the key for one exchange.
void read_active(UsbKey& key) {
  ByteBuffer serial;
  key.op_get_active(serial);
}

// Closing a session with a job stuck on the key: Controller.TheWindowNeverWaitsOnABusyKeyAndClosesAtOnce.
TEST_F(Model, TheSessionRunsJobsOneAtATimeInOrderAndNeverQueuesATagTwice) {
  KeySession open(first_key_found());
  QObject owner;
  std::vector<int> delivered;
  std::atomic<int> running{0}, most{0};
  arm("latency 50");
  for (int i = 0; i < 3; ++i) {
    // The second is posted while the first holds the key, the third while it waits.
    ASSERT_TRUE(open.post(&owner, [&, i](UsbKey& k) -> std::function<void()> {
      most = std::max(most.load(), ++running);
      read_active(k);
      --running;
      return [&, i] { delivered.push_back(i); };
    }, i == 1 ? "tagged" : ""));
  }
  EXPECT_FALSE(open.post(&owner, [](UsbKey&) { return std::function<void()>(); }, "tagged")) << "never queued twice";
  ASSERT_TRUE(wait_until([&] { return delivered.size() == 3; }));
  EXPECT_EQ(delivered, std::vector<int>({0, 1, 2}));
  EXPECT_EQ(most, 1);

  // A result whose owner went while its job ran (a model taken down by a rescan) is dropped.
  auto gone = std::make_unique<QObject>();
  const std::size_t sent = requests("key0");
  ASSERT_TRUE(open.post(gone.get(), [&](UsbKey& k) -> std::function<void()> { read_active(k); return [&] { delivered.push_back(3); }; }, "gone"));
  ASSERT_TRUE(wait_until([&] { return requests("key0") > sent; }));
  gone.reset();
  ASSERT_TRUE(wait_until([&] { return !open.pending("gone"); }));
  EXPECT_EQ(delivered.size(), 3u);
}

// A rescan or a quit closes the session while the key has left an answer half sent: the close
// stops the exchange at once, however long the key may keep it waiting.
TEST_F(Model, ClosingTheSessionStopsAnExchangeThatTheKeyLeftHalfAnswered) {
  auto half = first_key_found();
  half->set_limits({std::chrono::seconds(600), std::chrono::seconds(600)});
  auto open = std::make_unique<KeySession>(half);
  arm("answer " + std::string(200, 'A'));  // two packets, of which the key sends the first
  arm("truncate");
  QObject owner;
  ASSERT_TRUE(open->post(&owner, [](UsbKey& k) -> std::function<void()> { read_active(k); return {}; }));
  ASSERT_TRUE(wait_until([&] { return requests("key0") >= 3; }));
  std::atomic<bool> closed{false};
  std::thread closing([&] { open.reset(), closed = true; });
  const bool at_once = wait_until([&] { return closed.load(); });
  if (!at_once) ASSERT_EQ(sim.command("UNPLUG key0"), "OK key0 unplugged");  // ends the read, and the test
  closing.join();
  EXPECT_TRUE(at_once);
  EXPECT_NE(log.read_log().find("U2F usb key exchange stopped"), std::string::npos);
}

// The first code of a key that was just opened comes without waiting for the model's timer, in
// one job with its serial number. The key computes the code of the model's step: here one whose
// code is 000000 (oathtool -b --totp --now @1799874990 GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ), a code
// like any other. Then one code a step.
TEST_F(Model, ANewKeysFirstCodeComesAtOnceNotAtTheFirstTick) {
  now = 1799874990LL * 1000 + 10000;
  auto model = make_model(3600 * 1000);
  const auto codes = counter(model.get(), &OtpStatus::otp_changed);
  ASSERT_TRUE(wait_until([&] { return model->get_has_code(); }));
  EXPECT_EQ(std::make_tuple(model->get_serial_num().toStdString(), model->get_shown_step(), model->get_otp(),
                            model->get_digits(), *codes, model->get_remain()),
            std::make_tuple(std::string("OT000001"), now / 30000, 0, 6, 1, 20));
  const std::size_t sent = requests("key0");
  for (int i = 0; i < 20; ++i) model->tick();
  EXPECT_EQ(requests("key0"), sent) << "a shown step asks the key nothing";
  now = step_end();
  ASSERT_TRUE(code_of_this_step(*model));
  EXPECT_EQ(requests("key0"), sent + 3);
  EXPECT_EQ(model->get_otp(), 982430);
}

// After Make active, a code asked for before it, of the credential that was active then, is
// never shown under the new one's serial number: OT000001's codes have 6 digits, OT000002's 8.
TEST_F(Model, AfterMakeActiveTheOldCredentialsCodeIsNeverShown) {
  auto model = make_model();
  auto list = make_list();
  QObject::connect(list.get(), &Credentials::made_active, model.get(), &OtpStatus::use_credential);
  ASSERT_TRUE(code_of_this_step(*model));
  QStringList shown;
  QObject::connect(model.get(), &OtpStatus::otp_changed, model.get(), [&] {
    if (model->get_has_code()) shown << QString("%1 %2").arg(model->get_serial_num()).arg(model->get_digits());
  });
  list->refresh();
  ASSERT_TRUE(wait_until([&] { return list->get_rows().size() == 3; }));
  // Make active goes first, and the next step's code of OT000001 is asked for behind it.
  arm("latency 50");
  list->make_active("OT000002");
  next_step(*model);
  ASSERT_TRUE(wait_until([&] { return model->get_serial_num() == "OT000002" && !session->pending("code"); }));
  ASSERT_TRUE(tick_until(*model, [&] { return model->get_has_code(); }));
  EXPECT_EQ(shown.join(", ").toStdString(), "OT000002 8");
}

TEST_F(Model, ACodeNeverOutlivesItsStep) {
  auto model = make_model();
  ASSERT_TRUE(code_of_this_step(*model));
  // A code that comes after its step ended is not shown.
  const auto changes = counter(model.get(), &OtpStatus::otp_changed);
  now = step_end();
  arm("keepalive 3");
  const std::size_t sent = requests("key0");
  ASSERT_TRUE(tick_until(*model, [&] { return requests("key0") == sent + 3; }));
  now = step_end();
  ASSERT_TRUE(wait_until([&] { return log.read_log().find("came after its step ended; not shown") != std::string::npos; }));
  EXPECT_EQ(*changes, 0);

  // The next step's job is stuck on the key; the old code goes 1.3 s after its step.
  ASSERT_TRUE(code_of_this_step(*model));
  const auto otp = counter(model.get(), &OtpStatus::otp_changed);
  key->set_limits({std::chrono::seconds(600), std::chrono::seconds(600)});
  arm("silent");
  now = step_end() + 1299;
  model->tick();
  EXPECT_TRUE(model->get_has_code());
  now += 1;
  model->tick();
  EXPECT_FALSE(model->get_has_code());
  EXPECT_EQ(*otp, 1);
  ASSERT_EQ(sim.command("UNPLUG key0"), "OK key0 unplugged");  // ends the stuck job
}

// Every HOTP code counts the key up, and a service takes only a few codes ahead of the last it
// saw: the page asks for one only when the user does, and the log keeps none of them.
TEST_F(Model, AnHotpCredentialCountsTheKeyUpOnlyWhenTheUserAsks) {
  auto model = make_model();
  key->set_activate(text("HT000001"));
  ASSERT_TRUE(tick_until(*model, [&] { return model->get_hotp(); }));
  EXPECT_EQ(model->get_serial_num(), "HT000001");
  const std::size_t sent = requests("key0");
  for (int step = 0; step < 3; ++step, QCoreApplication::processEvents()) next_step(*model);
  EXPECT_EQ(requests("key0"), sent) << "three steps with the window open ask the key nothing";
  EXPECT_FALSE(model->get_has_code());

  // RFC 4226's codes of HT000001's secret at counters 0 and 1 (oathtool -b -c N gives the same).
  const int rfc4226[] = {755224, 287082};
  for (int moved = 0; moved < 2; ++moved) {
    const auto codes = counter(model.get(), &OtpStatus::otp_changed);
    model->next_code();
    model->next_code();  // before the code came: still one choice, one code
    ASSERT_TRUE(wait_until([&] { return model->get_has_code(); }));
    EXPECT_EQ(model->get_otp(), rfc4226[moved]) << moved;
    EXPECT_EQ(*codes, 1);
    next_step(*model);
    EXPECT_TRUE(model->get_has_code()) << "an HOTP code has no step to end with";
    model->forget_code();
    EXPECT_FALSE(model->get_has_code());
  }
  EXPECT_EQ(requests("key0"), sent + 6);
  const std::string text = log.read_log();
  for (const int code : rfc4226) EXPECT_EQ(text.find(std::to_string(code)), std::string::npos) << code;
  EXPECT_EQ(text.find(" 00 11 06 "), std::string::npos) << "the answer's data, as hex";
  EXPECT_EQ(occurrences(text, "(an HOTP code's answer of 64 bytes, not logged)"), 2u);
}

// On the main page and in the credential list.
TEST_F(Model, KeyFailuresBecomeTheirTexts) {
  auto model = make_model();
  auto list = make_list();
  // Press mode at the first read of the serial number and of the list; after a touch, both come.
  ASSERT_TRUE(press_mode(*model, true));
  list->refresh();
  ASSERT_TRUE(tick_until(*model, [&] { return model->get_err_msg() == "Press the key to get the OTP!"; }));
  ASSERT_TRUE(wait_until([&] { return list->get_message().value("kind") == "touch"; }));
  EXPECT_TRUE(list->get_touch_needed());
  ASSERT_EQ(sim.command("PRESS key0"), "OK key0 pressed");
  ASSERT_TRUE(code_of_this_step(*model));
  ASSERT_TRUE(wait_until([&] { return list->tick(), list->get_rows().size() == 3; }));
  EXPECT_TRUE(list->get_message().isEmpty());
  EXPECT_FALSE(list->get_touch_needed());
  ASSERT_TRUE(press_mode(*model, false));

  // Any other failure takes the code down and keeps the text; the next tick tries again.
  now = step_end();
  arm("status 6A80");
  ASSERT_TRUE(tick_until(*model, [&] { return log.read_log().find("Update otp runtime error") != std::string::npos; }));
  ASSERT_TRUE(code_of_this_step(*model));
  // A key whose OTP application refuses SELECT is not used: the page says so and asks no more.
  now = step_end();
  arm("select-status 6A82");
  ASSERT_TRUE(tick_until(*model, [&] { return model->get_err_msg() == "This key's OTP application does not answer: the key is not used."; }));
  const std::size_t refused = requests("key0");
  model->tick();
  EXPECT_EQ(requests("key0"), refused);
  model = make_model();
  ASSERT_TRUE(code_of_this_step(*model));
  now = step_end();
  arm("remove");
  ASSERT_TRUE(tick_until(*model, [&] { return model->get_err_msg() == "Failed to access the key.\nRe-plug in the key!"; }));
  EXPECT_FALSE(model->get_has_code());
  list->refresh();
  ASSERT_TRUE(wait_until([&] { return list->get_message().value("kind") == "access"; }));
}

// Windows has no asynchronous signals to interrupt a read.
#ifndef _WIN32
TEST_F(Model, SignalsNeverFailAKeyRead) {
  auto model = make_model();
  std::signal(SIGUSR1, [](int) {});
  arm("latency 300");
  model->tick();
  ASSERT_TRUE(wait_until([&] { return requests("key0") >= 1; }));
  // Every thread of the process, the worker among them, is sent the signal.
  for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot))
    ::syscall(SYS_tgkill, ::getpid(), task.toInt(), SIGUSR1);
  ASSERT_TRUE(wait_until([&] { return model->get_serial_num() == "OT000001"; }));
  EXPECT_EQ(model->get_err_msg(), "");
}
#endif

TEST_F(Model, TheListHasTheCodesOfEveryTotpCredentialAndMakesOneActive) {
  session = std::make_shared<KeySession>(first_key_found());
  auto list = make_list();
  list->refresh();
  ASSERT_TRUE(wait_until([&] { return list->get_rows().size() == 3; }));
  EXPECT_EQ(rows(*list), QStringList({"OT000001 TOTP SHA-1 active", "OT000002 TOTP SHA-256", "HT000001 HOTP SHA-1"}));

  // The dialog's and the tray's codes, one a step each; none for HOTP, as each code would count it up.
  list->watch("dialog", {"OT000002"});
  list->watch("tray", {"OT000001", "OT000002", "HT000001"});
  ASSERT_TRUE(has_code(*list, "OT000002") && has_code(*list, "OT000001"));
  const std::size_t sent = requests("key0");
  for (int i = 0; i < 5; ++i) list->tick();
  now = step_end();
  ASSERT_TRUE(has_code(*list, "OT000001") && has_code(*list, "OT000002")) << "the next step's codes";
  EXPECT_EQ(requests("key0"), sent + 2 * 3) << "one code a step each, none for HT000001";

  // Only a TOTP credential is made active. What the main page shows then: credentials_test.sh.
  list->make_active("HT000001");
  list->make_active("OT000002");
  ASSERT_TRUE(wait_until([&] { return rows(*list).value(1) == "OT000002 TOTP SHA-256 active"; }));
  EXPECT_EQ(occurrences(log.read_log(), "Made active:"), 1u);
}

class Controller : public Model {
 protected:
  Controller() : Model(R"({"keys": [
    {"id": "first", "product_id": 2136, "active": "A1", "credentials": [{"serial": "A1", "algorithm": 2, "hash": 1, "secret": "ME"}]},
    {"id": "second", "product_id": 2136, "press_mode_supported": false, "active": "B1",
     "credentials": [{"serial": "B1", "algorithm": 1, "hash": 2, "secret": "ME"}]},
    {"id": "locked", "product_id": 2136, "openable": false}]})") {}
  template <class T = OtpStatus>
  T* published(const char* name = "otp_status") {
    return qobject_cast<T*>(engine.rootContext()->contextProperty(name).value<QObject*>());
  }
  std::unique_ptr<MainFrame> make_frame() {
    return std::make_unique<MainFrame>(engine.rootContext(), qobject_cast<QGuiApplication*>(QCoreApplication::instance()));
  }
  QQmlEngine engine;
  std::unique_ptr<MainFrame> frame = make_frame();
};

TEST_F(Controller, UsesTheFirstKeyWhileItAnswersAndSaysWhenAKeyMayNotBeOpened) {
  const auto shown = counter(frame.get(), &MainFrame::show_otp_status);
  frame->rescan_key();
  OtpStatus* model = published();
  ASSERT_NE(model, nullptr);
  // The list is read as the key arrives: a tray menu, whichever opens first, holds it.
  ASSERT_TRUE(wait_until([&] { return published<Credentials>("credentials")->get_rows().size() == 1; }));
  EXPECT_NE(sim.command("KEYS").find("second plugged press-mode unsupported handles 0"), std::string::npos);
  frame->rescan_key();
  EXPECT_EQ(published(), model) << "a key that answers is kept";
  EXPECT_EQ(*shown, 1);

  ASSERT_EQ(sim.command("UNPLUG first"), "OK first unplugged");
  frame->rescan_key();
  ASSERT_NE(published(), nullptr);
  EXPECT_FALSE(press_mode(*published(), true));
  published<TokenInfo>("token_info")->refresh();
  const QVariantMap info{{"serial", "B1"}, {"algorithm", "HOTP"}, {"hash", "SHA-256"}};
  ASSERT_TRUE(wait_until([&] { return published<TokenInfo>("token_info")->get_info() == info; }));
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
  ASSERT_TRUE(wait_until([&] { return requests("first") >= 3; }));

  // The GUI thread's longest stall, measured in its own event loop, while ticks come and another
  // key is plugged and pulled: a rescan or a tick that waited on the key would stall it for as long
  // as the worker holds the key.
  QElapsedTimer since_last;
  qint64 longest_stall = 0;
  QTimer heartbeat;
  QObject::connect(&heartbeat, &QTimer::timeout, [&] { longest_stall = std::max(longest_stall, since_last.restart()); });
  heartbeat.start(10);
  since_last.start();
  const auto changes = counter(frame.get(), &MainFrame::hid_change_event);
  for (const char* change : {"UNPLUG locked", "PLUG locked", "UNPLUG locked"}) {
    ASSERT_EQ(sim.command(change).rfind("OK", 0), 0u) << change;
    next_step(*model);
  }
  ASSERT_TRUE(wait_until([&] { return *changes == 3; }));
  EXPECT_LT(longest_stall, 5000) << "the GUI thread waited on the busy key";
  EXPECT_EQ(published(), model);
  EXPECT_EQ(model->get_serial_num(), "") << "the job is still waiting";
  frame.reset();  // closing the window stops the exchange at its next packet
  EXPECT_NE(log.read_log().find("Key Exception (U2F usb key exchange stopped)"), std::string::npos);
}

TEST_F(Controller, RemembersWhetherCopiedCodesAreCleared) {
  const bool before = frame->get_clear_copied_codes();
  frame->set_clear_copied_codes(!before);
  EXPECT_EQ(make_frame()->get_clear_copied_codes(), !before);
  frame->set_clear_copied_codes(before);
}

TEST_F(Controller, TheDeviceWatcherDecidesOnKindAndVendor) {
  DeviceEvent watcher(frame.get());
  const auto changes = counter(frame.get(), &MainFrame::hid_change_event);
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
    const int before = *changes;
    EXPECT_FALSE(watcher.device_changed(kind, path));
    EXPECT_EQ(*changes - before, emitted) << path.toStdString();
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
