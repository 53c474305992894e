#include "gui/main_frame.h"

#include "gui/autostart.h"
#include "gui/copied_code.h"
#include "gui/credentials.h"
#include "gui/desktop.h"
#include "gui/key_session.h"
#include "gui/otp_status.h"
#include "gui/single_instance.h"
#include "gui/token_info.h"
#include "gui/tray_host.h"
#include "gui/windows/device_event.h"
#include "key/hid.h"
#include "key/platform.h"

#include <QFile>
#include <QGuiApplication>
#include <QQmlContext>
#include <QSettings>
#include <QWindow>

#include <easylogging++.h>

#include <algorithm>

namespace {

// Beside the log folder's names: ~/.config/Orvalin Direzoda/Umbrata.conf on Linux.
QSettings user_settings() { return QSettings(QStringLiteral("Orvalin Direzoda"), QStringLiteral("Umbrata")); }
const QString clear_copied_codes_key = QStringLiteral("clipboard/clear_copied_codes");
const QString keep_in_tray_key = QStringLiteral("tray/keep_running");
const QString start_at_login_key = QStringLiteral("session/start_at_login");

// A duration from the environment, for tests; fallback when unset or not a positive number.
int milliseconds_from_environment(const char* name, int fallback) {
  bool ok = false;
  const int value = qEnvironmentVariableIntValue(name, &ok);
  return ok && value > 0 ? value : fallback;
}

}  // namespace

MainFrame::MainFrame(QQmlContext* context, QGuiApplication* app, QObject* parent)
    : QObject(parent),
      copied_code(new CopiedCode(milliseconds_from_environment("UMBRATA_COPIED_CODE_LIFETIME_MS", copied_code_lifetime_ms), this)),
      model_tick_ms(milliseconds_from_environment("UMBRATA_TICK_MS", tick_ms)),
      context(context),
      app(app),
      tray_host(new TrayHost(this)) {
  const QSettings settings = user_settings();
  clear_copied_codes = settings.value(clear_copied_codes_key, true).toBool();
  keep_in_tray = settings.value(keep_in_tray_key, false).toBool();
  start_at_login = autostart::enabled();
  start_at_login_unelevated = start_at_login && autostart::starts_unelevated();
  if (!start_at_login && autostart::may_have_logon_task()) {
    // The last choice until a logon task's query answers, or when it fails.
    start_at_login = settings.value(start_at_login_key, false).toBool();
    for (QWindow* window : QGuiApplication::allWindows()) {
      if (window->metaObject()->indexOfSignal("frameSwapped()") < 0) continue;
      connect(window, SIGNAL(frameSwapped()), this, SLOT(ask_logon_task()));
      break;
    }
  }
  connect(tray_host, &TrayHost::available_changed, this, [this] {
    // The window makes its icon at once.
    if (tray_host->available()) LOG(INFO) << "The tray icon is shown";
    emit tray_available_changed();
  });
  can_restart_as_administrator = !platform::running_elevated();
  connect(copied_code, &CopiedCode::left_changed, this, [this] { set_copied_code_left(copied_code->is_left()); });
  // While the application still runs: Qt's X11 clipboard hands what it owns to a clipboard
  // manager when it is destroyed.
  connect(app, &QCoreApplication::aboutToQuit, copied_code, &CopiedCode::forget);
  device_event = std::make_shared<DeviceEvent>(this);
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
  std::vector<std::shared_ptr<OTPUsbKey>> otp_keys;
  std::vector<std::shared_ptr<U2FUsbKey>> u2f_keys;
  std::vector<KeyInterface> seen;
  HID().find_device(orvalin_vendor_id, otp_keys, u2f_keys, &seen);
  LOG(INFO) << (u2f_keys.empty() ? "No key found" : "Using the first key found");
  set_access_rule_installed(platform::key_access_rule_installed());
  set_key_without_access(u2f_keys.empty() && !seen.empty());
  set_key_needs_administrator(u2f_keys.empty() && std::any_of(seen.begin(), seen.end(), [](const KeyInterface& i) {
                                return i.needs_administrator;
                              }));
  std::shared_ptr<UsbKey> key;
  if (!u2f_keys.empty()) key = u2f_keys.front();
  otp_keys.clear();
  u2f_keys.clear();

  if (key) {
    session = std::make_shared<KeySession>(key);
    otp_status = std::make_unique<OtpStatus>(session, model_tick_ms);
    credentials = std::make_unique<Credentials>(session, model_tick_ms);
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

void MainFrame::set_can_restart_as_administrator(bool on) {
  if (on == can_restart_as_administrator) return;
  can_restart_as_administrator = on;
  emit can_restart_as_administrator_changed();
}

void MainFrame::restart_as_administrator() {
  // The elevated copy must find the session's instance free, or it would show this window and
  // end, leaving nothing running: this one lets go of it first, and takes it back when the copy
  // does not start.
  SingleInstance* instance = app->findChild<SingleInstance*>();
  if (instance) instance->release();
  if (!desktop::restart_as_administrator(QCoreApplication::arguments().mid(1))) {
    LOG(WARNING) << "The restart as administrator did not start";
    if (!instance || instance->take_back()) return;
    LOG(WARNING) << "Another start became the session's instance meanwhile: this one quits";
    QCoreApplication::quit();
    return;
  }
  LOG(INFO) << "Restarted as administrator: this instance quits";
  QCoreApplication::quit();
}

void MainFrame::copy_to_clipboard(QString str) {
  copied_code->copy(str, clear_copied_codes);
  emit copied();
}

void MainFrame::set_clear_copied_codes(bool on) {
  if (on == clear_copied_codes) return;
  clear_copied_codes = on;
  if (!on) copied_code->drop();
  user_settings().setValue(clear_copied_codes_key, on);
  emit clear_copied_codes_changed();
}

bool MainFrame::get_tray_available() const { return tray_host->available(); }

void MainFrame::set_keep_in_tray(bool on) {
  if (on == keep_in_tray) return;
  keep_in_tray = on;
  user_settings().setValue(keep_in_tray_key, on);
  emit keep_in_tray_changed();
}

void MainFrame::set_start_at_login(bool on) {
  if (on == start_at_login) return;
  start_at_login_chosen = true;
  // Started hidden: the tray icon or a second start shows the window.
  if (!autostart::set_enabled(on, QCoreApplication::applicationFilePath(), {QStringLiteral("--hidden")})) {
    emit start_at_login_changed();  // the menu's check mark goes back
    return;
  }
  start_at_login = on;
  start_at_login_unelevated = on && autostart::starts_unelevated();
  user_settings().setValue(start_at_login_key, on);
  emit start_at_login_changed();
}

void MainFrame::ask_logon_task() {
  // Frames may have been queued from the render thread before the first one disconnected.
  if (logon_task_asked) return;
  logon_task_asked = true;
  disconnect(sender(), SIGNAL(frameSwapped()), this, SLOT(ask_logon_task()));
  autostart::ask_logon_task(this, [this](bool exists) {
    if (start_at_login_chosen || exists == start_at_login) return;
    start_at_login = exists;
    user_settings().setValue(start_at_login_key, exists);
    emit start_at_login_changed();
  });
}

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
