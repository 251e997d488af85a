#ifndef FLEETDEVICE_H
#define FLEETDEVICE_H

#include "device_global.h"
#include "servicerecord.h"

#include <QDateTime>
#include <QJsonObject>
#include <QMetaType>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Common {

// One device as the shared history knows it, from the entries of every station: what it
// last ran, where and what was last done to it.
class DEVICE_EXPORT FleetDevice
{
public:
    QString serial;
    QString name;
    QString model;
    QString software;      // the version it last had
    QString project;       // the package of its last successful upload
    QString projectSha256;
    QString station;       // of its last entry
    QString operationCode; // of its last entry, as stored (a newer program may know more)
    ServiceRecord::Outcome outcome = ServiceRecord::Unfinished;
    QDateTime time;        // when its last operation started
    int operations = 0;

    enum Column {
        SerialColumn, NameColumn, ModelColumn, SoftwareColumn, ProjectColumn, StationColumn, OperationColumn,
        ResultColumn, TimeColumn, OperationsColumn, ColumnCount
    };
    static QString columnTitle(int column);
    QString columnText(int column) const;
    // For scripts: codes, and the time in UTC (ISO 8601).
    QJsonObject toJson() const;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

Q_DECLARE_METATYPE(Orvane::Tavrix::Common::FleetDevice)

#endif // FLEETDEVICE_H
