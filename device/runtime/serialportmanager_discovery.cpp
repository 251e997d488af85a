// Device discovery: port enumeration, one scanner thread per device port, and the device records.
#include "serialportmanager.h"
#include "diagnostics.h"
#include "serialportmanager_p.h"

#include "devicelink.h"

#include "localizationhelper.h"
#include "portenumerator.h"
#include "serialdevicescanner.h"
#include "texthelper.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QDebug>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

#include <algorithm>

using Orvane::Tavrix::Common::lcDiscovery;

namespace Orvane {
namespace Tavrix {
namespace Runtime {

using Common::LocalizationHelper;
using Common::TextHelper;

namespace {

// The manager whose discovery runs, for the static restriction.
QPointer<SerialPortManager> g_discoveryManager;

// How often a port that another program holds is tried again.
constexpr int InUseRetryMs = 500;

QString applicationVersion()
{
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral(DOVREL_VERSION) : version;
}

} // namespace

bool SerialPortManager::initialize()
{
    qRegisterMetaType<QMap<QString, QString>>("QMap<QString,QString>");
    qRegisterMetaType<QMap<QString, QVariant>>("QMap<QString,QVariant>");

    g_discoveryManager = this;
    d->m_inUseRetry = new QTimer(this);
    d->m_inUseRetry->setSingleShot(true);
    d->m_inUseRetry->setInterval(InUseRetryMs);
    connect(d->m_inUseRetry, &QTimer::timeout, this, [this]() {
        for (const QString& portName : std::as_const(d->m_portsInUse)) {
            const bool scanning = std::any_of(d->m_scanners.cbegin(), d->m_scanners.cend(),
                                              [&portName](const SerialPortManagerPrivate::ScannerRecord& record) {
                                                  return record.portName == portName;
                                              });
            const DeviceLink* busy = link(portName);
            if (scanning || (busy && (busy->isRunning() || busy->isSerialPortOpen()))) {
                d->m_inUseRetry->start();
                continue;
            }
            // The other program may have taken the device's boot announcement: it is asked at once.
            createScanner(portName, true);
        }
    });
    d->m_enumerator = new PortEnumerator(this);
    if (!d->m_enumerator->setUpNotifications())
        qCDebug(lcDiscovery) << "Setup Notification Failed...";

    d->m_designerVersions.insert(QStringLiteral("2.0.0.2552"), QStringLiteral("1.0.0.0"));

    // The enumerator's own list: its later events are differences from exactly this one.
    for (const auto& info : d->m_enumerator->ports()) {
        if (!PortEnumerator::isDevicePort(info))
            continue;
        const QString portName = info.value(QStringLiteral("portName")).toString();
        if (d->m_devicePorts.contains(portName))
            continue;
        d->m_devicePorts << portName;
        d->m_serialDevices.insert(portName, info);
        createScanner(portName, true);
    }

    connect(d->m_enumerator, &PortEnumerator::deviceDiscovered, this, &SerialPortManager::onSerialDeviceDiscovered);
    connect(d->m_enumerator, &PortEnumerator::deviceRemoved, this, &SerialPortManager::onSerialDeviceRemoved);
    return true;
}

void SerialPortManager::createScanner(const QString& portName, bool bootUp)
{
    auto* port = new QSerialPort;
    port->setPortName(portName);
    DeviceLink::applyLineSettings(port);
    auto* bootTimer = new QTimer;
    bootTimer->setSingleShot(true);
    auto* scanTimer = new QTimer;
    scanTimer->setSingleShot(true);
    auto* scanner = new SerialDeviceScanner(port, bootTimer, scanTimer, bootUp);
    auto* thread = new QThread;
    thread->setObjectName(QStringLiteral("Scanner %1").arg(portName));

    // The port is used only from the scanner's thread.
    scanner->moveToThread(thread);
    port->moveToThread(thread);
    bootTimer->moveToThread(thread);
    scanTimer->moveToThread(thread);

    connect(scanner, &SerialDeviceScanner::scanError, this, &SerialPortManager::onScannerError, Qt::QueuedConnection);
    connect(scanner, &SerialDeviceScanner::portOpened, this, [this, portName]() { d->m_portsInUse.removeAll(portName); },
            Qt::QueuedConnection);
    connect(scanner, &SerialDeviceScanner::deviceConnected, this, &SerialPortManager::onDeviceConnected, Qt::QueuedConnection);
    connect(scanner, &SerialDeviceScanner::deviceBootedUp, this, &SerialPortManager::onDeviceBootedUp, Qt::QueuedConnection);
    connect(port, &QSerialPort::readyRead, scanner, &SerialDeviceScanner::onReadyRead);
    connect(bootTimer, &QTimer::timeout, scanner, &SerialDeviceScanner::onBootUpTimerFired);
    connect(scanTimer, &QTimer::timeout, scanner, &SerialDeviceScanner::onScanTimerFired);
    connect(scanner, &SerialDeviceScanner::startBootTimer, bootTimer, qOverload<int>(&QTimer::start));
    connect(scanner, &SerialDeviceScanner::startScanTimer, scanTimer, qOverload<int>(&QTimer::start));
    connect(scanner, &SerialDeviceScanner::stopBootTimer, bootTimer, &QTimer::stop);
    connect(scanner, &SerialDeviceScanner::stopScanTimer, scanTimer, &QTimer::stop);
    connect(scanner, &SerialDeviceScanner::scanStopped, thread, &QThread::quit);
    connect(thread, &QThread::finished, scanner, &QObject::deleteLater);
    connect(thread, &QThread::finished, port, &QObject::deleteLater);
    connect(thread, &QThread::finished, bootTimer, &QObject::deleteLater);
    connect(thread, &QThread::finished, scanTimer, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);

    d->m_scanners.append({ portName, scanner, thread });
    thread->start();
    QMetaObject::invokeMethod(scanner, "starScan", Qt::QueuedConnection);
}

namespace {
void stopScannerQueued(SerialDeviceScanner* scanner)
{
    if (scanner)
        QMetaObject::invokeMethod(scanner, "stopScan", Qt::QueuedConnection);
}

// Drops the scanner from the live ones; whether it was one of them.
bool forgetScanner(QList<SerialPortManagerPrivate::ScannerRecord>& scanners, const SerialDeviceScanner* scanner)
{
    return scanners.removeIf([scanner](const SerialPortManagerPrivate::ScannerRecord& record) { return record.scanner == scanner; }) > 0;
}

// Waits until the scanner has closed its port, so the command port can open it at once.
// The worker runs until stopScan, and never waits for this thread, so this cannot deadlock.
void stopScannerAndWait(SerialDeviceScanner* scanner)
{
    if (!scanner)
        return;
    QThread* thread = scanner->thread();
    if (thread && thread->isRunning() && thread != QThread::currentThread())
        QMetaObject::invokeMethod(scanner, "stopScan", Qt::BlockingQueuedConnection);
    else
        stopScannerQueued(scanner);
}
} // namespace

void SerialPortManager::restrictDiscovery(const QStringList& ports)
{
    PortEnumerator::setPortRestriction(ports);
    // Ports now outside the limit go as if unplugged: their scanners stop, their records go.
    if (g_discoveryManager && g_discoveryManager->d->m_enumerator)
        g_discoveryManager->d->m_enumerator->pollNow();
}

void SerialPortManager::followNewPorts()
{
    if (PortEnumerator::portRestriction().isEmpty())
        return;
    PortEnumerator::acceptNewPorts();
    if (g_discoveryManager && g_discoveryManager->d->m_enumerator)
        g_discoveryManager->d->m_enumerator->pollNow();
}

void SerialPortManager::shutdownDiscovery()
{
    if (d->m_inUseRetry)
        d->m_inUseRetry->stop();
    // Called from the destructor: the event loop may be gone, so stop and join each worker here.
    const auto scanners = d->m_scanners;
    d->m_scanners.clear();
    for (const auto& record : scanners) {
        if (record.scanner && record.thread && record.thread->isRunning())
            QMetaObject::invokeMethod(record.scanner, "stopScan", Qt::BlockingQueuedConnection);
    }
    for (const auto& record : scanners) {
        if (record.thread) {
            record.thread->quit();
            record.thread->wait(5000);
        }
    }
    // deleteLater of objects living in finished threads would never run now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void SerialPortManager::onSerialDeviceDiscovered(const QMap<QString, QVariant>& info)
{
    if (!PortEnumerator::isDevicePort(info))
        return;
    const QString portName = info.value(QStringLiteral("portName")).toString();
    if (!d->m_devicePorts.contains(portName))
        d->m_devicePorts << portName;
    d->m_serialDevices.insert(portName, info);
    qCDebug(lcDiscovery).noquote() << QStringLiteral("Found device at '%1'").arg(portName);
    // Discovery never opens a port that a running operation holds.
    DeviceLink* busy = link(portName);
    if (busy && (busy->isRunning() || busy->isSerialPortOpen())) {
        if (!d->m_deferredScans.contains(portName))
            d->m_deferredScans << portName;
    } else {
        createScanner(portName, false);
    }
    emit serialDeviceDiscovered(info);
}

void SerialPortManager::onSerialDeviceRemoved(const QMap<QString, QVariant>& info)
{
    if (!PortEnumerator::isDevicePort(info))
        return;
    const QString portName = info.value(QStringLiteral("portName")).toString();
    d->m_deniedPorts.removeAll(portName);
    d->m_deferredScans.removeAll(portName);
    // The link goes with its device; a running operation on it ends as DeviceLost.
    DeviceLink* gone = d->m_links.take(portName);
    if (gone)
        gone->deviceGone();
    if (!d->m_devicePorts.contains(portName)) {
        if (gone)
            emit linkRemoved(gone);
        return;
    }

    const QMap<QString, QVariant> serialRecord = d->m_serialDevices.take(portName);
    const QMap<QString, QString> deviceRecord = d->m_devices.take(portName);
    const QString model = deviceRecord.value(QStringLiteral("model"));
    const QString serial = deviceRecord.value(QStringLiteral("serial"));
    if (!serialRecord.isEmpty() && !deviceRecord.isEmpty())
        qCDebug(lcDiscovery).noquote() << QStringLiteral("Device %1 (SN: %2) at '%3' disconnected").arg(model, serial, portName);
    else if (!deviceRecord.isEmpty())
        qCDebug(lcDiscovery).noquote() << QStringLiteral("Device %1 (SN: %2) disconnected").arg(model, serial);
    else
        qCDebug(lcDiscovery).noquote() << QStringLiteral("Device at '%1' disconnected").arg(portName);
    removeSerialDevice(portName);

    for (int i = d->m_scanners.size() - 1; i >= 0; --i) {
        if (d->m_scanners.at(i).portName == portName) {
            stopScannerQueued(d->m_scanners.at(i).scanner);
            d->m_scanners.removeAt(i);
        }
    }

    if (!serialRecord.isEmpty())
        emit serialDeviceRemoved(serialRecord);
    if (gone)
        emit linkRemoved(gone);
    if (!deviceRecord.isEmpty())
        emit deviceDisconnected(deviceRecord);
}

void SerialPortManager::startDeferredScan(DeviceLink* deviceLink)
{
    const QString portName = deviceLink->portName();
    if (!d->m_deferredScans.contains(portName) || d->m_links.value(portName) != deviceLink || deviceLink->isRunning()
        || deviceLink->isSerialPortOpen())
        return;
    d->m_deferredScans.removeAll(portName);
    if (d->m_devicePorts.contains(portName))
        createScanner(portName, false);
}

void SerialPortManager::removeSerialDevice(const QString& portName)
{
    if (DeviceLink* gone = d->m_links.take(portName)) {
        gone->deviceGone();
        emit linkRemoved(gone);
    }
    d->m_devicePorts.removeAll(portName);
    d->m_portsInUse.removeAll(portName);
    d->m_devices.remove(portName);
    d->m_serialDevices.remove(portName);
}

QStringList SerialPortManager::portsInUse() const
{
    return d->m_portsInUse;
}

void SerialPortManager::onDeviceConnected(const QMap<QString, QString>& identified)
{
    auto* scanner = qobject_cast<SerialDeviceScanner*>(sender());
    if (!scanner)
        return;
    const QString portName = scanner->portName();

    // The result was queued; meanwhile the port may have been unplugged (and may even be back
    // with a scanner of its own). Only a live scanner of a port still present is heard.
    const bool live = forgetScanner(d->m_scanners, scanner);
    if (!live || !d->m_devicePorts.contains(portName)) {
        qCDebug(lcDiscovery).noquote() << QStringLiteral("Device at '%1' identified after its port went away; ignored").arg(portName);
        stopScannerQueued(scanner);
        return;
    }

    // Where the device is plugged in, for its slot's name.
    QMap<QString, QString> info = identified;
    const QString slotPath = d->m_serialDevices.value(portName).value(QStringLiteral("slotPath")).toString();
    if (!slotPath.isEmpty())
        info.insert(QStringLiteral("slotPath"), slotPath);

    int result = 0;
    const QString designer = info.value(QStringLiteral("minDesignerVer"));
    if (designer.isEmpty()) {
        result = 1;
    } else if (d->m_designerVersions.contains(designer)
               && TextHelper::versionCompare(d->m_designerVersions.value(designer), applicationVersion()) > 0) {
        result = 2;
    }

    if (result != 2) {
        d->m_devices.insert(portName, info);
        qCDebug(lcDiscovery).noquote() << QStringLiteral("Device %1 (SN: %2) Name: %4 connected at '%3'")
                                  .arg(info.value(QStringLiteral("model")), info.value(QStringLiteral("serial")), portName,
                                       info.value(QStringLiteral("deviceName")));
    }

    stopScannerAndWait(scanner);

    // The device's link: new, or the one it already has when it was only identified again.
    DeviceLink* deviceLink = nullptr;
    if (result != 2) {
        deviceLink = link(portName);
        if (!deviceLink) {
            deviceLink = createLink(portName);
            emit linkAdded(deviceLink);
        } else {
            deviceLink->setDeviceInformation(info);
        }
    }

    if (result == 0) {
        emit deviceConnected(info);
    } else if (result == 1) {
        emit broadcastMessage(QStringLiteral("warning"), rt("Unrecognized Device"),
                              rt("Please upgrade the device software to at least version 1.0.0.1435 to use the device."));
        emit deviceConnected(info);
    } else {
        emit broadcastMessage(QStringLiteral("warning"), rt("Outdated Designer Application"),
                              rt("Please upgrade Kavendi to at least version %1 to use the device.")
                                  .arg(d->m_designerVersions.value(designer)));
    }
}

void SerialPortManager::onDeviceBootedUp()
{
    auto* scanner = qobject_cast<SerialDeviceScanner*>(sender());
    if (scanner)
        qCDebug(lcDiscovery).noquote() << QStringLiteral("Device at '%1' is ready for communication").arg(scanner->portName());
}

void SerialPortManager::onScannerError(int lastError)
{
    auto* scanner = qobject_cast<SerialDeviceScanner*>(sender());
    if (!scanner)
        return;
    const QString portName = scanner->portName();
    if (lastError == -5) {
        // The scanner's port reported the device gone; confirm with the port list.
        if (d->m_enumerator)
            d->m_enumerator->pollNow();
        return;
    }
    if (lastError > 0) {
        // The port would not open: the scanner ends, and its thread with it.
        forgetScanner(d->m_scanners, scanner);
        stopScannerQueued(scanner);
        if (lastError != QSerialPort::PermissionError || !d->m_devicePorts.contains(portName))
            return;
        if (PortEnumerator::lacksPermission(portName)) {
            qCDebug(lcDiscovery).noquote() << QStringLiteral("No permission to open the device port '%1'").arg(portName);
            if (!d->m_deniedPorts.contains(portName)) {
                d->m_deniedPorts << portName;
                emit portAccessDenied(portName);
            }
            return;
        }
        // This user may open it: another program holds it (its lock file, or its exclusive
        // open). It is tried again until it is free.
        qCDebug(lcDiscovery).noquote() << QStringLiteral("The device port '%1' is in use by another program").arg(portName);
        if (!d->m_portsInUse.contains(portName)) {
            d->m_portsInUse << portName;
            emit portInUse(portName);
        }
        d->m_inUseRetry->start();
        return;
    }
    if (lastError != -1 && lastError != -4)
        return;
    removeSerialDevice(portName);
    qCDebug(lcDiscovery).noquote() << QStringLiteral("Error scanning device at port '%1', error: %2").arg(portName).arg(lastError);
    forgetScanner(d->m_scanners, scanner);
    stopScannerAndWait(scanner);
}

QMap<QString, QString> SerialPortManager::parseHardwareDescription(const QString& reply)
{
    static const QList<QPair<QString, QString>> prefixes = {
        { QStringLiteral("SER_NO:"), QStringLiteral("serial") },
        { QStringLiteral("MODELS:"), QStringLiteral("model") },
        { QStringLiteral("FIRMWD:"), QStringLiteral("firmware") },
        { QStringLiteral("DEVAPP:"), QStringLiteral("deviceAppVer") },
        { QStringLiteral("DESAPP:"), QStringLiteral("minDesignerVer") },
        { QStringLiteral("ADCCHN:"), QStringLiteral("analogInputs") },
        { QStringLiteral("LCDVER:"), QStringLiteral("screenHeight") },
        { QStringLiteral("LCDHOR:"), QStringLiteral("screenWidth") },
        { QStringLiteral("LCDBBP:"), QStringLiteral("colorDepth") },
        { QStringLiteral("ALM_CH:"), QStringLiteral("alarmOutputs") },
        { QStringLiteral("PHYADD:"), QStringLiteral("physicalAddress") },
        { QStringLiteral("PWM_CH:"), QStringLiteral("pwmOutputs") },
        { QStringLiteral("DIO_CH:"), QStringLiteral("digitalIOs") },
        { QStringLiteral("BKLT:"), QStringLiteral("backlight") },
        { QStringLiteral("LOTIZO:"), QStringLiteral("timezone") },
        { QStringLiteral("DEVNAM:"), QStringLiteral("deviceName") },
    };
    QMap<QString, QString> info;
    static const QRegularExpression separators(QStringLiteral("[<>]"));
    for (const QString& raw : reply.split(separators, Qt::SkipEmptyParts)) {
        const QString piece = raw.trimmed();
        const int colon = piece.indexOf(QLatin1Char(':'));
        if (colon <= 0 || colon == piece.size() - 1)
            continue;
        const QString value = piece.mid(colon + 1).trimmed();
        if (value.isEmpty())
            continue;
        for (const auto& prefix : prefixes) {
            if (piece.startsWith(prefix.first)) {
                info.insert(prefix.second, value);
                break;
            }
        }
    }
    return info;
}

bool SerialPortManager::isCompleteDeviceInformation(const QMap<QString, QString>& info)
{
    static const QStringList base = {
        QStringLiteral("alarmOutputs"), QStringLiteral("analogInputs"), QStringLiteral("backlight"), QStringLiteral("colorDepth"),
        QStringLiteral("deviceAppVer"), QStringLiteral("digitalIOs"), QStringLiteral("firmware"), QStringLiteral("model"),
        QStringLiteral("port"), QStringLiteral("pwmOutputs"), QStringLiteral("screenHeight"), QStringLiteral("screenWidth"),
        QStringLiteral("serial"), QStringLiteral("timezone")
    };
    QStringList keys = base;
    const QStringList extras = { QStringLiteral("minDesignerVer"), QStringLiteral("deviceName"), QStringLiteral("physicalAddress") };
    QList<QStringList> sets;
    sets << keys;
    for (const QString& extra : extras) {
        keys << extra;
        sets << keys;
    }
    QStringList present = info.keys();
    present.sort();
    for (QStringList set : sets) {
        set.sort();
        if (set == present)
            return true;
    }
    return false;
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
