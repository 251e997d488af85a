#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "batchwindow.h"
#include "deviceitemwidget.h"
#include "historywindow.h"

#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QString>

class QAction;
class QLabel;
class QListWidgetItem;
class QStackedWidget;
class QVBoxLayout;

namespace Orvane {
namespace Tavrix {
namespace Designer {

class AboutDialog;
class DeviceListHolder;
class HandOverServer;

// The program's window: one row per identified device, kept in step with the
// serial port manager. While it exists it holds the single-instance lock with
// the port of its local server in it.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    void setUpWindow();

    DeviceListHolder* deviceList() const { return m_deviceList; }
    DeviceItemWidget* rowForSerial(const QString& serial) const { return m_deviceWidgets.value(serial); }
    DeviceItemWidget* currentRow() const { return m_currentWidget; }
    quint16 serverPort() const;
    QLabel* heading() const { return m_heading; }
    QAction* rowMenuAction() const { return m_rowMenuAction; }
    HistoryWindow* historyWindow() const { return m_historyWindow; }
    BatchWindow* batchWindow() const { return m_batchWindow; }
    // What the window shows in place of an empty list.
    QLabel* emptyHint() const { return m_emptyHint; }
    // The row kept after "Reboot Device" while its device is away, or null.
    DeviceItemWidget* restartingRow(const QString& serial) const { return m_restartingRows.value(serial); }

public slots:
    void onDeviceConnected(const QMap<QString, QString>& deviceInfo);
    void onDeviceDisconnected(const QMap<QString, QString>& deviceInfo);
    void setCurrentItem(QListWidgetItem* current, QListWidgetItem* previous);
    void onWidgetSelected();
    void showAboutDialog();
    void onFontAction();
    // Reports the end of a log clearing whose dialog has closed, if it failed.
    void followLogClearing(const QString& deviceText, Orvane::Tavrix::Runtime::OperationRun* run);
    void openCurrentRowMenu();
    // The service history window, showing one device's entries when a serial number is given.
    void showHistory(const QString& serial = QString());
    // The batch window: one package to many devices at once.
    void showBatch();
    void updateEmptyHint();

    // Stops every device operation safely and closes once they have ended; asked from
    // outside (a signal, a logout), the program then ends.
    void stopSafelyAndClose();
    void stopSafelyAndQuit();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Asked before closing while device operations run: wait, stop safely, or stay.
    void askBeforeClosing();
    // Closes the window once no device operation runs any more.
    void closeWhenIdle();
    void makeCurrent(DeviceItemWidget* widget);
    // Takes a row and its item out of the list, now or once its command has returned.
    void dropRow(DeviceItemWidget* widget, QListWidgetItem* item);

    QWidget* m_centralWidget = nullptr;
    QVBoxLayout* m_layout = nullptr;
    QLabel* m_heading = nullptr;
    HandOverServer* m_handOver = nullptr; // holds the single-instance lock
    QDialog* m_aboutDialog = nullptr;
    QPointer<DeviceItemWidget> m_currentWidget;
    QAction* m_fontAction = nullptr;
    QAction* m_rowMenuAction = nullptr;
    DeviceListHolder* m_deviceList = nullptr;
    QStackedWidget* m_listStack = nullptr;
    QLabel* m_emptyHint = nullptr;
    QPointer<QDialog> m_fontsDialog;
    QPointer<HistoryWindow> m_historyWindow;
    QPointer<BatchWindow> m_batchWindow;
    QMap<QString, DeviceItemWidget*> m_deviceWidgets;
    QMap<QString, QListWidgetItem*> m_deviceItems;
    QMap<QString, DeviceItemWidget*> m_restartingRows;
    QMap<QString, QListWidgetItem*> m_restartingItems;
    bool m_closing = false;       // the close waits for the operations' end
    bool m_mayClose = false;      // nothing left that the close must wait for
    bool m_quitWhenClosed = false;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // MAINWINDOW_H
