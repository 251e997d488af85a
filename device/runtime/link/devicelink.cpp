// A device's link: its port, the start and end of its operations, command writing,
// the reply dispatcher and the watchdog.
#include "devicelink.h"
#include "devicelink_p.h"
#include "watchdogtimeouts.h"

#include "portenumerator.h"
#include "serialportmanager.h"

#include "diagnostics.h"
#include "localizationhelper.h"
#include "transferrate.h"

#include <QDebug>
#include <QPointer>

using Orvane::Tavrix::Common::lcTransfer;

namespace Orvane {
namespace Tavrix {
namespace Runtime {

using Common::LocalizationHelper;

namespace {

// Text collected from the device is bounded; the tail may still hold the start of a token.
constexpr int MaxRxText = 64 * 1024;
constexpr int KeptRxTail = 4 * 1024;

// What followed a token in the same read: the receiver's request may already be in it.
QString textAfter(const QString& text, const QLatin1String& token)
{
    const int at = text.indexOf(token);
    return at < 0 ? QString() : text.mid(at + token.size());
}

// The restart that closes an operation whose work is done.
bool isClosingRestart(int operation)
{
    return operation >= DeviceProtocol::UploadReboot && operation <= DeviceProtocol::UpdateLogReboot;
}

} // namespace

DeviceLink::DeviceLink(const QString& portName, const QMap<QString, QString>& info, QObject* parent)
    : QObject(parent)
    , d(new DeviceLinkPrivate)
{
    d->m_portName = portName;
    d->m_info = info;
    d->m_port = new QSerialPort(this);
    applyLineSettings(d->m_port);
    d->m_port->setPortName(portName);
    d->m_port->blockSignals(true);
    connect(d->m_port, &QSerialPort::readyRead, this, &DeviceLink::onReadyRead);
    connect(d->m_port, &QSerialPort::errorOccurred, this, &DeviceLink::onPortError);

    d->m_delayTimer = new QTimer(this);
    d->m_delayTimer->setSingleShot(true);
    d->m_transferTimer = new QTimer(this);
    d->m_transferTimer->setSingleShot(true);
    connect(d->m_delayTimer, &QTimer::timeout, this, &DeviceLink::onDelayTransferStart);
    connect(d->m_transferTimer, &QTimer::timeout, this, &DeviceLink::onTransferTimeOut);

    connect(this, &DeviceLink::uploadProjectFileStatusChange, this, &DeviceLink::onProcessUploadFile);
    connect(this, &DeviceLink::upgradeDeviceStatusChange, this, &DeviceLink::onUpgradeDeviceStatusChange);
    connect(this, &DeviceLink::retrieveProjectFileStatusChange, this, &DeviceLink::onRetrieveProjectFileStatusChange);
    connect(this, &DeviceLink::retrieveDataLogStatusChange, this, &DeviceLink::onRetrieveDataLogStatusChange);
    connect(this, &DeviceLink::updateDataLogStatusChange, this, &DeviceLink::onProcessUpdateLogFile);
    connect(this, &DeviceLink::configureStateChange, this, &DeviceLink::onConfigureStateChange);
    connect(this, &DeviceLink::deviceFontStatusChange, this, &DeviceLink::onDeviceFontStatusChange);
}

DeviceLink::~DeviceLink()
{
    d->m_port->blockSignals(true);
    if (d->m_port->isOpen())
        d->m_port->close();
    delete d;
}

void DeviceLink::applyLineSettings(QSerialPort* port)
{
    port->setBaudRate(Common::TransferRate::LineBaudRate);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::HardwareControl);
}

QString DeviceLink::portName() const { return d->m_portName; }

QMap<QString, QString> DeviceLink::deviceInformation() const
{
    return d->m_present ? d->m_info : QMap<QString, QString>();
}

void DeviceLink::setDeviceInformation(const QMap<QString, QString>& info)
{
    d->m_info = info;
}

void DeviceLink::updateInformation(const QString& key, const QString& value)
{
    if (!d->m_present || d->m_info.isEmpty() || d->m_info.value(key) == value)
        return;
    d->m_info.insert(key, value);
    emit deviceInformationChanged(d->m_info);
}

bool DeviceLink::isPresent() const { return d->m_present; }
bool DeviceLink::isRunning() const { return d->m_kind != OperationResult::NoKind; }
OperationResult::Kind DeviceLink::runningKind() const { return d->m_kind; }

bool DeviceLink::isTransferring() const
{
    if (d->m_kind == OperationResult::ProjectUpload) {
        // The files go to the staging folder; the project is replaced only after the last one.
        switch (d->m_operation) {
        case NoOperation:
        case UploadModeChange:
        case VerifyStagingFolder:
        case RemoveStagingFolder:
        case CreateStagingFolder:
        case SendProjectFile:
            return true;
        default:
            return false;
        }
    }
    if (d->m_kind == OperationResult::SoftwareUpgrade) {
        // Once the end of the package is sent the device installs it.
        const bool sent = d->m_transferMode == 0 && d->m_blockCount > 0 && d->m_blocksSent >= d->m_blockCount;
        return d->m_operation == SendSoftwarePackage && !sent;
    }
    return false;
}

bool DeviceLink::cancelTransfer(const QString& reason)
{
    const Frame frame(this);
    if (!d->m_present || !isTransferring())
        return false;
    d->m_abandoning = true;
    abortOperation(reason.isEmpty() ? rt("The transfer was cancelled.") : reason);
    return true;
}

bool DeviceLink::isAbandonable() const
{
    const int op = d->m_operation;
    switch (d->m_kind) {
    case OperationResult::ProjectRetrieval:
    case OperationResult::DataLogRetrieval:
        // Nothing on the device changes.
        return true;
    case OperationResult::ProjectUpload:
    case OperationResult::SoftwareUpgrade:
        return isTransferring();
    case OperationResult::DataLogUpdate:
        // Before the device's log is moved aside, and while the edited one travels (the
        // device's own is moved back then). The moves themselves go to their end.
        return op == NoOperation || op == CheckDataLogPresent || op == CheckDataLogBackup || op == UpdateLogModeChange
            || op == SendDataLog;
    case OperationResult::Configuration:
        return op == SplashModeChange || op == SendSplashImage || op == CalibrationRestoreModeChange
            || op == SendCalibrationFile;
    case OperationResult::FontManagement:
        return op == FontModeChange || op == SendFontFile;
    default:
        return false;
    }
}

bool DeviceLink::stopSafely(const QString& reason)
{
    const Frame frame(this);
    if (!d->m_present || d->m_kind == OperationResult::NoKind)
        return false;
    d->m_stopRequested = true;
    if (!isAbandonable())
        return false;
    d->m_abandoning = true;
    abortOperation(reason.isEmpty() ? rt("The operation was stopped.") : reason);
    return true;
}

bool DeviceLink::isStopping() const
{
    return d->m_kind != OperationResult::NoKind && d->m_stopRequested;
}

QString DeviceLink::stepText() const
{
    switch (d->m_operation) {
    case UploadModeChange:
    case VerifyStagingFolder:
    case RemoveStagingFolder:
    case CreateStagingFolder: return rt("preparing the device for the project");
    case SendProjectFile: return rt("sending the project files");
    case VerifyProjectFolder:
    case RemoveProjectFolder:
    case CreateProjectFolder:
    case InstallProjectFolder:
    case InstallProjectConfig:
    case InstallCanConfig: return rt("moving the project into place");
    case CheckDataLog:
    case DeleteDataLog: return rt("deleting the data log");
    case UploadSaveConfig:
    case ConfigureSaveConfig: return rt("saving the settings");
    case UploadSync:
    case ConfigureSync:
    case FontSync: return rt("committing the changes");
    case SendSoftwarePackage: return isTransferring() ? rt("sending the device software") : rt("installing the device software");
    case UpgradeFinished: return rt("installing the device software");
    case RetrieveLogModeChange:
    case ZipDataLog:
    case FetchDataLog: return rt("fetching the data log");
    case FetchProjectFile:
    case ListProjectFiles: return rt("fetching the project");
    case UpdateLogModeChange: return rt("preparing the data log update");
    case CheckDataLogPresent:
    case CheckDataLogBackup: return rt("checking the data log");
    case RecoverDataLog: return rt("moving the data log back");
    case BackupDataLog: return rt("moving the data log aside");
    case SendDataLog: return rt("sending the edited data log");
    case ListQmlFolder:
    case ListTmpFolder:
    case InstallDataLog: return rt("moving the edited data log into place");
    case DeleteDataLogBackup: return rt("removing the data log's backup");
    case RestoreDataLogBackup: return rt("moving the data log back");
    case SplashModeChange:
    case SendSplashImage: return rt("sending the splash image");
    case InstallSplash:
    case RestoreSplash: return rt("installing the splash image");
    case CalibrationBackupModeChange:
    case FetchCalibrationFile: return rt("fetching the calibration");
    case CalibrationRestoreModeChange:
    case SendCalibrationFile: return rt("sending the calibration");
    case InstallCalibrationFile: return rt("installing the calibration");
    case SetClock: return rt("setting the clock");
    case SetDeviceName: return rt("setting the name");
    case BatteryLowCheck: return rt("setting the battery check");
    case ListFonts: return rt("listing the fonts");
    case RemoveFonts: return rt("removing fonts");
    case FontModeChange:
    case SendFontFile: return rt("sending fonts");
    case UploadReboot:
    case ConfigureReboot:
    case FontReboot:
    case RetrieveProjectReboot:
    case RetrieveLogReboot:
    case UpdateLogReboot:
    case WarmReboot: return rt("restarting");
    default: return rt("starting");
    }
}
bool DeviceLink::isManagerDriven() const { return d->m_forward; }

void DeviceLink::enterManagerCall()
{
    // An operation started directly on the link stays the link's own.
    if (d->m_kind == OperationResult::NoKind)
        d->m_forward = true;
    ++d->m_managerCalls;
}

void DeviceLink::leaveManagerCall()
{
    --d->m_managerCalls;
}

void DeviceLink::deviceGone()
{
    if (!d->m_present)
        return;
    d->m_present = false;
    closeSerialPort();
    if (d->m_kind == OperationResult::NoKind && d->m_operation == NoOperation) {
        release();
        return;
    }
    // A running operation ends through its time-out path, which reports the lost device;
    // the link goes after that end.
    d->m_transferTimer->start(1);
}
void DeviceLink::release()
{
    if (d->m_frames > 0)
        d->m_releasePending = true;
    else
        deleteLater();
}

DeviceLink::Frame::Frame(DeviceLink* link)
    : m_link(link)
{
    ++m_link->d->m_frames;
}

DeviceLink::Frame::~Frame()
{
    if (--m_link->d->m_frames == 0 && m_link->d->m_releasePending)
        m_link->deleteLater();
}

bool DeviceLink::openSerialPort()
{
    if (!d->m_port)
        return false;
    if (d->m_standIn) {
        qCDebug(lcTransfer).noquote() << QStringLiteral("Cannot open '%1': no device is identified there").arg(d->m_portName);
        return false;
    }
    d->m_openFailedInUse = false;
    if (!d->m_port->open(QIODevice::ReadWrite)) {
        qCDebug(lcTransfer).noquote() << QStringLiteral("Cannot open '%1': %2").arg(d->m_portName, d->m_port->errorString());
        d->m_openFailedInUse = d->m_port->error() == QSerialPort::PermissionError && !PortEnumerator::lacksPermission(d->m_portName);
        return false;
    }
    d->m_port->flush();
    d->m_port->blockSignals(false);
    return true;
}

void DeviceLink::closeSerialPort()
{
    if (d->m_delayTimer && d->m_delayTimer->isActive())
        d->m_delayTimer->stop();
    if (d->m_transferTimer && d->m_transferTimer->isActive())
        d->m_transferTimer->stop();
    if (!d->m_port)
        return;
    d->m_port->blockSignals(true);
    if (d->m_port->isOpen())
        d->m_port->close();
}

bool DeviceLink::openFailedInUse() const { return d->m_openFailedInUse; }

bool DeviceLink::isSerialPortOpen() const { return d->m_port && d->m_port->isOpen(); }
bool DeviceLink::isBusy() const { return d->m_busy; }
int DeviceLink::currentOperation() const { return d->m_operation; }

void DeviceLink::resetAllStatus()
{
    if (d->m_delayTimer)
        d->m_delayTimer->stop();
    if (d->m_transferTimer)
        d->m_transferTimer->stop();
    d->m_rxText.clear();
    d->m_transferMode = 0;
    d->m_busy = false;
    d->m_commitPending = false;
    d->m_txStarted = false;
    // A caller that resets forgets the running operation; nothing reports its end.
    d->m_kind = OperationResult::NoKind;
    // A link whose device has gone is not used again once it is idle.
    if (!d->m_present)
        release();
}

// ---------------------------------------------------------------------------
// Operation start and end

bool DeviceLink::beginOperation(OperationResult::Kind kind, bool openPort)
{
    if (!d->m_present || d->m_kind != OperationResult::NoKind || d->m_busy || isSerialPortOpen())
        return false;
    d->m_kind = kind;
    // Started through the manager, its signals are the manager's too; started on the link, its own.
    d->m_forward = d->m_managerCalls > 0;
    d->m_logMovedAside = false;
    d->m_noDataLog = false;
    d->m_stopRequested = false;
    d->m_abandoning = false;
    if (kind == OperationResult::FontListing)
        d->m_fontList.clear();
    if (openPort && !openSerialPort())
        endOperation(OperationResult::Failed, rt("The serial port could not be opened."));
    return true;
}

void DeviceLink::endOperation(OperationResult::Outcome outcome, const QString& message, bool deviceRestarts)
{
    const OperationResult::Kind kind = d->m_kind;
    // Idle first: a reply that arrives while someone handles the end must find nothing to advance.
    resetAllStatus();
    d->m_operation = NoOperation;
    d->m_pendingCommand.clear();
    d->m_configJobs.clear();
    d->m_configJobIndex = 0;
    d->m_configRunning = false;
    d->m_localFilePath.clear();
    d->m_logContent.clear();
    d->m_logMovedAside = false;
    closeSerialPort();
    if (kind == OperationResult::NoKind)
        return;

    OperationResult result;
    result.kind = kind;
    result.outcome = outcome;
    result.port = d->m_portName;
    result.message = message;
    result.deviceRestarts = deviceRestarts;
    d->m_stopRequested = false;
    d->m_abandoning = false;
    const bool succeeded = outcome == OperationResult::Succeeded || outcome == OperationResult::NoData;
    // Ended by the watchdog, a cancelled transfer or a lost device (the device is restarted):
    // the retrievals report that as a progress error, as every other operation does.
    const bool interrupted = !succeeded && deviceRestarts;

    switch (kind) {
    case OperationResult::ProjectRetrieval:
        if (succeeded) {
            emit retrievedProjectFiles();
        } else {
            if (interrupted)
                emit progressError(message, deviceRestarts);
            d->m_projectFiles.clear();
            emit retrieveProjectError();
        }
        break;
    case OperationResult::DataLogRetrieval:
        if (succeeded)
            emit retrievedDataLogFile();
        else if (interrupted)
            emit progressError(message, deviceRestarts);
        else
            emit retrieveDataLogError();
        break;
    case OperationResult::FontListing:
        emit notifyInstalledFonts(d->m_fontList, !succeeded);
        break;
    case OperationResult::Command:
        if (!succeeded)
            emit progressError(message, deviceRestarts);
        break;
    default:
        if (succeeded) {
            if (!message.isEmpty())
                emit progressMessage(message);
            emit progressFinished(deviceRestarts);
        } else {
            emit progressError(message, deviceRestarts);
        }
        break;
    }
    emit operationEnded(result);
}

void DeviceLink::endOnPortFailure()
{
    if (d->m_kind == OperationResult::NoKind) {
        d->m_operation = NoOperation;
        return;
    }
    // Whether or not the port comes back under its name, this operation cannot go on.
    if (isClosingRestart(d->m_operation))
        endWithUnconfirmedRestart();
    else
        endOperation(OperationResult::DeviceLost, rt("The connection to the device was lost."), true);
}

void DeviceLink::endWithUnconfirmedRestart()
{
    // Everything the operation was for is done; only the restart's confirmation is missing.
    QString text;
    if (d->m_kind == OperationResult::ProjectRetrieval || d->m_kind == OperationResult::DataLogRetrieval)
        text = rt("The files were received, but the device did not confirm its restart.");
    else if (d->m_kind == OperationResult::Configuration)
        text = rt("The changes are saved, but the device did not confirm its restart.");
    else
        text = rt("The files are installed, but the device did not confirm its restart.");
    endOperation(d->m_noDataLog ? OperationResult::NoData : OperationResult::Succeeded, text, true);
}

// ---------------------------------------------------------------------------
// Command writing

bool DeviceLink::writeCommand(const QByteArray& command, int operation, bool flush)
{
    if (d->m_busy || !isSerialPortOpen())
        return false;
    d->m_busy = true;
    if (operation >= 0)
        d->m_operation = operation;
    if (flush)
        d->m_port->flush();
    d->m_port->write(command);
    d->m_port->flush();
    d->m_busy = false;
    return true;
}

void DeviceLink::writeRaw(const QByteArray& bytes)
{
    if (!isSerialPortOpen())
        return;
    d->m_port->write(bytes);
    d->m_port->flush();
}

void DeviceLink::startWatchdog(int msecs)
{
    d->m_transferTimer->start(WatchdogTimeouts::scaled(msecs));
}

void DeviceLink::startDeviceWait(int msecs)
{
    d->m_transferTimer->start(msecs);
}

void DeviceLink::stopWatchdog()
{
    if (d->m_transferTimer->isActive())
        d->m_transferTimer->stop();
}

void DeviceLink::changeDeviceMode(int mode, int afterChangeMode)
{
    if (mode != 1 && mode != 2) {
        d->m_operation = afterChangeMode;
        return;
    }
    writeCommand(QStringLiteral("#MODE<%1>#").arg(mode).toLatin1(), afterChangeMode);
}

bool DeviceLink::identifyDevice(int clockOffset)
{
    // The device shows its information on its screen; it sends no reply.
    return runCommand("#SINF#", ShowDeviceInformation, false, clockOffset);
}

bool DeviceLink::runCommand(const QByteArray& command, int operation, bool restarts, int clockOffset)
{
    const Frame frame(this);
    const bool clock = clockOffset != NoClock;
    if ((clock && (clockOffset < -720 || clockOffset > 720)) || !beginOperation(OperationResult::Command))
        return false;
    if (!isSerialPortOpen())
        return true;
    d->m_pendingCommand = command;
    d->m_pendingOperation = operation;
    d->m_pendingRestarts = restarts;
    if (!clock) {
        sendPendingCommand();
        return true;
    }
    // The dispatcher sends the command once the device has confirmed its clock.
    startWatchdog(5000);
    remoteSetRealTimeClock(false, clockOffset);
    return true;
}

void DeviceLink::sendPendingCommand()
{
    const QByteArray command = d->m_pendingCommand;
    const bool restarts = d->m_pendingRestarts;
    d->m_pendingCommand.clear();
    stopWatchdog();
    if (writeCommand(command, d->m_pendingOperation))
        endOperation(OperationResult::Succeeded, QString(), restarts);
}

bool DeviceLink::setDeviceBacklight(int level)
{
    const Frame frame(this);
    if (level < 0 || level > 100 || !beginOperation(OperationResult::Command))
        return false;
    if (writeCommand(QStringLiteral("#BKLT<%1>#").arg(level).toLatin1(), SetBacklight)) {
        updateInformation(QStringLiteral("backlight"), QString::number(level));
        endOperation(OperationResult::Succeeded);
    }
    return true;
}

bool DeviceLink::rebootDevice(int clockOffset)
{
    return runCommand("#UNIX<reboot>#", WarmReboot, true, clockOffset);
}

bool DeviceLink::probeIdentity(int replyMs)
{
    const Frame frame(this);
    if (!beginOperation(OperationResult::Identification))
        return false;
    if (writeCommand("#HWCF#", ProbeIdentity))
        startDeviceWait(replyMs);
    return true;
}

bool DeviceLink::processProbeReply()
{
    const QString& text = d->m_rxText;
    const int end = text.indexOf(QLatin1String("<HWCFEND>"));
    if (end < 0) {
        // A device back from its restart announces itself; it is asked again.
        if (text.contains(QLatin1String("<BOOT_UP>")))
            writeCommand("#HWCF#", ProbeIdentity);
        return false;
    }
    QMap<QString, QString> info = SerialPortManager::parseHardwareDescription(text.left(end));
    info.insert(QStringLiteral("port"), d->m_portName);
    if (!SerialPortManager::isCompleteDeviceInformation(info)) {
        writeCommand("#HWCF#", ProbeIdentity);
        return true;
    }
    // The record is the device's own: a restart may have brought other software. The link
    // is free again before anyone hears of the device, who may start on it at once.
    d->m_info = info;
    const QPointer<DeviceLink> self(this);
    endOperation(OperationResult::Succeeded);
    if (self)
        emit deviceIdentified(info);
    return true;
}

void DeviceLink::remoteReboot() { writeCommand("#BOOT#", -1); }
void DeviceLink::remoteWarmBoot() { writeCommand("#UNIX<reboot>#", WarmReboot); }
void DeviceLink::remoteFsSync() { writeCommand("#SYNC#", -1); }
void DeviceLink::reportOn() { writeCommand("#REPT<ON>#", ReportOn); }
void DeviceLink::reportOff() { writeCommand("#REPT<OFF>#", ReportOff); }
void DeviceLink::remoteZipLogFile() { writeCommand("#LOGZ#", -1); }

void DeviceLink::remoteSetBacklight(int val)
{
    writeCommand(QStringLiteral("#BKLT<%1>#").arg(val).toLatin1(), SetBacklight);
}

void DeviceLink::remoteWriteIOConfig(int idx, int in_out, int val)
{
    QString direction = QStringLiteral("UNU");
    if (in_out == 1)
        direction = QStringLiteral("IN");
    else if (in_out == 2)
        direction = QStringLiteral("OUT");
    QString level;
    if (in_out == 2)
        level = val == 1 ? QStringLiteral("<HI>") : QStringLiteral("<LO>");
    const QString command = QStringLiteral("#DIGC<%1><%2>%3#").arg(QStringLiteral("%1").arg(idx, 2, 10, QLatin1Char('0')), direction, level);
    writeCommand(command.toLatin1(), -1);
}

void DeviceLink::remoteWritePWMConfig(int idx, int val)
{
    writeCommand(QStringLiteral("#PWMC<%1><%2>#").arg(idx, 2, 10, QLatin1Char('0')).arg(val).toLatin1(), -1);
}

void DeviceLink::remoteWriteAlmConfig(int idx, int val)
{
    const QString level = val == 1 ? QStringLiteral("HI") : QStringLiteral("LO");
    writeCommand(QStringLiteral("#ALMC<%1><%2>#").arg(idx + 1, 2, 10, QLatin1Char('0')).arg(level).toLatin1(), -1);
}

void DeviceLink::remoteRs485DirectionPinConfig(int val)
{
    writeCommand(QStringLiteral("#DRPN<%1>#").arg(val).toLatin1(), -1);
}

void DeviceLink::remoteBatteryLowCheckConfig(bool enable)
{
    writeCommand(enable ? QByteArray("#CHBT<1>#") : QByteArray("#CHBT<0>#"), BatteryLowCheck);
}

void DeviceLink::remoteSaveConfig() { writeCommand("#SVCF#", -1); }
void DeviceLink::remoteEnableCalTouchScreen() { writeCommand("#TCAL#", StartTouchCalibration); }

void DeviceLink::remoteSetScreenOrientation(int orientation)
{
    writeCommand(QStringLiteral("#DORI<%1>#").arg(orientation).toLatin1(), SetOrientation);
}

void DeviceLink::remoteSetSerialNumber(const QString& serial)
{
    if (d->m_busy || !isSerialPortOpen())
        return;
    d->m_busy = true;
    d->m_operation = SetSerialNumber;
    d->m_port->flush();
    d->m_port->write(QStringLiteral("#SSNO<%1>#").arg(serial).toLatin1());
    d->m_port->flush();
    d->m_port->write("#SVCF#");
    d->m_port->flush();
    d->m_busy = false;
}

void DeviceLink::remoteSetDeviceName()
{
    writeCommand(QStringLiteral("#SNAM<%1>#").arg(d->m_newDeviceName).toLatin1(), SetDeviceName);
}

void DeviceLink::remoteBackupFile(const QString& fromFile, const QString& toFile)
{
    Q_UNUSED(toFile)
    writeCommand(QStringLiteral("#GETF<%1>#").arg(fromFile).toLatin1(), -1, false);
}

void DeviceLink::remoteMoveCalibrationFile()
{
    writeCommand("#UNIX<mv ./tmp/cal_list.txt /home/DuDov_ODU/cal_list.txt>#", InstallCalibrationFile, false);
}

void DeviceLink::setTotalFileSize(int totalSize)
{
    if (totalSize < -1)
        return;
    if (totalSize == -1)
        totalSize = d->m_fileContent.size();
    writeRaw(QStringLiteral("#FINF<%1>#").arg(totalSize).toLatin1());
}

void DeviceLink::remoteShowDeviceInformation()
{
    writeCommand("#SINF#", ShowDeviceInformation);
}

void DeviceLink::projectFilesAction(int job)
{
    QByteArray command;
    int operation = 0;
    switch (job) {
    case JobCreateProjectFolder: command = "#UNIX<mkdir ./qml/project>#"; operation = CreateProjectFolder; break;
    case JobCreateStagingFolder: command = "#UNIX<mkdir ./tmp/project>#"; operation = CreateStagingFolder; break;
    case JobRemoveProjectFolder: command = "#UNIX<rm -r ./qml/project>#"; operation = RemoveProjectFolder; break;
    case JobRemoveStagingFolder: command = "#UNIX<rm -r ./tmp/project>#"; operation = RemoveStagingFolder; break;
    case JobListProjectFolder: command = "#UNIX<ls -r ./qml/project>#"; operation = VerifyProjectFolder; break;
    case JobListStagingFolder: command = "#UNIX<ls -r ./tmp/project>#"; operation = VerifyStagingFolder; break;
    case JobInstallProjectFolder: command = "#UNIX<mv tmp/project qml>#"; operation = InstallProjectFolder; break;
    case JobInstallProjectConfig: command = "#UNIX<mv tmp/config.txrc qml/config.txrc>#"; operation = InstallProjectConfig; break;
    case JobInstallCanConfig: command = "#UNIX<mv tmp/canConfig.txrc qml/canConfig.txrc>#"; operation = InstallCanConfig; break;
    case JobCheckDataLog: command = "#UNIX<ls qml/dataLogging.txdb>#"; operation = CheckDataLog; break;
    case JobDeleteDataLog: command = "#UNIX<rm qml/dataLogging.txdb>#"; operation = DeleteDataLog; break;
    default: return;
    }
    writeCommand(command, operation);
}

void DeviceLink::updateLogFilesAction(int job)
{
    QByteArray command;
    int operation = 0;
    switch (job) {
    case JobDeleteDataLogBackup: command = "#UNIX<rm qml/dataLoggingBk.txdb>#"; operation = DeleteDataLogBackup; break;
    case JobInstallDataLog: command = "#UNIX<mv tmp/dataLogging.txdb qml/dataLogging.txdb>#"; operation = InstallDataLog; break;
    case JobListQmlFolder: command = "#UNIX<ls -r ./qml>#"; operation = ListQmlFolder; break;
    case JobListTmpFolder: command = "#UNIX<ls -r ./tmp>#"; operation = ListTmpFolder; break;
    case JobBackupDataLog: command = "#UNIX<mv qml/dataLogging.txdb qml/dataLoggingBk.txdb>#"; operation = BackupDataLog; break;
    default: return;
    }
    writeCommand(command, operation);
}

void DeviceLink::getRetrieveProjFileLst()
{
    writeCommand("#GPFL#", ListProjectFiles);
}

int DeviceLink::parseFileSizeReply(const QString& text)
{
    QString t = text.trimmed();
    t.remove(QLatin1Char('<'));
    t.remove(QLatin1Char('>'));
    const int colon = t.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return -1;
    bool ok = false;
    const int value = t.mid(colon + 1).trimmed().toInt(&ok, 10);
    return ok ? value : -1;
}

void DeviceLink::onPortError(QSerialPort::SerialPortError error)
{
    const Frame frame(this);
    if (error != QSerialPort::ResourceError)
        return;
    // The device went away under an open port: close at once (the port would repeat the
    // error in a busy loop) and let the port list confirm the unplug.
    closeSerialPort();
    endOnPortFailure();
    emit portFailed();
}

// ---------------------------------------------------------------------------
// Receive dispatcher

void DeviceLink::onReadyRead()
{
    const Frame frame(this);
    if (!d->m_port)
        return;
    if (d->m_transferMode == 2) {
        const QByteArray data = d->m_port->readAll();
        if (!data.isEmpty())
            processRxPacket(data);
        return;
    }
    if (d->m_transferMode == 1) {
        // Everything that has arrived, at once: the reply and the next packet need no
        // further notification, and a transfer that ends mid-read leaves the rest as text.
        const QByteArray data = d->m_port->readAll();
        const int used = processTxBytes(data);
        if (used >= data.size())
            return;
        d->m_rxText += QString::fromLatin1(data.mid(used));
        dispatchText();
        return;
    }
    d->m_rxText += QString::fromLatin1(d->m_port->readAll());
    dispatchText();
}

void DeviceLink::dispatchText()
{
    if (d->m_rxText.trimmed().isEmpty()) {
        // Blanks alone hold no token, nor the start of one: keeping them would let a device
        // fill memory (and make every read scan it all again).
        d->m_rxText.clear();
        return;
    }
    const QString& text = d->m_rxText;
    const int op = d->m_operation;
    auto has = [&text](const char* token) { return text.contains(QLatin1String(token)); };
    bool keep = false;

    if (op == ProbeIdentity && d->m_kind == OperationResult::Identification) {
        if (processProbeReply())
            d->m_rxText.clear();
        else if (d->m_rxText.size() > MaxRxText)
            d->m_rxText = d->m_rxText.right(KeptRxTail);
        return;
    }

    // A row sets the clock and closes the port without waiting for the answer, which can
    // then arrive with the next operation's first reply. Unless a clock step waits for it,
    // it answers nothing here and must not hide what came with it.
    if (op != SetClock && (has("<DTIM:NOR>") || has("<DTIM:ERR>"))) {
        d->m_rxText.remove(QLatin1String("<DTIM:NOR>"));
        d->m_rxText.remove(QLatin1String("<DTIM:ERR>"));
        if (d->m_rxText.trimmed().isEmpty()) {
            d->m_rxText.clear();
            return;
        }
    }

    if (has("<ZIPL:ERR>")) {
        emit retrieveDataLogStatusChange(LogMissing);
    } else if (has("<ZIPL:ACK>")) {
        emit retrieveDataLogStatusChange(LogZipped);
    } else if (has("#TCAL#")) {
        emit configureStateChange(ConfigTouchCalibrationEcho);
    } else if (has("<CHBT:NOR>")) {
        emit configureStateChange(ConfigBatteryCheckSet);
    } else if (has("<SNAM:NOR>")) {
        emit configureStateChange(ConfigNameSet);
    } else if (has("<MACW:ACK>")) {
        emit configureStateChange(ConfigAddressSet);
    } else if (has("<SNAM:ERR>")) {
        emit configureStateChange(ConfigNameFailed);
    } else if (has("<MACW:ERR>")) {
        emit configureStateChange(ConfigAddressFailed);
    } else if (has("<MODE_ACK>")) {
        switch (op) {
        case UploadModeChange: emit uploadProjectFileStatusChange(UploadModeChanged); break;
        case RetrieveLogModeChange: emit retrieveDataLogStatusChange(LogRetrievalModeChanged); break;
        case UpdateLogModeChange: emit updateDataLogStatusChange(LogUpdateModeChanged); break;
        case SplashModeChange: emit configureStateChange(ConfigSplashModeChanged); break;
        case FontModeChange: emit deviceFontStatusChange(FontReadyForUpload, 0, QString()); break;
        case CalibrationBackupModeChange: emit configureStateChange(ConfigBackupModeChanged); break;
        case CalibrationRestoreModeChange: emit configureStateChange(ConfigRestoreModeChanged); break;
        default: break;
        }
    } else if (has("<SVCF:NOR>")) {
        if (op == UploadSaveConfig)
            emit uploadProjectFileStatusChange(UploadSettingsSaved);
        else if (op == ConfigureSaveConfig)
            emit configureStateChange(ConfigSettingsSaved);
    } else if (has("<SVCF:ERR>")) {
        if (op == UploadSaveConfig)
            emit uploadProjectFileStatusChange(UploadSettingsFailed);
        else
            emit configureStateChange(ConfigSettingsFailed);
    } else if (has("<GFFS_")) {
        keep = true;
        if (has(">"))
            keep = !processGetInstFontsList();
    } else if (has("<DTIM:NOR>")) {
        if (d->m_kind == OperationResult::Command && op == SetClock && !d->m_pendingCommand.isEmpty())
            sendPendingCommand();
        else if (d->m_kind == OperationResult::Command && op == SetClock)
            endOperation(OperationResult::Succeeded);
        else
            emit configureStateChange(ConfigClockSet);
    } else if (has("<DTIM:ERR>")) {
        if (d->m_kind == OperationResult::Command && op == SetClock)
            endOperation(OperationResult::Failed, rt("Failed to set the device clock."));
        else
            emit configureStateChange(ConfigClockFailed);
    } else if (has("<GETF:")) {
        keep = true;
        const int start = text.indexOf(QLatin1String("<GETF:"));
        const int end = text.indexOf(QLatin1Char('>'), start);
        if (end >= 0) {
            keep = false;
            d->m_fileSize = parseFileSizeReply(text.mid(start, end - start + 1));
            if (op == FetchCalibrationFile)
                emit configureStateChange(ConfigCalibrationSizeKnown);
            else if (op == FetchProjectFile)
                emit retrieveProjectFileStatusChange(ProjectFileSizeKnown);
            else if (op == FetchDataLog)
                emit retrieveDataLogStatusChange(LogSizeKnown);
        }
    } else if (has("<RMFS_ACK>")) {
        if (d->m_fontIndex == d->m_fontList.size())
            emit deviceFontStatusChange(FontRemovalFinished, 0, QString());
        else
            emit deviceFontStatusChange(FontRemovalAcknowledged, 0, QString());
    } else if (has("<RMFS_NAK>")) {
        emit deviceFontStatusChange(FontRemovalRefused, 0, QString());
    } else if (has("<UNIX:NOR>")) {
        switch (op) {
        case InstallCalibrationFile: emit configureStateChange(ConfigCalibrationInstalled); break;
        case VerifyStagingFolder: emit uploadProjectFileStatusChange(UploadStagingFound); break;
        case VerifyProjectFolder: emit uploadProjectFileStatusChange(UploadProjectFolderFound); break;
        case RemoveStagingFolder: emit uploadProjectFileStatusChange(UploadStagingRemoved); break;
        case RemoveProjectFolder: emit uploadProjectFileStatusChange(UploadProjectFolderRemoved); break;
        case CreateStagingFolder: emit uploadProjectFileStatusChange(UploadStagingCreated); break;
        case CreateProjectFolder: emit uploadProjectFileStatusChange(UploadProjectFolderCreated); break;
        case InstallProjectFolder: emit uploadProjectFileStatusChange(UploadProjectInstalled); break;
        case InstallProjectConfig: emit uploadProjectFileStatusChange(d->m_canConfigPending ? 231 : 215); break;
        case CheckDataLog: emit uploadProjectFileStatusChange(UploadDataLogFound); break;
        case DeleteDataLog: emit uploadProjectFileStatusChange(UploadDataLogCleared); break;
        case RestoreSplash: emit configureStateChange(ConfigSplashRestored); break;
        case InstallSplash: emit configureStateChange(ConfigSplashInstalled); break;
        case BackupDataLog: emit updateDataLogStatusChange(LogMovedAside); break;
        case DeleteDataLogBackup: emit updateDataLogStatusChange(LogBackupRemoved); break;
        case ListQmlFolder: emit updateDataLogStatusChange(LogFolderListed); break;
        case ListTmpFolder: emit updateDataLogStatusChange(LogStagingListed); break;
        case InstallDataLog: emit updateDataLogStatusChange(LogUpdateInstalled); break;
        case InstallCanConfig: emit uploadProjectFileStatusChange(UploadConfigInstalled); break;
        case RestoreDataLogBackup: finishDataLogRestore(true); break;
        case CheckDataLogPresent:
        case CheckDataLogBackup:
        case RecoverDataLog: onDataLogChecked(op, true); break;
        default: break;
        }
    } else if (has("<UNIX:ERR>")) {
        switch (op) {
        case InstallCalibrationFile: emit configureStateChange(ConfigCalibrationInstallFailed); break;
        case VerifyStagingFolder: emit uploadProjectFileStatusChange(UploadStagingMissing); break;
        case VerifyProjectFolder: emit uploadProjectFileStatusChange(UploadProjectFolderMissing); break;
        case RemoveStagingFolder: emit uploadProjectFileStatusChange(UploadStagingRemoveFailed); break;
        case RemoveProjectFolder: emit uploadProjectFileStatusChange(UploadProjectFolderRemoveFailed); break;
        case CreateStagingFolder: emit uploadProjectFileStatusChange(UploadStagingCreateFailed); break;
        case CreateProjectFolder: emit uploadProjectFileStatusChange(UploadProjectFolderCreateFailed); break;
        case InstallProjectFolder: emit uploadProjectFileStatusChange(UploadProjectInstallFailed); break;
        case InstallProjectConfig: emit uploadProjectFileStatusChange(UploadConfigInstallFailed); break;
        case CheckDataLog: emit uploadProjectFileStatusChange(UploadDataLogCleared); break;
        case DeleteDataLog: emit uploadProjectFileStatusChange(UploadDataLogRemoveFailed); break;
        case RestoreSplash: emit configureStateChange(ConfigSplashRestoreFailed); break;
        case InstallSplash: emit configureStateChange(ConfigSplashInstallFailed); break;
        case InstallCanConfig: emit uploadProjectFileStatusChange(UploadCanConfigInstallFailed); break;
        case RestoreDataLogBackup: finishDataLogRestore(false); break;
        case CheckDataLogPresent:
        case CheckDataLogBackup:
        case RecoverDataLog: onDataLogChecked(op, false); break;
        default: break;
        }
    } else if (has("<RTLD:NOR>")) {
        emit upgradeDeviceStatusChange(UpgradeInstalled);
    } else if (has("<RTLD:ERR>")) {
        emit upgradeDeviceStatusChange(UpgradeChecksumFailed);
    } else if (has("<RTLD:ACK>")) {
        // The send starts at the acceptance and takes what followed it, perhaps the "C".
        d->m_rxText = textAfter(text, QLatin1String("<RTLD:ACK>"));
        keep = true;
        emit upgradeDeviceStatusChange(UpgradePackageAccepted);
    } else if (has("<LOAD:ACK>")) {
        d->m_rxText = textAfter(text, QLatin1String("<LOAD:ACK>"));
        keep = true;
        switch (op) {
        case SendCalibrationFile: emit configureStateChange(ConfigCalibrationAccepted); break;
        case SendSplashImage: emit configureStateChange(ConfigSplashAccepted); break;
        case SendProjectFile: emit uploadProjectFileStatusChange(UploadFileAccepted); break;
        case SendDataLog: emit updateDataLogStatusChange(LogUpdateAccepted); break;
        case SendFontFile: emit deviceFontStatusChange(FontFileAccepted, 0, QString()); break;
        default: break;
        }
    } else if (has("<SYNC:NOR>")) {
        switch (op) {
        case UpgradeFinished: emit upgradeDeviceStatusChange(UpgradeSynced); break;
        case UploadSync: emit uploadProjectFileStatusChange(UploadSynced); break;
        case ConfigureSync:
        case SetClock:
        case SetDeviceName:
        case BatteryLowCheck: emit configureStateChange(ConfigCommitted); break;
        case FontSync: emit deviceFontStatusChange(FontSynced, 0, QString()); break;
        default: break;
        }
    } else if (has("<SYNC:ERR>")) {
        if (op == ConfigureSync)
            emit configureStateChange(ConfigCommitFailed);
        else if (op == FontSync)
            emit deviceFontStatusChange(FontInstallFailed, 0, QString());
    } else if (has("<BOOT:NOR>")) {
        qCDebug(lcTransfer) << "Boot ACK";
        switch (op) {
        case UploadReboot: emit uploadProjectFileStatusChange(UploadRebooted); break;
        case ConfigureReboot: emit configureStateChange(ConfigRebooted); break;
        case FontReboot: emit deviceFontStatusChange(FontRebooted, 0, QString()); break;
        case RetrieveProjectReboot: emit retrieveProjectFileStatusChange(ProjectRetrievalRebooted); break;
        case RetrieveLogReboot: emit retrieveDataLogStatusChange(LogRetrievalRebooted); break;
        case UpdateLogReboot: emit updateDataLogStatusChange(LogUpdateRebooted); break;
        default: break;
        }
    } else if (has("<GPFL_")) {
        keep = true;
        if (has(">"))
            keep = !processRetrieveProjFileLst();
    } else {
        keep = true;
        // Nothing recognised yet: keep a bounded tail for tokens still arriving.
        if (d->m_rxText.size() > MaxRxText)
            d->m_rxText = d->m_rxText.right(KeptRxTail);
    }

    if (!keep)
        d->m_rxText.clear();
    else if (d->m_rxText.size() > MaxRxText)
        d->m_rxText = d->m_rxText.right(KeptRxTail);
}

// ---------------------------------------------------------------------------
// Watchdog

QString DeviceLink::timeoutText(int operation)
{
    switch (operation) {
    case FetchCalibrationFile: return rt("The operation timed out while fetching the calibration file from the device.");
    case FetchProjectFile: return rt("The connection timed out while retrieving project files from the device.");
    case FetchDataLog:
    case RetrieveLogModeChange:
    case ZipDataLog: return rt("The connection timed out while retrieving data log from the device.");
    case SendCalibrationFile: return rt("The operation timed out while transferring the calibration file to the device.");
    case SendSplashImage: return rt("The operation timed out while transferring the splash screen image.");
    case SendSoftwarePackage: return rt("The operation timed out while upgrading the device software.");
    case SendProjectFile:
    case UploadModeChange:
    case UpdateLogModeChange: return rt("The operation timed out while uploading project files.");
    case SendFontFile: return rt("The connection timed out while uploading the selected fonts to the device.");
    case UploadSaveConfig:
    case ConfigureSaveConfig: return rt("The operation timed out while saving the device configuration.");
    case InstallCalibrationFile: return rt("The operation timed out while restoring the calibration.");
    case SendDataLog: return rt("The operation timed out while updating the data log on the device.");
    case VerifyStagingFolder:
    case ListQmlFolder:
    case ListTmpFolder: return rt("The operation timed out while verifying the temporary folder.");
    case VerifyProjectFolder: return rt("The operation timed out while verifying the project folder.");
    case RemoveStagingFolder: return rt("The operation timed out while removing the temporary project folder.");
    case RemoveProjectFolder: return rt("The operation timed out while removing the old project folder.");
    case CreateStagingFolder: return rt("The operation timed out while creating the temporary folder.");
    case CreateProjectFolder: return rt("The operation timed out while creating the project folder.");
    case InstallProjectFolder: return rt("The operation timed out while installing the project file.");
    case InstallProjectConfig:
    case InstallCanConfig: return rt("The operation timed out while installing the default screen.");
    case CheckDataLog: return rt("The operation timed out while checking the data log file.");
    case DeleteDataLog: return rt("The operation timed out while removing data log file.");
    case RestoreSplash: return rt("The operation timed out while restoring the splash screen to default.");
    case InstallSplash: return rt("The operation timed out while installing the splash screen.");
    case BackupDataLog: return rt("The operation timed out while creating a backup of the data log on the device.");
    case DeleteDataLogBackup: return rt("The operation timed out while removing the backup of the data log on the device.");
    case InstallDataLog: return rt("The operation timed out while moving updated log from temp folder.");
    case UploadSync:
    case ConfigureSync: return rt("The operation timed out while waiting to commit the changes.");
    case FontSync: return rt("The connection timed out while installing the uploaded fonts on the device.");
    // A device that does not confirm the reboot must not leave the caller waiting.
    case ConfigureReboot:
    case FontReboot: return rt("The operation timed out while rebooting the device.");
    case SetClock: return rt("The operation timed out while setting the device clock.");
    case RestoreDataLogBackup: return rt("The operation timed out while restoring the data log on the device.");
    case SetDeviceName: return rt("The operation timed out while setting device name.");
    case CheckDataLogPresent:
    case CheckDataLogBackup:
    case RecoverDataLog: return rt("The operation timed out while checking the data log on the device.");
    case ListFonts: return rt("The connection timed out while retrieving the installed fonts from the device.");
    case RemoveFonts: return rt("The operation timed out while sending request to remove the selected fonts from the device.");
    case ListProjectFiles: return rt("The connection timed out while retrieving project files information from the device.");
    case StartTouchCalibration: return rt("The operation timed out while setting the touch screen calibration.");
    case SplashModeChange: return rt("The operation timed out while configure splash screen to the device.");
    case FontModeChange: return rt("The operation timed out while upload fonts to the device.");
    case CalibrationBackupModeChange: return rt("The operation timed out while backup calibration file from the device.");
    case CalibrationRestoreModeChange: return rt("The operation timed out while restore calibration file to the device.");
    case BatteryLowCheck: return rt("The operation timed out while configure battery low check to the device.");
    default: return QString();
    }
}

void DeviceLink::onTransferTimeOut()
{
    const Frame frame(this);
    abortOperation(QString());
}

void DeviceLink::abortOperation(const QString& failure)
{
    const int op = d->m_operation;
    stopWatchdog();
    d->m_delayTimer->stop();
    d->m_rxText.clear();
    d->m_transferMode = 0;
    d->m_busy = false;
    d->m_txStarted = false;
    // A running configuration must not be replayed by a late reply.
    d->m_configJobs.clear();
    d->m_configJobIndex = 0;
    d->m_configRunning = false;

    if (d->m_kind == OperationResult::NoKind) {
        // A code left by a single command: nothing waits for its end.
        closeSerialPort();
        d->m_operation = NoOperation;
        if (!d->m_present)
            release();
        return;
    }

    if (!d->m_present) {
        if (isClosingRestart(op))
            endWithUnconfirmedRestart();
        else if (d->m_kind == OperationResult::DataLogUpdate)
            endDataLogUpdate(OperationResult::DeviceLost, rt("The connection to the device was lost."), true);
        else
            endOperation(OperationResult::DeviceLost, rt("The connection to the device was lost."), true);
        return;
    }

    if (d->m_kind == OperationResult::Command || d->m_kind == OperationResult::Identification) {
        // A single command that went unanswered changed nothing worth a restart.
        endOperation(OperationResult::TimedOut, timeoutText(op));
        return;
    }
    if (op == SendCalibrationFile || op == SendSplashImage || op == SendSoftwarePackage || op == SendProjectFile
        || op == SendDataLog || op == SendFontFile || op == UpdateLogModeChange)
        writeRaw(QByteArray("\x18\x18", 2));
    if (isClosingRestart(op) && failure.isEmpty()) {
        remoteWarmBoot();
        endWithUnconfirmedRestart();
        return;
    }
    QString text = failure.isEmpty() ? timeoutText(op) : failure;
    if (text.isEmpty())
        text = rt("The device did not answer in time.");
    OperationResult::Outcome outcome = failure.isEmpty() ? OperationResult::TimedOut : OperationResult::Failed;
    if (d->m_abandoning && !failure.isEmpty())
        outcome = OperationResult::Interrupted;
    if (d->m_kind == OperationResult::DataLogUpdate) {
        endDataLogUpdate(outcome, text, true);
        return;
    }
    remoteWarmBoot();
    endOperation(outcome, text, true);
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
