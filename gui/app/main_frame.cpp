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
  if (session) {
    otp_status.reset();
    credentials.reset();
    token_info.reset();
    publish_models();
  }
}

void MainFrame::publish_models() {
  context->setContextProperty("otp_status", otp_status.get());
  context->setContextProperty("credentials", credentials.get());
  context->setContextProperty("token_info", token_info.get());
}

void MainFrame::rescan_key() {
  if (session && session->is_key_alive()) return;

  if (session) {
    otp_status.reset();
    credentials.reset();
    token_info.reset();
    publish_models();
    session.reset();
  }

  LOG(INFO) << "Scanning for keys";
  const std::vector<FoundKey> found = HID().find_device(orvalin_vendor_id);
  const auto usable = std::find_if(found.begin(), found.end(), [](const FoundKey& f) { return f.key != nullptr; });
  const std::shared_ptr<UsbKey> key = usable == found.end() ? nullptr : usable->key;
  LOG(INFO) << (key ? "Using the first key found" : "No key found");
  set_access_rule_installed(platform::key_access_rule_installed());
  set_key_without_access(!key && !found.empty());
  set_key_needs_administrator(!key && std::any_of(found.begin(), found.end(), [](const FoundKey& f) {
                                return f.found.access == KeyAccess::administrators_only;
                              }));

  if (key) {
    session = std::make_shared<KeySession>(key);
    otp_status = std::make_unique<OtpStatus>(session, true);
    credentials = std::make_unique<Credentials>(session, credentials_tick_ms);
    token_info = std::make_unique<TokenInfo>(session);
    connect(credentials.get(), &Credentials::made_active, otp_status.get(), &OtpStatus::use_credential);
    connect(credentials.get(), &Credentials::made_active, token_info.get(), &TokenInfo::refresh);
    // Read as the key arrives, not as a menu opens: Windows' tray menu does not change while it
    // is open, so the first one must hold every credential already. Queued behind the model's
    // first tick, so that the code comes first.
    QMetaObject::invokeMethod(credentials.get(), &Credentials::refresh, Qt::QueuedConnection);
  }
  publish_models();
  emit show_otp_status();
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
