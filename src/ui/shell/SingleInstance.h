#pragma once
// One running instance per user: the first instance listens on a local
// socket named after the main window's class name; a later instance finds
// it, sends it the message 2833 (0xB11) and ends.

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace solvane {

inline constexpr int kInstanceMessage = 0xB11;  // 2833: "show yourself"
inline constexpr const char* kInstanceName = "Solvane桌面备份系统管理工具";

class TSingleInstance : public QObject {
  Q_OBJECT
 public:
  // name: the socket's name, a plain name in the temporary folder
  // (QDir::tempPath(), which follows TMPDIR).
  explicit TSingleInstance(QString name = QString::fromUtf8(kInstanceName),
                           QObject* parent = nullptr);
  ~TSingleInstance() override;

  // The start-up check. True when another instance is running: it has been
  // sent the message and this one should end. False when this is the first
  // instance: it now listens (a socket file left by a crashed instance is
  // removed first). Checking and listening are serialised between
  // processes by a lock file, so two instances started together never both
  // listen.
  bool SignalOrListen(int message = kInstanceMessage);
  bool Listening() const { return m_server.isListening(); }
  // The socket's path while listening.
  QString ServerPath() const { return m_server.fullServerName(); }

 signals:
  // A message a later instance sent.
  void MessageReceived(int message);

 private:
  bool SendToRunning(int message);
  bool Listen();
  void ReadMessages();

  QString m_name;
  QLocalServer m_server;
};

}  // namespace solvane
