#ifndef DEVICETARGET_H
#define DEVICETARGET_H

#include "gui_global.h"

#include <QMap>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Runtime {
class DeviceLink;
}
namespace Designer {

// The device a window works on, known by its serial number: after a restart it comes
// back under a port of its own choosing, and another device may take its old port.
// Every operation a window starts goes to this device's link, or is refused. A target
// made without a serial number stands for the manager's active device.
class GUI_EXPORT DeviceTarget
{
public:
    DeviceTarget() = default;
    // port: where the device was seen, which tells it from another device with the same
    // serial number.
    explicit DeviceTarget(const QString& serial, const QString& port = QString());

    QString serial() const { return m_serial; }
    bool isEmpty() const { return m_serial.isEmpty(); }
    // Where the device is now; empty while it is gone.
    QString port() const;
    bool isPresent() const { return !port().isEmpty(); }

    // The device's link for an operation that starts now: null, with the reason for the
    // user, when the device is gone or an operation already runs on it. Operations on
    // other devices' links are no hindrance.
    Runtime::DeviceLink* link(QString* error = nullptr) const;

    // "name (serial)" as windows name their device; the serial number alone while it is gone.
    QString title() const;
    static QString title(const QMap<QString, QString>& deviceInfo);
    // "name (serial), port /dev/ttyACM0": the device as questions, windows and messages name it.
    QString line() const;
    static QString line(const QMap<QString, QString>& deviceInfo);
    // The device of the manager's active port.
    static DeviceTarget ofActivePort();

    static QString goneText();
    static QString busyText();

private:
    QString m_serial;
    QString m_port;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICETARGET_H
