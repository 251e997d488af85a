// Project upload sequence.
#include "devicelink.h"
#include "devicelink_p.h"

#include "devicerules.h"
#include "enumhelper.h"
#include "localizationhelper.h"

#include <QFile>
#include <QFileInfo>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

using Common::EnumHelper;
using Common::LocalizationHelper;

namespace {


// Why a listed file cannot be sent, or an empty text when it can.
QString unusableUploadFile(const QString& path)
{
    const QFileInfo info(path);
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return rt("The project file %1 cannot be read.").arg(path);
    if (file.size() <= 0)
        return rt("The project file %1 is empty.").arg(path);
    return QString();
}

// Name under the device's "tmp" folder: the configuration files keep their own
// name, everything else lands flat in "project".
QString uploadDeviceName(const QString& path, bool* isProjectConfig)
{
    const QString fileName = QFileInfo(path).fileName();
    *isProjectConfig = false;
    if (path.endsWith(QLatin1String("config.txrc"))) {
        *isProjectConfig = true;
        return fileName;
    }
    if (path.endsWith(QLatin1String("canConfig.txrc")))
        return fileName;
    return QStringLiteral("project/%1").arg(fileName);
}

} // namespace

bool DeviceLink::uploadProject(const QStringList& projectFiles, const Common::ConfigurationInfo& projectConfig, int totalSize)
{
    const Frame frame(this);
    if (projectFiles.isEmpty() || !beginOperation(OperationResult::ProjectUpload, false))
        return false;
    // Every file is checked before the device is touched: one that cannot be sent
    // would otherwise stop the upload halfway with the device's project removed.
    for (const QString& path : projectFiles) {
        const QString problem = unusableUploadFile(path);
        if (!problem.isEmpty()) {
            endOperation(OperationResult::Failed, problem);
            return true;
        }
    }
    if (!openSerialPort()) {
        endOperation(OperationResult::Failed, rt("The serial port could not be opened."));
        return true;
    }

    d->m_uploadFiles = projectFiles;
    d->m_projectConfig = projectConfig;
    d->m_uploadIndex = 0;
    d->m_canConfigPending = false;

    if (totalSize < 1) {
        qint64 sum = 0;
        for (const QString& path : projectFiles)
            sum += QFileInfo(path).size();
        totalSize = int(sum);
    }
    setTotalFileSize(totalSize);

    startWatchdog(6000);
    emit uploadProjectFileStatusChange(UploadStarted);
    return true;
}

void DeviceLink::failUpload(const QString& text)
{
    endOperation(OperationResult::Failed, text);
}

void DeviceLink::onProcessUploadFile(int status)
{
    const Frame frame(this);
    if (d->m_kind != OperationResult::ProjectUpload)
        return;
    if (!isSerialPortOpen()) {
        failUpload(rt("The serial port was closed."));
        return;
    }

    switch (status) {
    case UploadStarted:
        startDeviceWait(13000);
        changeDeviceMode(1, UploadModeChange);
        break;
    case UploadModeChanged:
        startWatchdog(6000);
        projectFilesAction(JobListStagingFolder);
        break;
    case UploadStagingFound:
        startWatchdog(6000);
        projectFilesAction(JobRemoveStagingFolder);
        break;
    case UploadStagingMissing:
        startWatchdog(6000);
        emit progressMessage(rt("No temporary folder on device."));
        emit uploadProjectFileStatusChange(UploadStagingRemoved);
        break;
    case UploadStagingRemoved:
        startWatchdog(6000);
        projectFilesAction(JobCreateStagingFolder);
        break;
    case UploadStagingCreated:
        uploadNextFile();
        break;
    case UploadFileAccepted:
        stopWatchdog();
        startTransfer();
        break;
    case UploadFileSent:
        ++d->m_uploadIndex;
        d->m_transferMode = 0;
        uploadNextFile();
        break;
    case UploadFilesSent:
        startWatchdog(6000);
        projectFilesAction(JobListProjectFolder);
        break;
    case UploadProjectFolderFound:
        startWatchdog(6000);
        projectFilesAction(JobRemoveProjectFolder);
        break;
    case UploadProjectFolderMissing:
        startWatchdog(6000);
        emit progressMessage(rt("No project folder on device."));
        emit uploadProjectFileStatusChange(UploadProjectFolderRemoved);
        break;
    case UploadProjectFolderRemoved:
        startWatchdog(6000);
        projectFilesAction(JobCreateProjectFolder);
        break;
    case UploadProjectFolderCreated:
        startWatchdog(6000);
        emit progressMessage(rt("Setting up the project folder..."));
        projectFilesAction(JobInstallProjectFolder);
        break;
    case UploadProjectInstalled:
        startWatchdog(6000);
        emit progressMessage(rt("Setting up the default screen..."));
        projectFilesAction(JobInstallProjectConfig);
        break;
    case UploadCanConfigPending:
        startWatchdog(6000);
        emit progressMessage(rt("Setting up the default screen..."));
        projectFilesAction(JobInstallCanConfig);
        break;
    case UploadConfigInstalled:
        startWatchdog(6000);
        emit progressMessage(rt("Check Data Log File..."));
        projectFilesAction(JobCheckDataLog);
        break;
    case UploadDataLogFound:
        startWatchdog(6000);
        emit progressMessage(rt("Deleting Data Log File..."));
        projectFilesAction(JobDeleteDataLog);
        break;
    case UploadDataLogCleared:
        applyProjectSettings();
        break;
    case UploadSettingsSaved:
        startWatchdog(6000);
        d->m_operation = UploadSync;
        remoteFsSync();
        emit progressMessage(rt("Saving configurations..."));
        // The device runs with the project's backlight once its settings are applied.
        if (const std::optional<int> brightness = DeviceRules::brightnessAfterUpload(d->m_projectConfig))
            updateInformation(QStringLiteral("backlight"), QString::number(*brightness));
        emit projectConfigurationFinished();
        break;
    case UploadSynced:
        startDeviceWait(6000);
        d->m_operation = UploadReboot;
        remoteReboot();
        emit progressMessage(rt("Please wait for file system to commit changes..."));
        break;
    case UploadRebooted:
        emit progressMessage(rt("Device restarting..."));
        endOperation(OperationResult::Succeeded, QString(), true);
        break;
    case UploadStagingRemoveFailed: failUpload(rt("Failed to remove the old temporary folder.")); break;
    case UploadStagingCreateFailed: failUpload(rt("Failed to create the temporary folder.")); break;
    case UploadProjectInstallFailed: failUpload(rt("Failed to set up the project folder.")); break;
    case UploadConfigInstallFailed:
    case UploadCanConfigInstallFailed: failUpload(rt("Failed to set up the default screen.")); break;
    case UploadDataLogRemoveFailed: failUpload(rt("Failed to remove data log file.")); break;
    case UploadProjectFolderRemoveFailed: failUpload(rt("Failed to remove the old project folder.")); break;
    case UploadProjectFolderCreateFailed: failUpload(rt("Failed to create the project folder.")); break;
    case UploadSettingsFailed: failUpload(rt("Failed to configure the device.")); break;
    default:
        break;
    }
}

void DeviceLink::uploadNextFile()
{
    stopWatchdog();
    d->m_busy = true;
    if (d->m_uploadIndex >= d->m_uploadFiles.size()) {
        d->m_busy = false;
        d->m_transferMode = 0;
        emit uploadProjectFileStatusChange(UploadFilesSent);
    } else {
        const QString path = d->m_uploadFiles.at(d->m_uploadIndex);
        d->m_operation = SendProjectFile;
        bool isProjectConfig = false;
        const QString deviceName = uploadDeviceName(path, &isProjectConfig);
        if (isProjectConfig)
            d->m_canConfigPending = d->m_uploadIndex == d->m_uploadFiles.size() - 2;
        emit currentFileChanged(path);
        d->m_fileSize = 0;
        setTransferFile(path, deviceName);
        if (d->m_fileSize <= 0 || d->m_fileContent.isEmpty()) {
            // Checked at the start, so the file changed since; nothing waits for it.
            const QString problem = unusableUploadFile(path);
            failUpload(problem.isEmpty() ? rt("The project file %1 cannot be read.").arg(path) : problem);
            return;
        }
        prepareSend();
        startWatchdog(6000);
        // Written while busy, so not through the command-writing rule; no flush before it.
        d->m_port->write(QStringLiteral("#LOAD<%1>%2#").arg(deviceName, QString::number(d->m_fileSize)).toLatin1());
        d->m_port->flush();
    }
    emit progressMessage(rt("Uploading project files..."));
}

void DeviceLink::applyProjectSettings()
{
    const Common::ConfigurationInfo& config = d->m_projectConfig;
    startWatchdog(6000);
    emit projectConfigurationStarted();

    remoteSetBacklight(config.displayBrightness());

    const Common::ConfigurationInfo::ChannelMap comPorts = config.serialCOMPorts();
    int directionPin = -1;
    if (comPorts.value(2, EnumHelper::UnavailableType) == EnumHelper::Direction) {
        remoteRs485DirectionPinConfig(1);
        directionPin = 1;
    }
    if (comPorts.value(3, EnumHelper::UnavailableType) == EnumHelper::Direction) {
        remoteRs485DirectionPinConfig(0);
        directionPin = 0;
    }

    const Common::ConfigurationInfo::ChannelMap digital = config.digitalInputOutputs();
    for (int channel = 0; channel < digital.size(); ++channel) {
        int type = digital.value(channel, EnumHelper::UnavailableType);
        // With the RS-485 direction on pin 1, channel 7 drives the transceiver.
        if (channel == 7 && directionPin == 1)
            type = EnumHelper::OutputType;
        remoteWriteIOConfig(channel, type, 0);
    }

    remoteSetScreenOrientation(0);

    startWatchdog(6000);
    d->m_operation = UploadSaveConfig;
    remoteSaveConfig();
    emit progressMessage(rt("Configuring the device..."));
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
