#include "gui/gui.h"

#include "key/key_exception.h"
#include "key/platform.h"

#include <easylogging++.h>

#include <algorithm>
#include <chrono>
#include <system_error>

namespace {

const QString press_key_text = "Press the key to get the OTP!";

std::int64_t calendar_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

OtpStatus::OtpStatus(const std::shared_ptr<UsbKey>& key, QObject* parent)
    : QObject(parent), key(key), now_ms(calendar_ms) {
  expiry.setSingleShot(true);
  connect(&expiry, &QTimer::timeout, this, [this] { expire_code(now_ms()); });
  // Queued from a worker: the timer belongs to the GUI thread.
  connect(this, &OtpStatus::otp_changed, this, &OtpStatus::schedule_expiry);
}

OtpStatus::~OtpStatus() {
  key->request_stop();
  if (worker && worker->joinable()) worker->join();
  std::lock_guard<std::mutex> lock(key_mutex);
  key->close();
}

QString OtpStatus::get_serial_num() const {
  std::lock_guard<std::mutex> lock(fields_mutex);
  return serial_num;
}

void OtpStatus::set_serial_num(const QString& value) {
  {
    std::lock_guard<std::mutex> lock(fields_mutex);
    if (serial_num == value) return;
    serial_num = value;
  }
  emit serial_num_changed();
}

int OtpStatus::get_otp() const {
  std::lock_guard<std::mutex> lock(fields_mutex);
  return otp;
}

void OtpStatus::set_otp(int value) {
  std::lock_guard<std::mutex> lock(fields_mutex);
  otp = value;
}

QString OtpStatus::get_err_msg() const {
  std::lock_guard<std::mutex> lock(fields_mutex);
  return err_msg;
}

int OtpStatus::get_digits() const {
  std::lock_guard<std::mutex> lock(fields_mutex);
  return digits;
}

void OtpStatus::set_digits(int value) {
  std::lock_guard<std::mutex> lock(fields_mutex);
  digits = value;
}

QString OtpStatus::get_token_info() const {
  std::lock_guard<std::mutex> lock(fields_mutex);
  return token_info;
}

void OtpStatus::set_token_info(const QString& value) {
  {
    std::lock_guard<std::mutex> lock(fields_mutex);
    token_info = value;
  }
  emit token_info_changed();
}

int OtpStatus::get_last_counter() const {
  std::lock_guard<std::mutex> lock(fields_mutex);
  return last_counter;
}

bool OtpStatus::is_key_alive() {
  if (!worker_done) return true;
  std::unique_lock<std::mutex> lock(key_mutex, std::try_to_lock);
  return !lock.owns_lock() || key->is_alive();
}

bool OtpStatus::set_press_mode(bool on) {
  std::lock_guard<std::mutex> lock(key_mutex);
  try {
    key->switch_press_mode(on);
    return true;
  } catch (const std::runtime_error&) {
    LOG(ERROR) << "Failed to set press mode.";
    return false;
  }
}

bool OtpStatus::store_serial_text() {
  const QString text = text_of(serial_bytes);
  std::lock_guard<std::mutex> lock(fields_mutex);
  if (text == serial_num) return false;
  serial_num = text;
  return true;
}

bool OtpStatus::query_token_info() {
  std::lock_guard<std::mutex> lock(key_mutex);
  try {
    if (get_serial_num().isEmpty()) {
      key->op_get_active(serial_bytes);
      if (store_serial_text()) emit serial_num_changed();
    }
    users.clear();
    key->op_get_user_info(users);
  } catch (const std::runtime_error&) {
    LOG(ERROR) << "Query token info error";
  }

  return store_token_info();
}

bool OtpStatus::store_token_info() {
  const auto user =
      std::find_if(users.begin(), users.end(), [this](const User& u) { return u.serial_number == serial_bytes; });
  if (user == users.end()) {
    LOG(ERROR) << "Failed to find the user";
    return false;
  }
  const QString algorithm = algorithm_name(user->algorithm);
  const QString hash = hash_name(user->type);
  if (user->algorithm == 1) LOG(ERROR) << "HOTP is not supported.";
  const QString text =
      "Serial Number: " + get_serial_num() + "\n" + "Algorithm: " + algorithm + "\n" + "Hash: " + hash + "\n";
  set_token_info(text);
  return true;
}

QVariantList OtpStatus::get_credentials() const {
  std::lock_guard<std::mutex> lock(fields_mutex);
  return credentials;
}

QVariantMap OtpStatus::get_credential_code() const {
  std::lock_guard<std::mutex> lock(fields_mutex);
  return credential_code;
}

QString OtpStatus::get_credentials_message() const {
  std::lock_guard<std::mutex> lock(fields_mutex);
  return credentials_message;
}

void OtpStatus::set_credentials_message(const QString& message) {
  {
    std::lock_guard<std::mutex> lock(fields_mutex);
    if (credentials_message == message) return;
    credentials_message = message;
  }
  emit credentials_message_changed();
}

bool OtpStatus::is_totp(const QString& serial) const {
  std::lock_guard<std::mutex> lock(fields_mutex);
  return std::any_of(credentials.begin(), credentials.end(), [&](const QVariant& row) {
    const QVariantMap credential = row.toMap();
    return credential.value("serial").toString() == serial && credential.value("totp").toBool();
  });
}

void OtpStatus::ask(const std::function<void(Requests&)>& change) {
  {
    std::lock_guard<std::mutex> lock(requests_mutex);
    change(requests);
    requests.touch = false;  // asked anew: the key may have been touched since
  }
  run_requests();
}

void OtpStatus::refresh_credentials() {
  ask([](Requests& pending) { pending.list = true; });
}

void OtpStatus::select_credential(const QString& serial) {
  if (serial == selected_serial) return;
  selected_serial = serial;
  store_credential_code({});
  credentials_tick();
}

void OtpStatus::make_active(const QString& serial) {
  if (!is_totp(serial)) {
    LOG(WARNING) << "Only a TOTP credential is made active here, not " << serial.toStdString();
    return;
  }
  ask([&](Requests& pending) { pending.activate = bytes_of(serial); });
}

void OtpStatus::credentials_tick() {
  const std::int64_t index = now_ms() / (step * 1000);
  bool taken_down = false;
  bool wanted = false;
  {
    std::lock_guard<std::mutex> lock(fields_mutex);
    if (!credential_code.isEmpty() && credential_code.value("counter").toLongLong() != index) {
      credential_code.clear();
      taken_down = true;
    }
    wanted = credential_code.isEmpty();
  }
  if (taken_down) emit credential_code_changed();
  wanted = wanted && is_totp(selected_serial);
  ask([&](Requests& pending) {
    if (wanted && !pending.code) pending.code = bytes_of(selected_serial);
  });
}

bool OtpStatus::requests_to_run() {
  std::lock_guard<std::mutex> lock(requests_mutex);
  return requests.any() && !requests.touch;
}

void OtpStatus::run_requests() {
  if (requests_to_run()) start_worker([this] { serve_requests(); });
}

void OtpStatus::read_credentials() {
  if (serial_bytes.empty()) {
    key->op_get_active(serial_bytes);
    if (store_serial_text()) emit serial_num_changed();
  }
  std::vector<User> listed;
  key->op_get_user_info(listed);
  users = std::move(listed);
  QVariantList rows;
  for (const User& user : users) {
    rows.append(QVariantMap{{"serial", text_of(user.serial_number)},
                            {"algorithm", algorithm_name(user.algorithm)},
                            {"hash", hash_name(user.type)},
                            {"totp", user.algorithm == 2},
                            {"active", user.serial_number == serial_bytes}});
  }
  store_credentials(rows);
  store_token_info();
}

void OtpStatus::store_credentials(const QVariantList& rows) {
  {
    std::lock_guard<std::mutex> lock(fields_mutex);
    credentials = rows;
  }
  emit credentials_changed();
}

void OtpStatus::store_credential_code(const QVariantMap& code) {
  {
    std::lock_guard<std::mutex> lock(fields_mutex);
    credential_code = code;
  }
  emit credential_code_changed();
}

void OtpStatus::serve_requests() {
  for (;;) {
    Requests next;  // one of them, the activation first
    {
      std::lock_guard<std::mutex> lock(requests_mutex);
      if (requests.activate)
        next.activate = requests.activate;
      else if (requests.list)
        next.list = true;
      else if (requests.code)
        next.code = requests.code;
      else
        return;
    }
    const std::int64_t index = now_ms() / (step * 1000);
    std::unique_lock<std::mutex> key_lock(key_mutex);
    try {
      if (next.activate) {
        ::make_active(*key, *next.activate);
        LOG(INFO) << "Made active: " << text_of(*next.activate).toStdString();
        serial_bytes = *next.activate;
        if (store_serial_text()) emit serial_num_changed();
        {
          // The main page asks for the new credential's code at its next tick.
          std::lock_guard<std::mutex> fields(fields_mutex);
          last_counter = -1;
        }
        show_failure("");
        read_credentials();
      } else if (next.list) {
        read_credentials();
      } else {
        int d = 0;
        const std::uint32_t code = ::credential_code(*key, *next.code, d);
        QVariantMap shown{{"serial", text_of(*next.code)}, {"counter", static_cast<qlonglong>(index)}};
        if (now_ms() / (step * 1000) == index) {
          shown.insert("otp", static_cast<qlonglong>(code));
          shown.insert("digits", d);
        }
        store_credential_code(shown);
      }
      set_credentials_message("");
    } catch (const KeyNoObjectException&) {
      // Everything stays asked for; the dialog's next tick tries again.
      set_credentials_message(press_key_text);
      std::lock_guard<std::mutex> lock(requests_mutex);
      requests.touch = true;
      return;
    } catch (const KeyAccessException&) {
      LOG(ERROR) << "Credentials: key access error";
      set_credentials_message("Failed to access the key.\nRe-plug in the key!");
      std::lock_guard<std::mutex> lock(requests_mutex);
      requests = Requests{};
      return;
    } catch (const std::runtime_error& e) {
      LOG(ERROR) << "Credentials: " << e.what();
      set_credentials_message(QString::fromStdString(e.what()));
      // No code for this step: asked again when the next one starts, not at every tick.
      if (next.code) store_credential_code({{"serial", text_of(*next.code)}, {"counter", static_cast<qlonglong>(index)}});
    }
    key_lock.unlock();
    // Done or failed: forgotten, unless asked again for another credential meanwhile.
    std::lock_guard<std::mutex> lock(requests_mutex);
    if (next.activate && requests.activate == next.activate) requests.activate.reset();
    if (next.list) requests.list = false;
    if (next.code && requests.code == next.code) requests.code.reset();
  }
}

bool OtpStatus::start_worker(std::function<void()> body) {
  // A worker that has not finished, even one not yet holding key_mutex, makes the tick skip:
  // joining it would hold the window for a whole key operation.
  if (worker && !worker_done) return false;
  if (worker && worker->joinable()) worker->join();
  worker_done = false;
  try {
    worker = std::make_shared<std::thread>([this, body = std::move(body)] {
      platform::block_async_signals();
      try {
        body();
      } catch (const std::exception& e) {
        LOG(ERROR) << "Worker thread error: " << e.what();
      } catch (...) {
        LOG(ERROR) << "Worker thread error";
      }
      worker_done = true;
      // What the Credentials dialog asked for while this worker held the key.
      if (requests_to_run()) QMetaObject::invokeMethod(this, [this] { run_requests(); }, Qt::QueuedConnection);
    });
  } catch (const std::system_error& e) {
    worker_done = true;
    LOG(ERROR) << "Cannot start a worker thread: " << e.what();
    return false;
  }
  return true;
}

int OtpStatus::response_time_changed() {
  const std::int64_t now = now_ms();
  const std::int64_t index = now / (step * 1000);
  const int step_start = static_cast<int>(static_cast<std::uint32_t>(index * step));
  expire_code(now);
  if (index == get_last_counter()) return step_start;

  std::unique_lock<std::mutex> lock(key_mutex, std::try_to_lock);
  if (!lock.owns_lock()) return step_start;
  const bool need_serial = serial_bytes.empty();
  lock.unlock();

  if (need_serial) {
    // A newly opened key: its code follows the serial number on the same worker, not a tick later.
    start_worker([this] {
      if (update_serial_num()) update_otp(static_cast<std::uint64_t>(now_ms() / (step * 1000)));
    });
  } else {
    start_worker([this, index] { update_otp(static_cast<std::uint64_t>(index)); });
  }
  return step_start;
}

bool OtpStatus::async_query_token_info() {
  std::unique_lock<std::mutex> lock(key_mutex, std::try_to_lock);
  if (!lock.owns_lock()) return true;
  lock.unlock();
  start_worker([this] { query_token_info(); });
  return true;
}

std::int64_t OtpStatus::code_expiry_ms() const { return (std::int64_t{last_counter} + 1) * step * 1000 + grace_ms; }

void OtpStatus::expire_code(std::int64_t now) {
  {
    std::lock_guard<std::mutex> lock(fields_mutex);
    if (!code_shown || now < code_expiry_ms()) return;
    code_shown = false;
    otp = 0;
  }
  emit otp_changed();
}

void OtpStatus::schedule_expiry() {
  std::int64_t due = 0;
  {
    std::lock_guard<std::mutex> lock(fields_mutex);
    if (!code_shown) return;
    due = code_expiry_ms();
  }
  expiry.start(static_cast<int>(std::clamp<std::int64_t>(due - now_ms(), 0, std::int64_t{step} * 1000 + grace_ms)));
}

void OtpStatus::show_failure(const QString& message) {
  {
    std::lock_guard<std::mutex> lock(fields_mutex);
    otp = 0;
    code_shown = false;
    err_msg = message;
  }
  emit otp_changed();
}

void OtpStatus::update_otp(const std::uint64_t index) {
  LOG(INFO) << "update otp";
  std::lock_guard<std::mutex> lock(key_mutex);
  LOG(INFO) << "New thread started.";
  try {
    int d = 0;
    const std::uint32_t code = ::credential_code(*key, serial_bytes, d);
    LOG(INFO) << "value is " << code;
    if (static_cast<std::uint64_t>(now_ms() / (step * 1000)) != index) {
      LOG(INFO) << "The code came after its step ended; not shown";
      return;
    }
    {
      std::lock_guard<std::mutex> fields(fields_mutex);
      digits = d;
      otp = static_cast<int>(code);
      code_shown = true;
      last_counter = static_cast<int>(index);
    }
    emit otp_changed();
  } catch (const KeyNoObjectException&) {
    show_failure(press_key_text);
  } catch (const KeyAccessException&) {
    LOG(ERROR) << "Update otp key access error";
    show_failure("Failed to access the key.\nRe-plug in the key and\nclick the Rescan button!");
  } catch (const std::runtime_error&) {
    LOG(ERROR) << "Update otp runtime error";
    // The code on screen belongs to a step that has ended: clear it, keep the error text.
    {
      std::lock_guard<std::mutex> fields(fields_mutex);
      otp = 0;
      code_shown = false;
    }
    emit otp_changed();
  }
}

bool OtpStatus::update_serial_num() {
  LOG(INFO) << "update serial num";
  std::lock_guard<std::mutex> lock(key_mutex);
  LOG(INFO) << "New thread started.";
  try {
    key->op_get_active(serial_bytes);
    LOG(INFO) << "get serial num=" << hex_dump(serial_bytes).str();
    if (store_serial_text()) emit serial_num_changed();
    return !serial_bytes.empty();
  } catch (const KeyNoObjectException&) {
    show_failure(press_key_text);
  } catch (const KeyAccessException&) {
    LOG(ERROR) << "Get serial number error";
    show_failure("Failed to access the key.\nRe-plug in the key!");
  } catch (const std::runtime_error&) {
    LOG(ERROR) << "Update otp runtime error";
  }
  return false;
}
