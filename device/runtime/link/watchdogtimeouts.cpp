#include "watchdogtimeouts.h"

#include <QtGlobal>

#include <climits>
#include <cmath>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

double WatchdogTimeouts::clampScale(double factor)
{
    if (!std::isfinite(factor))
        return 1.0;
    return qBound(MinimumScale, factor, MaximumScale);
}

double WatchdogTimeouts::scale()
{
    // Read once: an interval must not change between two steps of one operation.
    static const double factor = parseScale(qgetenv("DOVREL_TIMEOUT_SCALE"));
    return factor;
}

double WatchdogTimeouts::parseScale(const QByteArray& value)
{
    bool ok = false;
    const double parsed = value.trimmed().toDouble(&ok);
    return ok ? clampScale(parsed) : 1.0;
}

int WatchdogTimeouts::scaled(int msecs)
{
    return scaled(msecs, scale());
}

int WatchdogTimeouts::scaled(int msecs, double factor)
{
    factor = clampScale(factor);
    if (factor == 1.0 || msecs <= 0)
        return msecs;
    const double result = std::round(msecs * factor);
    const int floor = qMin(msecs, ScaledFloorMsecs);
    return qMax(floor, int(qMin(result, double(INT_MAX))));
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
