#ifndef LOGSELECTIONDIALOG_H
#define LOGSELECTIONDIALOG_H

#include "devicetarget.h"
#include "gui_global.h"
#include "operationrun.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

class QAction;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace Orvane {
namespace Tavrix {
namespace Runtime {
class OperationResult;
class RestartWatcher;
}
namespace Designer {

class DataLogChartWidget;
class MessageBox;
class TxListWidget;
class TxPathEdit;

// Lists the logs of a retrieved data log database, draws the chosen ones' values over
// time, writes them as text files into a folder and deletes logs from the device on
// request (the edited database goes back to the device, which then restarts).
class GUI_EXPORT LogSelectionDialog : public QDialog
{
    Q_OBJECT
public:
    enum ActionIndex { SelectAllAction, SelectInvertedAction, SelectNoneAction, ClearAction, ActionCount };

    // More logs than this are never selected at once.
    static const int SelectionLimit = 500;

    explicit LogSelectionDialog(const QString& logFolder, QWidget* parent = nullptr);
    ~LogSelectionDialog() override;

    QString logFolder() const { return m_logFolder; }
    QAction* action(ActionIndex which) const { return m_actions.value(which); }
    TxListWidget* logList() const { return m_logList; }
    TxPathEdit* destinationEdit() const { return m_destinationEdit; }
    QPushButton* selectButton() const { return m_selectButton; }
    QCheckBox* defaultLocationCheckBox() const { return m_defaultCheckBox; }
    QPushButton* downloadButton() const { return m_downloadButton; }
    QPushButton* closeButton() const { return m_closeButton; }
    QProgressBar* progressBar() const { return m_progressBar; }
    QLabel* statusLabel() const { return m_statusLabel; }
    DataLogChartWidget* chartWidget() const { return m_chart; }
    QStringList selectedLogs() const;

    // The device the logs came from, and the wait for its return from the restart that
    // ended the retrieval (owned by the caller or the dialog): clearing goes to that
    // device once it is back, never to another one. deviceLine: the device as its row
    // names it (name, serial, port), shown at the top.
    void setDevice(const QString& serial, Runtime::RestartWatcher* restart, const QString& deviceLine = QString());
    QString deviceLine() const;
    // The folder the destination field names, as the export will use it.
    QString destinationFolder() const;
    // The edited log is still being sent to the device: its run, whose end is not
    // reported here once the dialog has closed; null when none goes on.
    Runtime::OperationRun* updateRun() const { return m_updateRunning ? m_updateRun.data() : nullptr; }
    bool isUpdateRunning() const { return updateRun() != nullptr; }

public slots:
    QString defaultLocationPath();
    void showContextMenuForWidget(const QPoint& position);
    void onInvertSelection();
    void onClearSelection();
    void onSelectAll();
    void onRequestClear();
    void onLogSelectionChanged();
    void onDestinationDirChanged();
    void saveLastPath();
    void onCopyFiles();
    void updateFileList();
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QString databasePath() const;
    // Drops the logs from the local database, sends it back to the device and counts down.
    void clearLogs(const QStringList& names, const QString& exportSummary);
    // Sends the edited database once the device is back; false when it was refused.
    void startUpdate();
    void onUpdateEnded(const Runtime::OperationResult& result);
    void showClearingFailure(const QString& failure);
    // While work runs the dialog refuses to close and takes no new command.
    void setWorking(bool working);
    bool refuseCloseWhileWorking();
    void scrollToFirstSelected();
    void selectFirst(int count);
    int showBox(MessageBox* box);

    QString m_logFolder;
    QList<QAction*> m_actions;
    QLabel* m_deviceLabel = nullptr;
    QLabel* m_titleLabel = nullptr;
    TxListWidget* m_logList = nullptr;
    DataLogChartWidget* m_chart = nullptr;
    QLabel* m_destinationLabel = nullptr;
    TxPathEdit* m_destinationEdit = nullptr;
    QPushButton* m_selectButton = nullptr;
    QCheckBox* m_defaultCheckBox = nullptr;
    QPushButton* m_downloadButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_statusLabel = nullptr;
    int m_countdown = 0;
    int m_countdownTimerId = 0;
    bool m_working = false;
    QPointer<MessageBox> m_box;
    DeviceTarget m_device;
    QPointer<Runtime::RestartWatcher> m_restart;
    QString m_clearSummary;
    bool m_updateRunning = false;
    QPointer<Runtime::OperationRun> m_updateRun;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // LOGSELECTIONDIALOG_H
