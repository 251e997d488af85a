#include "devicelogretrievedialog.h"

#include "devicelink.h"
#include "localizationhelper.h"
#include "messagebox.h"
#include "transferstatuslabel.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTimerEvent>
#include <QVBoxLayout>

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::OperationResult;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

// A retrieved zip below this size holds no data log.
constexpr qint64 MinimumLogZipSize = 140;

OperationProgressDialog::Texts retrievalTexts()
{
    OperationProgressDialog::Texts texts;
    texts.title = guiText("Retrieve Device Data Logged");
    texts.boxTitle = guiText("Retreive logged data");
    texts.waitText = guiText("Please wait until all the log files are retrieved.");
    texts.busyButton = guiText("Retrieving");
    texts.waitWithClose = true;
    return texts;
}

} // namespace

DeviceLogRetrieveDialog::DeviceLogRetrieveDialog(const QString& logFolder, QWidget* parent)
    : OperationProgressDialog(retrievalTexts(),
                              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint,
                              parent)
    , m_logFolder(logFolder)
{
    setAccessibleDescription(guiText("Fetches the device's data log; the device then restarts, and the logs are offered for export."));
    QVBoxLayout* layout = contentLayout();
    auto* fileRow = new QHBoxLayout;
    m_currentFileLabel = new QLabel(guiText("Current File"), this);
    m_fileCountLabel = new QLabel(QStringLiteral("0/0"), this);
    fileRow->addWidget(m_currentFileLabel);
    fileRow->addStretch();
    fileRow->addWidget(m_fileCountLabel);
    layout->addLayout(fileRow);

    // Busy until the device announces the size.
    m_currentBar = new QProgressBar(this);
    m_currentBar->setTextVisible(false);
    m_currentBar->setRange(0, 0);
    layout->addWidget(m_currentBar);
    layout->addWidget(transferLabel());

    m_overallLabel = new QLabel(guiText("Overall Progress"), this);
    layout->addWidget(m_overallLabel);
    m_overallBar = new QProgressBar(this);
    m_overallBar->setTextVisible(false);
    m_overallBar->setRange(0, 4);
    m_overallBar->setValue(0);
    layout->addWidget(m_overallBar);
    layout->addSpacing(10);
    m_currentFileLabel->setBuddy(m_currentBar);
    m_overallLabel->setBuddy(m_overallBar);

    connect(this, &OperationProgressDialog::runStarted, this, &DeviceLogRetrieveDialog::retrieveInitialized);
    m_startTimerId = startTimer(300);
}

DeviceLogRetrieveDialog::~DeviceLogRetrieveDialog() = default;

void DeviceLogRetrieveDialog::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_startTimerId) {
        OperationProgressDialog::timerEvent(event);
        return;
    }
    killTimer(m_startTimerId);
    m_startTimerId = 0;
    onRetrieve();
}

void DeviceLogRetrieveDialog::setDeviceSerial(const QString& serial, const QString& port)
{
    setDevice(serial, port);
}

void DeviceLogRetrieveDialog::onRetrieve()
{
    const QString folder = m_logFolder;
    startRun(ServiceRecord::LogFetch, [this, folder](DeviceLink* link) {
        keepUntilEnd(connect(link, &DeviceLink::initializeRetrieve, this, &DeviceLogRetrieveDialog::onInitializeRetrieve));
        keepUntilEnd(connect(link, &DeviceLink::sendingFileInitiated, this, &DeviceLogRetrieveDialog::onSendingFileInitialized));
        keepUntilEnd(connect(link, &DeviceLink::sentFile, this, &DeviceLogRetrieveDialog::onSentFile));
        keepUntilEnd(connect(link, &DeviceLink::retrieveDataLogError, this, [this]() { m_deviceRefused = true; }));
        return link->retrieveDataLogFile(folder);
    });
}

void DeviceLogRetrieveDialog::onInitializeRetrieve(const QString& message, int fileCount)
{
    m_fileCountLabel->setText(QStringLiteral("0/%1").arg(fileCount));
    m_fileTotal = fileCount;
    m_overallBar->setMaximum(fileCount + 3);
    m_overallBar->setValue(m_overallBar->value() + 1);
    statusLabel()->setText(message);
}

void DeviceLogRetrieveDialog::onSendingFileInitialized(const QString& message, int fileSize)
{
    m_overallBar->setValue(m_overallBar->value() + 1);
    m_currentBar->setMaximum(fileSize);
    m_currentBar->setValue(0);
    transferLabel()->begin(fileSize);
    statusLabel()->setText(message);
}

void DeviceLogRetrieveDialog::onProgressed(qint64 done, qint64 total)
{
    OperationProgressDialog::onProgressed(done, total);
    if (m_currentBar->maximum() > 0)
        m_currentBar->setValue(int(qMin<qint64>(done, m_currentBar->maximum())));
}

void DeviceLogRetrieveDialog::onSentFile(const QString& message, int currentFile)
{
    m_fileCountLabel->setText(QStringLiteral("%1/%2").arg(currentFile + 1).arg(m_fileTotal));
    if (m_currentBar->maximum() == 0)
        m_currentBar->setMaximum(1);
    m_currentBar->setValue(m_currentBar->maximum());
    transferLabel()->setDone(transferLabel()->rate().total());
    transferLabel()->finish();
    m_overallBar->setValue(m_overallBar->value() + 1);
    statusLabel()->setText(message);
}

void DeviceLogRetrieveDialog::onRunEnded(const OperationResult& result)
{
    if (result.outcome == OperationResult::Succeeded) {
        if (m_currentBar->maximum() == 0)
            m_currentBar->setMaximum(1);
        m_currentBar->setValue(m_currentBar->maximum());
        m_overallBar->setValue(m_overallBar->maximum());
        const QFileInfo zip(QStringLiteral("%1/dataLogging.txdb.zip").arg(m_logFolder));
        if (!zip.isFile() || zip.size() < MinimumLogZipSize) {
            showNoDataLog();
            return;
        }
        statusLabel()->setText(guiText("Retrieved all files successfully."));
        emit runEnded(true);
        // E.g. a data log put back from its backup name before it was fetched.
        if (!result.notices.isEmpty())
            showBox(new MessageBox(this, guiText("Retreive logged data"), result.notices.join(QLatin1Char('\n')), MessageBox::Information));
        accept();
        return;
    }
    if (result.outcome == OperationResult::NoData) {
        showNoDataLog();
        return;
    }
    statusLabel()->setText(result.message.isEmpty() ? guiText("An unknown error occurred.") : result.message);
    offerClose();
    emit runEnded(false);
    if (m_deviceRefused)
        showBox(new MessageBox(this, guiText("Retreive logged data"), guiText("An unknown error occurred."), MessageBox::Critical));
}

void DeviceLogRetrieveDialog::showNoDataLog()
{
    offerClose();
    emit runEnded(false);
    showBox(new MessageBox(this, guiText("Retreive logged data"),
                           guiText("The project running on the device does not have data logging feature."), MessageBox::Critical));
    QDialog::reject();
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
