#include "deviceitemwidget.h"
#include "systemhelper.h"

#include "datalogchartwidget.h"
#include "deviceconfigurator.h"
#include "devicefontsdialog.h"
#include "deviceinformation.h"
#include "devicelink.h"
#include "devicelogretrievedialog.h"
#include "devicetarget.h"
#include "deviceuploaddialog.h"
#include "filehelper.h"
#include "hardwareinfodialog.h"
#include "localizationhelper.h"
#include "logselectiondialog.h"
#include "messagebox.h"
#include "operationrun.h"
#include "projectpackagechecker.h"
#include "restartwatcher.h"
#include "serialportmanager.h"
#include "signaturelabel.h"
#include "signaturerequirement.h"
#include "slotnames.h"
#include "softwarepackagechecker.h"
#include "texthelper.h"
#include "upgradedevicesofwaredialog.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QClipboard>
#include <QDebug>
#include <QDir>
#include <QDomNodeList>
#include <QFileDialog>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QSettings>
#include <QToolButton>
#include <QUuid>

using Orvane::Tavrix::Common::guiText;

using Orvane::Tavrix::Common::FileHelper;
using Orvane::Tavrix::Common::LocalizationHelper;
using Orvane::Tavrix::Common::ProjectPackageChecker;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Common::SlotNames;
using Orvane::Tavrix::Common::SoftwarePackageChecker;
using Orvane::Tavrix::Common::TextHelper;
using Orvane::Tavrix::Runtime::DeviceInformation;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::OperationRun;
using Orvane::Tavrix::Runtime::RestartWatcher;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

const char* const InformationTable =
    "<html><table><tr><td>%1</td><td>&nbsp;</td><td>%2</td></tr>"
    "<tr><td>%3</td><td>&nbsp;</td><td>%4</td></tr>"
    "<tr><td>%5</td><td>&nbsp;</td><td>%6</td></tr></table></html>";

int g_restartReturnMs = RestartWatcher::ReturnMs;

// Package extensions a row takes by drag and drop: runtime projects and device software.
const char* const ProjectExtension = ".txdevproj";
const char* const SoftwareExtension = ".txsw";

// Centred once the dialog has its size: before that its corner would land at the centre.
void centreOnScreen(QWidget* dialog)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    if (!dialog->isVisible())
        dialog->adjustSize();
    QRect frame = dialog->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    dialog->move(frame.topLeft());
}

} // namespace

// Counts a modal box or dialog of the row while it is open; see isInteracting().
class DeviceItemWidget::Interaction
{
public:
    explicit Interaction(DeviceItemWidget* row)
        : m_row(row)
    {
        ++m_row->m_interactions;
    }
    ~Interaction()
    {
        if (--m_row->m_interactions == 0)
            emit m_row->interactionEnded();
    }

private:
    DeviceItemWidget* m_row;
};

DeviceItemWidget::DeviceItemWidget(QWidget* parent)
    : QWidget(parent)
{
    setupWidgets();
}

DeviceItemWidget::~DeviceItemWidget() = default;

void DeviceItemWidget::setupWidgets()
{
    auto* mainLayout = new QHBoxLayout(this);

    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    m_captionLabel = new QLabel(guiText("Device :"), this);
    m_captionLabel->setStyleSheet(QStringLiteral(" QLabel { font: bold 13px}"));
    m_captionLabel->setFixedWidth(55);
    m_nameLabel = new QLabel(this);
    m_nameLabel->setObjectName(QStringLiteral("deviceNameLabel"));
    grid->addWidget(m_captionLabel, 0, 0);
    grid->addWidget(m_nameLabel, 0, 1);
    // Two devices with one serial number are told apart by their port; the rows say so.
    m_twinLabel = new QLabel(guiText("Another connected device has the same serial number"), this);
    m_twinLabel->setObjectName(QStringLiteral("deviceTwinLabel"));
    m_twinLabel->setStyleSheet(QStringLiteral("QLabel { color: #b00000; }"));
    m_twinLabel->setWordWrap(true);
    m_twinLabel->hide();
    grid->addWidget(m_twinLabel, 1, 0, 1, 2);
    mainLayout->addLayout(grid);

    mainLayout->addSpacing(10);
    m_infoLabel = new QLabel(this);
    m_infoLabel->setObjectName(QStringLiteral("deviceInfoLabel"));
    m_infoLabel->installEventFilter(this);
    mainLayout->addWidget(m_infoLabel, 1);
    // Takes the information's place while the device restarts.
    m_stateLabel = new QLabel(this);
    m_stateLabel->setObjectName(QStringLiteral("deviceStateLabel"));
    m_stateLabel->setWordWrap(true);
    m_stateLabel->hide();
    mainLayout->addWidget(m_stateLabel, 1);
    refreshInformation();
    if (SlotNames* slotNames = SlotNames::instance())
        connect(slotNames, &SlotNames::changed, this, &DeviceItemWidget::refreshInformation);

    m_hardwareInfoDialog = new HardwareInfoDialog(this);
    // One configurator and one fonts dialog per row, kept with their choices between uses.
    m_configurator = new DeviceConfigurator(this);
    connect(m_configurator, &DeviceConfigurator::timeZoneUpdated, m_hardwareInfoDialog, &HardwareInfoDialog::changeTimeZone);
    connect(m_configurator, &DeviceConfigurator::deviceNameChanged, this, &DeviceItemWidget::updateCurrentName);
    m_fontsDialog = new DeviceFontsDialog(this);
    connect(m_fontsDialog, &DeviceFontsDialog::fontSettingsRequested, this, &DeviceItemWidget::fontSettingsRequested);

    struct Entry {
        QString text;
        void (DeviceItemWidget::*handler)();
    };
    // "&Upload project" is shown as is in every language.
    const Entry entries[ActionCount] = {
        { guiText("&Identify Device"), &DeviceItemWidget::onIdentifyDevice },
        { guiText("&Hardware Information"), nullptr },
        { guiText("Device Configuration"), &DeviceItemWidget::onConfigDevice },
        { guiText("Manage Device Fonts"), &DeviceItemWidget::onManageFonts },
        { guiText("Upgrade &Device Software"), &DeviceItemWidget::onUpgradeDeviceSoftware },
        { guiText("&Reboot Device"), &DeviceItemWidget::onRebootDevice },
        { guiText("Retrieve Device &Logged Data"), &DeviceItemWidget::onRetrieveDeviceLog },
        { QStringLiteral("&Upload project"), &DeviceItemWidget::onProjectUpload },
        { guiText("&Sync Real Time Clock"), &DeviceItemWidget::onSyncTime },
        { guiText("History"), &DeviceItemWidget::onShowHistory },
    };
    m_menu = new QMenu(this);
    for (const Entry& entry : entries) {
        auto* action = new QAction(entry.text, this);
        if (entry.handler)
            connect(action, &QAction::triggered, this, entry.handler);
        else
            connect(action, &QAction::triggered, this, &DeviceItemWidget::showHardwareInformation);
        m_actions << action;
        if (entry.handler == &DeviceItemWidget::onShowHistory)
            m_menu->addSeparator();
        m_menu->addAction(action);
    }

    m_menuButton = new QToolButton(this);
    m_menuButton->setObjectName(QStringLiteral("deviceFunctionMenuButton"));
    // F7 is the main window's: with several rows, one shortcut per button would be ambiguous.
    m_menuButton->setToolTip(guiText("Access device functions (Shortcut key: F7)"));
    m_menuButton->setAccessibleDescription(guiText("Opens the menu of this device's functions. F7 opens it for the selected row."));
    m_menuButton->setMenu(m_menu);
    m_menuButton->setPopupMode(QToolButton::InstantPopup);
    m_menuButton->setVisible(true);
    mainLayout->addWidget(m_menuButton);
    connect(m_menu, &QMenu::hovered, this, &DeviceItemWidget::selected);

    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setAcceptDrops(true);

    // The software package path was once kept under another key.
    QSettings settings = Common::SystemHelper::userSettings();
    const QString oldKey = QStringLiteral("lastDeviceSoftwareDir");
    const QString newKey = QStringLiteral("deviceSoftwarePath");
    if (settings.contains(oldKey) && !settings.contains(newKey)) {
        settings.setValue(newKey, settings.value(oldKey));
        settings.remove(oldKey);
    }
    enableDeviceManager();
}

void DeviceItemWidget::setDeviceInfo(const QMap<QString, QString>& info)
{
    m_deviceInfo = info;
    const DeviceInformation device(info);
    m_serial = device.serial();
    m_nameLabel->setText(QStringLiteral("%1(%2)").arg(device.deviceName(), m_serial));
    m_hardwareInfoDialog->setActivePort(device.port());
    m_configurator->setActivePort(device.port());
    m_fontsDialog->setActivePort(device.port());
    m_configurator->setDeviceSerial(m_serial);
    m_fontsDialog->setDeviceSerial(m_serial);
    refreshInformation();
    SerialPortManager::instance()->setActivePort(device.port());
    followLink();
    // Every newly shown device gets its clock set.
    m_automaticClock = true;
    m_actions.at(SyncClockAction)->trigger();
    m_automaticClock = false;
}

void DeviceItemWidget::updateDeviceInfo(const QMap<QString, QString>& info)
{
    m_deviceInfo = info;
    const DeviceInformation device(info);
    m_nameLabel->setText(QStringLiteral("%1(%2)").arg(device.deviceName(), m_serial));
    refreshInformation();
    followLink();
}

QString DeviceItemWidget::deviceLine() const
{
    const QString slot = DeviceInformation(m_deviceInfo).slot();
    if (!slot.isEmpty())
        return guiText("%1, slot %2").arg(deviceTitle(), slot);
    const QString where = port();
    return where.isEmpty() ? deviceTitle() : guiText("%1, port %2").arg(deviceTitle(), where);
}

int DeviceItemWidget::showBeside(MessageBox* box)
{
    // The row stays in sight: the box goes below it, or above where the screen ends.
    box->adjustSize();
    const QRect row(mapToGlobal(QPoint(0, 0)), size());
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const QSize frame = box->frameGeometry().size();
    QPoint place(row.left() + (row.width() - frame.width()) / 2, row.bottom() + 8);
    if (available.isValid()) {
        if (place.y() + frame.height() > available.bottom())
            place.setY(row.top() - frame.height() - 8);
        place.setX(qBound(available.left(), place.x(), qMax(available.left(), available.right() - frame.width())));
        place.setY(qMax(available.top(), place.y()));
    }
    box->move(place);
    QPointer<MessageBox> guard(box);
    const int code = box->exec();
    delete guard.data();
    return code;
}

int DeviceItemWidget::ask(const QString& title, const QString& text)
{
    const Interaction interaction(this);
    auto* box = new MessageBox(this, title, QStringLiteral("%1\n\n%2").arg(deviceLine(), text), MessageBox::Question, QPixmap(),
                               MessageBox::Yes, MessageBox::No);
    box->setDefaultButton(box->button1());
    return showBeside(box);
}

void DeviceItemWidget::tell(int icon, const QString& title, const QString& text)
{
    const Interaction interaction(this);
    auto* box = new MessageBox(this, title, QStringLiteral("%1\n\n%2").arg(deviceLine(), text), MessageBox::Icon(icon));
    box->setDefaultButton(box->button1());
    showBeside(box);
}

QString DeviceItemWidget::port() const
{
    return DeviceInformation(m_deviceInfo).port();
}

void DeviceItemWidget::setTwin(bool twin)
{
    m_twinLabel->setVisible(twin);
}

bool DeviceItemWidget::isTwin() const
{
    return !m_twinLabel->isHidden();
}

QString DeviceItemWidget::twinText() const
{
    return m_twinLabel->text();
}

void DeviceItemWidget::followLink()
{
    disconnect(m_linkConnection);
    DeviceLink* link = SerialPortManager::instance()->link(port());
    if (!link)
        return;
    // Whoever started it (a window of this row, the Batch window): a device that restarts
    // at the end of an operation is waited for in its place.
    m_linkConnection = connect(link, &DeviceLink::operationEnded, this, [this](const OperationResult& result) {
        if (result.deviceRestarts && result.kind != OperationResult::Identification && !m_retired)
            watchRestart();
    });
}

QMap<QString, QString> DeviceItemWidget::getDeviceInfo() const
{
    return m_deviceInfo;
}

QString DeviceItemWidget::nameText() const
{
    return m_nameLabel->text();
}

QString DeviceItemWidget::informationText() const
{
    return m_infoLabel->text();
}

QString DeviceItemWidget::stateText() const
{
    return m_stateLabel->isHidden() ? QString() : m_stateLabel->text();
}

QString DeviceItemWidget::summaryText() const
{
    const DeviceInformation device(m_deviceInfo);
    return stateText().isEmpty() ? guiText("Model: %1, software: %2").arg(device.model(), device.softwareVersion()) : stateText();
}

QString DeviceItemWidget::deviceTitle() const
{
    const QString title = DeviceTarget(m_serial, port()).title();
    return title == m_serial ? DeviceTarget::title(m_deviceInfo) : title;
}

void DeviceItemWidget::setRestartReturnMs(int ms)
{
    g_restartReturnMs = ms;
}

void DeviceItemWidget::showState(const QString& text)
{
    m_stateLabel->setText(text);
    m_stateLabel->setVisible(!text.isEmpty());
    m_infoLabel->setVisible(text.isEmpty());
    // The menu would only open greyed: the reason is on the row and on the button.
    m_menuButton->setEnabled(text.isEmpty());
    m_menuButton->setToolTip(text.isEmpty() ? guiText("Access device functions (Shortcut key: F7)") : text);
    // A screen reader hears why the button is greyed.
    m_menuButton->setAccessibleDescription(
        text.isEmpty() ? guiText("Opens the menu of this device's functions. F7 opens it for the selected row.") : text);
    emit summaryChanged();
}

void DeviceItemWidget::watchRestart()
{
    if (m_restartState == Restarting)
        return;
    m_restartState = Restarting;
    disableDeviceManager();
    showState(guiText("Restarting. The device comes back here once it has started."));
    delete m_restartWatcher.data();
    m_restartWatcher = new RestartWatcher(m_serial, port(), g_restartReturnMs, this);
    connect(m_restartWatcher, &RestartWatcher::finished, this, &DeviceItemWidget::onRestartFinished);
    if (m_restartWatcher->state() != RestartWatcher::Waiting)
        onRestartFinished(m_restartWatcher->state() == RestartWatcher::Back);
}

void DeviceItemWidget::onRestartFinished(bool back)
{
    if (m_restartWatcher) {
        m_restartWatcher->deleteLater();
        m_restartWatcher.clear();
    }
    if (back) {
        // A device that left gets a new row; this one goes. One that stayed on the line works on here.
        if (m_retired)
            return;
        m_restartState = NotRestarting;
        showState(QString());
        enableDeviceManager();
        emit statusMessage(guiText("%1 has restarted.").arg(deviceTitle()));
        return;
    }
    m_restartState = NotBack;
    const QString text = guiText("The device did not come back after the restart. Check its cable and power, or plug it in again.");
    showState(text);
    emit statusMessage(QStringLiteral("%1: %2").arg(deviceTitle(), text));
}

void DeviceItemWidget::refreshInformation()
{
    const DeviceInformation device(m_deviceInfo);
    // A named USB slot says more to the operator than the port's number.
    const QString slot = device.slot();
    m_infoLabel->setText(QString::fromLatin1(InformationTable)
                             .arg(guiText("Model:"), device.model(), guiText("Software:"), device.softwareVersion(),
                                  slot.isEmpty() ? guiText("Port:") : guiText("Slot:"),
                                  (slot.isEmpty() ? device.port() : slot).toHtmlEscaped()));
    m_infoLabel->setToolTip(slot.isEmpty() ? QString() : device.port());
    // The button shows an icon only: its name says what it opens, and for which device.
    if (m_menuButton)
        m_menuButton->setAccessibleName(guiText("Functions of %1").arg(deviceLine()));
    emit summaryChanged();
}

void DeviceItemWidget::updateCurrentName(const QString& name)
{
    m_nameLabel->setText(QStringLiteral("%1(%2)").arg(name, m_serial));
    refreshInformation();
}

bool DeviceItemWidget::deviceTimeZone(int* minutes) const
{
    const std::optional<int> zone = DeviceInformation(currentDeviceInfo()).timeZone();
    if (!zone)
        return false;
    *minutes = *zone;
    return true;
}

DeviceLink* DeviceItemWidget::ownLink(QString* error)
{
    // A command from this row's menu is for this row's device, whichever row was selected last.
    emit selected();
    if (m_retired) {
        if (error)
            *error = DeviceTarget::goneText();
        return nullptr;
    }
    return DeviceTarget(m_serial, port()).link(error);
}

QString DeviceItemWidget::devicePort() const
{
    return SerialPortManager::instance()->portOfDevice(m_serial, DeviceInformation(m_deviceInfo).port());
}

int DeviceItemWidget::clockOffset() const
{
    int offset = 0;
    return deviceTimeZone(&offset) ? offset : DeviceLink::NoClock;
}

void DeviceItemWidget::onSyncTime()
{
    const Interaction interaction(this);
    const bool automatic = m_automaticClock;
    int offset = 0;
    if (m_retired || !deviceTimeZone(&offset))
        return;
    emit selected();
    DeviceLink* busy = SerialPortManager::instance()->link(devicePort());
    if (busy && (busy->isRunning() || busy->isSerialPortOpen())) {
        // The device's own link is busy: the clock is set once its operation has ended.
        if (!m_clockSyncPending) {
            m_clockSyncPending = true;
            connect(busy, &DeviceLink::operationEnded, this, [this, automatic]() {
                m_clockSyncPending = false;
                QMetaObject::invokeMethod(this, [this, automatic]() {
                    m_automaticClock = automatic;
                    onSyncTime();
                    m_automaticClock = false;
                }, Qt::QueuedConnection);
            }, Qt::SingleShotConnection);
        }
        return;
    }
    // The clock set for a newly shown device is no operation of the user's: not recorded.
    auto* run = new OperationRun(automatic ? ServiceRecord::NoOperation : ServiceRecord::Clock, m_serial, devicePort());
    run->setKind(OperationResult::Command);
    connect(run, &OperationRun::ended, this, [this, offset](const OperationResult& result) {
        if (!result.succeeded())
            return;
        // The device's own time of day, as its clock now shows it.
        const QString time = QDateTime::currentDateTimeUtc().addSecs(qint64(offset) * 60).toString(QStringLiteral("HH:mm"));
        const QString zone = QStringLiteral("%1%2:%3")
                                 .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                                 .arg(qAbs(offset) / 60, 2, 10, QLatin1Char('0'))
                                 .arg(qAbs(offset) % 60, 2, 10, QLatin1Char('0'));
        emit statusMessage(guiText("%1: clock set to %2 (UTC%3).").arg(deviceTitle(), time, zone));
    });
    run->start([offset](DeviceLink* link) { return link->syncDeviceClock(offset); });
}

void DeviceItemWidget::onIdentifyDevice()
{
    const Interaction interaction(this);
    emit selected();
    auto* run = new OperationRun(ServiceRecord::Identify, m_serial, devicePort());
    connect(run, &OperationRun::ended, this, [this](const OperationResult& result) {
        if (result.succeeded()) {
            emit statusMessage(guiText("%1 shows its information on its screen.").arg(deviceTitle()));
            return;
        }
        if (OperationRun::isStopping())
            return;
        const Interaction shown(this);
        tell(MessageBox::Warning, guiText("Identify Device"), guiText("Failed to connect to device."));
    });
    const int clock = clockOffset();
    run->start([clock](DeviceLink* link) { return link->identifyDevice(clock); });
}

void DeviceItemWidget::onRebootDevice()
{
    const Interaction interaction(this);
    if (ask(guiText("Reboot Device"), guiText("Are you sure you want to reboot the device?")) != MessageBox::AcceptCode)
        return;
    // The box's loop may have seen the device go.
    if (m_retired)
        return;
    emit selected();
    auto* run = new OperationRun(ServiceRecord::Reboot, m_serial, devicePort());
    // The device goes away and comes back; the row stays inert and says so meanwhile.
    watchRestart();
    connect(run, &OperationRun::ended, this, [this](const OperationResult& result) {
        if (result.succeeded())
            return;
        // Never sent: the row works on as before.
        delete m_restartWatcher.data();
        m_restartState = NotRestarting;
        showState(QString());
        enableDeviceManager();
    });
    const int clock = clockOffset();
    run->start([clock](DeviceLink* link) { return link->rebootDevice(clock); });
}

void DeviceItemWidget::enableDeviceManager()
{
    setManagerEnabled(true);
}

void DeviceItemWidget::disableDeviceManager()
{
    setManagerEnabled(false);
}

void DeviceItemWidget::setManagerEnabled(bool enabled)
{
    for (QAction* action : std::as_const(m_actions))
        action->setEnabled(enabled && !m_retired);
}

void DeviceItemWidget::retire()
{
    m_retired = true;
    disableDeviceManager();
    m_menu->hide();
}

void DeviceItemWidget::showHardwareInformation()
{
    const Interaction interaction(this);
    centreOnScreen(m_hardwareInfoDialog);
    m_hardwareInfoDialog->exec();
}

void DeviceItemWidget::onShowHistory()
{
    emit historyRequested(m_serial);
}

void DeviceItemWidget::updateBrightness(int brightness)
{
    SerialPortManager* manager = SerialPortManager::instance();
    const QString port = DeviceInformation(m_deviceInfo).port();
    manager->updateBrightness(port.isEmpty() ? manager->activePort() : port, brightness);
    m_hardwareInfoDialog->updateBrightness(brightness);
}

QMap<QString, QString> DeviceItemWidget::currentDeviceInfo() const
{
    const QString port = DeviceInformation(m_deviceInfo).port();
    const QMap<QString, QString> known = SerialPortManager::instance()->deviceInformation(port);
    return known.isEmpty() ? m_deviceInfo : known;
}

DeviceItemWidget::SoftwareCompatibility DeviceItemWidget::isDeviceCompatible(const QString& model, const QString& firmware,
                                                                            const QString& runtime, const QDomNodeList& devices)
{
    return SoftwarePackageChecker::isDeviceCompatible(model, firmware, runtime, devices);
}

void DeviceItemWidget::onProjectUpload()
{
    const Interaction interaction(this);
    QSettings settings = Common::SystemHelper::userSettings();
    QString folder = settings.value(QStringLiteral("uploadRuntimeDir")).toString();
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = FileHelper::getStandardDocumentLocation();
        settings.setValue(QStringLiteral("uploadRuntimeDir"), TextHelper::toStandardPath(folder));
    }
    const QString file = QFileDialog::getOpenFileName(this, guiText("Upload Runtime Project"), folder,
                                                      guiText("Runtime Project (*.txdevproj)"));
    if (!file.isEmpty())
        uploadProjectWithFile(file);
}

void DeviceItemWidget::uploadProjectWithFile(const QString& filePath)
{
    const Interaction interaction(this);
    const QString path = FileHelper::normalizeFilePath(filePath);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    Common::SystemHelper::userSettings().setValue(QStringLiteral("uploadRuntimeDir"), TextHelper::toStandardPath(QFileInfo(path).absolutePath()));

    // The checks are the library's, so the program and dovrelctl refuse the same packages.
    ProjectPackageChecker checker(path);
    checker.setSignatureRequired(SignatureRequirement::isRequired());
    if (checker.check(currentDeviceInfo()) != ProjectPackageChecker::Accepted) {
        if (checker.result() != ProjectPackageChecker::FileNotFound)
            tell(MessageBox::Warning, checker.errorTitle(), checker.errorText());
        return;
    }
    if (!checker.warningText().isEmpty())
        tell(MessageBox::Warning, checker.warningTitle(), checker.warningText());
    if (ask(ProjectPackageChecker::confirmationTitle(), ProjectPackageChecker::confirmationText()) != MessageBox::AcceptCode)
        return;
    QString why;
    if (!ownLink(&why)) {
        tell(MessageBox::Warning, guiText("Upload Project"), why);
        return;
    }
    if (!createTempProjectDirectory() || !checker.extractTo(m_tempProjectPath)) {
        tell(MessageBox::Warning, guiText("Upload Project"),
                            guiText("\"%1\" could not be unpacked.").arg(TextHelper::toSystemPath(path)));
        deleteTempProjectDirectory();
        return;
    }

    QApplication::setOverrideCursor(QCursor(QPixmap(QStringLiteral(":/images/uploadingProject"))));
    auto* dialog = new DeviceUploadDialog(m_tempProjectPath, checker.configuration(), this, path, m_serial, checker.sha256(),
                                          devicePort());
    SignatureLabel::addTo(dialog, checker.signature());
    const QMetaObject::Connection brightness =
        connect(dialog, &DeviceUploadDialog::brightnessChanged, this, &DeviceItemWidget::updateBrightness);
    QApplication::restoreOverrideCursor();
    dialog->exec();
    disconnect(brightness);
    delete dialog;
    // The unpacked copy is only needed while it is sent.
    deleteTempProjectDirectory();
}

void DeviceItemWidget::onUpgradeDeviceSoftware()
{
    const Interaction interaction(this);
    QSettings settings = Common::SystemHelper::userSettings();
    QString start = settings.value(QStringLiteral("deviceSoftwarePath")).toString();
    if (start.isEmpty() || !QFileInfo::exists(start)) {
        start = FileHelper::getStandardDocumentLocation();
        settings.setValue(QStringLiteral("deviceSoftwarePath"), TextHelper::toStandardPath(start));
    }
    const QString file = QFileDialog::getOpenFileName(this, guiText("Upgrade Device Software"), start,
                                                      guiText("Device Software (*.txsw)"));
    if (!file.isEmpty())
        upgradeDeviceWithFile(file);
}

void DeviceItemWidget::upgradeDeviceWithFile(const QString& filePath)
{
    const Interaction interaction(this);
    const QString path = FileHelper::normalizeFilePath(filePath);
    if (!path.isEmpty() && QFileInfo(path).isFile())
        Common::SystemHelper::userSettings().setValue(QStringLiteral("deviceSoftwarePath"), TextHelper::toStandardPath(QFileInfo(path).absoluteFilePath()));

    SoftwarePackageChecker checker(path.isEmpty() ? filePath : path);
    checker.setSignatureRequired(SignatureRequirement::isRequired());
    if (checker.check(currentDeviceInfo()) != SoftwarePackageChecker::Accepted) {
        tell(MessageBox::Warning, checker.errorTitle(), checker.errorText());
        return;
    }
    QString why;
    if (!ownLink(&why)) {
        tell(MessageBox::Warning, guiText("Upgrade Device Software"), why);
        return;
    }
    auto* dialog = new UpgradeDeviceSofwareDialog(checker.packageContent(), checker.version(), checker.releaseDate(), this);
    SignatureLabel::addTo(dialog, checker.signature());
    // The package was checked against this device: the upgrade goes to it or nowhere.
    dialog->setDevice(m_serial, devicePort());
    dialog->setPackage(checker.packagePath(), checker.sha256());
    dialog->setInstalledVersion(DeviceInformation(currentDeviceInfo()).softwareVersion());
    dialog->exec();
    delete dialog;
}

void DeviceItemWidget::onRetrieveDeviceLog()
{
    // The row outlives an unplugged device until its boxes and dialogs are closed.
    const Interaction interaction(this);
    const QString title = guiText("Retrieve Device Data Logged");
    // A new folder every time; a refusal below leaves it until the next one replaces it.
    if (!createTempLogDBDirectory()) {
        tell(MessageBox::Critical, title, guiText("The temporary folder for the data log could not be created."));
        return;
    }
    QString why;
    if (!ownLink(&why)) {
        tell(MessageBox::Information, title, why);
        return;
    }
    const DeviceInformation device(currentDeviceInfo());
    if (!device.hasDataLogFeature()) {
        tell(MessageBox::Warning, title,
                            guiText("Please upgrade the device software to at least version 2.1.6.2886 to use this feature."));
        return;
    }

    m_logRetrieveDialog = new DeviceLogRetrieveDialog(m_tempLogPath, this);
    m_logRetrieveDialog->setDeviceSerial(m_serial, devicePort());
    const int result = m_logRetrieveDialog->exec();
    delete m_logRetrieveDialog.data();
    if (result == QDialog::Accepted)
        onDeviceLogRetrieved();
    // The update that a clearing started has taken its bytes already.
    deleteTempLogDBDirectory();
}

DeviceLogRetrieveDialog* DeviceItemWidget::logRetrieveDialog() const
{
    return m_logRetrieveDialog.data();
}

LogSelectionDialog* DeviceItemWidget::logSelectionDialog() const
{
    return m_logSelectionDialog.data();
}

void DeviceItemWidget::onDeviceLogRetrieved()
{
    const Interaction interaction(this);
    const QString port = devicePort();
    m_logSelectionDialog = new LogSelectionDialog(m_tempLogPath, this);
    // The retrieval ended with a restart: clearing waits for the device to be back.
    m_logSelectionDialog->setDevice(m_serial, new RestartWatcher(m_serial, port, RestartWatcher::ReturnMs, m_logSelectionDialog),
                                    deviceLine());
    m_logSelectionDialog->chartWidget()->setDeviceTitle(deviceTitle());
    m_logSelectionDialog->exec();
    const QPointer<OperationRun> clearing = m_logSelectionDialog->updateRun();
    delete m_logSelectionDialog.data();
    // The edited log is still on its way after the dialog's countdown: its end is for
    // whoever outlives this row to report.
    if (clearing)
        emit logClearingContinues(nameText(), clearing);
}

void DeviceItemWidget::onConfigDevice()
{
    const Interaction interaction(this);
    QString why;
    if (!ownLink(&why)) {
        tell(MessageBox::Information, guiText("Configure Device"), why);
        return;
    }
    centreOnScreen(m_configurator);
    m_configurator->exec();
}

void DeviceItemWidget::onManageFonts()
{
    const Interaction interaction(this);
    QString why;
    if (!ownLink(&why)) {
        tell(MessageBox::Information, guiText("Manage Device Fonts"), why);
        return;
    }
    const DeviceInformation device(currentDeviceInfo());
    if (!device.hasFontFeature()) {
        tell(MessageBox::Warning, guiText("Manage Device Fonts"),
                            guiText("Please upgrade the device software to at least version 1.1.0.1910 to use this feature."));
        return;
    }
    centreOnScreen(m_fontsDialog);
    m_fontsDialog->exec();
}

QString DeviceItemWidget::temporaryBaseDirectory()
{
    const QString relative = QStringLiteral("%1/Kavendi/DeviceProject").arg(QStringLiteral("Kavendi"));
    return QDir(FileHelper::getStandardRuntimeLocation()).absoluteFilePath(relative);
}

bool DeviceItemWidget::createTempDirectory(const QString& leaf, QString* stored)
{
    // One working folder at a time for all rows: the others' folders go too.
    const QString base = temporaryBaseDirectory();
    if (QFileInfo::exists(base) && !FileHelper::removeDirectoryAndContent(base))
        return false;
    const QString folder = QStringLiteral("%1/%2/%3").arg(base, QUuid::createUuid().toString(QUuid::WithBraces), leaf);
    if (!FileHelper::createPrivateDirectory(folder))
        return false;
    *stored = QFileInfo(folder).absoluteFilePath();
    return true;
}

bool DeviceItemWidget::deleteTempDirectory(QString* stored)
{
    if (stored->isEmpty())
        return true;
    const bool removed = FileHelper::removeDirectoryAndContent(FileHelper::getParentPath(*stored));
    stored->clear();
    return removed;
}

bool DeviceItemWidget::createTempProjectDirectory()
{
    return createTempDirectory(QStringLiteral("Project"), &m_tempProjectPath);
}

bool DeviceItemWidget::createTempLogDBDirectory()
{
    return createTempDirectory(QStringLiteral("DataLog"), &m_tempLogPath);
}

bool DeviceItemWidget::deleteTempProjectDirectory()
{
    return deleteTempDirectory(&m_tempProjectPath);
}

bool DeviceItemWidget::deleteTempLogDBDirectory()
{
    return deleteTempDirectory(&m_tempLogPath);
}

bool DeviceItemWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_infoLabel && event->type() == QEvent::MouseButtonDblClick
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        const DeviceInformation device(m_deviceInfo);
        QApplication::clipboard()->setText(QStringLiteral("%1 %2\n%3 %4")
                                               .arg(guiText("Model:"), device.model(), guiText("Software:"), device.softwareVersion()));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool DeviceItemWidget::isAcceptablePackage(const QList<QUrl>& urls)
{
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return false;
    const QString name = urls.first().toLocalFile();
    return name.endsWith(QLatin1String(ProjectExtension), Qt::CaseInsensitive)
        || name.endsWith(QLatin1String(SoftwareExtension), Qt::CaseInsensitive);
}

void DeviceItemWidget::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData() && isAcceptablePackage(event->mimeData()->urls()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void DeviceItemWidget::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData() && isAcceptablePackage(event->mimeData()->urls()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void DeviceItemWidget::dropEvent(QDropEvent* event)
{
    if (!event->mimeData() || !isAcceptablePackage(event->mimeData()->urls())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    const QString path = event->mimeData()->urls().first().toLocalFile();
    // The operation asks questions in boxes of its own; let the drop finish first.
    QMetaObject::invokeMethod(this, [this, path]() {
        if (path.endsWith(QLatin1String(ProjectExtension), Qt::CaseInsensitive))
            uploadProjectWithFile(path);
        else
            upgradeDeviceWithFile(path);
    }, Qt::QueuedConnection);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
