#ifndef DOVRELCTL_H
#define DOVRELCTL_H

#include "commandline.h"
#include "exitcode.h"
#include "servicerecord.h"

#include <QJsonObject>
#include <QMap>
#include <QString>

#include <functional>

namespace Orvane {
namespace Tavrix {
namespace Runtime {
class DeviceLink;
}
}
}

class DeviceSession;
class DeviceTask;
class ProgressReporter;

// The commands of dovrelctl. Each one ends with a result on standard output
// (text lines, or one JSON object with --json) and an exit code. The handlers
// are listed in the command table (commandtable.cpp) and live in one source
// file per command group.
class Dovrelctl
{
public:
    explicit Dovrelctl(const CommandLine& commandLine);
    ~Dovrelctl();

    ExitCode run();

    // Device information and single commands (dovrelctl_device.cpp).
    ExitCode listCommand();
    ExitCode infoCommand();
    ExitCode identifyCommand();
    ExitCode rebootCommand();
    ExitCode syncClockCommand();
    // Project upload, software upgrade, project retrieval (dovrelctl_transfer.cpp).
    ExitCode uploadCommand();
    ExitCode upgradeCommand();
    ExitCode projectFetchCommand();
    // Data log (dovrelctl_datalog.cpp).
    ExitCode logsCommand();
    // Fonts (dovrelctl_fonts.cpp).
    ExitCode fontsListCommand();
    ExitCode fontsManageCommand();
    // Configuration (dovrelctl_configure.cpp).
    ExitCode configureCommand();
    // The service history, no device (dovrelctl_history.cpp).
    ExitCode historyCommand();
    ExitCode historySyncCommand();
    ExitCode fleetCommand();
    // Says on standard error, once, when the history server cannot be used.
    static void reportHistoryServer();
    // Packages, no device (dovrelctl_package.cpp).
    ExitCode packageInspectCommand();
    ExitCode packageMakeSampleCommand();

private:
    ExitCode fail(ExitCode exitCode, const QString& error, const QJsonObject& details = {});
    // A run stopped by a signal says so in each of its objects.
    void markInterrupted(QJsonObject& object) const;
    void onStopRequested();
    ExitCode succeed(const QJsonObject& result, const QString& text);
    // Finds the device; Success or the failure already reported.
    ExitCode connect();
    // Success when the device's software has the feature, else the refusal reported.
    ExitCode requireFeature(int feature);
    // Starts one single-command operation and waits for its end; recorded as operation.
    ExitCode runCommand(Orvane::Tavrix::Common::ServiceRecord::Operation operation,
                        const std::function<bool(Orvane::Tavrix::Runtime::DeviceLink*)>& start);
    // Runs work on the one device, or with --all or several --port on every device, each
    // on its own link, at once or in the stages --canary, --max-parallel and
    // --stop-after-failures set, and reports each device's result (the worst exit code).
    ExitCode onDevices(const std::function<void(DeviceTask*)>& work);
    // skipped: the devices a staged run left alone (port -> why).
    ExitCode reportDevices(const QList<DeviceTask*>& tasks, const QList<QPair<QString, QString>>& failures,
                           const QMap<QString, QString>& skipped);
    // The device's refusal of the feature, or an empty text.
    static QString featureRefusal(DeviceTask* task, int feature);

    const CommandLine& m_cl;
    ProgressReporter* m_progress = nullptr;
    DeviceSession* m_session = nullptr;
};

#endif // DOVRELCTL_H
