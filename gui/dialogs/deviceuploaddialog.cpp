#include "deviceuploaddialog.h"

#include "configurationinfo.h"
#include "devicelink.h"
#include "localizationhelper.h"
#include "projectpackagechecker.h"
#include "transferstatuslabel.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMap>
#include <QProgressBar>
#include <QVBoxLayout>

using Orvane::Tavrix::Common::guiText;

namespace Orvane {
namespace Tavrix {
namespace Designer {

using Common::ConfigurationInfo;
using Common::ProjectPackageChecker;
using Common::ServiceRecord;
using Runtime::DeviceLink;

class DeviceUploadDialogPrivate
{
public:
    QStringList files;
    qint64 totalSize = 0;
    QMap<QString, qint64> fileSizes;
    qint64 fileStart = 0; // the project's bytes sent before the current file
    ConfigurationInfo configuration;

    QLabel* counterLabel = nullptr;
    QProgressBar* currentFileBar = nullptr;
    QProgressBar* overallBar = nullptr;
    QCheckBox* configurationBox = nullptr;
};

namespace {

OperationProgressDialog::Texts uploadTexts()
{
    OperationProgressDialog::Texts texts;
    texts.title = guiText("Upload Project");
    texts.waitText = guiText("Please wait until the upload is finished.");
    texts.busyButton = guiText("Uploading");
    texts.finished = guiText("Upload finished, the device will reboot.\nThis dialog box will automatically close.");
    return texts;
}

} // namespace

DeviceUploadDialog::DeviceUploadDialog(const QString& projectFolder, const ConfigurationInfo& configuration, QWidget* parent,
                                       const QString& packagePath, const QString& deviceSerial, const QString& packageSha256,
                                       const QString& devicePort)
    : OperationProgressDialog(uploadTexts(), Qt::Dialog | Qt::FramelessWindowHint, parent)
    , d(new DeviceUploadDialogPrivate)
{
    d->configuration = configuration;
    setDevice(deviceSerial, devicePort);
    // The files of the project, then its configuration file(s); empty files are
    // left out because the device cannot be sent an empty file.
    qint64 total = 0;
    d->files = ProjectPackageChecker::uploadFileList(projectFolder, &total);
    d->totalSize = total;
    for (const QString& file : std::as_const(d->files))
        d->fileSizes.insert(file, QFileInfo(file).size());

    setAccessibleDescription(guiText("Sends the runtime project to the device file by file; the device then restarts with it."));
    QVBoxLayout* layout = contentLayout();
    auto* counterRow = new QHBoxLayout;
    auto* currentFileLabel = new QLabel(guiText("Current File"), this);
    counterRow->addWidget(currentFileLabel);
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
    currentFileLabel->setBuddy(d->currentFileBar);
    layout->addWidget(d->currentFileBar);

    auto* overallLabel = new QLabel(guiText("Overall Progress"), this);
    layout->addWidget(overallLabel);
    d->overallBar = new QProgressBar(this);
    overallLabel->setBuddy(d->overallBar);
    d->overallBar->setObjectName(QStringLiteral("overallProgressBar"));
    d->overallBar->setMinimum(0);
    d->overallBar->setMaximum(int(d->totalSize));
    d->overallBar->setValue(0);
    d->overallBar->setTextVisible(false);
    layout->addWidget(d->overallBar);
    layout->addWidget(transferLabel());
    layout->addSpacing(20);

    auto* configurationRow = new QHBoxLayout;
    auto* configurationLabel = new QLabel(guiText("Update Configuration"), this);
    configurationRow->addWidget(configurationLabel);
    configurationRow->addStretch();
    d->configurationBox = new QCheckBox(this);
    // The box shows a step's state, named by the label beside it.
    configurationLabel->setBuddy(d->configurationBox);
    d->configurationBox->setAccessibleDescription(guiText("Half ticked while the device takes the project's "
                                                          "configuration, ticked once it has."));
    d->configurationBox->setObjectName(QStringLiteral("configurationCheckBox"));
    d->configurationBox->setCheckable(true);
    d->configurationBox->setTristate(true);
    d->configurationBox->setCheckState(Qt::Unchecked);
    d->configurationBox->setEnabled(false);
    configurationRow->addWidget(d->configurationBox);
    layout->addLayout(configurationRow);

    connect(this, &OperationProgressDialog::runStarted, this, &DeviceUploadDialog::uploadStarted);
    connect(this, &OperationProgressDialog::runEnded, this, [this](bool success) {
        if (success && d->configurationBox->checkState() != Qt::Checked)
            d->configurationBox->setCheckState(Qt::Checked);
        emit uploadEnded(success);
    });

    if (d->files.isEmpty()) {
        failBeforeStart(guiText("The runtime project holds no files to upload."));
        return;
    }
    startRun(ServiceRecord::Upload, [this](DeviceLink* link) {
        keepUntilEnd(connect(link, &DeviceLink::currentFileChanged, this, &DeviceUploadDialog::onCurrentFileChanged));
        keepUntilEnd(connect(link, &DeviceLink::projectConfigurationStarted, this,
                             [this]() { d->configurationBox->setCheckState(Qt::PartiallyChecked); }));
        keepUntilEnd(connect(link, &DeviceLink::projectConfigurationFinished, this, [this]() {
            d->configurationBox->setCheckState(Qt::Checked);
            const int brightness = d->configuration.displayBrightness();
            if (brightness >= 0 && brightness <= 100)
                emit brightnessChanged(brightness);
        }));
        return link->uploadProject(d->files, d->configuration, int(d->totalSize));
    }, packagePath, packageSha256, d->totalSize);
}

DeviceUploadDialog::~DeviceUploadDialog()
{
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

void DeviceUploadDialog::onCurrentFileChanged(const QString& filePath)
{
    const int index = d->files.indexOf(filePath);
    if (index < 0)
        return;
    d->counterLabel->setText(QStringLiteral("%1/%2").arg(index + 1).arg(d->files.size()));
    d->fileStart = d->overallBar->value();
    d->currentFileBar->setMaximum(int(d->fileSizes.value(filePath, 0)));
    d->currentFileBar->setValue(0);
}

void DeviceUploadDialog::onProgressed(qint64 done, qint64 total)
{
    OperationProgressDialog::onProgressed(done, total);
    d->overallBar->setValue(int(qMin(done, d->totalSize)));
    d->currentFileBar->setValue(int(qMin<qint64>(done - d->fileStart, d->currentFileBar->maximum())));
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
