#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

class QLocalSocket;

// The program's one instance in the user's session. Whoever holds the lock file is the instance
// and listens under the name; a later start asks it to show its window and ends, and
// `umbrata --quit` asks it to quit.
class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // How long a start waits at most for an instance that is starting or ending, and --quit for
  // the instance to end.
  static constexpr int wait_ms = 10000;

  // name: the local server's; lock_file: the lock that makes its holder the instance. Both from
  // desktop::instance_name() and desktop::instance_lock_file(); empty when the user has no
  // private folder for them.
  SingleInstance(QString name, QString lock_file, QObject* parent = nullptr);

  // True when this process now holds the lock and listens for later starts (where it cannot, it
  // logs why and runs alone). False when another instance holds it: that one has been asked to
  // show its window, or did not answer within wait_ms, and this process should end. A holder that
  // is still starting, or ending (the copy that restarts as administrator waits so for the one it
  // replaces), is waited for.
  bool claim();

  // Lets go of the lock and the name, so that a copy of the program started now becomes the
  // instance instead of asking this one to show its window.
  void release();
  // After release: takes the lock and the name back. False when another start took them meanwhile.
  bool take_back();

  // Asks the session's instance to quit and waits until it has ended. True when none runs, or it
  // ended within wait_ms.
  static bool ask_to_quit(const QString& name, const QString& lock_file);

 signals:
  void show_requested();
  void quit_requested();

 private:
  bool has_place() const { return !name.isEmpty() && !lock_file.isEmpty(); }
  // With the lock held: a socket left under the name belongs to an instance that crashed.
  void listen();
  void accept();
  void read_requests(QLocalSocket* socket);

  const QString name;
  const QString lock_file;
  // Before the server: the name is given up before the lock.
  QLockFile lock;
  QLocalServer server;
};
