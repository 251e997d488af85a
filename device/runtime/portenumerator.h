#ifndef PORTENUMERATOR_H
#define PORTENUMERATOR_H

#include "device_global.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariant>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

// Lists the serial ports and reports them coming and going. Qt has no plug
// notifications, so the list is polled; ports named in DOVREL_VIRTUAL_PORTS
// count as device ports while their path exists.
class DEVICE_EXPORT PortEnumerator : public QObject
{
    Q_OBJECT
public:
    static constexpr int DeviceVendorId = 6017;
    static constexpr int DeviceProductId = 3782;
    static constexpr int PollInterval = 300;

    explicit PortEnumerator(QObject* parent = nullptr);

    // Port information maps: "portName", "friendName", "physName", "enumName", "vendorID", "productID".
    static QList<QMap<QString, QVariant>> getPorts();
    static bool isDevicePort(const QMap<QString, QVariant>& info);
    static QStringList virtualPorts();

    bool setUpNotifications();
    void pollNow();

signals:
    void deviceDiscovered(const QMap<QString, QVariant>& info);
    void deviceRemoved(const QMap<QString, QVariant>& info);

private:
    QTimer m_timer;
    QMap<QString, QMap<QString, QVariant>> m_known;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // PORTENUMERATOR_H
