// Data log retrieval and update sequences.
#include "devicelink.h"
#include "devicelink_p.h"
#include "watchdogtimeouts.h"

#include "filehelper.h"
#include "localizationhelper.h"

#include <QFile>
#include <QFileInfo>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

using Common::FileHelper;
using Common::LocalizationHelper;

bool DeviceLink::retrieveDataLogFile(const QString& destination)
{
    const Frame frame(this);
    if (!beginOperation(OperationResult::DataLogRetrieval))
        return false;
    if (!isSerialPortOpen())
        return true;
    d->m_port->flush();
    d->m_port->blockSignals(false);
    d->m_retrieveDir = destination;
    emit retrieveDataLogStatusChange(LogRetrievalStarted);
    return true;
}

bool DeviceLink::updateLogFile(const QString& localDatabasePath)
{
    const Frame frame(this);
    if (!beginOperation(OperationResult::DataLogUpdate, false))
        return false;
    // The bytes are taken now: the file may be gone (its folder removed) by the time they are sent,
    // and sending nothing would install whatever staged file the device still holds.
    QFile file(localDatabasePath);
    QByteArray content;
    if (QFileInfo(localDatabasePath).isFile() && file.open(QIODevice::ReadOnly)) {
        content = file.readAll();
        if (file.error() != QFileDevice::NoError || content.size() != file.size())
            content.clear();
    }
    if (content.isEmpty()) {
        endOperation(OperationResult::Failed, rt("The data log file %1 is empty or cannot be read.").arg(localDatabasePath));
        return true;
    }
    if (!openSerialPort()) {
        endOperation(OperationResult::Failed, rt("The serial port could not be opened."));
        return true;
    }
    d->m_port->flush();
    d->m_port->blockSignals(false);
    startWatchdog(6000);
    d->m_logFilePath = localDatabasePath;
    d->m_logContent = content;
    emit updateDataLogStatusChange(LogUpdateStarted);
    return true;
}

void DeviceLink::endDataLogUpdate(OperationResult::Outcome outcome, const QString& message, bool deviceRestarts)
{
    if (!d->m_logMovedAside || !isSerialPortOpen() || !d->m_present) {
        if (deviceRestarts && isSerialPortOpen())
            remoteWarmBoot();
        endOperation(outcome, message, deviceRestarts);
        return;
    }
    // The device's own log is in its backup name: put it back before anyone hears of the failure.
    d->m_pendingEnd.outcome = outcome;
    d->m_pendingEnd.message = message;
    d->m_pendingEnd.deviceRestarts = deviceRestarts;
    d->m_logMovedAside = false;
    d->m_transferMode = 0;
    d->m_busy = false;
    startWatchdog(6000);
    writeCommand("#UNIX<mv qml/dataLoggingBk.txdb qml/dataLogging.txdb>#", RestoreDataLogBackup);
}

void DeviceLink::finishDataLogRestore(bool restored)
{
    if (d->m_kind != OperationResult::DataLogUpdate)
        return;
    const DeviceLinkPrivate::PendingEnd end = d->m_pendingEnd;
    QString message = end.message;
    if (!restored)
        message = rt("%1 The device's data log could not be put back from its backup.").arg(message);
    if (end.deviceRestarts)
        remoteWarmBoot();
    endOperation(end.outcome, message, end.deviceRestarts);
}

void DeviceLink::checkDataLogBackup()
{
    startWatchdog(6000);
    writeCommand("#UNIX<ls qml/dataLogging.txdb>#", CheckDataLogPresent);
}

void DeviceLink::onDataLogChecked(int operation, bool ok)
{
    if (d->m_kind != OperationResult::DataLogRetrieval && d->m_kind != OperationResult::DataLogUpdate)
        return;
    if (operation == CheckDataLogPresent && !ok) {
        startWatchdog(6000);
        writeCommand("#UNIX<ls qml/dataLoggingBk.txdb>#", CheckDataLogBackup);
        return;
    }
    if (operation == CheckDataLogBackup && ok) {
        startWatchdog(6000);
        writeCommand("#UNIX<mv qml/dataLoggingBk.txdb qml/dataLogging.txdb>#", RecoverDataLog);
        return;
    }
    if (operation == RecoverDataLog && ok)
        emit notice(rt("The device's data log was found only under its backup name (left by an interrupted update) "
                       "and has been put back."));
    continueAfterDataLogCheck();
}

void DeviceLink::continueAfterDataLogCheck()
{
    stopWatchdog();
    if (d->m_kind == OperationResult::DataLogRetrieval) {
        startWatchdog(5000);
        writeCommand("#MODE<2>#", RetrieveLogModeChange);
    } else {
        startDeviceWait(13000);
        changeDeviceMode(1, UpdateLogModeChange);
    }
}

void DeviceLink::onRetrieveDataLogStatusChange(int status)
{
    const Frame frame(this);
    if (d->m_kind != OperationResult::DataLogRetrieval)
        return;
    switch (status) {
    case LogRetrievalStarted:
        checkDataLogBackup();
        break;
    case LogRetrievalModeChanged:
        // Zipping a large log takes the device a while; a silent device must still free the port.
        startWatchdog(WatchdogTimeouts::DataLogZipMsecs);
        d->m_operation = ZipDataLog;
        remoteZipLogFile();
        break;
    case LogZipped:
        stopWatchdog();
        d->m_fileNumber = 0;
        startWatchdog(5000);
        d->m_localFilePath = QStringLiteral("%1/dataLogging.txdb.zip").arg(d->m_retrieveDir);
        d->m_operation = FetchDataLog;
        remoteBackupFile(QStringLiteral("/home/DuDov_ODU/qml/dataLogging.txdb.zip"), d->m_localFilePath);
        emit initializeRetrieve(rt("Initializing retrieve data log..."), 1);
        break;
    case LogSizeKnown:
        stopWatchdog();
        if (d->m_fileSize >= 1) {
            d->m_blockNumber = 1;
            d->m_rxBlockLength = 0;
            startTransfer();
            emit sendingFileInitiated(rt("Receiving data log file..."), d->m_fileSize);
        } else {
            emit retrieveDataLogStatusChange(LogMissing);
        }
        break;
    case LogReceived:
        stopWatchdog();
        d->m_transferMode = 0;
        if (FileHelper::writeDataToFile(d->m_fileContent, d->m_localFilePath, true)) {
            emit sentFile(rt("Received log file %1...").arg(QFileInfo(d->m_localFilePath).fileName()), d->m_fileNumber);
            emit retrieveDataLogStatusChange(LogStored);
        } else {
            emit retrieveDataLogStatusChange(LogStoreFailed);
        }
        break;
    case LogStored:
        d->m_operation = RetrieveLogReboot;
        startDeviceWait(5000);
        remoteReboot();
        break;
    case LogRetrievalRebooted:
        endOperation(d->m_noDataLog ? OperationResult::NoData : OperationResult::Succeeded, QString(), true);
        break;
    case LogStoreFailed:
        endOperation(OperationResult::Failed, rt("Failed to save the data log file."));
        break;
    case LogMissing:
        d->m_noDataLog = true;
        emit retrieveDataLogNoFile();
        d->m_operation = RetrieveLogReboot;
        // The reboot reply is awaited under the watchdog so a silent device cannot hang the retrieval.
        startDeviceWait(5000);
        remoteReboot();
        break;
    default:
        break;
    }
}

void DeviceLink::onProcessUpdateLogFile(int status)
{
    const Frame frame(this);
    if (d->m_kind != OperationResult::DataLogUpdate)
        return;
    if (!isSerialPortOpen()) {
        endDataLogUpdate(OperationResult::Failed, rt("The serial port was closed."), false);
        return;
    }
    switch (status) {
    case LogUpdateStarted:
        checkDataLogBackup();
        break;
    case LogUpdateModeChanged:
        startWatchdog(6000);
        emit progressMessage(rt("Creating backup of Data Log File..."));
        updateLogFilesAction(JobBackupDataLog);
        break;
    case LogMovedAside:
        stopWatchdog();
        // From here on a failure puts the device's log back first.
        d->m_logMovedAside = true;
        if (d->m_stopRequested) {
            // Asked to stop while the log was being moved aside: it goes back, nothing is sent.
            endDataLogUpdate(OperationResult::Interrupted, rt("The operation was stopped."), true);
            break;
        }
        d->m_busy = true;
        d->m_operation = SendDataLog;
        setTransferFile(d->m_logContent, QStringLiteral("dataLogging.txdb"));
        prepareSend();
        startWatchdog(6000);
        d->m_port->write(QStringLiteral("#LOAD<%1>%2#").arg(QStringLiteral("dataLogging.txdb"), QString::number(d->m_fileSize)).toLatin1());
        d->m_port->flush();
        emit progressMessage(rt("Updating data log files..."));
        break;
    case LogUpdateAccepted:
        stopWatchdog();
        startTransfer();
        break;
    case LogUpdateSent:
        d->m_busy = false;
        d->m_transferMode = 0;
        emit updateDataLogStatusChange(LogUpdateStaged);
        break;
    case LogUpdateStaged:
        startWatchdog(6000);
        updateLogFilesAction(JobListQmlFolder);
        break;
    case LogFolderListed:
        startWatchdog(6000);
        updateLogFilesAction(JobListTmpFolder);
        break;
    case LogStagingListed:
        startWatchdog(6000);
        updateLogFilesAction(JobInstallDataLog);
        break;
    case LogUpdateInstalled:
        // The new log is in place; the backup is only the old one now.
        d->m_logMovedAside = false;
        startWatchdog(6000);
        updateLogFilesAction(JobDeleteDataLogBackup);
        break;
    case LogBackupRemoved:
        d->m_operation = UpdateLogReboot;
        startDeviceWait(6000);
        remoteReboot();
        break;
    case LogUpdateRebooted:
        endOperation(OperationResult::Succeeded, QString(), true);
        break;
    default:
        break;
    }
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
