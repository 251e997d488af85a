#include "devicetarget.h"

#include "localizationhelper.h"
#include "serialportmanager.h"

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace Orvane {
namespace Tavrix {
namespace Designer {

DeviceTarget::DeviceTarget(const QString& serial)
    : m_serial(serial)
{
}

QString DeviceTarget::port() const
{
    SerialPortManager* manager = SerialPortManager::instance();
    return manager ? manager->portOfDevice(m_serial) : QString();
}

bool DeviceTarget::activate(QString* error) const
{
    const QString where = port();
    if (where.isEmpty()) {
        if (error)
            *error = goneText();
        return false;
    }
    if (!SerialPortManager::instance()->setActivePort(where)) {
        if (error)
            *error = busyText();
        return false;
    }
    return true;
}

QString DeviceTarget::title() const
{
    SerialPortManager* manager = SerialPortManager::instance();
    const QString where = port();
    if (where.isEmpty())
        return m_serial;
    return title(manager->deviceInformation(where));
}

QString DeviceTarget::title(const QMap<QString, QString>& deviceInfo)
{
    const QString serial = deviceInfo.value(QStringLiteral("serial"));
    const QString name = deviceInfo.value(QStringLiteral("deviceName"));
    return name.isEmpty() ? serial : QStringLiteral("%1 (%2)").arg(name, serial);
}

DeviceTarget DeviceTarget::ofActivePort()
{
    SerialPortManager* manager = SerialPortManager::instance();
    return DeviceTarget(manager ? manager->deviceInformation(manager->activePort()).value(QStringLiteral("serial")) : QString());
}

QString DeviceTarget::goneText()
{
    return guiText("The device is no longer connected.");
}

QString DeviceTarget::busyText()
{
    return guiText("The device is busy with another operation. Please try again later.");
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
