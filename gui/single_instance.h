#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

class QLocalSocket;

// The program's one instance in the user's session: a later start asks it to show its window and ends.
class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // name: the local server's, from desktop::instance_name().
  explicit SingleInstance(QString name, QObject* parent = nullptr);

  // True when no other instance answers under the name: this one now listens for later starts
  // (where it cannot, it logs why and runs alone). False when another answered: it has been asked
  // to show its window, and this process should end.
  bool claim();

 signals:
  void show_requested();

 private:
  // True when another instance answers under the name; it has then been sent the request.
  bool ask_to_show() const;
  void accept();
  void read_requests(QLocalSocket* socket);

  const QString name;
  QLocalServer server;
};
