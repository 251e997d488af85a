#include "operationprogressdialog.h"

#include "devicetarget.h"
#include "localizationhelper.h"
#include "messagebox.h"
#include "operationrun.h"
#include "serialportmanager.h"
#include "transferstatuslabel.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimerEvent>
#include <QVBoxLayout>

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::OperationRun;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {
constexpr int CountdownStart = 3;
} // namespace

OperationProgressDialog::OperationProgressDialog(const Texts& texts, Qt::WindowFlags flags, QWidget* parent)
    : QDialog(parent, flags)
    , m_texts(texts)
{
    if (m_texts.boxTitle.isEmpty())
        m_texts.boxTitle = m_texts.title;
    setObjectName(QStringLiteral("general"));
    setWindowTitle(m_texts.title);
    setMinimumWidth(400);

    auto* layout = new QVBoxLayout(this);
    // Frameless or not, the window names its device in its first line.
    m_deviceLabel = new QLabel(this);
    m_deviceLabel->setObjectName(QStringLiteral("deviceLabel"));
    m_deviceLabel->setStyleSheet(QStringLiteral("QLabel { font: bold; }"));
    layout->addWidget(m_deviceLabel);
    m_content = new QVBoxLayout;
    layout->addLayout(m_content);
    m_transferLabel = new TransferStatusLabel(this);

    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    m_statusLabel->setScaledContents(true);
    m_statusLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_statusLabel->setWordWrap(true);
    m_statusLabel->setMinimumHeight(48);
    layout->addWidget(m_statusLabel);

    m_buttons = new QHBoxLayout;
    m_buttons->addStretch();
    m_button = new QPushButton(guiText("Cancel"), this);
    m_button->setObjectName(QStringLiteral("closeButton"));
    m_button->setFixedWidth(100);
    m_button->setDefault(false);
    m_button->setAutoDefault(false);
    connect(m_button, &QPushButton::clicked, this, &OperationProgressDialog::reject);
    m_buttons->addWidget(m_button);
    layout->addLayout(m_buttons);
    refreshDeviceLine();
}

OperationProgressDialog::~OperationProgressDialog()
{
    if (m_countdownTimerId != -1)
        killTimer(m_countdownTimerId);
}

void OperationProgressDialog::setDevice(const QString& serial, const QString& port)
{
    m_serial = serial;
    m_port = port;
    refreshDeviceLine();
}

void OperationProgressDialog::refreshDeviceLine()
{
    SerialPortManager* manager = SerialPortManager::instance();
    if (m_serial.isEmpty() && manager) {
        // A window made on its own works on the manager's active device.
        m_port = manager->activePort();
        m_serial = manager->deviceInformation(m_port).value(QStringLiteral("serial"));
    }
    const QString where = manager ? manager->portOfDevice(m_serial, m_port) : QString();
    if (!where.isEmpty())
        m_deviceLabel->setText(DeviceTarget::line(manager->deviceInformation(where)));
    else if (m_deviceLabel->text().isEmpty())
        m_deviceLabel->setText(m_serial);
}

QString OperationProgressDialog::deviceText() const
{
    return m_deviceLabel->text();
}

void OperationProgressDialog::startRun(ServiceRecord::Operation operation, const std::function<bool(DeviceLink*)>& start,
                                       const QString& packagePath, const QString& packageSha256, qint64 totalBytes)
{
    if (m_running || m_ended)
        return;
    refreshDeviceLine();
    m_running = true;
    m_button->setText(m_texts.busyButton);
    m_button->setEnabled(false);
    emit runStarted();

    auto* run = new OperationRun(operation, m_serial, m_port);
    m_run = run;
    run->setPackage(packagePath, packageSha256);
    run->setTotalBytes(totalBytes);
    m_transferLabel->begin(totalBytes);
    connect(run, &OperationRun::stepChanged, m_statusLabel, &QLabel::setText);
    connect(run, &OperationRun::progressed, this, &OperationProgressDialog::onProgressed);
    connect(run, &OperationRun::ended, this, &OperationProgressDialog::endWith);
    run->start(start);
}

void OperationProgressDialog::failBeforeStart(const QString& text)
{
    if (m_running || m_ended)
        return;
    m_running = true;
    emit runStarted();
    OperationResult refused;
    refused.outcome = OperationResult::Failed;
    refused.refused = true;
    refused.message = text;
    // Shown once the caller has returned, as a run's end would be.
    QMetaObject::invokeMethod(this, [this, refused]() { endWith(refused); }, Qt::QueuedConnection);
}

void OperationProgressDialog::onProgressed(qint64 done, qint64 total)
{
    if (total > 0 && m_transferLabel->rate().total() != total)
        m_transferLabel->setTotal(total);
    m_transferLabel->setDone(done);
}

void OperationProgressDialog::endWith(const OperationResult& result)
{
    if (m_ended)
        return;
    m_ended = true;
    m_running = false;
    for (const QMetaObject::Connection& connection : std::as_const(m_linkConnections))
        disconnect(connection);
    m_linkConnections.clear();
    if (m_waitBox)
        m_waitBox->done(MessageBox::UndecidedCode);
    m_transferLabel->finish();
    onRunEnded(result);
}

void OperationProgressDialog::onRunEnded(const OperationResult& result)
{
    if (result.succeeded()) {
        showSuccess(result.message);
        return;
    }
    const bool closes = result.outcome == OperationResult::TimedOut || result.outcome == OperationResult::DeviceLost;
    showFailure(result.message.isEmpty() ? guiText("An unknown error occurred.") : result.message, closes);
}

void OperationProgressDialog::showSuccess(const QString& note)
{
    if (!note.isEmpty()) {
        // Done, but something after that is uncertain (the restart was not confirmed): say so
        // and let the user close.
        m_statusLabel->setText(note);
        offerClose();
        emit runEnded(true);
        return;
    }
    m_statusLabel->setText(m_texts.finished);
    m_button->setText(guiText("Close (%1)").arg(CountdownStart));
    m_button->setDefault(true);
    emit runEnded(true);
    adjustSize();
    m_button->setEnabled(true);
    m_button->setFocus();
    m_countdown = CountdownStart;
    if (m_countdownTimerId != -1)
        killTimer(m_countdownTimerId);
    m_countdownTimerId = startTimer(1000);
}

void OperationProgressDialog::showFailure(const QString& text, bool closes)
{
    offerClose();
    emit runEnded(false);
    // The program is ending: nobody is left to read a box, and none may hold up the end.
    if (OperationRun::isStopping()) {
        QDialog::reject();
        return;
    }
    auto* box = new MessageBox(this, m_texts.boxTitle, text, MessageBox::Warning, QPixmap(), MessageBox::OK);
    showBox(box);
    // A time-out or a lost device leaves nothing to look at: the device restarts or is gone.
    if (closes)
        QDialog::reject();
}

void OperationProgressDialog::offerClose()
{
    if (m_countdownTimerId != -1) {
        killTimer(m_countdownTimerId);
        m_countdownTimerId = -1;
    }
    m_button->setText(guiText("Close"));
    m_button->setDefault(true);
    m_button->setEnabled(true);
    m_button->setFocus();
}

int OperationProgressDialog::showBox(MessageBox* box)
{
    if (!box->defaultButton())
        box->setDefaultButton(box->button1());
    m_box = box;
    QPointer<MessageBox> guard(box);
    const int code = box->exec();
    delete guard.data();
    return code;
}

void OperationProgressDialog::closeShownBox()
{
    if (m_box)
        m_box->done(MessageBox::UndecidedCode);
}

void OperationProgressDialog::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_countdownTimerId) {
        QDialog::timerEvent(event);
        return;
    }
    --m_countdown;
    m_button->setText(guiText("Close (%1)").arg(m_countdown));
    if (m_countdown <= 0) {
        killTimer(m_countdownTimerId);
        m_countdownTimerId = -1;
        m_statusLabel->hide();
        reject();
    }
}

void OperationProgressDialog::reject()
{
    if (m_button->isEnabled() || !m_running) {
        QDialog::reject();
        return;
    }
    if (m_waitBox)
        return;
    auto* box = new MessageBox(this, m_texts.boxTitle, m_texts.waitText, MessageBox::Information, QPixmap(),
                               m_texts.waitWithClose ? MessageBox::Close : MessageBox::OK);
    m_waitBox = box;
    showBox(box);
}

void OperationProgressDialog::closeEvent(QCloseEvent* event)
{
    if (m_running && !m_button->isEnabled()) {
        event->ignore();
        // Asked once the close has been refused; a box run inside the close event itself
        // would be closed with it.
        QMetaObject::invokeMethod(this, &OperationProgressDialog::reject, Qt::QueuedConnection);
        return;
    }
    closeShownBox();
    if (m_countdownTimerId != -1) {
        killTimer(m_countdownTimerId);
        m_countdownTimerId = -1;
    }
    m_statusLabel->hide();
    QDialog::closeEvent(event);
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
