#ifndef THREADHELPER_H
#define THREADHELPER_H

#include "device_global.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

// Blocks the calling thread for a while.
class DEVICE_EXPORT ThreadHelper
{
public:
    static void sleep(unsigned long seconds);
    static void msleep(unsigned long milliseconds);
    static void usleep(unsigned long microseconds);
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // THREADHELPER_H
