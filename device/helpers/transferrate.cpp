#include "transferrate.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

TransferRate::TransferRate(qint64 total)
{
    start(total);
}

void TransferRate::start(qint64 total)
{
    m_total = total;
    m_done = 0;
    m_clock.start();
    m_samples.clear();
    m_samples.append({ 0, 0 });
}

qint64 TransferRate::elapsedMs() const
{
    return m_clock.isValid() ? m_clock.elapsed() : 0;
}

void TransferRate::update(qint64 done)
{
    updateAt(done, elapsedMs());
}

void TransferRate::updateAt(qint64 done, qint64 elapsedMs)
{
    m_done = done;
    if (!m_samples.isEmpty() && elapsedMs < m_samples.last().first)
        elapsedMs = m_samples.last().first;
    // The speed is measured from the first bytes on: the steps before them are not the line's pace.
    if (m_samples.size() == 1 && m_samples.first().second == 0) {
        m_samples.first() = { elapsedMs, done };
        return;
    }
    m_samples.append({ elapsedMs, done });
    // One sample at or before the window's start stays, so the window is covered whole.
    while (m_samples.size() > 2 && m_samples.at(1).first <= elapsedMs - WindowMs)
        m_samples.removeFirst();
}

bool TransferRate::isKnown() const
{
    return m_samples.size() >= 2 && m_samples.last().first - m_samples.first().first >= MinimumSpanMs;
}

double TransferRate::bytesPerSecond() const
{
    if (!isKnown())
        return 0.0;
    const qint64 span = m_samples.last().first - m_samples.first().first;
    const qint64 bytes = m_samples.last().second - m_samples.first().second;
    return bytes > 0 ? double(bytes) * 1000.0 / double(span) : 0.0;
}

double TransferRate::secondsLeft() const
{
    if (m_total > 0 && m_done >= m_total)
        return 0.0;
    const double rate = bytesPerSecond();
    if (rate <= 0.0 || m_total <= 0)
        return -1.0;
    return double(m_total - m_done) / rate;
}

double TransferRate::lineSeconds(qint64 bytes, int baudRate)
{
    if (bytes <= 0 || baudRate <= 0)
        return 0.0;
    return double(bytes) * 10.0 / double(baudRate);
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
