#include "gui/main_frame.h"

#include "gui/desktop.h"
#include "gui/gui.h"
#include "gui/windows/device_event.h"
#include "key/hid.h"
#include "key/platform.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QQmlContext>
#include <QSettings>
#include <QWindow>

#include <easylogging++.h>

#include <algorithm>

namespace {

// Beside the log folder's names: ~/.config/Orvalin Direzoda/Umbrata.conf on Linux.
QSettings user_settings() { return QSettings(QStringLiteral("Orvalin Direzoda"), QStringLiteral("Umbrata")); }
const QString clear_copied_codes_key = QStringLiteral("clipboard/clear_copied_codes");

}  // namespace

MainFrame::MainFrame(QQmlContext* context, QGuiApplication* app, QObject* parent)
    : QObject(parent), context(context), app(app) {
  clear_copied_codes = user_settings().value(clear_copied_codes_key, true).toBool();
  can_restart_as_administrator = !platform::running_elevated();
  copied_code_expiry.setSingleShot(true);
  copied_code_expiry.setInterval(copied_code_lifetime_ms);
  connect(&copied_code_expiry, &QTimer::timeout, this, &MainFrame::forget_copied_code);
  // While the application still runs: Qt's X11 clipboard hands what it owns to a clipboard
  // manager when it is destroyed.
  connect(app, &QCoreApplication::aboutToQuit, this, &MainFrame::forget_copied_code);
  device_event = std::make_shared<DeviceEvent>(this);
  app->installNativeEventFilter(device_event.get());
  context->setContextProperty("otp_status", static_cast<QObject*>(nullptr));
  const auto windows = QGuiApplication::allWindows();
  device_event->register_event(windows.isEmpty() ? nullptr : windows.first());
}

MainFrame::~MainFrame() {
  if (otp_status) context->setContextProperty("otp_status", static_cast<QObject*>(nullptr));
}

void MainFrame::rescan_key() {
  if (otp_status && otp_status->is_key_alive()) return;

  if (otp_status) {
    context->setContextProperty("otp_status", static_cast<QObject*>(nullptr));
    otp_status.reset();
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

  if (key) otp_status = std::make_shared<OtpStatus>(key);
  context->setContextProperty("otp_status", otp_status.get());
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
  if (!desktop::restart_as_administrator(QCoreApplication::arguments().mid(1))) {
    LOG(WARNING) << "The restart as administrator did not start";
    return;
  }
  LOG(INFO) << "Restarted as administrator: this instance quits";
  QCoreApplication::quit();
}

void MainFrame::copy_to_clipboard(QString str) {
  auto* data = new QMimeData;
  data->setText(str);
  desktop::mark_secret(*data);
  QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
  copied_code = str;
  if (clear_copied_codes) copied_code_expiry.start();
}

void MainFrame::forget_copied_code() {
  copied_code_expiry.stop();
  if (copied_code.isEmpty() || !clear_copied_codes) return;
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard->ownsClipboard() && clipboard->text(QClipboard::Clipboard) == copied_code) {
    clipboard->clear(QClipboard::Clipboard);
    LOG(INFO) << "The copied code was cleared from the clipboard";
  } else {
    LOG(INFO) << "The clipboard changed since the code was copied: left alone";
  }
  copied_code.clear();
}

void MainFrame::set_clear_copied_codes(bool on) {
  if (on == clear_copied_codes) return;
  clear_copied_codes = on;
  user_settings().setValue(clear_copied_codes_key, on);
  emit clear_copied_codes_changed();
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
