#include "tests/gui/model_fixture.h"

#include <QMetaMethod>
#include <QMetaObject>
#include <QMetaProperty>

#include <cstdio>
#include <memory>

namespace {

std::string oathtool_code(std::int64_t time) {
  const std::string command = "oathtool --totp -b -d 6 --now @" + std::to_string(time) +
                              " GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  char line[32] = {};
  if (!pipe || !std::fgets(line, sizeof line, pipe.get())) return "";
  std::string code = line;
  while (!code.empty() && code.back() == '\n') code.pop_back();
  return code;
}

std::string six_digits(int code) {
  char text[16];
  std::snprintf(text, sizeof text, "%06d", code);
  return text;
}

class Model : public ModelOnSim {};

TEST(ModelMetaObject, SignalsMethodsAndPropertiesInOrder) {
  const QMetaObject& meta = OtpStatus::staticMetaObject;
  QStringList methods;
  for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) methods << meta.method(i).methodSignature();
  EXPECT_EQ(methods, (QStringList{"token_info_changed()", "serial_num_changed()", "otp_changed()", "err_msg_changed()",
                                  "digits_changed()", "response_time_changed()", "set_press_mode(bool)",
                                  "query_token_info()", "async_query_token_info()"}));
  QStringList properties;
  for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
    const QMetaProperty p = meta.property(i);
    properties << QString("%1 %2 %3 %4").arg(p.name(), p.typeName()).arg(p.isWritable()).arg(p.hasNotifySignal());
  }
  EXPECT_EQ(properties, (QStringList{"serial_num QString 1 1", "otp int 1 1", "step int 0 0", "err_msg QString 0 1",
                                     "digits int 1 1", "token_info QString 1 1"}));
}

TEST_F(Model, FirstTickReadsTheSerialNumberAndTheNextComputesTheCode) {
  auto model = make_model();
  EXPECT_EQ(model->get_step(), 30);
  EXPECT_EQ(model->get_otp(), 0);
  EXPECT_EQ(model->get_serial_num(), "");
  SignalCounter otp(model.get(), &OtpStatus::otp_changed);
  read_serial(*model);
  EXPECT_EQ(model->get_serial_num(), "OT000001");
  EXPECT_EQ(otp.count, 0);

  const std::int64_t before = calendar_now();
  EXPECT_EQ(model->response_time_changed(), static_cast<int>(now - now % 30));
  ASSERT_TRUE(tick_until(*model, otp, 1));
  const std::int64_t after = calendar_now();
  EXPECT_EQ(model->get_digits(), 6);
  EXPECT_EQ(model->get_last_counter(), now / 30);
  EXPECT_EQ(model->get_err_msg(), "");
  const std::string expected_before = oathtool_code(before), expected_after = oathtool_code(after);
  if (expected_before.empty()) GTEST_SKIP() << "oathtool is not installed (scripts/install-deps installs it)";
  const std::string shown = six_digits(model->get_otp());
  EXPECT_TRUE(shown == expected_before || shown == expected_after) << shown << " " << expected_before;
  EXPECT_NE(log.read_log().find(" INFO [default] get serial num=4f 54 30 30 30 30 30 31 \n"), std::string::npos);
  EXPECT_NE(log.read_log().find(" INFO [default] value is " + std::to_string(model->get_otp()) + "\n"),
            std::string::npos);
}

TEST_F(Model, TicksWithinAShownStepStartNothing) {
  auto model = make_model();
  read_serial(*model);
  SignalCounter otp(model.get(), &OtpStatus::otp_changed);
  ASSERT_TRUE(tick_until(*model, otp, 1));
  for (int i = 0; i < 20; ++i) model->response_time_changed();
  // The next step starts one more attempt.
  now += 30;
  ASSERT_TRUE(tick_until(*model, otp, 2));
  EXPECT_EQ(model->get_last_counter(), now / 30);
  model.reset();  // joins the worker: every line it would write is written
  EXPECT_EQ(occurrences(log.read_log(), "INFO [default] update otp\n"), 2u);
  EXPECT_EQ(occurrences(log.read_log(), "INFO [default] update serial num\n"), 1u);
}

TEST_F(Model, ATickWhileAWorkerIsBusyStartsNothingAndReturnsAtOnce) {
  auto model = make_model();
  arm("latency 150");  // each of the four reports of a serial read: most of a second in the key
  SignalCounter serial(model.get(), &OtpStatus::serial_num_changed);
  model->response_time_changed();  // a new model's first tick always starts a worker
  for (int i = 0; i < 5; ++i) {
    now += 30;  // a new step each time, so only a busy key can stop the tick
    model->response_time_changed();
    EXPECT_EQ(serial.count, 0) << "the tick returned before the worker finished";
  }
  ASSERT_TRUE(serial.wait_for(1, 10000));
  arm("latency 0");
  model.reset();
  EXPECT_EQ(occurrences(log.read_log(), "INFO [default] update serial num\n"), 1u);
  EXPECT_EQ(occurrences(log.read_log(), "INFO [default] update otp\n"), 0u);
}

TEST_F(Model, PressModeAsksForAPress) {
  auto model = make_model();
  ASSERT_TRUE(model->set_press_mode(true));
  SignalCounter otp(model.get(), &OtpStatus::otp_changed);
  ASSERT_TRUE(tick_until(*model, otp, 1));
  EXPECT_EQ(model->get_err_msg(), "Press the key to get the OTP!");
  EXPECT_EQ(model->get_otp(), 0);
  EXPECT_EQ(model->get_serial_num(), "");

  ASSERT_EQ(sim.command("PRESS key0"), "OK key0 pressed");
  read_serial(*model);
  ASSERT_TRUE(tick_until(*model, otp, 2));
  EXPECT_NE(model->get_otp(), 0);
  EXPECT_EQ(model->get_last_counter(), now / 30);
  ASSERT_TRUE(model->set_press_mode(false));
}

TEST_F(Model, UnpluggedKeyShowsTheAccessError) {
  auto model = make_model();
  ASSERT_EQ(sim.command("UNPLUG key0"), "OK key0 unplugged");
  SignalCounter otp(model.get(), &OtpStatus::otp_changed);
  ASSERT_TRUE(tick_until(*model, otp, 1));
  EXPECT_EQ(model->get_err_msg(), "Failed to access the key.\nRe-plug in the key!");
  EXPECT_NE(log.read_log().find(" ERROR [default] Get serial number error\n"), std::string::npos);
  EXPECT_FALSE(model->is_key_alive());
}

TEST_F(Model, KeyLostBetweenCodesAsksForARescan) {
  auto model = make_model();
  read_serial(*model);
  SignalCounter otp(model.get(), &OtpStatus::otp_changed);
  arm("remove");
  ASSERT_TRUE(tick_until(*model, otp, 1));
  EXPECT_EQ(model->get_err_msg(), "Failed to access the key.\nRe-plug in the key and\nclick the Rescan button!");
  EXPECT_EQ(model->get_otp(), 0);
  EXPECT_NE(log.read_log().find(" ERROR [default] Update otp key access error\n"), std::string::npos);
}

TEST_F(Model, OtherKeyFailuresClearTheExpiredCodeAndRetry) {
  auto model = make_model();
  read_serial(*model);
  SignalCounter otp(model.get(), &OtpStatus::otp_changed);
  ASSERT_TRUE(tick_until(*model, otp, 1));
  const int shown_step = model->get_last_counter();
  ASSERT_NE(model->get_otp(), 0);

  now += 30;
  arm("status 6A80");
  ASSERT_TRUE(tick_until(*model, otp, 2));
  EXPECT_EQ(model->get_otp(), 0) << "the old step's code is gone";
  EXPECT_EQ(model->get_err_msg(), "");
  EXPECT_EQ(model->get_last_counter(), shown_step);
  EXPECT_NE(log.read_log().find(" ERROR [default] Update otp runtime error\n"), std::string::npos);

  ASSERT_TRUE(tick_until(*model, otp, 3));
  EXPECT_EQ(model->get_last_counter(), now / 30);
}

TEST_F(Model, TokenInformationOfTheActiveCredential) {
  auto model = make_model();
  SignalCounter info(model.get(), &OtpStatus::token_info_changed);
  SignalCounter serial(model.get(), &OtpStatus::serial_num_changed);
  ASSERT_TRUE(model->query_token_info());
  EXPECT_EQ(model->get_token_info(), "Serial Number: OT000001\nAlgorithm: TOTP\nHash: SHA-1\n");
  EXPECT_EQ(info.count, 1);
  SignalCounter::process_events();
  EXPECT_EQ(serial.count, 1);
  // Again: the serial number is not read again, the list is, and the signal comes every time.
  sim.clear_reports();
  ASSERT_TRUE(model->query_token_info());
  EXPECT_EQ(info.count, 2);
  EXPECT_EQ(sim.reports("key0", true).size(), 3u) << "one request: the list";
}

TEST_F(Model, AsyncQueryWaitsForAFreeKey) {
  auto model = make_model();
  arm("latency 100");
  SignalCounter info(model.get(), &OtpStatus::token_info_changed);
  SignalCounter serial(model.get(), &OtpStatus::serial_num_changed);
  model->response_time_changed();
  EXPECT_TRUE(model->async_query_token_info());
  ASSERT_TRUE(serial.wait_for(1, 10000));
  EXPECT_EQ(info.count, 0) << "the busy key started nothing";
  // As the dialog does: ask again every 300 ms until the worker before has finished.
  for (int attempt = 0; attempt < 30 && info.count == 0; ++attempt) {
    EXPECT_TRUE(model->async_query_token_info());
    info.wait_for(1, 300);
  }
  ASSERT_EQ(info.count, 1);
  EXPECT_EQ(model->get_token_info(), "Serial Number: OT000001\nAlgorithm: TOTP\nHash: SHA-1\n");
  arm("latency 0");
}

TEST_F(Model, DestroyedWhileAWorkerWaitsOnASlowKey) {
  auto model = make_model();
  arm("latency 200");
  model->response_time_changed();
  model.reset();  // joins the worker, then closes the key
  arm("latency 0");
  EXPECT_NE(sim.command("KEYS").find("key0 plugged press-mode off handles 0"), std::string::npos);
}

TEST_F(Model, PropertyWritesFollowTheirRules) {
  auto model = make_model();
  SignalCounter serial(model.get(), &OtpStatus::serial_num_changed);
  SignalCounter otp(model.get(), &OtpStatus::otp_changed);
  SignalCounter info(model.get(), &OtpStatus::token_info_changed);
  model->setProperty("serial_num", "");
  model->setProperty("serial_num", "X1");
  model->setProperty("serial_num", "X1");
  model->setProperty("otp", 123456);
  model->setProperty("digits", 8);
  model->setProperty("token_info", "same");
  model->setProperty("token_info", "same");
  EXPECT_EQ(serial.count, 1);
  EXPECT_EQ(otp.count, 0);
  EXPECT_EQ(info.count, 2);
  EXPECT_EQ(model->property("otp").toInt(), 123456);
  EXPECT_EQ(model->property("digits").toInt(), 8);
  EXPECT_FALSE(model->setProperty("step", 10));
  EXPECT_EQ(model->property("step").toInt(), 30);
}

class ModelWithoutPressMode : public ModelOnSim {
 protected:
  ModelWithoutPressMode()
      : ModelOnSim(R"({"keys": [{"id": "key0", "product_id": 2136, "press_mode_supported": false,
          "active": "H1", "credentials": [{"serial": "H1", "algorithm": 1, "hash": 2, "secret": "ME"}]}]})") {}
};

TEST_F(ModelWithoutPressMode, PressModeIsRefusedAndHotpIsNamed) {
  auto model = make_model();
  EXPECT_FALSE(model->set_press_mode(true));
  EXPECT_NE(log.read_log().find(" ERROR [default] Failed to set press mode.\n"), std::string::npos);
  ASSERT_TRUE(model->query_token_info());
  EXPECT_EQ(model->get_token_info(), "Serial Number: H1\nAlgorithm: HOTP\nHash: SHA-256\n");
  EXPECT_NE(log.read_log().find(" ERROR [default] HOTP is not supported.\n"), std::string::npos);
}

// A key whose answers the test writes directly, for what the simulated key never says.
class ScriptedKey : public UsbKey {
 public:
  ScriptedKey() : UsbKey(nullptr) {}
  void send_command(const std::uint8_t*, std::uint32_t, ByteBuffer&) override {}
  bool is_alive() override { return true; }
  void op_get_active(ByteBuffer& serial) override {
    ++active_reads;
    if (fail_active) THROW_KEY_EXCEPTION(KeyAccessException("U2F usb key sending command"));
    serial = active;
  }
  void op_get_user_info(std::vector<User>& list) override {
    if (fail_users) THROW_KEY_EXCEPTION(KeyException("resp_code exception: Generic error"));
    list.insert(list.end(), users.begin(), users.end());
  }

  ByteBuffer active = {'S', '9'};
  std::vector<User> users;
  bool fail_active = false, fail_users = false;
  int active_reads = 0;
};

TEST(ModelTokenInfo, UnknownCodesMissingUsersAndFailedReads) {
  TempLog log;
  log.setup_quiet();
  auto key = std::make_shared<ScriptedKey>();
  OtpStatus model(key);

  key->users = {{{'S', '1'}, 2, 1}};
  EXPECT_FALSE(model.query_token_info());
  EXPECT_EQ(model.get_token_info(), "");
  EXPECT_NE(log.read_log().find(" ERROR [default] Failed to find the user\n"), std::string::npos);

  key->users = {{{'S', '1'}, 2, 1}, {{'S', '9'}, 7, 0}};
  EXPECT_TRUE(model.query_token_info());
  EXPECT_EQ(model.get_token_info(), "Serial Number: S9\nAlgorithm: \nHash: \n");
  EXPECT_EQ(key->active_reads, 1) << "the serial number is read once";

  // A failed serial read keeps the records read before, and the search still finds the user.
  model.set_serial_num("");
  key->fail_active = true;
  EXPECT_TRUE(model.query_token_info());
  EXPECT_EQ(key->active_reads, 2);
  EXPECT_NE(log.read_log().find(" ERROR [default] Query token info error\n"), std::string::npos);

  // A failed list read leaves nothing to search.
  key->fail_active = false;
  key->fail_users = true;
  EXPECT_FALSE(model.query_token_info());
  EXPECT_EQ(model.get_token_info(), "Serial Number: \nAlgorithm: \nHash: \n") << "kept from the search before";
}

}  // namespace
