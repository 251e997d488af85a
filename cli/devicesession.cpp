#include "devicesession.h"

#include "devicelink.h"
#include "localizationhelper.h"
#include "operationrun.h"
#include "portenumerator.h"
#include "progressreporter.h"
#include "serialportmanager.h"
#include "stopsignals.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QTimer>

#include <algorithm>

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Common::StopSignals;
using Orvane::Tavrix::Runtime::DeviceInformation;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::OperationRun;
using Orvane::Tavrix::Runtime::PortEnumerator;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

constexpr int VendorId = 0x1781;
constexpr int ProductId = 0x0ec6;
constexpr int IdentificationTimeoutMs = 15000;

bool isDeviceUsbPort(const QSerialPortInfo& info)
{
    return info.hasVendorIdentifier() && info.hasProductIdentifier() && info.vendorIdentifier() == VendorId
        && info.productIdentifier() == ProductId;
}

// Runs the event loop for a while.
void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void addVirtualPort(const QString& path)
{
    QStringList ports = qEnvironmentVariable("DOVREL_VIRTUAL_PORTS").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    // First, so the name given wins over another listed name of the same port.
    ports.removeAll(path);
    ports.prepend(path);
    qputenv("DOVREL_VIRTUAL_PORTS", ports.join(QDir::listSeparator()).toLocal8Bit());
}

} // namespace

DeviceSession::DeviceSession(ProgressReporter* progress, QObject* parent)
    : QObject(parent)
    , m_progress(progress)
{
}

DeviceSession::~DeviceSession() = default;

SerialPortManager* DeviceSession::manager() const
{
    return SerialPortManager::instance();
}

QMap<QString, QString> DeviceSession::info() const
{
    return manager()->deviceInformation(m_port);
}

DeviceInformation DeviceSession::device() const
{
    return DeviceInformation(info());
}

int DeviceSession::identificationTimeoutMs()
{
    return IdentificationTimeoutMs;
}

QString DeviceSession::permissionText(const QString& port)
{
    return guiText("Permission denied opening %1. Install the udev rule packaging/linux/60-dovrel.rules as "
               "/etc/udev/rules.d/60-dovrel.rules (or join the group dialout), then plug the device in again.")
        .arg(port);
}

QString DeviceSession::inUseText()
{
    return guiText("The port is in use by another program.");
}

QSerialPort::SerialPortError DeviceSession::probe(const QString& port, QString* errorText) const
{
    QSerialPort serial;
    serial.setPortName(port);
    if (serial.open(QIODevice::ReadWrite)) {
        serial.close();
        return QSerialPort::NoError;
    }
    const QSerialPort::SerialPortError error = serial.error();
    if (errorText) {
        if (error == QSerialPort::PermissionError && !PortEnumerator::lacksPermission(port))
            *errorText = inUseText();
        else if (error == QSerialPort::PermissionError)
            *errorText = permissionText(port);
        else if (error == QSerialPort::DeviceNotFoundError)
            *errorText = guiText("The port %1 does not exist.").arg(port);
        else
            *errorText = guiText("The port %1 cannot be opened: %2").arg(port, serial.errorString());
    }
    return error;
}

ExitCode DeviceSession::prepare(const QStringList& portOptions, QString* error, QList<QPair<QString, QString>>* failures)
{
    m_requestedPorts.clear();
    m_requestedPortsSeen.clear();
    m_probeFailures.clear();
#ifndef Q_OS_WIN
    // A device leaves the bus while it restarts: a command right after one that restarted
    // it waits for the port to come back (for every missing port at once).
    QStringList missing;
    for (const QString& portOption : portOptions) {
        const QString path = PortEnumerator::canonicalPortName(portOption);
        if (QFileInfo::exists(path))
            continue;
        bool listed = false;
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
            listed = listed || (isDeviceUsbPort(info) && PortEnumerator::isSamePort(info.systemLocation(), portOption));
        if (listed)
            continue;
        m_progress->message(guiText("Waiting for the port %1 to appear...").arg(portOption));
        missing << path;
    }
    if (!missing.isEmpty())
        waitForPaths(missing, IdentificationTimeoutMs);
    // Judged once: a port that was there may go again at once (its device restarting).
    QStringList absent;
    for (const QString& path : std::as_const(missing)) {
        if (!QFileInfo::exists(path))
            absent << path;
    }
#endif
    for (const QString& portOption : portOptions) {
        // The port is named as discovery names it, whatever form the option had.
        QString resolved;
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
            if (isDeviceUsbPort(info) && PortEnumerator::isSamePort(info.systemLocation(), portOption))
                resolved = PortEnumerator::canonicalPortName(info.systemLocation());
        }
        QString why;
        if (resolved.isEmpty()) {
            const QString path = PortEnumerator::canonicalPortName(portOption);
#ifndef Q_OS_WIN
            if (absent.contains(path))
                why = guiText("The port %1 does not exist.").arg(portOption);
#endif
            if (why.isEmpty()) {
                // Discovery treats a listed path as a device port even without USB ids.
                addVirtualPort(path);
                resolved = PortEnumerator::resolvePortName(path);
            }
        }
        // A port that goes between the look and the probe is a device leaving the bus to
        // restart, one that another program holds (the program identifying the device, as
        // likely as not) is free again soon: identification waits for either.
        if (why.isEmpty() && (probe(resolved, &why) == QSerialPort::DeviceNotFoundError || why == inUseText()))
            why.clear();
        if (!why.isEmpty()) {
            if (!failures) {
                *error = why;
                return ExitCode::NoDevice;
            }
            failures->append({ portOption, why });
            continue;
        }
        if (!m_requestedPorts.contains(resolved))
            m_requestedPorts << resolved;
        // It existed a moment ago: if it goes now, the device is restarting and comes back.
        if (!m_requestedPortsSeen.contains(resolved))
            m_requestedPortsSeen << resolved;
    }
    if (!portOptions.isEmpty()) {
        // Every given port failed: there is nothing to discover.
        if (m_requestedPorts.isEmpty())
            return ExitCode::Success;
        // This process serves those devices only: other devices' ports stay closed for
        // whoever serves them.
        SerialPortManager::restrictDiscovery(m_requestedPorts);
    } else {
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
            if (!isDeviceUsbPort(info))
                continue;
            const QString port = PortEnumerator::canonicalPortName(info.systemLocation());
            QString why;
            if (probe(port, &why) != QSerialPort::NoError && why != inUseText())
                m_probeFailures.insert(port, why);
        }
    }

    SerialPortManager* m = manager();
    if (!m) {
        *error = guiText("The device link could not be started.");
        return ExitCode::NoDevice;
    }
    // Discovery's warnings (device software too old, program too old for the device).
    connect(m, &SerialPortManager::broadcastMessage, this, [this](const QString&, const QString& title, const QString& content) {
        m_progress->warning(QStringLiteral("%1: %2").arg(title, content));
        m_refusal = content;
    });
    return ExitCode::Success;
}

bool DeviceSession::waitForDiscovery(const std::function<bool()>& condition, int timeoutMs)
{
    if (condition())
        return true;
    SerialPortManager* m = manager();
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto check = [&]() {
        if (condition())
            loop.quit();
    };
    connect(m, &SerialPortManager::deviceConnected, &loop, check);
    connect(m, &SerialPortManager::deviceDisconnected, &loop, check);
    connect(m, &SerialPortManager::serialDeviceDiscovered, &loop, check);
    connect(m, &SerialPortManager::serialDeviceRemoved, &loop, check);
    connect(m, &SerialPortManager::broadcastMessage, &loop, check);
    // Asked to stop, nothing more is waited for.
    if (StopSignals* stop = StopSignals::instance())
        connect(stop, &StopSignals::stopRequested, &loop, &QEventLoop::quit);
    limit.start(timeoutMs);
    loop.exec();
    return condition();
}

bool DeviceSession::waitForPaths(const QStringList& paths, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    const auto allThere = [&paths]() {
        for (const QString& path : paths) {
            if (!QFileInfo::exists(path))
                return false;
        }
        return true;
    };
    while (!allThere()) {
        if (clock.elapsed() > timeoutMs || OperationRun::isStopping())
            return false;
        pause(100);
    }
    return true;
}

bool DeviceSession::waitWhileInUse(const QString& port, int timeoutMs) const
{
    QElapsedTimer clock;
    clock.start();
    QString why;
    while (probe(port, &why) != QSerialPort::NoError && why == inUseText()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        pause(100);
    }
    return true;
}

bool DeviceSession::identificationSettled() const
{
    SerialPortManager* m = manager();
    // A port that went away after it was listed is a device restarting: it comes back.
    const auto settled = [this, m](const QString& port) {
        const bool listed = m->connectedPorts().contains(port);
        if (listed && !m_requestedPortsSeen.contains(port))
            m_requestedPortsSeen << port;
        return !m->deviceInformation(port).isEmpty() || (!listed && !m_requestedPortsSeen.contains(port));
    };
    if (m_requestedPorts.size() == 1)
        return settled(m_requestedPorts.first()) || !m_refusal.isEmpty();
    if (!m_requestedPorts.isEmpty()) {
        bool all = true;
        for (const QString& port : m_requestedPorts)
            all = settled(port) && all; // every port is looked at, to note those listed
        return all;
    }
    for (const QString& port : m->connectedPorts()) {
        if (m->deviceInformation(port).isEmpty() && !m_probeFailures.contains(port))
            return false;
    }
    return true;
}

ExitCode DeviceSession::listDevices(const QString& portOption, QList<QMap<QString, QString>>* devices, QString* error)
{
    const ExitCode prepared = prepare(portOption.isEmpty() ? QStringList() : QStringList { portOption }, error);
    if (prepared != ExitCode::Success)
        return prepared;
    SerialPortManager* m = manager();
    const bool complete = waitForDiscovery([this]() { return identificationSettled(); }, IdentificationTimeoutMs);
    const QString requestedPort = m_requestedPorts.value(0);

    QStringList ports = m->connectedPorts();
    if (!requestedPort.isEmpty())
        ports = QStringList() << requestedPort;
    QStringList pending;
    for (const QString& port : std::as_const(ports)) {
        const QMap<QString, QString> info = m->deviceInformation(port);
        if (!info.isEmpty())
            devices->append(info);
        else if (!m_probeFailures.contains(port))
            pending << port;
    }
    const QString seconds = QString::number(IdentificationTimeoutMs / 1000);
    if (!devices->isEmpty()) {
        for (const QString& port : std::as_const(pending))
            m_progress->warning(unidentifiedText(port));
        for (const QString& why : std::as_const(m_probeFailures))
            m_progress->warning(why);
        return ExitCode::Success;
    }

    if (!m_refusal.isEmpty()) {
        *error = m_refusal;
    } else if (!requestedPort.isEmpty()) {
        *error = notIdentifiedText(requestedPort, complete);
    } else if (!m_probeFailures.isEmpty()) {
        *error = m_probeFailures.first();
    } else if (!pending.isEmpty() && std::all_of(pending.cbegin(), pending.cend(), [m](const QString& port) {
                   return m->portsInUse().contains(port);
               })) {
        *error = inUseText();
    } else if (!pending.isEmpty()) {
        *error = guiText("No device was identified within %1 seconds (%2): the hardware description stayed incomplete or never came.")
                     .arg(seconds, pending.join(QStringLiteral(", ")));
    } else {
        *error = guiText("No device found.");
    }
    return ExitCode::NoDevice;
}

ExitCode DeviceSession::connectDevice(const QString& portOption, QString* error)
{
    QList<QMap<QString, QString>> devices;
    const ExitCode listed = listDevices(portOption, &devices, error);
    if (listed != ExitCode::Success)
        return listed;
    if (devices.size() > 1) {
        QStringList ports;
        for (const auto& device : std::as_const(devices))
            ports << device.value(QStringLiteral("port"));
        *error = guiText("Several devices found (%1); choose one with --port.").arg(ports.join(QStringLiteral(", ")));
        return ExitCode::NoDevice;
    }
    m_port = devices.first().value(QStringLiteral("port"));
    if (!manager()->setActivePort(m_port)) {
        *error = guiText("Failed to connect to device.");
        return ExitCode::NoDevice;
    }
    return ExitCode::Success;
}

ExitCode DeviceSession::connectDevices(const QStringList& portOptions, QStringList* ports,
                                       QList<QPair<QString, QString>>* failures, QString* error)
{
    const ExitCode prepared = prepare(portOptions, error, failures);
    if (prepared != ExitCode::Success)
        return prepared;
    if (!portOptions.isEmpty() && m_requestedPorts.isEmpty())
        return ExitCode::Success;
    SerialPortManager* m = manager();
    const bool complete = waitForDiscovery([this]() { return identificationSettled(); }, IdentificationTimeoutMs);
    QStringList candidates = m_requestedPorts;
    if (portOptions.isEmpty()) {
        candidates = m->connectedPorts();
        for (auto it = m_probeFailures.constBegin(); it != m_probeFailures.constEnd(); ++it)
            failures->append({ it.key(), it.value() });
    }
    for (const QString& port : std::as_const(candidates)) {
        if (!m->deviceInformation(port).isEmpty() && m->link(port))
            *ports << port;
        else if (!m_probeFailures.contains(port))
            failures->append({ port, portOptions.isEmpty()
                                         ? unidentifiedText(port)
                                         : notIdentifiedText(port, complete) });
    }
    if (ports->isEmpty() && failures->isEmpty()) {
        *error = m_refusal.isEmpty() ? guiText("No device found.") : m_refusal;
        return ExitCode::NoDevice;
    }
    return ExitCode::Success;
}

QString DeviceSession::unidentifiedText(const QString& port) const
{
    // Another program held it all the time.
    if (manager()->portsInUse().contains(port))
        return inUseText();
    return guiText("The device at %1 was not identified within %2 seconds.").arg(port, QString::number(IdentificationTimeoutMs / 1000));
}

QString DeviceSession::notIdentifiedText(const QString& port, bool complete) const
{
    if (manager()->portsInUse().contains(port))
        return inUseText();
    if (complete)
        return guiText("The device at %1 could not be identified: it did not answer with a valid hardware description.").arg(port);
    return guiText("The device at %1 was not identified within %2 seconds: its hardware description stayed incomplete or never came.")
        .arg(port, QString::number(IdentificationTimeoutMs / 1000));
}

DeviceSession::Outcome DeviceSession::run(ServiceRecord::Operation operation, const std::function<bool(DeviceLink*)>& start)
{
    Outcome outcome;
    // A program that took the port for a moment (identifying the device after this one
    // did) lets it go again soon.
    if (!waitWhileInUse(m_port, IdentificationTimeoutMs)) {
        outcome.exitCode = ExitCode::NoDevice;
        outcome.error = inUseText();
        return outcome;
    }
    DeviceTask task(m_port, m_progress);
    bool ended = false;
    QEventLoop loop;
    task.run(operation, start, [&](const Outcome& result) {
        outcome = result;
        ended = true;
        loop.quit();
    });
    if (!ended)
        loop.exec();
    return outcome;
}
