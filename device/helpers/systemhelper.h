#ifndef SYSTEMHELPER_H
#define SYSTEMHELPER_H

#include "device_global.h"

#include <QSettings>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Common {

// Facts about the operating system the program runs on.
class DEVICE_EXPORT SystemHelper
{
public:
    enum SystemArchitecture {
        UnknownArchitecture = -1,
        X86Architecture = 0,
        X64Architecture = 1,
        ItaniumArchitecture = 2,
        ArmArchitecture = 3,
        PowerPcArchitecture = 4
    };

    // The program's own settings of this user (shared by dovrel and dovrelctl).
    static QSettings userSettings();
    static bool isWindows();
    static bool isUnix();
    // Windows: "major.minor"; elsewhere the kernel version.
    static QString systemVersion();
    static SystemArchitecture systemArchitecture();
    // "language_COUNTRY" of the user's locale.
    static QString currentLocale();
    static QString systemProductName();
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // SYSTEMHELPER_H
