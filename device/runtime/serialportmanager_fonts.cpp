// Device font management.
#include "serialportmanager.h"
#include "serialportmanager_p.h"

namespace Orvane {
namespace Tavrix {
namespace Runtime {

void SerialPortManager::getInstalledFonts() {}
void SerialPortManager::manageFonts(const QMap<QString, qint64>& fontsToAdd, const QStringList& fontsToRemove)
{
    Q_UNUSED(fontsToAdd) Q_UNUSED(fontsToRemove)
}
void SerialPortManager::onDeviceFontStatusChange(int status, int idx, const QString& fontName)
{
    Q_UNUSED(status) Q_UNUSED(idx) Q_UNUSED(fontName)
}
void SerialPortManager::getInstalledFontsStart() {}
void SerialPortManager::setRemoveFontsStart() {}
void SerialPortManager::uploadFontFileStart() {}
void SerialPortManager::uploadFontFile() {}
bool SerialPortManager::processGetInstFontsList() { return true; }

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
