#include "gui/app/main_frame.h"

#include "gui/desktop/copied_code.h"
#include "gui/desktop/device_event.h"
#include "gui/models/credentials.h"
#include "gui/models/key_session.h"
#include "gui/models/otp_status.h"
#include "gui/models/token_info.h"
#include "key/hid.h"
#include "key/platform.h"

#include <QFile>
#include <QGuiApplication>
#include <QQmlContext>

#include <easylogging++.h>

#include <algorithm>

// A usable key: its session, and its credential list, which every key keeps for the tray.
struct MainFrame::Key {
  int number;
  KeyInterface found;
  std::shared_ptr<KeySession> session;
  std::unique_ptr<Credentials> credentials;
};

namespace {

// A duration from the environment, for tests; fallback when unset or not a positive number.
int milliseconds_from_environment(const char* name, int fallback) {
  bool ok = false;
  const int value = qEnvironmentVariableIntValue(name, &ok);
  return ok && value > 0 ? value : fallback;
}

}  // namespace

MainFrame::MainFrame(QQmlContext* context, QGuiApplication* app, QObject* parent)
    : QObject(parent),
      copied_code(new CopiedCode(
          milliseconds_from_environment("UMBRATA_COPIED_CODE_LIFETIME_MS", CopiedCode::default_lifetime_ms), this)),
      context(context),
      device_event(std::make_unique<DeviceEvent>()) {
  connect(copied_code, &CopiedCode::left_changed, this, [this] { set_copied_code_left(copied_code->is_left()); });
  // While the application still runs: Qt's X11 clipboard hands what it owns to a clipboard
  // manager when it is destroyed.
  connect(app, &QCoreApplication::aboutToQuit, copied_code, &CopiedCode::forget);
  connect(device_event.get(), &DeviceEvent::hid_changed, this, &MainFrame::hid_change_event);
  app->installNativeEventFilter(device_event.get());
  publish_models();
  const auto windows = QGuiApplication::allWindows();
  device_event->register_event(windows.isEmpty() ? nullptr : windows.first());
}

MainFrame::~MainFrame() {
  if (keys.empty()) return;
  drop_shown();
  // The tray reads every key's credential list: the views let go of them before they go.
  const auto gone = std::move(keys);
  keys.clear();
  emit keys_changed();
}

void MainFrame::publish_models() {
  context->setContextProperty("otp_status", otp_status.get());
  context->setContextProperty("credentials", shown ? shown->credentials.get() : nullptr);
  context->setContextProperty("token_info", token_info.get());
}

// What names a key for good: its USB serial number; without one, its path, which a replug changes.
QString MainFrame::identity_of(const KeyInterface& found) {
  const QString usb_serial = QString::fromStdWString(found.usb_serial);
  return usb_serial.isEmpty() ? QString::fromStdString(found.path) : usb_serial;
}

std::string MainFrame::name_of(const Key& key) {
  return "key " + std::to_string(key.number) + " (" + identity_of(key.found).toStdString() + ")";
}

void MainFrame::drop_shown() {
  otp_status.reset();
  token_info.reset();
  shown = nullptr;
  publish_models();
}

void MainFrame::show(Key* key) {
  drop_shown();
  shown = key;
  if (key) {
    otp_status = std::make_unique<OtpStatus>(key->session, true);
    token_info = std::make_unique<TokenInfo>(key->session);
    connect(key->credentials.get(), &Credentials::made_active, otp_status.get(), &OtpStatus::use_credential);
    connect(key->credentials.get(), &Credentials::made_active, token_info.get(), &TokenInfo::refresh);
    LOG(INFO) << "Showing " << name_of(*key);
  }
  publish_models();
  emit keys_changed();
  emit show_otp_status();
}

void MainFrame::rescan_key() {
  // Kept until the views have let go of them, as keys_changed at the end says.
  std::vector<std::unique_ptr<Key>> gone;
  bool shown_went = false;
  const std::size_t had = keys.size();
  for (auto it = keys.begin(); it != keys.end();) {
    if ((*it)->session->is_key_alive()) {
      ++it;
      continue;
    }
    LOG(INFO) << "Lost " << name_of(**it);
    // Unpublished before its session and list go; show() below says what is shown instead.
    if (it->get() == shown) {
      drop_shown();
      shown_went = true;
    }
    gone.push_back(std::move(*it));
    it = keys.erase(it);
  }
  bool changed = keys.size() != had;

  LOG(INFO) << "Scanning for keys";
  const std::vector<KeyInterface> interfaces = HID().list_interfaces(orvalin_vendor_id);
  bool administrators_only = false;
  Key* arrived_chosen = nullptr;
  for (const KeyInterface& found : interfaces) {
    if (std::any_of(keys.begin(), keys.end(), [&](const auto& key) { return key->found.path == found.path; })) continue;
    if (found.access == KeyAccess::administrators_only) {
      administrators_only = true;
      continue;
    }
    std::shared_ptr<UsbKey> opened = HID().open(found.path);
    if (!opened) continue;
    const int number = numbers.emplace(identity_of(found), static_cast<int>(numbers.size()) + 1).first->second;
    auto key = std::make_unique<Key>(Key{number, found, std::make_shared<KeySession>(opened), nullptr});
    key->credentials = std::make_unique<Credentials>(key->session, credentials_tick_ms);
    connect(key->credentials.get(), &Credentials::rows_changed, this, &MainFrame::keys_changed);
    // Read as the key arrives, not as a menu opens: Windows' tray menu does not change while it
    // is open, so the first one must hold every credential already. Queued behind the model's
    // first tick, so that the code comes first.
    QMetaObject::invokeMethod(key->credentials.get(), &Credentials::refresh, Qt::QueuedConnection);
    LOG(INFO) << "Found " << name_of(*key) << " at " << found.path;
    if (!found.usb_serial.empty() && QString::fromStdWString(found.usb_serial) == chosen_key) arrived_chosen = key.get();
    const auto at = std::upper_bound(keys.begin(), keys.end(), number, [](int n, const auto& k) { return n < k->number; });
    keys.insert(at, std::move(key));
    changed = true;
  }
  if (keys.empty()) LOG(INFO) << "No key found";
  set_access_rule_installed(platform::key_access_rule_installed());
  set_key_without_access(keys.empty() && !interfaces.empty());
  set_key_needs_administrator(keys.empty() && administrators_only);

  // The chosen key when it comes back; else the one shown, while it stays; else the first.
  Key* next = arrived_chosen ? arrived_chosen : shown ? shown : keys.empty() ? nullptr : keys.front().get();
  if (next == shown && next != nullptr) {
    if (changed) emit keys_changed();
    return;
  }
  show(next);
  if (shown_went && next) emit shown_key_replaced(next->number);
}

void MainFrame::choose_key(int number) {
  const auto chosen = std::find_if(keys.begin(), keys.end(), [&](const auto& key) { return key->number == number; });
  if (chosen == keys.end()) return;
  LOG(INFO) << "The user chose " << name_of(**chosen);
  const QString usb_serial = QString::fromStdWString((*chosen)->found.usb_serial);
  if (usb_serial != chosen_key) {
    chosen_key = usb_serial;
    emit chosen_key_changed();
  }
  if (chosen->get() != shown) show(chosen->get());
}

QVariantList MainFrame::get_keys() const {
  QVariantList list;
  for (const auto& key : keys) {
    QString active;
    for (const QVariant& row : key->credentials->get_rows())
      if (row.toMap().value("active").toBool()) active = row.toMap().value("serial").toString();
    list.append(QVariantMap{{"number", key->number},
                            {"usb_serial", QString::fromStdWString(key->found.usb_serial)},
                            {"active", active},
                            {"shown", key.get() == shown},
                            {"credentials", QVariant::fromValue(static_cast<QObject*>(key->credentials.get()))}});
  }
  return list;
}

void MainFrame::set_key_without_access(bool on) {
  if (on == key_without_access) return;
  key_without_access = on;
  emit key_without_access_changed();
}

void MainFrame::set_key_needs_administrator(bool on) {
  if (on == key_needs_administrator) return;
  key_needs_administrator = on;
  emit key_needs_administrator_changed();
}

void MainFrame::copy_to_clipboard(QString str) {
  copied_code->copy(str);
  emit copied();
}

void MainFrame::set_clearing_copied_codes(bool on) { copied_code->set_clearing(on); }

int MainFrame::get_copied_code_seconds() const { return (copied_code->lifetime_ms() + 500) / 1000; }

void MainFrame::set_copied_code_left(bool on) {
  if (on == copied_code_left) return;
  copied_code_left = on;
  emit copied_code_left_changed();
}

void MainFrame::set_access_rule_installed(bool on) {
  if (on == access_rule_installed) return;
  access_rule_installed = on;
  emit access_rule_installed_changed();
}

QString MainFrame::get_user_guide() {
  QFile guide(QStringLiteral(":/user_guide.md"));
  return guide.open(QIODevice::ReadOnly) ? QString::fromUtf8(guide.readAll()) : QString();
}
