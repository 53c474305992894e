#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

// A code the user copied, and its removal from the clipboard after its lifetime and at quit:
// only while the clipboard still holds that code, whichever program holds it now (a clipboard
// manager takes a copy over as its own), never what was copied since. Lives on the GUI thread.
//
// A desktop may refuse the removal: a Wayland compositor takes a new selection from a window
// only with the serial of a fresh input event, only a compositor that offers data control lets
// a program clear it without one, and one that does not answer in time refuses it too. Then
// the code stays "left", and the removal is tried again at the window's next input and at quit.
class CopiedCode : public QObject {
  Q_OBJECT

 public:
  // How long a copied code stays on the clipboard, unless the caller says otherwise.
  static constexpr int default_lifetime_ms = 30000;

  explicit CopiedCode(int lifetime_ms = default_lifetime_ms, QObject* parent = nullptr);
  ~CopiedCode() override;

  // Puts code on the clipboard, marked as a secret for clipboard histories and as Umbrata's copy;
  // removed after the lifetime while clearing is on.
  void copy(const QString& code);
  // Removes the copy now, as at quit.
  void forget();
  // Whether copies are removed after their lifetime and at quit; on unless set otherwise. Turned
  // off, it stops caring for the copy there is: the user no longer wants copied codes cleared.
  void set_clearing(bool on);
  int lifetime_ms() const { return expiry.interval(); }
  // True while the desktop has refused to remove the copy.
  bool is_left() const { return left; }

 signals:
  void left_changed();

 protected:
  // The window's input events, while the copy is left: each brings a fresh serial.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // When a removal is tried: the input of a Wayland window brings a fresh serial, the quit may.
  enum class Moment { expiry, input, quit };
  enum class Wipe { cleared, replaced, offered, other, refused };
  Wipe wipe(Moment moment);
  void remove(Moment moment);
  void set_left(bool on);

  QString code;
  QTimer expiry;
  bool clearing = true;
  bool left = false;
};
