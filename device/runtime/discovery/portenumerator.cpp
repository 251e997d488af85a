#include "portenumerator.h"
#include "diagnostics.h"
#include "portenumerator_p.h"

#include "virtualportwatcher.h"
#ifdef DOVREL_HAVE_UDEV
#include "udevportmonitor.h"
#endif
#ifdef Q_OS_LINUX
#include "devicenodewatcher.h"
#endif

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QSerialPortInfo>

#include <algorithm>
#include <atomic>
#include <memory>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

using Orvane::Tavrix::Common::lcDiscovery;

namespace Orvane {
namespace Tavrix {
namespace Runtime {

namespace {

QStringList& restriction()
{
    static QStringList ports;
    return ports;
}

// Once new ports are accepted under a restriction: the ports that were there before,
// forgotten as they go (a port back later is a new one).
bool g_acceptNewPorts = false;
QStringList& oldPorts()
{
    static QStringList ports;
    return ports;
}

QMutex g_listerMutex;
std::function<PortEnumerator::PortList()> g_lister;
QString g_deviceFolder;

// The live enumerators, for reloadVirtualPorts().
QMutex g_enumeratorsMutex;
QList<PortEnumerator*> g_enumerators;

bool listerReplaced()
{
    QMutexLocker lock(&g_listerMutex);
    return bool(g_lister);
}

void sayPollingOnce(const QString& why)
{
    static std::atomic_bool said { false };
    if (!said.exchange(true))
        qCDebug(lcDiscovery).noquote() << QStringLiteral("No port notifications (%1): the port list is read every %2 ms")
                                  .arg(why)
                                  .arg(PortEnumerator::PollInterval);
}

#ifdef Q_OS_LINUX
void sayWatchingOnce(const QString& why, const QString& folder)
{
    static std::atomic_bool said { false };
    if (!said.exchange(true))
        qCDebug(lcDiscovery).noquote()
            << QStringLiteral("No udev events (%1): the port list is read when a port's node comes or goes in %2").arg(why, folder);
}
#endif

// The device file a name finally reaches; empty when it does not exist.
QString targetOf(const QString& canonicalName)
{
#ifdef Q_OS_WIN
    return canonicalName.toUpper();
#else
    return QFileInfo(canonicalName).canonicalFilePath();
#endif
}

#if !defined(DOVREL_HAVE_UDEV)
// Where a serial port is plugged in, from sysfs: /sys/class/tty/NAME/device leads to the
// port's device (for a USB modem, its interface: "/devices/pci0000:00/.../1-2/1-2:1.0").
// Empty for a port without a device behind it, and where there is no sysfs.
QString sysfsPath(const QString& port)
{
#ifdef Q_OS_LINUX
    const QString node = QFileInfo(QFileInfo(port).canonicalFilePath()).fileName();
    const QString device = QFileInfo(QStringLiteral("/sys/class/tty/%1/device").arg(node)).canonicalFilePath();
    return device.startsWith(QLatin1String("/sys/devices/")) ? device.mid(4) : QString();
#else
    Q_UNUSED(port);
    return QString();
#endif
}
#endif

} // namespace

PortEnumerator::PortEnumerator(QObject* parent)
    : QObject(parent)
    , d(new PortEnumeratorPrivate)
{
    qRegisterMetaType<PortList>("PortList");
    d->m_worker = new QObject;
    d->m_thread.setObjectName(QStringLiteral("Port list"));
    d->m_worker->moveToThread(&d->m_thread);
    d->m_timer.setInterval(PollInterval);
    connect(&d->m_timer, &QTimer::timeout, this, &PortEnumerator::startListing);
    // Emitted in the listing thread, so queued to this object's thread.
    connect(this, &PortEnumerator::systemPortsListed, this, &PortEnumerator::onSystemPortsListed,
            Qt::QueuedConnection);
    QMutexLocker lock(&g_enumeratorsMutex);
    g_enumerators << this;
}

PortEnumerator::~PortEnumerator()
{
    {
        QMutexLocker lock(&g_enumeratorsMutex);
        g_enumerators.removeAll(this);
    }
    d->m_timer.stop();
    d->m_thread.quit();
    d->m_thread.wait();
    // A list emitted just before the thread ended is still queued; it goes with this object.
    delete d->m_worker;
    delete d->m_watcher;
#ifdef DOVREL_HAVE_UDEV
    delete d->m_monitor;
#endif
#ifdef Q_OS_LINUX
    delete d->m_nodes;
#endif
}

void PortEnumerator::setSystemPortLister(std::function<PortList()> lister)
{
    QMutexLocker lock(&g_listerMutex);
    g_lister = std::move(lister);
}

void PortEnumerator::setDeviceFolder(const QString& folder)
{
    g_deviceFolder = folder;
}

QString PortEnumerator::canonicalPortName(const QString& name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return QString();
#ifdef Q_OS_WIN
    // "\\.\COM12" is the system location of "COM12".
    QString port = trimmed;
    if (port.startsWith(QLatin1String("\\\\.\\")))
        port = port.mid(4);
    return port;
#else
    if (trimmed.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(trimmed);
    // A path relative to the working folder stays one; otherwise, as QSerialPort has it,
    // the name lives under /dev ("ttyACM0", and "pts/3", its short form of /dev/pts/3).
    if (trimmed.startsWith(QLatin1String("./")) || trimmed.startsWith(QLatin1String("../"))
        || (trimmed.contains(QLatin1Char('/')) && QFileInfo::exists(trimmed)))
        return QDir::cleanPath(QFileInfo(trimmed).absoluteFilePath());
    return QDir::cleanPath(QStringLiteral("/dev/") + trimmed);
#endif
}

bool PortEnumerator::isSamePort(const QString& first, const QString& second)
{
    const QString a = canonicalPortName(first);
    const QString b = canonicalPortName(second);
    if (a.isEmpty() || b.isEmpty())
        return false;
    if (a == b)
        return true;
    const QString target = targetOf(a);
    return !target.isEmpty() && target == targetOf(b);
}

QString PortEnumerator::resolvePortName(const QString& name)
{
    for (const auto& info : allPorts()) {
        const QString listed = info.value(QStringLiteral("portName")).toString();
        if (isSamePort(listed, name))
            return listed;
    }
    return canonicalPortName(name);
}

void PortEnumerator::setPortRestriction(const QStringList& ports)
{
    QStringList names;
    for (const QString& port : ports) {
        const QString name = canonicalPortName(port);
        if (!name.isEmpty() && !names.contains(name))
            names << name;
    }
    restriction() = names;
}

QStringList PortEnumerator::portRestriction()
{
    return restriction();
}

void PortEnumerator::acceptNewPorts()
{
    if (g_acceptNewPorts || restriction().isEmpty())
        return;
    QStringList names;
    for (const auto& info : allPorts())
        names << info.value(QStringLiteral("portName")).toString();
    oldPorts() = names;
    g_acceptNewPorts = true;
}

QStringList PortEnumerator::virtualPorts()
{
    const QString list = qEnvironmentVariable("DOVREL_VIRTUAL_PORTS");
    QStringList ports;
    for (const QString& path : list.split(QDir::listSeparator(), Qt::SkipEmptyParts)) {
        const QString name = canonicalPortName(path);
        if (!name.isEmpty() && !ports.contains(name))
            ports << name;
    }
    return ports;
}

QString PortEnumerator::portAtSlotPath(const QString& slotPath)
{
    if (slotPath.isEmpty())
        return QString();
    for (const auto& info : getPorts()) {
        if (info.value(QStringLiteral("slotPath")).toString() == slotPath)
            return info.value(QStringLiteral("portName")).toString();
    }
    return QString();
}

PortEnumerator::PortList PortEnumerator::systemPorts()
{
    std::function<PortList()> lister;
    {
        QMutexLocker lock(&g_listerMutex);
        lister = g_lister;
    }
    if (lister)
        return lister();
#ifdef DOVREL_HAVE_UDEV
    // Read from the kernel's records through libudev: with or without the udev daemon,
    // a USB port has its ids (without it, Qt's list has none).
    return UdevPortMonitor::systemPorts();
#else
    PortList ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_WIN
        const QString name = canonicalPortName(info.portName());
#else
        const QString name = canonicalPortName(info.systemLocation());
#endif
        QMap<QString, QVariant> map;
        map.insert(QStringLiteral("portName"), name);
        map.insert(QStringLiteral("friendName"), info.description());
        map.insert(QStringLiteral("physName"), info.systemLocation());
        map.insert(QStringLiteral("enumName"), info.manufacturer());
        map.insert(QStringLiteral("vendorID"), info.hasVendorIdentifier() ? int(info.vendorIdentifier()) : 0);
        map.insert(QStringLiteral("productID"), info.hasProductIdentifier() ? int(info.productIdentifier()) : 0);
        map.insert(QStringLiteral("slotPath"), sysfsPath(name));
        ports << map;
    }
    return ports;
#endif
}

QString PortEnumerator::virtualSlotPath(const QString& port)
{
    return QStringLiteral("virtual:") + port;
}

PortEnumerator::PortList PortEnumerator::withVirtualPorts(const PortList& system)
{
    const QStringList virtuals = virtualPorts();
    if (virtuals.isEmpty())
        return system;
    PortList ports = system;
    QStringList targets; // one entry per device file, however many names reach it
    for (const auto& info : system)
        targets << targetOf(info.value(QStringLiteral("portName")).toString());
    for (const QString& path : virtuals) {
        QFileInfo file(path);
        if (!file.exists())
            continue;
        const QString target = targetOf(path);
        if (!target.isEmpty() && targets.contains(target))
            continue;
        targets << target;
        QMap<QString, QVariant> map;
        map.insert(QStringLiteral("portName"), path);
        map.insert(QStringLiteral("friendName"), QStringLiteral("Virtual device port"));
        map.insert(QStringLiteral("physName"), file.isSymLink() ? file.symLinkTarget() : path);
        map.insert(QStringLiteral("enumName"), QStringLiteral("virtual"));
        map.insert(QStringLiteral("vendorID"), DeviceVendorId);
        map.insert(QStringLiteral("productID"), DeviceProductId);
        // A listed name stays when its device restarts, as a USB socket does: it can be named as a slot.
        map.insert(QStringLiteral("slotPath"), virtualSlotPath(path));
        ports << map;
    }
    return ports;
}

PortEnumerator::PortList PortEnumerator::allPorts()
{
    return withVirtualPorts(systemPorts());
}

PortEnumerator::PortList PortEnumerator::getPorts()
{
    return restricted(allPorts());
}

PortEnumerator::PortList PortEnumerator::restricted(const PortList& all)
{
    const QStringList& allowed = restriction();
    if (allowed.isEmpty())
        return all;
    PortList ports;
    for (const auto& info : all) {
        const QString name = info.value(QStringLiteral("portName")).toString();
        if (g_acceptNewPorts && !oldPorts().contains(name)) {
            ports << info;
            continue;
        }
        for (const QString& port : allowed) {
            if (isSamePort(name, port)) {
                ports << info;
                break;
            }
        }
    }
    return ports;
}

bool PortEnumerator::lacksPermission(const QString& name)
{
#ifdef Q_OS_WIN
    Q_UNUSED(name);
    return false;
#else
    return ::faccessat(AT_FDCWD, QFile::encodeName(canonicalPortName(name)).constData(), R_OK | W_OK, AT_EACCESS) != 0
        && errno == EACCES;
#endif
}

bool PortEnumerator::isDevicePort(const QMap<QString, QVariant>& info)
{
    return info.value(QStringLiteral("vendorID")).toInt() == DeviceVendorId
        && info.value(QStringLiteral("productID")).toInt() == DeviceProductId;
}

void PortEnumerator::reloadVirtualPorts()
{
    QMutexLocker lock(&g_enumeratorsMutex);
    for (PortEnumerator* enumerator : std::as_const(g_enumerators)) {
        QMetaObject::invokeMethod(
            enumerator,
            [enumerator]() {
                if (!enumerator->d->m_polling)
                    enumerator->watchVirtualPorts();
                enumerator->update(enumerator->d->m_system);
            },
            Qt::QueuedConnection);
    }
}

bool PortEnumerator::setUpNotifications()
{
    QString why;
    d->m_polling = !followSystemPorts(&why);
    if (d->m_polling) {
        sayPollingOnce(why);
        // The first list is read here, in the caller's thread, so that start-up sees every port.
        d->m_system = systemPorts();
    } else {
        // Watched before they are looked at: a link made in between is not missed.
        watchVirtualPorts();
    }
    d->m_known.clear();
    for (const auto& info : restricted(withVirtualPorts(d->m_system)))
        d->m_known.insert(info.value(QStringLiteral("portName")).toString(), info);
    if (d->m_polling)
        d->m_timer.start();
    return true;
}

bool PortEnumerator::followSystemPorts(QString* why)
{
    const QString asked = qEnvironmentVariable("DOVREL_PORT_DISCOVERY");
    if (asked.compare(QLatin1String("poll"), Qt::CaseInsensitive) == 0) {
        *why = QStringLiteral("DOVREL_PORT_DISCOVERY is poll");
        return false;
    }
    if (asked.compare(QLatin1String("dev"), Qt::CaseInsensitive) == 0)
        *why = QStringLiteral("DOVREL_PORT_DISCOVERY is dev");
    else if (listerReplaced())
        *why = QStringLiteral("the port list is replaced");
    else if (followUdev(why))
        return true;
    return followDeviceNodes(why);
}

bool PortEnumerator::followDeviceNodes(QString* why)
{
#ifdef Q_OS_LINUX
    if (!d->m_nodes) {
        auto nodes = std::make_unique<DeviceNodeWatcher>(g_deviceFolder.isEmpty() ? QStringLiteral("/dev") : g_deviceFolder);
        const QString udevMissing = *why;
        if (!nodes->start(why))
            return false;
        sayWatchingOnce(udevMissing, nodes->folder());
        d->m_nodes = nodes.release();
        connect(d->m_nodes, &DeviceNodeWatcher::changed, this, &PortEnumerator::startListing);
    }
    // Watched before the list is read: a node made in between is in the list or comes as
    // an event (or both, which changes nothing).
    d->m_system = systemPorts();
    return true;
#else
    *why = QStringLiteral("not followed on this system");
    return false;
#endif
}

bool PortEnumerator::followUdev(QString* why)
{
#ifdef DOVREL_HAVE_UDEV
    if (!d->m_monitor) {
        auto monitor = std::make_unique<UdevPortMonitor>();
        if (!monitor->open(why))
            return false;
        d->m_monitor = monitor.release();
        connect(d->m_monitor, &UdevPortMonitor::portAdded, this, [this](const QMap<QString, QVariant>& info) {
            const QString name = info.value(QStringLiteral("portName")).toString();
            auto known = std::find_if(d->m_system.begin(), d->m_system.end(), [&name](const QMap<QString, QVariant>& port) {
                return port.value(QStringLiteral("portName")).toString() == name;
            });
            if (known != d->m_system.end())
                *known = info;
            else
                d->m_system << info;
            update(d->m_system);
        });
        connect(d->m_monitor, &UdevPortMonitor::portRemoved, this, [this](const QString& name) {
            d->m_system.removeIf([&name](const QMap<QString, QVariant>& port) {
                return port.value(QStringLiteral("portName")).toString() == name;
            });
            update(d->m_system);
        });
        connect(d->m_monitor, &UdevPortMonitor::eventsLost, this, [this]() {
            d->m_system = d->m_monitor->ports();
            update(d->m_system);
        });
    }
    // The monitor is open before the list is read: a port plugged in meanwhile is in the
    // list or comes as an event (or both, which changes nothing).
    d->m_system = d->m_monitor->ports();
    return true;
#else
    *why = QStringLiteral("not followed on this system");
    return false;
#endif
}

PortEnumerator::PortList PortEnumerator::ports() const
{
    return d->m_known.values();
}

bool PortEnumerator::isPolling() const
{
    return d->m_polling;
}

bool PortEnumerator::isWatchingDeviceNodes() const
{
    return !d->m_polling && d->m_nodes;
}

void PortEnumerator::pollNow()
{
#ifdef DOVREL_HAVE_UDEV
    if (d->m_monitor)
        d->m_monitor->readPending();
#endif
    if (!d->m_polling)
        watchVirtualPorts();
    // Virtual ports and the restriction are cheap to check and callers expect them applied on return.
    update(d->m_system);
    if (d->m_polling || isWatchingDeviceNodes())
        startListing();
}

bool PortEnumerator::isListing() const
{
    return d->m_listing;
}

void PortEnumerator::startListing()
{
    // One reading at a time: a tick that finds one running is skipped; a change of the
    // device folder is read once that reading is done.
    if (d->m_listing) {
        d->m_listAgain = d->m_listAgain || !d->m_polling;
        return;
    }
    d->m_listing = true;
    if (!d->m_thread.isRunning())
        d->m_thread.start();
    QMetaObject::invokeMethod(
        d->m_worker, [this]() { emit systemPortsListed(systemPorts(), QPrivateSignal()); }, Qt::QueuedConnection);
}

void PortEnumerator::onSystemPortsListed(const PortList& ports)
{
    d->m_listing = false;
    d->m_system = ports;
    update(d->m_system);
    if (d->m_listAgain) {
        d->m_listAgain = false;
        startListing();
    }
}

void PortEnumerator::watchVirtualPorts()
{
    if (!d->m_watcher) {
        d->m_watcher = new VirtualPortWatcher;
        // One of their names came or went: the virtual ports are checked again, the
        // system's list is left alone.
        connect(d->m_watcher, &VirtualPortWatcher::changed, this, [this]() {
            watchVirtualPorts();
            update(d->m_system);
        });
    }
    d->m_watcher->watch(virtualPorts());
}

void PortEnumerator::update(const PortList& ports)
{
    const PortList all = withVirtualPorts(ports);
    if (g_acceptNewPorts) {
        QStringList names;
        for (const auto& info : all)
            names << info.value(QStringLiteral("portName")).toString();
        QStringList& old = oldPorts();
        old.erase(std::remove_if(old.begin(), old.end(), [&names](const QString& name) { return !names.contains(name); }), old.end());
    }
    QMap<QString, QMap<QString, QVariant>> present;
    for (const auto& info : restricted(all))
        present.insert(info.value(QStringLiteral("portName")).toString(), info);

    const QMap<QString, QMap<QString, QVariant>> before = d->m_known;
    d->m_known = present;
    for (auto it = before.constBegin(); it != before.constEnd(); ++it) {
        if (!present.contains(it.key()))
            emit deviceRemoved(it.value());
    }
    for (auto it = present.constBegin(); it != present.constEnd(); ++it) {
        if (!before.contains(it.key()))
            emit deviceDiscovered(it.value());
    }
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
