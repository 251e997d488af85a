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
