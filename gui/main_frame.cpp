#include "gui/main_frame.h"

#include "gui/gui.h"
#include "gui/windows/device_event.h"
#include "key/hid.h"
#include "key/platform.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QQmlContext>
#include <QWindow>

#include <easylogging++.h>

MainFrame::MainFrame(QQmlContext* context, QGuiApplication* app, QObject* parent)
    : QObject(parent), context(context), app(app) {
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

void MainFrame::set_access_rule_installed(bool on) {
  if (on == access_rule_installed) return;
  access_rule_installed = on;
  emit access_rule_installed_changed();
}

QString MainFrame::get_user_guide() {
  QFile guide(QStringLiteral(":/user_guide.md"));
  return guide.open(QIODevice::ReadOnly) ? QString::fromUtf8(guide.readAll()) : QString();
}

void MainFrame::copy_to_clipboard(QString str) { QGuiApplication::clipboard()->setText(str, QClipboard::Clipboard); }
