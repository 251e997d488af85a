#ifndef TRANSFERSTATUSLABEL_H
#define TRANSFERSTATUSLABEL_H

#include "gui_global.h"
#include "transferrate.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>

namespace Orvane {
namespace Tavrix {
namespace Designer {

// The line beside a progress bar: the bytes done of the total, the speed and the
// time left ("1.2 MiB of 1.8 MiB · 11.2 KiB/s · about 52 s left"). The text
// changes at most every RefreshMs, however often bytes arrive.
class GUI_EXPORT TransferStatusLabel : public QLabel
{
    Q_OBJECT
public:
    static constexpr int RefreshMs = 250;

    explicit TransferStatusLabel(QWidget* parent = nullptr);

    // A new transfer of `total` bytes: the speed is measured from now.
    void begin(qint64 total);
    void setTotal(qint64 total);
    void add(qint64 bytes);
    void setDone(qint64 done);
    // The transfer is over: the bytes done of the total, no speed.
    void finish();

    const Common::TransferRate& rate() const { return m_rate; }

    static QString bytesText(qint64 bytes);
    static QString durationText(double seconds);
    // The line for these figures; a negative speed or time leaves that part out.
    static QString describe(qint64 done, qint64 total, double bytesPerSecond, double secondsLeft);

private:
    void refresh(bool now);
    void showFigures();

    Common::TransferRate m_rate;
    QElapsedTimer m_lastShown;
    QTimer m_pending;
    bool m_running = false;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // TRANSFERSTATUSLABEL_H
