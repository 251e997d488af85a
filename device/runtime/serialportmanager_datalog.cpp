// Data log retrieval and update sequences.
#include "serialportmanager.h"
#include "serialportmanager_p.h"

#include "filehelper.h"
#include "localizationhelper.h"

#include <QFileInfo>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

using Common::FileHelper;
using Common::LocalizationHelper;

bool SerialPortManager::retrieveDataLogFile(const QString& destination)
{
    if (!openSerialPort())
        return false;
    d->m_port->flush();
    d->m_port->blockSignals(false);
    d->m_retrieveDir = destination;
    emit retrieveDataLogStatusChange(500);
    return true;
}

void SerialPortManager::updateLogFile(const QString& localDatabasePath)
{
    if (d->m_busy || isSerialPortOpen())
        return;
    // Sending nothing would leave the device with its log moved aside and, worse, install a
    // stale staged file if one is left over: refuse before the device is touched.
    const QFileInfo source(localDatabasePath);
    if (!source.isFile() || !source.isReadable() || source.size() <= 0) {
        emit progressError(rt("The data log file %1 is empty or cannot be read.").arg(localDatabasePath), false);
        return;
    }
    if (!openSerialPort())
        return;
    d->m_port->flush();
    d->m_port->blockSignals(false);
    startWatchdog(6000);
    d->m_logFilePath = localDatabasePath;
    emit updateDataLogStatusChange(512);
}

void SerialPortManager::onRetrieveDataLogStatusChange(int status)
{
    switch (status) {
    case 500:
        startWatchdog(5000);
        writeCommand("#MODE<2>#", RetrieveLogModeChange);
        break;
    case 501:
        stopWatchdog();
        remoteZipLogFile();
        break;
    case 503:
        stopWatchdog();
        d->m_fileNumber = 0;
        startWatchdog(5000);
        d->m_localFilePath = QStringLiteral("%1/dataLogging.txdb.zip").arg(d->m_retrieveDir);
        d->m_operation = FetchDataLog;
        remoteBackupFile(QStringLiteral("/home/DuDov_ODU/qml/dataLogging.txdb.zip"), d->m_localFilePath);
        emit initializeRetrieve(rt("Initializing retrieve data log..."), 1);
        break;
    case 504:
        stopWatchdog();
        if (d->m_fileSize >= 1) {
            d->m_blockNumber = 1;
            d->m_rxBlockLength = 0;
            startTransfer();
            emit sendingFileInitiated(rt("Receiving data log file..."), d->m_fileSize);
        } else {
            emit retrieveDataLogStatusChange(509);
        }
        break;
    case 505:
        stopWatchdog();
        d->m_transferMode = 0;
        if (FileHelper::writeDataToFile(d->m_fileContent, d->m_localFilePath, true)) {
            emit sentFile(rt("Received log file %1...").arg(QFileInfo(d->m_localFilePath).fileName()), d->m_fileNumber);
            emit retrieveDataLogStatusChange(506);
        } else {
            emit retrieveDataLogStatusChange(508);
        }
        break;
    case 506:
        d->m_operation = RetrieveLogReboot;
        startWatchdog(5000);
        remoteReboot();
        break;
    case 507:
        stopWatchdog();
        d->m_operation = 0;
        resetAllStatus();
        closeSerialPort();
        emit retrievedDataLogFile();
        break;
    case 508:
        stopWatchdog();
        d->m_operation = 0;
        emit retrieveDataLogError();
        resetAllStatus();
        closeSerialPort();
        break;
    case 509:
        emit retrieveDataLogNoFile();
        d->m_operation = RetrieveLogReboot;
        // The reboot reply is awaited under the watchdog so a silent device cannot hang the retrieval.
        startWatchdog(5000);
        remoteReboot();
        break;
    default:
        break;
    }
}

void SerialPortManager::onProcessUpdateLogFile(int status)
{
    if (status < 510 || status > 523 || status == 515 || status == 521)
        return;
    if (!isSerialPortOpen()) {
        emit progressError(rt("The serial port was closed."), false);
        return;
    }
    switch (status) {
    case 512:
        startWatchdog(13000);
        changeDeviceMode(1, UpdateLogModeChange);
        break;
    case 514:
        startWatchdog(6000);
        emit progressMessage(rt("Creating backup of Data Log File..."));
        updateLogFilesAction(515);
        break;
    case 510:
        stopWatchdog();
        d->m_busy = true;
        d->m_operation = SendDataLog;
        setTransferFile(d->m_logFilePath, QStringLiteral("dataLogging.txdb"));
        if (d->m_fileSize == 0 || d->m_fileContent.isEmpty()) {
            d->m_busy = false;
            d->m_transferMode = 0;
            emit updateDataLogStatusChange(518);
            break;
        }
        prepareSend();
        startWatchdog(6000);
        d->m_port->write(QStringLiteral("#LOAD<%1>%2#").arg(QStringLiteral("dataLogging.txdb")).arg(d->m_fileSize).toLatin1());
        d->m_port->flush();
        emit progressMessage(rt("Updating data log files..."));
        break;
    case 513:
        stopWatchdog();
        startTransfer();
        break;
    case 511:
        d->m_busy = false;
        d->m_transferMode = 0;
        emit updateDataLogStatusChange(518);
        break;
    case 518:
        startWatchdog(6000);
        updateLogFilesAction(12);
        break;
    case 522:
        startWatchdog(6000);
        updateLogFilesAction(13);
        break;
    case 519:
        startWatchdog(6000);
        updateLogFilesAction(11);
        break;
    case 516:
        startWatchdog(6000);
        updateLogFilesAction(10);
        break;
    case 517:
        d->m_operation = UpdateLogReboot;
        startWatchdog(6000);
        remoteReboot();
        break;
    case 523:
        stopWatchdog();
        d->m_operation = 0;
        closeSerialPort();
        break;
    default:
        break;
    }
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
