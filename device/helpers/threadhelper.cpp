#include "threadhelper.h"

#include <QThread>

namespace Orvane {
namespace Tavrix {
namespace Common {

void ThreadHelper::sleep(unsigned long seconds)
{
    QThread::sleep(seconds);
}

void ThreadHelper::msleep(unsigned long milliseconds)
{
    QThread::msleep(milliseconds);
}

void ThreadHelper::usleep(unsigned long microseconds)
{
    QThread::usleep(microseconds);
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
