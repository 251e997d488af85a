#ifndef PORTENUMERATOR_H
#define PORTENUMERATOR_H

#include "device_global.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

class PortEnumeratorPrivate;

// Lists the serial ports and reports them coming and going; ports named in
// DOVREL_VIRTUAL_PORTS count as device ports while their path exists.
//
// On Linux the ports come from udev: listed once, then followed through udev's events.
// Where udev delivers no events (a container or chroot without the udev daemon) the
// device nodes in /dev are watched instead, and the list is read again only when a
// serial port's node came or went. Virtual ports are followed through their folders.
// Nothing is polled, so an idle program wakes only when a port comes or goes. On other
// systems the list is polled. A reading (it takes milliseconds to tens of them) runs in
// a thread of its own and is handed back here. Records, signals, virtual ports and the
// restriction stay in this object's thread.
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

    // Port information maps: "portName", "friendName", "physName", "enumName", "vendorID", "productID",
    // "slotPath" (the physical path, see SlotNames; empty for virtual ports).
    // Only ports allowed by the restriction below are listed.
    static QList<QMap<QString, QVariant>> getPorts();
    static bool isDevicePort(const QMap<QString, QVariant>& info);
    // Whether a port that would not open (a permission error) lacks this user's rights,
    // rather than being held by another program (its lock file, or its exclusive open).
    // Windows reports both alike: never a rule's fault there.
    static bool lacksPermission(const QString& name);
    static QStringList virtualPorts();
    // The listed port at this physical path ("slotPath", see SlotNames); empty when none is there.
    static QString portAtSlotPath(const QString& slotPath);
    // The slot path of a port listed in DOVREL_VIRTUAL_PORTS: its listed name.
    static QString virtualSlotPath(const QString& port);

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
    // Under a restriction, ports that appear from now on are listed too: a device that
    // restarts may come back under another name. Ports present now stay left alone.
    static void acceptNewPorts();

    // Replaces the system's port list (for tests: a slow or scripted list); it may be
    // called from any thread. An empty function restores the system's list. A replaced
    // list is never taken from udev: it is read when the device folder changes (or polled).
    static void setSystemPortLister(std::function<PortList()> lister);
    // The folder of the device nodes watched without a udev daemon (for tests: a fake
    // /dev); empty: /dev. Read when notifications are set up.
    static void setDeviceFolder(const QString& folder);

    // Every enumerator reads DOVREL_VIRTUAL_PORTS again soon (for a list changed while
    // running; the folders of the ports named before are watched already).
    static void reloadVirtualPorts();

    // Lists the present ports and starts following them: through udev; through the
    // device folder (said once in the debug output) where udev delivers no events or
    // DOVREL_PORT_DISCOVERY is "dev"; by polling (said once) where neither works or
    // DOVREL_PORT_DISCOVERY is "poll".
    bool setUpNotifications();
    // The ports present, as last reported (restricted, virtual ports included).
    QList<QMap<QString, QVariant>> ports() const;
    // Whether the port list is polled rather than followed through notifications.
    bool isPolling() const;
    // Whether the device folder is watched in place of udev's events.
    bool isWatchingDeviceNodes() const;
    // Applies virtual ports and the restriction at once against the last system list.
    // Polled or watching the device folder: also reads the system list anew in the
    // background (after a reading that runs). Through udev: takes in the waiting events.
    void pollNow();
    // Whether a reading of the system list is running.
    bool isListing() const;

signals:
    void deviceDiscovered(const QMap<QString, QVariant>& info);
    void deviceRemoved(const QMap<QString, QVariant>& info);
    void systemPortsListed(const PortList& ports, QPrivateSignal);

private:
    friend class PortEnumeratorPrivate;
    static PortList systemPorts();
    static PortList withVirtualPorts(const PortList& system);
    static PortList restricted(const PortList& all);
    static PortList allPorts();

    void startListing();
    void onSystemPortsListed(const PortList& ports);
    void update(const PortList& ports);
    bool followSystemPorts(QString* why);
    bool followUdev(QString* why);
    bool followDeviceNodes(QString* why);
    void watchVirtualPorts();

    std::unique_ptr<PortEnumeratorPrivate> d;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // PORTENUMERATOR_H
