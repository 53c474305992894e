#include "gui/models/otp_status.h"

#include <easylogging++.h>

#include <algorithm>
#include <optional>

// What one job learned: the serial number, if it had to read it, and the code of its step.
struct OtpStatus::Answer {
  ByteBuffer serial;  // of the credential the code belongs to
  bool serial_read = false;
  std::uint32_t algorithm = 0;  // read with the serial number
  bool counted = false;         // an HOTP code that the user asked for
  std::int64_t step = 0;
  std::uint32_t code = 0;
  int digits = 0;
  Outcome outcome;
};

OtpStatus::OtpStatus(std::shared_ptr<KeySession> session, bool ticking, QObject* parent)
    : QObject(parent), session(std::move(session)), ticking(ticking) {
  expiry.setSingleShot(true);
  connect(&expiry, &QTimer::timeout, this, [this] { get_hotp() ? take_down_code() : expire_code(clock()); });
  // Precise: a coarse timer may fire up to 5 % early, and then twice in one second.
  ticker.setSingleShot(true);
  ticker.setTimerType(Qt::PreciseTimer);
  connect(&ticker, &QTimer::timeout, this, &OtpStatus::tick);
  if (!ticking) return;
  // A newly opened key: its code now, not a tick from now.
  QMetaObject::invokeMethod(this, &OtpStatus::tick, Qt::QueuedConnection);
}

void OtpStatus::tick() {
  const std::int64_t now = clock();
  // An HOTP credential shows no countdown and asks the key nothing by itself: no tick until
  // another credential is made active.
  if (ticking && !get_hotp()) ticker.start(static_cast<int>(1000 - now % 1000));
  const std::int64_t step = step_index(now);
  // The code asked for ahead becomes the code of its step, without another exchange.
  if (next_step == step) {
    const int value = next_otp, count = next_digits;
    set_next_step_code(-1, 0, 0);
    // The log names the code shown at each step, as when it is asked for then.
    LOG(INFO) << "value is " << value;
    show_code(value, count, step);
  } else if (next_step >= 0 && next_step != step + 1) {
    set_next_step_code(-1, 0, 0);
  }
  expire_code(now);
  // Of the code on show, which may be the last step's for grace_ms.
  const std::int64_t end_ms = ((code_shown && !get_hotp() ? shown_step : step) + 1) * totp_step_seconds * 1000;
  set_remain(static_cast<int>(std::max<std::int64_t>(0, end_ms - now) / 1000));
  if (!session || key_unusable || get_hotp()) return;
  if (code_shown && shown_step == step) return ask_next_step_code(now, step);
  const bool read_active = serial_bytes.empty() || algorithm == 0;
  session->post(
      this,
      [this, answer = Answer{serial_bytes, read_active, algorithm, false, step, 0, 0, {}}](UsbKey& key) mutable -> std::function<void()> {
        answer.outcome = attempt([&] {
          if (answer.serial_read) {
            LOG(INFO) << "update serial num";
            key.op_get_active(answer.serial, &answer.algorithm);
            LOG(INFO) << "get serial num=" << hex_dump(answer.serial).str();
            if (answer.serial.empty()) return;
            // A record without its algorithm: the list has it.
            if (answer.algorithm == 0) answer.algorithm = algorithm_of(key, answer.serial);
          }
          if (answer.algorithm != totp_algorithm) {
            if (answer.algorithm != hotp_algorithm)
              LOG(WARNING) << "The key did not say what kind the active credential is: no code asked for";
            return;
          }
          LOG(INFO) << "update otp";
          answer.code = credential_code(key, answer.serial, answer.digits,
                                        static_cast<std::uint64_t>(answer.step) * totp_step_seconds);
          LOG(INFO) << "value is " << answer.code;
        });
        if (answer.outcome.kind == Outcome::access)
          LOG(ERROR) << (answer.serial_read && answer.serial.empty() ? "Get serial number error"
                                                                     : "Update otp key access error");
        else if (answer.outcome.kind == Outcome::refused)
          LOG(ERROR) << "Update otp runtime error";
        return [this, answer] { take(answer); };
      },
      "code");
}

void OtpStatus::ask_next_step_code(std::int64_t now, std::int64_t step) {
  if (!next_code_due(now) || next_asked == step + 1 || session->get_in_press_mode() || algorithm != totp_algorithm) return;
  next_asked = step + 1;
  session->post(
      this,
      [this, answer = Answer{serial_bytes, false, algorithm, false, step + 1, 0, 0, {}}](UsbKey& key) mutable -> std::function<void()> {
        answer.outcome = attempt([&] {
          answer.code = credential_code(key, answer.serial, answer.digits,
                                        static_cast<std::uint64_t>(answer.step) * totp_step_seconds);
        });
        LOG(INFO) << (answer.outcome.kind == Outcome::done ? "The next step's code came" : "The next step's code was not given");
        return [this, answer] { take_next_step_code(answer); };
      },
      "next_step_code");
}

void OtpStatus::take_next_step_code(const Answer& answer) {
  if (answer.serial != serial_bytes || get_hotp()) return;
  if (answer.outcome.kind == Outcome::touch) session->touch_asked(answer.step - 1);
  // Whatever else went wrong, the step's own exchange will say.
  if (answer.outcome.kind != Outcome::done) return;
  const std::int64_t step = step_index(clock());
  if (step == answer.step) {
    LOG(INFO) << "value is " << answer.code;
    show_code(static_cast<int>(answer.code), answer.digits, answer.step);
  } else if (step + 1 == answer.step && code_shown && shown_step == step)
    set_next_step_code(answer.step, static_cast<int>(answer.code), answer.digits);
}

void OtpStatus::set_next_step_code(std::int64_t step, int value, int count) {
  if (step == next_step && value == next_otp && count == next_digits) return;
  next_step = step;
  next_otp = value;
  next_digits = count;
  emit next_step_code_changed();
}

void OtpStatus::next_code() {
  if (!session || key_unusable || !get_hotp()) return;
  session->post(
      this,
      [this, answer = Answer{serial_bytes, false, hotp_algorithm, true, -1, 0, 0, {}}](UsbKey& key) mutable -> std::function<void()> {
        answer.outcome = attempt([&] { answer.code = counter_code(key, answer.serial, answer.digits); });
        if (answer.outcome.kind == Outcome::done)
          LOG(INFO) << "An HOTP code was asked for: the key's counter moved on by one";
        else
          LOG(ERROR) << "The HOTP code was not given";
        return [this, answer] { take(answer); };
      },
      "next_code");
}

void OtpStatus::forget_code() {
  if (get_hotp()) take_down_code();
}

void OtpStatus::take(const Answer& answer) {
  if (answer.serial_read && !answer.serial.empty() && (serial_bytes.empty() || answer.serial == serial_bytes)) {
    set_active_credential(answer.serial, answer.algorithm);
  }
  // Asked for before another credential was made active: not this one's.
  if (answer.serial != serial_bytes || answer.counted != get_hotp()) return;
  if (answer.outcome.kind == Outcome::refused && answer.outcome.failure == KeyFailure::no_application) {
    key_unusable = true;
    show_failure(no_application_text);
    return;
  }
  switch (answer.outcome.kind) {
    case Outcome::touch:
      session->touch_asked(answer.step);
      show_failure(press_key_text);
      return;
    case Outcome::access:
      show_failure(access_failure_text);
      return;
    case Outcome::refused:
      // The code on screen belongs to a step that has ended: take it down, keep the text.
      take_down_code();
      return;
    case Outcome::done:
      break;
  }
  if (serial_bytes.empty() || (!answer.counted && algorithm != totp_algorithm)) return;
  if (answer.counted) {
    show_code(static_cast<int>(answer.code), answer.digits, -1);
    return;
  }
  session->code_given(answer.step);
  if (step_index(clock()) != answer.step) {
    LOG(INFO) << "The code came after its step ended; not shown";
    return;
  }
  show_code(static_cast<int>(answer.code), answer.digits, answer.step);
}

void OtpStatus::set_press_mode(bool on) {
  const bool posted = session && session->post(this, [this, on](UsbKey& key) -> std::function<void()> {
    const Outcome outcome = attempt([&] { key.switch_press_mode(on); });
    if (outcome.kind != Outcome::done) LOG(ERROR) << "Failed to set press mode.";
    return [this, on, ok = outcome.kind == Outcome::done] {
      if (ok) session->press_mode_switched(on, step_index(clock()));
      emit press_mode_set(on, ok);
    };
  });
  if (!posted) emit press_mode_set(on, false);
}

void OtpStatus::use_credential(const QString& serial) {
  // Read again with the serial number at the next tick: HOTP or TOTP, it decides what is asked.
  set_active_credential(bytes_of(serial), 0);
  show_failure("");
  next_asked = -1;
  if (ticking && !ticker.isActive()) ticker.start(0);
}

void OtpStatus::set_active_credential(const ByteBuffer& serial, std::uint32_t kind) {
  if (serial == serial_bytes && kind == algorithm) return;
  serial_bytes = serial;
  serial_num = text_of(serial_bytes);
  algorithm = kind;
  emit serial_num_changed();
}

void OtpStatus::show_code(int value, int count, std::int64_t step) {
  otp = value;
  digits = count;
  shown_step = step;
  code_shown = true;
  emit otp_changed();
  schedule_expiry();
}

void OtpStatus::set_remain(int seconds) {
  if (seconds == remain) return;
  remain = seconds;
  emit remain_changed();
}

void OtpStatus::take_down_code() {
  set_next_step_code(-1, 0, 0);
  if (!code_shown) return;
  code_shown = false;
  otp = 0;
  emit otp_changed();
}

void OtpStatus::show_failure(const QString& message) {
  set_next_step_code(-1, 0, 0);
  code_shown = false;
  otp = 0;
  err_msg = message;
  emit otp_changed();
}

void OtpStatus::expire_code(std::int64_t now) {
  if (code_shown && !get_hotp() && now >= (shown_step + 1) * totp_step_seconds * 1000 + grace_ms) take_down_code();
}

void OtpStatus::schedule_expiry() {
  if (get_hotp()) return expiry.start(hotp_shown_ms);
  const std::int64_t due = (shown_step + 1) * totp_step_seconds * 1000 + grace_ms;
  expiry.start(static_cast<int>(std::clamp<std::int64_t>(due - clock(), 0, std::int64_t{totp_step_seconds} * 1000 + grace_ms)));
}
