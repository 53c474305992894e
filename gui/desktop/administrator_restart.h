#pragma once

#include <QObject>

class SingleInstance;

// The restart as administrator, which the key needs on Windows when only administrators may open
// it. Published to the views as "administrator_restart".
class AdministratorRestart : public QObject {
  Q_OBJECT
  // False when the program runs as administrator already: a restart would change nothing.
  Q_PROPERTY(bool available READ get_available NOTIFY available_changed)

 public:
  // instance: the session's, which the elevated copy must find free; may be null.
  explicit AdministratorRestart(SingleInstance* instance, QObject* parent = nullptr);

  // Starts the program again as administrator (the system asks the user) and quits this one;
  // when the restart does not start, for instance because the user said no, this one runs on.
  Q_INVOKABLE virtual void restart();
  bool get_available() const { return available; }

 signals:
  void available_changed();

 protected:
  void set_available(bool on);

 private:
  SingleInstance* instance;
  bool available;
};
