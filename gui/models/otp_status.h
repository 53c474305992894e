#pragma once

#include "gui/models/key_session.h"
#include "gui/models/clock.h"
#include "gui/models/outcome.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>

// The main page's model, published to the views as "otp_status": the active credential's serial
// number and current code, or the text that replaces the code, and the seconds left in the step.
//
// Lives on the GUI thread, like everything it holds; the key is reached through jobs on the
// session. The model's own timer ticks at each whole second of its clock, the one wake-up a
// second that the countdown and the step need, and its clock decides which step's code is shown:
// no code is shown past its step plus grace_ms.
//
// An HOTP credential's key counts up at every code, and a service accepts only a few codes ahead
// of the last it saw: for one, the model asks the key for nothing by itself, only at next_code().
// While the active credential's algorithm is not known, it asks for no code at all.
//
// As the last next_code_seconds (clock.h) of a step begin, it asks once for the next step's code, which
// becomes the code when that step begins, without another exchange. Not for HOTP, and not while
// the key is in press mode, where it would wait for a touch that the user never meant.
class OtpStatus : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString serial_num READ get_serial_num NOTIFY serial_num_changed)
  // Whether a code is shown: a code may well be 000000.
  Q_PROPERTY(bool has_code READ get_has_code NOTIFY otp_changed)
  Q_PROPERTY(int otp READ get_otp NOTIFY otp_changed)
  Q_PROPERTY(int digits READ get_digits NOTIFY otp_changed)
  Q_PROPERTY(QString err_msg READ get_err_msg NOTIFY otp_changed)
  Q_PROPERTY(int step READ get_step CONSTANT)
  // Whole seconds left in the current step, by the model's clock, as of the last tick.
  Q_PROPERTY(int remain READ get_remain NOTIFY remain_changed)
  // The active credential is HOTP: a code only at next_code(), with no countdown.
  Q_PROPERTY(bool hotp READ get_hotp NOTIFY serial_num_changed)
  // Whether the next step's code is known, in the last seconds of the step whose code is shown.
  Q_PROPERTY(bool has_next_step_code READ get_has_next_step_code NOTIFY next_step_code_changed)
  // The next step's code, of the same credential and as many digits as the code.
  Q_PROPERTY(int next_step_otp READ get_next_step_otp NOTIFY next_step_code_changed)

 public:
  static constexpr std::int64_t grace_ms = 1300;
  // How long an HOTP code stays on show when it is neither copied nor followed by another.
  static constexpr int hotp_shown_ms = 60000;

  // session may be null (no key to ask). Without ticking, the ticks are left to the caller.
  explicit OtpStatus(std::shared_ptr<KeySession> session, bool ticking = false, QObject* parent = nullptr);

  // Takes down a code whose step has ended and, when the current step's code is not shown, asks
  // the key for it (once: a request still pending is not repeated); for a key whose serial number
  // is not read yet, the same job reads it first. Never waits on the key.
  Q_INVOKABLE void tick();
  // The next code of an HOTP credential: one exchange, one count up of the key, however often it
  // is called before the code comes. Does nothing for any other credential.
  Q_INVOKABLE virtual void next_code();
  // Takes an HOTP code off the page, once the user has copied it.
  Q_INVOKABLE void forget_code();
  // Asks the key to turn press mode on or off; press_mode_set tells how it went.
  Q_INVOKABLE void set_press_mode(bool on);
  // The key's active credential is now serial: its code is asked for at the next tick.
  void use_credential(const QString& serial);

  QString get_serial_num() const { return serial_num; }
  bool get_has_code() const { return code_shown; }
  int get_otp() const { return otp; }
  int get_digits() const { return digits; }
  QString get_err_msg() const { return err_msg; }
  int get_step() const { return totp_step_seconds; }
  int get_remain() const { return remain; }
  bool get_hotp() const { return algorithm == hotp_algorithm; }
  bool get_has_next_step_code() const { return next_step >= 0; }
  int get_next_step_otp() const { return next_otp; }
  // How long the model's timer waits from the last tick: to the next whole second of its clock.
  int get_tick_interval() const { return ticker.interval(); }
  // The step whose code is shown, -1 for none yet.
  std::int64_t get_shown_step() const { return code_shown ? shown_step : -1; }
  void set_clock(Clock value) { clock = std::move(value); }

 signals:
  void serial_num_changed();
  void otp_changed();
  void remain_changed();
  void next_step_code_changed();
  void press_mode_set(bool on, bool ok);

 protected:
  void show_code(int value, int count, std::int64_t step);
  // Empties the code box and shows message instead.
  void show_failure(const QString& message);
  void set_remain(int seconds);
  // The key's active credential: its serial number, and its algorithm (0 while not known).
  void set_active_credential(const ByteBuffer& serial, std::uint32_t kind);
  // The code of step, the one after the shown code's; step -1 for none.
  void set_next_step_code(std::int64_t step, int value, int count);

 private:
  struct Answer;
  void take(const Answer& answer);
  // Asks for the next step's code once its time has come; step is the shown code's.
  void ask_next_step_code(std::int64_t now, std::int64_t step);
  void take_next_step_code(const Answer& answer);
  void take_down_code();
  // Empties the code box once the shown code's step ended more than grace_ms before now.
  void expire_code(std::int64_t now);
  void schedule_expiry();

  std::shared_ptr<KeySession> session;
  Clock clock = system_clock_ms();
  bool ticking;
  QTimer ticker;
  QTimer expiry;
  ByteBuffer serial_bytes;
  QString serial_num;
  std::uint32_t algorithm = 0;  // of the active credential; 0 until the key said
  bool key_unusable = false;     // its OTP application refused SELECT: asked nothing more
  bool code_shown = false;
  std::int64_t shown_step = -1;
  int otp = 0;
  int digits = 0;
  QString err_msg;
  int remain = 0;
  std::int64_t next_step = -1;  // the step of next_otp, -1 for none
  int next_otp = 0;
  int next_digits = 0;
  std::int64_t next_asked = -1;  // the step whose code was last asked for ahead
};
