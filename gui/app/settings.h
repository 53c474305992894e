#pragma once

#include <QObject>

// The user's choices, published to the views as "settings". All but the start at login are
// remembered in the user's settings file; whether the program starts at login is what is there
// (the XDG entry, the Run value, the logon task), not what was last chosen. Lives on the GUI
// thread.
class Settings : public QObject {
  Q_OBJECT
  // Whether a copied code leaves the clipboard after its lifetime and when the program quits. On
  // unless the user turned it off.
  Q_PROPERTY(bool clear_copied_codes READ get_clear_copied_codes WRITE set_clear_copied_codes NOTIFY
                 clear_copied_codes_changed)
  // Whether closing the window leaves the program in the tray. Off by default.
  Q_PROPERTY(bool keep_in_tray READ get_keep_in_tray WRITE set_keep_in_tray NOTIFY keep_in_tray_changed)
  // Whether the window warns while this computer's clock is not synchronised. On unless the user
  // turned it off (a machine whose codes are accepted, though it reports no synchronisation).
  Q_PROPERTY(bool warn_unsynchronised_clock READ get_warn_unsynchronised_clock WRITE set_warn_unsynchronised_clock NOTIFY
                 warn_unsynchronised_clock_changed)
  // Whether the program starts, hidden in the tray, when the user logs in. Off by default.
  Q_PROPERTY(bool start_at_login READ get_start_at_login WRITE set_start_at_login NOTIFY start_at_login_changed)
  // True while what starts the program at login starts it without administrator rights, which the
  // key needs on Windows (a Run value): the window says so beside the setting.
  Q_PROPERTY(bool start_at_login_unelevated READ get_start_at_login_unelevated NOTIFY start_at_login_changed)

 public:
  explicit Settings(QObject* parent = nullptr);

  bool get_clear_copied_codes() const { return clear_copied_codes; }
  void set_clear_copied_codes(bool on);
  bool get_keep_in_tray() const { return keep_in_tray; }
  void set_keep_in_tray(bool on);
  bool get_warn_unsynchronised_clock() const { return warn_unsynchronised_clock; }
  void set_warn_unsynchronised_clock(bool on);
  bool get_start_at_login() const { return start_at_login; }
  void set_start_at_login(bool on);
  bool get_start_at_login_unelevated() const { return start_at_login_unelevated; }
  // The USB serial number of the key the user chose to see, when several are plugged in.
  QString get_chosen_key() const;
  void set_chosen_key(const QString& usb_serial);

 signals:
  void clear_copied_codes_changed();
  void keep_in_tray_changed();
  void warn_unsynchronised_clock_changed();
  void start_at_login_changed();

 private slots:
  // Asks whether a logon task starts the program once the window has shown its first frame:
  // schtasks takes seconds, and answers later.
  void ask_logon_task();

 private:
  bool clear_copied_codes = true;
  bool keep_in_tray = false;
  bool warn_unsynchronised_clock = true;
  bool start_at_login = false;
  bool start_at_login_unelevated = false;
  // Once the user has chosen, a logon task's late answer no longer moves the check mark.
  bool start_at_login_chosen = false;
  bool logon_task_asked = false;
};
