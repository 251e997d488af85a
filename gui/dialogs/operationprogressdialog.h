#ifndef OPERATIONPROGRESSDIALOG_H
#define OPERATIONPROGRESSDIALOG_H

#include "gui_global.h"
#include "operationresult.h"
#include "operationrun.h"
#include "servicerecord.h"

#include <QDialog>
#include <QPointer>
#include <QString>

#include <functional>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace Orvane {
namespace Tavrix {
namespace Runtime {
class DeviceLink;
}
namespace Designer {

class MessageBox;
class TransferStatusLabel;

// The window that follows one device operation from its start to its end: the device it
// works on in its first line, the window's own widgets, the step the device is at, the
// bytes, speed and time left, and one button. While the operation runs the window cannot
// be closed (it asks to wait); it ends once, with a message box for a failure (closing
// after a time-out or a lost device) and a countdown after a success. The upload, upgrade
// and data log windows are this window with their own widgets and texts.
class GUI_EXPORT OperationProgressDialog : public QDialog
{
    Q_OBJECT
public:
    struct Texts
    {
        QString title;   // the window's and its boxes' title
        QString boxTitle; // the boxes' title when it differs
        QString waitText; // asked to close while it runs
        QString busyButton; // the button while it runs ("Uploading")
        QString finished; // the status after a success, before the countdown
        bool waitWithClose = false; // the wait box's button says "Close" rather than "OK"
    };

    ~OperationProgressDialog() override;

    // The device the window works on (none: the manager's active device when the run starts).
    void setDevice(const QString& serial, const QString& port = QString());
    QString deviceSerial() const { return m_serial; }
    // The first line, naming the device.
    QString deviceText() const;
    TransferStatusLabel* transferLabel() const { return m_transferLabel; }
    QLabel* statusLabel() const { return m_statusLabel; }
    QPushButton* closeButton() const { return m_button; }
    // The run while it goes on.
    Runtime::OperationRun* run() const { return m_run; }
    bool isRunning() const { return m_running; }

public slots:
    void reject() override;

signals:
    void runStarted();
    void runEnded(bool success);

protected:
    OperationProgressDialog(const Texts& texts, Qt::WindowFlags flags, QWidget* parent);

    // Where the window's own widgets go, between the device line and the status line.
    QVBoxLayout* contentLayout() const { return m_content; }
    QHBoxLayout* buttonRow() const { return m_buttons; }

    // Starts the operation on the window's device through a run of the given history
    // operation; extra(link) connects what only this window shows. The run's end arrives
    // in onRunEnded. Refusals end it too.
    void startRun(Common::ServiceRecord::Operation operation, const std::function<bool(Runtime::DeviceLink*)>& start,
                  const QString& packagePath = QString(), const QString& packageSha256 = QString(),
                  qint64 totalBytes = 0);
    // A connection to the link that lasts until the run's end.
    void keepUntilEnd(const QMetaObject::Connection& connection) { m_linkConnections << connection; }
    // Ends the window without a run (nothing to do): as a failure with this text.
    void failBeforeStart(const QString& text);

    // What the window shows as the run goes; the defaults feed the transfer line.
    virtual void onProgressed(qint64 done, qint64 total);
    // The end. The default: a success shows the finished text and counts down; a failure
    // shows its reason in a box and closes after a time-out or a lost device.
    virtual void onRunEnded(const Runtime::OperationResult& result);

    void showSuccess(const QString& note = QString());
    void showFailure(const QString& text, bool closes);
    void offerClose();
    // A box parented to this window; a wait box is closed when the run ends.
    int showBox(MessageBox* box);
    void closeShownBox();

    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void endWith(const Runtime::OperationResult& result);
    void refreshDeviceLine();

    Texts m_texts;
    QString m_serial;
    QString m_port;
    QLabel* m_deviceLabel = nullptr;
    QVBoxLayout* m_content = nullptr;
    TransferStatusLabel* m_transferLabel = nullptr;
    QLabel* m_statusLabel = nullptr;
    QHBoxLayout* m_buttons = nullptr;
    QPushButton* m_button = nullptr;
    QPointer<Runtime::OperationRun> m_run;
    QList<QMetaObject::Connection> m_linkConnections;
    QPointer<MessageBox> m_box;
    QPointer<MessageBox> m_waitBox;
    bool m_running = false;
    bool m_ended = false;
    int m_countdown = 0;
    int m_countdownTimerId = -1;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // OPERATIONPROGRESSDIALOG_H
