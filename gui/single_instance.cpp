#include "gui/single_instance.h"

#include "gui/desktop.h"

#include <QByteArray>
#include <QLocalSocket>
#include <QTimer>

#include <easylogging++.h>

#include <utility>

namespace {

// A start waits this long at most for the instance that answers; the window's loop does not run yet.
constexpr int exchange_timeout_ms = 2000;
// The one request.
const QByteArray show_request = QByteArrayLiteral("show\n");

}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), name(std::move(name)), server(this) {
  server.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

bool SingleInstance::claim() {
  if (ask_to_show()) {
    LOG(INFO) << "Umbrata already runs in this session: its window is shown";
    return false;
  }
  // Nobody answers: a socket that is there belongs to an instance that crashed, and would make
  // listen fail.
  QLocalServer::removeServer(name);
  if (!server.listen(name))
    LOG(WARNING) << "Later starts will not find this instance: " << name.toStdString() << ": "
                 << server.errorString().toStdString();
  return true;
}

bool SingleInstance::ask_to_show() const {
  QLocalSocket socket;
  socket.connectToServer(name);
  if (!socket.waitForConnected(exchange_timeout_ms)) return false;
  desktop::let_running_instance_come_forward();
  socket.write(show_request);
  if (!socket.waitForBytesWritten(exchange_timeout_ms))
    LOG(WARNING) << "The running instance did not take the request to show its window: "
                 << socket.errorString().toStdString();
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(exchange_timeout_ms);
  return true;
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
    if (socket->readLine() != show_request) continue;
    LOG(INFO) << "Another start asked for the window";
    emit show_requested();
  }
  // What is left is not a whole line; no request is as long.
  if (socket->bytesAvailable() >= show_request.size()) socket->abort();
}
