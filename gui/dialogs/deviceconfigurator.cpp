#include "deviceconfigurator.h"

#include "devicelink.h"
#include "devicerules.h"

#include "combobox.h"
#include "deviceinformation.h"
#include "devicesplashpreviewdialog.h"
#include "filehelper.h"
#include "localizationhelper.h"
#include "messagebox.h"
#include "operationrun.h"
#include "serialportmanager.h"
#include "splashimageloader.h"
#include "texthelper.h"
#include "transferrate.h"
#include "transferstatuslabel.h"
#include "txdatetimeedit.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTimerEvent>
#include <QVBoxLayout>

using Orvane::Tavrix::Common::guiText;

using Orvane::Tavrix::Common::CalibrationInfo;
using Orvane::Tavrix::Common::FileHelper;
using Orvane::Tavrix::Common::LocalizationHelper;
using Orvane::Tavrix::Common::SplashImageLoader;
using Orvane::Tavrix::Common::TextHelper;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Common::TransferRate;
using Orvane::Tavrix::Runtime::OperationRun;
using Orvane::Tavrix::Runtime::DeviceInformation;
using Orvane::Tavrix::Runtime::DeviceRules;
using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

const char* const BackupKey = "BACKUP";
const char* const RestoreKey = "RESTORE";
const char* const NoneKey = "NONE";
const int CountdownStart = 3;

} // namespace

DeviceConfigurator::DeviceConfigurator(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("general"));
    setWindowTitle(guiText("Configure Device"));
    setAccessibleDescription(guiText("Sets the device's name, clock and time zone, battery check and splash "
                                     "image, and backs up or restores its touch-screen calibration."));
    setAcceptDrops(true);
    setupWidgets();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

DeviceConfigurator::~DeviceConfigurator()
{
    dropConnections();
}

QString DeviceConfigurator::calibrationDirectory()
{
    return DeviceRules::calibrationFolder();
}

QString DeviceConfigurator::calibrationFilePath(const QString& serial)
{
    return DeviceRules::calibrationBackupPath(serial);
}

void DeviceConfigurator::setupWidgets()
{
    auto* mainLayout = new QVBoxLayout(this);

    m_deviceLabel = new QLabel(this);
    m_deviceLabel->setObjectName(QStringLiteral("deviceLabel"));
    m_deviceLabel->setStyleSheet(QStringLiteral("QLabel { font: bold; }"));
    mainLayout->addWidget(m_deviceLabel);

    auto* infoGrid = new QGridLayout;
    auto addInfoRow = [this, infoGrid](int row, const QString& label) {
        auto* edit = new QLineEdit(this);
        edit->setReadOnly(true);
        edit->setAlignment(Qt::AlignLeft);
        edit->setContextMenuPolicy(Qt::NoContextMenu);
        edit->setMinimumWidth(260);
        edit->installEventFilter(this);
        auto* caption = new QLabel(label, this);
        caption->setBuddy(edit);
        infoGrid->addWidget(caption, row, 0);
        infoGrid->addWidget(edit, row, 1);
        return edit;
    };
    m_modelEdit = addInfoRow(0, guiText("Model:"));
    m_serialEdit = addInfoRow(1, guiText("Serial Number:"));
    m_firmwareEdit = addInfoRow(2, guiText("Firmware Version:"));
    m_softwareEdit = addInfoRow(3, guiText("Software Version:"));
    m_modelEdit->setObjectName(QStringLiteral("modelEdit"));
    m_serialEdit->setObjectName(QStringLiteral("serialEdit"));
    m_firmwareEdit->setObjectName(QStringLiteral("firmwareEdit"));
    m_softwareEdit->setObjectName(QStringLiteral("softwareEdit"));
    mainLayout->addLayout(infoGrid);

    auto* calibrationRow = new QHBoxLayout;
    auto* calibrationLabel = new QLabel(guiText("Device Calibration"), this);
    calibrationRow->addWidget(calibrationLabel);
    m_calibrationCombo = new ComboBox(this);
    m_calibrationCombo->setObjectName(QStringLiteral("calibrationCombo"));
    calibrationLabel->setBuddy(m_calibrationCombo);
    m_calibrationCombo->setAccessibleDescription(
        guiText("Backup saves the device's touch-screen calibration in the Calibrations folder; Restore sends the saved one back."));
    m_calibrationCombo->addItem(guiText("None"), QString::fromLatin1(NoneKey));
    m_calibrationCombo->addItem(guiText("Backup"), QString::fromLatin1(BackupKey));
    m_calibrationCombo->addItem(guiText("Restore"), QString::fromLatin1(RestoreKey));
    m_calibrationCombo->setCurrentItemKey(QString::fromLatin1(NoneKey));
    calibrationRow->addWidget(m_calibrationCombo);
    calibrationRow->addStretch();
    mainLayout->addLayout(calibrationRow);

    // The clock starts at this computer's offset from UTC.
    const int offset = SerialPortManager::getLocalMinuteOffset();
    auto* clockRow = new QHBoxLayout;
    m_timeBox = new QCheckBox(guiText("Set Real Time Clock"), this);
    m_timeBox->setObjectName(QStringLiteral("timeBox"));
    m_signCombo = new ComboBox(this);
    m_signCombo->setObjectName(QStringLiteral("signCombo"));
    m_signCombo->addItem(QStringLiteral("+"));
    m_signCombo->addItem(QStringLiteral("-"));
    m_signCombo->setStyleSheet(QStringLiteral("QComboBox { min-width: 20px; min-height: 20px; }"));
    m_signCombo->setAcceptWheel(true);
    m_signCombo->setCurrentIndex(offset < 0 ? 1 : 0);
    m_signCombo->setEnabled(false);
    m_timeEdit = new TxDateTimeEdit(this);
    m_timeEdit->setObjectName(QStringLiteral("timeEdit"));
    m_timeEdit->setDisplayFormat(QStringLiteral("hh:mm"));
    m_timeEdit->setTimeRange(QTime(0, 0), QTime(12, 0));
    m_timeEdit->setTime(QTime(qAbs(offset) / 60, qAbs(offset) % 60));
    m_timeEdit->setEnabled(false);
    m_timeBox->setAccessibleDescription(guiText("Sets the device clock to this computer's time in the time zone beside it."));
    // The offset's two fields are the device's time zone: a label says so.
    auto* zoneLabel = new QLabel(guiText("Time zone: UTC"), this);
    zoneLabel->setObjectName(QStringLiteral("timeZoneLabel"));
    zoneLabel->setBuddy(m_signCombo);
    m_signCombo->setAccessibleName(guiText("Time zone: ahead of or behind UTC"));
    m_timeEdit->setAccessibleName(guiText("Time zone: hours and minutes from UTC"));
    clockRow->addWidget(m_timeBox);
    clockRow->addWidget(zoneLabel);
    clockRow->addWidget(m_signCombo);
    clockRow->addWidget(m_timeEdit);
    clockRow->addStretch();
    mainLayout->addLayout(clockRow);

    auto* batteryRow = new QHBoxLayout;
    batteryRow->addSpacing(160);
    m_batteryBox = new QCheckBox(guiText("Battery Low Check"), this);
    m_batteryBox->setObjectName(QStringLiteral("batteryBox"));
    m_batteryBox->setChecked(true);
    m_batteryBox->setEnabled(false);
    m_batteryBox->setAccessibleDescription(guiText("The device warns when its clock battery runs low."));
    batteryRow->addWidget(m_batteryBox);
    batteryRow->addStretch();
    mainLayout->addLayout(batteryRow);

    auto* nameRow = new QHBoxLayout;
    m_nameBox = new QCheckBox(guiText("Set Device Name"), this);
    m_nameBox->setObjectName(QStringLiteral("nameBox"));
    m_nameEdit = new QLineEdit(QStringLiteral("ARDODevice"), this);
    m_nameEdit->setObjectName(QStringLiteral("nameEdit"));
    m_nameEdit->setEnabled(false);
    m_nameEdit->setAccessibleName(guiText("Device name"));
    m_nameBox->setAccessibleDescription(guiText("The device takes the name typed beside it."));
    nameRow->addWidget(m_nameBox);
    nameRow->addWidget(m_nameEdit, 1);
    mainLayout->addLayout(nameRow);

    auto* splashRow = new QHBoxLayout;
    m_restoreSplashBox = new QCheckBox(guiText("Restore Default Splash Screen"), this);
    m_restoreSplashBox->setObjectName(QStringLiteral("restoreSplashBox"));
    m_splashEdit = new QLineEdit(guiText("No splash screen selected"), this);
    m_splashEdit->setObjectName(QStringLiteral("readOnly"));
    m_splashEdit->setReadOnly(true);
    m_splashEdit->setMinimumWidth(240);
    m_splashEdit->setCursorPosition(0);
    m_splashEdit->installEventFilter(this);
    m_browseButton = new QPushButton(QIcon(QStringLiteral(":/images/open")), QString(), this);
    m_browseButton->setObjectName(QStringLiteral("leftButtonSmall"));
    m_browseButton->setFixedWidth(30);
    m_clearButton = new QPushButton(QIcon(QStringLiteral(":/images/close")), QString(), this);
    m_clearButton->setObjectName(QStringLiteral("rightButtonSmall"));
    m_clearButton->setFixedWidth(30);
    // Both buttons show an icon only.
    m_splashEdit->setAccessibleName(guiText("Splash image"));
    m_browseButton->setAccessibleName(guiText("Choose splash image..."));
    m_browseButton->setAccessibleDescription(guiText("A BMP, JPEG or PNG file, scaled to the device's screen after a preview."));
    m_clearButton->setAccessibleName(guiText("Clear splash image"));
    m_clearButton->setAccessibleDescription(guiText("No new splash image is sent."));
    m_restoreSplashBox->setAccessibleDescription(guiText("The device shows its own splash screen again."));
    splashRow->addWidget(m_restoreSplashBox);
    splashRow->addWidget(m_splashEdit, 1);
    splashRow->addSpacing(0);
    splashRow->addWidget(m_browseButton);
    splashRow->addWidget(m_clearButton);
    mainLayout->addLayout(splashRow);
    // How long the chosen image takes on the line, said before it is sent.
    m_splashTimeLabel = new QLabel(this);
    m_splashTimeLabel->setObjectName(QStringLiteral("splashTimeLabel"));
    m_splashTimeLabel->setWordWrap(true);
    m_splashTimeLabel->hide();
    mainLayout->addWidget(m_splashTimeLabel);

    m_errorLabel = new QLabel(this);
    m_errorLabel->setObjectName(QStringLiteral("error"));
    m_errorLabel->hide();
    mainLayout->addWidget(m_errorLabel);

    auto* bottomRow = new QHBoxLayout;
    m_progressBar = new QProgressBar(this);
    m_progressBar->setMinimum(0);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    m_progressBar->hide();
    m_messageLabel = new QLabel(this);
    m_messageLabel->setObjectName(QStringLiteral("messageLabel"));
    m_messageLabel->hide();
    m_configureButton = new QPushButton(guiText("Configure"), this);
    m_configureButton->setObjectName(QStringLiteral("configureButton"));
    m_configureButton->setDefault(false);
    m_configureButton->setAutoDefault(false);
    m_configureButton->setEnabled(false);
    m_configureButton->setAccessibleDescription(guiText("Sends the chosen settings to the device."));
    bottomRow->addWidget(m_progressBar, 1);
    bottomRow->addWidget(m_messageLabel, 1);
    bottomRow->addStretch();
    bottomRow->addWidget(m_configureButton);
    m_cancelButton = new QPushButton(guiText("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setAutoDefault(false);
    m_cancelButton->hide();
    m_cancelButton->setAccessibleDescription(guiText("Stops the settings safely: a splash image or calibration on its way is abandoned and the device keeps what it had."));
    bottomRow->addWidget(m_cancelButton);
    mainLayout->addLayout(bottomRow);
    m_transferLabel = new TransferStatusLabel(this);
    m_transferLabel->hide();
    mainLayout->addWidget(m_transferLabel);

    connect(m_calibrationCombo, &QComboBox::currentIndexChanged, this, &DeviceConfigurator::onCalibrationChanged);
    connect(m_timeBox, &QCheckBox::clicked, this, &DeviceConfigurator::onTimeClicked);
    connect(m_signCombo, &QComboBox::currentIndexChanged, this, &DeviceConfigurator::onTimeZoneChanged);
    connect(m_timeEdit, &QDateTimeEdit::timeChanged, this, &DeviceConfigurator::onTimeZoneChanged);
    connect(m_batteryBox, &QCheckBox::clicked, this, &DeviceConfigurator::onBatteryLowCheckClicked);
    connect(m_nameBox, &QCheckBox::clicked, this, &DeviceConfigurator::onDeviceNameChanged);
    connect(m_nameEdit, &QLineEdit::textEdited, this, &DeviceConfigurator::onDeviceNameChanged);
    connect(m_restoreSplashBox, &QCheckBox::clicked, this, &DeviceConfigurator::onRestoreSplashClicked);
    connect(m_browseButton, &QPushButton::clicked, this, &DeviceConfigurator::onBrowseImage);
    connect(m_clearButton, &QPushButton::clicked, this, &DeviceConfigurator::onClearImage);
    connect(m_configureButton, &QPushButton::clicked, this, &DeviceConfigurator::onConfigure);
    connect(m_cancelButton, &QPushButton::clicked, this, &DeviceConfigurator::onCancel);
}

void DeviceConfigurator::setActivePort(const QString& portName)
{
    if (portName == m_portName)
        return;
    if (portName.isEmpty()) {
        m_portName.clear();
        m_modelEdit->clear();
        m_serialEdit->clear();
        m_firmwareEdit->clear();
        m_softwareEdit->clear();
        m_nameEdit->clear();
        m_errorLabel->clear();
        return;
    }
    SerialPortManager* manager = SerialPortManager::instance();
    if (!manager->connectedPorts().contains(portName))
        return;
    m_portName = portName;
    const QMap<QString, QString> info = manager->deviceInformation(portName);
    m_modelEdit->setText(info.value(QStringLiteral("model")));
    m_serialEdit->setText(info.value(QStringLiteral("serial")));
    m_firmwareEdit->setText(info.value(QStringLiteral("firmware")));
    m_softwareEdit->setText(info.value(QStringLiteral("deviceAppVer")));
    m_deviceLabel->setText(DeviceTarget::line(info));
}

void DeviceConfigurator::setDeviceSerial(const QString& serial)
{
    m_device = DeviceTarget(serial, m_portName);
    m_deviceLabel->setText(m_device.line());
}

void DeviceConfigurator::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Restored from minimised, or shown again while it works or counts down: as it was.
    if (event->spontaneous() || m_busy || m_countdownTimer)
        return;
    resetChoices();
}

void DeviceConfigurator::resetChoices()
{
    const DeviceTarget target = device();
    const QMap<QString, QString> info = SerialPortManager::instance()->deviceInformation(target.port());
    if (!target.isEmpty())
        m_deviceLabel->setText(target.line());

    m_calibrationCombo->setCurrentItemKey(QString::fromLatin1(NoneKey));
    onCalibrationChanged();

    // The clock starts at the device's own time zone; the computer's when it has none.
    const int zone = DeviceInformation(info).timeZone().value_or(SerialPortManager::getLocalMinuteOffset());
    m_timeBox->setChecked(false);
    m_signCombo->setCurrentIndex(zone < 0 ? 1 : 0);
    m_timeEdit->setTime(QTime(qAbs(zone) / 60, qAbs(zone) % 60));
    onTimeClicked();

    m_nameBox->setChecked(false);
    if (!info.isEmpty())
        m_nameEdit->setText(currentDeviceName());
    onDeviceNameChanged();

    m_restoreSplashBox->setChecked(false);
    onRestoreSplashClicked();
    onClearImage();
    m_messageLabel->clear();
    m_messageLabel->hide();
    m_transferLabel->hide();
    updateConfigureButton();
}

QString DeviceConfigurator::lineTimeText(qint64 bytes)
{
    const double seconds = TransferRate::lineSeconds(bytes);
    if (seconds < 60.0)
        return guiText("less than a minute");
    const int minutes = qMax(1, qRound(seconds / 60.0));
    return minutes == 1 ? guiText("about 1 minute") : guiText("about %1 minutes").arg(minutes);
}

void DeviceConfigurator::showSplashTime()
{
    const qint64 bytes = m_info.splashScreenData().size();
    m_splashTimeLabel->setVisible(bytes > 0);
    if (bytes > 0)
        m_splashTimeLabel->setText(guiText("Sending this image (%1) takes %2 at %3 baud.")
                                       .arg(TransferStatusLabel::bytesText(bytes), lineTimeText(bytes),
                                            QString::number(TransferRate::LineBaudRate)));
}

void DeviceConfigurator::showActivity(const QString& text)
{
    m_messageLabel->setText(text);
    m_messageLabel->show();
}

DeviceTarget DeviceConfigurator::device() const
{
    if (!m_device.isEmpty())
        return m_device;
    return DeviceTarget(SerialPortManager::instance()->deviceInformation(m_portName).value(QStringLiteral("serial")));
}

QString DeviceConfigurator::serial() const
{
    return device().serial();
}

QString DeviceConfigurator::currentDeviceName() const
{
    return SerialPortManager::instance()->deviceInformation(device().port()).value(QStringLiteral("deviceName"));
}

void DeviceConfigurator::updateConfigureButton()
{
    bool enabled = !m_info.skipCalibration();
    if (enabled && m_nameBox->isChecked() && !m_errorLabel->isHidden())
        enabled = false;
    m_configureButton->setEnabled(enabled && !m_busy);
}

void DeviceConfigurator::onCalibrationChanged()
{
    const QString key = m_calibrationCombo->currentItemKey();
    if (key == QLatin1String(NoneKey)) {
        m_info.setBackup(false);
        m_info.setRestore(false);
    } else {
        m_info.setBackup(key == QLatin1String(BackupKey));
        m_info.setRestore(key != QLatin1String(BackupKey));
    }
    updateConfigureButton();
}

void DeviceConfigurator::onTimeClicked()
{
    const bool on = m_timeBox->isChecked();
    m_info.setRealTimeClock(on);
    if (on)
        onTimeZoneChanged();
    m_signCombo->setEnabled(on);
    m_timeEdit->setEnabled(on);
    m_batteryBox->setEnabled(on);
    updateConfigureButton();
}

void DeviceConfigurator::onTimeZoneChanged()
{
    const QTime time = m_timeEdit->time();
    const int minutes = time.hour() * 60 + time.minute();
    m_info.setTimeZone(m_signCombo->currentText() == QLatin1String("-") ? -minutes : minutes);
}

void DeviceConfigurator::onBatteryLowCheckClicked()
{
    m_info.setBatteryLowCheck(m_batteryBox->isChecked());
    updateConfigureButton();
}

void DeviceConfigurator::onDeviceNameChanged()
{
    if (m_nameBox->isChecked()) {
        m_info.setDeviceNameChange(true);
        m_nameEdit->setEnabled(true);
        if (validateConfigureInfo())
            m_info.setDeviceName(m_nameEdit->text());
    } else {
        m_info.setDeviceNameChange(false);
        m_nameEdit->setEnabled(false);
        m_errorLabel->clear();
        m_errorLabel->hide();
    }
    updateConfigureButton();
}

bool DeviceConfigurator::validateConfigureInfo()
{
    // Compared with the name the device has now, so that retyping a name is no change;
    // a name the command protocol cannot carry is refused here too.
    const QString error = DeviceRules::deviceNameError(m_nameEdit->text(), currentDeviceName());
    if (!error.isEmpty()) {
        m_errorLabel->setText(error);
        m_errorLabel->show();
        m_configureButton->setEnabled(false);
        return false;
    }
    m_errorLabel->clear();
    m_errorLabel->hide();
    return true;
}

void DeviceConfigurator::onRestoreSplashClicked()
{
    if (m_restoreSplashBox->isChecked()) {
        m_info.setRestoreSplashScreen(true);
        m_splashEdit->setText(guiText("No splash screen selected"));
        m_splashEdit->setCursorPosition(0);
        m_splashEdit->setToolTip(QString());
    } else {
        m_info.setRestoreSplashScreen(false);
    }
    updateConfigureButton();
}

void DeviceConfigurator::onClearImage()
{
    m_splashEdit->setText(guiText("No splash screen selected"));
    m_splashEdit->setCursorPosition(0);
    m_splashEdit->setToolTip(QString());
    m_info.setSplashScreenData(QByteArray());
    showSplashTime();
    updateConfigureButton();
}

void DeviceConfigurator::onBrowseImage()
{
    const QString start = m_lastImagePath.isEmpty() ? FileHelper::getStandardPictureLocation() : m_lastImagePath;
    const QString path = QFileDialog::getOpenFileName(this, guiText("Choose Image"), start,
                                                      guiText("Image File (%1)").arg(SplashImageLoader::fileNamePatterns()));
    if (!path.isEmpty())
        loadImage(path);
}

bool DeviceConfigurator::loadImage(const QString& path)
{
    SplashImageLoader loader;
    const QSize screen = SplashImageLoader::screenSize(SerialPortManager::instance()->deviceInformation(device().port()));
    if (!loader.load(path, screen)) {
        MessageBox::warning(this, loader.errorTitle(), loader.errorText());
        return false;
    }
    if (loader.needsScaling()) {
        DeviceSplashPreviewDialog preview(loader.image(), this);
        m_openDialog = &preview;
        const int answer = preview.exec();
        m_openDialog = nullptr;
        if (answer != QDialog::Accepted)
            return false;
    }
    const QByteArray bmp = loader.bmpData();
    if (bmp.isEmpty())
        return false;
    m_lastImagePath = path;
    const QString shown = TextHelper::toSystemPath(path);
    m_splashEdit->setText(shown);
    m_splashEdit->setCursorPosition(qMax(0, shown.size() - 1));
    m_splashEdit->setToolTip(
        QStringLiteral("<html><p>%1</p><p></p><p><img src=\"data:image/bmp;base64,%2\"></p></html>")
            .arg(shown, QString::fromLatin1(bmp.toBase64())));
    m_info.setSplashScreenData(bmp);
    m_restoreSplashBox->setChecked(false);
    m_info.setRestoreSplashScreen(false);
    showSplashTime();
    updateConfigureButton();
    return true;
}

QString DeviceConfigurator::droppedImage(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1)
        return QString();
    const QUrl url = mime->urls().first();
    if (!url.isLocalFile())
        return QString();
    const QString path = url.toLocalFile();
    return SplashImageLoader::acceptsFileName(path) ? path : QString();
}

void DeviceConfigurator::dragEnterEvent(QDragEnterEvent* event)
{
    if (!m_busy && !droppedImage(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void DeviceConfigurator::dragMoveEvent(QDragMoveEvent* event)
{
    if (!m_busy && !droppedImage(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void DeviceConfigurator::dropEvent(QDropEvent* event)
{
    const QString path = droppedImage(event->mimeData());
    if (m_busy || path.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    loadImage(path);
}

bool DeviceConfigurator::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == m_splashEdit) {
            if (m_splashEdit->isEnabled())
                onBrowseImage();
            return true;
        }
        auto* edit = qobject_cast<QLineEdit*>(watched);
        if (edit && (edit == m_modelEdit || edit == m_serialEdit || edit == m_firmwareEdit || edit == m_softwareEdit)) {
            if (!edit->text().isEmpty())
                QApplication::clipboard()->setText(edit->text());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool DeviceConfigurator::nothingLeft()
{
    if (!m_info.skipCalibration())
        return false;
    m_configureButton->setEnabled(false);
    return true;
}

void DeviceConfigurator::onConfigure()
{
    if (m_busy)
        return;
    if (m_info.skipCalibration()) {
        MessageBox::warning(this, guiText("Configure Device"), guiText("Nothing to configure."));
        return;
    }
    if (m_nameBox->isChecked() && !validateConfigureInfo())
        return;
    const QString folder = calibrationDirectory();
    const QString file = calibrationFilePath(serial());

    if (m_info.isBackup()) {
        if (!QFileInfo(folder).isDir()) {
            MessageBox::warning(this, guiText("Backup Calibration"), guiText("The calibration directory does not exist."));
            m_info.setBackup(false);
            if (nothingLeft())
                return;
        } else if (QFileInfo::exists(file)) {
            const int answer = MessageBox::question(
                this, guiText("Backup Calibration"),
                guiText("The calibration file of this device already exists.\nWould you like to overwrite it?"), true);
            if (answer == 1) {
                m_info.setBackup(false);
                if (nothingLeft())
                    return;
                MessageBox::information(this, guiText("Backup Calibration"), guiText("Backup calibration will be skipped."));
            } else if (answer != 0) {
                return;
            }
        }
    }

    if (m_info.isRestore()) {
        QString problem;
        if (!QFileInfo(folder).isDir())
            problem = guiText("The calibration directory does not exist.");
        else if (!QFileInfo::exists(file))
            problem = guiText("The calibration file of this device does not exist.");
        if (!problem.isEmpty()) {
            MessageBox::warning(this, guiText("Restore Calibration"), problem);
            m_info.setRestore(false);
            if (nothingLeft())
                return;
        }
    }

    // The backup replaces the old file only once the new one has arrived whole.
    QString why;
    DeviceLink* link = device().link(&why);
    if (!link) {
        MessageBox::warning(this, guiText("Configure Device"), why);
        return;
    }

    emit configurationStarted();
    setControlsEnabled(false);
    m_configureButton->setEnabled(false);
    m_errorLabel->hide();
    m_progressBar->setMaximum(m_info.taskCount());
    m_progressBar->setValue(0);
    m_progressBar->show();
    m_lastStep = 0;
    m_fileTotal = -1;
    showActivity(guiText("Configuring the device..."));
    auto* run = new OperationRun(ServiceRecord::Configuration, device().serial(), link->portName());
    connect(run, &OperationRun::stepDone, this, &DeviceConfigurator::onStepDone);
    // A splash image or calibration file moves packet by packet: the bar follows its bytes.
    connect(run, &OperationRun::fileProgressed, this, &DeviceConfigurator::onFileProgress);
    // Every way a run ends (finished, refused, timed out, device gone) arrives here once.
    connect(run, &OperationRun::ended, this, &DeviceConfigurator::onOperationEnded);
    m_busy = true;
    m_run = run;
    m_cancelled = false;
    m_cancelButton->setEnabled(true);
    m_cancelButton->show();
    m_nameChangeRunning = m_info.isDeviceNameChange();
    const bool clock = m_timeBox->isChecked();
    run->start([this, clock](DeviceLink* link) {
        if (clock)
            m_connections << connect(link, &DeviceLink::timeZoneUpdated, this, &DeviceConfigurator::timeZoneUpdated);
        return link->configureDevice(&m_info);
    });
}

void DeviceConfigurator::onCancel()
{
    if (!m_busy || !m_run || m_cancelled)
        return;
    m_cancelled = true;
    m_cancelButton->setEnabled(false);
    // A transfer that has replaced nothing yet is abandoned; a step that puts things
    // into place finishes, and nothing after it is begun.
    const QString step = m_run->stepText();
    if (m_run->stopSafely())
        showActivity(guiText("Cancelling..."));
    else
        showActivity(guiText("Finishing: %1...").arg(step));
}

void DeviceConfigurator::onOperationEnded(const OperationResult& result)
{
    if (result.kind != OperationResult::Configuration || !m_busy)
        return;
    m_cancelButton->hide();
    if (m_cancelled && result.outcome == OperationResult::Interrupted) {
        onConfigurationError(QStringLiteral("%1\n%2").arg(result.message, guiText("What was on its way was discarded; the device keeps what it had and restarts.")),
                             true, true);
        return;
    }
    if (result.succeeded()) {
        onConfigurationFinished(result.deviceRestarts);
        return;
    }
    // A device that did not answer or went away is restarted: this dialog has nothing left to show.
    const bool closes = result.outcome == OperationResult::TimedOut || result.outcome == OperationResult::DeviceLost;
    onConfigurationError(result.message, closes);
}

void DeviceConfigurator::onStepDone(int step)
{
    m_lastStep = step;
    if (m_fileTotal < 0)
        m_progressBar->setValue(step);
}

void DeviceConfigurator::onFileProgress(qint64 done, qint64 total)
{
    if (m_fileTotal != total) {
        m_fileTotal = total;
        m_progressBar->setMaximum(int(qMax<qint64>(1, total)));
        m_transferLabel->begin(total);
        m_transferLabel->show();
        if (!m_info.splashScreenData().isEmpty() && total == m_info.splashScreenData().size())
            showActivity(guiText("Sending the splash image..."));
        else if (m_info.isBackup())
            showActivity(guiText("Receiving the calibration backup..."));
        else
            showActivity(guiText("Sending the calibration backup..."));
    }
    m_progressBar->setValue(int(done));
    m_transferLabel->setDone(done);
    if (done < total)
        return;
    // Whole: back to the run's steps, which the device now works through.
    m_transferLabel->finish();
    m_fileTotal = -1;
    m_progressBar->setMaximum(m_info.taskCount());
    m_progressBar->setValue(m_lastStep);
    showActivity(guiText("Installing and saving on the device..."));
}

void DeviceConfigurator::dropConnections()
{
    for (const QMetaObject::Connection& connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
}

void DeviceConfigurator::setControlsEnabled(bool enabled)
{
    m_calibrationCombo->setEnabled(enabled);
    m_timeBox->setEnabled(enabled);
    const bool clock = enabled && m_timeBox->isChecked();
    m_signCombo->setEnabled(clock);
    m_timeEdit->setEnabled(clock);
    m_batteryBox->setEnabled(clock);
    m_nameBox->setEnabled(enabled);
    m_nameEdit->setEnabled(enabled && m_nameBox->isChecked());
    m_restoreSplashBox->setEnabled(enabled);
    m_splashEdit->setEnabled(enabled);
    m_browseButton->setEnabled(enabled);
    m_clearButton->setEnabled(enabled);
}

void DeviceConfigurator::onConfigurationError(const QString& error, bool needReboot, bool cancelled)
{
    dropConnections();
    m_progressBar->hide();
    m_messageLabel->hide();
    m_transferLabel->hide();
    m_busy = false;
    m_nameChangeRunning = false;
    setControlsEnabled(true);
    updateConfigureButton();
    emit configurationEnded(false);
    // The program is ending: nobody is left to read a box, and none may hold up the end.
    if (OperationRun::isStopping()) {
        reject();
        return;
    }
    const QString text = error.isEmpty() ? guiText("An unknown error occurred.") : error;
    if (cancelled)
        MessageBox::information(this, guiText("Configure Device"), text);
    else
        MessageBox::critical(this, guiText("Configure Device"), text);
    if (needReboot && isVisible())
        reject();
}

void DeviceConfigurator::onConfigurationFinished(bool needReboot)
{
    dropConnections();
    m_progressBar->hide();
    m_busy = false;
    if (needReboot) {
        m_messageLabel->setText(guiText("This dialog box will be closed."));
        m_messageLabel->show();
        m_configureButton->setText(guiText("Close (%1)").arg(CountdownStart));
        emit configurationEnded(true);
        m_countdown = CountdownStart;
        stopCountdown();
        m_countdownTimer = startTimer(1000);
        return;
    }
    setControlsEnabled(true);
    m_nameChangeRunning = false;
    m_messageLabel->hide();
    m_transferLabel->hide();
    updateConfigureButton();
    emit configurationEnded(true);
}

void DeviceConfigurator::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_countdownTimer) {
        QDialog::timerEvent(event);
        return;
    }
    --m_countdown;
    m_configureButton->setText(guiText("Close (%1)").arg(m_countdown));
    if (m_countdown >= 1)
        return;
    stopCountdown();
    m_messageLabel->hide();
    // Only a run that changed the name tells the row; other runs leave its label alone.
    if (m_nameChangeRunning)
        emit deviceNameChanged(m_nameEdit->text());
    m_nameChangeRunning = false;
    reject();
}

void DeviceConfigurator::stopCountdown()
{
    if (m_countdownTimer) {
        killTimer(m_countdownTimer);
        m_countdownTimer = 0;
    }
}

void DeviceConfigurator::finishReject()
{
    m_progressBar->hide();
    setControlsEnabled(true);
    m_nameBox->setChecked(false);
    onDeviceNameChanged();
    m_configureButton->setText(guiText("Configure"));
    updateConfigureButton();
}

void DeviceConfigurator::reject()
{
    if (m_busy) {
        MessageBox::information(this, guiText("Configure Device"), guiText("Please wait until the configuration is finished."));
        return;
    }
    stopCountdown();
    finishReject();
    QDialog::reject();
}

void DeviceConfigurator::closeEvent(QCloseEvent* event)
{
    if (m_busy) {
        event->ignore();
        MessageBox::information(this, guiText("Configure Device"), guiText("Please wait until the configuration is finished."));
        return;
    }
    if (m_openDialog)
        m_openDialog->reject();
    stopCountdown();
    m_messageLabel->clear();
    m_messageLabel->hide();
    finishReject();
    QDialog::closeEvent(event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
