#include "device.h"
#include "device_p.h"

#include "restartwatcher.h"
#include "devicelink.h"
#include "packagesignature.h"
#include "serialportmanager.h"
#include "servicehistory.h"
#include "servicehistorywriter.h"

#include <QFileInfo>
#include <QHash>
#include <QPointer>

using Orvane::Tavrix::Common::ServiceHistory;
using Orvane::Tavrix::Common::ServiceHistoryWriter;
using Orvane::Tavrix::Common::ServiceRecord;

namespace Orvane {
namespace Tavrix {
namespace Runtime {

namespace {

QHash<QString, QPointer<Device>>& registry()
{
    static QHash<QString, QPointer<Device>> devices;
    return devices;
}

QString& processFrontEnd()
{
    static QString name;
    return name;
}

// Where entries go, or null while the history is switched off or its file cannot be used.
ServiceHistoryWriter* writer()
{
    if (!ServiceHistory::isEnabled())
        return nullptr;
    ServiceHistory* history = ServiceHistory::instance();
    return history && history->isOpen() ? ServiceHistoryWriter::instance() : nullptr;
}

} // namespace

Device::Device(const QMap<QString, QString>& info, QObject* parent)
    : QObject(parent)
    , d(new DevicePrivate)
{
    setInformation(info);
}

Device::~Device()
{
    delete d;
}

QString Device::beginRecording(const QString& frontEnd)
{
    processFrontEnd() = frontEnd;
    SerialPortManager* manager = SerialPortManager::instance();
    static QPointer<SerialPortManager> followed;
    if (manager && followed != manager) {
        followed = manager;
        connect(manager, &SerialPortManager::deviceConnected, manager, &Device::onDeviceIdentified);
    }
    if (!ServiceHistory::isEnabled())
        return QString();
    ServiceHistory* history = ServiceHistory::instance();
    // Devices identified before: one may be back from a restart another process caused.
    if (manager) {
        for (const QString& port : manager->connectedPorts())
            onDeviceIdentified(manager->deviceInformation(port));
    }
    return history ? history->setAsideMessage() : QString();
}

QString Device::frontEnd()
{
    return processFrontEnd();
}

Device* Device::at(const QString& port)
{
    SerialPortManager* manager = SerialPortManager::instance();
    if (!manager || port.isEmpty())
        return nullptr;
    const QMap<QString, QString> info = manager->deviceInformation(port);
    const QString serial = info.value(QStringLiteral("serial"));
    if (serial.isEmpty())
        return nullptr;
    Device* device = registry().value(serial);
    if (device) {
        device->setInformation(info);
    } else {
        device = new Device(info, manager);
        registry().insert(serial, device);
    }
    return device;
}

Device* Device::find(const QString& serial)
{
    return registry().value(serial);
}

void Device::setInformation(const QMap<QString, QString>& info)
{
    d->info = info;
    d->serial = info.value(QStringLiteral("serial"));
    d->port = info.value(QStringLiteral("port"));
}

QString Device::serial() const
{
    return d->serial;
}

QString Device::port() const
{
    return d->port;
}

QMap<QString, QString> Device::information() const
{
    return d->info;
}

bool Device::isRecording() const
{
    return d->recording;
}

ServiceRecord Device::newRecord(ServiceRecord::Operation operation, const QString& frontEnd) const
{
    ServiceRecord record;
    record.started = QDateTime::currentDateTimeUtc();
    record.serial = d->serial;
    record.name = d->info.value(QStringLiteral("deviceName"));
    record.model = d->info.value(QStringLiteral("model"));
    record.versionBefore = d->info.value(QStringLiteral("deviceAppVer"));
    record.operation = operation;
    record.frontEnd = frontEnd.isEmpty() ? processFrontEnd() : frontEnd;
    return record;
}

bool Device::run(ServiceRecord::Operation operation, const std::function<bool()>& start, const QString& packagePath,
                 const QString& frontEnd)
{
    ServiceHistoryWriter* history = operation == ServiceRecord::NoOperation ? nullptr : writer();
    if (!history)
        return start();
    // An earlier operation whose end never came keeps its entry as unfinished.
    d->record = newRecord(operation, frontEnd);
    d->packagePath = packagePath;
    if (!packagePath.isEmpty()) {
        d->record.packageName = QFileInfo(packagePath).fileName();
        // Who signed it, as its check before the start judged it.
        Common::PackageSignature::lastChecked(packagePath).describe(d->record);
    }
    d->expected = kindOf(operation);
    d->token = 0;
    d->recording = true;
    // The hook: the device's own link, where its operations end whoever started them.
    // A device back from a restart has a new link.
    if (DeviceLink* link = SerialPortManager::instance()->link(d->port))
        connect(link, &DeviceLink::operationEnded, this, &Device::onOperationEnded, Qt::UniqueConnection);
    const bool started = start();
    // Ended already, before start() returned: the whole entry is written.
    if (!d->recording)
        return started;
    if (!started) {
        d->recording = false;
        return false;
    }
    d->token = history->begin(d->record, d->packagePath);
    return true;
}

bool Device::run(const QString& port, ServiceRecord::Operation operation, const std::function<bool()>& start,
                 const QString& packagePath, const QString& frontEnd)
{
    Device* device = at(port);
    return device ? device->run(operation, start, packagePath, frontEnd) : start();
}

void Device::recordSent(ServiceRecord::Operation operation, bool restarts, const QString& frontEnd)
{
    ServiceHistoryWriter* history = writer();
    if (!history)
        return;
    ServiceRecord record = newRecord(operation, frontEnd);
    record.ended = record.started;
    record.outcome = ServiceRecord::Succeeded;
    record.restarts = restarts;
    history->begin(record);
}

void Device::onOperationEnded(const OperationResult& result)
{
    if (!d->recording || result.port != d->port || result.kind != d->expected)
        return;
    d->recording = false;
    d->record.ended = QDateTime::currentDateTimeUtc();
    d->record.outcome = outcomeOf(result.outcome);
    d->record.message = result.message;
    d->record.restarts = result.deviceRestarts;
    ServiceHistoryWriter* history = ServiceHistoryWriter::instance();
    if (!history)
        return;
    // Ended before its start was given to the writer: the whole entry at once.
    if (d->token)
        history->end(d->token, d->record);
    else
        history->begin(d->record, d->packagePath);
    d->token = 0;
}

void Device::onDeviceIdentified(const QMap<QString, QString>& info)
{
    const QString serial = info.value(QStringLiteral("serial"));
    if (serial.isEmpty())
        return;
    // Made now, its hook comes before those of the windows that will start its operations.
    at(info.value(QStringLiteral("port")));
    // A restart ends the operation first; the device is back within the watcher's bounds.
    if (ServiceHistoryWriter* history = writer())
        history->recordReturn(serial, info.value(QStringLiteral("deviceAppVer")), RestartWatcher::SettleMs + RestartWatcher::ReturnMs);
}

OperationResult::Kind Device::kindOf(ServiceRecord::Operation operation)
{
    switch (operation) {
    case ServiceRecord::Upload: return OperationResult::ProjectUpload;
    case ServiceRecord::Upgrade: return OperationResult::SoftwareUpgrade;
    case ServiceRecord::ProjectFetch: return OperationResult::ProjectRetrieval;
    case ServiceRecord::LogFetch: return OperationResult::DataLogRetrieval;
    case ServiceRecord::LogClearing: return OperationResult::DataLogUpdate;
    case ServiceRecord::Configuration: return OperationResult::Configuration;
    case ServiceRecord::FontListing: return OperationResult::FontListing;
    case ServiceRecord::FontManagement: return OperationResult::FontManagement;
    case ServiceRecord::Clock:
    case ServiceRecord::Identify:
    case ServiceRecord::Reboot: return OperationResult::Command;
    case ServiceRecord::NoOperation: break;
    }
    return OperationResult::NoKind;
}

ServiceRecord::Outcome Device::outcomeOf(OperationResult::Outcome outcome)
{
    switch (outcome) {
    case OperationResult::Succeeded: return ServiceRecord::Succeeded;
    case OperationResult::Failed: return ServiceRecord::Failed;
    case OperationResult::TimedOut: return ServiceRecord::TimedOut;
    case OperationResult::DeviceLost: return ServiceRecord::DeviceLost;
    case OperationResult::NoData: return ServiceRecord::NoData;
    }
    return ServiceRecord::Unfinished;
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
