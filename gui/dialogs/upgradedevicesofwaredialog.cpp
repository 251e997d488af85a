#include "upgradedevicesofwaredialog.h"

#include "devicelink.h"
#include "localizationhelper.h"
#include "messagebox.h"
#include "softwarepackagechecker.h"
#include "texthelper.h"
#include "transferstatuslabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using Orvane::Tavrix::Common::guiText;

namespace Orvane {
namespace Tavrix {
namespace Designer {

using Common::LocalizationHelper;
using Common::SoftwarePackageChecker;
using Common::TextHelper;
using Common::ServiceRecord;
using Runtime::DeviceLink;

namespace {

OperationProgressDialog::Texts upgradeTexts()
{
    OperationProgressDialog::Texts texts;
    texts.title = guiText("Upgrade Device Software");
    texts.waitText = guiText("Please wait until the upgrade is finished.");
    texts.busyButton = guiText("Upgrading");
    texts.finished = guiText("Upgrade finished, the device will reboot.\nThis dialog box will automatically close.");
    return texts;
}

} // namespace

class UpgradeDeviceSofwareDialogPrivate
{
public:
    QByteArray packageContent;
    QString version;
    QString installedVersion;
    QString packagePath;
    QString packageSha256;
    bool started = false;

    QLabel* olderLabel = nullptr;
    QLabel* versionLabel = nullptr;
    QLabel* dateLabel = nullptr;
    QProgressBar* progressBar = nullptr;
    QPushButton* upgradeButton = nullptr;
};

UpgradeDeviceSofwareDialog::UpgradeDeviceSofwareDialog(const QByteArray& packageContent, const QString& version,
                                                       const QDateTime& releaseDate, QWidget* parent)
    : OperationProgressDialog(upgradeTexts(),
                              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint
                                  | Qt::WindowCloseButtonHint,
                              parent)
    , d(new UpgradeDeviceSofwareDialogPrivate)
{
    d->packageContent = packageContent;
    setAccessibleDescription(guiText("The device software package and its version; Upgrade sends it "
                                     "to the device, which installs it and restarts."));
    d->version = version;
    setMinimumWidth(0);
    QVBoxLayout* layout = contentLayout();

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
    layout->addWidget(transferLabel());

    d->upgradeButton = new QPushButton(guiText("Upgrade"), this);
    d->upgradeButton->setObjectName(QStringLiteral("upgradeButton"));
    d->upgradeButton->setFixedWidth(100);
    d->upgradeButton->setDefault(true);
    d->upgradeButton->setAutoDefault(true);
    d->upgradeButton->setAccessibleDescription(guiText("Sends the software package to the device, which installs it and restarts."));
    connect(d->upgradeButton, &QPushButton::clicked, this, &UpgradeDeviceSofwareDialog::onUpgrade);
    buttonRow()->insertWidget(1, d->upgradeButton);

    connect(this, &OperationProgressDialog::runStarted, this, [this]() {
        d->upgradeButton->hide();
        d->upgradeButton->setDefault(false);
        emit upgradeStarted();
    });
    connect(this, &OperationProgressDialog::runEnded, this, &UpgradeDeviceSofwareDialog::upgradeEnded);
}

UpgradeDeviceSofwareDialog::~UpgradeDeviceSofwareDialog()
{
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
    setDevice(serial);
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

void UpgradeDeviceSofwareDialog::setPackage(const QString& path, const QString& sha256)
{
    d->packagePath = path;
    d->packageSha256 = sha256;
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
    if (d->packageContent.isEmpty()) {
        failBeforeStart(guiText("The device software package is empty."));
        return;
    }
    // The device the package was checked against, wherever it is now; never another one.
    const QByteArray content = d->packageContent;
    startRun(ServiceRecord::Upgrade, [content](DeviceLink* link) { return link->upgradeDeviceSoftware(content); }, d->packagePath,
             d->packageSha256, content.size());
}

void UpgradeDeviceSofwareDialog::onProgressed(qint64 done, qint64 total)
{
    OperationProgressDialog::onProgressed(done, total);
    d->progressBar->setValue(int(qMin<qint64>(done, d->progressBar->maximum())));
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
