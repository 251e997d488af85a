#ifndef SERIALPORTMANAGER_H
#define SERIALPORTMANAGER_H

#include "device_global.h"
#include "operationresult.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace Orvane {
namespace Tavrix {
namespace Common {
class CalibrationInfo;
class ConfigurationInfo;
}
namespace Runtime {

class SerialPortManagerPrivate;

// Owns the one serial connection to the devices: discovery, the command
// protocol, the packet transfer and every long device operation.
class DEVICE_EXPORT SerialPortManager : public QObject
{
    Q_OBJECT
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
        CalibrationRestoreModeChange = 62, BatteryLowCheck = 63, InstallCanConfig = 64
    };
    Q_ENUM(Operation)

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
    Q_ENUM(UploadStatus)

    // Steps of the software upgrade (upgradeDeviceStatusChange).
    enum UpgradeStatus {
        UpgradePackageSent = 100, UpgradeInstalled = 101, UpgradePackageAccepted = 102, UpgradeChecksumFailed = 103,
        UpgradeSynced = 104
    };
    Q_ENUM(UpgradeStatus)

    // Steps of the project retrieval (retrieveProjectFileStatusChange).
    enum ProjectRetrievalStatus {
        ProjectRetrievalStarted = 400, ProjectListReceived = 401, ProjectFileSizeKnown = 402,
        ProjectFileReceived = 403, ProjectFilesReceived = 404, ProjectRetrievalRebooted = 405,
        ProjectRetrievalFailed = 406
    };
    Q_ENUM(ProjectRetrievalStatus)

    // Steps of the data log retrieval (retrieveDataLogStatusChange).
    enum DataLogRetrievalStatus {
        LogRetrievalStarted = 500, LogRetrievalModeChanged = 501, LogZipped = 503, LogSizeKnown = 504,
        LogReceived = 505, LogStored = 506, LogRetrievalRebooted = 507, LogStoreFailed = 508, LogMissing = 509
    };
    Q_ENUM(DataLogRetrievalStatus)

    // Steps of the data log update (updateDataLogStatusChange).
    enum DataLogUpdateStatus {
        LogMovedAside = 510, LogUpdateSent = 511, LogUpdateStarted = 512, LogUpdateAccepted = 513,
        LogUpdateModeChanged = 514, LogUpdateInstalled = 516, LogBackupRemoved = 517, LogUpdateStaged = 518,
        LogStagingListed = 519, LogFolderListed = 522, LogUpdateRebooted = 523
    };
    Q_ENUM(DataLogUpdateStatus)

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
    Q_ENUM(ConfigurationState)

    // Steps of the font listing and management (deviceFontStatusChange).
    enum FontStatus {
        FontListingStarted = 300, FontListed = 301, FontListComplete = 302, FontRemovalStarted = 303,
        FontRemovalAcknowledged = 304, FontRemovalRefused = 305, FontRemovalFinished = 306,
        FontUploadPrepared = 307, FontReadyForUpload = 308, FontFileAccepted = 309, FontFileSent = 310,
        FontUploadFailed = 311, FontSyncStarted = 312, FontSynced = 313, FontInstallFailed = 314,
        FontSyncedAgain = 315, FontRebooted = 316
    };
    Q_ENUM(FontStatus)

    // Folder and file jobs of projectFilesAction and updateLogFilesAction.
    enum DeviceFileJob {
        JobCreateProjectFolder = 1, JobCreateStagingFolder = 2, JobRemoveProjectFolder = 3,
        JobRemoveStagingFolder = 4, JobListProjectFolder = 5, JobListStagingFolder = 6, JobInstallProjectFolder = 7,
        JobInstallProjectConfig = 8, JobInstallCanConfig = 9, JobDeleteDataLogBackup = 10, JobInstallDataLog = 11,
        JobListQmlFolder = 12, JobListTmpFolder = 13, JobCheckDataLog = 215, JobDeleteDataLog = 216,
        JobBackupDataLog = 515
    };
    Q_ENUM(DeviceFileJob)

    ~SerialPortManager() override;

    static SerialPortManager* instance();

    // Discovery opens only these ports (any of their names: "ttyACM0", "/dev/ttyACM0", a
    // link to it); others are neither opened nor listed. Called before the first instance()
    // nothing else is ever touched; later, ports outside the list are forgotten as if
    // unplugged. An empty list lifts the limit.
    static void restrictDiscovery(const QStringList& ports);

    bool openSerialPort();
    void closeSerialPort();
    QString activePort() const;
    bool isSerialPortOpen() const;
    bool isBusy() const;
    int currentOperation() const;
    void resetAllStatus();
    // False while an operation runs on the active port: it keeps that port to its end.
    bool setActivePort(const QString& portName);
    // The port of the identified device with this serial number, or empty.
    QString portOfDevice(const QString& serial) const;
    QStringList connectedPorts() const;
    QMap<QString, QString> deviceInformation(const QString& portName) const;
    QMap<QString, QVariant> serialDeviceInformation(const QString& portName) const;
    // Device ports present that this user may not open (no access rule installed).
    QStringList deniedPorts() const;

    // Transfer content of the next packet send.
    void setTransferFile(const QByteArray& fileContent, const QString& remotePath);
    // False when the file cannot be read whole; nothing is then left to announce.
    bool setTransferFile(const QString& localFilePath, const QString& remotePath);

    static quint16 crc16(const char* data, int length);
    static QString timeoutText(int operation);
    static int getLocalMinuteOffset();
    static int parseFileSizeReply(const QString& text);
    static QMap<QString, QString> parseHardwareDescription(const QString& reply);
    static bool isCompleteDeviceInformation(const QMap<QString, QString>& info);

public slots:
    // Single commands.
    void remoteReboot();
    void remoteWarmBoot();
    void remoteFsSync();
    void reportOn();
    void reportOff();
    void remoteZipLogFile();
    void remoteSetBacklight(int val);
    void remoteWriteIOConfig(int idx, int in_out, int val);
    void remoteWritePWMConfig(int idx, int val);
    void remoteWriteAlmConfig(int idx, int val);
    void remoteRs485DirectionPinConfig(int val);
    void remoteBatteryLowCheckConfig(bool enable);
    void remoteSaveConfig();
    void remoteEnableCalTouchScreen();
    void remoteSetScreenOrientation(int orientation);
    void remoteSetRealTimeClock(bool useDefault = true, int offset = 0);
    void remoteSetSerialNumber(const QString& serial);
    void remoteSetDeviceName();
    void remoteBackupFile(const QString& fromFile, const QString& toFile);
    void remoteRestoreFile(const QString& localFilePath, const QString& remotePath);
    void remoteMoveCalibrationFile();
    void remoteRestoreSplashScreen();
    void remoteMoveSplashScreen();
    void remoteUploadSplashScreenFile();
    void setTotalFileSize(int totalSize);
    void remoteShowDeviceInformation();
    void projectFilesAction(int job);
    void updateLogFilesAction(int job);
    void getRetrieveProjFileLst();

    // Device record updates.
    void updateTimeZone(const QString& portName, int timeZone);
    void updateBrightness(const QString& portName, int brightness);

    // Long operations. Each returns false, and emits nothing, when it is refused
    // because another operation holds the port (or there is nothing to do); once
    // it returns true, operationEnded follows exactly once (a check that fails
    // before the device is touched reports at once, before the call returns).
    bool uploadProject(const QStringList& projectFiles, const Orvane::Tavrix::Common::ConfigurationInfo& projectConfig, int totalSize = 0);
    bool upgradeDeviceSoftware(const QByteArray& packageContent);
    bool retrieveProjectFiles(const QString& destination);
    bool retrieveDataLogFile(const QString& destination);
    bool updateLogFile(const QString& localDatabasePath);
    bool configureDevice(Orvane::Tavrix::Common::CalibrationInfo* calibrationInfo);
    bool getInstalledFonts();
    bool manageFonts(const QMap<QString, qint64>& fontsToAdd, const QStringList& fontsToRemove);

    // Single commands as operations of their own (OperationResult::Command): they open
    // the active port, and end with operationEnded like the long operations.
    bool identifyDevice();
    bool syncDeviceClock(int offset);
    bool setDeviceBacklight(int level);
    bool rebootDevice();

signals:
    void serialDeviceDiscovered(const QMap<QString, QVariant>& info);
    void serialDeviceRemoved(const QMap<QString, QVariant>& info);
    void deviceConnected(const QMap<QString, QString>& info);
    void deviceDisconnected(const QMap<QString, QString>& info);
    void messageReceived(const QString& message);
    void broadcastMessage(const QString& type, const QString& title, const QString& content);

    void progressUpdated(int abstractValue);
    void progressError(const QString& error, bool needReboot);
    void progressMessage(const QString& message);
    void progressFinished(bool needReboot);
    // Once for every operation that was started, after the sequence's own signals.
    void operationEnded(const Orvane::Tavrix::Runtime::OperationResult& result);
    void currentFileChanged(const QString& file);
    void transferedFileSize(int size);
    // Bytes of the file being sent or received so far, per packet, for every transfer.
    void fileTransferProgress(qint64 done, qint64 total);
    // A device port was found that this user may not open.
    void portAccessDenied(const QString& portName);

    void initializeRetrieve(const QString& message, int filesCount);
    void initializeLogRetrieve(const QString& message, int filesCount);
    void sendingFileInitiated(const QString& message, int fileSize);
    void sentFile(const QString& message, int fileNumber);
    void retrievedProjectFiles();
    void retrievedDataLogFile();
    void retrieveProjectError();
    void retrieveDataLogError();
    void retrieveDataLogNoFile();

    void configureStateChange(int state);
    void projectConfigurationStarted();
    void projectConfigurationFinished();
    void timeZoneUpdated(int zone);
    void notifyInstalledFonts(const QStringList& fonts, bool isError);
    void deviceFontStatusChange(int status, int idx, const QString& fontName);
    void upgradeDeviceStatusChange(int status);
    void uploadProjectFileStatusChange(int status);
    void retrieveProjectFileStatusChange(int status);
    void retrieveDataLogStatusChange(int status);
    void updateDataLogStatusChange(int status);

protected:
    explicit SerialPortManager(QObject* parent = nullptr);
    bool initialize();
    void createScanner(const QString& portName, bool bootUp);
    void removeSerialDevice(const QString& portName);

private slots:
    void onReadyRead();
    void onPortError(QSerialPort::SerialPortError error);
    void onDelayTransferStart();
    void onTransferTimeOut();

    void onSerialDeviceDiscovered(const QMap<QString, QVariant>& info);
    void onSerialDeviceRemoved(const QMap<QString, QVariant>& info);
    void onDeviceConnected(const QMap<QString, QString>& info);
    void onDeviceBootedUp();
    void onScannerError(int lastError);

    void onProcessUploadFile(int status);
    void onUpgradeDeviceStatusChange(int status);
    void onRetrieveProjectFileStatusChange(int status);
    void onRetrieveDataLogStatusChange(int status);
    void onProcessUpdateLogFile(int status);
    void onConfigureStateChange(int state);
    void onDeviceFontStatusChange(int status, int idx, const QString& fontName);

private:
    // Command writing under the busy rule.
    bool writeCommand(const QByteArray& command, int operation, bool flush = true);
    void writeRaw(const QByteArray& bytes);
    void changeDeviceMode(int mode, int afterChangeMode);
    void abortOperation(const QString& failure);
    // Starts an operation of the given kind on the active port; false when one is running.
    bool beginOperation(OperationResult::Kind kind, bool openPort = true);
    // The one way an operation ends: the manager is idle and the port closed before
    // the sequence's own end signals and operationEnded are emitted.
    void endOperation(OperationResult::Outcome outcome, const QString& message = QString(), bool deviceRestarts = false);
    // The restart that closes a finished operation was not confirmed.
    void endWithUnconfirmedRestart();
    // The command port failed under a running operation.
    void endOnPortFailure();
    void endDataLogUpdate(OperationResult::Outcome outcome, const QString& message, bool deviceRestarts);
    void finishDataLogRestore(bool restored);
    void shutdownDiscovery();
    // A time-out for a reply; scaled by the test hook in WatchdogTimeouts.
    void startWatchdog(int msecs);
    // A wait set by the device's own pace (a restart, an install); never scaled.
    void startDeviceWait(int msecs);
    void stopWatchdog();
    void dispatchText();

    // Packet engine.
    void prepareSend();
    void txPacket(int mode = 0);
    void startTransfer();
    int processTxBytes(const QByteArray& bytes);
    void processTxReply(char rxData);
    void processRxPacket(const QByteArray& chunk);
    bool acceptRxPacket(const QByteArray& packet);
    void finishReceive();
    void endSendAsFailure();
    void rxError();

    // Upload sequence.
    void uploadNextFile();
    void applyProjectSettings();
    void failUpload(const QString& text);

    // Retrieval sequences.
    bool processRetrieveProjFileLst();
    void requestNextProjectFile();

    // Configuration sequence.
    void failConfiguration(const QString& text);
    void finishConfiguration();
    QString calibrationBackupPath() const;

    // Font sequence.
    void getInstalledFontsStart();
    void setRemoveFontsStart();
    void uploadFontFileStart();
    void uploadFontFile();
    bool processGetInstFontsList();

    // Splash and calibration helpers.
    QString activeModel() const;
    QString activeSoftwareVersion() const;

    SerialPortManagerPrivate* d;
    friend class SerialPortManagerPrivate;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // SERIALPORTMANAGER_H
