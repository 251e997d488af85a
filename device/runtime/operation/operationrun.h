#ifndef OPERATIONRUN_H
#define OPERATIONRUN_H

#include "device_global.h"
#include "operationresult.h"
#include "servicerecord.h"
#include "transferrate.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>

#include <functional>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

class DeviceLink;
class OperationRunPrivate;

// One operation on one device, from its start to its one end, the same for every front
// end (the rows and dialogs, the Batch window, dovrelctl). The device is known by its
// serial number (and by its port only where two devices share one): the run finds the
// device's link, starts the work or refuses with a reason, passes on the progress (bytes,
// files, the step, speed and time left), offers cancel while nothing on the device has
// been replaced, records the operation in the service history (with the SHA-256 of the
// package bytes that were sent), follows the device through its restart when asked, and
// ends exactly once with an OperationResult. A refusal is an end too. ended() is never
// emitted inside a call of the run or inside the link's own signals.
//
// A run belongs to its device, not to the window that started it: it lives under the
// serial port manager and deletes itself after its end, so hold it in a QPointer.
//
//   auto* run = new OperationRun(ServiceRecord::Upgrade, serial, port);
//   run->setPackage(path, checker.sha256());
//   connect(run, &OperationRun::ended, window, &Window::onEnded);
//   run->start([content](DeviceLink* link) { return link->upgradeDeviceSoftware(content); });
class DEVICE_EXPORT OperationRun : public QObject
{
    Q_OBJECT
public:
    enum State {
        NotStarted,
        Running,    // the operation runs on the device's link
        Restarting, // done; waiting for the device to be back from its restart
        Ended
    };
    Q_ENUM(State)

    // operation: what the history records (NoOperation: nothing); its kind is the link's.
    // port: where the device is, needed only when two devices share the serial number.
    OperationRun(Common::ServiceRecord::Operation operation, const QString& serial, const QString& port = QString());
    ~OperationRun() override;

    // The link's kind of operation when the history's operation does not say it (a command
    // that is not recorded, such as the clock set before a restart).
    void setKind(OperationResult::Kind kind);
    // The package named in the history: its file name, and the SHA-256 of the bytes read
    // from it and sent (not the file as it is later).
    void setPackage(const QString& path, const QString& sha256);
    // The front end named in the history; the process's own one by default.
    void setFrontEnd(const QString& frontEnd);
    // The bytes the operation sends, for the progress, speed and time left.
    void setTotalBytes(qint64 total);
    // A successful operation that restarts the device ends only once the device is back
    // (result().back) or has not come back within returnMs.
    void setFollowRestart(bool follow, int returnMs = -1);

    // Starts the operation: start(link) on the device's link, which returns whether the link
    // took it. False when it did not start: the device is gone, busy, or refused; ended()
    // follows all the same, with the reason.
    bool start(const std::function<bool(DeviceLink*)>& start);

    // Stops the operation without leaving the device without its project, software or data
    // log (DeviceLink::stopSafely): true when it ends at once or soon (a transfer abandoned, a
    // restart no longer waited for), false when a step that puts things into place is let
    // finish within its own time-outs. The entry in the history says the step it was in.
    bool stopSafely();
    // Stops every active run so, and refuses every run started from now on (the program is
    // stopping). Returns the runs that finish a step, each with what it finishes.
    static QList<QPair<OperationRun*, QString>> stopAll();
    static bool isStopping();
    // Runs may start again (the window that stopped them was shown again).
    static void clearStopping();
    // "Panel 1 (2331LN001): uploading, 40%" as the program tells what it would stop.
    QString activityText() const;
    // What it does now, as a phrase ("moving the project into place").
    QString stepText() const;

    // The operation is still sending and has replaced nothing on the device.
    bool canCancel() const;
    // Abandons such a transfer: the device keeps what it had and restarts; the run ends as
    // Failed with the reason. False, and nothing changes, once nothing can be abandoned.
    bool cancel(const QString& reason = QString());

    State state() const;
    // Started and not ended.
    bool isActive() const;
    Common::ServiceRecord::Operation operation() const;
    OperationResult::Kind kind() const;
    QString serial() const;
    // Where the device is now (after a restart, where it came back); empty while it is away.
    QString port() const;
    // The device's record, as it was last seen.
    QMap<QString, QString> deviceInformation() const;
    // "Name (serial)" as windows and the CLI name the device.
    QString deviceTitle() const;
    // The device's link while the operation runs on it.
    DeviceLink* link() const;
    const Common::TransferRate& rate() const;
    qint64 bytesDone() const;
    qint64 totalBytes() const;
    // The last step the device was told or reported.
    QString step() const;
    // How it ended (valid once ended).
    OperationResult result() const;

    // The runs started in this process that have not ended, oldest first.
    static QList<OperationRun*> active();
    // The running run of the device (by serial number, and port where two share it).
    static OperationRun* activeOn(const QString& serial, const QString& port = QString());
    // "name (serial)", the serial number alone for a device without a name.
    static QString deviceTitle(const QMap<QString, QString>& info);

    static QString goneText();
    static QString busyText();
    // Whether an operation may start on the link now: a single command in flight (a clock
    // being set, a description asked for) is waited for, anything longer makes it busy.
    static bool isAvailable(const DeviceLink* link);

signals:
    // Bytes sent (or, for a retrieval, received of the current file) of the total.
    void progressed(qint64 done, qint64 total);
    // The bytes of the file on its way, per packet, whichever direction.
    void fileProgressed(qint64 done, qint64 total);
    // A project file, font or log starts on its way.
    void fileChanged(const QString& file);
    // A step of a configuration run (its number).
    void stepDone(int step);
    // The device's or the sequence's text for the current step.
    void stepChanged(const QString& text);
    // The work is done and the device restarts; the run waits for it to be back.
    void restarting();
    // Something the user should know beyond the step (also kept in result().notices).
    void notice(const QString& text);
    void ended(const Orvane::Tavrix::Runtime::OperationResult& result);

private:
    void tryStart();
    void connectLink(DeviceLink* link);
    void onOperationEnded(const OperationResult& result);
    void finishOperation();
    void followRestart();
    void end();
    void refuse(const QString& reason);
    void recordStart();
    void recordEnd();

    OperationRunPrivate* d;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // OPERATIONRUN_H
