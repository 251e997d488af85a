#include "devicelogretrievedialog.h"

#include "devicelink.h"

#include "device.h"
#include "devicetarget.h"
#include "localizationhelper.h"
#include "messagebox.h"
#include "operationresult.h"
#include "serialportmanager.h"
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

using Orvane::Tavrix::Common::LocalizationHelper;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Runtime::Device;
using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

// A retrieved zip below this size holds no data log.
constexpr qint64 MinimumLogZipSize = 140;

} // namespace

DeviceLogRetrieveDialog::DeviceLogRetrieveDialog(const QString& logFolder, QWidget* parent)
    : QDialog(parent)
    , m_logFolder(logFolder)
{
    auto* layout = new QVBoxLayout(this);

    m_deviceLabel = new QLabel(DeviceTarget::ofActivePort().title(), this);
    m_deviceLabel->setObjectName(QStringLiteral("deviceLabel"));
    m_deviceLabel->setStyleSheet(QStringLiteral("QLabel { font: bold; }"));
    layout->addWidget(m_deviceLabel);

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
    m_transferLabel = new TransferStatusLabel(this);
    layout->addWidget(m_transferLabel);

    m_overallLabel = new QLabel(guiText("Overall Progress"), this);
    layout->addWidget(m_overallLabel);
    m_overallBar = new QProgressBar(this);
    m_overallBar->setTextVisible(false);
    m_overallBar->setRange(0, 4);
    m_overallBar->setValue(0);
    layout->addWidget(m_overallBar);

    layout->addSpacing(10);
    m_statusLabel = new QLabel(this);
    m_statusLabel->setScaledContents(true);
    m_statusLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_statusLabel->setFixedHeight(48);
    m_statusLabel->setWordWrap(true);
    layout->addWidget(m_statusLabel);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    m_button = new QPushButton(guiText("Cancel"), this);
    m_button->setDefault(false);
    m_button->setAutoDefault(false);
    m_button->setFixedWidth(100);
    connect(m_button, &QPushButton::clicked, this, &DeviceLogRetrieveDialog::reject);
    buttonRow->addWidget(m_button);
    layout->addLayout(buttonRow);

    setMinimumWidth(400);
    setObjectName(QStringLiteral("general"));
    setWindowTitle(guiText("Retrieve Device Data Logged"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    m_startTimerId = startTimer(300);
}

DeviceLogRetrieveDialog::~DeviceLogRetrieveDialog()
{
    disconnectManager();
    disconnectOperationEnd();
}

void DeviceLogRetrieveDialog::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_startTimerId) {
        QDialog::timerEvent(event);
        return;
    }
    killTimer(m_startTimerId);
    m_startTimerId = 0;
    onRetrieve();
}

void DeviceLogRetrieveDialog::setDeviceSerial(const QString& serial)
{
    m_device = DeviceTarget(serial);
}

void DeviceLogRetrieveDialog::onRetrieve()
{
    emit retrieveInitialized();
    m_button->setText(guiText("Retrieving"));
    m_button->setEnabled(false);

    QString why;
    DeviceLink* link = m_device.link(&why);
    if (!link) {
        m_statusLabel->setText(why);
        offerClose();
        return;
    }
    // Its own device's link only: other devices' operations run beside it.
    m_connections << connect(link, &DeviceLink::initializeRetrieve, this, &DeviceLogRetrieveDialog::onInitializeRetrieve)
                  << connect(link, &DeviceLink::sendingFileInitiated, this, &DeviceLogRetrieveDialog::onSendingFileInitialized)
                  << connect(link, &DeviceLink::sentFile, this, &DeviceLogRetrieveDialog::onSentFile)
                  << connect(link, &DeviceLink::retrieveDataLogError, this, &DeviceLogRetrieveDialog::onRetrieveError)
                  << connect(link, &DeviceLink::transferedFileSize, this, &DeviceLogRetrieveDialog::onTransferedFile)
                  << connect(link, &DeviceLink::retrievedDataLogFile, this, &DeviceLogRetrieveDialog::onRetrieveCompleted)
                  << connect(link, &DeviceLink::retrieveDataLogNoFile, this, &DeviceLogRetrieveDialog::onRetrieveLogNoFileError);
    // Time-outs, a lost device and a port that does not open end the operation without any of
    // the signals above: the end of the operation always lets the user leave.
    m_endConnection = connect(link, &DeviceLink::operationEnded, this, &DeviceLogRetrieveDialog::onOperationEnded);

    if (!Device::run(link->portName(), ServiceRecord::LogFetch, [this, link]() { return link->retrieveDataLogFile(m_logFolder); })) {
        disconnectManager();
        disconnectOperationEnd();
        m_statusLabel->setText(guiText("Another operation is using the device. Try again when it has ended."));
        offerClose();
    }
}

void DeviceLogRetrieveDialog::onInitializeRetrieve(const QString& message, int fileCount)
{
    m_fileCountLabel->setText(QStringLiteral("0/%1").arg(fileCount));
    m_fileTotal = fileCount;
    m_overallBar->setMaximum(fileCount + 3);
    m_overallBar->setValue(m_overallBar->value() + 1);
    m_statusLabel->setText(message);
}

void DeviceLogRetrieveDialog::onSendingFileInitialized(const QString& message, int fileSize)
{
    m_overallBar->setValue(m_overallBar->value() + 1);
    m_currentBar->setMaximum(fileSize);
    m_currentBar->setValue(0);
    m_transferLabel->begin(fileSize);
    m_statusLabel->setText(message);
}

void DeviceLogRetrieveDialog::onTransferedFile(int size)
{
    m_currentBar->setValue(size);
    m_transferLabel->setDone(size);
}

void DeviceLogRetrieveDialog::onSentFile(const QString& message, int currentFile)
{
    m_fileCountLabel->setText(QStringLiteral("%1/%2").arg(currentFile + 1).arg(m_fileTotal));
    if (m_currentBar->maximum() == 0)
        m_currentBar->setMaximum(1);
    m_currentBar->setValue(m_currentBar->maximum());
    m_transferLabel->setDone(m_transferLabel->rate().total());
    m_transferLabel->finish();
    m_overallBar->setValue(m_overallBar->value() + 1);
    m_statusLabel->setText(message);
}

void DeviceLogRetrieveDialog::onRetrieveCompleted()
{
    if (m_currentBar->maximum() == 0)
        m_currentBar->setMaximum(1);
    m_currentBar->setValue(m_currentBar->maximum());
    m_overallBar->setValue(m_overallBar->maximum());
    disconnectManager();
    disconnectOperationEnd();

    const QFileInfo zip(QStringLiteral("%1/dataLogging.txdb.zip").arg(m_logFolder));
    if (!zip.isFile() || zip.size() < MinimumLogZipSize) {
        onRetrieveLogNoFileError();
        return;
    }
    m_statusLabel->setText(guiText("Retrieved all files successfully."));
    closeShownBox();
    accept();
}

void DeviceLogRetrieveDialog::onRetrieveError()
{
    // The operation's end still follows with its reason; it goes to the status line.
    disconnectManager();
    offerClose();
    closeShownBox();
    auto* box = new MessageBox(this, guiText("Retreive logged data"), guiText("An unknown error occurred."), MessageBox::Critical);
    showBox(box);
}

void DeviceLogRetrieveDialog::onRetrieveLogNoFileError()
{
    disconnectManager();
    disconnectOperationEnd();
    offerClose();
    closeShownBox();
    // Shown after the manager's step has returned, so the device is rebooted while the user reads.
    QTimer::singleShot(0, this, [this]() {
        auto* box = new MessageBox(this, guiText("Retreive logged data"),
                                   guiText("The project running on the device does not have data logging feature."),
                                   MessageBox::Critical);
        showBox(box);
        QDialog::reject();
    });
}

void DeviceLogRetrieveDialog::onOperationEnded(const OperationResult& result)
{
    if (result.kind != OperationResult::DataLogRetrieval)
        return;
    disconnectManager();
    disconnectOperationEnd();
    if (result.outcome == OperationResult::Succeeded || result.outcome == OperationResult::NoData)
        return;
    m_statusLabel->setText(result.message.isEmpty() ? guiText("An unknown error occurred.") : result.message);
    offerClose();
    // A "please wait" box has nothing left to wait for.
    closeShownBox();
}

void DeviceLogRetrieveDialog::reject()
{
    if (m_button->isEnabled()) {
        QDialog::reject();
        return;
    }
    if (m_box)
        return;
    auto* box = new MessageBox(this, guiText("Retreive logged data"), guiText("Please wait until all the log files are retrieved."),
                               MessageBox::Information, QPixmap(), MessageBox::Close);
    showBox(box);
}

void DeviceLogRetrieveDialog::offerClose()
{
    m_button->setText(guiText("Close"));
    m_button->setEnabled(true);
    m_button->setDefault(true);
    m_button->setFocus();
}

int DeviceLogRetrieveDialog::showBox(MessageBox* box)
{
    box->setDefaultButton(box->button1());
    m_box = box;
    QPointer<MessageBox> guard(box);
    const int code = box->exec();
    if (guard)
        delete guard.data();
    return code;
}

void DeviceLogRetrieveDialog::closeShownBox()
{
    if (m_box)
        m_box->done(MessageBox::UndecidedCode);
}

void DeviceLogRetrieveDialog::disconnectManager()
{
    for (const QMetaObject::Connection& connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
}

void DeviceLogRetrieveDialog::disconnectOperationEnd()
{
    if (m_endConnection)
        disconnect(m_endConnection);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
