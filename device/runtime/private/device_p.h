#ifndef DEVICE_P_H
#define DEVICE_P_H

#include "device.h"

#include <QMap>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

class DevicePrivate
{
public:
    QMap<QString, QString> info;
    QString serial;
    QString port;
    // The operation being recorded: its entry as written so far, and the kind of end it waits for.
    Common::ServiceRecord record;
    QString packagePath;
    OperationResult::Kind expected = OperationResult::NoKind;
    bool recording = false;
    // The writer's name for the entry once its start was given to it.
    qint64 token = 0;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICE_P_H
