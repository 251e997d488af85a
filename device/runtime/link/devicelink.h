#ifndef DEVICELINK_H
#define DEVICELINK_H

#include "device_global.h"
#include "deviceprotocol.h"
#include "operationresult.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Common {
class CalibrationInfo;
class ConfigurationInfo;
}
namespace Runtime {

class DeviceLinkPrivate;
class SerialPortManager;

// One identified device's connection: its own port, reply buffer and dispatcher,
// watchdog and delay timers, packet transfer state and operation code, and every
// device operation. Operations on different links run at the same time; each one
// ends on its link with exactly one operationEnded.
//
// The serial port manager makes a link when discovery has identified a device and
// takes it away when the device goes (unplugged, or gone to restart): a running
// operation then ends as DeviceLost and the link is deleted later (deleteLater), so
// hold it in a QPointer. A new link is made when the device comes back.
class DEVICE_EXPORT DeviceLink : public QObject, public DeviceProtocol
{
    Q_OBJECT
public:
    // No clock to set before a single command.
    static constexpr int NoClock = -100000;

    ~DeviceLink() override;

    // The port as discovery names it; also OperationResult::port of its operations.
    QString portName() const;
    // The device's record (as SerialPortManager::deviceInformation); empty once it has gone.
    QMap<QString, QString> deviceInformation() const;
    // False once the device has gone; nothing starts on the link any more.
    bool isPresent() const;
    // An operation runs, from its start until its operationEnded.
    bool isRunning() const;
    OperationResult::Kind runningKind() const;
    // A running upload or upgrade still sending its files: nothing on the device has been
    // replaced yet, so cancelTransfer() can stop it.
    bool isTransferring() const;
    // Whether stopping now abandons the running operation (see stopSafely).
    bool isAbandonable() const;
    // Abandons such an operation: the device is sent the transfer's cancel (two CAN) and a
    // warm restart, and keeps its project or software; the operation ends as Failed with
    // the reason given. False, and nothing changes, once the device installs what it got:
    // stopped then, it would be left with neither the old nor the new.
    bool cancelTransfer(const QString& reason);
    // Stops the running operation without leaving the device without its project, software
    // or data log. A transfer that has replaced nothing yet (and a retrieval) is abandoned
    // at once, as cancelTransfer does: true, and the operation ends as Interrupted. A step
    // that puts things into place is let finish, and nothing further is begun that is not
    // needed to leave the device whole (a data log moved aside is moved back): false, and
    // the operation ends within its own time-outs.
    bool stopSafely(const QString& reason);
    bool isStopping() const;
    // What the running operation does now, as a phrase ("moving the project into place").
    QString stepText() const;
    // The manager re-emits this link's signals: its operation (or its last one) was
    // started through the manager.
    bool isManagerDriven() const;

    bool openSerialPort();
    void closeSerialPort();
    // The last open failed because another program holds the port (not for want of permission).
    bool openFailedInUse() const;
    bool isSerialPortOpen() const;
    bool isBusy() const;
    int currentOperation() const;
    void resetAllStatus();

    // Transfer content of the next packet send.
    void setTransferFile(const QByteArray& fileContent, const QString& remotePath);
    // False when the file cannot be read whole; nothing is then left to announce.
    bool setTransferFile(const QString& localFilePath, const QString& remotePath);

    static quint16 crc16(const char* data, int length);
    static QString timeoutText(int operation);
    static int parseFileSizeReply(const QString& text);

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

    // Long operations. Each returns false, and emits nothing, when it is refused
    // because another operation holds the link (or there is nothing to do); once
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
    // the port, and end with operationEnded like the long operations. Identify and reboot
    // set the device's clock first when given its time zone (minutes east of UTC), and go
    // on once the device has confirmed it.
    bool identifyDevice(int clockOffset = NoClock);
    bool syncDeviceClock(int offset);
    bool setDeviceBacklight(int level);
    bool rebootDevice(int clockOffset = NoClock);
    // Asks the device for its hardware description again (OperationResult::Identification):
    // deviceIdentified follows a complete answer, and the operation ends Succeeded; a device
    // that says nothing within replyMs ends it TimedOut, and nothing is restarted.
    bool probeIdentity(int replyMs);

signals:
    // The device's record changed (its clock's offset, its backlight, a fresh identification).
    void deviceInformationChanged(const QMap<QString, QString>& info);
    // The device answered probeIdentity with this complete description.
    void deviceIdentified(const QMap<QString, QString>& info);
    // The port failed under an open link: the port list should be read at once.
    void portFailed();
    void progressUpdated(int abstractValue);
    void progressError(const QString& error, bool needReboot);
    void progressMessage(const QString& message);
    // Something the user should know that is no step of the operation (a data log found
    // under its backup name and put back).
    void notice(const QString& text);
    void progressFinished(bool needReboot);
    // Once for every operation that was started, after the sequence's own signals.
    void operationEnded(const Orvane::Tavrix::Runtime::OperationResult& result);
    void currentFileChanged(const QString& file);
    void transferedFileSize(int size);
    // Bytes of the file being sent or received so far, per packet, for every transfer.
    void fileTransferProgress(qint64 done, qint64 total);

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

private slots:
    void onReadyRead();
    void onPortError(QSerialPort::SerialPortError error);
    void onDelayTransferStart();
    void onTransferTimeOut();

    void onProcessUploadFile(int status);
    void onUpgradeDeviceStatusChange(int status);
    void onRetrieveProjectFileStatusChange(int status);
    void onRetrieveDataLogStatusChange(int status);
    void onProcessUpdateLogFile(int status);
    void onConfigureStateChange(int state);
    void onDeviceFontStatusChange(int status, int idx, const QString& fontName);

private:
    // Made and taken away by the manager only.
    DeviceLink(const QString& portName, const QMap<QString, QString>& info, QObject* parent);
    friend class SerialPortManager;
    void setDeviceInformation(const QMap<QString, QString>& info);
    void updateInformation(const QString& key, const QString& value);
    bool processProbeReply();
    // A call made through the manager: the manager re-emits what follows.
    void enterManagerCall();
    void leaveManagerCall();
    // The device has gone: a running operation ends as DeviceLost, then the link is deleted.
    void deviceGone();
    // Deletes a link whose device has gone once no code of the link is running: receivers
    // of its signals may run event loops (a message box) in which the device goes.
    void release();
    // Link code on the stack, from an event or a call until it returns.
    class Frame
    {
    public:
        explicit Frame(DeviceLink* link);
        ~Frame();
        Frame(const Frame&) = delete;
        Frame& operator=(const Frame&) = delete;

    private:
        DeviceLink* m_link;
    };
    static void applyLineSettings(QSerialPort* port);

    // Command writing under the busy rule.
    bool writeCommand(const QByteArray& command, int operation, bool flush = true);
    void writeRaw(const QByteArray& bytes);
    void changeDeviceMode(int mode, int afterChangeMode);
    // A single command, after the clock when an offset is given.
    bool runCommand(const QByteArray& command, int operation, bool restarts, int clockOffset);
    void sendPendingCommand();
    void abortOperation(const QString& failure);
    // Starts an operation of the given kind; false when one is running.
    bool beginOperation(OperationResult::Kind kind, bool openPort = true);
    // The one way an operation ends: the link is idle and the port closed before
    // the sequence's own end signals and operationEnded are emitted.
    void endOperation(OperationResult::Outcome outcome, const QString& message = QString(), bool deviceRestarts = false);
    // The restart that closes a finished operation was not confirmed.
    void endWithUnconfirmedRestart();
    // The port failed under a running operation.
    void endOnPortFailure();
    void endDataLogUpdate(OperationResult::Outcome outcome, const QString& message, bool deviceRestarts);
    // Before a data log operation: a log left only under its backup name (an interrupted
    // update, a power loss) is put back first; then the operation goes on.
    void checkDataLogBackup();
    void onDataLogChecked(int operation, bool ok);
    void continueAfterDataLogCheck();
    void finishDataLogRestore(bool restored);
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

    // Splash and calibration helpers: this link's device.
    QString deviceModel() const;
    QString deviceSoftwareVersion() const;

    DeviceLinkPrivate* d;
    friend class DeviceLinkPrivate;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICELINK_H
