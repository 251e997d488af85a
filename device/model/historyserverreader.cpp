#include "historyserverreader.h"

#include "historyserver.h"

#include <QThread>

#include <memory>

namespace Orvane {
namespace Tavrix {
namespace Common {

class HistoryServerReaderPrivate
{
public:
    // The connection for the configured address, made in the reading thread.
    HistoryServer* server(const QString& uri)
    {
        if (!connection || connection->uri() != uri)
            connection = std::make_unique<HistoryServer>(uri);
        return connection.get();
    }

    QThread thread;
    QObject* worker = nullptr;
    std::unique_ptr<HistoryServer> connection; // touched in the reading thread only
};

HistoryServerReader::HistoryServerReader(QObject* parent)
    : QObject(parent)
    , d(new HistoryServerReaderPrivate)
{
    d->worker = new QObject;
    d->thread.setObjectName(QStringLiteral("HistoryServerReader"));
    d->worker->moveToThread(&d->thread);
    d->thread.start();
}

HistoryServerReader::~HistoryServerReader()
{
    // A request under way ends within the connection time-out.
    QMetaObject::invokeMethod(d->worker, [this]() { d->connection.reset(); }, Qt::BlockingQueuedConnection);
    d->thread.quit();
    d->thread.wait();
    delete d->worker;
    delete d;
}

void HistoryServerReader::fetchEntries(const ServiceHistory::Filter& filter, int limit)
{
    const QString uri = ServiceHistory::serverUri();
    QMetaObject::invokeMethod(d->worker, [this, uri, filter, limit]() {
        HistoryServer* server = d->server(uri);
        const QList<ServiceRecord> entries = server->entries(filter, limit);
        emit entriesFetched(entries, server->isOpen() ? QString() : server->lastError());
    }, Qt::QueuedConnection);
}

void HistoryServerReader::fetchFleet()
{
    const QString uri = ServiceHistory::serverUri();
    QMetaObject::invokeMethod(d->worker, [this, uri]() {
        HistoryServer* server = d->server(uri);
        const QList<FleetDevice> devices = server->fleet();
        emit fleetFetched(devices, server->isOpen() ? QString() : server->lastError());
    }, Qt::QueuedConnection);
}

void HistoryServerReader::check(const QString& uri)
{
    QMetaObject::invokeMethod(d->worker, [this, uri]() {
        HistoryServer server(uri);
        emit checked(uri, server.open() ? QString() : server.lastError());
    }, Qt::QueuedConnection);
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
