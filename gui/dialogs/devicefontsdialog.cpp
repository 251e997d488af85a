#include "devicefontsdialog.h"

#include "devicelink.h"

#include "devicerules.h"

#include "appuserfontslistwidget.h"
#include "devicefontslistwidget.h"
#include "devicenewfontslistwidget.h"
#include "fontpreviewwidget.h"
#include "fontscenter.h"
#include "localizationhelper.h"
#include "operationrun.h"
#include "serialportmanager.h"
#include "transferstatuslabel.h"
#include "txtextbrowser.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using Orvane::Tavrix::Common::guiText;

using Orvane::Tavrix::Common::LocalizationHelper;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Runtime::OperationRun;
using Orvane::Tavrix::Runtime::DeviceRules;
using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

const int CountdownStart = 3;
const int StatusMs = 3000;

QLabel* boldLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("QLabel { font: bold; }"));
    return label;
}

} // namespace

DeviceFontsDialog::DeviceFontsDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(guiText("Manage Device Fonts"));
    setAccessibleDescription(guiText("Lists the fonts on the device, marks fonts for removal and "
                                     "adds fonts from the program's collection."));
    m_countdownTimer = new QTimer(this);
    m_countdownTimer->setInterval(1000);
    connect(m_countdownTimer, &QTimer::timeout, this, &DeviceFontsDialog::onCountdownTick);
    m_statusTimer = new QTimer(this);
    m_statusTimer->setSingleShot(true);
    // A coarse timer may fire up to 5% early; the message stays its full time.
    m_statusTimer->setTimerType(Qt::PreciseTimer);
    connect(m_statusTimer, &QTimer::timeout, this, [this]() { m_statusLabel->clear(); });
    setupWidgets();
}

DeviceFontsDialog::~DeviceFontsDialog()
{
    for (const QMetaObject::Connection& c : std::as_const(m_listConnections))
        disconnect(c);
}

void DeviceFontsDialog::setupWidgets()
{
    m_userFonts = new AppUserFontsListWidget(this);
    m_userFonts->setObjectName(QStringLiteral("userFontsList"));
    m_deviceFonts = new DeviceFontsListWidget(this);
    m_deviceFonts->setObjectName(QStringLiteral("deviceFontsList"));
    m_newFonts = new DeviceNewFontsListWidget(this);
    m_newFonts->setObjectName(QStringLiteral("newFontsList"));

    // The fonts offered come from the program's own collection: say where it grows.
    m_fontsHint = new QLabel(guiText("Fonts are added to this list under Setting > Font Settings."), this);
    m_fontsHint->setObjectName(QStringLiteral("fontsHintLabel"));
    m_fontsHint->setWordWrap(true);
    m_fontSettingsButton = new QPushButton(guiText("Font Settings..."), this);
    m_fontSettingsButton->setObjectName(QStringLiteral("fontSettingsButton"));
    m_fontSettingsButton->setAutoDefault(false);
    auto* hintRow = new QHBoxLayout;
    hintRow->addWidget(m_fontsHint, 1);
    hintRow->addWidget(m_fontSettingsButton, 0, Qt::AlignTop);

    auto* lists = new QGridLayout;
    lists->addWidget(boldLabel(guiText("All user-added fonts"), this), 0, 0);
    lists->addWidget(m_userFonts, 1, 0, 3, 1);
    lists->addLayout(hintRow, 4, 0, 1, 2);
    lists->addWidget(boldLabel(guiText("Available fonts on device"), this), 0, 1);
    lists->addWidget(m_deviceFonts, 1, 1);
    lists->addWidget(boldLabel(guiText("Fonts to be added to device"), this), 2, 1);
    lists->addWidget(m_newFonts, 3, 1);
    // The lists are named by their headings.
    m_userFonts->setAccessibleName(guiText("All user-added fonts"));
    m_userFonts->setAccessibleDescription(guiText("Insert, a double-click or a drag adds the selected fonts "
                                                  "to the fonts to be added to the device."));
    m_deviceFonts->setAccessibleName(guiText("Available fonts on device"));
    m_deviceFonts->setAccessibleDescription(guiText("Delete marks the selected fonts for removal from the "
                                                    "device, + unmarks them; Space opens the menu."));
    m_newFonts->setAccessibleName(guiText("Fonts to be added to device"));
    m_newFonts->setAccessibleDescription(guiText("Delete takes the selected fonts off this list."));

    m_information = new TxTextBrowser(this);
    m_information->setObjectName(QStringLiteral("fontInformation"));
    m_information->setStyleSheet(QStringLiteral("QTextBrowser { background: transparent; color: black; }"));
    m_information->setFrameShape(QFrame::NoFrame);
    m_information->setOpenLocalFile(true);
    m_information->setAccessibleName(guiText("Font Information"));
    m_preview = new FontPreviewWidget(this);

    auto* right = new QVBoxLayout;
    right->addWidget(boldLabel(guiText("Font Information"), this));
    right->addWidget(m_information, 1);
    right->addWidget(m_preview, 1);

    auto* top = new QHBoxLayout;
    top->addLayout(lists, 3);
    top->addLayout(right, 2);

    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    m_progressBar = new QProgressBar(this);
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->hide();
    m_startButton = new QPushButton(guiText("Start"), this);
    m_startButton->setObjectName(QStringLiteral("startButton"));
    m_startButton->setDefault(true);
    m_closeButton = new QPushButton(guiText("Cancel"), this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setAutoDefault(false);
    m_startButton->setAccessibleDescription(guiText("Applies the changes to the fonts on the device."));
    m_closeButton->setAccessibleDescription(guiText("Closes the window; the device's fonts stay as they are."));
    m_fontSettingsButton->setAccessibleDescription(guiText("Opens the program's font settings, where fonts "
                                                           "join the program's collection."));
    m_cancelButton = new QPushButton(guiText("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setAutoDefault(false);
    m_cancelButton->hide();
    m_cancelButton->setAccessibleDescription(guiText("Stops the font transfer safely: a font on its way is abandoned and the device keeps what it had."));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_statusLabel, 1);
    bottom->addWidget(m_progressBar, 1);
    bottom->addWidget(m_startButton);
    bottom->addWidget(m_closeButton);
    bottom->addWidget(m_cancelButton);

    m_deviceLabel = new QLabel(this);
    m_deviceLabel->setObjectName(QStringLiteral("deviceLabel"));
    m_deviceLabel->setStyleSheet(QStringLiteral("QLabel { font: bold; }"));
    m_transferLabel = new TransferStatusLabel(this);
    m_transferLabel->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_deviceLabel);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);
    layout->addWidget(m_transferLabel, 0, Qt::AlignRight);
    resize(900, 560);

    connect(m_userFonts, &AppUserFontsListWidget::previewFont, this, &DeviceFontsDialog::onPreviewFont);
    connect(m_userFonts, &AppUserFontsListWidget::addFonts, this, &DeviceFontsDialog::onAddFonts);
    connect(m_newFonts, &DeviceNewFontsListWidget::fontsDropped, this, &DeviceFontsDialog::onAddFonts);
    connect(m_userFonts, &QListWidget::itemSelectionChanged, this, &DeviceFontsDialog::onFontSelectionChanged);
    connect(m_newFonts, &QListWidget::itemSelectionChanged, this, &DeviceFontsDialog::onFontSelectionChanged);
    connect(m_startButton, &QPushButton::clicked, this, &DeviceFontsDialog::onStart);
    connect(m_closeButton, &QPushButton::clicked, this, &DeviceFontsDialog::close);
    connect(m_cancelButton, &QPushButton::clicked, this, &DeviceFontsDialog::onCancel);
    connect(m_fontSettingsButton, &QPushButton::clicked, this, [this]() {
        emit fontSettingsRequested();
        // Fonts added there are offered at once.
        m_userFonts->reload();
    });
    connect(SerialPortManager::instance(), &SerialPortManager::deviceDisconnected, this,
            &DeviceFontsDialog::onDeviceDisconnected);
    setListsEnabled(false);
}

void DeviceFontsDialog::setActivePort(const QString& portName)
{
    m_portName = portName;
}

void DeviceFontsDialog::setDeviceSerial(const QString& serial)
{
    m_device = DeviceTarget(serial, m_portName);
}

DeviceLink* DeviceFontsDialog::deviceLink() const
{
    if (!m_device.isEmpty())
        return m_device.link();
    const QString serial = SerialPortManager::instance()->deviceInformation(m_portName).value(QStringLiteral("serial"));
    return serial.isEmpty() ? nullptr : DeviceTarget(serial).link();
}

bool DeviceFontsDialog::isBusy() const
{
    return !m_closeButton->isEnabled();
}

void DeviceFontsDialog::setListsEnabled(bool enabled)
{
    m_userFonts->setEnabled(enabled);
    m_deviceFonts->setEnabled(enabled);
    m_newFonts->setEnabled(enabled);
    m_startButton->setEnabled(enabled);
}

void DeviceFontsDialog::showStatus(const QString& text, bool error, int clearAfterMs)
{
    m_statusTimer->stop();
    m_statusLabel->setStyleSheet(error ? QStringLiteral("QLabel { color: red; }") : QStringLiteral("QLabel { color: black; }"));
    m_statusLabel->setText(text);
    if (clearAfterMs > 0)
        m_statusTimer->start(clearAfterMs);
}

void DeviceFontsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window restored from minimised, or shown again while it works, keeps its state.
    if (event->spontaneous() || isBusy() || m_listPending)
        return;
    // Asked at every opening: after a run the device has other fonts than the last list said.
    m_shownOnce = true;
    m_deviceLabel->setText(m_device.isEmpty() ? DeviceTarget::line(SerialPortManager::instance()->deviceInformation(m_portName))
                                              : m_device.line());
    m_transferLabel->hide();
    m_fontSettingsButton->setEnabled(true);
    m_closeButton->setText(guiText("Cancel"));
    m_closeButton->setEnabled(true);
    m_startButton->show();
    m_progressBar->hide();
    m_statusLabel->clear();
    m_userFonts->reload();
    m_newFonts->clear();
    m_deviceFonts->setFonts(QStringList());
    m_information->clear();
    setListsEnabled(false);
    requestInstalledFonts();
}

void DeviceFontsDialog::requestInstalledFonts()
{
    for (const QMetaObject::Connection& c : std::as_const(m_listConnections))
        disconnect(c);
    m_listConnections.clear();
    m_listPending = true;
    DeviceLink* link = deviceLink();
    if (!link) {
        onReceivedInstalledFonts(QStringList(), true);
        return;
    }
    auto* run = new OperationRun(ServiceRecord::FontListing, link->deviceInformation().value(QStringLiteral("serial")), link->portName());
    // A refusal ends the listing as a failure; a listing that ran says so itself.
    connect(run, &OperationRun::ended, this, [this](const OperationResult& result) {
        if (result.refused)
            onReceivedInstalledFonts(QStringList(), true);
    });
    run->start([this](DeviceLink* link) {
        m_listConnections << connect(link, &DeviceLink::notifyInstalledFonts, this, &DeviceFontsDialog::onReceivedInstalledFonts);
        return link->getInstalledFonts();
    });
}

void DeviceFontsDialog::onReceivedInstalledFonts(const QStringList& fonts, bool isError)
{
    if (!m_listPending)
        return;
    m_listPending = false;
    for (const QMetaObject::Connection& c : std::as_const(m_listConnections))
        disconnect(c);
    m_listConnections.clear();
    if (isError) {
        showStatus(guiText("Failed to retrieve installed fonts from the device."), true);
        startCountdown();
        return;
    }
    m_deviceFonts->setFonts(fonts);
    setListsEnabled(true);
    m_userFonts->setFocus();
}

void DeviceFontsDialog::onPreviewFont(const QString& family)
{
    if (family.isEmpty())
        return;
    m_preview->setFontFamily(family);
    m_information->setHtml(FontsCenter::instance()->fontInformationHtml(family));
}

void DeviceFontsDialog::onFontSelectionChanged()
{
    auto* list = qobject_cast<QListWidget*>(sender());
    if (!list || !list->currentItem())
        return;
    onPreviewFont(list->currentItem()->text());
}

QStringList DeviceFontsDialog::filesOf(const QString& family) const
{
    return FontsCenter::instance()->fontPath(family);
}

bool DeviceFontsDialog::sameFont(const QString& deviceFont, const QString& family) const
{
    if (deviceFont == family)
        return true;
    // The device lists its fonts by file name.
    for (const QString& file : filesOf(family)) {
        if (QFileInfo(file).fileName() == deviceFont)
            return true;
    }
    return false;
}

void DeviceFontsDialog::onAddFonts(const QStringList& families)
{
    QStringList fresh;
    for (const QString& family : families) {
        bool installed = false;
        for (const QString& deviceFont : m_deviceFonts->allFonts()) {
            if (sameFont(deviceFont, family) && !m_deviceFonts->isMarked(deviceFont)) {
                installed = true;
                break;
            }
        }
        if (!installed)
            fresh << family;
    }
    m_newFonts->addFonts(fresh);
}

void DeviceFontsDialog::onStart()
{
    const QStringList marked = m_deviceFonts->markedFonts();
    const QStringList toAdd = m_newFonts->fonts();
    if (marked.isEmpty() && toAdd.isEmpty()) {
        showStatus(guiText("There is nothing to do."), false, StatusMs);
        m_userFonts->setFocus();
        return;
    }
    for (const QString& deviceFont : marked) {
        for (const QString& family : toAdd) {
            if (sameFont(deviceFont, family)) {
                showStatus(guiText("Font \"%1\" cannot be both added and removed at the same time.").arg(family), true);
                return;
            }
        }
    }
    QStringList files;
    for (const QString& family : toAdd)
        files << filesOf(family);
    files.sort();
    files.removeDuplicates();
    // Names go into the device's commands: refuse what the protocol cannot carry before anything is sent.
    for (const QString& font : marked) {
        const QString error = DeviceRules::fontNameError(font);
        if (!error.isEmpty()) {
            showStatus(error, true);
            return;
        }
    }
    for (const QString& file : std::as_const(files)) {
        if (file.startsWith(QLatin1Char(':')))
            continue; // a built-in font, known good
        const QString error = DeviceRules::fontFileError(file, marked);
        if (!error.isEmpty()) {
            showStatus(error, true);
            return;
        }
    }
    QMap<QString, qint64> sizes;
    m_totalBytes = 0;
    for (const QString& file : std::as_const(files)) {
        const qint64 size = QFileInfo(file).size();
        sizes.insert(file, size);
        m_totalBytes += size;
    }
    m_sentBytes = 0;
    m_progressBar->setValue(0);
    m_progressBar->show();
    m_transferLabel->setVisible(m_totalBytes > 0);
    m_transferLabel->begin(m_totalBytes);
    m_startButton->hide();
    m_fontSettingsButton->setEnabled(false);
    m_closeButton->setText(guiText("Processing"));
    m_closeButton->setEnabled(false);
    setListsEnabled(false);
    m_statusLabel->clear();

    DeviceLink* link = deviceLink();
    if (!link) {
        onReceivedError(OperationRun::busyText(), false);
        return;
    }
    auto* run = new OperationRun(ServiceRecord::FontManagement, link->deviceInformation().value(QStringLiteral("serial")),
                                 link->portName());
    m_run = run;
    m_cancelled = false;
    m_cancelButton->setEnabled(true);
    m_cancelButton->show();
    connect(run, &OperationRun::progressed, this, &DeviceFontsDialog::onBytesTransferred);
    connect(run, &OperationRun::stepChanged, this, &DeviceFontsDialog::onReceivedMessage);
    // Every way the run ends (finished, refused, timed out, device gone) arrives here once.
    connect(run, &OperationRun::ended, this, &DeviceFontsDialog::onOperationEnded);
    run->setTotalBytes(m_totalBytes);
    run->start([sizes, marked](DeviceLink* link) { return link->manageFonts(sizes, marked); });
}

void DeviceFontsDialog::onCancel()
{
    if (!m_run || m_cancelled)
        return;
    m_cancelled = true;
    m_cancelButton->setEnabled(false);
    // A font on its way is abandoned (the device discards it and restarts); a removal
    // finishes, and no font is begun after it.
    const QString step = m_run->stepText();
    if (m_run->stopSafely())
        showStatus(guiText("Cancelling..."), false);
    else
        showStatus(guiText("Finishing: %1...").arg(step), false);
}

void DeviceFontsDialog::onOperationEnded(const OperationResult& result)
{
    if (result.kind != OperationResult::FontManagement)
        return;
    m_cancelButton->hide();
    if (m_cancelled && result.outcome == OperationResult::Interrupted) {
        m_transferLabel->finish();
        showStatus(QStringLiteral("%1\n%2").arg(result.message, guiText("What was on its way was discarded; the device keeps what it had and restarts.")),
                   false);
        startCountdown();
        return;
    }
    if (result.succeeded()) {
        onFinished();
        // E.g. a restart the device did not confirm: done, but the user should know.
        if (!result.message.isEmpty())
            showStatus(result.message, false);
    } else
        onReceivedError(result.message.isEmpty() ? guiText("An unknown error occurred.") : result.message, result.deviceRestarts);
}

void DeviceFontsDialog::onBytesTransferred(qint64 bytes)
{
    m_sentBytes = bytes;
    m_transferLabel->setDone(m_sentBytes);
    if (m_totalBytes > 0)
        m_progressBar->setValue(int(qMin<qint64>(100, m_sentBytes * 100 / m_totalBytes)));
}

void DeviceFontsDialog::onReceivedMessage(const QString& message)
{
    showStatus(message, false);
}

void DeviceFontsDialog::onReceivedError(const QString& error, bool needReboot)
{
    Q_UNUSED(needReboot);
    m_transferLabel->finish();
    showStatus(error, true);
    startCountdown();
}

void DeviceFontsDialog::onFinished()
{
    m_transferLabel->finish();
    m_progressBar->setValue(100);
    showStatus(guiText("Finished"), false);
    startCountdown();
}

void DeviceFontsDialog::startCountdown()
{
    m_countdown = CountdownStart;
    m_closeButton->setEnabled(true);
    m_closeButton->setDefault(true);
    m_closeButton->setFocus();
    m_closeButton->setText(guiText("Close (%1)").arg(m_countdown));
    m_countdownTimer->start();
}

void DeviceFontsDialog::onCountdownTick()
{
    --m_countdown;
    if (m_countdown > 0) {
        m_closeButton->setText(guiText("Close (%1)").arg(m_countdown));
        return;
    }
    m_countdownTimer->stop();
    close();
}

void DeviceFontsDialog::stopTimers()
{
    m_countdownTimer->stop();
    m_statusTimer->stop();
}

void DeviceFontsDialog::onDeviceDisconnected(const QMap<QString, QString>& info)
{
    const bool mine = m_device.isEmpty() ? info.value(QStringLiteral("port")) == m_portName
                                         : info.value(QStringLiteral("serial")) == m_device.serial();
    if (isVisible() && mine && m_closeButton->isEnabled())
        close();
}

void DeviceFontsDialog::reject()
{
    if (isBusy()) {
        showStatus(guiText("Please wait until the current operation is finished."), true, StatusMs);
        return;
    }
    if (m_listPending) {
        m_listPending = false;
        for (const QMetaObject::Connection& c : std::as_const(m_listConnections))
            disconnect(c);
        m_listConnections.clear();
    }
    stopTimers();
    m_closeButton->setDefault(false);
    m_startButton->setDefault(true);
    QDialog::reject();
}

void DeviceFontsDialog::closeEvent(QCloseEvent* event)
{
    if (isBusy()) {
        event->ignore();
        showStatus(guiText("Please wait until the current operation is finished."), true, StatusMs);
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
