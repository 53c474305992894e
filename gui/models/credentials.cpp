#include "gui/models/credentials.h"

#include <easylogging++.h>

#include <algorithm>
#include <vector>

namespace {

// The list as the views show it, with the key's active credential marked.
QVariantList rows_of(const std::vector<User>& users, const ByteBuffer& active) {
  QVariantList rows;
  for (const User& user : users)
    rows.append(QVariantMap{{"serial", text_of(user.serial_number)},
                            {"algorithm", algorithm_name(user.algorithm)},
                            {"hash", hash_name(user.type)},
                            {"totp", user.algorithm == 2},
                            {"active", user.serial_number == active}});
  return rows;
}

}  // namespace

Credentials::Credentials(std::shared_ptr<KeySession> session, int tick_ms, QObject* parent)
    : QObject(parent), session(std::move(session)) {
  ticker.setInterval(tick_ms);
  connect(&ticker, &QTimer::timeout, this, &Credentials::tick);
}

void Credentials::refresh() {
  list_wanted = true;
  ask(Request::list);
  update_timer();
}

void Credentials::watch(const QString& watcher, const QStringList& serials, bool with_next_step) {
  if (serials.isEmpty())
    watched.remove(watcher);
  else
    watched[watcher] = serials;
  if (with_next_step && !serials.isEmpty())
    watching_ahead.insert(watcher);
  else
    watching_ahead.remove(watcher);
  update_timer();
  tick();
}

void Credentials::make_active(const QString& serial) {
  if (!is_totp(serial)) {
    LOG(WARNING) << "Only a TOTP credential is made active here, not " << serial.toStdString();
    return;
  }
  activation_wanted = serial;
  ask(Request::activation, serial);
  update_timer();
}

void Credentials::tick() {
  // Stops once nothing is wanted any more, or it would tick on with no view open.
  update_timer();
  const std::int64_t now = clock();
  const std::int64_t step = step_index(now);
  QVariantMap current;
  for (auto code = codes.cbegin(); code != codes.cend(); ++code) {
    const QVariantMap known = code.value().toMap();
    if (known.value("step").toLongLong() == step)
      current.insert(code.key(), known);
    else if (known.value("step").toLongLong() == step - 1 && known.contains("next_otp"))
      current.insert(code.key(), QVariantMap{{"step", static_cast<qlonglong>(step)},
                                             {"otp", known.value("next_otp")},
                                             {"digits", known.value("next_digits")}});
  }
  if (current != codes) store_codes(current);
  if (activation_wanted) ask(Request::activation, *activation_wanted);
  if (list_wanted) ask(Request::list);
  QSet<QString> asked;
  for (const QStringList& serials : watched)
    for (const QString& serial : serials)
      if (!codes.contains(serial) && is_totp(serial) && !asked.contains(serial)) {
        asked.insert(serial);
        ask(Request::code, serial);
      }
  ask_ahead(now);
}

void Credentials::ask_ahead(std::int64_t now) {
  if (!session || session->get_in_press_mode() || !next_code_due(now)) return;
  const std::int64_t step = step_index(now);
  for (const QString& watcher : watching_ahead)
    for (const QString& serial : watched.value(watcher)) {
      const QVariantMap known = codes.value(serial).toMap();
      if (!known.contains("otp") || known.value("step").toLongLong() != step || asked_ahead.value(serial, -1) == step + 1)
        continue;
      asked_ahead.insert(serial, step + 1);
      ask(Request::next_step_code, serial);
    }
}

void Credentials::ask(Request request, const QString& serial) {
  if (!session) return;
  const std::int64_t step = step_index(clock());
  KeySession::Work work;
  std::string tag;
  switch (request) {
    case Request::list:
      tag = "list";
      work = [this](UsbKey& key) -> std::function<void()> {
        ByteBuffer active;
        std::vector<User> users;
        const Outcome outcome = attempt([&] {
          key.op_get_active(active);
          key.op_get_user_info(users);
        });
        return [this, outcome, listed = rows_of(users, active)] {
          if (settle(Request::list, outcome)) list_wanted = false;
          if (outcome.kind != Outcome::done) return;
          store_rows(listed);
          LOG(INFO) << "The credential list holds " << listed.size() << " credentials";
        };
      };
      break;
    case Request::activation:
      tag = "activation";
      work = [this, serial](UsbKey& key) -> std::function<void()> {
        std::vector<User> users;
        const ByteBuffer bytes = bytes_of(serial);
        const Outcome outcome = attempt([&] {
          ::make_active(key, bytes);
          LOG(INFO) << "Made active: " << serial.toStdString();
          key.op_get_user_info(users);
        });
        return [this, serial, outcome, listed = rows_of(users, bytes)] {
          if (settle(Request::activation, outcome) && activation_wanted == serial) activation_wanted.reset();
          if (outcome.kind != Outcome::done) return;
          store_rows(listed);
          emit made_active(serial);
        };
      };
      break;
    case Request::next_step_code:
      tag = "next:" + serial.toStdString();
      // The step that ask_ahead meant, though the clock may have crossed into it since.
      work = [this, serial, step = asked_ahead.value(serial, step + 1)](UsbKey& key) -> std::function<void()> {
        int digits = 0;
        std::uint32_t code = 0;
        const Outcome outcome = attempt([&] {
          code = credential_code(key, bytes_of(serial), digits, static_cast<std::uint64_t>(step) * totp_step_seconds);
        });
        return [this, serial, step, outcome, code, digits] {
          if (!settle(Request::next_step_code, outcome) || outcome.kind != Outcome::done) return;
          QVariantMap known = codes.value(serial).toMap();
          const std::int64_t now_step = step_index(clock());
          // Beside the code of the step before, or in its place once its own step has begun.
          if (now_step == step)
            known = {{"step", static_cast<qlonglong>(step)}, {"otp", static_cast<qlonglong>(code)}, {"digits", digits}};
          else if (now_step + 1 == step && known.value("step").toLongLong() == now_step && known.contains("otp")) {
            known.insert("next_otp", static_cast<qlonglong>(code));
            known.insert("next_digits", digits);
          } else {
            return;
          }
          QVariantMap all = codes;
          all.insert(serial, known);
          store_codes(all);
        };
      };
      break;
    case Request::code:
      tag = "code:" + serial.toStdString();
      work = [this, serial, step](UsbKey& key) -> std::function<void()> {
        int digits = 0;
        std::uint32_t code = 0;
        const Outcome outcome = attempt([&] {
          code = credential_code(key, bytes_of(serial), digits, static_cast<std::uint64_t>(step) * totp_step_seconds);
        });
        return [this, serial, step, outcome, code, digits] {
          if (!settle(Request::code, outcome)) return;
          if (outcome.kind == Outcome::done) session->code_given(step);
          // No code for this step after a failure: asked again when the next one starts.
          QVariantMap shown{{"step", static_cast<qlonglong>(step)}};
          if (outcome.kind == Outcome::done && step_index(clock()) == step) {
            shown.insert("otp", static_cast<qlonglong>(code));
            shown.insert("digits", digits);
          }
          QVariantMap all = codes;
          all.insert(serial, shown);
          store_codes(all);
        };
      };
      break;
  }
  session->post(this, std::move(work), tag);
}

bool Credentials::settle(Request request, const Outcome& outcome) {
  const bool touch = outcome.kind == Outcome::touch;
  if (touch && session) session->touch_asked(step_index(clock()));
  if (touch != touch_needed) {
    touch_needed = touch;
    emit touch_needed_changed();
  }
  switch (outcome.kind) {
    case Outcome::done:
      set_message({});
      return true;
    case Outcome::touch:
      // Everything stays asked for; the next tick asks again.
      set_message({{"kind", "touch"}, {"text", press_key_text}});
      return false;
    case Outcome::access:
      LOG(ERROR) << "Credentials: key access error";
      set_message({{"kind", "access"}, {"text", access_failure_text}});
      // The key is gone: nothing asked for is asked again.
      list_wanted = false;
      activation_wanted.reset();
      watched.clear();
      update_timer();
      return request == Request::code;
    case Outcome::refused:
      LOG(ERROR) << "Credentials: " << outcome.reason.toStdString();
      set_message({{"kind", outcome.failure == KeyFailure::no_credential ? "no_credential" : "other"},
                   {"values", outcome.values},
                   {"text", outcome.reason}});
      return true;
  }
  return true;
}

bool Credentials::is_totp(const QString& serial) const {
  return std::any_of(rows.begin(), rows.end(), [&](const QVariant& row) {
    const QVariantMap credential = row.toMap();
    return credential.value("serial").toString() == serial && credential.value("totp").toBool();
  });
}

void Credentials::update_timer() {
  const bool wanted = !watched.isEmpty() || list_wanted || activation_wanted;
  if (wanted && ticker.interval() > 0 && !ticker.isActive())
    ticker.start();
  else if (!wanted)
    ticker.stop();
}

void Credentials::store_rows(const QVariantList& value) {
  // The same list read again: the views' entries stay as they are (the tray's menu keeps its ids).
  if (value != rows) {
    rows = value;
    emit rows_changed();
  }
  tick();  // the codes wanted of credentials that were not listed yet
}

void Credentials::store_codes(const QVariantMap& value) {
  codes = value;
  emit codes_changed();
}

void Credentials::set_message(const QVariantMap& value) {
  if (value == message) return;
  message = value;
  emit message_changed();
}
