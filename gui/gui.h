#pragma once

#include "key/usbkey.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// The model of the key in use, published to the views as "otp_status": the current code, the
// error text that replaces it, the serial number and the token information.
//
// Threads: the object lives on the GUI thread, which reads its properties, calls its methods
// and alone starts and joins its one worker thread. key_mutex serialises every use of the key;
// the GUI thread only tries it, except in query_token_info, set_press_mode and is_key_alive.
// The shown fields have a lock of their own (fields_mutex), held only to copy or assign them,
// so a property read never waits on the key.
class OtpStatus : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString serial_num READ get_serial_num WRITE set_serial_num NOTIFY serial_num_changed)
  Q_PROPERTY(int otp READ get_otp WRITE set_otp NOTIFY otp_changed)
  Q_PROPERTY(int step READ get_step CONSTANT)
  Q_PROPERTY(QString err_msg READ get_err_msg NOTIFY err_msg_changed)
  Q_PROPERTY(int digits READ get_digits WRITE set_digits NOTIFY digits_changed)
  Q_PROPERTY(QString token_info READ get_token_info WRITE set_token_info NOTIFY token_info_changed)
  // For the Credentials dialog: every credential on the key, in the key's order, as maps of
  // serial, algorithm, hash, totp and active; the code of the selected one (serial, otp, digits,
  // counter; empty while there is none); and the text that replaces it after a failure.
  Q_PROPERTY(QVariantList credentials READ get_credentials NOTIFY credentials_changed)
  Q_PROPERTY(QVariantMap credential_code READ get_credential_code NOTIFY credential_code_changed)
  Q_PROPERTY(QString credentials_message READ get_credentials_message NOTIFY credentials_message_changed)

 public:
  // Milliseconds since the Unix epoch; tests inject their own to cross step boundaries. Called
  // from the GUI thread and the workers.
  using Clock = std::function<std::int64_t()>;

  explicit OtpStatus(const std::shared_ptr<UsbKey>& key, QObject* parent = nullptr);
  // Stops the key's exchange, joins a running worker, then closes the key under key_mutex.
  ~OtpStatus() override;

  // One refresh tick: takes down a code whose step has ended, and starts a worker when the code
  // of the current step is missing and the key is free; for a key whose serial number is not
  // read yet, that one worker reads it and then the code. Never waits on the key. Returns the
  // start of the current step in seconds (low 32 bits).
  Q_INVOKABLE int response_time_changed();
  Q_INVOKABLE bool set_press_mode(bool on);
  Q_INVOKABLE bool query_token_info();
  // Runs query_token_info on a worker unless the key is busy. Always true.
  Q_INVOKABLE bool async_query_token_info();

  // The Credentials dialog's requests. Each is carried out on the model's worker, never beside
  // another exchange with the key; one made while the key is busy waits for it, and one that the
  // key answers with a request for a touch waits for the next credentials_tick.
  Q_INVOKABLE void refresh_credentials();
  // Selects the credential whose code the dialog shows ("" for none) and asks for its code; an
  // HOTP credential gets none, as each code would count up the key's counter.
  Q_INVOKABLE void select_credential(const QString& serial);
  // Makes a TOTP credential the active one: the main page shows its code from the next tick.
  Q_INVOKABLE void make_active(const QString& serial);
  // The dialog's tick: takes down the selected code once its step has ended, asks for the next
  // one, and retries what waited for a touch. Never waits on the key.
  Q_INVOKABLE void credentials_tick();

  // True while the key still accepts a write, or while a worker uses it (the worker reports a
  // lost key itself). Never waits on the key.
  bool is_key_alive();

  QString get_serial_num() const;
  void set_serial_num(const QString& value);
  int get_otp() const;
  void set_otp(int value);
  int get_step() const { return step; }
  QString get_err_msg() const;
  int get_digits() const;
  void set_digits(int value);
  QString get_token_info() const;
  void set_token_info(const QString& value);
  QVariantList get_credentials() const;
  QVariantMap get_credential_code() const;
  QString get_credentials_message() const;

  void set_clock(Clock clock) { now_ms = std::move(clock); }
  int get_last_counter() const;

 signals:
  void token_info_changed();
  void serial_num_changed();
  void otp_changed();
  void err_msg_changed();
  void digits_changed();
  void credentials_changed();
  void credential_code_changed();
  void credentials_message_changed();

 protected:
  // Empties the code box and shows message instead.
  void show_failure(const QString& message);
  void store_credentials(const QVariantList& rows);
  void store_credential_code(const QVariantMap& code);

 private:
  void update_otp(const std::uint64_t index);
  // Empties the code box once the shown code's step ended more than grace_ms before now.
  void expire_code(std::int64_t now);
  void schedule_expiry();
  // When the shown code's box empties, in ms since the epoch. Needs fields_mutex.
  std::int64_t code_expiry_ms() const;
  // Reads the serial number of the active credential; true when the key gave one.
  bool update_serial_num();
  // Starts body on a new worker, unless the last one is still running. GUI thread only.
  bool start_worker(std::function<void()> body);
  // Stores the text of serial_bytes; true when serial_num changed.
  bool store_serial_text();
  // The token information of the active credential from users; false when it is not listed.
  // Needs key_mutex.
  bool store_token_info();
  struct Requests;
  // Applies change to the pending requests and carries them out.
  void ask(const std::function<void(Requests&)>& change);
  // Starts a worker for the dialog's pending requests, unless a worker runs: its end starts it.
  void run_requests();
  bool requests_to_run();
  // The worker's side: carries out the pending requests one at a time until none is left.
  void serve_requests();
  void read_credentials();
  void set_credentials_message(const QString& message);
  bool is_totp(const QString& serial) const;

  // What the Credentials dialog asked for and the worker has not yet done.
  struct Requests {
    bool list = false;
    std::optional<ByteBuffer> activate;
    std::optional<ByteBuffer> code;
    bool touch = false;  // the key wants a touch: wait for the dialog's next tick
    bool any() const { return list || activate || code; }
  };
  std::mutex requests_mutex;
  Requests requests;
  QString selected_serial;  // GUI thread only
  QVariantList credentials;       // fields_mutex
  QVariantMap credential_code;    // fields_mutex
  QString credentials_message;    // fields_mutex

  QString token_info;
  QString serial_num = "";
  const int step = 30;
  static constexpr std::int64_t grace_ms = 1300;
  int otp = 0;
  bool code_shown = false;  // otp is the code of step last_counter
  int last_counter = -1;  // no step index is negative
  int digits = 0;
  QString err_msg;
  std::vector<User> users;
  std::shared_ptr<UsbKey> key;
  std::mutex key_mutex;
  std::shared_ptr<std::thread> worker;
  ByteBuffer serial_bytes;

  mutable std::mutex fields_mutex;
  std::atomic<bool> worker_done{true};
  Clock now_ms;
  QTimer expiry;
};
