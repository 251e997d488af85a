#ifndef WINDOWSHELPER_H
#define WINDOWSHELPER_H

#include "device_global.h"
#include "systemhelper.h"

#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Common {

// Windows services: version and edition, locale names, processor architecture,
// version resources of executables and showing a file in Explorer. On other
// systems the answers are the local equivalents, or empty / -1 where there is none.
class DEVICE_EXPORT WindowsHelper
{
public:
    // 1 workstation, 2 domain controller, 3 server; -1 otherwise.
    static int getWindowsProductType();
    static QString windowsSystemVersion();
    static QString getWindowsServicePackVersion();
    static QString getWindowsBuildVersion();
    static QString windowsProductName();
    static QString windowsSystemLocale();
    static QString windowsCurrentLocale();
    static SystemHelper::SystemArchitecture windowsSystemArchitecture();

    static QString getFileFileVersion(const QString& path);
    static QString getFileProductVersion(const QString& path);
    static QString getFileProductName(const QString& path);
    static QString getFileCompanyName(const QString& path);
    static QString getFileFileDescription(const QString& path);

    // Shows the file selected in the system's file viewer; true when a viewer was started.
    static bool activateFileViewerSelectingFile(const QString& path);
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // WINDOWSHELPER_H
