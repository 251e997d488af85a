#ifndef PORTENUMERATOR_H
#define PORTENUMERATOR_H

#include "device_global.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariant>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

// Lists the serial ports and reports them coming and going. Qt has no plug
// notifications, so the list is polled; ports named in DOVREL_VIRTUAL_PORTS
// count as device ports while their path exists.
//
// Every port name leaving this class has one form, the one that records,
// signals and the device information map use: the path of the port's device
// file ("/dev/ttyACM0", "/dev/pts/3", a link keeps its own path) on Unix-like
// systems, the port name ("COM5") on Windows.
class DEVICE_EXPORT PortEnumerator : public QObject
{
    Q_OBJECT
public:
    static constexpr int DeviceVendorId = 6017;
    static constexpr int DeviceProductId = 3782;
    static constexpr int PollInterval = 300;

    explicit PortEnumerator(QObject* parent = nullptr);

    // Port information maps: "portName", "friendName", "physName", "enumName", "vendorID", "productID".
    // Only ports allowed by the restriction below are listed.
    static QList<QMap<QString, QVariant>> getPorts();
    static bool isDevicePort(const QMap<QString, QVariant>& info);
    static QStringList virtualPorts();

    // The one form of a port name: "ttyACM0", "/dev/ttyACM0" and "/dev/./ttyACM0"
    // all give "/dev/ttyACM0"; a relative path to an existing file becomes absolute.
    static QString canonicalPortName(const QString& name);
    // Whether two names reach the same port, also through links.
    static bool isSamePort(const QString& first, const QString& second);
    // The name under which discovery knows (or will know) the port that name
    // reaches: the listed port's name when one is the same port, else the
    // canonical form of name.
    static QString resolvePortName(const QString& name);

    // Limits discovery to the given ports (any of their names); other ports are
    // neither listed nor opened. An empty list lifts the limit.
    static void setPortRestriction(const QStringList& ports);
    static QStringList portRestriction();

    bool setUpNotifications();
    void pollNow();

signals:
    void deviceDiscovered(const QMap<QString, QVariant>& info);
    void deviceRemoved(const QMap<QString, QVariant>& info);

private:
    static QList<QMap<QString, QVariant>> allPorts();

    QTimer m_timer;
    QMap<QString, QMap<QString, QVariant>> m_known;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // PORTENUMERATOR_H
