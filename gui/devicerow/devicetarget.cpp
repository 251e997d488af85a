#include "devicetarget.h"

#include "localizationhelper.h"
#include "devicelink.h"
#include "operationrun.h"
#include "serialportmanager.h"

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace Orvane {
namespace Tavrix {
namespace Designer {

DeviceTarget::DeviceTarget(const QString& serial, const QString& port)
    : m_serial(serial)
    , m_port(port)
{
}

QString DeviceTarget::port() const
{
    SerialPortManager* manager = SerialPortManager::instance();
    if (!manager)
        return QString();
    // Without a device of its own (a window made on its own), the manager's active one.
    return m_serial.isEmpty() ? manager->activePort() : manager->portOfDevice(m_serial, m_port);
}

DeviceLink* DeviceTarget::link(QString* error) const
{
    const QString where = port();
    DeviceLink* link = where.isEmpty() ? nullptr : SerialPortManager::instance()->link(where);
    if (!link || !link->isPresent()) {
        if (error)
            *error = goneText();
        return nullptr;
    }
    if (!Runtime::OperationRun::isAvailable(link)) {
        if (error)
            *error = busyText();
        return nullptr;
    }
    return link;
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

QString DeviceTarget::line() const
{
    const QString where = port();
    if (where.isEmpty())
        return m_port.isEmpty() ? m_serial : guiText("%1, port %2").arg(m_serial, m_port);
    return line(SerialPortManager::instance()->deviceInformation(where));
}

QString DeviceTarget::line(const QMap<QString, QString>& deviceInfo)
{
    const QString port = deviceInfo.value(QStringLiteral("port"));
    return port.isEmpty() ? title(deviceInfo) : guiText("%1, port %2").arg(title(deviceInfo), port);
}

DeviceTarget DeviceTarget::ofActivePort()
{
    SerialPortManager* manager = SerialPortManager::instance();
    return DeviceTarget(manager ? manager->deviceInformation(manager->activePort()).value(QStringLiteral("serial")) : QString());
}

QString DeviceTarget::goneText()
{
    return Runtime::OperationRun::goneText();
}

QString DeviceTarget::busyText()
{
    return Runtime::OperationRun::busyText();
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
