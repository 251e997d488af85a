#ifndef OPERATIONRESULT_H
#define OPERATIONRESULT_H

#include "device_global.h"

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

// How one device operation ended. The device's DeviceLink::operationEnded carries it
// exactly once for every operation that was started, whatever happened to the
// device or the port (and SerialPortManager::operationEnded too for an operation
// started through the manager), so a window or the CLI never has to guess.
class DEVICE_EXPORT OperationResult
{
    Q_GADGET
public:
    enum Kind {
        NoKind,
        Command,          // a single command: identify, clock, backlight, reboot
        ProjectUpload,
        SoftwareUpgrade,
        ProjectRetrieval,
        DataLogRetrieval,
        DataLogUpdate,
        Configuration,
        FontListing,
        FontManagement,
        Identification    // a fresh "#HWCF#" to a device that may be restarting
    };
    Q_ENUM(Kind)

    enum Outcome {
        Succeeded,
        Failed,     // the device refused a step, or a local step failed
        TimedOut,   // the device did not answer in time
        DeviceLost, // the device went away during the operation
        NoData,     // nothing to fetch (a device without a data log)
        Interrupted // stopped on request; what the device had is whole
    };
    Q_ENUM(Outcome)

    Kind kind = NoKind;
    Outcome outcome = Succeeded;
    // Where the device was when the operation ended; after a followed restart, where it is back.
    QString port;
    QString serial;
    // The localized text to show; empty for a plain success.
    QString message;
    // The device restarts (or was restarted by the watchdog) as part of the end.
    bool deviceRestarts = false;
    // Never started: the device was gone or busy (the message says which).
    bool refused = false;
    // What the user should know beyond the outcome (a data log found under its backup name).
    QStringList notices;
    // The restart was followed and the device was identified again (by its serial number).
    bool back = false;

    bool succeeded() const { return outcome == Succeeded; }
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

Q_DECLARE_METATYPE(Orvane::Tavrix::Runtime::OperationResult)

#endif // OPERATIONRESULT_H
