#ifndef SERIALPORTMANAGER_H
#define SERIALPORTMANAGER_H

#include "device_global.h"
#include "deviceprotocol.h"
#include "operationresult.h"

#include <QByteArray>
#include <QList>
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

class DeviceLink;
class SerialPortManagerPrivate;

// Finds and identifies the devices and keeps their records; each identified device
// gets a DeviceLink of its own, on which its operations run. The single-port API
// below works on the active device's link and re-emits the signals of the
// operations started through it, so a caller may keep to the manager or use a
// device's link directly.
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
    // Under such a limit, ports that appear from now on are identified as well: a device
    // followed through its restart may come back under another name.
    static void followNewPorts();

    // The link of the device identified on the port (any of its names); null when none.
    DeviceLink* link(const QString& portName) const;
    // The links of every identified device, in the order of their port names.
    QList<DeviceLink*> links() const;

    // The active device's link, as the single-port API used it; never closes a running link.
    bool openSerialPort();
    void closeSerialPort();
    QString activePort() const;
    bool isSerialPortOpen() const;
    bool isBusy() const;
    int currentOperation() const;
    void resetAllStatus();
    // Makes the port's device the one the calls below go to. False while an operation
    // runs on the active device's link: the manager serves one operation at a time, and
    // the running one keeps its port to its end. (Each device's own link is free meanwhile.)
    bool setActivePort(const QString& portName);
    // The port of the identified device with this serial number, or empty. Two devices may
    // share a serial number (a factory default, a cloned image): then the one at `port` (any
    // of its names) is meant, and without such a port there is no answer, never a guess.
    QString portOfDevice(const QString& serial, const QString& port = QString()) const;
    // Every port where a device with this serial number is identified, in port order.
    QStringList portsOfDevice(const QString& serial) const;
    QStringList connectedPorts() const;
    QMap<QString, QString> deviceInformation(const QString& portName) const;
    QMap<QString, QVariant> serialDeviceInformation(const QString& portName) const;
    // Device ports present that this user may not open (no access rule installed).
    QStringList deniedPorts() const;
    // Device ports present that another program holds; each is tried again until it is free.
    QStringList portsInUse() const;

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

    // Long operations on the active device's link. Each returns false, and emits
    // nothing, when it is refused because another operation holds that link (or
    // there is nothing to do); once it returns true, operationEnded follows exactly
    // once (a check that fails before the device is touched reports at once, before
    // the call returns).
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
    // A device's link exists from just before its deviceConnected; it is taken away just
    // before its deviceDisconnected (a running operation then ends as DeviceLost on it,
    // after which the link is deleted later).
    void linkAdded(Orvane::Tavrix::Runtime::DeviceLink* link);
    void linkRemoved(Orvane::Tavrix::Runtime::DeviceLink* link);

    // The signals of the links' operations started through the manager.
    void progressUpdated(int abstractValue);
    void progressError(const QString& error, bool needReboot);
    void progressMessage(const QString& message);
    void progressFinished(bool needReboot);
    // Once for every operation that was started, after the sequence's own signals.
    void operationEnded(const Orvane::Tavrix::Runtime::OperationResult& result);
    // The end of every operation on every device's link, started through the manager or on
    // the link itself; the result names the port.
    void deviceOperationEnded(const Orvane::Tavrix::Runtime::OperationResult& result);
    void currentFileChanged(const QString& file);
    void transferedFileSize(int size);
    // Bytes of the file being sent or received so far, per packet, for every transfer.
    void fileTransferProgress(qint64 done, qint64 total);
    // A device port was found that this user may not open.
    void portAccessDenied(const QString& portName);
    // A device port was found that another program holds.
    void portInUse(const QString& portName);

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
    void onSerialDeviceDiscovered(const QMap<QString, QVariant>& info);
    void onSerialDeviceRemoved(const QMap<QString, QVariant>& info);
    void onDeviceConnected(const QMap<QString, QString>& info);
    void onDeviceBootedUp();
    void onScannerError(int lastError);

private:
    friend class DeviceLink;
    DeviceLink* activeLink() const;
    // A stand-in is no device's link: it serves a call on an active port whose device
    // has gone (or was never identified), which then fails as it did on the one port.
    DeviceLink* createLink(const QString& portName, bool standIn = false);
    // Runs call on the active device's link as a call made through the manager.
    template <typename Call>
    auto onActiveLink(Call call) -> decltype(call(nullptr));
    // A link's port failed: the port list is read at once to confirm an unplug.
    void confirmPorts();
    // Identifies a port found again once its link is free.
    void startDeferredScan(DeviceLink* link);
    void shutdownDiscovery();

    SerialPortManagerPrivate* d;
    friend class SerialPortManagerPrivate;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // SERIALPORTMANAGER_H
