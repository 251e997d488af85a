#ifndef DEVICETARGET_H
#define DEVICETARGET_H

#include "gui_global.h"

#include <QMap>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Designer {

// The device a window works on, known by its serial number: after a restart it comes
// back under a port of its own choosing, and another device may take its old port.
// Every operation a window starts goes to this device, or is refused.
class GUI_EXPORT DeviceTarget
{
public:
    DeviceTarget() = default;
    explicit DeviceTarget(const QString& serial);

    QString serial() const { return m_serial; }
    bool isEmpty() const { return m_serial.isEmpty(); }
    // Where the device is now; empty while it is gone.
    QString port() const;
    bool isPresent() const { return !port().isEmpty(); }

    // Makes the device's port the one the next operation runs on. False, with the
    // reason for the user, when the device is gone or another operation holds the link.
    bool activate(QString* error = nullptr) const;

    // "name (serial)" as windows name their device; the serial number alone while it is gone.
    QString title() const;
    static QString title(const QMap<QString, QString>& deviceInfo);
    // The device of the manager's active port.
    static DeviceTarget ofActivePort();

    static QString goneText();
    static QString busyText();

private:
    QString m_serial;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICETARGET_H
