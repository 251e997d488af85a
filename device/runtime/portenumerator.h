#ifndef PORTENUMERATOR_H
#define PORTENUMERATOR_H

#include "device_global.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <QVariant>

#include <functional>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

// Lists the serial ports and reports them coming and going. Qt has no plug
// notifications, so the list is polled; ports named in DOVREL_VIRTUAL_PORTS
// count as device ports while their path exists.
//
// Asking the system for its ports takes tens of milliseconds, so the list is
// read in a thread of its own and handed back here; records, signals, virtual
// ports and the restriction stay in this object's thread.
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

    using PortList = QList<QMap<QString, QVariant>>;

    explicit PortEnumerator(QObject* parent = nullptr);
    // Waits for a listing in progress (one system call), never for a later one.
    ~PortEnumerator() override;

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

    // Replaces the system's port list (for tests: a slow or scripted list); it may be
    // called from any thread. An empty function restores the system's list.
    static void setSystemPortLister(std::function<PortList()> lister);

    bool setUpNotifications();
    // Applies virtual ports and the restriction at once against the last system list,
    // and reads the system list anew in the background (unless a reading is running).
    void pollNow();
    // Whether a reading of the system list is running.
    bool isListing() const;

signals:
    void deviceDiscovered(const QMap<QString, QVariant>& info);
    void deviceRemoved(const QMap<QString, QVariant>& info);
    void systemPortsListed(const PortList& ports, QPrivateSignal);

private:
    static PortList systemPorts();
    static PortList withVirtualPorts(const PortList& system);
    static PortList restricted(const PortList& all);
    static PortList allPorts();

    void startListing();
    void onSystemPortsListed(const PortList& ports);
    void update(const PortList& ports);

    QTimer m_timer;
    QThread m_thread;
    QObject* m_worker = nullptr; // lives in m_thread
    bool m_listing = false;
    PortList m_system;
    QMap<QString, QMap<QString, QVariant>> m_known;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // PORTENUMERATOR_H
