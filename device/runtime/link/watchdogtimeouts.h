#ifndef WATCHDOGTIMEOUTS_H
#define WATCHDOGTIMEOUTS_H

#include "device_global.h"

#include <QByteArray>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

// The time-outs the serial port manager gives a device to answer, and the test hook that
// shortens them. Tests that keep an emulated device silent would otherwise wait for the
// real intervals (two minutes for a data log zip); they set DOVREL_TIMEOUT_SCALE (e.g.
// 0.05) before the first operation. Unset, every interval is the real one. Waits that
// follow the device's own pace (a restart, an install) are never scaled.
class DEVICE_EXPORT WatchdogTimeouts
{
public:
    // How long the device may take to zip its data log after "#LOGZ#"; large logs take long.
    static constexpr int DataLogZipMsecs = 120000;
    // A scaled time-out never drops below this (or below the real one, if that is shorter),
    // so a loaded machine still has time for the replies that do come.
    static constexpr int ScaledFloorMsecs = 2000;
    static constexpr double MinimumScale = 0.01;
    static constexpr double MaximumScale = 10.0;

    // The factor from DOVREL_TIMEOUT_SCALE, read once; 1 when unset or not a number.
    static double scale();
    // The interval a watchdog of msecs really waits under the current scale.
    static int scaled(int msecs);
    // The same for an explicit factor (clamped like the variable).
    static int scaled(int msecs, double factor);
    static double clampScale(double factor);
    // The factor a value of DOVREL_TIMEOUT_SCALE stands for; 1 when empty or not a number.
    static double parseScale(const QByteArray& value);
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // WATCHDOGTIMEOUTS_H
