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
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICE_P_H
