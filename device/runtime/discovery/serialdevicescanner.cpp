#include "serialdevicescanner.h"

#include "diagnostics.h"
#include "portenumerator.h"
#include "serialportmanager.h"

#include <QDebug>
#include <QTimer>

using Orvane::Tavrix::Common::lcDiscovery;

namespace Orvane {
namespace Tavrix {
namespace Runtime {

QAtomicInt SerialDeviceScanner::s_liveCount;

namespace {
// A hardware description is a few hundred bytes; more without its end marker is noise.
constexpr int MaxReplyText = 16 * 1024;
// A freshly booted device is given this long before it is asked.
constexpr int BootSettleMsecs = 1000;
} // namespace

SerialDeviceScanner::SerialDeviceScanner(QSerialPort* port, QTimer* bootTimer, QTimer* scanTimer, bool bootUp, QObject* parent)
    : QObject(parent)
    , m_port(port)
    , m_bootTimer(bootTimer)
    , m_scanTimer(scanTimer)
    , m_bootUp(bootUp)
    , m_state(bootUp ? WaitingForDescription : WaitingForBoot)
    , m_portName(port ? PortEnumerator::canonicalPortName(port->portName()) : QString())
{
    s_liveCount.ref();
    if (m_port)
        connect(m_port, &QSerialPort::errorOccurred, this, &SerialDeviceScanner::onPortError);
}

SerialDeviceScanner::~SerialDeviceScanner()
{
    s_liveCount.deref();
}

int SerialDeviceScanner::liveCount()
{
    return s_liveCount.loadRelaxed();
}

QString SerialDeviceScanner::portName() const
{
    return m_portName;
}

void SerialDeviceScanner::writeText(const QByteArray& text)
{
    if (m_port && m_port->isOpen()) {
        m_port->write(text);
        m_port->flush();
    }
}

void SerialDeviceScanner::starScan()
{
    if (m_stopped)
        return;
    if (!m_port->open(QIODevice::ReadWrite)) {
        const int code = int(m_port->error());
        emit scanError(code != 0 ? code : -1);
        return;
    }
    emit portOpened();
    m_port->flush();
    if (!m_bootUp) {
        qCDebug(lcDiscovery) << "m_bootUp:False";
        writeText(" ");
        emit startBootTimer(20000);
    } else {
        qCDebug(lcDiscovery) << "m_bootUp:True";
        writeText("#HWCF#");
        emit startScanTimer(3000);
    }
}

void SerialDeviceScanner::requestDescription(int scanMsecs)
{
    m_state = WaitingForDescription;
    writeText("#HWCF#");
    emit startScanTimer(scanMsecs);
}

void SerialDeviceScanner::onReadyRead()
{
    if (m_stopped || !m_port || !m_port->isOpen())
        return;
    QString chunk = QString::fromLatin1(m_port->readAll());
    if (chunk.trimmed().isEmpty())
        return;

    if (m_state == WaitingForBoot) {
        // Whatever comes while the freshly booted device settles is not an answer to anything;
        // a second "<BOOT_UP>" in that time must not send the request twice.
        if (m_settling)
            return;
        // The announcement may arrive torn over several reads (a slow line): collect it
        // while what came so far can still become "<BOOT_UP>".
        const QString collected = m_buffer + chunk;
        const QString start = collected.trimmed();
        if (collected.size() <= MaxReplyText && !collected.contains(QLatin1String("<BOOT_UP>"))
            && !collected.contains(QLatin1String("#HWCF#"))
            && (QStringLiteral("<BOOT_UP>").startsWith(start) || QStringLiteral("#HWCF#").startsWith(start))) {
            m_buffer = collected;
            return;
        }
        chunk = collected;
        m_buffer.clear();
        if (chunk.endsWith(QLatin1String("<BOOT_UP>")) || chunk.endsWith(QLatin1String("<BOOT_UP> "))) {
            m_bootWaitClosed = true;
            if (m_bootTimer->isActive())
                emit stopBootTimer();
            // Give the freshly booted device a moment before talking to it; the thread's
            // event loop runs meanwhile, and stopScan cancels the wait.
            m_settling = true;
            QTimer::singleShot(BootSettleMsecs, this, &SerialDeviceScanner::onBootSettled);
            return;
        } else if (chunk.contains(QLatin1String("#HWCF#"))) {
            qCDebug(lcDiscovery) << "Plenar Start too Fast !!!";
            m_port->flush();
            chunk.clear();
            m_buffer.clear();
        } else {
            qCDebug(lcDiscovery).noquote() << QStringLiteral("Unexpected message from '%1': [%2]").arg(m_portName, chunk.left(256));
            emit scanError(-4);
            return;
        }
        requestDescription(5000);
        return;
    }

    if (m_state != WaitingForDescription)
        return;

    QString reply;
    if (chunk.contains(QLatin1String("<BOOT_UP>"))) {
        m_buffer.clear();
        m_replyWaitClosed = true;
        if (m_scanTimer->isActive())
            emit stopScanTimer();
        reply = chunk;
    } else {
        // The end marker may be torn across reads: look in everything collected so far.
        const QString collected = m_buffer + chunk;
        if (!collected.contains(QLatin1String("<HWCFEND>"))) {
            if (collected.size() > MaxReplyText) {
                // A stream without the end marker: not a description. Give up waiting for it
                // rather than buffer without end while every piece restarts the timer.
                m_buffer.clear();
                m_replyWaitClosed = true;
                if (m_scanTimer->isActive())
                    emit stopScanTimer();
                unrecognizedReply(collected);
                return;
            }
            m_buffer = collected;
            emit startScanTimer(3000);
            return;
        }
        reply = collected;
        m_buffer.clear();
        m_replyWaitClosed = true;
        if (m_scanTimer->isActive())
            emit stopScanTimer();
    }
    examineReply(reply);
}

void SerialDeviceScanner::examineReply(const QString& reply)
{
    if (reply.startsWith(QLatin1String("#HWCF#"))) {
        const int first = reply.indexOf(QLatin1Char('<'));
        QMap<QString, QString> info = SerialPortManager::parseHardwareDescription(first >= 0 ? reply.mid(first) : QString());
        info.insert(QStringLiteral("port"), m_portName);
        if (SerialPortManager::isCompleteDeviceInformation(info)) {
            m_info = info;
            m_state = Identified;
            emit deviceConnected(info);
            return;
        }
        qCDebug(lcDiscovery) << "Unrecognized entries, retry";
        m_port->flush();
        m_buffer.clear();
        m_replyWaitClosed = false;
        writeText("#HWCF#");
        emit startScanTimer(3000);
        return;
    }
    if (reply.startsWith(QLatin1String("<BOOT_UP>"))) {
        emit deviceBootedUp();
        if (m_bootUp) {
            m_replyWaitClosed = false;
            writeText("#HWCF#");
            emit startScanTimer(3000);
        }
        return;
    }
    unrecognizedReply(reply);
}

void SerialDeviceScanner::unrecognizedReply(const QString& reply)
{
    if (m_retries == 0) {
        ++m_retries;
        qCDebug(lcDiscovery) << "Unrecognized entries, retry";
        m_port->flush();
        m_buffer.clear();
        m_replyWaitClosed = false;
        writeText("#HWCF#");
        emit startScanTimer(3000);
        return;
    }
    qCDebug(lcDiscovery).noquote() << QStringLiteral("Unexpected message from '%1': %2").arg(m_portName, reply.left(256));
    emit scanError(-4);
}

void SerialDeviceScanner::onBootSettled()
{
    if (!m_settling || m_stopped)
        return;
    m_settling = false;
    emit deviceBootedUp();
    requestDescription(5000);
}

void SerialDeviceScanner::closePort()
{
    // An idle scanner must not hold the device's port nor buffer what the device sends.
    if (m_port && m_port->isOpen())
        m_port->close();
}

void SerialDeviceScanner::onBootUpTimerFired()
{
    if (m_bootWaitClosed || m_state != WaitingForBoot || m_stopped)
        return;
    m_state = Failed;
    m_stopped = true;
    emit stopBootTimer();
    closePort();
    emit scanError(-2);
}

void SerialDeviceScanner::onScanTimerFired()
{
    if (m_replyWaitClosed || m_state != WaitingForDescription || m_stopped)
        return;
    if (m_bootUp) {
        m_state = WaitingForBoot;
        emit startBootTimer(15000);
        return;
    }
    m_stopped = true;
    m_state = Failed;
    emit stopBootTimer();
    emit stopScanTimer();
    closePort();
    emit scanError(-3);
}

void SerialDeviceScanner::stopScan()
{
    m_bootWaitClosed = true;
    m_replyWaitClosed = true;
    emit stopBootTimer();
    emit stopScanTimer();
    m_stopped = true;
    m_settling = false;
    if (m_port && m_port->isOpen()) {
        m_port->flush();
        m_port->close();
    }
    emit scanStopped();
}

void SerialDeviceScanner::onPortError(QSerialPort::SerialPortError error)
{
    // A vanished device: close at once (the port would report the error in a busy loop)
    // and let the port list notice the removal.
    if (error != QSerialPort::ResourceError)
        return;
    if (m_port->isOpen())
        m_port->close();
    emit stopBootTimer();
    emit stopScanTimer();
    if (!m_stopped) {
        m_stopped = true;
        emit scanError(-5);
    }
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
