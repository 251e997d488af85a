// Device configuration sequence: name, clock, splash image and calibration
// backup or restore, run as one job list over the open port.
#include "devicelink.h"
#include "devicelink_p.h"

#include "calibrationinfo.h"
#include "devicerules.h"
#include "filehelper.h"
#include "localizationhelper.h"

#include <QDir>
#include <QFileInfo>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

using Common::FileHelper;
using Common::LocalizationHelper;

namespace {


// Job identifiers of the configuration list.
enum ConfigJob {
    JobEnd = 2,
    JobSendCalibration = 9,
    JobInstallCalibration = 12,
    JobBackupCalibration = 15,
    JobSaveConfig = 19,
    JobCommit = 22,
    JobUploadSplash = 28,
    JobRestoreSplash = 31,
    JobInstallSplash = 34,
    JobDeviceName = 37,
    JobClock = 6,
    JobBatteryLowCheck = 43
};

constexpr int StepTimeout = 5000;
const char* const DeviceCalibrationFile = "/home/DuDov_ODU/cal_list.txt";

} // namespace

bool DeviceLink::configureDevice(Common::CalibrationInfo* calibrationInfo)
{
    const Frame frame(this);
    if (!calibrationInfo || calibrationInfo->skipCalibration())
        return false;
    // Refused while another operation holds the port: its window must not see a failure of ours.
    if (!beginOperation(OperationResult::Configuration))
        return false;
    if (!isSerialPortOpen())
        return true;
    d->m_port->flush();
    d->m_port->blockSignals(false);
    d->m_configJobs.clear();
    d->m_configJobIndex = 0;
    d->m_configStep = 0;
    d->m_commitPending = false;
    d->m_configRunning = true;
    bool changed = false;

    if (calibrationInfo->isDeviceNameChange()) {
        d->m_configJobs << JobDeviceName << JobSaveConfig;
        d->m_newDeviceName = calibrationInfo->deviceName();
        changed = true;
    }
    if (calibrationInfo->isSetRealTimeClock()) {
        d->m_timeZone = calibrationInfo->timeZone();
        d->m_configJobs << JobClock;
        d->m_batteryLowCheck = calibrationInfo->isBatteryLowCheck();
        d->m_configJobs << JobBatteryLowCheck;
        changed = true;
    }
    if (calibrationInfo->isRestoreSplashScreen()) {
        d->m_configJobs << JobRestoreSplash;
    } else if (!calibrationInfo->splashScreenData().isEmpty()) {
        d->m_splashData = calibrationInfo->splashScreenData();
        d->m_configJobs << JobUploadSplash << JobInstallSplash;
        changed = true;
    }
    if (calibrationInfo->isBackup()) {
        d->m_configJobs << JobBackupCalibration;
        if (changed)
            d->m_configJobs << JobCommit;
    } else if (calibrationInfo->isRestore()) {
        // Refuse before anything reaches the device: a restore without its backup
        // would otherwise apply the earlier jobs and then wait for the watchdog.
        const QString path = calibrationBackupPath();
        const QFileInfo backup(path);
        if (!backup.isFile()) {
            failConfiguration(rt("The calibration backup file %1 does not exist.").arg(QDir::toNativeSeparators(path)));
            return true;
        }
        if (backup.size() <= 0) {
            failConfiguration(rt("The calibration backup file %1 is empty.").arg(QDir::toNativeSeparators(path)));
            return true;
        }
        d->m_configJobs << JobSendCalibration << JobInstallCalibration << JobCommit;
    } else if (changed) {
        d->m_configJobs << JobCommit;
    }
    d->m_configJobs << JobEnd;
    emit configureStateChange(ConfigStart);
    return true;
}

void DeviceLink::onConfigureStateChange(int state)
{
    const Frame frame(this);
    // Replies that arrive outside a run (a late "#TCAL#", an "<SVCF:ERR>" of another
    // operation, a cancelled packet receive) must not replay the kept job list.
    if (d->m_kind != OperationResult::Configuration || !d->m_configRunning || d->m_configJobs.isEmpty())
        return;

    switch (state) {
    case ConfigStart:
    case ConfigNextJob: {
        if (!isSerialPortOpen()) {
            failConfiguration(rt("The serial port was closed."));
            return;
        }
        // Asked to stop: nothing more is begun; what is done is committed.
        while (d->m_stopRequested && d->m_configJobIndex < d->m_configJobs.size()
               && d->m_configJobs.at(d->m_configJobIndex) != JobCommit && d->m_configJobs.at(d->m_configJobIndex) != JobEnd)
            ++d->m_configJobIndex;
        const int job = d->m_configJobIndex < d->m_configJobs.size() ? d->m_configJobs.at(d->m_configJobIndex) : JobEnd;
        if (job != JobEnd && job != JobInstallSplash) {
            ++d->m_configJobIndex;
            startWatchdog(StepTimeout);
        }
        switch (job) {
        case JobDeviceName:
            remoteSetDeviceName();
            break;
        case JobSaveConfig:
            d->m_operation = ConfigureSaveConfig;
            d->m_commitPending = true;
            remoteSaveConfig();
            break;
        case JobClock:
            remoteSetRealTimeClock(false, d->m_timeZone);
            break;
        case JobBatteryLowCheck:
            remoteBatteryLowCheckConfig(d->m_batteryLowCheck);
            break;
        case JobRestoreSplash:
            remoteRestoreSplashScreen();
            break;
        case JobUploadSplash:
            if (d->m_splashData.isEmpty()) {
                failConfiguration(rt("The splash screen image is empty."));
                return;
            }
            d->m_commitPending = true;
            changeDeviceMode(1, SplashModeChange);
            break;
        case JobInstallSplash:
            ++d->m_configJobIndex;
            // The move is answered like every other step; without a watchdog a silent device would hang the run.
            startWatchdog(StepTimeout);
            remoteMoveSplashScreen();
            break;
        case JobBackupCalibration:
            d->m_commitPending = true;
            changeDeviceMode(2, CalibrationBackupModeChange);
            break;
        case JobSendCalibration:
            d->m_commitPending = true;
            changeDeviceMode(1, CalibrationRestoreModeChange);
            break;
        case JobInstallCalibration:
            remoteMoveCalibrationFile();
            break;
        case JobCommit:
            // Without a pending commit the sync runs under the previous job's operation code,
            // unless that code would leave the sync's reply unrouted (after a splash restore).
            if (d->m_commitPending
                || (d->m_operation != SetClock && d->m_operation != SetDeviceName && d->m_operation != BatteryLowCheck))
                d->m_operation = ConfigureSync;
            remoteFsSync();
            break;
        default:
            stopWatchdog();
            if (d->m_commitPending) {
                d->m_operation = ConfigureReboot;
                // The reboot reply is awaited under the watchdog so the port cannot stay open for good.
                startDeviceWait(StepTimeout);
                remoteReboot();
            } else {
                finishConfiguration();
            }
            break;
        }
        break;
    }
    case ConfigTouchCalibrationEcho:
        emit configureStateChange(ConfigNextJob);
        break;
    case ConfigClockSet:
        stopWatchdog();
        emit configureStateChange(ConfigNextJob);
        break;
    case ConfigClockFailed:
        failConfiguration(rt("Failed to set the device clock."));
        break;
    case ConfigNameSet:
    case ConfigSettingsSaved:
        ++d->m_configStep;
        emit progressUpdated(d->m_configStep);
        emit configureStateChange(ConfigNextJob);
        break;
    case ConfigNameFailed:
        failConfiguration(rt("Failed to configure device name."));
        break;
    case ConfigSettingsFailed:
        failConfiguration(rt("Failed to set the touch screen calibration."));
        break;
    case ConfigBatteryCheckSet:
        stopWatchdog();
        ++d->m_configStep;
        emit progressUpdated(d->m_configStep);
        emit configureStateChange(ConfigNextJob);
        break;
    case ConfigSplashRestored:
        ++d->m_configStep;
        d->m_transferMode = 0;
        emit configureStateChange(ConfigNextJob);
        break;
    case ConfigSplashRestoreFailed:
        d->m_transferMode = 0;
        d->m_splashData.clear();
        failConfiguration(rt("Failed to restore the splash screen to default."));
        break;
    case ConfigSplashModeChanged:
        d->m_commitPending = true;
        if (d->m_splashData.isEmpty()) {
            failConfiguration(rt("The splash screen image is empty."));
            break;
        }
        startWatchdog(StepTimeout);
        remoteUploadSplashScreenFile();
        break;
    case ConfigSplashAccepted:
        startTransfer();
        ++d->m_configStep;
        emit progressUpdated(d->m_configStep);
        break;
    case ConfigSplashSent:
        d->m_transferMode = 0;
        d->m_splashData.clear();
        emit configureStateChange(ConfigNextJob);
        break;
    case ConfigSplashInstalled:
        ++d->m_configStep;
        emit configureStateChange(ConfigNextJob);
        break;
    case ConfigSplashInstallFailed:
        d->m_transferMode = 0;
        failConfiguration(rt("Failed to install the splash screen."));
        break;
    case ConfigBackupModeChanged:
        startWatchdog(StepTimeout);
        d->m_localFilePath = calibrationBackupPath();
        if (d->m_localFilePath.isEmpty()) {
            failConfiguration(rt("Failed to save the calibration file."));
            break;
        }
        d->m_operation = FetchCalibrationFile;
        remoteBackupFile(QString::fromLatin1(DeviceCalibrationFile), d->m_localFilePath);
        break;
    case ConfigCalibrationSizeKnown:
        if (d->m_fileSize > 0) {
            d->m_blockNumber = 1;
            d->m_rxBlockLength = 0;
            startTransfer();
            ++d->m_configStep;
            emit progressUpdated(d->m_configStep);
        } else {
            failConfiguration(rt("The calibration file does not exist on the device."));
        }
        break;
    case ConfigCalibrationReceived: {
        stopWatchdog();
        d->m_transferMode = 0;
        const bool saved = FileHelper::writeDataToFile(d->m_fileContent, d->m_localFilePath, true);
        d->m_localFilePath.clear();
        if (saved) {
            ++d->m_configStep;
            emit progressUpdated(d->m_configStep);
            emit configureStateChange(ConfigNextJob);
        } else {
            failConfiguration(rt("Failed to save the calibration file."));
        }
        break;
    }
    case ConfigCalibrationTransferFailed:
        d->m_transferMode = 0;
        failConfiguration(rt("Failed to transfer the calibration file to the device."));
        break;
    case ConfigRestoreModeChanged: {
        startWatchdog(StepTimeout);
        d->m_localFilePath = calibrationBackupPath();
        remoteRestoreFile(d->m_localFilePath, QStringLiteral("cal_list.txt"));
        // The backup may have gone or become unreadable since the run started.
        if (isSerialPortOpen() && (d->m_operation != SendCalibrationFile || d->m_fileContent.isEmpty()))
            failConfiguration(rt("The calibration backup file %1 cannot be read.")
                                  .arg(QDir::toNativeSeparators(d->m_localFilePath)));
        break;
    }
    case ConfigCalibrationAccepted:
        startTransfer();
        ++d->m_configStep;
        emit progressUpdated(d->m_configStep);
        break;
    case ConfigCalibrationSent:
        d->m_transferMode = 0;
        emit configureStateChange(ConfigNextJob);
        break;
    case ConfigCalibrationInstalled:
        ++d->m_configStep;
        emit progressUpdated(d->m_configStep);
        emit configureStateChange(ConfigNextJob);
        break;
    case ConfigCalibrationInstallFailed:
        failConfiguration(rt("Failed to restore the calibration file."));
        break;
    case ConfigCommitted:
        d->m_transferMode = 0;
        emit configureStateChange(ConfigNextJob);
        break;
    case ConfigCommitFailed:
        d->m_transferMode = 0;
        d->m_splashData.clear();
        failConfiguration(rt("Failed to commit the changes to the device."));
        break;
    case ConfigRebooted:
        endOperation(OperationResult::Succeeded, QString(), d->m_commitPending);
        break;
    case ConfigAddressSet:
    case ConfigAddressFailed:
        // A physical address answer belongs to no job of this run: the run ends as it is.
        finishConfiguration();
        break;
    default:
        break;
    }
}

void DeviceLink::failConfiguration(const QString& text)
{
    endOperation(OperationResult::Failed, text);
}

void DeviceLink::finishConfiguration()
{
    endOperation(OperationResult::Succeeded);
}

QString DeviceLink::calibrationBackupPath() const
{
    const QString path = DeviceRules::calibrationBackupPath(deviceInformation().value(QStringLiteral("serial")));
    if (!path.isEmpty())
        QDir().mkpath(DeviceRules::calibrationFolder());
    return path;
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
