#ifndef HISTORYSERVERREADER_H
#define HISTORYSERVERREADER_H

#include "device_global.h"
#include "fleetdevice.h"
#include "servicehistory.h"
#include "servicerecord.h"

#include <QList>
#include <QObject>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Common {

class HistoryServerReaderPrivate;

// Reads the history server on a thread of its own, so that a window never waits for the
// network. Every request is answered by one signal, in the order asked; the address is
// read at each request, so a changed setting takes effect at once.
class DEVICE_EXPORT HistoryServerReader : public QObject
{
    Q_OBJECT
public:
    explicit HistoryServerReader(QObject* parent = nullptr);
    ~HistoryServerReader() override;

    void fetchEntries(const ServiceHistory::Filter& filter, int limit);
    void fetchFleet();
    // Connects to uri and checks its tables, without sending anything.
    void check(const QString& uri);

signals:
    // error is empty on success.
    void entriesFetched(const QList<Orvane::Tavrix::Common::ServiceRecord>& entries, const QString& error);
    void fleetFetched(const QList<Orvane::Tavrix::Common::FleetDevice>& devices, const QString& error);
    void checked(const QString& uri, const QString& error);

private:
    HistoryServerReaderPrivate* d;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // HISTORYSERVERREADER_H
