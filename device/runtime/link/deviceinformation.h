#ifndef DEVICEINFORMATION_H
#define DEVICEINFORMATION_H

#include "device_global.h"

#include <QMap>
#include <QString>

#include <optional>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

// A typed view over one device information map, as carried by
// deviceConnected / deviceDisconnected. The map stays the source of truth.
class DEVICE_EXPORT DeviceInformation
{
public:
    // Software versions from which the data log and the font features exist.
    static const char* const DataLogMinimumVersion; // "2.1.6.2886"
    static const char* const FontsMinimumVersion;   // "1.1.0.1910"

    DeviceInformation() = default;
    explicit DeviceInformation(const QMap<QString, QString>& map);

    const QMap<QString, QString>& map() const { return m_map; }
    bool isEmpty() const { return m_map.isEmpty(); }

    QString serial() const;
    QString model() const;
    QString firmware() const;
    QString softwareVersion() const; // "deviceAppVer"
    QString minimumDesignerVersion() const;
    QString deviceName() const;
    QString port() const;
    QString physicalAddress() const;
    int screenWidth() const;
    int screenHeight() const;
    int colorDepth() const;
    int analogInputs() const;
    int alarmOutputs() const;
    int pwmOutputs() const;
    int digitalIOs() const;
    // Backlight level, or -1 when the device did not report one.
    int backlight() const;
    // Minutes east of UTC; empty when missing or outside -720..720.
    std::optional<int> timeZone() const;

    // "name(serial)" as the device rows show it; the serial alone without a name.
    QString displayName() const;

    // The software version does not compare below the feature's minimum.
    bool hasDataLogFeature() const;
    bool hasFontFeature() const;

private:
    int number(const char* key, int fallback = 0) const;

    QMap<QString, QString> m_map;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICEINFORMATION_H
