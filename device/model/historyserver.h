#ifndef HISTORYSERVER_H
#define HISTORYSERVER_H

#include "device_global.h"
#include "fleetdevice.h"
#include "servicehistory.h"
#include "servicerecord.h"

#include <QList>
#include <QPair>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Common {

class HistoryServerPrivate;

// The service history that several stations share, on a PostgreSQL server reached
// through Qt's QPSQL driver. Each station sends its own entries; the server keeps every
// entry once (by its UUID) in the form with the highest revision, and also whole as
// JSON, so that the entries of a later program with more fields fit the same tables.
// The tables are made on first use and carry a version: tables of a newer version are
// refused and left exactly as they are.
// The connection belongs to the thread that opened it: one object per thread.
class DEVICE_EXPORT HistoryServer
{
public:
    static constexpr int SchemaVersion = 1;
    // Entries sent in one statement.
    static constexpr int BatchSize = 1000;
    // libpq's wait for a connection, unless the address names one.
    static constexpr int ConnectTimeoutSeconds = 3;

    enum Status { Ready, NotConfigured, BadAddress, NoDriver, Unreachable, NewerSchema, Failed };

    struct SyncResult
    {
        int sent = 0;   // entries sent in this run
        int unsent = 0; // left unsent after it
        Status status = Ready;
        QString error;
    };

    explicit HistoryServer(const QString& uri);
    ~HistoryServer();
    HistoryServer(const HistoryServer&) = delete;
    HistoryServer& operator=(const HistoryServer&) = delete;

    QString uri() const;
    // Connects, makes the tables on first use and checks their version.
    bool open();
    bool isOpen() const;
    void close();
    Status status() const;
    // The text for the user, naming the server (without its password).
    QString lastError() const;

    // Stores the entries; one already there is replaced only by a higher revision of it.
    bool send(const QList<ServiceRecord>& entries);
    // Sends what local has not sent yet, in batches, marking each batch sent once stored.
    SyncResult sync(ServiceHistory* local);

    // The entries of every station that pass the filter, newest first.
    QList<ServiceRecord> entries(const ServiceHistory::Filter& filter, int limit = -1);
    // One line per device, by serial number; only that device's with a serial.
    QList<FleetDevice> fleet(const QString& serial = QString());

    // The address as it may be shown: without its password.
    static QString displayUri(const QString& uri);
    // libpq's keywords and values from a postgresql:// URI or a "key=value ..." text.
    static bool parseUri(const QString& uri, QList<QPair<QString, QString>>* parameters, QString* error);

private:
    HistoryServerPrivate* d;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // HISTORYSERVER_H
