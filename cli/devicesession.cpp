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

using Orvane::Tavrix::Common::LocalizationHelper;
using Orvane::Tavrix::Runtime::PortEnumerator;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

constexpr int VendorId = 0x1781;
constexpr int ProductId = 0x0ec6;
constexpr int IdentificationTimeoutMs = 15000;
// A sequence that reports nothing for this long has stopped; its own watchdogs are far shorter.
constexpr int DefaultIdleLimitMs = 60000;
// After the final signal the manager closes the port and clears its operation at once; this only bounds it.
constexpr int SettleLimitMs = 10000;
// A closed, idle port without a final signal means the sequence ended silently.
constexpr int SilentEndMs = 1500;

QString gui(const char* text)
{
    return LocalizationHelper::guiString(QString::fromUtf8(text));
}

QElapsedTimer& monotonic()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer;
}

int idleLimitMs()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("DOVREL_IDLE_TIMEOUT", &ok);
    return ok && seconds > 0 ? seconds * 1000 : DefaultIdleLimitMs;
}

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
    monotonic();
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

int DeviceSession::identificationTimeoutMs()
{
    return IdentificationTimeoutMs;
}

QString DeviceSession::permissionText(const QString& port)
{
    return gui("Permission denied opening %1. Install the udev rule packaging/linux/60-dovrel.rules as "
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
            *errorText = gui("The port %1 does not exist.").arg(port);
        else
            *errorText = gui("The port %1 cannot be opened: %2").arg(port, serial.errorString());
    }
    return error;
}

void DeviceSession::touch()
{
    m_lastActivity = monotonic().elapsed();
}

int DeviceSession::prepare(const QString& portOption, QString* error)
{
    m_requestedPort.clear();
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
            if (!QFileInfo::exists(path)) {
                *error = gui("The port %1 does not exist.").arg(portOption);
                return 4;
            }
#endif
            // Discovery treats a listed path as a device port even without USB ids.
            addVirtualPort(path);
            resolved = PortEnumerator::resolvePortName(path);
        }
        QString why;
        if (probe(resolved, &why) != QSerialPort::NoError) {
            *error = why;
            return 4;
        }
        m_requestedPort = resolved;
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
        *error = gui("The device link could not be started.");
        return 4;
    }
    connect(m, &SerialPortManager::progressError, this, &DeviceSession::onProgressError, Qt::UniqueConnection);
    connect(m, &SerialPortManager::progressFinished, this, &DeviceSession::onProgressFinished, Qt::UniqueConnection);
    connect(m, &SerialPortManager::deviceDisconnected, this, &DeviceSession::onDeviceDisconnected, Qt::UniqueConnection);
    // Discovery's warnings (device software too old, program too old for the device).
    connect(m, &SerialPortManager::broadcastMessage, this, [this](const QString&, const QString& title, const QString& content) {
        m_progress->warning(QStringLiteral("%1: %2").arg(title, content));
        m_refusal = content;
    });
    connect(m, &SerialPortManager::progressMessage, this, [this](const QString& text) {
        touch();
        if (m_running)
            m_progress->message(text);
    });
    connect(m, &SerialPortManager::progressUpdated, this, [this](int value) {
        touch();
        if (!m_running)
            return;
        if (m_unit == Steps)
            m_progress->set(value);
        else
            m_progress->add(value);
    });
    connect(m, &SerialPortManager::transferedFileSize, this, [this](int size) {
        touch();
        if (m_running)
            m_progress->set(size);
    });
    connect(m, &SerialPortManager::sendingFileInitiated, this, [this](const QString& text, int size) {
        touch();
        if (m_running)
            m_progress->begin(text, size);
    });
    connect(m, &SerialPortManager::initializeRetrieve, this, [this](const QString& text, int) {
        touch();
        if (m_running)
            m_progress->message(text);
    });
    connect(m, &SerialPortManager::sentFile, this, [this](const QString& text, int) {
        touch();
        if (m_running) {
            m_progress->complete();
            m_progress->finish();
            m_progress->message(text);
        }
    });
    connect(m, &SerialPortManager::currentFileChanged, this, [this](const QString& file) {
        touch();
        if (m_running)
            m_progress->message(gui("Sending %1").arg(QFileInfo(file).fileName()));
    });
    connect(m, &SerialPortManager::retrievedDataLogFile, this, [this]() {
        touch();
        if (m_running)
            m_ended = true;
    });
    connect(m, &SerialPortManager::retrieveDataLogNoFile, this, [this]() {
        touch();
        m_outcome.noDataLog = true;
    });
    connect(m, &SerialPortManager::retrieveDataLogError, this, [this]() {
        touch();
        if (m_running && !m_ended) {
            m_ended = true;
            m_outcome.exitCode = 1;
            m_outcome.error = gui("An unknown error occurred.");
        }
    });
    connect(m, &SerialPortManager::retrievedProjectFiles, this, [this]() {
        touch();
        if (m_running)
            m_ended = true;
    });
    connect(m, &SerialPortManager::retrieveProjectError, this, [this]() {
        touch();
        if (m_running && !m_ended) {
            m_ended = true;
            m_outcome.exitCode = 1;
            m_outcome.error = gui("Failed to retrieve the project files from the device.");
        }
    });
    connect(m, &SerialPortManager::notifyInstalledFonts, this, [this](const QStringList& fonts, bool isError) {
        touch();
        if (!m_running || m_ended)
            return;
        m_ended = true;
        m_outcome.fonts = fonts;
        if (isError) {
            m_outcome.exitCode = 3;
            m_outcome.needReboot = true;
            m_outcome.error = m_lost ? LocalizationHelper::runtimeString(QStringLiteral("The connection to the device was lost."))
                                     : gui("Failed to retrieve installed fonts from the device.");
        }
    });
    connect(m, &SerialPortManager::updateDataLogStatusChange, this, [this](int status) {
        touch();
        // 523 is the update's last step: the device acknowledged the reboot and the port is closed.
        if (m_running && status == 523)
            m_ended = true;
    });
    auto activity = [this](int) { touch(); };
    connect(m, &SerialPortManager::uploadProjectFileStatusChange, this, activity);
    connect(m, &SerialPortManager::upgradeDeviceStatusChange, this, activity);
    connect(m, &SerialPortManager::retrieveProjectFileStatusChange, this, activity);
    connect(m, &SerialPortManager::retrieveDataLogStatusChange, this, activity);
    connect(m, &SerialPortManager::configureStateChange, this, activity);
    connect(m, &SerialPortManager::deviceFontStatusChange, this, [this](int, int, const QString&) { touch(); });
    return 0;
}

bool DeviceSession::waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(20);
    QElapsedTimer elapsed;
    elapsed.start();
    bool result = false;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&]() {
        if (condition()) {
            result = true;
            loop.quit();
        } else if (elapsed.elapsed() >= timeoutMs) {
            loop.quit();
        }
    });
    tick.start();
    loop.exec();
    return result;
}

bool DeviceSession::waitForIdentification(int timeoutMs)
{
    SerialPortManager* m = manager();
    return waitFor(
        [this, m]() {
            if (!m_requestedPort.isEmpty())
                return !m->deviceInformation(m_requestedPort).isEmpty() || !m->connectedPorts().contains(m_requestedPort)
                    || !m_refusal.isEmpty();
            for (const QString& port : m->connectedPorts()) {
                if (m->deviceInformation(port).isEmpty() && !m_probeFailures.contains(port))
                    return false;
            }
            return true;
        },
        timeoutMs);
}

int DeviceSession::listDevices(const QString& portOption, QList<QMap<QString, QString>>* devices, QString* error)
{
    const int prepared = prepare(portOption, error);
    if (prepared != 0)
        return prepared;
    SerialPortManager* m = manager();
    const bool complete = waitForIdentification(IdentificationTimeoutMs);

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
    if (!devices->isEmpty()) {
        for (const QString& port : std::as_const(pending))
            m_progress->warning(gui("The device at %1 was not identified within %2 seconds.").arg(port).arg(IdentificationTimeoutMs / 1000));
        for (const QString& why : std::as_const(m_probeFailures))
            m_progress->warning(why);
        return 0;
    }

    if (!m_refusal.isEmpty()) {
        *error = m_refusal;
    } else if (!m_requestedPort.isEmpty()) {
        if (complete)
            *error = gui("The device at %1 could not be identified: it did not answer with a valid hardware description.").arg(m_requestedPort);
        else
            *error = gui("The device at %1 was not identified within %2 seconds: its hardware description stayed incomplete or never came.")
                         .arg(m_requestedPort)
                         .arg(IdentificationTimeoutMs / 1000);
    } else if (!m_probeFailures.isEmpty()) {
        *error = m_probeFailures.first();
    } else if (!pending.isEmpty()) {
        *error = gui("No device was identified within %1 seconds (%2): the hardware description stayed incomplete or never came.")
                     .arg(IdentificationTimeoutMs / 1000)
                     .arg(pending.join(QStringLiteral(", ")));
    } else {
        *error = gui("No device found.");
    }
    return 4;
}

int DeviceSession::connectDevice(const QString& portOption, QString* error)
{
    QList<QMap<QString, QString>> devices;
    const int listed = listDevices(portOption, &devices, error);
    if (listed != 0)
        return listed;
    if (devices.size() > 1) {
        QStringList ports;
        for (const auto& device : std::as_const(devices))
            ports << device.value(QStringLiteral("port"));
        *error = gui("Several devices found (%1); choose one with --port.").arg(ports.join(QStringLiteral(", ")));
        return 4;
    }
    m_port = devices.first().value(QStringLiteral("port"));
    if (!manager()->setActivePort(m_port)) {
        *error = gui("Failed to connect to device.");
        return 4;
    }
    return 0;
}

bool DeviceSession::waitForDevice(int timeoutMs)
{
    SerialPortManager* m = manager();
    const bool known = waitFor([this, m]() { return !m->deviceInformation(m_port).isEmpty(); }, timeoutMs);
    return known && m->setActivePort(m_port);
}

bool DeviceSession::waitAfterRestart(int settleMs, int identifyMs)
{
    const int before = m_disconnects;
    const qint64 end = m_lastEnd;
    waitFor([this, before, end, settleMs]() { return m_disconnects > before || monotonic().elapsed() - end >= settleMs; },
            settleMs + 1000);
    if (m_disconnects == before)
        return true;
    return waitForDevice(identifyMs);
}

bool DeviceSession::openPort()
{
    return manager()->openSerialPort();
}

void DeviceSession::closePort()
{
    // The commands are written and flushed; give the line a moment before closing.
    QElapsedTimer settle;
    settle.start();
    waitFor([&settle]() { return settle.elapsed() >= 200; }, 1000);
    manager()->closeSerialPort();
}

void DeviceSession::onProgressError(const QString& error, bool needReboot)
{
    touch();
    if (!m_running || m_ended)
        return;
    m_ended = true;
    m_outcome.exitCode = needReboot ? 3 : 1;
    m_outcome.needReboot = needReboot;
    m_outcome.error = error.isEmpty() ? gui("An unknown error occurred.") : error;
}

void DeviceSession::onProgressFinished(bool needReboot)
{
    touch();
    if (!m_running || m_ended)
        return;
    m_ended = true;
    m_outcome.needReboot = needReboot;
}

void DeviceSession::onDeviceDisconnected(const QMap<QString, QString>& info)
{
    if (info.value(QStringLiteral("port")) == m_port) {
        m_lost = true;
        ++m_disconnects;
        touch();
    }
}

DeviceSession::Outcome DeviceSession::run(const std::function<bool()>& start, Kind kind, ProgressUnit unit)
{
    SerialPortManager* m = manager();
    m_outcome = Outcome();
    m_ended = false;
    m_lost = false;
    m_unit = unit;
    m_running = true;
    touch();

    if (!start() && !m_ended) {
        m_running = false;
        Outcome outcome;
        outcome.exitCode = 4;
        outcome.error = gui("Failed to connect to device.");
        return outcome;
    }

    const int idleLimit = idleLimitMs();
    qint64 endedAt = -1;
    qint64 quietSince = -1;
    bool silent = false;
    bool stalled = false;
    waitFor(
        [&]() {
            const qint64 now = monotonic().elapsed();
            const int op = m->currentOperation();
            const bool idle = !m->isSerialPortOpen() && (op == 0 || op == SerialPortManager::UpgradeFinished);
            if (m_ended) {
                if (endedAt < 0)
                    endedAt = now;
                return idle || now - endedAt > SettleLimitMs;
            }
            if (idle) {
                if (quietSince < 0)
                    quietSince = now;
                if (now - quietSince > SilentEndMs) {
                    silent = true;
                    return true;
                }
            } else {
                quietSince = -1;
            }
            if (now - m_lastActivity > idleLimit) {
                stalled = true;
                return true;
            }
            return false;
        },
        std::numeric_limits<int>::max());

    m_progress->finish();
    m_running = false;
    m_lastEnd = monotonic().elapsed();
    if (stalled) {
        m->resetAllStatus();
        m->closeSerialPort();
        m_outcome.exitCode = 3;
        m_outcome.needReboot = true;
        m_outcome.error = gui("The device stopped answering.");
    } else if (silent) {
        if (kind == DataLogRetrieval && m_outcome.noDataLog) {
            // The reboot after "no data log" went unanswered; the answer itself is known.
        } else {
            m_outcome.exitCode = 3;
            m_outcome.needReboot = true;
            m_outcome.error = m_lost ? LocalizationHelper::runtimeString(QStringLiteral("The connection to the device was lost."))
                                     : gui("The operation ended without an answer from the device.");
        }
    } else if (m->isSerialPortOpen()) {
        m->closeSerialPort();
    }
    return m_outcome;
}
