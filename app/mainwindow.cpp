#include "mainwindow.h"

#include "aboutdialog.h"
#include "device.h"
#include "deviceinformation.h"
#include "deviceitemwidget.h"
#include "devicelistholder.h"
#include "diagnostics.h"
#include "fontscenter.h"
#include "fontsdialog.h"
#include "handoverserver.h"
#include "historyserverdialog.h"
#include "historywindow.h"
#include "instancelock.h"
#include "localizationhelper.h"
#include "messagebox.h"
#include "norraapplication.h"
#include "operationrun.h"
#include "portenumerator.h"
#include "runningoperationsquestion.h"
#include "serialportmanager.h"
#include "servicehistory.h"
#include "servicehistorywriter.h"
#include "signaturerequirement.h"
#include "slotnamesdialog.h"
#include "texthelper.h"

#include <QAction>
#include <QCloseEvent>
#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QInputDialog>
#include <QLabel>
#include <QListWidgetItem>
#include <QPersistentModelIndex>
#include <QSignalBlocker>
#include <QMenuBar>
#include <QProcess>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdlib>
#include <memory>

using Orvane::Tavrix::Common::lcApp;

using Orvane::Tavrix::Common::guiText;

using Orvane::Tavrix::Common::LocalizationHelper;
using Orvane::Tavrix::Common::ServiceHistory;
using Orvane::Tavrix::Common::ServiceHistoryWriter;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Common::TextHelper;
using Orvane::Tavrix::Runtime::Device;
using Orvane::Tavrix::Runtime::DeviceInformation;
using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::OperationRun;
using Orvane::Tavrix::Runtime::PortEnumerator;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace Orvane {
namespace Tavrix {
namespace Designer {

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    // The application hands over the lock it took at start, still held; a window
    // made without one (as in the tests) takes it itself.
    InstanceLock* lock = nullptr;
    if (auto* application = qobject_cast<NorraApplication*>(qApp))
        lock = application->takeInstanceLock();
    if (!lock) {
        lock = new InstanceLock(NorraApplication::lockFilePath());
        if (lock->tryAcquire() != InstanceLock::Acquired) {
            delete lock;
            NorraApplication::showStartupError(guiText("Error"), guiText("Failed to acquire file lock."));
            std::exit(-1);
        }
    }

    m_handOver = new HandOverServer(this);
    if (!m_handOver->start(lock)) {
        NorraApplication::showStartupError(guiText("Error"), m_handOver->errorString());
        std::exit(-1);
    }
    // A second start brings this window to the front.
    connect(m_handOver, &HandOverServer::newInstanceStarted, this, [this]() {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
        raise();
        activateWindow();
    });
}

MainWindow::~MainWindow()
{
    delete m_aboutDialog;
    m_aboutDialog = nullptr;
    // Closes the server and deletes the lock file.
    delete m_handOver;
    m_handOver = nullptr;
    const QList<Row> rows = m_rows + m_waitingRows;
    m_rows.clear();
    m_waitingRows.clear();
    for (const Row& row : rows)
        delete row.widget;
}

quint16 MainWindow::serverPort() const
{
    return m_handOver ? m_handOver->serverPort() : 0;
}

void MainWindow::setUpWindow()
{
    setWindowTitle(QCoreApplication::applicationName());
    setAccessibleDescription(guiText("The connected devices, one row each; F7 opens the selected device's functions."));
    setWindowModified(false);
    setMinimumSize(600, 400);
    setObjectName(QStringLiteral("general"));

    SerialPortManager* manager = SerialPortManager::instance();
    connect(manager, &SerialPortManager::deviceConnected, this, &MainWindow::onDeviceConnected);
    connect(manager, &SerialPortManager::deviceDisconnected, this, &MainWindow::onDeviceDisconnected);
    // A port this user may not open changes what the empty list says.
    connect(manager, &SerialPortManager::portAccessDenied, this, &MainWindow::updateEmptyHint);
    connect(manager, &SerialPortManager::portInUse, this, &MainWindow::updateEmptyHint);
    connect(manager, &SerialPortManager::serialDeviceRemoved, this, &MainWindow::updateEmptyHint);

    m_aboutDialog = new AboutDialog(this);

    QMenu* settingMenu = menuBar()->addMenu(guiText("&Setting"));
    m_fontAction = settingMenu->addAction(guiText("Font Settings"));
    SignatureRequirement::instance()->addAction(settingMenu);
    connect(m_fontAction, &QAction::triggered, this, &MainWindow::onFontAction);
    connect(settingMenu->addAction(guiText("History server...")), &QAction::triggered, this, [this]() {
        auto* dialog = new HistoryServerDialog(this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
    });
    QAction* slotNames = settingMenu->addAction(guiText("Name USB slots..."));
    slotNames->setObjectName(QStringLiteral("slotNamesAction"));
    connect(slotNames, &QAction::triggered, this, [this]() {
        auto* dialog = new SlotNamesDialog(this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
    });
    QAction* operatorName = settingMenu->addAction(guiText("Operator..."));
    operatorName->setObjectName(QStringLiteral("operatorAction"));
    connect(operatorName, &QAction::triggered, this, [this]() {
        // Recorded in every history entry and batch line; empty: the login name.
        auto* dialog = new QInputDialog(this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setWindowTitle(guiText("Operator"));
        dialog->setLabelText(guiText("Name of the operator, recorded in the history and the batch results (empty: the login name %1):")
                                 .arg(ServiceHistory::loginName()));
        dialog->setTextValue(ServiceHistory::operatorSetting());
        connect(dialog, &QInputDialog::textValueSelected, this, [](const QString& name) { ServiceHistory::setOperatorSetting(name); });
        dialog->open();
    });
    QMenu* historyMenu = menuBar()->addMenu(guiText("Histor&y"));
    QAction* history = historyMenu->addAction(guiText("Show &History"));
    history->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    connect(history, &QAction::triggered, this, [this]() { showHistory(); });
    QMenu* batchMenu = menuBar()->addMenu(guiText("&Batch"));
    QAction* batch = batchMenu->addAction(guiText("Upload or Upgrade &Many Devices..."));
    batch->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    connect(batch, &QAction::triggered, this, &MainWindow::showBatch);
    // The help menu's title is the same in every language.
    QMenu* helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction* about = helpMenu->addAction(guiText("&About"));
    const QString aboutTip = guiText("About %1").arg(QCoreApplication::applicationName());
    about->setStatusTip(aboutTip);
    about->setToolTip(aboutTip);
    connect(about, &QAction::triggered, this, &MainWindow::showAboutDialog);

    m_centralWidget = new QWidget(this);
    m_layout = new QVBoxLayout(m_centralWidget);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_heading = new QLabel(guiText("Connected devices"), m_centralWidget);
    m_heading->setObjectName(QStringLiteral("listHeading"));
    m_heading->setAlignment(Qt::AlignCenter);
    m_layout->addWidget(m_heading);
    m_listStack = new QStackedWidget(m_centralWidget);
    m_emptyHint = new QLabel(m_listStack);
    m_emptyHint->setObjectName(QStringLiteral("emptyListHint"));
    m_emptyHint->setAlignment(Qt::AlignCenter);
    m_emptyHint->setWordWrap(true);
    m_emptyHint->setMargin(24);
    m_emptyHint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_deviceList = new DeviceListHolder(m_listStack);
    m_listStack->addWidget(m_emptyHint);
    m_listStack->addWidget(m_deviceList);
    m_layout->addWidget(m_listStack, 1);
    setCentralWidget(m_centralWidget);
    statusBar()->setSizeGripEnabled(false);
    connect(m_deviceList, &QListWidget::currentItemChanged, this, &MainWindow::setCurrentItem);

    // One F7 for the window: it opens the selected row's menu.
    m_rowMenuAction = new QAction(this);
    m_rowMenuAction->setShortcut(QKeySequence(Qt::Key_F7));
    m_rowMenuAction->setShortcutContext(Qt::WindowShortcut);
    addAction(m_rowMenuAction);
    connect(m_rowMenuAction, &QAction::triggered, this, &MainWindow::openCurrentRowMenu);

    // Operations from the rows are recorded in the service history; a history file that
    // could not be used was set aside, which the user hears of once the window is up.
    const QString setAside = Device::beginRecording(QString::fromLatin1(ServiceRecord::WindowFrontEnd));
    if (!setAside.isEmpty()) {
        // Without a loop of its own: the window works on while the box is up.
        QMetaObject::invokeMethod(this, [this, setAside]() {
            auto* box = new MessageBox(this, guiText("History"), setAside, MessageBox::Warning);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        }, Qt::QueuedConnection);
    }

    // The history server's troubles, and its return, are said once in the status bar.
    if (ServiceHistoryWriter* writer = ServiceHistoryWriter::instance())
        connect(writer, &ServiceHistoryWriter::serverStatusChanged, this,
                [this](bool, const QString& text) { statusBar()->showMessage(text, 15000); });

    // Devices identified before the window listened still get their rows.
    for (const QString& port : manager->connectedPorts()) {
        const QMap<QString, QString> info = manager->deviceInformation(port);
        if (!info.isEmpty())
            onDeviceConnected(info);
    }
    updateEmptyHint();
}

void MainWindow::updateEmptyHint()
{
    bool empty = true;
    for (int i = 0; i < m_deviceList->count() && empty; ++i)
        empty = m_deviceList->item(i)->isHidden();
    if (!empty) {
        m_listStack->setCurrentWidget(m_deviceList);
        return;
    }
    QString text = guiText("No device is connected.\n\nConnect a device to this computer with its USB cable and switch it on. "
                           "It appears here once it has started, which can take a minute.");
    const QStringList denied = SerialPortManager::instance()->deniedPorts();
    if (!denied.isEmpty())
        text += QStringLiteral("\n\n")
              + guiText("A device is plugged in at %1, but this user may not open it. Install the device access rule "
                        "packaging/linux/60-dovrel.rules as the README says in \"Device access on Linux\", "
                        "then plug the device in again.")
                    .arg(denied.join(QStringLiteral(", ")));
    const QStringList inUse = SerialPortManager::instance()->portsInUse();
    if (!inUse.isEmpty())
        text += QStringLiteral("\n\n")
              + guiText("A device is plugged in at %1, but another program is using its port. The device appears here "
                        "once that program lets it go.")
                    .arg(inUse.join(QStringLiteral(", ")));
    m_emptyHint->setText(text);
    m_listStack->setCurrentWidget(m_emptyHint);
}

int MainWindow::indexOfRow(const QString& serial, const QString& port) const
{
    const QString name = PortEnumerator::canonicalPortName(port);
    for (int i = 0; i < m_rows.size(); ++i) {
        const DeviceItemWidget* widget = m_rows.at(i).widget;
        if (widget->serialNumber() == serial && PortEnumerator::canonicalPortName(widget->port()) == name)
            return i;
    }
    return -1;
}

DeviceItemWidget* MainWindow::rowForSerial(const QString& serial) const
{
    for (const Row& row : m_rows) {
        if (row.widget->serialNumber() == serial)
            return row.widget;
    }
    return nullptr;
}

DeviceItemWidget* MainWindow::rowForPort(const QString& port) const
{
    const QString name = PortEnumerator::canonicalPortName(port);
    for (const Row& row : m_rows) {
        if (PortEnumerator::canonicalPortName(row.widget->port()) == name)
            return row.widget;
    }
    return nullptr;
}

DeviceItemWidget* MainWindow::restartingRow(const QString& serial) const
{
    for (const Row& row : m_waitingRows) {
        if (row.widget->serialNumber() == serial)
            return row.widget;
    }
    return nullptr;
}

void MainWindow::markTwins(const QString& serial)
{
    int count = 0;
    for (const Row& row : std::as_const(m_rows))
        count += row.widget->serialNumber() == serial ? 1 : 0;
    for (const Row& row : std::as_const(m_rows)) {
        if (row.widget->serialNumber() == serial)
            row.widget->setTwin(count > 1);
    }
}

void MainWindow::onDeviceConnected(const QMap<QString, QString>& deviceInfo)
{
    const DeviceInformation device(deviceInfo);
    const QString serial = device.serial();
    // Identified again where it was (it stayed on the line through a restart): the same row.
    if (const int index = indexOfRow(serial, device.port()); index >= 0) {
        m_rows.at(index).widget->updateDeviceInfo(deviceInfo);
        return;
    }
    // A device back from its restart takes the place of the row that waited for it, and its
    // selection: nothing moved to another device meanwhile.
    int place = -1;
    bool wasCurrent = false;
    for (int i = 0; i < m_waitingRows.size(); ++i) {
        if (m_waitingRows.at(i).widget->serialNumber() != serial)
            continue;
        const Row waiting = m_waitingRows.takeAt(i);
        place = waiting.item ? m_deviceList->row(waiting.item) : -1;
        wasCurrent = m_currentWidget == waiting.widget;
        dropRow(waiting.widget, waiting.item);
        break;
    }
    auto* item = new QListWidgetItem;
    {
        // Inserting an item is no choice of the user's.
        const QSignalBlocker blocker(m_deviceList);
        if (place >= 0 && place <= m_deviceList->count())
            m_deviceList->insertItem(place, item);
        else
            m_deviceList->addItem(item);
    }
    auto* widget = new DeviceItemWidget(m_deviceList);
    connect(widget, &DeviceItemWidget::selected, this, &MainWindow::onWidgetSelected);
    connect(widget, &DeviceItemWidget::logClearingContinues, this, &MainWindow::followLogClearing);
    connect(widget, &DeviceItemWidget::statusMessage, this, [this](const QString& text) { statusBar()->showMessage(text, 8000); });
    connect(widget, &DeviceItemWidget::fontSettingsRequested, this, &MainWindow::onFontAction);
    connect(widget, &DeviceItemWidget::historyRequested, this, &MainWindow::showHistory);
    item->setSizeHint(widget->sizeHint());
    m_deviceList->setItemWidget(item, widget);
    m_rows.append({ widget, item });
    updateEmptyHint();
    widget->setDeviceInfo(deviceInfo);
    item->setSizeHint(widget->sizeHint());
    // The row's widgets are out of a screen reader's reach in the list: its item names the
    // device and says what the row shows, as long as the item is there.
    const QPersistentModelIndex index(m_deviceList->model()->index(m_deviceList->row(item), 0));
    const auto describe = [this, index, widget]() {
        m_deviceList->model()->setData(index, widget->deviceLine(), Qt::AccessibleTextRole);
        m_deviceList->model()->setData(index, widget->summaryText(), Qt::AccessibleDescriptionRole);
    };
    describe();
    connect(widget, &DeviceItemWidget::summaryChanged, this, describe);
    markTwins(serial);
    if (wasCurrent)
        makeCurrent(widget);
}

void MainWindow::onDeviceDisconnected(const QMap<QString, QString>& deviceInfo)
{
    const DeviceInformation device(deviceInfo);
    const QString serial = device.serial();
    const int index = indexOfRow(serial, device.port());
    if (index < 0) {
        updateEmptyHint();
        return;
    }
    const Row row = m_rows.takeAt(index);
    markTwins(serial);
    row.widget->retire();
    if (row.widget->isRestarting() && row.item) {
        // Told to restart: the row stays in sight and keeps its selection, saying so, until its
        // device is back (a new row takes its place) or says it did not come back.
        for (int i = m_waitingRows.size() - 1; i >= 0; --i) {
            if (m_waitingRows.at(i).widget->serialNumber() == serial && m_waitingRows.at(i).widget->port() == row.widget->port()) {
                const Row older = m_waitingRows.takeAt(i);
                dropRow(older.widget, older.item);
            }
        }
        m_waitingRows.append(row);
        return;
    }
    const bool wasCurrent = m_currentWidget == row.widget;
    dropRow(row.widget, row.item);
    if (wasCurrent) {
        // Gone for good: no other device is chosen in its place by itself.
        m_currentWidget = nullptr;
        const QSignalBlocker blocker(m_deviceList);
        m_deviceList->setCurrentItem(nullptr);
        m_deviceList->clearSelection();
    }
}

void MainWindow::dropRow(DeviceItemWidget* widget, QListWidgetItem* item)
{
    // A row taken out is no choice of the user's: the selection stays where it is.
    const QSignalBlocker blocker(m_deviceList);
    if (!widget) {
        delete item;
        updateEmptyHint();
        return;
    }
    widget->retire();
    if (widget->isInteracting()) {
        // One of the row's commands runs (a dialog, a box): the row goes once it has
        // returned, inert and out of sight until then. Deleted later, never inside
        // the nested event loops of its own dialogs.
        if (item)
            item->setHidden(true);
        connect(widget, &DeviceItemWidget::interactionEnded, this, [this, widget, item]() {
            delete item;
            widget->deleteLater();
            updateEmptyHint();
        }, Qt::SingleShotConnection);
        updateEmptyHint();
        return;
    }
    delete item;
    widget->deleteLater();
    updateEmptyHint();
}

void MainWindow::followLogClearing(const QString& deviceText, OperationRun* run)
{
    // The dialog has gone; a failure of the update would otherwise reach nobody.
    if (!run)
        return;
    connect(run, &OperationRun::ended, this, [this, deviceText](const OperationResult& result) {
        if (result.succeeded() || OperationRun::isStopping())
            return;
        const QString text = guiText("The logs were not cleared from %1; they are still on the device.\n%2")
                                 .arg(deviceText, result.message.isEmpty() ? guiText("An unknown error occurred.") : result.message);
        MessageBox::warning(this, guiText("Retrieve Device Data Logged"), text);
    });
}

void MainWindow::openCurrentRowMenu()
{
    DeviceItemWidget* widget = m_currentWidget;
    if (!widget && m_rows.size() == 1 && m_waitingRows.isEmpty())
        widget = m_rows.first().widget;
    if (!widget || !widget->isVisible())
        return;
    if (!widget->isRetired() && widget->menuButton()->isEnabled())
        widget->menuButton()->showMenu();
    else if (!widget->stateText().isEmpty())
        statusBar()->showMessage(widget->stateText(), 8000);
}

void MainWindow::showHistory(const QString& serial)
{
    if (!m_historyWindow)
        m_historyWindow = new HistoryWindow(this);
    m_historyWindow->setSerialFilter(serial);
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_mayClose || OperationRun::active().isEmpty()) {
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    // Asked once the close has been refused: a box run inside the close event would go with it.
    if (!m_closing)
        QMetaObject::invokeMethod(this, &MainWindow::askBeforeClosing, Qt::QueuedConnection);
}

void MainWindow::askBeforeClosing()
{
    const QList<OperationRun*> runs = OperationRun::active();
    if (runs.isEmpty()) {
        close();
        return;
    }
    switch (RunningOperationsQuestion::ask(this, QCoreApplication::applicationName(), runs)) {
    case RunningOperationsQuestion::Wait:
        closeWhenIdle();
        break;
    case RunningOperationsQuestion::StopSafely:
        stopSafelyAndClose();
        break;
    case RunningOperationsQuestion::Cancel:
        break;
    }
}

void MainWindow::stopSafelyAndQuit()
{
    m_quitWhenClosed = true;
    stopSafelyAndClose();
}

void MainWindow::stopSafelyAndClose()
{
    if (m_batchWindow)
        m_batchWindow->stopSafely();
    OperationRun::stopAll();
    closeWhenIdle();
}

void MainWindow::closeWhenIdle()
{
    if (m_closing)
        return;
    m_closing = true;
    statusBar()->showMessage(guiText("Closing once the devices' operations have ended..."));
    // Every operation ends within its own time-outs: this never waits for ever.
    RunningOperationsQuestion::whenEnded(OperationRun::active(), this, [this]() {
        if (!OperationRun::active().isEmpty()) {
            m_closing = false;
            closeWhenIdle();
            return;
        }
        m_mayClose = true;
        close();
        m_mayClose = false;
        m_closing = false;
        // Asked from outside, the program ends even with a row's dialog open.
        if (m_quitWhenClosed)
            QCoreApplication::quit();
        else
            OperationRun::clearStopping();
    });
}

void MainWindow::showBatch()
{
    if (!m_batchWindow) {
        m_batchWindow = new BatchWindow(this);
        // A device whose row has a window open is busy there: the batch skips it.
        m_batchWindow->setBusyCheck([this](const QString& serial, const QString& port) {
            const int index = indexOfRow(serial, port);
            return index >= 0 && m_rows.at(index).widget->isInteracting();
        });
    }
    m_batchWindow->show();
    m_batchWindow->raise();
    m_batchWindow->activateWindow();
}

void MainWindow::setCurrentItem(QListWidgetItem* current, QListWidgetItem* previous)
{
    Q_UNUSED(previous);
    if (!current)
        return;
    makeCurrent(qobject_cast<DeviceItemWidget*>(m_deviceList->itemWidget(current)));
}

void MainWindow::onWidgetSelected()
{
    makeCurrent(qobject_cast<DeviceItemWidget*>(sender()));
}

void MainWindow::makeCurrent(DeviceItemWidget* widget)
{
    if (!widget || widget == m_currentWidget)
        return;
    m_currentWidget = widget;
    SerialPortManager::instance()->setActivePort(DeviceInformation(widget->getDeviceInfo()).port());
    // The highlighted row follows the active device, whichever way it became active.
    QListWidgetItem* item = nullptr;
    for (const Row& row : m_rows + m_waitingRows) {
        if (row.widget == widget)
            item = row.item;
    }
    if (item && m_deviceList->currentItem() != item) {
        const QSignalBlocker blocker(m_deviceList);
        m_deviceList->setCurrentItem(item);
    }
}

void MainWindow::showAboutDialog()
{
    // Beside the window, not blocking it: the device list stays usable.
    if (m_aboutDialog && m_aboutDialog->isHidden()) {
        m_aboutDialog->setModal(false);
        m_aboutDialog->show();
    }
}

void MainWindow::onFontAction()
{
    auto* dialog = new FontsDialog(this);
    m_fontsDialog = dialog;
    const bool accepted = dialog->exec() == QDialog::Accepted;
    const QStringList toRemove = dialog->fontsToRemove();
    delete dialog;
    if (!accepted || toRemove.isEmpty())
        return;
    const QString title = guiText("Restart %1").arg(QCoreApplication::applicationName());
    if (MessageBox::question(this, title,
                             guiText("You must restart the application to take effect.\n\n"
                                 "Would you like to restart the application now?"),
                             false)
        != 0)
        return;
    // The font centre unloads every application font and deletes only files in the user font folder.
    const QStringList kept = FontsCenter::removeFontFiles(toRemove);
    for (const QString& path : toRemove) {
        if (kept.contains(path))
            qCDebug(lcApp).noquote() << QStringLiteral("Failed to remove %1").arg(TextHelper::toSystemPath(path));
        else
            qCDebug(lcApp) << "removed" << path;
    }
    // The new process starts once this one has let go of the instance lock,
    // otherwise it would only hand over to this one and end.
    // Asked from a device's dialog: that dialog closes first, the window with it.
    for (int open = 0; open < 8 && QApplication::activeModalWidget(); ++open)
        QApplication::activeModalWidget()->close();
    if (auto* application = qobject_cast<NorraApplication*>(qApp)) {
        application->setRestartRequested(true);
        close();
        return;
    }
    close();
    QProcess::startDetached(QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1),
                            QDir::currentPath());
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
