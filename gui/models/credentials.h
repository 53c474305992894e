#pragma once

#include "gui/models/key_session.h"
#include "gui/models/clock.h"
#include "gui/models/outcome.h"

#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>

#include <memory>
#include <optional>

// Every credential on the key and the code of any of them, published to the views as
// "credentials": the Credentials dialog and the tray's menu read it. Lives on the GUI thread.
//
// Views say which codes they want with watch(); while any is wanted, the model's timer renews
// each at its step, and asks again for what waits for a touch of the key. A view may want the
// next step's codes too: each is asked for once, as the step's last next_code_seconds begin, and
// becomes the code when its step begins, without another exchange.
class Credentials : public QObject {
  Q_OBJECT
  // In the key's order, maps of serial, algorithm, hash, totp and active.
  Q_PROPERTY(QVariantList rows READ get_rows NOTIFY rows_changed)
  // By serial number: maps of otp, digits and step, for the current step; a map with only a step
  // when the key gave no code for it (asked again at the next step). In a step's last seconds,
  // next_otp and next_digits hold the next step's code where a view wanted it.
  Q_PROPERTY(QVariantMap codes READ get_codes NOTIFY codes_changed)
  // The last failure, empty after a success: its kind ("touch", "access", "no_credential" or
  // "other"), its values, and its English text, which a view shows for a kind it cannot word.
  Q_PROPERTY(QVariantMap message READ get_message NOTIFY message_changed)
  // True since the key last asked for a touch, until it answers without one: a key in press mode.
  Q_PROPERTY(bool touch_needed READ get_touch_needed NOTIFY touch_needed_changed)

 public:
  // session may be null (no key to ask); tick_ms 0 leaves the ticks to the caller.
  explicit Credentials(std::shared_ptr<KeySession> session, int tick_ms = 0, QObject* parent = nullptr);

  // Reads the list again.
  Q_INVOKABLE void refresh();
  // The codes that watcher (a name of the view's choice) wants, replacing what it wanted before,
  // with the next step's too when with_next_step. An HOTP credential gets no code here: each
  // would count up the key's counter; nor does a key in press mode get asked ahead.
  Q_INVOKABLE void watch(const QString& watcher, const QStringList& serials, bool with_next_step = false);
  // Makes a TOTP credential the active one; made_active follows.
  Q_INVOKABLE void make_active(const QString& serial);
  // Takes down the codes whose step ended and asks for the wanted ones that are missing, and for
  // what waited for a touch. Never waits on the key.
  Q_INVOKABLE void tick();

  QVariantList get_rows() const { return rows; }
  QVariantMap get_codes() const { return codes; }
  QVariantMap get_message() const { return message; }
  bool get_touch_needed() const { return touch_needed; }
  void set_clock(Clock value) { clock = std::move(value); }

 signals:
  void rows_changed();
  void codes_changed();
  void message_changed();
  void touch_needed_changed();
  void made_active(const QString& serial);

 protected:
  void store_rows(const QVariantList& value);
  void store_codes(const QVariantMap& value);
  void set_message(const QVariantMap& value);

 private:
  enum class Request { list, code, next_step_code, activation };
  // Posts one request; false when one like it is pending.
  void ask(Request request, const QString& serial = {});
  // What a request's outcome means for the views; true when it is done with.
  bool settle(Request request, const Outcome& outcome);
  bool is_totp(const QString& serial) const;
  // Asks for the next step's codes that the views want, once their time has come.
  void ask_ahead(std::int64_t now);
  void update_timer();

  std::shared_ptr<KeySession> session;
  Clock clock = system_clock_ms();
  QTimer ticker;
  QVariantList rows;
  QVariantMap codes;
  QVariantMap message;
  bool touch_needed = false;
  QMap<QString, QStringList> watched;
  QSet<QString> watching_ahead;           // the watchers that want the next step's codes too
  QMap<QString, std::int64_t> asked_ahead;  // by serial: the step whose code was last asked for ahead
  bool list_wanted = false;                 // asked for, not yet read
  std::optional<QString> activation_wanted;  // asked for, not yet done
};
