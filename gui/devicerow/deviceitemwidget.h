#ifndef DEVICEITEMWIDGET_H
#define DEVICEITEMWIDGET_H

#include "gui_global.h"
#include "softwarepackagechecker.h"

#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

class QAction;
class QDomNodeList;
class QLabel;
class QMenu;
class QToolButton;

namespace Orvane {
namespace Tavrix {
namespace Runtime {
class DeviceLink;
class OperationRun;
class RestartWatcher;
}
namespace Designer {

class DeviceConfigurator;
class DeviceFontsDialog;
class DeviceLogRetrieveDialog;
class HardwareInfoDialog;
class LogSelectionDialog;
class MessageBox;

// One row of the device list: the device's name, serial number, model and
// software, and the menu through which every device operation starts.
class GUI_EXPORT DeviceItemWidget : public QWidget
{
    Q_OBJECT
public:
    // The ten menu actions, in menu order.
    enum Action {
        IdentifyAction, HardwareInfoAction, ConfigurationAction, FontsAction, UpgradeAction,
        RebootAction, RetrieveLogAction, UploadAction, SyncClockAction, HistoryAction, ActionCount
    };

    explicit DeviceItemWidget(QWidget* parent = nullptr);
    ~DeviceItemWidget() override;

    void setDeviceInfo(const QMap<QString, QString>& info);
    // The device identified again where it is (e.g. after a restart it stayed on the line
    // through): its record changes, nothing is sent.
    void updateDeviceInfo(const QMap<QString, QString>& info);
    // The port the row's device is at (or was, once it has gone).
    QString port() const;
    // "Panel 1 (2331LN001), port /dev/ttyACM0": how the row's questions and messages name the device.
    QString deviceLine() const;
    // Another connected device has the same serial number: the row says so.
    void setTwin(bool twin);
    bool isTwin() const;
    QString twinText() const;
    QMap<QString, QString> getDeviceInfo() const;
    QString serialNumber() const { return m_serial; }

    QAction* action(Action which) const { return m_actions.value(which); }
    QList<QAction*> actions() const { return m_actions; }
    QMenu* functionMenu() const { return m_menu; }
    QToolButton* menuButton() const { return m_menuButton; }
    HardwareInfoDialog* hardwareInfoDialog() const { return m_hardwareInfoDialog; }
    // The data log dialogs while they are open, else null.
    DeviceLogRetrieveDialog* logRetrieveDialog() const;
    LogSelectionDialog* logSelectionDialog() const;
    DeviceConfigurator* deviceConfigurator() const { return m_configurator; }
    DeviceFontsDialog* deviceFontsDialog() const { return m_fontsDialog; }
    QString nameText() const;
    QString informationText() const;
    // While the device restarts after "Reboot Device", and when it did not come back:
    // what the row shows in place of its model and software.
    QString stateText() const;
    // What the list tells a screen reader of the row besides its device: model and software, or its state.
    QString summaryText() const;

    QString tempProjectDirectory() const { return m_tempProjectPath; }
    QString tempLogDBDirectory() const { return m_tempLogPath; }
    // The folder below the temporary location under which rows keep their working folders.
    static QString temporaryBaseDirectory();

    void uploadProjectWithFile(const QString& filePath);
    bool deleteTempProjectDirectory();
    bool deleteTempLogDBDirectory();

    // How a device software package's "Device" entries fit the device.
    using SoftwareCompatibility = Common::SoftwarePackageChecker::SoftwareCompatibility;
    static SoftwareCompatibility isDeviceCompatible(const QString& model, const QString& firmware, const QString& runtime,
                                                    const QDomNodeList& devices);

    // Whether a drag or drop carrying these URLs names exactly one package this row takes.
    static bool isAcceptablePackage(const QList<QUrl>& urls);

    // A box or dialog of this row is open, or one of its commands runs. The row must
    // then outlive the device's removal until interactionEnded(): every entry point
    // holds the row for the whole of its work, nested event loops included.
    bool isInteracting() const { return m_interactions > 0; }
    // The device has gone: the row stays inert (every action disabled) until it goes too.
    void retire();
    bool isRetired() const { return m_retired; }
    // Told to restart and not back yet (or not back at all): the row waits for it.
    bool isRestarting() const { return m_restartState != NotRestarting; }
    bool didNotComeBack() const { return m_restartState == NotBack; }
    // How long a restarting device may stay away before the row says it did not come back.
    static void setRestartReturnMs(int ms);

signals:
    void selected();
    void interactionEnded();
    // Clearing logs goes on after the dialog closed, in this run; deviceText names the device.
    void logClearingContinues(const QString& deviceText, Orvane::Tavrix::Runtime::OperationRun* run);
    // A short confirmation for the window's status bar.
    void statusMessage(const QString& text);
    // The fonts dialog asks for the program's font settings.
    void fontSettingsRequested();
    // The service history of this row's device (its serial number) is asked for.
    void historyRequested(const QString& serial);
    // The row's name, information or state has changed.
    void summaryChanged();

public slots:
    void updateBrightness(int brightness);
    void upgradeDeviceWithFile(const QString& filePath);
    void onRebootDevice();
    void onRetrieveDeviceLog();
    void onUpgradeDeviceSoftware();
    void onIdentifyDevice();
    void onProjectUpload();
    void onDeviceLogRetrieved();
    void onSyncTime();
    void onConfigDevice();
    bool createTempProjectDirectory();
    void enableDeviceManager();
    void disableDeviceManager();
    bool createTempLogDBDirectory();
    void updateCurrentName(const QString& name);
    void onManageFonts();
    void showHardwareInformation();
    void onShowHistory();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    class Interaction;
    enum RestartState { NotRestarting, Restarting, NotBack };

    void onRestartFinished(bool back);
    // A question or message about the row's device: it names the device and leaves the row in sight.
    int ask(const QString& title, const QString& text);
    void tell(int icon, const QString& title, const QString& text);
    int showBeside(MessageBox* box);
    // The device was told to restart: the row waits for it, and says when it did not come back.
    void watchRestart();
    // Hooks the row to its device's link: an operation that ends with a restart is followed.
    void followLink();
    // Where the device is now (by its serial number; by the row's port when it has a twin).
    QString devicePort() const;
    // The time zone to set the clock to before identify and reboot, or DeviceLink::NoClock.
    int clockOffset() const;
    void showState(const QString& text);
    // "name (serial)" as the device is known now.
    QString deviceTitle() const;

    void setupWidgets();
    void refreshInformation();
    void setManagerEnabled(bool enabled);
    // This row's device's link when a command may start on it, else null with the reason.
    Runtime::DeviceLink* ownLink(QString* error = nullptr);
    // The device's valid time-zone offset in minutes, or false.
    bool deviceTimeZone(int* minutes) const;
    bool createTempDirectory(const QString& leaf, QString* stored);
    bool deleteTempDirectory(QString* stored);
    // The device as the manager knows it now (brightness and name follow changes).
    QMap<QString, QString> currentDeviceInfo() const;

    QString m_tempLogPath;
    QString m_tempProjectPath;
    QPointer<DeviceLogRetrieveDialog> m_logRetrieveDialog;
    QPointer<LogSelectionDialog> m_logSelectionDialog;
    QLabel* m_nameLabel = nullptr;
    QLabel* m_captionLabel = nullptr;
    QMenu* m_menu = nullptr;
    QToolButton* m_menuButton = nullptr;
    QList<QAction*> m_actions;
    QString m_serial;
    QMap<QString, QString> m_deviceInfo;
    HardwareInfoDialog* m_hardwareInfoDialog = nullptr;
    DeviceConfigurator* m_configurator = nullptr;
    DeviceFontsDialog* m_fontsDialog = nullptr;
    QLabel* m_infoLabel = nullptr;
    QLabel* m_stateLabel = nullptr;
    RestartState m_restartState = NotRestarting;
    QPointer<Runtime::RestartWatcher> m_restartWatcher;
    QLabel* m_twinLabel = nullptr;
    QMetaObject::Connection m_linkConnection;
    int m_interactions = 0;
    bool m_retired = false;
    bool m_clockSyncPending = false;
    // The clock set for a newly shown device is no operation of the user's: not recorded.
    bool m_automaticClock = false;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICEITEMWIDGET_H
