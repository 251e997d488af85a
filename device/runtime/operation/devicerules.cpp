#include "devicerules.h"

#include "configurationinfo.h"
#include "deviceinformation.h"
#include "filehelper.h"
#include "localizationhelper.h"
#include "texthelper.h"

#include <QFileInfo>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

using Common::guiText;

QString DeviceRules::minimumVersion(Feature feature)
{
    return QString::fromLatin1(feature == DataLogFeature ? DeviceInformation::DataLogMinimumVersion
                                                          : DeviceInformation::FontsMinimumVersion);
}

bool DeviceRules::isSoftwareTooOld(const DeviceInformation& device, Feature feature)
{
    return Common::TextHelper::versionCompare(device.softwareVersion(), minimumVersion(feature)) == -1;
}

QString DeviceRules::featureRefusal(const DeviceInformation& device, Feature feature)
{
    if (!isSoftwareTooOld(device, feature))
        return QString();
    return guiText("Please upgrade the device software to at least version %1 to use this feature.").arg(minimumVersion(feature));
}

bool DeviceRules::isProtocolSafe(const QString& text)
{
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u > 0xff || u < 0x20 || u == 0x7f || c == QLatin1Char('#') || c == QLatin1Char('<') || c == QLatin1Char('>'))
            return false;
    }
    return true;
}

QString DeviceRules::deviceNameError(const QString& newName, const QString& currentName)
{
    if (newName.isEmpty())
        return guiText("Device name cannot be empty");
    if (newName == currentName)
        return guiText("Device Name unchanged");
    if (!isProtocolSafe(newName))
        return guiText("The device name must not contain \"#\", \"<\" or \">\" and must be Latin-1 text.");
    return QString();
}

QString DeviceRules::fontNameError(const QString& name)
{
    // A font name becomes a file name in a shell command on the device.
    if (name.trimmed().isEmpty() || !isProtocolSafe(name) || name.contains(QLatin1Char('/'))
        || name == QLatin1String(".") || name == QLatin1String(".."))
        return guiText("\"%1\" is not a valid font name.").arg(name);
    return QString();
}

QString DeviceRules::fontFileError(const QString& path, const QStringList& removals)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().toLower();
    if (!info.isFile() || info.size() <= 0 || (suffix != QLatin1String("ttf") && suffix != QLatin1String("otf")))
        return guiText("\"%1\" is not a font file (.ttf or .otf).").arg(Common::TextHelper::toSystemPath(path));
    if (!fontNameError(info.fileName()).isEmpty())
        return fontNameError(info.fileName());
    if (removals.contains(info.fileName()))
        return guiText("Font \"%1\" cannot be both added and removed at the same time.").arg(info.fileName());
    return QString();
}

QString DeviceRules::calibrationFolder()
{
    return QStringLiteral("%1/%2/Calibrations").arg(Common::FileHelper::getStandardDocumentLocation(), QStringLiteral("Lumatra"));
}

QString DeviceRules::calibrationBackupPath(const QString& serial)
{
    // The serial comes from the device: it must not lead out of the folder.
    if (serial.isEmpty() || serial.contains(QLatin1Char('/')) || serial.contains(QLatin1Char('\\')) || serial.contains(QLatin1String("..")))
        return QString();
    return QStringLiteral("%1/cal_list%2.txt").arg(calibrationFolder(), serial);
}

std::optional<int> DeviceRules::brightnessAfterUpload(const Common::ConfigurationInfo& configuration)
{
    const int value = configuration.displayBrightness();
    if (value < 0 || value > 100)
        return std::nullopt;
    return value;
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
