#include "ui/shell/SingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QLockFile>

namespace solvane {

namespace {

constexpr int kConnectWaitMs = 1000;
constexpr int kLockWaitMs = 5000;

}  // namespace

TSingleInstance::TSingleInstance(QString name, QObject* parent)
    : QObject(parent), m_name(std::move(name)) {
  m_server.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&m_server, &QLocalServer::newConnection, this, &TSingleInstance::ReadMessages);
}

TSingleInstance::~TSingleInstance() { m_server.close(); }

bool TSingleInstance::SignalOrListen(int message) {
  QLockFile lock(QDir(QDir::tempPath()).filePath(m_name + ".lock"));
  lock.tryLock(kLockWaitMs);  // without it the check still runs, unserialised
  if (SendToRunning(message)) return true;
  Listen();
  return false;
}

bool TSingleInstance::SendToRunning(int message) {
  QLocalSocket socket;
  socket.connectToServer(m_name);
  if (!socket.waitForConnected(kConnectWaitMs)) return false;
  socket.write(QByteArray::number(message) + '\n');
  socket.waitForBytesWritten(kConnectWaitMs);
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kConnectWaitMs);
  return true;
}

bool TSingleInstance::Listen() {
  // Nobody answered: a socket file still there is left from a crashed
  // instance.
  QLocalServer::removeServer(m_name);
  return m_server.listen(m_name);
}

void TSingleInstance::ReadMessages() {
  while (QLocalSocket* socket = m_server.nextPendingConnection()) {
    auto readLines = [this, socket] {
      while (socket->canReadLine()) {
        bool ok = false;
        const int message = socket->readLine().trimmed().toInt(&ok);
        if (ok) emit MessageReceived(message);
      }
    };
    connect(socket, &QLocalSocket::readyRead, this, readLines);
    connect(socket, &QLocalSocket::disconnected, this, [socket, readLines] {
      readLines();
      socket->deleteLater();
    });
    readLines();
  }
}

}  // namespace solvane
