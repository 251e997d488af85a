#ifndef STOPSIGNALS_H
#define STOPSIGNALS_H

#include "device_global.h"

#include <QObject>

class QSocketNotifier;

namespace Orvane {
namespace Tavrix {
namespace Common {

// The ways a program is asked to end from outside (Ctrl-C, a service manager's SIGTERM, a
// logout's SIGHUP; on Windows the console's Ctrl-C, Ctrl-Break and close) as one signal in
// the thread that installed it: the first asks to stop safely; a second one ends the
// process at once, with 128 + the signal's number.
class DEVICE_EXPORT StopSignals : public QObject
{
    Q_OBJECT
public:
    // Installs the handlers once; later calls return the same object.
    static StopSignals* install();
    static StopSignals* instance();
    ~StopSignals() override;

    // The signal that asked to stop, 0 before one came.
    int signalNumber() const { return m_signal; }
    // The exit code of a program ended by this signal: 130 for SIGINT, 143 for SIGTERM,
    // 129 for SIGHUP.
    static int exitCode(int signalNumber);

signals:
    void stopRequested(int signalNumber);

private:
    StopSignals();
    void onReadable();

    QSocketNotifier* m_notifier = nullptr;
    int m_signal = 0;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // STOPSIGNALS_H
