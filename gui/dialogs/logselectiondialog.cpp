#include "logselectiondialog.h"
#include "systemhelper.h"

#include "devicelink.h"

#include "datalogchartwidget.h"
#include "datalogexporter.h"
#include "device.h"
#include "diagnostics.h"
#include "filehelper.h"
#include "localizationhelper.h"
#include "messagebox.h"
#include "operationresult.h"
#include "operationrun.h"
#include "restartwatcher.h"
#include "serialportmanager.h"
#include "txlistwidget.h"
#include "txpathedit.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QThread>
#include <QTimerEvent>
#include <QVBoxLayout>

using Orvane::Tavrix::Common::lcApp;

using Orvane::Tavrix::Common::deviceText;
using Orvane::Tavrix::Common::guiText;

using Orvane::Tavrix::Common::DataLogExporter;
using Orvane::Tavrix::Common::FileHelper;
using Orvane::Tavrix::Common::LocalizationHelper;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Runtime::Device;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::OperationRun;
using Orvane::Tavrix::Runtime::RestartWatcher;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

const char* const LastPathKey = "logFilesLastPath";
const int CountdownStart = 3;
const int CountdownIntervalMs = 1200;

// A large log takes a while to write; the window keeps painting meanwhile. User input waits
// until the file is done, so nothing can start or close half-way. One exporter serves the
// whole export, so that it knows every file it wrote; its database connection lives in
// the worker thread only.
DataLogExporter::ExportResult exportKeepingWindowAlive(DataLogExporter& exporter, const QString& name, const QString& folder,
                                                       QString* filePath)
{
    DataLogExporter::ExportResult result = DataLogExporter::Failed;
    QThread* worker = QThread::create([&result, &exporter, name, folder, filePath]() {
        result = exporter.exportLog(name, folder, true, filePath);
        if (result != DataLogExporter::Exported)
            qCWarning(lcApp, "Exporting log %s failed: %s", qPrintable(name), qPrintable(exporter.lastError()));
        exporter.close();
    });
    QEventLoop loop;
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    delete worker;
    return result;
}

} // namespace

LogSelectionDialog::LogSelectionDialog(const QString& logFolder, QWidget* parent)
    : QDialog(parent)
    , m_logFolder(logFolder)
{
    setObjectName(QStringLiteral("general"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    setWindowTitle(guiText("Data Log Files"));
    setAccessibleDescription(guiText("The logs retrieved from the device: choose logs to see their "
                                     "values in the chart and to write them as text files."));

    auto* layout = new QVBoxLayout(this);
    // The logs are one device's: the window says which, as its row does.
    m_deviceLabel = new QLabel(this);
    m_deviceLabel->setObjectName(QStringLiteral("deviceLabel"));
    m_deviceLabel->setStyleSheet(QStringLiteral("QLabel { font: bold; }"));
    m_deviceLabel->hide();
    layout->addWidget(m_deviceLabel);
    m_titleLabel = new QLabel(guiText("Select Log files for download"), this);
    m_titleLabel->setWordWrap(true);
    m_titleLabel->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_titleLabel);

    m_logList = new TxListWidget(this);
    m_logList->setSelectionMode(QAbstractItemView::MultiSelection);
    m_logList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_logList, &QWidget::customContextMenuRequested, this, &LogSelectionDialog::showContextMenuForWidget);
    connect(m_logList, &QListWidget::itemSelectionChanged, this, &LogSelectionDialog::onLogSelectionChanged);
    // The chosen logs' values, beside the list.
    m_chart = new DataLogChartWidget(this);
    connect(m_logList, &QListWidget::itemSelectionChanged, this, [this]() { m_chart->showLogs(databasePath(), selectedLogs()); });
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(m_logList);
    splitter->addWidget(m_chart);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);

    m_destinationLabel = new QLabel(guiText("Select the destination folder:"), this);
    layout->addWidget(m_destinationLabel);
    auto* pathRow = new QHBoxLayout;
    m_destinationEdit = new TxPathEdit(TxPathEdit::FolderPath, this);
    // Typed, pasted, dropped or chosen with "Select": what it shows is where the files go.
    m_destinationEdit->setStyleSheet(QStringLiteral("QLineEdit { min-width: 400px; }"));
    m_selectButton = new QPushButton(guiText("Select"), this);
    m_selectButton->setAutoDefault(false);
    connect(m_selectButton, &QPushButton::clicked, this, &LogSelectionDialog::onDestinationDirChanged);
    pathRow->addWidget(m_destinationEdit);
    pathRow->addWidget(m_selectButton);
    layout->addLayout(pathRow);
    m_defaultCheckBox = new QCheckBox(guiText("Set as default log files location"), this);
    layout->addWidget(m_defaultCheckBox);

    m_progressBar = new QProgressBar(this);
    m_progressBar->hide();
    layout->addWidget(m_progressBar);
    m_statusLabel = new QLabel(guiText("Retrieving files selected from the data base..."), this);
    m_statusLabel->setWordWrap(true);
    m_statusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_statusLabel->hide();
    layout->addWidget(m_statusLabel);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    m_downloadButton = new QPushButton(guiText("Download"), this);
    m_closeButton = new QPushButton(guiText("Close"), this);
    m_closeButton->setAutoDefault(false);
    connect(m_downloadButton, &QPushButton::clicked, this, &LogSelectionDialog::onCopyFiles);
    connect(m_closeButton, &QPushButton::clicked, this, &LogSelectionDialog::reject);
    buttonRow->addWidget(m_downloadButton);
    buttonRow->addWidget(m_closeButton);
    layout->addLayout(buttonRow);
    // The list is named by the line above it, the folder field by its label.
    m_logList->setAccessibleName(guiText("Logs"));
    m_logList->setAccessibleDescription(guiText("The chosen logs are drawn in the chart and written when you download."));
    m_destinationLabel->setBuddy(m_destinationEdit);
    m_selectButton->setAccessibleName(guiText("Select the destination folder..."));
    m_downloadButton->setAccessibleDescription(guiText("Writes each chosen log as a text file to the destination folder."));
    m_defaultCheckBox->setAccessibleDescription(guiText("The next retrieval offers this folder again."));

    struct ActionSpec {
        QString text;
        QKeySequence shortcut;
        void (LogSelectionDialog::*slot)();
    };
    const ActionSpec specs[ActionCount] = {
        { deviceText("Select All"), QKeySequence(QKeySequence::SelectAll),
          &LogSelectionDialog::onSelectAll },
        { deviceText("Select Inverted"), QKeySequence(QStringLiteral("Ctrl+I")),
          &LogSelectionDialog::onInvertSelection },
        { deviceText("Select None"), QKeySequence(QStringLiteral("Ctrl+N")),
          &LogSelectionDialog::onClearSelection },
        { deviceText("&Clear Select List Skip Download"),
          QKeySequence(QStringLiteral("Shift+Delete")), &LogSelectionDialog::onRequestClear },
    };
    for (const ActionSpec& spec : specs) {
        auto* action = new QAction(spec.text, this);
        action->setShortcut(spec.shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, spec.slot);
        addAction(action);
        m_actions << action;
    }

    m_destinationEdit->setText(defaultLocationPath());
    updateFileList();
}

LogSelectionDialog::~LogSelectionDialog()
{
    if (m_updateRun)
        disconnect(m_updateRun, nullptr, this, nullptr);
}

void LogSelectionDialog::setDevice(const QString& serial, RestartWatcher* restart, const QString& deviceLine)
{
    m_device = DeviceTarget(serial, restart ? restart->port() : QString());
    m_restart = restart;
    // The device restarts after the retrieval: its line is the row's until it is back.
    m_deviceLabel->setText(deviceLine.isEmpty() ? m_device.line() : deviceLine);
    m_deviceLabel->setVisible(!m_deviceLabel->text().isEmpty());
    if (restart) {
        connect(restart, &RestartWatcher::finished, this, [this]() {
            if (m_device.isPresent())
                m_deviceLabel->setText(m_device.line());
        });
    }
}

QString LogSelectionDialog::deviceLine() const
{
    return m_deviceLabel->text();
}

QString LogSelectionDialog::destinationFolder() const
{
    // A relative path is taken from the home folder, where the folder dialog starts too.
    return DataLogExporter::destinationFolder(m_destinationEdit->text(), QDir::homePath());
}

QString LogSelectionDialog::databasePath() const
{
    return QStringLiteral("%1/dataLogging.txdb").arg(m_logFolder);
}

QString LogSelectionDialog::defaultLocationPath()
{
    const QSettings settings = Common::SystemHelper::userSettings();
    const QString key = QString::fromLatin1(LastPathKey);
    if (settings.contains(key)) {
        const QString path = settings.value(key).toString();
        if (!path.isEmpty() && QFileInfo::exists(path))
            return path;
    }
    return FileHelper::getStandardDocumentLocation();
}

void LogSelectionDialog::saveLastPath()
{
    const QString path = destinationFolder();
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return;
    Common::SystemHelper::userSettings().setValue(QString::fromLatin1(LastPathKey), path);
}

void LogSelectionDialog::updateFileList()
{
    m_logList->clear();
    QString database;
    if (!DataLogExporter::unpackRetrievedLog(m_logFolder, &database))
        return;
    DataLogExporter exporter(database);
    for (const QString& name : exporter.logNames()) {
        auto* item = new QListWidgetItem(name, m_logList);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    }
    exporter.close();
    onLogSelectionChanged();
}

QStringList LogSelectionDialog::selectedLogs() const
{
    QStringList names;
    for (const QListWidgetItem* item : m_logList->selectedItems())
        names << item->text();
    return names;
}

void LogSelectionDialog::showContextMenuForWidget(const QPoint& position)
{
    QMenu menu(this);
    for (QAction* action : std::as_const(m_actions))
        menu.addAction(action);
    menu.exec(m_logList->viewport()->mapToGlobal(position));
}

void LogSelectionDialog::selectFirst(int count)
{
    int selected = 0;
    for (int row = 0; row < m_logList->count(); ++row) {
        QListWidgetItem* item = m_logList->item(row);
        if (!item->isSelected())
            continue;
        if (selected < count)
            ++selected;
        else
            item->setSelected(false);
    }
}

void LogSelectionDialog::scrollToFirstSelected()
{
    for (int row = 0; row < m_logList->count(); ++row) {
        if (m_logList->item(row)->isSelected()) {
            m_logList->scrollToItem(m_logList->item(row));
            return;
        }
    }
}

void LogSelectionDialog::onSelectAll()
{
    if (m_logList->count() <= SelectionLimit) {
        m_logList->selectAll();
        m_actions.at(SelectInvertedAction)->setEnabled(false);
    } else {
        showBox(new MessageBox(this, guiText("Select data log files"),
                               guiText("Selection count exceeds 500 records, only first 500 will be selected."),
                               MessageBox::Information, QPixmap(), MessageBox::Close));
        m_logList->selectAll();
        selectFirst(SelectionLimit);
    }
    scrollToFirstSelected();
}

void LogSelectionDialog::onInvertSelection()
{
    const int total = m_logList->count();
    if (total == 0)
        return;
    const int selected = m_logList->selectedItems().count();
    if (selected == 0) {
        onSelectAll();
        return;
    }
    if (selected == total) {
        m_logList->clearSelection();
        return;
    }
    if (total - selected > SelectionLimit) {
        showBox(new MessageBox(this, guiText("Select data log files"),
                               guiText("Selection is more than 500 records, only first 500 records will be selected."),
                               MessageBox::Information, QPixmap(), MessageBox::Close));
    }
    int newlySelected = 0;
    for (int row = 0; row < total && newlySelected < SelectionLimit; ++row) {
        QListWidgetItem* item = m_logList->item(row);
        const bool select = !item->isSelected();
        item->setSelected(select);
        if (select)
            ++newlySelected;
    }
    scrollToFirstSelected();
}

void LogSelectionDialog::onClearSelection()
{
    m_logList->clearSelection();
}

void LogSelectionDialog::onLogSelectionChanged()
{
    const int total = m_logList->count();
    const bool allSelected = total > 0 && m_logList->selectedItems().count() == total;
    m_actions.at(SelectInvertedAction)->setEnabled(!allSelected && !m_working);
}

void LogSelectionDialog::onDestinationDirChanged()
{
    const QString folder = QFileDialog::getExistingDirectory(this, guiText("Select the destination folder:"), m_destinationEdit->text());
    if (!folder.isEmpty())
        m_destinationEdit->setText(QDir::fromNativeSeparators(folder));
}

void LogSelectionDialog::onCopyFiles()
{
    if (m_working)
        return;
    const QStringList names = selectedLogs();
    if (!names.isEmpty()) {
        m_progressBar->setRange(0, names.count());
        m_progressBar->setValue(0);
        m_progressBar->show();
        m_statusLabel->show();
    }
    setWorking(true);

    const QString destination = destinationFolder();
    if (!DataLogExporter::prepareDestination(destination)) {
        m_progressBar->hide();
        m_statusLabel->hide();
        showBox(new MessageBox(this, guiText("Copy data log files"), guiText("The destination path is not valid, please re-enter"),
                               MessageBox::Information, QPixmap(), MessageBox::Close));
        setWorking(false);
        return;
    }

    // The field shows the folder as it is used ("~/logs" as the full path).
    if (m_destinationEdit->text() != destination)
        m_destinationEdit->setText(destination);

    // Only logs that are now in text files may be offered for deletion from the device.
    QStringList exported;
    QStringList written;
    QStringList failures;
    if (QFileInfo(m_logFolder).isDir()) {
        DataLogExporter exporter(databasePath());
        for (const QString& name : names) {
            DataLogExporter::ExportResult result = exporter.checkTarget(name, destination, false);
            if (result == DataLogExporter::AlreadyExists
                && MessageBox::question(this, guiText("Retreive logged data"),
                                        guiText("This file already exists, do you want to replace"), false)
                    == MessageBox::AcceptCode)
                result = DataLogExporter::Exported;
            QString file;
            if (result == DataLogExporter::Exported)
                result = exportKeepingWindowAlive(exporter, name, destination, &file);
            if (result == DataLogExporter::Exported) {
                exported << name;
                written << file;
            } else if (result == DataLogExporter::Failed)
                failures << guiText("%1: %2").arg(name, exporter.lastError());
            m_progressBar->setValue(exported.count());
            m_statusLabel->setText(guiText("Number of files retrived ..... %1/%2").arg(exported.count()).arg(names.count()));
        }
    }

    m_progressBar->hide();
    QString summary = DataLogExporter::exportSummary(exported.count());
    if (!written.isEmpty())
        summary += QLatin1Char('\n') + DataLogExporter::writtenFilesText(destination, written);
    if (!m_statusLabel->isHidden()) {
        m_statusLabel->setText(summary);
        m_downloadButton->hide();
    }
    setWorking(false);
    if (m_defaultCheckBox->isChecked())
        saveLastPath();
    if (!failures.isEmpty()) {
        showBox(new MessageBox(this, guiText("Copy data log files"),
                               guiText("These logs were not written, and stay on the device:\n%1").arg(failures.join(QLatin1Char('\n'))),
                               MessageBox::Critical));
    }

    if (exported.isEmpty())
        return;
    const bool one = exported.count() == 1;
    const QString question = one ? guiText("<html><p>%1</p><p><b>Delete log file from the device ?</b></p><p>%2</p></html>")
                                 : guiText("<html><p>%1</p><p><b>Delete log files from the device ?</b></p><p>%2</p></html>");
    const QString where = DataLogExporter::writtenFilesText(destination, written).toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    // Without a device (a window opened on its own folder) the first paragraph stays out.
    const QString text = question.arg(deviceLine().toHtmlEscaped(), where).replace(QStringLiteral("<p></p>"), QString());
    auto* box = new MessageBox(this, guiText("Data Log Files"), text,
                               MessageBox::Information, QPixmap(), MessageBox::Cancel, MessageBox::OK);
    box->setTextOfButton1(guiText("Keep files"));
    box->setTextOfButton2(guiText("Delete files"));
    // Enter keeps the logs: deleting them from the device cannot be undone.
    box->setDefaultButton(box->button1());
    if (showBox(box) == MessageBox::AcceptCode)
        clearLogs(exported, summary);
}

void LogSelectionDialog::onRequestClear()
{
    if (m_working)
        return;
    const QStringList names = selectedLogs();
    if (names.isEmpty())
        return;
    const QString text = names.count() == 1
        ? guiText("<html><p><b>Are you sure you want to delete log file from the device ?</b></p><p>Selected file has NOT been downloaded.</p></html>")
        : guiText("<html><p><b>Are you sure you want to delete log files from the device ?</b></p><p>Selected files have NOT been downloaded.</p></html>");
    if (MessageBox::question(this, deviceText("Data Log Files"), text, false) != MessageBox::AcceptCode)
        return;
    clearLogs(names, QString());
}

void LogSelectionDialog::clearLogs(const QStringList& names, const QString& exportSummary)
{
    setWorking(true);
    m_progressBar->setRange(0, names.count());
    m_progressBar->setValue(0);
    m_progressBar->show();
    m_statusLabel->show();

    DataLogExporter exporter(databasePath());
    int done = 0;
    int dropped = 0;
    for (const QString& name : names) {
        if (exporter.dropLog(name))
            ++dropped;
        else
            qCWarning(lcApp, "Dropping log %s failed: %s", qPrintable(name), qPrintable(exporter.lastError()));
        m_progressBar->setValue(++done);
        m_statusLabel->setText(guiText("Number of logs cleared ..... %1/%2").arg(done).arg(names.count()));
    }
    m_progressBar->hide();
    const QString summary = DataLogExporter::clearSummary(exportSummary, dropped);
    m_statusLabel->setText(summary);
    m_downloadButton->hide();
    // The file is read whole when the update starts; nothing may hold it open then.
    exporter.close();

    if (dropped == 0) {
        setWorking(false);
        return;
    }
    m_clearSummary = exportSummary;
    if (m_restart && m_restart->state() == RestartWatcher::Waiting) {
        // The device is still restarting after the retrieval: the update waits for it.
        m_statusLabel->setText(QStringLiteral("%1\n%2").arg(summary, guiText("Waiting for the device to restart...")));
        connect(m_restart, &RestartWatcher::finished, this, [this, summary]() {
            m_statusLabel->setText(summary);
            startUpdate();
        }, Qt::SingleShotConnection);
        return;
    }
    startUpdate();
}

void LogSelectionDialog::startUpdate()
{
    QString failure;
    if (m_restart && m_restart->state() == RestartWatcher::Lost) {
        failure = guiText("The device did not come back after its restart.");
    } else {
        // The device the logs came from, wherever it came back; never another one.
        const QString port = m_restart && m_restart->state() == RestartWatcher::Back ? m_restart->port() : m_device.port();
        auto* run = new OperationRun(ServiceRecord::LogClearing, m_device.serial(), port);
        m_updateRun = run;
        m_updateRunning = true;
        // Followed to its end while the dialog is open; a failure after the countdown is the row's to report.
        connect(run, &OperationRun::ended, this, &LogSelectionDialog::onUpdateEnded);
        const QString database = databasePath();
        if (!run->start([database](DeviceLink* link) { return link->updateLogFile(database); })) {
            disconnect(run, nullptr, this, nullptr);
            m_updateRunning = false;
            failure = run->result().message;
        }
    }
    setWorking(false);
    if (!failure.isEmpty()) {
        showClearingFailure(failure);
        return;
    }
    m_countdown = CountdownStart;
    m_countdownTimerId = startTimer(CountdownIntervalMs);
}

void LogSelectionDialog::onUpdateEnded(const OperationResult& result)
{
    if (!m_updateRunning)
        return;
    m_updateRunning = false;
    if (result.succeeded())
        return;
    const QString failure = result.message.isEmpty() ? guiText("An unknown error occurred.") : result.message;
    if (!isVisible())
        return;
    if (m_countdownTimerId) {
        killTimer(m_countdownTimerId);
        m_countdownTimerId = 0;
    }
    showClearingFailure(failure);
}

void LogSelectionDialog::showClearingFailure(const QString& failure)
{
    if (OperationRun::isStopping())
        return;
    // The logs are gone from the local copy only; the device still has them.
    m_statusLabel->setText(m_clearSummary.isEmpty() ? failure : QStringLiteral("%1\n%2").arg(m_clearSummary, failure));
    showBox(new MessageBox(this, deviceText("Data Log Files"), failure, MessageBox::Critical));
}

void LogSelectionDialog::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_countdownTimerId) {
        QDialog::timerEvent(event);
        return;
    }
    --m_countdown;
    m_statusLabel->setText(guiText("Clearing log will reboot device (%1)").arg(m_countdown));
    if (m_countdown <= 0) {
        killTimer(m_countdownTimerId);
        m_countdownTimerId = 0;
        if (m_box)
            m_box->done(MessageBox::UndecidedCode);
        accept();
    }
}

void LogSelectionDialog::setWorking(bool working)
{
    m_working = working;
    m_closeButton->setEnabled(!working);
    m_downloadButton->setEnabled(!working);
    m_selectButton->setEnabled(!working);
    for (QAction* action : std::as_const(m_actions))
        action->setEnabled(!working);
    if (!working)
        onLogSelectionChanged();
}

bool LogSelectionDialog::refuseCloseWhileWorking()
{
    if (m_closeButton->isEnabled())
        return false;
    if (!m_box) {
        showBox(new MessageBox(this, guiText("Retreive logged data"), guiText("Please wait until all the log files are retrieved."),
                               MessageBox::Information, QPixmap(), MessageBox::Close));
    }
    return true;
}

void LogSelectionDialog::reject()
{
    if (refuseCloseWhileWorking())
        return;
    QDialog::reject();
}

void LogSelectionDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        if (!refuseCloseWhileWorking())
            done(-1);
        return;
    }
    QDialog::keyPressEvent(event);
}

void LogSelectionDialog::closeEvent(QCloseEvent* event)
{
    if (refuseCloseWhileWorking()) {
        event->ignore();
        return;
    }
    event->accept();
    done(-1);
}

int LogSelectionDialog::showBox(MessageBox* box)
{
    if (!box->defaultButton())
        box->setDefaultButton(box->button1());
    m_box = box;
    QPointer<MessageBox> guard(box);
    const int code = box->exec();
    if (guard)
        delete guard.data();
    return code;
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
