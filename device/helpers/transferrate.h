#ifndef TRANSFERRATE_H
#define TRANSFERRATE_H

#include "device_global.h"

#include <QElapsedTimer>
#include <QList>
#include <QPair>

namespace Orvane {
namespace Tavrix {
namespace Common {

// The speed of a transfer and the time it has left, from the bytes done so far.
// The speed is measured over the last few seconds, so it follows a line that
// slows down or speeds up, and the pauses between files count as they take time.
class DEVICE_EXPORT TransferRate
{
public:
    // The devices' serial line, 8N1: ten bits on the wire for every byte.
    static constexpr int LineBaudRate = 115200;
    // How far back the speed is measured.
    static constexpr qint64 WindowMs = 4000;
    // Shorter than this, a measurement says nothing yet.
    static constexpr qint64 MinimumSpanMs = 700;

    explicit TransferRate(qint64 total = 0);

    // Starts anew: nothing done, the clock at zero.
    void start(qint64 total);
    void setTotal(qint64 total) { m_total = total; }
    // The bytes done so far; at an explicit time (milliseconds since start) for replays.
    void update(qint64 done);
    void updateAt(qint64 done, qint64 elapsedMs);

    qint64 total() const { return m_total; }
    qint64 done() const { return m_done; }
    qint64 elapsedMs() const;
    // False until enough time has passed to tell a speed.
    bool isKnown() const;
    // Bytes a second, 0 while unknown.
    double bytesPerSecond() const;
    // Seconds left at the current speed; negative while unknown, 0 when done.
    double secondsLeft() const;

    // The time a transfer of `bytes` takes at the line's nominal speed.
    static double lineSeconds(qint64 bytes, int baudRate = LineBaudRate);

private:
    qint64 m_total = 0;
    qint64 m_done = 0;
    QElapsedTimer m_clock;
    // (elapsed ms, bytes done) of the recent updates, oldest first.
    QList<QPair<qint64, qint64>> m_samples;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // TRANSFERRATE_H
