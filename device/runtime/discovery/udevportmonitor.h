#ifndef UDEVPORTMONITOR_H
#define UDEVPORTMONITOR_H

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

class QSocketNotifier;
struct udev;
struct udev_device;
struct udev_monitor;

namespace Orvane {
namespace Tavrix {
namespace Runtime {

// The serial ports as udev knows them: listed once, then kept up to date by udev's
// add and remove events, read through a socket notifier (no timer, no thread).
// A port's USB vendor and product come from udev's properties or the USB device's
// attributes; no port is opened to learn them.
class UdevPortMonitor : public QObject
{
    Q_OBJECT
public:
    explicit UdevPortMonitor(QObject* parent = nullptr);
    ~UdevPortMonitor() override;

    // Opens the monitor. False, with the reason, where udev does not deliver events
    // (no udev daemon, as in most containers) or the monitor cannot be opened.
    bool open(QString* why = nullptr);
    // The ports present now. Call after open(): whatever is plugged in while the list is
    // read is also reported by an event, so nothing falls between the two.
    QList<QMap<QString, QVariant>> ports() const;
    // The ports as the kernel lists them, with or without the udev daemon (the ids then
    // come from the USB device's attributes); callable from any thread.
    static QList<QMap<QString, QVariant>> systemPorts();
    // Reads the events that are waiting, now.
    void readPending();

signals:
    void portAdded(const QMap<QString, QVariant>& info);
    void portRemoved(const QString& portName);
    // Events were dropped (the socket's buffer overflowed): list the ports anew.
    void eventsLost();

private:
    // Ports that udev is still setting up are left out when initializedOnly.
    static QList<QMap<QString, QVariant>> listPorts(udev* context, bool initializedOnly);
    static bool isHardwarePort(udev_device* device);
    static QMap<QString, QVariant> portInfo(udev_device* device);

    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // UDEVPORTMONITOR_H
