// The manager: the singleton, the device links, and the single-port API on the active link.
#include "serialportmanager.h"
#include "diagnostics.h"
#include "serialportmanager_p.h"

#include "devicelink.h"
#include "portenumerator.h"

#include <QCoreApplication>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>

using Orvane::Tavrix::Common::lcTransfer;

namespace Orvane {
namespace Tavrix {
namespace Runtime {

namespace {

QPointer<SerialPortManager> g_instance;

// A link's signal, re-emitted by the manager while the link's operation is one started
// through the manager.
template <typename... Args>
void forwardSignal(SerialPortManager* manager, DeviceLink* link, void (DeviceLink::*from)(Args...),
             void (SerialPortManager::*to)(Args...))
{
    QObject::connect(link, from, manager, [manager, link, to](Args... args) {
        if (link->isManagerDriven())
            (manager->*to)(args...);
    });
}

} // namespace

SerialPortManager::SerialPortManager(QObject* parent)
    : QObject(parent)
    , d(new SerialPortManagerPrivate)
{
}

SerialPortManager::~SerialPortManager()
{
    shutdownDiscovery();
    // The links are children; their ports close as they go.
    delete d;
}

SerialPortManager* SerialPortManager::instance()
{
    if (g_instance)
        return g_instance;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return nullptr;
    auto* manager = new SerialPortManager(app);
    if (!manager->initialize()) {
        manager->setParent(nullptr);
        delete manager;
        return nullptr;
    }
    g_instance = manager;
    return manager;
}

// ---------------------------------------------------------------------------
// Links

DeviceLink* SerialPortManager::link(const QString& portName) const
{
    if (DeviceLink* found = d->m_links.value(portName))
        return found;
    return d->m_links.value(PortEnumerator::canonicalPortName(portName));
}

QList<DeviceLink*> SerialPortManager::links() const
{
    return d->m_links.values();
}

DeviceLink* SerialPortManager::activeLink() const
{
    return d->m_activePort.isEmpty() ? nullptr : d->m_links.value(d->m_activePort);
}

DeviceLink* SerialPortManager::createLink(const QString& portName, bool standIn)
{
    auto* link = new DeviceLink(portName, d->m_devices.value(portName), this);
    link->d->m_standIn = standIn;
    if (!standIn)
        d->m_links.insert(portName, link);
    // The link tells, the manager keeps the records and reads the port list.
    connect(link, &DeviceLink::deviceInformationChanged, this, [this, link](const QMap<QString, QString>& info) {
        if (d->m_links.value(link->portName()) == link && d->m_devices.contains(link->portName()))
            d->m_devices.insert(link->portName(), info);
    });
    connect(link, &DeviceLink::deviceIdentified, this, [this, link](const QMap<QString, QString>& info) {
        if (d->m_links.value(link->portName()) != link || !d->m_devices.contains(link->portName()))
            return;
        d->m_devices.insert(link->portName(), info);
        emit deviceConnected(info);
    });
    connect(link, &DeviceLink::portFailed, this, &SerialPortManager::confirmPorts);
    forwardSignal(this, link, &DeviceLink::progressUpdated, &SerialPortManager::progressUpdated);
    forwardSignal(this, link, &DeviceLink::progressError, &SerialPortManager::progressError);
    forwardSignal(this, link, &DeviceLink::progressMessage, &SerialPortManager::progressMessage);
    forwardSignal(this, link, &DeviceLink::progressFinished, &SerialPortManager::progressFinished);
    forwardSignal(this, link, &DeviceLink::operationEnded, &SerialPortManager::operationEnded);
    // Every device's operations, whoever started them, for those who follow all devices.
    connect(link, &DeviceLink::operationEnded, this, &SerialPortManager::deviceOperationEnded);
    forwardSignal(this, link, &DeviceLink::currentFileChanged, &SerialPortManager::currentFileChanged);
    forwardSignal(this, link, &DeviceLink::transferedFileSize, &SerialPortManager::transferedFileSize);
    forwardSignal(this, link, &DeviceLink::fileTransferProgress, &SerialPortManager::fileTransferProgress);
    forwardSignal(this, link, &DeviceLink::initializeRetrieve, &SerialPortManager::initializeRetrieve);
    forwardSignal(this, link, &DeviceLink::initializeLogRetrieve, &SerialPortManager::initializeLogRetrieve);
    forwardSignal(this, link, &DeviceLink::sendingFileInitiated, &SerialPortManager::sendingFileInitiated);
    forwardSignal(this, link, &DeviceLink::sentFile, &SerialPortManager::sentFile);
    forwardSignal(this, link, &DeviceLink::retrievedProjectFiles, &SerialPortManager::retrievedProjectFiles);
    forwardSignal(this, link, &DeviceLink::retrievedDataLogFile, &SerialPortManager::retrievedDataLogFile);
    forwardSignal(this, link, &DeviceLink::retrieveProjectError, &SerialPortManager::retrieveProjectError);
    forwardSignal(this, link, &DeviceLink::retrieveDataLogError, &SerialPortManager::retrieveDataLogError);
    forwardSignal(this, link, &DeviceLink::retrieveDataLogNoFile, &SerialPortManager::retrieveDataLogNoFile);
    forwardSignal(this, link, &DeviceLink::configureStateChange, &SerialPortManager::configureStateChange);
    forwardSignal(this, link, &DeviceLink::projectConfigurationStarted, &SerialPortManager::projectConfigurationStarted);
    forwardSignal(this, link, &DeviceLink::projectConfigurationFinished, &SerialPortManager::projectConfigurationFinished);
    forwardSignal(this, link, &DeviceLink::timeZoneUpdated, &SerialPortManager::timeZoneUpdated);
    forwardSignal(this, link, &DeviceLink::notifyInstalledFonts, &SerialPortManager::notifyInstalledFonts);
    forwardSignal(this, link, &DeviceLink::deviceFontStatusChange, &SerialPortManager::deviceFontStatusChange);
    forwardSignal(this, link, &DeviceLink::upgradeDeviceStatusChange, &SerialPortManager::upgradeDeviceStatusChange);
    forwardSignal(this, link, &DeviceLink::uploadProjectFileStatusChange, &SerialPortManager::uploadProjectFileStatusChange);
    forwardSignal(this, link, &DeviceLink::retrieveProjectFileStatusChange, &SerialPortManager::retrieveProjectFileStatusChange);
    forwardSignal(this, link, &DeviceLink::retrieveDataLogStatusChange, &SerialPortManager::retrieveDataLogStatusChange);
    forwardSignal(this, link, &DeviceLink::updateDataLogStatusChange, &SerialPortManager::updateDataLogStatusChange);
    // A port found again while the link was busy is identified once the link is free.
    connect(link, &DeviceLink::operationEnded, this, [this, link](const OperationResult&) { startDeferredScan(link); });
    return link;
}

template <typename Call>
auto SerialPortManager::onActiveLink(Call call) -> decltype(call(nullptr))
{
    // Receivers of what the call emits may run event loops in which the device goes.
    QPointer<DeviceLink> link = activeLink();
    // Without the active device, an operation still starts and fails at once: its port
    // cannot be opened.
    const bool standIn = !link;
    if (standIn)
        link = createLink(d->m_activePort, true);
    link->enterManagerCall();
    const auto leave = qScopeGuard([&link, standIn]() {
        if (!link)
            return;
        link->leaveManagerCall();
        if (standIn)
            link->deleteLater();
    });
    return call(link.data());
}

void SerialPortManager::confirmPorts()
{
    if (d->m_enumerator)
        QTimer::singleShot(0, d->m_enumerator, &PortEnumerator::pollNow);
}

// ---------------------------------------------------------------------------
// The active port

bool SerialPortManager::openSerialPort()
{
    return onActiveLink([](DeviceLink* link) { return link->openSerialPort(); });
}

void SerialPortManager::closeSerialPort()
{
    if (DeviceLink* link = activeLink())
        link->closeSerialPort();
}

QString SerialPortManager::activePort() const { return d->m_activePort; }

bool SerialPortManager::isSerialPortOpen() const
{
    const DeviceLink* link = activeLink();
    return link && link->isSerialPortOpen();
}

bool SerialPortManager::isBusy() const
{
    const DeviceLink* link = activeLink();
    return link && link->isBusy();
}

int SerialPortManager::currentOperation() const
{
    const DeviceLink* link = activeLink();
    return link ? link->currentOperation() : int(NoOperation);
}

void SerialPortManager::resetAllStatus()
{
    if (DeviceLink* link = activeLink())
        link->resetAllStatus();
}

bool SerialPortManager::setActivePort(const QString& name)
{
    const QString portName = PortEnumerator::canonicalPortName(name);
    if (!d->m_devicePorts.contains(portName) || !d->m_devices.contains(portName))
        return false;
    if (portName == d->m_activePort)
        return true;
    // A running operation keeps its port to its end: a new device, a selection or a
    // clock sync elsewhere waits for it instead of closing it.
    const DeviceLink* previous = activeLink();
    if (previous && (previous->isRunning() || previous->isBusy() || previous->isSerialPortOpen()))
        return false;
    d->m_activePort = portName;
    return true;
}

QString SerialPortManager::portOfDevice(const QString& serial, const QString& port) const
{
    const QStringList ports = portsOfDevice(serial);
    if (ports.size() == 1)
        return ports.first();
    const QString named = PortEnumerator::canonicalPortName(port);
    return ports.contains(named) ? named : QString();
}

QStringList SerialPortManager::portsOfDevice(const QString& serial) const
{
    QStringList ports;
    if (serial.isEmpty())
        return ports;
    for (auto it = d->m_devices.constBegin(); it != d->m_devices.constEnd(); ++it) {
        if (d->m_devicePorts.contains(it.key()) && it.value().value(QStringLiteral("serial")) == serial)
            ports << it.key();
    }
    return ports;
}

QStringList SerialPortManager::connectedPorts() const
{
    return d->m_serialDevices.keys();
}

QMap<QString, QString> SerialPortManager::deviceInformation(const QString& name) const
{
    const QString portName = PortEnumerator::canonicalPortName(name);
    if (!d->m_devicePorts.contains(portName))
        return QMap<QString, QString>();
    return d->m_devices.value(portName);
}

QStringList SerialPortManager::deniedPorts() const
{
    return d->m_deniedPorts;
}

QMap<QString, QVariant> SerialPortManager::serialDeviceInformation(const QString& name) const
{
    const QString portName = PortEnumerator::canonicalPortName(name);
    if (!d->m_devicePorts.contains(portName))
        return QMap<QString, QVariant>();
    return d->m_serialDevices.value(portName);
}

void SerialPortManager::setTransferFile(const QByteArray& fileContent, const QString& remotePath)
{
    onActiveLink([&](DeviceLink* link) { link->setTransferFile(fileContent, remotePath); });
}

bool SerialPortManager::setTransferFile(const QString& localFilePath, const QString& remotePath)
{
    return onActiveLink([&](DeviceLink* link) { return link->setTransferFile(localFilePath, remotePath); });
}

quint16 SerialPortManager::crc16(const char* data, int length) { return DeviceLink::crc16(data, length); }
QString SerialPortManager::timeoutText(int operation) { return DeviceLink::timeoutText(operation); }
int SerialPortManager::parseFileSizeReply(const QString& text) { return DeviceLink::parseFileSizeReply(text); }

// ---------------------------------------------------------------------------
// Commands and operations, on the active device's link

void SerialPortManager::remoteReboot() { onActiveLink([](DeviceLink* l) { l->remoteReboot(); }); }
void SerialPortManager::remoteWarmBoot() { onActiveLink([](DeviceLink* l) { l->remoteWarmBoot(); }); }
void SerialPortManager::remoteFsSync() { onActiveLink([](DeviceLink* l) { l->remoteFsSync(); }); }
void SerialPortManager::reportOn() { onActiveLink([](DeviceLink* l) { l->reportOn(); }); }
void SerialPortManager::reportOff() { onActiveLink([](DeviceLink* l) { l->reportOff(); }); }
void SerialPortManager::remoteZipLogFile() { onActiveLink([](DeviceLink* l) { l->remoteZipLogFile(); }); }
void SerialPortManager::remoteSetBacklight(int val) { onActiveLink([=](DeviceLink* l) { l->remoteSetBacklight(val); }); }

void SerialPortManager::remoteWriteIOConfig(int idx, int in_out, int val)
{
    onActiveLink([=](DeviceLink* l) { l->remoteWriteIOConfig(idx, in_out, val); });
}

void SerialPortManager::remoteWritePWMConfig(int idx, int val)
{
    onActiveLink([=](DeviceLink* l) { l->remoteWritePWMConfig(idx, val); });
}

void SerialPortManager::remoteWriteAlmConfig(int idx, int val)
{
    onActiveLink([=](DeviceLink* l) { l->remoteWriteAlmConfig(idx, val); });
}

void SerialPortManager::remoteRs485DirectionPinConfig(int val)
{
    onActiveLink([=](DeviceLink* l) { l->remoteRs485DirectionPinConfig(val); });
}

void SerialPortManager::remoteBatteryLowCheckConfig(bool enable)
{
    onActiveLink([=](DeviceLink* l) { l->remoteBatteryLowCheckConfig(enable); });
}

void SerialPortManager::remoteSaveConfig() { onActiveLink([](DeviceLink* l) { l->remoteSaveConfig(); }); }
void SerialPortManager::remoteEnableCalTouchScreen() { onActiveLink([](DeviceLink* l) { l->remoteEnableCalTouchScreen(); }); }

void SerialPortManager::remoteSetScreenOrientation(int orientation)
{
    onActiveLink([=](DeviceLink* l) { l->remoteSetScreenOrientation(orientation); });
}

void SerialPortManager::remoteSetRealTimeClock(bool useDefault, int offset)
{
    onActiveLink([=](DeviceLink* l) { l->remoteSetRealTimeClock(useDefault, offset); });
}

void SerialPortManager::remoteSetSerialNumber(const QString& serial)
{
    onActiveLink([&](DeviceLink* l) { l->remoteSetSerialNumber(serial); });
}

void SerialPortManager::remoteSetDeviceName() { onActiveLink([](DeviceLink* l) { l->remoteSetDeviceName(); }); }

void SerialPortManager::remoteBackupFile(const QString& fromFile, const QString& toFile)
{
    onActiveLink([&](DeviceLink* l) { l->remoteBackupFile(fromFile, toFile); });
}

void SerialPortManager::remoteRestoreFile(const QString& localFilePath, const QString& remotePath)
{
    onActiveLink([&](DeviceLink* l) { l->remoteRestoreFile(localFilePath, remotePath); });
}

void SerialPortManager::remoteMoveCalibrationFile() { onActiveLink([](DeviceLink* l) { l->remoteMoveCalibrationFile(); }); }
void SerialPortManager::remoteRestoreSplashScreen() { onActiveLink([](DeviceLink* l) { l->remoteRestoreSplashScreen(); }); }
void SerialPortManager::remoteMoveSplashScreen() { onActiveLink([](DeviceLink* l) { l->remoteMoveSplashScreen(); }); }
void SerialPortManager::remoteUploadSplashScreenFile() { onActiveLink([](DeviceLink* l) { l->remoteUploadSplashScreenFile(); }); }
void SerialPortManager::setTotalFileSize(int totalSize) { onActiveLink([=](DeviceLink* l) { l->setTotalFileSize(totalSize); }); }
void SerialPortManager::remoteShowDeviceInformation() { onActiveLink([](DeviceLink* l) { l->remoteShowDeviceInformation(); }); }
void SerialPortManager::projectFilesAction(int job) { onActiveLink([=](DeviceLink* l) { l->projectFilesAction(job); }); }
void SerialPortManager::updateLogFilesAction(int job) { onActiveLink([=](DeviceLink* l) { l->updateLogFilesAction(job); }); }
void SerialPortManager::getRetrieveProjFileLst() { onActiveLink([](DeviceLink* l) { l->getRetrieveProjFileLst(); }); }

bool SerialPortManager::uploadProject(const QStringList& projectFiles, const Common::ConfigurationInfo& projectConfig, int totalSize)
{
    return onActiveLink([&](DeviceLink* l) { return l->uploadProject(projectFiles, projectConfig, totalSize); });
}

bool SerialPortManager::upgradeDeviceSoftware(const QByteArray& packageContent)
{
    return onActiveLink([&](DeviceLink* l) { return l->upgradeDeviceSoftware(packageContent); });
}

bool SerialPortManager::retrieveProjectFiles(const QString& destination)
{
    return onActiveLink([&](DeviceLink* l) { return l->retrieveProjectFiles(destination); });
}

bool SerialPortManager::retrieveDataLogFile(const QString& destination)
{
    return onActiveLink([&](DeviceLink* l) { return l->retrieveDataLogFile(destination); });
}

bool SerialPortManager::updateLogFile(const QString& localDatabasePath)
{
    return onActiveLink([&](DeviceLink* l) { return l->updateLogFile(localDatabasePath); });
}

bool SerialPortManager::configureDevice(Common::CalibrationInfo* calibrationInfo)
{
    return onActiveLink([&](DeviceLink* l) { return l->configureDevice(calibrationInfo); });
}

bool SerialPortManager::getInstalledFonts()
{
    return onActiveLink([](DeviceLink* l) { return l->getInstalledFonts(); });
}

bool SerialPortManager::manageFonts(const QMap<QString, qint64>& fontsToAdd, const QStringList& fontsToRemove)
{
    return onActiveLink([&](DeviceLink* l) { return l->manageFonts(fontsToAdd, fontsToRemove); });
}

bool SerialPortManager::identifyDevice()
{
    return onActiveLink([](DeviceLink* l) { return l->identifyDevice(); });
}

bool SerialPortManager::syncDeviceClock(int offset)
{
    return onActiveLink([=](DeviceLink* l) { return l->syncDeviceClock(offset); });
}

bool SerialPortManager::setDeviceBacklight(int level)
{
    return onActiveLink([=](DeviceLink* l) { return l->setDeviceBacklight(level); });
}

bool SerialPortManager::rebootDevice()
{
    return onActiveLink([](DeviceLink* l) { return l->rebootDevice(); });
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
