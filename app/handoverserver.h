#ifndef HANDOVERSERVER_H
#define HANDOVERSERVER_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>

class QFileSystemWatcher;
class QTcpServer;
class QTcpSocket;

namespace Orvane {
namespace Tavrix {
namespace Designer {

class InstanceLock;

// The running instance's end of the single-instance hand-over: a server on
// 127.0.0.1 whose port is published in the held lock file. Any local process can
// connect, so each connection may say at most a few bytes within a short time
// and is then closed; only exactly ":new" (a second start) is acted on.
class HandOverServer : public QObject
{
    Q_OBJECT
public:
    // How long a connection may take to say its message.
    static const int ReadTimeoutMs = 2000;
    // Connections open at once; the oldest one is closed when another comes.
    static const int MaxConnections = 16;

    explicit HandOverServer(QObject* parent = nullptr);
    ~HandOverServer() override;

    // Ports tried when the one drawn is taken.
    static const int ListenAttempts = 50;

    // Listens and writes the port into the held lock, which the server keeps until
    // it is destroyed (and then deletes the lock file). False, with errorString(), when
    // it cannot listen on 127.0.0.1 or the port cannot be written.
    bool start(InstanceLock* lock);
    QString errorString() const { return m_error; }
    quint16 serverPort() const;
    int openConnections() const { return m_connections.size(); }

signals:
    // A second start asked for this instance's window.
    void newInstanceStarted();

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    // Closes a connection; a complete one that said ":new" is acted on.
    void finish(QTcpSocket* socket, bool complete);
    void keepLockNamed();

    QTcpServer* m_server = nullptr;
    InstanceLock* m_lock = nullptr;
    QFileSystemWatcher* m_watcher = nullptr;
    QList<QTcpSocket*> m_connections;
    QHash<QTcpSocket*, QByteArray> m_received;
    QString m_error;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // HANDOVERSERVER_H
