#ifndef DIAGNOSTICS_H
#define DIAGNOSTICS_H

#include "device_global.h"

#include <QLoggingCategory>

namespace Orvane {
namespace Tavrix {
namespace Common {

// The program's diagnostic lines, one category per subject. Silent below warnings
// unless switched on, e.g. QT_LOGGING_RULES="dovrel.*.debug=true" for all of them.
DEVICE_EXPORT const QLoggingCategory& lcDiscovery();    // "dovrel.discovery": ports, scanners, identification
DEVICE_EXPORT const QLoggingCategory& lcTransfer();     // "dovrel.transfer": the command port, packets, sequences
DEVICE_EXPORT const QLoggingCategory& lcLocalization(); // "dovrel.localization": text tables
DEVICE_EXPORT const QLoggingCategory& lcFiles();        // "dovrel.files": files, archives, packages, records
DEVICE_EXPORT const QLoggingCategory& lcFonts();        // "dovrel.fonts": the program's fonts
DEVICE_EXPORT const QLoggingCategory& lcApp();          // "dovrel.app": start-up, hand-over, windows

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // DIAGNOSTICS_H
