#ifndef DEVICETASK_H
#define DEVICETASK_H

#include "deviceinformation.h"
#include "exitcode.h"
#include "servicerecord.h"

#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class ProgressReporter;

namespace Orvane {
namespace Tavrix {
namespace Runtime {
class DeviceLink;
}
}
}

// One device's part of a dovrelctl run: its link, its progress and its result. A
// command's steps run as continuations of the link's operations, so the tasks of
// several devices run at once in the one event loop, each on its own link. The CLI
// keeps no clock of its own on an operation: every time limit belongs to the
// library's watchdogs.
class DeviceTask : public QObject
{
    Q_OBJECT
public:
    // How progressUpdated is read.
    enum ProgressUnit { AddedBytes, Steps };

    struct Outcome
    {
        ExitCode exitCode = ExitCode::Success;
        QString error;
        bool deviceRestarts = false;
        bool noData = false; // the device has nothing to fetch (no data log)
        QStringList fonts;   // the installed fonts, for a font listing
    };

    DeviceTask(const QString& port, ProgressReporter* progress, QObject* parent = nullptr);
    ~DeviceTask() override;

    QString port() const { return m_port; }
    // The device's serial number and name as they were when the task began.
    QString serial() const { return m_serial; }
    QString name() const { return m_name; }
    QMap<QString, QString> info() const;
    Orvane::Tavrix::Runtime::DeviceInformation device() const;
    // The device's link now; a device that restarted has a new one.
    Orvane::Tavrix::Runtime::DeviceLink* link() const;
    ProgressReporter* progress() const { return m_progress; }

    // Starts one operation on the device's link with start(link); then(outcome) runs
    // once it has ended (or at once when start refused). The operation goes into the
    // service history as the given one (none: not recorded), with the package's name.
    void run(Orvane::Tavrix::Common::ServiceRecord::Operation operation,
             const std::function<bool(Orvane::Tavrix::Runtime::DeviceLink*)>& start,
             const std::function<void(const Outcome&)>& then, ProgressUnit unit = AddedBytes,
             const QString& packagePath = QString());
    // After an operation that restarted the device: if it leaves within settleMs, waits up
    // to identifyMs for it to be identified again; then(false) when it did not come back.
    void waitForDeviceBack(int settleMs, int identifyMs, const std::function<void(bool)>& then);

    // The device's result; the task is done after the first of them.
    void fail(ExitCode exitCode, const QString& error);
    void succeed(const QJsonObject& result, const QString& text);

    bool isDone() const { return m_done; }
    ExitCode exitCode() const { return m_exitCode; }
    QString error() const { return m_error; }
    QJsonObject result() const { return m_result; }
    QString text() const { return m_text; }

signals:
    void done();

private:
    QString m_port;
    QString m_serial;
    QString m_name;
    ProgressReporter* m_progress = nullptr;
    bool m_done = false;
    ExitCode m_exitCode = ExitCode::Success;
    QString m_error;
    QJsonObject m_result;
    QString m_text;
};

#endif // DEVICETASK_H
