#include "devicetask.h"

#include "devicelink.h"
#include "localizationhelper.h"
#include "operationrun.h"
#include "progressreporter.h"
#include "serialportmanager.h"

#include <QFileInfo>
#include <QTimer>

#include <memory>

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Runtime::DeviceInformation;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::OperationRun;
using Orvane::Tavrix::Runtime::SerialPortManager;

DeviceTask::DeviceTask(const QString& port, ProgressReporter* progress, QObject* parent)
    : QObject(parent)
    , m_port(port)
    , m_lastPort(port)
    , m_progress(progress)
{
    m_info = SerialPortManager::instance()->deviceInformation(port);
    const DeviceInformation information(m_info);
    m_serial = information.serial();
    m_name = information.deviceName();
}

DeviceTask::~DeviceTask() = default;

QString DeviceTask::currentPort() const
{
    return SerialPortManager::instance()->portOfDevice(m_serial, m_lastPort);
}

QMap<QString, QString> DeviceTask::info() const
{
    const QString where = currentPort();
    return where.isEmpty() ? m_info : SerialPortManager::instance()->deviceInformation(where);
}

DeviceInformation DeviceTask::device() const
{
    return DeviceInformation(info());
}

void DeviceTask::run(ServiceRecord::Operation operation, const std::function<bool(DeviceLink*)>& start,
                     const std::function<void(const Outcome&)>& then)
{
    run(operation, start, then, Options());
}

void DeviceTask::run(ServiceRecord::Operation operation, const std::function<bool(DeviceLink*)>& start,
                     const std::function<void(const Outcome&)>& then, const Options& options)
{
    auto* run = new OperationRun(operation, m_serial, m_lastPort);
    run->setPackage(options.packagePath, options.packageSha256);
    run->setFollowRestart(options.followRestart);
    auto outcome = std::make_shared<Outcome>();
    ProgressReporter* progress = m_progress;
    connect(run, &OperationRun::stepChanged, this, [progress](const QString& text) { progress->message(text); });
    connect(run, &OperationRun::stepDone, this, [progress](int step) { progress->set(step); });
    connect(run, &OperationRun::progressed, this, [progress, unit = options.unit](qint64 done, qint64) {
        if (unit == AddedBytes)
            progress->set(done);
    });
    connect(run, &OperationRun::fileChanged, this, [progress](const QString& file) {
        progress->message(guiText("Sending %1").arg(QFileInfo(file).fileName()));
    });
    connect(run, &OperationRun::notice, this, [progress](const QString& text) { progress->warning(text); });
    connect(run, &OperationRun::restarting, this, [progress]() { progress->message(guiText("Waiting for the device to restart...")); });
    connect(run, &OperationRun::ended, this, [this, outcome, then](const OperationResult& result) {
        m_progress->finish();
        outcome->deviceRestarts = result.deviceRestarts;
        outcome->back = result.back;
        if (!result.port.isEmpty())
            m_lastPort = result.port;
        switch (result.outcome) {
        case OperationResult::Succeeded:
            break;
        case OperationResult::NoData:
            outcome->noData = true;
            break;
        case OperationResult::Failed:
            outcome->exitCode = ExitCode::Failed;
            break;
        case OperationResult::TimedOut:
        case OperationResult::DeviceLost:
            outcome->exitCode = ExitCode::TimedOut;
            break;
        case OperationResult::Interrupted:
            outcome->exitCode = ExitCode::Failed;
            outcome->interrupted = true;
            break;
        }
        if (result.refused && result.outcome != OperationResult::Interrupted)
            outcome->exitCode = ExitCode::NoDevice;
        // A step that ends while the program stops is the last one.
        if (OperationRun::isStopping())
            outcome->interrupted = true;
        if (outcome->exitCode != ExitCode::Success)
            outcome->error = result.message.isEmpty() ? guiText("An unknown error occurred.") : result.message;
        const QMap<QString, QString> now = info();
        if (!now.isEmpty())
            m_info = now;
        then(*outcome);
    });
    run->start([run, start, outcome, progress](DeviceLink* link) {
        // What only the CLI shows: a received file's bar, a data log that is not there, the fonts.
        // The run is the context: these go with it.
        connect(link, &DeviceLink::sendingFileInitiated, run, [progress](const QString& text, int size) { progress->begin(text, size); });
        connect(link, &DeviceLink::transferedFileSize, run, [progress](int size) { progress->set(size); });
        connect(link, &DeviceLink::sentFile, run, [progress](const QString&, int) {
            progress->complete();
            progress->finish();
        });
        connect(link, &DeviceLink::retrieveDataLogNoFile, run, [outcome]() { outcome->noData = true; });
        connect(link, &DeviceLink::notifyInstalledFonts, run, [outcome](const QStringList& fonts, bool isError) {
            if (!isError)
                outcome->fonts = fonts;
        });
        return start(link);
    });
}

void DeviceTask::fail(ExitCode exitCode, const QString& error)
{
    if (m_done)
        return;
    m_progress->finish();
    m_exitCode = exitCode;
    m_error = error;
    m_done = true;
    emit done();
}

void DeviceTask::succeed(const QJsonObject& result, const QString& text)
{
    if (m_done)
        return;
    m_progress->finish();
    m_exitCode = ExitCode::Success;
    m_result = result;
    m_text = text;
    m_done = true;
    emit done();
}
