// The models in a real Qt event loop, with real worker threads, on keys of a keysim server
// running on its own thread. Linked with Qt Core and Qt Test alone, as the models are.
#include "gui/models/credentials.h"
#include "gui/models/otp_status.h"

#include "tests/support/sim_server.h"

#include <QDateTime>
#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <thread>
#include <tuple>

#ifndef _WIN32
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

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

  std::unique_ptr<OtpStatus> make_model(bool ticking = false) {
    session = std::make_shared<KeySession>(key = first_key_found());
    return clocked(std::make_unique<OtpStatus>(session, ticking));
  }
  // A model or a list on the test's clock.
  template <class T>
  std::unique_ptr<T> clocked(std::unique_ptr<T> made) {
    made->set_clock([this] { return now.load(); });
    return made;
  }
  // Ticks as the model's timer does (faster) until condition holds.
  static bool tick_until(OtpStatus& model, const std::function<bool()>& condition) {
    return QTest::qWaitFor([&] { return model.tick(), condition(); }, patience_ms);
  }
  bool code_of_this_step(OtpStatus& model) {
    return tick_until(model, [&] { return model.get_shown_step() == now / 30000; });
  }
  // Turns press mode on or off and waits for the key's answer; true when it took it.
  static bool press_mode(OtpStatus& model, bool on) {
    QSignalSpy answer(&model, &OtpStatus::press_mode_set);
    model.set_press_mode(on);
    return (!answer.isEmpty() || answer.wait(patience_ms)) && answer.first().at(1).toBool();
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
    return QTest::qWaitFor([&] {
      list.tick();
      const QVariantMap code = list.get_codes().value(serial).toMap();
      return code.contains("otp") && code.value("step").toLongLong() == now / 30000;
    }, patience_ms);
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
  ASSERT_TRUE(QTest::qWaitFor([&] { return delivered.size() == 3; }, patience_ms));
  EXPECT_EQ(delivered, std::vector<int>({0, 1, 2}));
  EXPECT_EQ(most, 1);

  // A result whose owner went while its job ran (a model taken down by a rescan) is dropped.
  auto gone = std::make_unique<QObject>();
  const std::size_t sent = requests("key0");
  ASSERT_TRUE(open.post(gone.get(), [&](UsbKey& k) -> std::function<void()> { read_active(k); return [&] { delivered.push_back(3); }; }, "gone"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return requests("key0") > sent; }, patience_ms));
  gone.reset();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !open.pending("gone"); }, patience_ms));
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
  ASSERT_TRUE(QTest::qWaitFor([&] { return requests("key0") >= 3; }, patience_ms));
  std::atomic<bool> closed{false};
  std::thread closing([&] { open.reset(), closed = true; });
  const bool at_once = QTest::qWaitFor([&] { return closed.load(); }, patience_ms);
  if (!at_once) sim.command("UNPLUG key0");  // ends the read, and the test
  closing.join();
  EXPECT_TRUE(at_once);
}

// The first code of a key that was just opened comes without waiting for the model's timer, in
// one job with its serial number. The key computes the code of the model's step: here one whose
// code is 000000 (oathtool -b --totp --now @1799874990 GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ), a code
// like any other. Then the model's one timer ticks at each whole second of its clock, and the
// first tick of the next step brings its code.
TEST_F(Model, ANewKeysFirstCodeComesAtOnceThenTheTimerTicksOnTheWholeSecond) {
  now = 1799874990LL * 1000 + 10250;
  auto model = make_model(true);
  QSignalSpy codes(model.get(), &OtpStatus::otp_changed);
  ASSERT_TRUE(QTest::qWaitFor([&] { return model->get_has_code(); }, patience_ms));
  EXPECT_EQ(std::make_tuple(model->get_serial_num().toStdString(), model->get_shown_step(), model->get_otp(),
                            model->get_digits(), codes.count(), model->get_remain(), model->get_tick_interval()),
            std::make_tuple(std::string("OT000001"), now / 30000, 0, 6, 1, 19, 750));
  const std::size_t sent = requests("key0");
  for (int i = 0; i < 20; ++i) model->tick();
  EXPECT_EQ(requests("key0"), sent) << "a shown step asks the key nothing";
  now = step_end() + 1;
  ASSERT_TRUE(QTest::qWaitFor([&] { return model->get_shown_step() == now / 30000; }, patience_ms));
  EXPECT_EQ(std::make_tuple(requests("key0"), model->get_otp(), model->get_tick_interval()), std::make_tuple(sent + 3, 982430, 999));
}

// In a step's last 5 s the page has the next step's code too, asked for once; as its step begins
// it is the code, without another exchange. oathtool -b --totp --now @1799874990 and @1799875020
// GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ give 000000 and 982430.
TEST_F(Model, TheNextStepsCodeComesInTheStepsLastSecondsAndThenIsTheCode) {
  now = 1799874990LL * 1000 + 24000;
  auto model = make_model();
  ASSERT_TRUE(code_of_this_step(*model));
  model->tick();
  EXPECT_FALSE(session->pending("next_step_code")) << "6 s left";
  now += 2000;
  ASSERT_TRUE(tick_until(*model, [&] { return model->get_has_next_step_code(); }));
  EXPECT_EQ(std::make_tuple(model->get_otp(), model->get_next_step_otp()), std::make_tuple(0, 982430));
  model->tick();
  EXPECT_FALSE(session->pending("next_step_code")) << "asked once a step";
  now = step_end();
  model->tick();
  EXPECT_EQ(std::make_tuple(model->get_shown_step(), model->get_otp(), model->get_has_next_step_code(), session->pending("code")),
            std::make_tuple(now / 30000, 982430, false, false));
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
  ASSERT_TRUE(QTest::qWaitFor([&] { return list->get_rows().size() == 3; }, patience_ms));
  // Make active goes first, and the next step's code of OT000001 is asked for behind it.
  arm("latency 50");
  list->make_active("OT000002");
  next_step(*model);
  ASSERT_TRUE(QTest::qWaitFor([&] { return model->get_serial_num() == "OT000002" && !session->pending("code"); }, patience_ms));
  ASSERT_TRUE(tick_until(*model, [&] { return model->get_has_code(); }));
  EXPECT_EQ(shown.join(", ").toStdString(), "OT000002 8");
}

TEST_F(Model, ACodeNeverOutlivesItsStep) {
  auto model = make_model();
  ASSERT_TRUE(code_of_this_step(*model));
  // A code that comes after its step ended is not shown.
  QSignalSpy changes(model.get(), &OtpStatus::otp_changed);
  now = step_end();
  arm("keepalive 3");
  const std::size_t sent = requests("key0");
  ASSERT_TRUE(tick_until(*model, [&] { return requests("key0") == sent + 3; }));
  now = step_end();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !session->pending("code"); }, patience_ms));
  EXPECT_EQ(changes.count(), 0);

  // The next step's job is stuck on the key; the old code goes 1.3 s after its step.
  ASSERT_TRUE(code_of_this_step(*model));
  QSignalSpy otp(model.get(), &OtpStatus::otp_changed);
  key->set_limits({std::chrono::seconds(600), std::chrono::seconds(600)});
  arm("silent");
  now = step_end() + 1299;
  model->tick();
  EXPECT_TRUE(model->get_has_code());
  now += 1;
  model->tick();
  EXPECT_FALSE(model->get_has_code());
  EXPECT_EQ(otp.count(), 1);
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
  for (int step = 0; step < 3; ++step, QCoreApplication::processEvents()) {
    now = step_end() - 4000;
    model->tick();
    EXPECT_FALSE(session->pending("next_step_code"));
    next_step(*model);
  }
  EXPECT_EQ(requests("key0"), sent) << "three steps with the window open, to their last seconds, ask the key nothing";
  EXPECT_FALSE(model->get_has_code());

  // RFC 4226's codes of HT000001's secret at counters 0 and 1 (oathtool -b -c N gives the same).
  const int rfc4226[] = {755224, 287082};
  for (int moved = 0; moved < 2; ++moved) {
    QSignalSpy codes(model.get(), &OtpStatus::otp_changed);
    model->next_code();
    model->next_code();  // before the code came: still one choice, one code
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->get_has_code(); }, patience_ms));
    EXPECT_EQ(model->get_otp(), rfc4226[moved]) << moved;
    EXPECT_EQ(codes.count(), 1);
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
  ASSERT_TRUE(QTest::qWaitFor([&] { return list->get_message().value("kind") == "touch"; }, patience_ms));
  EXPECT_TRUE(list->get_touch_needed());
  ASSERT_EQ(sim.command("PRESS key0"), "OK key0 pressed");
  ASSERT_TRUE(code_of_this_step(*model));
  ASSERT_TRUE(QTest::qWaitFor([&] { return list->tick(), list->get_rows().size() == 3; }, patience_ms));
  EXPECT_TRUE(list->get_message().isEmpty());
  EXPECT_FALSE(list->get_touch_needed());
  // The next step's code would wait for another touch: neither the page nor the list asks ahead.
  ASSERT_EQ(sim.command("PRESS key0"), "OK key0 pressed");
  list->watch("dialog", {"OT000001"}, true);
  ASSERT_TRUE(has_code(*list, "OT000001"));
  const std::int64_t mid_step = now;
  now = step_end() - 4000;
  model->tick();
  list->tick();
  EXPECT_FALSE(session->pending("next_step_code") || session->pending("next:OT000001"));
  list->watch("dialog", {});
  now = mid_step;
  ASSERT_TRUE(press_mode(*model, false));

  // Any other failure takes the code down and keeps the text; the next tick tries again.
  now = step_end();
  arm("status 6A80");
  ASSERT_TRUE(tick_until(*model, [&] { return !model->get_has_code(); }));
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
  ASSERT_TRUE(QTest::qWaitFor([&] { return list->get_message().value("kind") == "access"; }, patience_ms));
}

// Windows has no asynchronous signals to interrupt a read.
#ifndef _WIN32
TEST_F(Model, SignalsNeverFailAKeyRead) {
  auto model = make_model();
  std::signal(SIGUSR1, [](int) {});
  arm("latency 300");
  model->tick();
  ASSERT_TRUE(QTest::qWaitFor([&] { return requests("key0") >= 1; }, patience_ms));
  // Every thread of the process, the worker among them, is sent the signal.
  for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot))
    ::syscall(SYS_tgkill, ::getpid(), task.toInt(), SIGUSR1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return model->get_serial_num() == "OT000001"; }, patience_ms));
  EXPECT_EQ(model->get_err_msg(), "");
}
#endif

TEST_F(Model, TheListHasTheCodesOfEveryTotpCredentialAndMakesOneActive) {
  session = std::make_shared<KeySession>(first_key_found());
  auto list = make_list();
  list->refresh();
  ASSERT_TRUE(QTest::qWaitFor([&] { return list->get_rows().size() == 3; }, patience_ms));
  EXPECT_EQ(rows(*list), QStringList({"OT000001 TOTP SHA-1 active", "OT000002 TOTP SHA-256", "HT000001 HOTP SHA-1"}));

  // The dialog's and the tray's codes, one a step each; none for HOTP, as each code would count it up.
  // The dialog wants the next step's code too, in the step's last seconds: it is the code of the
  // next step without another exchange.
  list->watch("dialog", {"OT000002"}, true);
  list->watch("tray", {"OT000001", "OT000002", "HT000001"});
  ASSERT_TRUE(has_code(*list, "OT000002") && has_code(*list, "OT000001"));
  const std::size_t sent = requests("key0");
  for (int i = 0; i < 5; ++i) list->tick();
  now = step_end() - 4000;
  ASSERT_TRUE(QTest::qWaitFor([&] { return list->tick(), list->get_codes()["OT000002"].toMap().contains("next_otp"); }, patience_ms));
  const QVariant next = list->get_codes()["OT000002"].toMap()["next_otp"];
  EXPECT_FALSE(list->get_codes()["OT000001"].toMap().contains("next_otp")) << "the tray wants no next step's code";
  now = step_end();
  list->tick();
  EXPECT_EQ(list->get_codes()["OT000002"].toMap()["otp"], next);
  EXPECT_FALSE(session->pending("code:OT000002")) << "its code came ahead";
  ASSERT_TRUE(has_code(*list, "OT000001") && has_code(*list, "OT000002")) << "the next step's codes";
  EXPECT_EQ(requests("key0"), sent + 2 * 3) << "one code a step each, none for HT000001";

  // Only a TOTP credential is made active. What the main page shows then: credentials_test.sh.
  QSignalSpy made_active(list.get(), &Credentials::made_active);
  list->make_active("HT000001");
  list->make_active("OT000002");
  ASSERT_TRUE(QTest::qWaitFor([&] { return rows(*list).value(1) == "OT000002 TOTP SHA-256 active"; }, patience_ms));
  ASSERT_EQ(made_active.count(), 1);
  EXPECT_EQ(made_active.first().first().toString(), "OT000002");
}

}  // namespace
