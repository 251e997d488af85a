#include "devicesession.h"

#include "localizationhelper.h"
#include "portenumerator.h"
#include "progressreporter.h"
#include "serialportmanager.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QTimer>

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Runtime::DeviceInformation;
using Orvane::Tavrix::Runtime::OperationResult;
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
        if (error == QSerialPort::PermissionError)
            *errorText = permissionText(port);
        else if (error == QSerialPort::DeviceNotFoundError)
            *errorText = guiText("The port %1 does not exist.").arg(port);
        else
            *errorText = guiText("The port %1 cannot be opened: %2").arg(port, serial.errorString());
    }
    return error;
}

ExitCode DeviceSession::prepare(const QString& portOption, QString* error)
{
    m_requestedPort.clear();
    m_requestedPortSeen = false;
    m_probeFailures.clear();
    if (!portOption.isEmpty()) {
        // The port is named as discovery names it, whatever form the option had.
        QString resolved;
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
            if (isDeviceUsbPort(info) && PortEnumerator::isSamePort(info.systemLocation(), portOption))
                resolved = PortEnumerator::canonicalPortName(info.systemLocation());
        }
        if (resolved.isEmpty()) {
            const QString path = PortEnumerator::canonicalPortName(portOption);
#ifndef Q_OS_WIN
            // A device leaves the bus while it restarts: a command right after one that
            // restarted it waits for the port to come back.
            if (!QFileInfo::exists(path)) {
                m_progress->message(guiText("Waiting for the port %1 to appear...").arg(portOption));
                if (!waitForPath(path, IdentificationTimeoutMs)) {
                    *error = guiText("The port %1 does not exist.").arg(portOption);
                    return ExitCode::NoDevice;
                }
            }
#endif
            // Discovery treats a listed path as a device port even without USB ids.
            addVirtualPort(path);
            resolved = PortEnumerator::resolvePortName(path);
        }
        QString why;
        if (probe(resolved, &why) != QSerialPort::NoError) {
            *error = why;
            return ExitCode::NoDevice;
        }
        m_requestedPort = resolved;
        // It existed a moment ago: if it goes now, the device is restarting and comes back.
        m_requestedPortSeen = true;
        // This process serves that device only: other devices' ports stay closed for
        // whoever serves them.
        SerialPortManager::restrictDiscovery({ resolved });
    } else {
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
            if (!isDeviceUsbPort(info))
                continue;
            const QString port = PortEnumerator::canonicalPortName(info.systemLocation());
            QString why;
            if (probe(port, &why) != QSerialPort::NoError)
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
    // Progress of the running operation; the end comes from operationEnded alone.
    connect(m, &SerialPortManager::progressMessage, this, [this](const QString& text) {
        if (m_running)
            m_progress->message(text);
    });
    connect(m, &SerialPortManager::progressUpdated, this, [this](int value) {
        if (!m_running)
            return;
        if (m_unit == Steps)
            m_progress->set(value);
        else
            m_progress->add(value);
    });
    connect(m, &SerialPortManager::transferedFileSize, this, [this](int size) {
        if (m_running)
            m_progress->set(size);
    });
    connect(m, &SerialPortManager::sendingFileInitiated, this, [this](const QString& text, int size) {
        if (m_running)
            m_progress->begin(text, size);
    });
    connect(m, &SerialPortManager::initializeRetrieve, this, [this](const QString& text, int) {
        if (m_running)
            m_progress->message(text);
    });
    connect(m, &SerialPortManager::sentFile, this, [this](const QString& text, int) {
        if (m_running) {
            m_progress->complete();
            m_progress->finish();
            m_progress->message(text);
        }
    });
    connect(m, &SerialPortManager::currentFileChanged, this, [this](const QString& file) {
        if (m_running)
            m_progress->message(guiText("Sending %1").arg(QFileInfo(file).fileName()));
    });
    connect(m, &SerialPortManager::retrieveDataLogNoFile, this, [this]() {
        if (m_running)
            m_outcome.noData = true;
    });
    connect(m, &SerialPortManager::notifyInstalledFonts, this, [this](const QStringList& fonts, bool isError) {
        if (m_running && !isError)
            m_outcome.fonts = fonts;
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
    limit.start(timeoutMs);
    loop.exec();
    return condition();
}

bool DeviceSession::waitForPath(const QString& path, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!QFileInfo::exists(path)) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(100, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

bool DeviceSession::identificationSettled() const
{
    SerialPortManager* m = manager();
    if (!m_requestedPort.isEmpty()) {
        const bool listed = m->connectedPorts().contains(m_requestedPort);
        // A port that went away after it was listed is a device restarting: it comes back.
        m_requestedPortSeen = m_requestedPortSeen || listed;
        return !m->deviceInformation(m_requestedPort).isEmpty() || (!listed && !m_requestedPortSeen)
            || !m_refusal.isEmpty();
    }
    for (const QString& port : m->connectedPorts()) {
        if (m->deviceInformation(port).isEmpty() && !m_probeFailures.contains(port))
            return false;
    }
    return true;
}

ExitCode DeviceSession::listDevices(const QString& portOption, QList<QMap<QString, QString>>* devices, QString* error)
{
    const ExitCode prepared = prepare(portOption, error);
    if (prepared != ExitCode::Success)
        return prepared;
    SerialPortManager* m = manager();
    const bool complete = waitForDiscovery([this]() { return identificationSettled(); }, IdentificationTimeoutMs);

    QStringList ports = m->connectedPorts();
    if (!m_requestedPort.isEmpty())
        ports = QStringList() << m_requestedPort;
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
            m_progress->warning(guiText("The device at %1 was not identified within %2 seconds.").arg(port, seconds));
        for (const QString& why : std::as_const(m_probeFailures))
            m_progress->warning(why);
        return ExitCode::Success;
    }

    if (!m_refusal.isEmpty()) {
        *error = m_refusal;
    } else if (!m_requestedPort.isEmpty()) {
        if (complete)
            *error = guiText("The device at %1 could not be identified: it did not answer with a valid hardware description.").arg(m_requestedPort);
        else
            *error = guiText("The device at %1 was not identified within %2 seconds: its hardware description stayed incomplete or never came.")
                         .arg(m_requestedPort, seconds);
    } else if (!m_probeFailures.isEmpty()) {
        *error = m_probeFailures.first();
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

bool DeviceSession::waitForDeviceBack(int settleMs, int identifyMs)
{
    SerialPortManager* m = manager();
    // A device whose port stays while its runtime restarts is ready as it is.
    const bool gone = waitForDiscovery([this, m]() { return m->deviceInformation(m_port).isEmpty(); }, settleMs);
    if (!gone)
        return true;
    const bool back = waitForDiscovery([this, m]() { return !m->deviceInformation(m_port).isEmpty(); }, identifyMs);
    return back && m->setActivePort(m_port);
}

DeviceSession::Outcome DeviceSession::run(const std::function<bool()>& start, ProgressUnit unit)
{
    SerialPortManager* m = manager();
    m_outcome = Outcome();
    m_unit = unit;
    m_running = true;

    bool ended = false;
    OperationResult result;
    QEventLoop loop;
    // Connected before the start: a start that fails at once ends at once.
    const QMetaObject::Connection connection =
        connect(m, &SerialPortManager::operationEnded, &loop, [&](const OperationResult& r) {
            if (ended)
                return;
            ended = true;
            result = r;
            loop.quit();
        });
    const bool started = start();
    // A start the manager refused (busy, port not opened, bad input) ends nothing.
    const bool refused = !ended && !started;
    if (!ended && !refused)
        loop.exec();
    disconnect(connection);
    m_running = false;
    m_progress->finish();

    Outcome outcome = m_outcome;
    if (refused) {
        outcome.exitCode = ExitCode::NoDevice;
        outcome.error = guiText("Failed to connect to device.");
        return outcome;
    }
    outcome.deviceRestarts = result.deviceRestarts;
    switch (result.outcome) {
    case OperationResult::Succeeded:
        break;
    case OperationResult::NoData:
        outcome.noData = true;
        break;
    case OperationResult::Failed:
        outcome.exitCode = ExitCode::Failed;
        break;
    case OperationResult::TimedOut:
    case OperationResult::DeviceLost:
        outcome.exitCode = ExitCode::TimedOut;
        break;
    }
    if (outcome.exitCode != ExitCode::Success)
        outcome.error = result.message.isEmpty() ? guiText("An unknown error occurred.") : result.message;
    // The manager closes the port as the sequence ends; never leave it open behind us.
    if (m->isSerialPortOpen())
        m->closeSerialPort();
    return outcome;
}
