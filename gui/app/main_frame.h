#pragma once

#include <QObject>
#include <QString>
#include <QVariantList>

#include <map>
#include <memory>
#include <vector>

class CopiedCode;
class Credentials;
class DeviceEvent;
struct KeyInterface;
class KeySession;
class OtpStatus;
class QGuiApplication;
class QQmlContext;
class TokenInfo;

// Published to the views as "main_frame": keeps a key session on every usable key, each with its
// credential list, shows one of them with its models ("otp_status", "credentials" and
// "token_info", null while there is no key), says why no key is usable, and puts copied codes on
// the clipboard. Everything runs on the GUI thread.
class MainFrame : public QObject {
  Q_OBJECT
  // True while no key is usable but discovery saw a key of the vendor that it may not open.
  Q_PROPERTY(bool key_without_access READ get_key_without_access NOTIFY key_without_access_changed)
  // True while no key is usable but one was refused for want of administrator rights (Windows).
  Q_PROPERTY(bool key_needs_administrator READ get_key_needs_administrator NOTIFY key_needs_administrator_changed)
  // True while the udev rule that grants access to the key is installed, as of the last scan.
  Q_PROPERTY(bool access_rule_installed READ get_access_rule_installed NOTIFY access_rule_installed_changed)
  // True while the desktop refuses to take a copied code out of the clipboard (a Wayland
  // compositor without data control, until the window's next input).
  Q_PROPERTY(bool copied_code_left READ get_copied_code_left NOTIFY copied_code_left_changed)
  // How long a copied code stays on the clipboard while codes are cleared, in whole seconds;
  // UMBRATA_COPIED_CODE_LIFETIME_MS overrides it, so that tests need not wait out half-minutes.
  Q_PROPERTY(int copied_code_seconds READ get_copied_code_seconds CONSTANT)
  // The README's sections for users, compiled in: the Help menu's user guide, in Markdown.
  Q_PROPERTY(QString user_guide READ get_user_guide CONSTANT)
  // Every usable key, in the order first seen in this run: maps of number (1, 2...), usb_serial
  // (empty when the key reports none), active (its active credential's serial number, once its
  // list is read), shown, and credentials (its credential list, for the tray's menu).
  Q_PROPERTY(QVariantList keys READ get_keys NOTIFY keys_changed)

 public:
  MainFrame(QQmlContext* context, QGuiApplication* app, QObject* parent = nullptr);
  // Publishes null models before they go, so the views never read a dead one.
  ~MainFrame() override;

  // Closes the sessions of keys that no longer answer, runs discovery and opens a session on each
  // usable key that has none. When the shown key went, or the chosen one came back, shows that
  // one (or none), publishes its models and emits show_otp_status; with no key, every rescan does.
  Q_INVOKABLE void rescan_key();
  // Shows key number (as in keys), and remembers the choice by its USB serial number.
  Q_INVOKABLE void choose_key(int number);
  QVariantList get_keys() const;
  // The USB serial number of the key the user chose last: shown whenever it is plugged in.
  QString get_chosen_key() const { return chosen_key; }
  void set_chosen_key(const QString& usb_serial) { chosen_key = usb_serial; }
  // Puts str on the clipboard, marked as a secret that clipboard managers keep out of their
  // history, and emits copied.
  Q_INVOKABLE void copy_to_clipboard(QString str);
  bool get_key_without_access() const { return key_without_access; }
  bool get_key_needs_administrator() const { return key_needs_administrator; }
  bool get_access_rule_installed() const { return access_rule_installed; }
  bool get_copied_code_left() const { return copied_code_left; }
  int get_copied_code_seconds() const;
  static QString get_user_guide();
  // Whether copies are cleared after their lifetime and at quit (the user's setting).
  void set_clearing_copied_codes(bool on);

  // How often the credential list asks for the codes it lacks while a view watches it.
  static constexpr int credentials_tick_ms = 600;

 signals:
  void show_otp_status();
  // A key of the vendor was plugged in or removed.
  void hid_change_event();
  // Another start of the program asked for the window.
  void show_window_requested();
  void copied();
  void key_without_access_changed();
  void key_needs_administrator_changed();
  void access_rule_installed_changed();
  void copied_code_left_changed();
  void keys_changed();
  // The user chose another key: its USB serial number, to be remembered.
  void chosen_key_changed();
  // The shown key went and key number is shown in its place.
  void shown_key_replaced(int number);

 protected:
  void set_key_without_access(bool on);
  void set_key_needs_administrator(bool on);
  void set_access_rule_installed(bool on);
  void set_copied_code_left(bool on);
  void publish_models();

 private:
  bool key_without_access = false;
  bool key_needs_administrator = false;
  bool access_rule_installed = false;
  bool copied_code_left = false;
  struct Key;
  // Shows key (null: none) with fresh models, publishes them and emits show_otp_status.
  void show(Key* key);
  // Publishes null models in place of the shown key's, and drops them.
  void drop_shown();
  static QString identity_of(const KeyInterface& found);
  static std::string name_of(const Key& key);

  CopiedCode* copied_code;
  std::vector<std::unique_ptr<Key>> keys;  // by number
  std::map<QString, int> numbers;          // by identity_of: as first seen
  Key* shown = nullptr;
  QString chosen_key;
  std::unique_ptr<OtpStatus> otp_status;  // of the shown key
  std::unique_ptr<TokenInfo> token_info;
  QQmlContext* context;
  std::unique_ptr<DeviceEvent> device_event;
};
