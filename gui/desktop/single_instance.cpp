#include "gui/desktop/single_instance.h"

#include "gui/desktop/desktop.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QTimer>

#include <easylogging++.h>

#include <utility>

namespace {

// A start waits this long at most for the instance that answers; the window's loop does not run yet.
constexpr int exchange_timeout_ms = 2000;
// Between two looks at a lock that another holds.
constexpr int retry_ms = 50;
// The requests, one line each.
const QByteArray show_request = QByteArrayLiteral("show\n");
const QByteArray quit_request = QByteArrayLiteral("quit\n");

enum class Answer {
  taken,       // the instance read the whole request
  none,        // nothing listens, or it went before it read the request
  other_user,  // what listens under the name runs as another user: never asked
};

Answer deliver(const QString& name, const QByteArray& request) {
  QLocalSocket socket;
  socket.connectToServer(name);
  if (!socket.waitForConnected(exchange_timeout_ms)) return Answer::none;
  // Windows' pipe names are one namespace for every user of the machine.
  if (!desktop::instance_server_is_this_user(socket.socketDescriptor())) return Answer::other_user;
  if (request == show_request) desktop::let_running_instance_come_forward();
  socket.write(request);
  const bool taken = socket.waitForBytesWritten(exchange_timeout_ms);
  if (!taken)
    LOG(WARNING) << "The running instance did not take the request " << request.trimmed().toStdString() << ": "
                 << socket.errorString().toStdString();
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(exchange_timeout_ms);
  return taken ? Answer::taken : Answer::none;
}

}  // namespace

SingleInstance::SingleInstance(QString name, QString lock_file, QObject* parent)
    : QObject(parent), name(std::move(name)), lock_file(std::move(lock_file)), lock(this->lock_file), server(this) {
  // Stale only when the process that wrote it is gone: an instance may run for months.
  lock.setStaleLockTime(0);
  server.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

bool SingleInstance::claim() {
  if (!has_place()) {
    LOG(WARNING) << "No folder of this user's alone for the session's instance: later starts will not find this one";
    return true;
  }
  const QDeadlineTimer deadline(wait_ms);
  for (int lock_wait_ms = 0;; lock_wait_ms = retry_ms) {
    if (lock.tryLock(lock_wait_ms)) {
      listen();
      return true;
    }
    if (lock.error() != QLockFile::LockFailedError) {
      LOG(WARNING) << "The session's instance cannot be locked: " << lock_file.toStdString()
                   << ": later starts will not find this one";
      return true;
    }
    switch (deliver(name, show_request)) {
      case Answer::taken:
        LOG(INFO) << "Umbrata already runs in this session: its window is shown";
        return false;
      case Answer::other_user:
        LOG(WARNING) << "Umbrata runs in this session, but another user's program listens under its name: this start ends";
        return false;
      case Answer::none:
        break;
    }
    if (deadline.hasExpired()) {
      LOG(WARNING) << "Umbrata runs in this session but does not answer: this start ends";
      return false;
    }
  }
}

void SingleInstance::release() {
  server.close();
  lock.unlock();
}

bool SingleInstance::take_back() {
  if (!has_place()) return true;
  if (lock.tryLock(0)) {
    listen();
    return true;
  }
  // Only another holder makes this one give way: a lock that cannot be made did not stop it at
  // its start either.
  return lock.error() != QLockFile::LockFailedError;
}

bool SingleInstance::ask_to_quit(const QString& name, const QString& lock_file) {
  if (name.isEmpty() || lock_file.isEmpty()) {
    LOG(INFO) << "No Umbrata runs in this session: this user has no folder for one";
    return true;
  }
  QLockFile lock(lock_file);
  lock.setStaleLockTime(0);
  const QDeadlineTimer deadline(wait_ms);
  bool asked = false;
  // The lock comes free when the instance ends; until it has been asked, it may be starting still.
  for (int lock_wait_ms = 0;; lock_wait_ms = retry_ms) {
    if (lock.tryLock(lock_wait_ms)) {
      LOG(INFO) << (asked ? "The Umbrata of this session has ended" : "No Umbrata runs in this session");
      return true;
    }
    if (lock.error() != QLockFile::LockFailedError) {
      LOG(ERROR) << "The session's instance cannot be locked: " << lock_file.toStdString();
      return false;
    }
    if (!asked) {
      switch (deliver(name, quit_request)) {
        case Answer::taken:
          asked = true;
          LOG(INFO) << "Asked the Umbrata of this session to quit";
          break;
        case Answer::other_user:
          LOG(WARNING) << "Another user's program listens under the instance's name: it is not asked to quit";
          return false;
        case Answer::none:
          break;
      }
    }
    if (deadline.hasExpired()) {
      LOG(WARNING) << "The Umbrata of this session did not end within " << wait_ms / 1000 << " s";
      return false;
    }
  }
}

void SingleInstance::listen() {
  QLocalServer::removeServer(name);
  if (!server.listen(name))
    LOG(WARNING) << "Later starts will not find this instance: " << name.toStdString() << ": "
                 << server.errorString().toStdString();
}

void SingleInstance::accept() {
  while (QLocalSocket* socket = server.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read_requests(socket); });
    // A start that connects and says nothing is not kept.
    QTimer::singleShot(exchange_timeout_ms, socket, &QObject::deleteLater);
    read_requests(socket);
  }
}

void SingleInstance::read_requests(QLocalSocket* socket) {
  while (socket->canReadLine()) {
    const QByteArray request = socket->readLine();
    if (request == show_request) {
      LOG(INFO) << "Another start asked for the window";
      emit show_requested();
    } else if (request == quit_request) {
      LOG(INFO) << "umbrata --quit asked this instance to quit";
      emit quit_requested();
    }
  }
  // What is left is not a whole line; no request is as long.
  if (socket->bytesAvailable() >= qMax(show_request.size(), quit_request.size())) socket->abort();
}
