#include "upgradedevicesofwaredialog.h"

#include "device.h"
#include "devicelink.h"
#include "devicetarget.h"
#include "localizationhelper.h"
#include "messagebox.h"
#include "operationresult.h"
#include "serialportmanager.h"
#include "softwarepackagechecker.h"
#include "texthelper.h"
#include "transferstatuslabel.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimerEvent>
#include <QVBoxLayout>

using Orvane::Tavrix::Common::guiText;

namespace Orvane {
namespace Tavrix {
namespace Designer {

using Common::LocalizationHelper;
using Common::SoftwarePackageChecker;
using Common::TextHelper;
using Common::ServiceRecord;
using Runtime::Device;
using Runtime::OperationResult;
using Runtime::DeviceLink;
using Runtime::SerialPortManager;

namespace {

} // namespace

class UpgradeDeviceSofwareDialogPrivate
{
public:
    QByteArray packageContent;
    QString version;
    QString installedVersion;
    QString packagePath;
    DeviceTarget device;
    int transferred = 0;
    int countdown = 0;
    int countdownTimerId = -1;
    QPointer<MessageBox> messageBox;
    QPointer<MessageBox> waitBox;

    QLabel* deviceLabel = nullptr;
    QLabel* olderLabel = nullptr;
    TransferStatusLabel* transferLabel = nullptr;
    QLabel* versionLabel = nullptr;
    QLabel* dateLabel = nullptr;
    QProgressBar* progressBar = nullptr;
    QLabel* statusLabel = nullptr;
    QPushButton* upgradeButton = nullptr;
    QPushButton* button = nullptr;

    QList<QMetaObject::Connection> connections;
    bool started = false;
    bool ended = false;
    bool endScheduled = false;
    OperationResult result;
};

UpgradeDeviceSofwareDialog::UpgradeDeviceSofwareDialog(const QByteArray& packageContent, const QString& version,
                                                       const QDateTime& releaseDate, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint
                          | Qt::WindowCloseButtonHint)
    , d(new UpgradeDeviceSofwareDialogPrivate)
{
    d->packageContent = packageContent;
    d->version = version;
    setObjectName(QStringLiteral("general"));
    setWindowTitle(guiText("Upgrade Device Software"));

    auto* layout = new QVBoxLayout(this);

    d->deviceLabel = new QLabel(this);
    d->deviceLabel->setObjectName(QStringLiteral("deviceLabel"));
    d->deviceLabel->setStyleSheet(QStringLiteral("QLabel { font: bold; }"));
    layout->addWidget(d->deviceLabel);
    setDeviceSerial(DeviceTarget::ofActivePort().serial());

    auto* infoRow = new QHBoxLayout;
    infoRow->addWidget(new QLabel(guiText("Version:"), this));
    d->versionLabel = new QLabel(version, this);
    d->versionLabel->setObjectName(QStringLiteral("versionLabel"));
    d->versionLabel->setContentsMargins(0, 0, 0, 0);
    infoRow->addWidget(d->versionLabel);
    infoRow->addSpacing(30);
    infoRow->addWidget(new QLabel(guiText("Release Date:"), this));
    d->dateLabel = new QLabel(releaseDateText(releaseDate, translatorLocale()), this);
    d->dateLabel->setObjectName(QStringLiteral("releaseDateLabel"));
    infoRow->addWidget(d->dateLabel);
    layout->addLayout(infoRow);
    d->olderLabel = new QLabel(this);
    d->olderLabel->setObjectName(QStringLiteral("olderLabel"));
    d->olderLabel->setStyleSheet(QStringLiteral("QLabel { color: #b00000; }"));
    d->olderLabel->hide();
    layout->addWidget(d->olderLabel);

    layout->addSpacing(10);

    d->progressBar = new QProgressBar(this);
    d->progressBar->setObjectName(QStringLiteral("progressBar"));
    d->progressBar->setMinimum(0);
    d->progressBar->setMaximum(int(packageContent.size()));
    d->progressBar->setValue(0);
    d->progressBar->setTextVisible(false);
    layout->addWidget(d->progressBar);
    d->transferLabel = new TransferStatusLabel(this);
    layout->addWidget(d->transferLabel);

    d->statusLabel = new QLabel(this);
    d->statusLabel->setObjectName(QStringLiteral("statusLabel"));
    layout->addWidget(d->statusLabel);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    d->upgradeButton = new QPushButton(guiText("Upgrade"), this);
    d->upgradeButton->setObjectName(QStringLiteral("upgradeButton"));
    d->upgradeButton->setFixedWidth(100);
    d->upgradeButton->setDefault(true);
    d->upgradeButton->setAutoDefault(true);
    connect(d->upgradeButton, &QPushButton::clicked, this, &UpgradeDeviceSofwareDialog::onUpgrade);
    buttonRow->addWidget(d->upgradeButton);
    d->button = new QPushButton(guiText("Cancel"), this);
    d->button->setObjectName(QStringLiteral("closeButton"));
    d->button->setFixedWidth(100);
    d->button->setDefault(false);
    d->button->setAutoDefault(false);
    connect(d->button, &QPushButton::clicked, this, &UpgradeDeviceSofwareDialog::reject);
    buttonRow->addWidget(d->button);
    layout->addLayout(buttonRow);
}

UpgradeDeviceSofwareDialog::~UpgradeDeviceSofwareDialog()
{
    disconnectManager();
    if (d->countdownTimerId != -1)
        killTimer(d->countdownTimerId);
    delete d;
}

QString UpgradeDeviceSofwareDialog::releaseDateFormat(const QString& longDateFormat)
{
    QString format = longDateFormat;
    if (format.contains(QLatin1String("ddd"))) {
        if (format.contains(QLatin1String("dddd")))
            format.remove(QStringLiteral("dddd"));
        else
            format.remove(QStringLiteral("ddd"));
    }
    format.replace(QStringLiteral("  "), QStringLiteral(" "));
    while (format.startsWith(QLatin1Char(',')) || format.startsWith(QLatin1Char('.')))
        format.remove(0, 1);
    // A weekday at the end leaves its separator and blank behind.
    format = TextHelper::removeTrailingSpaces(format);
    while (format.endsWith(QLatin1Char(',')) || format.endsWith(QLatin1Char('.'))) {
        format.chop(1);
        format = TextHelper::removeTrailingSpaces(format);
    }
    return format;
}

QString UpgradeDeviceSofwareDialog::releaseDateText(const QDateTime& releaseDate, const QLocale& locale)
{
    return locale.toString(releaseDate.toLocalTime(), releaseDateFormat(locale.dateFormat(QLocale::LongFormat)));
}

QLocale UpgradeDeviceSofwareDialog::translatorLocale()
{
    LocalizationHelper* translator = LocalizationHelper::appTranslator();
    return translator ? QLocale(translator->currentLocale()) : QLocale();
}

void UpgradeDeviceSofwareDialog::setDeviceSerial(const QString& serial)
{
    d->device = DeviceTarget(serial);
    d->deviceLabel->setText(d->device.title());
}

void UpgradeDeviceSofwareDialog::setInstalledVersion(const QString& version)
{
    d->installedVersion = version;
    const bool older = isOlderThanInstalled();
    d->olderLabel->setText(older ? SoftwarePackageChecker::olderVersionText(d->version, version) : QString());
    d->olderLabel->setVisible(older);
    adjustSize();
}

bool UpgradeDeviceSofwareDialog::isOlderThanInstalled() const
{
    return SoftwarePackageChecker::isOlderVersion(d->version, d->installedVersion);
}

QString UpgradeDeviceSofwareDialog::deviceText() const
{
    return d->deviceLabel->text();
}

TransferStatusLabel* UpgradeDeviceSofwareDialog::transferLabel() const
{
    return d->transferLabel;
}

void UpgradeDeviceSofwareDialog::setPackagePath(const QString& path)
{
    d->packagePath = path;
}

void UpgradeDeviceSofwareDialog::connectManager(DeviceLink* link)
{
    // Its own device's link only: other devices' operations run beside it.
    d->connections << connect(link, &DeviceLink::progressUpdated, this, &UpgradeDeviceSofwareDialog::onDataTransferred)
                   << connect(link, &DeviceLink::progressMessage, d->statusLabel, &QLabel::setText)
                   << connect(link, &DeviceLink::operationEnded, this, &UpgradeDeviceSofwareDialog::onOperationEnded);
}

void UpgradeDeviceSofwareDialog::disconnectManager()
{
    for (const QMetaObject::Connection& connection : std::as_const(d->connections))
        disconnect(connection);
    d->connections.clear();
}

void UpgradeDeviceSofwareDialog::onUpgrade()
{
    if (d->started)
        return;
    if (isOlderThanInstalled()
        && MessageBox::question(this, guiText("Upgrade Device Software"),
                                SoftwarePackageChecker::olderVersionText(d->version, d->installedVersion) + QStringLiteral("\n\n")
                                    + guiText("Do you want to install the older version?"),
                                false)
               != MessageBox::AcceptCode)
        return;
    d->started = true;
    emit upgradeStarted();
    d->upgradeButton->hide();
    d->upgradeButton->setDefault(false);
    d->button->setText(guiText("Upgrading"));
    d->button->setEnabled(false);

    OperationResult refused;
    refused.kind = OperationResult::SoftwareUpgrade;
    refused.outcome = OperationResult::Failed;
    if (d->packageContent.isEmpty()) {
        refused.message = guiText("The device software package is empty.");
        endWith(refused);
        return;
    }

    // The device the package was checked against, wherever it is now; never another one.
    DeviceLink* link = d->device.link(&refused.message);
    if (!link) {
        endWith(refused);
        return;
    }
    connectManager(link);
    d->transferLabel->begin(d->packageContent.size());
    // Refused when another operation holds the link; it then emits nothing.
    if (!Device::run(link->portName(), ServiceRecord::Upgrade,
                     [this, link]() { return link->upgradeDeviceSoftware(d->packageContent); }, d->packagePath)) {
        refused.message = guiText("The device is busy with another operation.");
        endWith(refused);
    }
}

void UpgradeDeviceSofwareDialog::onDataTransferred(int size)
{
    d->transferred += size;
    d->progressBar->setValue(d->transferred);
    d->transferLabel->setDone(d->transferred);
}

void UpgradeDeviceSofwareDialog::onOperationEnded(const OperationResult& result)
{
    if (result.kind == OperationResult::SoftwareUpgrade)
        endWith(result);
}

void UpgradeDeviceSofwareDialog::endWith(const OperationResult& result)
{
    if (d->ended || d->endScheduled)
        return;
    d->result = result;
    d->endScheduled = true;
    // Shown after the manager has finished its own signals, never inside them.
    QMetaObject::invokeMethod(this, [this]() {
        if (d->ended)
            return;
        d->ended = true;
        if (d->waitBox)
            d->waitBox->done(0);
        const OperationResult result = d->result;
        if (result.succeeded()) {
            onUpgradeFinished();
            if (!result.message.isEmpty()) {
                if (d->countdownTimerId != -1) {
                    killTimer(d->countdownTimerId);
                    d->countdownTimerId = -1;
                }
                d->statusLabel->setText(result.message);
                d->button->setText(guiText("Close"));
            }
        } else {
            const bool closes = result.outcome == OperationResult::TimedOut || result.outcome == OperationResult::DeviceLost;
            onUpgradeError(result.message, closes);
        }
    }, Qt::QueuedConnection);
}

void UpgradeDeviceSofwareDialog::onUpgradeFinished()
{
    disconnectManager();
    d->transferLabel->finish();
    d->statusLabel->setText(guiText("Upgrade finished, the device will reboot.\nThis dialog box will automatically close."));
    d->button->setText(guiText("Close (%1)").arg(3));
    d->upgradeButton->setDefault(false);
    d->button->setDefault(true);
    emit upgradeEnded(true);
    adjustSize();
    d->button->setEnabled(true);
    d->button->setFocus();
    d->countdown = 3;
    if (d->countdownTimerId != -1)
        killTimer(d->countdownTimerId);
    d->countdownTimerId = startTimer(1000);
}

void UpgradeDeviceSofwareDialog::timerEvent(QTimerEvent* event)
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
        reject();
    }
}

void UpgradeDeviceSofwareDialog::onUpgradeError(const QString& error, bool needReboot)
{
    disconnectManager();
    d->transferLabel->finish();
    d->button->setText(guiText("Close"));
    d->upgradeButton->setDefault(false);
    d->button->setDefault(true);
    d->button->setEnabled(true);
    d->button->setFocus();
    emit upgradeEnded(false);
    showMessage(error.isEmpty() ? guiText("An unknown error occurred.") : error);
    if (needReboot)
        reject();
}

void UpgradeDeviceSofwareDialog::showMessage(const QString& text)
{
    QPointer<MessageBox> box = new MessageBox(this, guiText("Upgrade Device Software"), text, MessageBox::Warning, QPixmap(),
                                              MessageBox::OK, MessageBox::NoButton, MessageBox::NoButton);
    box->setDefaultButton(box->button1());
    d->messageBox = box;
    box->exec();
    delete box;
}

void UpgradeDeviceSofwareDialog::reject()
{
    if (d->button->isEnabled()) {
        QDialog::reject();
        return;
    }
    if (d->waitBox)
        return;
    QPointer<MessageBox> box = new MessageBox(this, guiText("Upgrade Device Software"),
                                              guiText("Please wait until the upgrade is finished."), MessageBox::Information,
                                              QPixmap(), MessageBox::OK, MessageBox::NoButton, MessageBox::NoButton);
    box->setDefaultButton(box->button1());
    d->waitBox = box;
    d->messageBox = box;
    box->exec();
    delete box;
}

void UpgradeDeviceSofwareDialog::closeEvent(QCloseEvent* event)
{
    if (!d->button->isEnabled()) {
        event->ignore();
        // Asked once the close has been refused; a box run inside the close
        // event itself would be closed with it.
        QMetaObject::invokeMethod(this, &UpgradeDeviceSofwareDialog::reject, Qt::QueuedConnection);
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
