#ifndef SERIALPORTMANAGER_H
#define SERIALPORTMANAGER_H

#include "device_global.h"
#include "deviceprotocol.h"
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
class DEVICE_EXPORT SerialPortManager : public QObject, public DeviceProtocol
{
    Q_OBJECT
public:
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
    bool setActivePort(const QString& portName);
    QStringList connectedPorts() const;
    QMap<QString, QString> deviceInformation(const QString& portName) const;
    QMap<QString, QVariant> serialDeviceInformation(const QString& portName) const;

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
