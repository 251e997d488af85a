#include "udevportmonitor.h"

#include "portenumerator.h"

#include <QFileInfo>
#include <QSocketNotifier>

#include <libudev.h>

#include <cerrno>
#include <poll.h>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

namespace {

QString text(const char* value)
{
    return value ? QString::fromUtf8(value) : QString();
}

// "1781" or "0x1781"; 0 when absent.
int hexId(const QString& value)
{
    bool ok = false;
    const int id = value.trimmed().toInt(&ok, 16);
    return ok ? id : 0;
}

bool readable(int fd)
{
    pollfd p { fd, POLLIN, 0 };
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

} // namespace

UdevPortMonitor::UdevPortMonitor(QObject* parent)
    : QObject(parent)
{
}

UdevPortMonitor::~UdevPortMonitor()
{
    delete m_notifier;
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

bool UdevPortMonitor::open(QString* why)
{
    const auto fail = [this, why](const QString& reason) {
        if (why)
            *why = reason;
        if (m_monitor)
            udev_monitor_unref(m_monitor);
        m_monitor = nullptr;
        return false;
    };
    // Without the daemon libudev opens the monitor all the same, but no event ever comes
    // (libudev itself goes by this socket). umockdev's test bed stands in for the daemon.
    if (!QFileInfo::exists(QStringLiteral("/run/udev/control")) && qEnvironmentVariableIsEmpty("UMOCKDEV_DIR"))
        return fail(QStringLiteral("udev is not running"));
    if (!m_udev)
        m_udev = udev_new();
    if (!m_udev)
        return fail(QStringLiteral("libudev cannot be used"));
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!m_monitor)
        return fail(QStringLiteral("the udev monitor cannot be opened"));
    if (udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "tty", nullptr) < 0
        || udev_monitor_enable_receiving(m_monitor) < 0 || udev_monitor_get_fd(m_monitor) < 0)
        return fail(QStringLiteral("the udev monitor cannot be opened"));
    m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UdevPortMonitor::readPending);
    return true;
}

QList<QMap<QString, QVariant>> UdevPortMonitor::ports() const
{
    // A port udev is still setting up (its node may lack its permissions yet) comes as
    // an event once udev is done with it.
    return m_udev ? listPorts(m_udev, true) : QList<QMap<QString, QVariant>>();
}

QList<QMap<QString, QVariant>> UdevPortMonitor::systemPorts()
{
    // A context of its own: libudev's are not to be shared between threads.
    udev* context = udev_new();
    if (!context)
        return {};
    // Without the daemon no port is ever marked as set up.
    const QList<QMap<QString, QVariant>> list = listPorts(context, false);
    udev_unref(context);
    return list;
}

QList<QMap<QString, QVariant>> UdevPortMonitor::listPorts(udev* context, bool initializedOnly)
{
    QList<QMap<QString, QVariant>> list;
    udev_enumerate* enumerate = udev_enumerate_new(context);
    if (!enumerate)
        return list;
    udev_enumerate_add_match_subsystem(enumerate, "tty");
    if (initializedOnly)
        udev_enumerate_add_match_is_initialized(enumerate);
    udev_enumerate_scan_devices(enumerate);
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate))
    {
        const char* syspath = udev_list_entry_get_name(entry);
        // Consoles and pseudo terminals: dozens of them, none of them ours.
        if (!syspath || qstrncmp(syspath, "/sys/devices/virtual/", 21) == 0)
            continue;
        udev_device* device = udev_device_new_from_syspath(context, syspath);
        if (!device)
            continue;
        if (isHardwarePort(device))
            list << portInfo(device);
        udev_device_unref(device);
    }
    udev_enumerate_unref(enumerate);
    return list;
}

void UdevPortMonitor::readPending()
{
    if (!m_monitor)
        return;
    const int fd = udev_monitor_get_fd(m_monitor);
    while (readable(fd)) {
        errno = 0;
        udev_device* device = udev_monitor_receive_device(m_monitor);
        if (!device) {
            // The socket's buffer overflowed and events are gone: the caller lists anew.
            if (errno == ENOBUFS)
                emit eventsLost();
            // Anything else was one unreadable message; the notifier calls again for more.
            break;
        }
        const QString action = text(udev_device_get_action(device));
        const QString node = text(udev_device_get_devnode(device));
        if (action == QLatin1String("remove")) {
            if (!node.isEmpty())
                emit portRemoved(PortEnumerator::canonicalPortName(node));
        } else if (isHardwarePort(device)) {
            emit portAdded(portInfo(device));
        }
        udev_device_unref(device);
    }
}

bool UdevPortMonitor::isHardwarePort(udev_device* device)
{
    const char* syspath = udev_device_get_syspath(device);
    return udev_device_get_devnode(device) && syspath && qstrncmp(syspath, "/sys/devices/virtual/", 21) != 0;
}

QMap<QString, QVariant> UdevPortMonitor::portInfo(udev_device* device)
{
    const auto property = [device](const char* name) { return text(udev_device_get_property_value(device, name)); };
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
    const auto attribute = [usb](const char* name) { return usb ? text(udev_device_get_sysattr_value(usb, name)) : QString(); };

    // udev's serial rules also fill ID_VENDOR_ID for PCI cards, with the PCI vendor.
    const bool usbIds = property("ID_BUS") == QLatin1String("usb");
    int vendor = usbIds ? hexId(property("ID_VENDOR_ID")) : 0;
    int product = usbIds ? hexId(property("ID_MODEL_ID")) : 0;
    if (vendor == 0 || product == 0) {
        vendor = hexId(attribute("idVendor"));
        product = hexId(attribute("idProduct"));
    }
    QString description = property("ID_MODEL_FROM_DATABASE");
    if (description.isEmpty())
        description = property("ID_MODEL").replace(QLatin1Char('_'), QLatin1Char(' '));
    if (description.isEmpty())
        description = attribute("product");
    QString manufacturer = property("ID_VENDOR_FROM_DATABASE");
    if (manufacturer.isEmpty())
        manufacturer = property("ID_VENDOR").replace(QLatin1Char('_'), QLatin1Char(' '));
    if (manufacturer.isEmpty())
        manufacturer = attribute("manufacturer");

    const QString node = text(udev_device_get_devnode(device));
    QMap<QString, QVariant> info;
    info.insert(QStringLiteral("portName"), PortEnumerator::canonicalPortName(node));
    info.insert(QStringLiteral("friendName"), description);
    info.insert(QStringLiteral("physName"), node);
    info.insert(QStringLiteral("enumName"), manufacturer);
    info.insert(QStringLiteral("vendorID"), vendor);
    info.insert(QStringLiteral("productID"), product);
    return info;
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
