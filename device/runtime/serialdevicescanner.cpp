#include "serialdevicescanner.h"

#include "serialportmanager.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QTimer>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

QAtomicInt SerialDeviceScanner::s_liveCount;

SerialDeviceScanner::SerialDeviceScanner(QSerialPort* port, QTimer* bootTimer, QTimer* scanTimer, bool bootUp, QObject* parent)
    : QObject(parent)
    , m_port(port)
    , m_bootTimer(bootTimer)
    , m_scanTimer(scanTimer)
    , m_bootUp(bootUp)
    , m_state(bootUp ? WaitingForDescription : WaitingForBoot)
    , m_portName(port ? port->portName() : QString())
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
    m_port->flush();
    if (!m_bootUp) {
        qDebug() << "m_bootUp:False";
        writeText(" ");
        emit startBootTimer(20000);
    } else {
        qDebug() << "m_bootUp:True";
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
        // The announcement may arrive torn over several reads (a slow line): collect it
        // while what came so far can still become "<BOOT_UP>".
        const QString collected = m_buffer + chunk;
        const QString start = collected.trimmed();
        if (!collected.contains(QLatin1String("<BOOT_UP>")) && !collected.contains(QLatin1String("#HWCF#"))
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
            // Give the freshly booted device a moment before talking to it.
            QElapsedTimer settle;
            settle.start();
            while (settle.elapsed() < 1000 && !m_stopped)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
            if (m_stopped)
                return;
            emit deviceBootedUp();
        } else if (chunk.contains(QLatin1String("#HWCF#"))) {
            qDebug() << "Plenar Start too Fast !!!";
            m_port->flush();
            chunk.clear();
            m_buffer.clear();
        } else {
            qDebug().noquote() << QStringLiteral("Unexpected message from '%1': [%2]").arg(m_portName, chunk);
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
        qDebug() << "Unrecognized entries, retry";
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
    if (m_retries == 0) {
        ++m_retries;
        qDebug() << "Unrecognized entries, retry";
        m_port->flush();
        m_buffer.clear();
        m_replyWaitClosed = false;
        writeText("#HWCF#");
        emit startScanTimer(3000);
        return;
    }
    qDebug().noquote() << QStringLiteral("Unexpected message from '%1': %2").arg(m_portName, reply);
    emit scanError(-4);
}

void SerialDeviceScanner::onBootUpTimerFired()
{
    if (m_bootWaitClosed || m_state != WaitingForBoot || m_stopped)
        return;
    m_state = Failed;
    m_stopped = true;
    emit stopBootTimer();
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
    emit scanError(-3);
}

void SerialDeviceScanner::stopScan()
{
    m_bootWaitClosed = true;
    m_replyWaitClosed = true;
    emit stopBootTimer();
    emit stopScanTimer();
    m_stopped = true;
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
