#include "devicetask.h"

#include "device.h"

#include "devicelink.h"
#include "localizationhelper.h"
#include "progressreporter.h"
#include "serialportmanager.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <memory>

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Runtime::Device;
using Orvane::Tavrix::Runtime::DeviceInformation;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::SerialPortManager;

DeviceTask::DeviceTask(const QString& port, ProgressReporter* progress, QObject* parent)
    : QObject(parent)
    , m_port(port)
    , m_progress(progress)
{
    const DeviceInformation information = device();
    m_serial = information.serial();
    m_name = information.deviceName();
}

DeviceTask::~DeviceTask() = default;

QMap<QString, QString> DeviceTask::info() const
{
    return SerialPortManager::instance()->deviceInformation(m_port);
}

DeviceInformation DeviceTask::device() const
{
    return DeviceInformation(info());
}

DeviceLink* DeviceTask::link() const
{
    return SerialPortManager::instance()->link(m_port);
}

void DeviceTask::run(ServiceRecord::Operation operation, const std::function<bool(DeviceLink*)>& start,
                     const std::function<void(const Outcome&)>& then, ProgressUnit unit, const QString& packagePath)
{
    const QPointer<DeviceLink> link = this->link();
    auto outcome = std::make_shared<Outcome>();
    if (!link) {
        outcome->exitCode = ExitCode::NoDevice;
        outcome->error = guiText("Failed to connect to device.");
        then(*outcome);
        return;
    }
    // The connections last as long as the operation: this context goes with its end.
    auto* context = new QObject(this);
    ProgressReporter* progress = m_progress;
    connect(link, &DeviceLink::progressMessage, context, [progress](const QString& text) { progress->message(text); });
    connect(link, &DeviceLink::progressUpdated, context, [progress, unit](int value) {
        if (unit == Steps)
            progress->set(value);
        else
            progress->add(value);
    });
    connect(link, &DeviceLink::transferedFileSize, context, [progress](int size) { progress->set(size); });
    connect(link, &DeviceLink::sendingFileInitiated, context, [progress](const QString& text, int size) { progress->begin(text, size); });
    connect(link, &DeviceLink::initializeRetrieve, context, [progress](const QString& text, int) { progress->message(text); });
    connect(link, &DeviceLink::sentFile, context, [progress](const QString& text, int) {
        progress->complete();
        progress->finish();
        progress->message(text);
    });
    connect(link, &DeviceLink::currentFileChanged, context, [progress](const QString& file) {
        progress->message(guiText("Sending %1").arg(QFileInfo(file).fileName()));
    });
    connect(link, &DeviceLink::retrieveDataLogNoFile, context, [outcome]() { outcome->noData = true; });
    connect(link, &DeviceLink::notifyInstalledFonts, context, [outcome](const QStringList& fonts, bool isError) {
        if (!isError)
            outcome->fonts = fonts;
    });

    auto ended = std::make_shared<bool>(false);
    auto finish = [this, context, link, outcome, then, ended](const OperationResult* result) {
        if (*ended)
            return;
        *ended = true;
        context->deleteLater();
        m_progress->finish();
        if (!result) {
            // A start the link refused (busy, bad input) ends nothing.
            outcome->exitCode = ExitCode::NoDevice;
            outcome->error = guiText("Failed to connect to device.");
        } else {
            outcome->deviceRestarts = result->deviceRestarts;
            switch (result->outcome) {
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
            }
            if (outcome->exitCode != ExitCode::Success)
                outcome->error = result->message.isEmpty() ? guiText("An unknown error occurred.") : result->message;
        }
        // The link closes its port as the operation ends; never leave it open behind us.
        if (link && link->isSerialPortOpen() && !link->isRunning())
            link->closeSerialPort();
        // The next step starts once the link has finished telling everyone of this end.
        QTimer::singleShot(0, this, [then, outcome]() { then(*outcome); });
    };
    connect(link, &DeviceLink::operationEnded, context, [finish](const OperationResult& result) { finish(&result); });
    // The device records the operation in the service history and completes the entry at its end.
    const bool started = Device::run(m_port, operation, [&start, &link]() { return start(link); }, packagePath);
    if (!started && !*ended)
        finish(nullptr);
}

void DeviceTask::waitForDeviceBack(int settleMs, int identifyMs, const std::function<void(bool)>& then)
{
    SerialPortManager* manager = SerialPortManager::instance();
    auto* poll = new QTimer(this);
    auto clock = std::make_shared<QElapsedTimer>();
    auto gone = std::make_shared<bool>(false);
    clock->start();
    connect(poll, &QTimer::timeout, this, [=]() {
        const bool present = !manager->deviceInformation(m_port).isEmpty() && manager->link(m_port);
        bool finished = false;
        bool back = false;
        if (!*gone) {
            // A device whose port stays while its runtime restarts is ready as it is.
            if (!present) {
                *gone = true;
                clock->restart();
            } else if (clock->elapsed() >= settleMs) {
                finished = true;
                back = true;
            }
        } else if (present) {
            finished = true;
            back = true;
        } else if (clock->elapsed() >= identifyMs) {
            finished = true;
        }
        if (!finished)
            return;
        poll->deleteLater();
        poll->stop();
        then(back);
    });
    poll->start(50);
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
