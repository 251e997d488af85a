#include "deviceinformation.h"

#include "texthelper.h"

namespace Orvane {
namespace Tavrix {
namespace Runtime {

const char* const DeviceInformation::DataLogMinimumVersion = "2.1.6.2886";
const char* const DeviceInformation::FontsMinimumVersion = "1.1.0.1910";

DeviceInformation::DeviceInformation(const QMap<QString, QString>& map)
    : m_map(map)
{
}

QString DeviceInformation::serial() const { return m_map.value(QStringLiteral("serial")); }
QString DeviceInformation::model() const { return m_map.value(QStringLiteral("model")); }
QString DeviceInformation::firmware() const { return m_map.value(QStringLiteral("firmware")); }
QString DeviceInformation::softwareVersion() const { return m_map.value(QStringLiteral("deviceAppVer")); }
QString DeviceInformation::minimumDesignerVersion() const { return m_map.value(QStringLiteral("minDesignerVer")); }
QString DeviceInformation::deviceName() const { return m_map.value(QStringLiteral("deviceName")); }
QString DeviceInformation::port() const { return m_map.value(QStringLiteral("port")); }
QString DeviceInformation::physicalAddress() const { return m_map.value(QStringLiteral("physicalAddress")); }
int DeviceInformation::screenWidth() const { return number("screenWidth"); }
int DeviceInformation::screenHeight() const { return number("screenHeight"); }
int DeviceInformation::colorDepth() const { return number("colorDepth"); }
int DeviceInformation::analogInputs() const { return number("analogInputs"); }
int DeviceInformation::alarmOutputs() const { return number("alarmOutputs"); }
int DeviceInformation::pwmOutputs() const { return number("pwmOutputs"); }
int DeviceInformation::digitalIOs() const { return number("digitalIOs"); }
int DeviceInformation::backlight() const { return number("backlight", -1); }

std::optional<int> DeviceInformation::timeZone() const
{
    bool ok = false;
    const int zone = m_map.value(QStringLiteral("timezone")).trimmed().toInt(&ok);
    if (!ok || zone < -720 || zone > 720)
        return std::nullopt;
    return zone;
}

QString DeviceInformation::displayName() const
{
    return QStringLiteral("%1(%2)").arg(deviceName(), serial());
}

// Only a version that compares below the minimum is refused; a version text the
// comparison cannot read is let through, as the device may still have the feature.
bool DeviceInformation::hasDataLogFeature() const
{
    return Common::TextHelper::versionCompare(softwareVersion(), QString::fromLatin1(DataLogMinimumVersion)) != -1;
}

bool DeviceInformation::hasFontFeature() const
{
    return Common::TextHelper::versionCompare(softwareVersion(), QString::fromLatin1(FontsMinimumVersion)) != -1;
}

int DeviceInformation::number(const char* key, int fallback) const
{
    bool ok = false;
    const int value = m_map.value(QString::fromLatin1(key)).trimmed().toInt(&ok);
    return ok ? value : fallback;
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
