#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class DeviceEvent;
class OtpStatus;
class QGuiApplication;
class QQmlContext;

// Published to the views as "main_frame": decides which key the program works with, publishes
// its model as "otp_status" (null while there is none), and announces device changes.
// Everything runs on the GUI thread.
class MainFrame : public QObject {
  Q_OBJECT
  // True while no key is usable but discovery saw a key of the vendor that it may not open.
  Q_PROPERTY(bool key_without_access READ get_key_without_access NOTIFY key_without_access_changed)
  // Whether a copied code leaves the clipboard after copied_code_lifetime_ms and when the program
  // quits. Remembered across runs; on unless the user turned it off.
  Q_PROPERTY(bool clear_copied_codes READ get_clear_copied_codes WRITE set_clear_copied_codes NOTIFY
                 clear_copied_codes_changed)
  // True while no key is usable but one was refused for want of administrator rights (Windows).
  Q_PROPERTY(bool key_needs_administrator READ get_key_needs_administrator NOTIFY key_needs_administrator_changed)
  // False when the program runs as administrator already: a restart would change nothing.
  Q_PROPERTY(bool can_restart_as_administrator READ get_can_restart_as_administrator NOTIFY
                 can_restart_as_administrator_changed)
  // True while the udev rule that grants access to the key is installed, as of the last scan.
  Q_PROPERTY(bool access_rule_installed READ get_access_rule_installed NOTIFY access_rule_installed_changed)
  // The README's sections for users, compiled in: the Help menu's user guide, in Markdown.
  Q_PROPERTY(QString user_guide READ get_user_guide CONSTANT)

 public:
  MainFrame(QQmlContext* context, QGuiApplication* app, QObject* parent = nullptr);
  // Publishes a null "otp_status" before the model goes, so the views never read a dead one.
  ~MainFrame() override;

  // Keeps a model whose key still answers; otherwise drops it, runs discovery, wraps the first
  // key found in a new model, publishes it (or null) and emits show_otp_status.
  Q_INVOKABLE void rescan_key();
  // Puts str on the clipboard, marked as a secret that clipboard managers keep out of their history.
  Q_INVOKABLE void copy_to_clipboard(QString str);
  // Starts the program again as administrator (the system asks the user) and quits this one;
  // when the restart does not start, for instance because the user said no, this one runs on.
  Q_INVOKABLE virtual void restart_as_administrator();
  bool get_key_without_access() const { return key_without_access; }
  bool get_key_needs_administrator() const { return key_needs_administrator; }
  bool get_can_restart_as_administrator() const { return can_restart_as_administrator; }
  bool get_clear_copied_codes() const { return clear_copied_codes; }
  void set_clear_copied_codes(bool on);

  static constexpr int copied_code_lifetime_ms = 30000;
  bool get_access_rule_installed() const { return access_rule_installed; }
  static QString get_user_guide();

 signals:
  void show_otp_status();
  void hid_change_event();
  void key_without_access_changed();
  void key_needs_administrator_changed();
  void can_restart_as_administrator_changed();
  void clear_copied_codes_changed();
  void access_rule_installed_changed();

 protected:
  void set_key_without_access(bool on);
  void set_key_needs_administrator(bool on);
  void set_can_restart_as_administrator(bool on);
  void set_access_rule_installed(bool on);

 private:
  // Empties the clipboard if it still holds exactly the code that we put there; what the user
  // copied since is never touched.
  void forget_copied_code();

  bool key_without_access = false;
  bool key_needs_administrator = false;
  bool can_restart_as_administrator = false;
  bool clear_copied_codes = true;
  QString copied_code;
  QTimer copied_code_expiry;
  bool access_rule_installed = false;
  std::shared_ptr<OtpStatus> otp_status;
  QQmlContext* context;
  QGuiApplication* app;
  std::shared_ptr<DeviceEvent> device_event;
};
