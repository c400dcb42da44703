#include "ui/single_instance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QLocalSocket>

namespace kelvo::ui {

namespace {
constexpr int kWaitMs = 1000;
const QByteArray kRaise = "raise\n";
}  // namespace

SingleInstance::SingleInstance(const QString& appHostDir) {
  QByteArray id = QByteArray::number(getuid()) + ":" + appHostDir.toUtf8();
  key_ = "kelvo32-" + QCryptographicHash::hash(id, QCryptographicHash::Sha1).toHex().left(16);
}

SingleInstance::~SingleInstance() {
  server_.close();
}

bool SingleInstance::Claim(std::function<void()> onRaise) {
  QLocalSocket probe;
  probe.connectToServer(key_);
  if (probe.waitForConnected(kWaitMs)) return false;
  // Nobody answers: a socket left by a copy that crashed is taken over.
  QLocalServer::removeServer(key_);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  // Without a socket of its own the copy still runs: single instance is a
  // courtesy, not a condition of starting.
  if (!server_.listen(key_)) return true;
  QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this, onRaise] {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
      QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, onRaise] {
        if (socket->readAll().contains(kRaise) && onRaise) onRaise();
        socket->disconnectFromServer();
      });
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    }
  });
  return true;
}

bool SingleInstance::AskFirstToRaise() const {
  QLocalSocket socket;
  socket.connectToServer(key_);
  if (!socket.waitForConnected(kWaitMs)) return false;
  socket.write(kRaise);
  socket.waitForBytesWritten(kWaitMs);
  socket.waitForDisconnected(kWaitMs);
  return true;
}

}  // namespace kelvo::ui
