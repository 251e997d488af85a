#include "fuzzdevice.h"

#include "fuzzsupport.h"
#include "ptydevice.h"

#include "calibrationinfo.h"
#include "serialportmanager.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using Orvane::Tavrix::Common::CalibrationInfo;
using Orvane::Tavrix::Runtime::SerialPortManager;

FuzzDevice& FuzzDevice::instance()
{
    static FuzzDevice device;
    return device;
}

FuzzDevice::FuzzDevice()
{
    m_device = new PtyDevice;
    if (!m_device->open() || !m_device->connectToManager(true))
        qFatal("the fuzz device was not identified by the serial port manager");
    // From here on every byte the device sends comes from the input.
    m_device->setAutoIdentify(false);
    m_slave = ::open(QFile::encodeName(m_device->slavePath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_slave < 0)
        qFatal("cannot open the fuzz device's pseudo terminal");
    if (qEnvironmentVariableIntValue("DOVREL_FUZZ_VERBOSE") != 0) {
        QObject::connect(SerialPortManager::instance(), &SerialPortManager::operationEnded,
                         [](const Orvane::Tavrix::Runtime::OperationResult& result) {
                             qInfo() << "operation ended:" << result.outcome << result.message;
                         });
    }
    FuzzSupport::writeScratchFile(QStringLiteral("font.ttf"), QByteArray(1500, 'F'));
    FuzzSupport::writeScratchFile(QStringLiteral("dataLogging.txdb"), QByteArray(2100, 'L'));
}

int FuzzDevice::pendingInput() const
{
    int pending = 0;
    if (::ioctl(m_slave, FIONREAD, &pending) != 0)
        return 0;
    return pending;
}

void FuzzDevice::deliver(const QByteArray& piece)
{
    // One write of the device at a time, no larger than the terminal's input buffer; the
    // kernel hands it over asynchronously, so wait until all of it is there before the
    // manager may read: it then reads what one write holds, as a device's reads come.
    constexpr qsizetype MaxWrite = 4000;
    for (qsizetype at = 0; at < piece.size(); at += MaxWrite) {
        const QByteArray part = piece.mid(at, MaxWrite);
        m_device->write(part);
        QElapsedTimer timer;
        timer.start();
        while (pendingInput() < part.size() && timer.elapsed() < 1000)
            QThread::usleep(20);
        settle();
        if (!SerialPortManager::instance()->isSerialPortOpen())
            return;
    }
}

void FuzzDevice::settle()
{
    SerialPortManager* manager = SerialPortManager::instance();
    QElapsedTimer timer;
    timer.start();
    // Two passes after the last byte was taken deliver what its handling queued.
    int idlePasses = 0;
    while (idlePasses < 2) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (pendingInput() > 0 && manager->isSerialPortOpen())
            idlePasses = 0;
        else
            ++idlePasses;
        // An open port that is not read any more would be a hang worth a report.
        if (timer.elapsed() > 5000)
            qFatal("the serial port manager stopped reading its open port");
    }
}

bool FuzzDevice::start(Operation operation)
{
    SerialPortManager* manager = SerialPortManager::instance();
    switch (operation) {
    case DataLogRetrieval:
        return manager->retrieveDataLogFile(FuzzSupport::scratchPath(QString()));
    case ProjectRetrieval:
        QDir(FuzzSupport::scratchPath(QStringLiteral("project"))).removeRecursively();
        return manager->retrieveProjectFiles(FuzzSupport::scratchPath(QStringLiteral("project")));
    case FontListing:
        return manager->getInstalledFonts();
    case CalibrationBackup: {
        CalibrationInfo info;
        info.setBackup(true);
        return manager->configureDevice(&info);
    }
    case SoftwareUpgrade:
        return manager->upgradeDeviceSoftware(QByteArray(2500, 'U'));
    case FontUpload:
        return manager->manageFonts({ { FuzzSupport::scratchPath(QStringLiteral("font.ttf")), 1500 } }, {});
    case DataLogUpdate:
        return manager->updateLogFile(FuzzSupport::scratchPath(QStringLiteral("dataLogging.txdb")));
    case OperationCount:
        break;
    }
    return false;
}

void FuzzDevice::converse(Operation operation, const QByteArray& conversation)
{
    SerialPortManager* manager = SerialPortManager::instance();
    if (!start(operation))
        qFatal("the serial port manager refused an operation while idle");
    settle();
    qsizetype from = 0;
    const QByteArray separator(Separator);
    while (from <= conversation.size() && manager->isSerialPortOpen()) {
        qsizetype to = conversation.indexOf(separator, from);
        if (to < 0)
            to = conversation.size();
        deliver(conversation.mid(from, to - from));
        from = to + separator.size();
    }
    // Whatever the operation still waits for, the next input starts from an idle manager.
    manager->resetAllStatus();
    manager->closeSerialPort();
    ::tcflush(m_slave, TCIFLUSH);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_device->clearReceived();
}
