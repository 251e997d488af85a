#include "deviceuploaddialog.h"

#include "configurationinfo.h"
#include "device.h"
#include "devicelink.h"
#include "devicetarget.h"
#include "localizationhelper.h"
#include "messagebox.h"
#include "operationresult.h"
#include "projectpackagechecker.h"
#include "serialportmanager.h"
#include "transferstatuslabel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMap>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimerEvent>
#include <QVBoxLayout>

using Orvane::Tavrix::Common::guiText;

namespace Orvane {
namespace Tavrix {
namespace Designer {

using Common::ConfigurationInfo;
using Common::LocalizationHelper;
using Common::ProjectPackageChecker;
using Common::ServiceRecord;
using Runtime::Device;
using Runtime::DeviceLink;
using Runtime::OperationResult;
using Runtime::SerialPortManager;

namespace {

} // namespace

class DeviceUploadDialogPrivate
{
public:
    QStringList files;
    qint64 totalSize = 0;
    QMap<QString, qint64> fileSizes;
    ConfigurationInfo configuration;
    QString packagePath;
    DeviceTarget device;
    int countdown = 0;
    int countdownTimerId = -1;
    QPointer<MessageBox> messageBox;
    QPointer<MessageBox> waitBox;

    QLabel* deviceLabel = nullptr;
    TransferStatusLabel* transferLabel = nullptr;
    QLabel* counterLabel = nullptr;
    QProgressBar* currentFileBar = nullptr;
    QProgressBar* overallBar = nullptr;
    QCheckBox* configurationBox = nullptr;
    QLabel* statusLabel = nullptr;
    QPushButton* button = nullptr;

    QList<QMetaObject::Connection> connections;
    // The end of the operation is taken once, after the manager has finished
    // its own signals, so a message box never runs inside the manager's emission.
    bool running = false;
    bool ended = false;
    bool endScheduled = false;
    OperationResult result;
};

DeviceUploadDialog::DeviceUploadDialog(const QString& projectFolder, const ConfigurationInfo& configuration, QWidget* parent,
                                       const QString& packagePath, const QString& deviceSerial)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , d(new DeviceUploadDialogPrivate)
{
    d->configuration = configuration;
    d->packagePath = packagePath;
    d->device = DeviceTarget(deviceSerial);
    // The files of the project, then its configuration file(s); empty files are
    // left out because the device cannot be sent an empty file.
    qint64 total = 0;
    d->files = ProjectPackageChecker::uploadFileList(projectFolder, &total);
    d->totalSize = total;
    for (const QString& file : std::as_const(d->files))
        d->fileSizes.insert(file, QFileInfo(file).size());

    setObjectName(QStringLiteral("general"));
    setWindowTitle(guiText("Upload Project"));
    setMinimumWidth(400);

    auto* layout = new QVBoxLayout(this);

    // Frameless, this window has no title to name its device: the first line does.
    d->deviceLabel = new QLabel(DeviceTarget::ofActivePort().title(), this);
    d->deviceLabel->setObjectName(QStringLiteral("deviceLabel"));
    d->deviceLabel->setStyleSheet(QStringLiteral("QLabel { font: bold; }"));
    layout->addWidget(d->deviceLabel);

    auto* counterRow = new QHBoxLayout;
    counterRow->addWidget(new QLabel(guiText("Current File"), this));
    counterRow->addStretch();
    d->counterLabel = new QLabel(QStringLiteral("0/%1").arg(d->files.size()), this);
    d->counterLabel->setObjectName(QStringLiteral("counterLabel"));
    counterRow->addWidget(d->counterLabel);
    layout->addLayout(counterRow);

    d->currentFileBar = new QProgressBar(this);
    d->currentFileBar->setObjectName(QStringLiteral("currentFileProgressBar"));
    d->currentFileBar->setMinimum(0);
    d->currentFileBar->setValue(0);
    d->currentFileBar->setTextVisible(false);
    layout->addWidget(d->currentFileBar);

    layout->addWidget(new QLabel(guiText("Overall Progress"), this));
    d->overallBar = new QProgressBar(this);
    d->overallBar->setObjectName(QStringLiteral("overallProgressBar"));
    d->overallBar->setMinimum(0);
    d->overallBar->setMaximum(int(d->totalSize));
    d->overallBar->setValue(0);
    d->overallBar->setTextVisible(false);
    layout->addWidget(d->overallBar);
    d->transferLabel = new TransferStatusLabel(this);
    layout->addWidget(d->transferLabel);

    layout->addSpacing(10);
    layout->addSpacing(10);

    auto* configurationRow = new QHBoxLayout;
    configurationRow->addWidget(new QLabel(guiText("Update Configuration"), this));
    configurationRow->addStretch();
    d->configurationBox = new QCheckBox(this);
    d->configurationBox->setObjectName(QStringLiteral("configurationCheckBox"));
    d->configurationBox->setCheckable(true);
    d->configurationBox->setTristate(true);
    d->configurationBox->setCheckState(Qt::Unchecked);
    d->configurationBox->setEnabled(false);
    configurationRow->addWidget(d->configurationBox);
    layout->addLayout(configurationRow);

    d->statusLabel = new QLabel(this);
    d->statusLabel->setObjectName(QStringLiteral("statusLabel"));
    d->statusLabel->setScaledContents(true);
    d->statusLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    d->statusLabel->setFixedHeight(48);
    layout->addWidget(d->statusLabel);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    d->button = new QPushButton(guiText("Cancel"), this);
    d->button->setObjectName(QStringLiteral("closeButton"));
    d->button->setFixedWidth(100);
    d->button->setDefault(false);
    d->button->setAutoDefault(false);
    connect(d->button, &QPushButton::clicked, this, &DeviceUploadDialog::reject);
    buttonRow->addWidget(d->button);
    layout->addLayout(buttonRow);

    onUpload();
}

DeviceUploadDialog::~DeviceUploadDialog()
{
    disconnectManager();
    if (d->countdownTimerId != -1)
        killTimer(d->countdownTimerId);
    delete d;
}

QStringList DeviceUploadDialog::files() const
{
    return d->files;
}

qint64 DeviceUploadDialog::totalSize() const
{
    return d->totalSize;
}

QString DeviceUploadDialog::deviceText() const
{
    return d->deviceLabel->text();
}

TransferStatusLabel* DeviceUploadDialog::transferLabel() const
{
    return d->transferLabel;
}

void DeviceUploadDialog::connectManager(DeviceLink* link)
{
    // Its own device's link only: other devices' operations run beside it.
    d->connections << connect(link, &DeviceLink::progressUpdated, this, &DeviceUploadDialog::onFileTransferred)
                   << connect(link, &DeviceLink::progressMessage, d->statusLabel, &QLabel::setText)
                   << connect(link, &DeviceLink::currentFileChanged, this, &DeviceUploadDialog::onCurrentFileChanged)
                   << connect(link, &DeviceLink::projectConfigurationStarted, this,
                              &DeviceUploadDialog::onProjectConfigurationStarted)
                   << connect(link, &DeviceLink::projectConfigurationFinished, this,
                              &DeviceUploadDialog::onProjectConfigurationFinished)
                   << connect(link, &DeviceLink::operationEnded, this, &DeviceUploadDialog::onOperationEnded);
}

void DeviceUploadDialog::disconnectManager()
{
    for (const QMetaObject::Connection& connection : std::as_const(d->connections))
        disconnect(connection);
    d->connections.clear();
}

void DeviceUploadDialog::onUpload()
{
    if (d->running || d->ended)
        return;
    emit uploadStarted();
    d->button->setText(guiText("Uploading"));
    d->button->setEnabled(false);
    d->running = true;

    OperationResult refused;
    refused.kind = OperationResult::ProjectUpload;
    refused.outcome = OperationResult::Failed;
    if (d->files.isEmpty()) {
        refused.message = guiText("The runtime project holds no files to upload.");
        endWith(refused);
        return;
    }

    DeviceLink* link = d->device.link(&refused.message);
    if (!link) {
        endWith(refused);
        return;
    }
    connectManager(link);
    d->transferLabel->begin(d->totalSize);
    // Refused when another operation holds the link; it then emits nothing.
    if (!Device::run(link->portName(), ServiceRecord::Upload,
                     [this, link]() { return link->uploadProject(d->files, d->configuration, int(d->totalSize)); },
                     d->packagePath)) {
        refused.message = guiText("The device is busy with another operation.");
        endWith(refused);
    }
}

void DeviceUploadDialog::onCurrentFileChanged(const QString& filePath)
{
    const int index = d->files.indexOf(filePath);
    if (index < 0)
        return;
    d->counterLabel->setText(QStringLiteral("%1/%2").arg(index + 1).arg(d->files.size()));
    d->currentFileBar->setMaximum(int(d->fileSizes.value(filePath, 0)));
    d->currentFileBar->setValue(0);
}

void DeviceUploadDialog::onFileTransferred(int size)
{
    d->currentFileBar->setValue(d->currentFileBar->value() + size);
    d->overallBar->setValue(d->overallBar->value() + size);
    d->transferLabel->add(size);
}

void DeviceUploadDialog::onProjectConfigurationStarted()
{
    d->configurationBox->setCheckState(Qt::PartiallyChecked);
}

void DeviceUploadDialog::onProjectConfigurationFinished()
{
    d->configurationBox->setCheckState(Qt::Checked);
    const int brightness = d->configuration.displayBrightness();
    if (brightness >= 0 && brightness <= 100)
        emit brightnessChanged(brightness);
}

void DeviceUploadDialog::onOperationEnded(const OperationResult& result)
{
    if (result.kind == OperationResult::ProjectUpload)
        endWith(result);
}

void DeviceUploadDialog::endWith(const OperationResult& result)
{
    if (d->ended || d->endScheduled)
        return;
    d->result = result;
    d->endScheduled = true;
    QMetaObject::invokeMethod(this, [this]() {
        if (d->ended)
            return;
        d->ended = true;
        d->running = false;
        if (d->waitBox)
            d->waitBox->done(0);
        const OperationResult result = d->result;
        if (result.succeeded()) {
            onUploadFinished();
            if (!result.message.isEmpty()) {
                // The files are installed but something after that is uncertain
                // (e.g. the restart was not confirmed): say so and let the user close.
                if (d->countdownTimerId != -1) {
                    killTimer(d->countdownTimerId);
                    d->countdownTimerId = -1;
                }
                d->statusLabel->setText(result.message);
                d->button->setText(guiText("Close"));
            }
        } else {
            const bool closes = result.outcome == OperationResult::TimedOut || result.outcome == OperationResult::DeviceLost;
            onUploadError(result.message, closes);
        }
    }, Qt::QueuedConnection);
}

void DeviceUploadDialog::onUploadFinished()
{
    disconnectManager();
    d->transferLabel->finish();
    d->running = false;
    if (d->configurationBox->checkState() != Qt::Checked)
        d->configurationBox->setCheckState(Qt::Checked);
    d->statusLabel->setText(guiText("Upload finished, the device will reboot.\nThis dialog box will automatically close."));
    d->button->setText(guiText("Close (%1)").arg(3));
    d->button->setDefault(true);
    emit uploadEnded(true);
    adjustSize();
    d->button->setEnabled(true);
    d->button->setFocus();
    d->countdown = 3;
    if (d->countdownTimerId != -1)
        killTimer(d->countdownTimerId);
    d->countdownTimerId = startTimer(1000);
}

void DeviceUploadDialog::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != d->countdownTimerId) {
        QDialog::timerEvent(event);
        return;
    }
    --d->countdown;
    d->button->setText(guiText("Close (%1)").arg(d->countdown));
    if (d->countdown <= 0) {
        killTimer(d->countdownTimerId);
        d->countdownTimerId = -1;
        d->statusLabel->hide();
        reject();
    }
}

void DeviceUploadDialog::onUploadError(const QString& error, bool needReboot)
{
    disconnectManager();
    d->transferLabel->finish();
    d->running = false;
    d->button->setText(guiText("Close"));
    d->button->setDefault(true);
    d->button->setEnabled(true);
    d->button->setFocus();
    emit uploadEnded(false);
    showMessage(error.isEmpty() ? guiText("An unknown error occurred.") : error);
    // A time-out or a lost device leaves nothing to look at: the device restarts or is gone.
    if (needReboot)
        reject();
}

void DeviceUploadDialog::showMessage(const QString& text)
{
    QPointer<MessageBox> box = new MessageBox(this, guiText("Upload Project"), text, MessageBox::Warning, QPixmap(),
                                              MessageBox::OK, MessageBox::NoButton, MessageBox::NoButton);
    box->setDefaultButton(box->button1());
    d->messageBox = box;
    box->exec();
    delete box;
}

void DeviceUploadDialog::reject()
{
    if (d->button->isEnabled()) {
        QDialog::reject();
        return;
    }
    if (d->waitBox)
        return;
    QPointer<MessageBox> box = new MessageBox(this, guiText("Upload Project"), guiText("Please wait until the upload is finished."),
                                              MessageBox::Information, QPixmap(), MessageBox::OK, MessageBox::NoButton,
                                              MessageBox::NoButton);
    box->setDefaultButton(box->button1());
    d->waitBox = box;
    d->messageBox = box;
    box->exec();
    delete box;
}

void DeviceUploadDialog::closeEvent(QCloseEvent* event)
{
    if (!d->button->isEnabled()) {
        event->ignore();
        // Asked once the close has been refused; a box run inside the close
        // event itself would be closed with it.
        QMetaObject::invokeMethod(this, &DeviceUploadDialog::reject, Qt::QueuedConnection);
        return;
    }
    if (d->messageBox) {
        d->messageBox->done(0);
        d->messageBox->deleteLater();
    }
    if (d->countdownTimerId != -1) {
        killTimer(d->countdownTimerId);
        d->countdownTimerId = -1;
    }
    d->statusLabel->hide();
    QDialog::closeEvent(event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
