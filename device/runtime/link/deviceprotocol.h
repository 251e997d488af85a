#ifndef DEVICEPROTOCOL_H
#define DEVICEPROTOCOL_H

#include "device_global.h"

namespace Orvane {
namespace Tavrix {
namespace Runtime {

// The numbers the device link works with: the operation code recorded before a command
// that expects a reply, and the steps of each long sequence. Both the serial port
// manager and every device link know them under their own name.
class DeviceProtocol
{
public:
    // Operation codes recorded before a command that expects a reply.
    enum Operation {
        NoOperation = 0,
        FetchCalibrationFile = 1, FetchProjectFile = 2, FetchDataLog = 3,
        SendCalibrationFile = 4, SendSplashImage = 5, SendSoftwarePackage = 6, SendProjectFile = 7,
        SendDataLog = 8, SendFontFile = 9,
        UploadModeChange = 10, RetrieveLogModeChange = 11, UpdateLogModeChange = 12,
        UploadSaveConfig = 13, ConfigureSaveConfig = 14, InstallCalibrationFile = 15,
        VerifyStagingFolder = 16, VerifyProjectFolder = 17, RemoveStagingFolder = 18, RemoveProjectFolder = 19,
        CreateStagingFolder = 20, CreateProjectFolder = 21, InstallProjectFolder = 22, InstallProjectConfig = 23,
        CheckDataLog = 24, DeleteDataLog = 25, RestoreSplash = 26, InstallSplash = 27,
        BackupDataLog = 28, DeleteDataLogBackup = 29, ListQmlFolder = 30, ListTmpFolder = 31, InstallDataLog = 32,
        UpgradeFinished = 33, UploadSync = 34, ConfigureSync = 35, FontSync = 36,
        UploadReboot = 37, ConfigureReboot = 38, FontReboot = 39, RetrieveProjectReboot = 40,
        RetrieveLogReboot = 41, UpdateLogReboot = 42,
        ZipDataLog = 43, RestoreDataLogBackup = 44,
        SetClock = 45, SetDeviceName = 46, ListFonts = 47, RemoveFonts = 48, ListProjectFiles = 49,
        StartTouchCalibration = 50, WarmReboot = 51, ReportOn = 52, ReportOff = 53, SetOrientation = 54,
        SetSerialNumber = 55, ShowDeviceInformation = 56, SetBacklight = 58,
        SplashModeChange = 59, FontModeChange = 60, CalibrationBackupModeChange = 61,
        CalibrationRestoreModeChange = 62, BatteryLowCheck = 63, InstallCanConfig = 64,
        ProbeIdentity = 65, CheckDataLogPresent = 66, CheckDataLogBackup = 67, RecoverDataLog = 68
    };

    // Steps of the project upload (uploadProjectFileStatusChange).
    enum UploadStatus {
        UploadStagingCreated = 200, UploadFileSent = 201, UploadFilesSent = 202, UploadFileAccepted = 203,
        UploadStarted = 204, UploadModeChanged = 205, UploadStagingFound = 206, UploadStagingRemoveFailed = 207,
        UploadStagingRemoved = 208, UploadStagingCreateFailed = 209, UploadStagingMissing = 210,
        UploadProjectFolderCreated = 211, UploadProjectInstallFailed = 212, UploadProjectInstalled = 213,
        UploadConfigInstallFailed = 214, UploadConfigInstalled = 215, UploadDataLogFound = 216,
        UploadDataLogRemoveFailed = 217, UploadProjectFolderFound = 221, UploadProjectFolderRemoveFailed = 222,
        UploadProjectFolderRemoved = 223, UploadProjectFolderCreateFailed = 224, UploadProjectFolderMissing = 225,
        UploadDataLogCleared = 226, UploadSettingsSaved = 227, UploadSettingsFailed = 228, UploadSynced = 229,
        UploadRebooted = 230, UploadCanConfigPending = 231, UploadCanConfigInstallFailed = 232
    };

    // Steps of the software upgrade (upgradeDeviceStatusChange).
    enum UpgradeStatus {
        UpgradePackageSent = 100, UpgradeInstalled = 101, UpgradePackageAccepted = 102, UpgradeChecksumFailed = 103,
        UpgradeSynced = 104
    };

    // Steps of the project retrieval (retrieveProjectFileStatusChange).
    enum ProjectRetrievalStatus {
        ProjectRetrievalStarted = 400, ProjectListReceived = 401, ProjectFileSizeKnown = 402,
        ProjectFileReceived = 403, ProjectFilesReceived = 404, ProjectRetrievalRebooted = 405,
        ProjectRetrievalFailed = 406
    };

    // Steps of the data log retrieval (retrieveDataLogStatusChange).
    enum DataLogRetrievalStatus {
        LogRetrievalStarted = 500, LogRetrievalModeChanged = 501, LogZipped = 503, LogSizeKnown = 504,
        LogReceived = 505, LogStored = 506, LogRetrievalRebooted = 507, LogStoreFailed = 508, LogMissing = 509
    };

    // Steps of the data log update (updateDataLogStatusChange).
    enum DataLogUpdateStatus {
        LogMovedAside = 510, LogUpdateSent = 511, LogUpdateStarted = 512, LogUpdateAccepted = 513,
        LogUpdateModeChanged = 514, LogUpdateInstalled = 516, LogBackupRemoved = 517, LogUpdateStaged = 518,
        LogStagingListed = 519, LogFolderListed = 522, LogUpdateRebooted = 523
    };

    // Steps of the device configuration (configureStateChange).
    enum ConfigurationState {
        ConfigStart = 0, ConfigNextJob = 1, ConfigTouchCalibrationEcho = 5, ConfigClockSet = 7,
        ConfigClockFailed = 8, ConfigCalibrationSent = 10, ConfigCalibrationInstalled = 13,
        ConfigCalibrationInstallFailed = 14, ConfigCalibrationSizeKnown = 16, ConfigCalibrationReceived = 17,
        ConfigCalibrationTransferFailed = 18, ConfigSettingsSaved = 20, ConfigSettingsFailed = 21,
        ConfigCommitted = 23, ConfigCommitFailed = 24, ConfigRebooted = 25, ConfigCalibrationAccepted = 26,
        ConfigSplashAccepted = 27, ConfigSplashSent = 29, ConfigSplashRestored = 32, ConfigSplashRestoreFailed = 33,
        ConfigSplashInstalled = 35, ConfigSplashInstallFailed = 36, ConfigNameSet = 38, ConfigNameFailed = 39,
        ConfigSplashModeChanged = 40, ConfigBackupModeChanged = 41, ConfigRestoreModeChanged = 42,
        ConfigBatteryCheckSet = 44, ConfigAddressSet = 46, ConfigAddressFailed = 47
    };

    // Steps of the font listing and management (deviceFontStatusChange).
    enum FontStatus {
        FontListingStarted = 300, FontListed = 301, FontListComplete = 302, FontRemovalStarted = 303,
        FontRemovalAcknowledged = 304, FontRemovalRefused = 305, FontRemovalFinished = 306,
        FontUploadPrepared = 307, FontReadyForUpload = 308, FontFileAccepted = 309, FontFileSent = 310,
        FontUploadFailed = 311, FontSyncStarted = 312, FontSynced = 313, FontInstallFailed = 314,
        FontSyncedAgain = 315, FontRebooted = 316
    };

    // Folder and file jobs of projectFilesAction and updateLogFilesAction.
    enum DeviceFileJob {
        JobCreateProjectFolder = 1, JobCreateStagingFolder = 2, JobRemoveProjectFolder = 3,
        JobRemoveStagingFolder = 4, JobListProjectFolder = 5, JobListStagingFolder = 6, JobInstallProjectFolder = 7,
        JobInstallProjectConfig = 8, JobInstallCanConfig = 9, JobDeleteDataLogBackup = 10, JobInstallDataLog = 11,
        JobListQmlFolder = 12, JobListTmpFolder = 13, JobCheckDataLog = 215, JobDeleteDataLog = 216,
        JobBackupDataLog = 515
    };
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICEPROTOCOL_H
