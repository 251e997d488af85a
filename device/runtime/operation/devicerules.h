#ifndef DEVICERULES_H
#define DEVICERULES_H

#include "device_global.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace Orvane {
namespace Tavrix {
namespace Common {
class ConfigurationInfo;
}
namespace Runtime {

class DeviceInformation;

// The rules about a device that every front end applies before it asks the
// serial port manager for something: feature gates by software version, names
// the command protocol can carry, where calibration backups live, what follows
// an upload, which font files may be installed. The windows and dovrelctl call
// these so that both refuse the same things with the same texts.
class DEVICE_EXPORT DeviceRules
{
public:
    enum Feature {
        DataLogFeature, // data log retrieval and clearing
        FontFeature     // listing and managing the device's fonts
    };

    // "2.1.6.2886" for the data log, "1.1.0.1910" for fonts.
    static QString minimumVersion(Feature feature);
    // The device software compares below the feature's minimum. A version that
    // is not a version text does not count as older.
    static bool isSoftwareTooOld(const DeviceInformation& device, Feature feature);
    // The refusal to show for a device that is too old; empty when allowed.
    static QString featureRefusal(const DeviceInformation& device, Feature feature);

    // Text that can go inside a command: Latin-1, no control characters, none
    // of the framing characters "#", "<" and ">".
    static bool isProtocolSafe(const QString& text);
    // Why a new device name cannot be set (empty, unchanged, unsafe); empty when it can.
    static QString deviceNameError(const QString& newName, const QString& currentName);
    // Why a font cannot be named in a removal; empty when it can.
    static QString fontNameError(const QString& name);
    // Why a file cannot be installed as a font (missing, empty, not .ttf/.otf,
    // a name the protocol cannot carry, also marked for removal); empty when it can.
    static QString fontFileError(const QString& path, const QStringList& removals = QStringList());

    // "%1/Lumatra/Calibrations" in the documents folder.
    static QString calibrationFolder();
    // "cal_list%1.txt" with the serial number, in the calibration folder; empty without a serial.
    static QString calibrationBackupPath(const QString& serial);

    // The backlight level the device runs with after an upload of a project
    // with these settings, to be recorded for the device; empty when the
    // project does not set one (a level outside 0..100).
    static std::optional<int> brightnessAfterUpload(const Common::ConfigurationInfo& configuration);
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICERULES_H
