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
class OperationRun;
}
}
}

// One device's part of a dovrelctl run: its device, its progress and its result. Each
// step is an OperationRun on the device, known by its serial number: a device back from
// a restart under another port is followed there, and never mistaken for the device that
// now has its old port. The steps of several devices run at once in the one event loop.
// The CLI keeps no clock of its own on an operation: every time limit is the library's.
class DeviceTask : public QObject
{
    Q_OBJECT
public:
    // How a step's progress is shown.
    enum ProgressUnit { AddedBytes, Steps };

    struct Options
    {
        ProgressUnit unit = AddedBytes;
        // The package named in the history, and the SHA-256 of the bytes read and sent.
        QString packagePath;
        QString packageSha256;
        // A step that restarts the device ends only once it is back (Outcome::back).
        bool followRestart = false;
    };

    struct Outcome
    {
        ExitCode exitCode = ExitCode::Success;
        QString error;
        bool deviceRestarts = false;
        bool back = false;   // identified again after its restart (when followed)
        bool noData = false; // the device has nothing to fetch (no data log)
        bool interrupted = false; // stopped on a signal
        QStringList fonts;   // the installed fonts, for a font listing
    };

    DeviceTask(const QString& port, ProgressReporter* progress, QObject* parent = nullptr);
    ~DeviceTask() override;

    // The port the device was reached at when the task began.
    QString port() const { return m_port; }
    // Where the device is now (empty while it is away).
    QString currentPort() const;
    // The device's serial number and name as they were when the task began.
    QString serial() const { return m_serial; }
    QString name() const { return m_name; }
    // The device's record now, or as it was last seen.
    QMap<QString, QString> info() const;
    Orvane::Tavrix::Runtime::DeviceInformation device() const;
    ProgressReporter* progress() const { return m_progress; }

    // Starts one operation on the device with start(link); then(outcome) runs once it has
    // ended (a refusal is an end). The operation goes into the service history as the given
    // one (none: not recorded).
    void run(Orvane::Tavrix::Common::ServiceRecord::Operation operation,
             const std::function<bool(Orvane::Tavrix::Runtime::DeviceLink*)>& start,
             const std::function<void(const Outcome&)>& then, const Options& options);
    void run(Orvane::Tavrix::Common::ServiceRecord::Operation operation,
             const std::function<bool(Orvane::Tavrix::Runtime::DeviceLink*)>& start,
             const std::function<void(const Outcome&)>& then);

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
    QString m_lastPort; // where the device was last seen, to tell it from a twin
    QString m_serial;
    QString m_name;
    QMap<QString, QString> m_info;
    ProgressReporter* m_progress = nullptr;
    bool m_done = false;
    ExitCode m_exitCode = ExitCode::Success;
    QString m_error;
    QJsonObject m_result;
    QString m_text;
};

#endif // DEVICETASK_H
