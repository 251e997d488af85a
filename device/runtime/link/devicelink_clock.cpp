// Device clock.
#include "devicelink.h"
#include "devicelink_p.h"

#include "serialportmanager.h"

#include <QDateTime>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

void DeviceLink::remoteSetRealTimeClock(bool useDefault, int offset)
{
    const Frame frame(this);
    if (d->m_busy || !isSerialPortOpen())
        return;
    if (!useDefault && (offset < -720 || offset > 720))
        return;
    d->m_busy = true;
    d->m_operation = SetClock;
    const int sent = useDefault ? SerialPortManager::getLocalMinuteOffset() : offset;
    const QString offsetText = QStringLiteral("%1").arg(sent, 4, 10, QLatin1Char(' '));
    const QString timeText = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss:zzz"));
    d->m_port->flush();
    d->m_port->write(QStringLiteral("#DTIM<%1 %2>#").arg(timeText, offsetText).toLatin1());
    d->m_port->flush();
    // Record the offset the device was actually given.
    updateInformation(QStringLiteral("timezone"), QString::number(sent));
    emit timeZoneUpdated(sent);
    d->m_busy = false;
}

bool DeviceLink::syncDeviceClock(int offset)
{
    const Frame frame(this);
    if (offset < -720 || offset > 720 || !beginOperation(OperationResult::Command))
        return false;
    if (!isSerialPortOpen())
        return true;
    // The device answers "<DTIM:NOR>" or "<DTIM:ERR>"; the dispatcher ends the command.
    startWatchdog(5000);
    remoteSetRealTimeClock(false, offset);
    return true;
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
