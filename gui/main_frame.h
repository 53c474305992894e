#pragma once

#include <QObject>
#include <QString>

#include <memory>

class CopiedCode;
class Credentials;
class DeviceEvent;
class KeySession;
class OtpStatus;
class QGuiApplication;
class QQmlContext;
class TokenInfo;
class TrayHost;

// Published to the views as "main_frame": decides which key the program works with, opens a key
// session on it with its models ("otp_status", "credentials" and "token_info", null while there
// is no key), and holds what the window does beyond the key: the clipboard, the tray's settings,
// the start at login. Everything runs on the GUI thread.
class MainFrame : public QObject {
  Q_OBJECT
  // True while no key is usable but discovery saw a key of the vendor that it may not open.
  Q_PROPERTY(bool key_without_access READ get_key_without_access NOTIFY key_without_access_changed)
  // Whether a copied code leaves the clipboard after its lifetime and when the program quits.
  // Remembered across runs; on unless the user turned it off.
  Q_PROPERTY(bool clear_copied_codes READ get_clear_copied_codes WRITE set_clear_copied_codes NOTIFY
                 clear_copied_codes_changed)
  // True while the desktop refuses to take a copied code out of the clipboard (a Wayland
  // compositor without data control, until the window's next input).
  Q_PROPERTY(bool copied_code_left READ get_copied_code_left NOTIFY copied_code_left_changed)
  // True while no key is usable but one was refused for want of administrator rights (Windows).
  Q_PROPERTY(bool key_needs_administrator READ get_key_needs_administrator NOTIFY key_needs_administrator_changed)
  // False when the program runs as administrator already: a restart would change nothing.
  Q_PROPERTY(bool can_restart_as_administrator READ get_can_restart_as_administrator NOTIFY
                 can_restart_as_administrator_changed)
  // True while the udev rule that grants access to the key is installed, as of the last scan.
  Q_PROPERTY(bool access_rule_installed READ get_access_rule_installed NOTIFY access_rule_installed_changed)
  // The README's sections for users, compiled in: the Help menu's user guide, in Markdown.
  Q_PROPERTY(QString user_guide READ get_user_guide CONSTANT)
  // True while the desktop can show the tray icon.
  Q_PROPERTY(bool tray_available READ get_tray_available NOTIFY tray_available_changed)
  // Whether closing the window leaves the program in the tray. Remembered; off by default.
  Q_PROPERTY(bool keep_in_tray READ get_keep_in_tray WRITE set_keep_in_tray NOTIFY keep_in_tray_changed)
  // Whether the program starts, hidden in the tray, when the user logs in: what is there (the XDG
  // entry, the Run value, the logon task), not what was last chosen. Off by default.
  Q_PROPERTY(bool start_at_login READ get_start_at_login WRITE set_start_at_login NOTIFY start_at_login_changed)
  // True while what starts the program at login starts it without administrator rights, which the
  // key needs on Windows (a Run value): the window says so beside the setting.
  Q_PROPERTY(bool start_at_login_unelevated READ get_start_at_login_unelevated NOTIFY start_at_login_changed)

 public:
  MainFrame(QQmlContext* context, QGuiApplication* app, QObject* parent = nullptr);
  // Publishes null models before they go, so the views never read a dead one.
  ~MainFrame() override;

  // Keeps a session whose key still answers; otherwise closes it, runs discovery, opens a session
  // on the first key found, publishes its models (or null) and emits show_otp_status.
  Q_INVOKABLE void rescan_key();
  // Puts str on the clipboard, marked as a secret that clipboard managers keep out of their
  // history, and emits copied.
  Q_INVOKABLE void copy_to_clipboard(QString str);
  // Starts the program again as administrator (the system asks the user) and quits this one;
  // when the restart does not start, for instance because the user said no, this one runs on.
  Q_INVOKABLE virtual void restart_as_administrator();
  bool get_key_without_access() const { return key_without_access; }
  bool get_key_needs_administrator() const { return key_needs_administrator; }
  bool get_can_restart_as_administrator() const { return can_restart_as_administrator; }
  bool get_clear_copied_codes() const { return clear_copied_codes; }
  bool get_copied_code_left() const { return copied_code_left; }
  void set_clear_copied_codes(bool on);
  bool get_access_rule_installed() const { return access_rule_installed; }
  static QString get_user_guide();
  bool get_tray_available() const;
  bool get_keep_in_tray() const { return keep_in_tray; }
  void set_keep_in_tray(bool on);
  bool get_start_at_login() const { return start_at_login; }
  void set_start_at_login(bool on);
  bool get_start_at_login_unelevated() const { return start_at_login_unelevated; }

  // How long a copied code stays on the clipboard, and the models' tick: UMBRATA_COPIED_CODE_LIFETIME_MS
  // and UMBRATA_TICK_MS override them, so that tests need not wait out real half-minutes.
  static constexpr int copied_code_lifetime_ms = 30000;
  static constexpr int tick_ms = 600;

 signals:
  void show_otp_status();
  void hid_change_event();
  // Another start of the program asked for the window.
  void show_window_requested();
  void copied();
  void key_without_access_changed();
  void key_needs_administrator_changed();
  void can_restart_as_administrator_changed();
  void clear_copied_codes_changed();
  void copied_code_left_changed();
  void access_rule_installed_changed();
  void tray_available_changed();
  void keep_in_tray_changed();
  void start_at_login_changed();

 protected:
  void set_key_without_access(bool on);
  void set_key_needs_administrator(bool on);
  void set_can_restart_as_administrator(bool on);
  void set_access_rule_installed(bool on);
  void set_copied_code_left(bool on);
  void publish_models();

 private:
  bool key_without_access = false;
  bool key_needs_administrator = false;
  bool can_restart_as_administrator = false;
  bool clear_copied_codes = true;
  bool keep_in_tray = false;
  bool start_at_login = false;
  bool start_at_login_unelevated = false;
  // Once the user has chosen, a logon task's late answer no longer moves the check mark.
  bool start_at_login_chosen = false;
  bool logon_task_asked = false;
  bool copied_code_left = false;
  CopiedCode* copied_code;
  bool access_rule_installed = false;
  int model_tick_ms;
  std::shared_ptr<KeySession> session;
  std::unique_ptr<OtpStatus> otp_status;
  std::unique_ptr<Credentials> credentials;
  std::unique_ptr<TokenInfo> token_info;
  QQmlContext* context;
  QGuiApplication* app;
  std::shared_ptr<DeviceEvent> device_event;
  TrayHost* tray_host;

 private slots:
  // Asks whether a logon task starts the program once the window has shown its first frame:
  // schtasks takes seconds, and answers later.
  void ask_logon_task();
};
