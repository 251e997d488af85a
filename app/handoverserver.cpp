#include "handoverserver.h"

#include "diagnostics.h"
#include "instancelock.h"
#include "localizationhelper.h"

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

using Orvane::Tavrix::Common::lcApp;
using Orvane::Tavrix::Common::localizableText;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

const QByteArray Message = QByteArrayLiteral(":new");
// After a failed accept (out of file descriptors) the server pauses; it tries again after this.
const int ResumeAcceptingMs = 200;
// Connections the system queues before the program takes them; more that come at once are dropped.
const int ListenBacklog = 256;

} // namespace

HandOverServer::HandOverServer(QObject* parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    m_server->setListenBacklogSize(ListenBacklog);
    connect(m_server, &QTcpServer::newConnection, this, &HandOverServer::onNewConnection);
    connect(m_server, &QTcpServer::acceptError, this, [this]() {
        QTimer::singleShot(ResumeAcceptingMs, m_server, &QTcpServer::resumeAccepting);
    });
}

HandOverServer::~HandOverServer()
{
    if (m_lock) {
        m_lock->release();
        delete m_lock;
        m_lock = nullptr;
    }
    if (m_server->isListening()) {
        m_server->disconnect();
        m_server->close();
    }
    for (QTcpSocket* socket : std::as_const(m_connections)) {
        socket->disconnect(this);
        socket->abort();
    }
}

bool HandOverServer::start(InstanceLock* lock)
{
    m_lock = lock;
    QRandomGenerator random(quint32(QDateTime::currentMSecsSinceEpoch() % 1000));
    // A taken port is bad luck, and another one is drawn; any other failure (no loopback,
    // no sockets left) stays whatever is tried.
    for (int attempt = 1; !m_server->listen(QHostAddress(QStringLiteral("127.0.0.1")), quint16(10000 + random.bounded(30001)));
         ++attempt) {
        if (m_server->serverError() != QAbstractSocket::AddressInUseError || attempt >= ListenAttempts) {
            m_error = localizableText("The application cannot be reached by a second start: listening on 127.0.0.1 "
                                      "failed (%1).")
                          .arg(m_server->errorString());
            return false;
        }
    }
    if (!m_lock->write(QByteArray::number(m_server->serverPort()))) {
        m_error = localizableText("Failed to acquire file lock.");
        return false;
    }
    // Someone may delete or replace the lock file while this instance runs; it is
    // put back at once, or a second start would become a second instance.
    m_watcher = new QFileSystemWatcher(this);
    m_watcher->addPath(QFileInfo(m_lock->path()).absolutePath());
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &HandOverServer::keepLockNamed);
    return true;
}

quint16 HandOverServer::serverPort() const
{
    return m_server->serverPort();
}

void HandOverServer::keepLockNamed()
{
    if (!m_lock || m_lock->isStillNamed())
        return;
    if (!m_lock->restoreName())
        qCWarning(lcApp).noquote() << QStringLiteral("The instance lock %1 was taken over; another instance may run").arg(m_lock->path());
}

void HandOverServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (m_connections.size() >= MaxConnections)
            finish(m_connections.first(), false);
        // Qt stops reading from the connection once this much waits unread.
        socket->setReadBufferSize(Message.size() + 1);
        m_connections.append(socket);
        m_received.insert(socket, QByteArray());
        auto* timer = new QTimer(socket);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this, socket]() { finish(socket, true); });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket]() { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket]() { finish(socket, true); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError error) {
            finish(socket, error == QAbstractSocket::RemoteHostClosedError);
        });
        timer->start(ReadTimeoutMs);
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void HandOverServer::onReadyRead(QTcpSocket* socket)
{
    if (!m_received.contains(socket))
        return;
    QByteArray& received = m_received[socket];
    received += socket->read(Message.size() + 1 - received.size());
    // Anything that is not the start of the message (or goes on after it) ends the connection.
    if (!Message.startsWith(received))
        finish(socket, false);
}

void HandOverServer::finish(QTcpSocket* socket, bool complete)
{
    if (!m_connections.removeOne(socket))
        return;
    QByteArray received = m_received.take(socket);
    if (complete && received.size() <= Message.size())
        received += socket->read(Message.size() + 1 - received.size());
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    if (complete && received == Message)
        emit newInstanceStarted();
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
