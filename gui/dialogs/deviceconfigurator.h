#ifndef DEVICECONFIGURATOR_H
#define DEVICECONFIGURATOR_H

#include "calibrationinfo.h"
#include "devicetarget.h"
#include "gui_global.h"
#include "operationresult.h"
#include "operationrun.h"

#include <QDialog>
#include <QPointer>
#include <QString>

class QCheckBox;
class QMimeData;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace Orvane {
namespace Tavrix {
namespace Designer {

class ComboBox;
class TransferStatusLabel;
class TxDateTimeEdit;

// Lets the user choose what one configuration run changes on a device:
// calibration backup or restore, clock and battery check, name and splash image.
class GUI_EXPORT DeviceConfigurator : public QDialog
{
    Q_OBJECT
public:
    explicit DeviceConfigurator(QWidget* parent = nullptr);
    ~DeviceConfigurator() override;

    QString activePort() const { return m_portName; }
    // The device this configurator is for, known by its serial number through restarts.
    void setDeviceSerial(const QString& serial);
    const Common::CalibrationInfo& calibrationInfo() const { return m_info; }
    bool isBusy() const { return m_busy; }
    // "%1/Lumatra/Calibrations" in the documents folder.
    static QString calibrationDirectory();
    // The backup file of the device with this serial number.
    static QString calibrationFilePath(const QString& serial);

    // Loads a splash image as choosing or dropping it does; false when it was refused or not confirmed.
    bool loadImage(const QString& path);

    QPushButton* configureButton() const { return m_configureButton; }
    // Shown while a run goes on: stops it safely (see OperationRun::stopSafely).
    QPushButton* cancelButton() const { return m_cancelButton; }
    QLabel* deviceLabel() const { return m_deviceLabel; }
    QLabel* messageLabel() const { return m_messageLabel; }
    QLabel* splashTimeLabel() const { return m_splashTimeLabel; }
    QProgressBar* progressBar() const { return m_progressBar; }
    TransferStatusLabel* transferLabel() const { return m_transferLabel; }

    // Each opening starts from the device as it is: no calibration job, no clock,
    // name or splash change; the clock shows the device's time zone and the name
    // edit its name. Only the battery check and the image folder are kept.
    void resetChoices();
    // "about 3 minutes": how long the line takes for `bytes`.
    static QString lineTimeText(qint64 bytes);

signals:
    void configurationStarted();
    void configurationEnded(bool success);
    void timeZoneUpdated(int timeZone);
    void deviceNameChanged(const QString& name);

public slots:
    void setActivePort(const QString& portName);
    void reject() override;
    void onCalibrationChanged();
    void onBatteryLowCheckClicked();
    void onTimeClicked();
    void onTimeZoneChanged();
    void onRestoreSplashClicked();
    void onBrowseImage();
    void onClearImage();
    void onConfigure();
    void onCancel();
    // cancelled: the user stopped the run; told as information, not as a failure.
    void onConfigurationError(const QString& error, bool needReboot, bool cancelled = false);
    void onConfigurationFinished(bool needReboot);
    void onDeviceNameChanged();
    bool validateConfigureInfo();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void onOperationEnded(const Orvane::Tavrix::Runtime::OperationResult& result);
    void onStepDone(int step);
    void onFileProgress(qint64 done, qint64 total);

private:
    void setupWidgets();
    void showSplashTime();
    void showActivity(const QString& text);
    void setControlsEnabled(bool enabled);
    void updateConfigureButton();
    void dropConnections();
    void stopCountdown();
    void finishReject();
    // Nothing left to do after a choice was dropped: "Configure" goes off and the run stops.
    bool nothingLeft();
    DeviceTarget device() const;
    QString serial() const;
    QString currentDeviceName() const;
    static QString droppedImage(const QMimeData* mime);

    QString m_portName;
    DeviceTarget m_device;
    QString m_lastImagePath;
    Common::CalibrationInfo m_info;
    bool m_busy = false;
    bool m_nameChangeRunning = false;
    int m_lastStep = 0;
    qint64 m_fileTotal = -1; // the file moving now, -1 between files
    int m_countdown = 0;
    int m_countdownTimer = 0;
    QList<QMetaObject::Connection> m_connections;

    QLabel* m_deviceLabel = nullptr;
    QLabel* m_splashTimeLabel = nullptr;
    TransferStatusLabel* m_transferLabel = nullptr;
    QLineEdit* m_modelEdit = nullptr;
    QLineEdit* m_serialEdit = nullptr;
    QLineEdit* m_firmwareEdit = nullptr;
    QLineEdit* m_softwareEdit = nullptr;
    ComboBox* m_calibrationCombo = nullptr;
    QCheckBox* m_timeBox = nullptr;
    ComboBox* m_signCombo = nullptr;
    TxDateTimeEdit* m_timeEdit = nullptr;
    QCheckBox* m_batteryBox = nullptr;
    QCheckBox* m_nameBox = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    QCheckBox* m_restoreSplashBox = nullptr;
    QLineEdit* m_splashEdit = nullptr;
    QPushButton* m_browseButton = nullptr;
    QPushButton* m_clearButton = nullptr;
    QLabel* m_errorLabel = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_messageLabel = nullptr;
    QPushButton* m_configureButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPointer<QDialog> m_openDialog;
    QPointer<Runtime::OperationRun> m_run;
    bool m_cancelled = false;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICECONFIGURATOR_H
