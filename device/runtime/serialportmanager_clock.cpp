// The computer's time zone offset and the stored device record updates.
#include "serialportmanager.h"
#include "devicelink.h"
#include "serialportmanager_p.h"

#include <QDateTime>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

int SerialPortManager::getLocalMinuteOffset()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString format = QStringLiteral("yyyy/MM/dd hh:mm:ss.zzz");
    const QDateTime local = QDateTime::fromString(now.toLocalTime().toString(format), format);
    const QDateTime utc = QDateTime::fromString(now.toUTC().toString(format), format);
    const qint64 seconds = utc.secsTo(local);
    if (seconds == 0)
        return 0;
    auto floorDiv = [](qint64 a, qint64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); };
    const qint64 minutes = floorDiv(seconds, 60);
    const qint64 hours = floorDiv(minutes, 60);
    if (hours <= 12)
        return int(minutes);
    return int(720 - minutes);
}

void SerialPortManager::updateTimeZone(const QString& portName, int timeZone)
{
    if (!connectedPorts().contains(portName) || timeZone < -720 || timeZone > 720)
        return;
    if (!d->m_devices.contains(portName))
        return;
    d->m_devices[portName].insert(QStringLiteral("timezone"), QString::number(timeZone));
    if (DeviceLink* deviceLink = link(portName))
        deviceLink->setDeviceInformation(d->m_devices.value(portName));
}

void SerialPortManager::updateBrightness(const QString& portName, int brightness)
{
    if (!connectedPorts().contains(portName) || brightness < 0 || brightness > 100)
        return;
    if (!d->m_devices.contains(portName))
        return;
    d->m_devices[portName].insert(QStringLiteral("backlight"), QString::number(brightness));
    if (DeviceLink* deviceLink = link(portName))
        deviceLink->setDeviceInformation(d->m_devices.value(portName));
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
