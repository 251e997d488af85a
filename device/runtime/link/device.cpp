#include "device.h"
#include "device_p.h"

#include "restartwatcher.h"
#include "serialportmanager.h"
#include "servicehistory.h"
#include "servicehistorywriter.h"

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

} // namespace

ServiceHistoryWriter* Device::historyWriter()
{
    if (!ServiceHistory::isEnabled())
        return nullptr;
    ServiceHistory* history = ServiceHistory::instance();
    return history && history->isOpen() ? ServiceHistoryWriter::instance() : nullptr;
}

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

void Device::onDeviceIdentified(const QMap<QString, QString>& info)
{
    const QString serial = info.value(QStringLiteral("serial"));
    if (serial.isEmpty())
        return;
    // Known from its first identification on.
    at(info.value(QStringLiteral("port")));
    // A restart ends the operation first; the device is back within the watcher's bounds.
    if (ServiceHistoryWriter* history = historyWriter())
        history->recordReturn(serial, info.value(QStringLiteral("deviceAppVer")), RestartWatcher::ReturnMs);
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
    case OperationResult::Interrupted: return ServiceRecord::Interrupted;
    }
    return ServiceRecord::Unfinished;
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
