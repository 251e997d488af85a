#ifndef DEVICELOGRETRIEVEDIALOG_H
#define DEVICELOGRETRIEVEDIALOG_H

#include "devicetarget.h"
#include "gui_global.h"

#include <QDialog>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;

namespace Orvane {
namespace Tavrix {
namespace Runtime {
class OperationResult;
}
namespace Designer {

class MessageBox;
class TransferStatusLabel;

// Shows the progress of fetching a device's data log into a folder and closes
// itself once the zipped database has arrived. Accepted when the zip arrived and
// can hold a data log; rejected otherwise.
class GUI_EXPORT DeviceLogRetrieveDialog : public QDialog
{
    Q_OBJECT
public:
    explicit DeviceLogRetrieveDialog(const QString& logFolder, QWidget* parent = nullptr);
    ~DeviceLogRetrieveDialog() override;

    // The device the log is fetched from, on its own link (none: the manager's active device).
    // Set before the dialog runs.
    void setDeviceSerial(const QString& serial);

    QString logFolder() const { return m_logFolder; }
    QPushButton* button() const { return m_button; }
    QLabel* statusLabel() const { return m_statusLabel; }
    QLabel* deviceLabel() const { return m_deviceLabel; }
    TransferStatusLabel* transferLabel() const { return m_transferLabel; }
    QLabel* fileCountLabel() const { return m_fileCountLabel; }
    QProgressBar* currentFileBar() const { return m_currentBar; }
    QProgressBar* overallBar() const { return m_overallBar; }

signals:
    void retrieveInitialized();

public slots:
    void onRetrieve();
    void onInitializeRetrieve(const QString& message, int fileCount);
    void onSendingFileInitialized(const QString& message, int fileSize);
    void onSentFile(const QString& message, int currentFile);
    void onTransferedFile(int size);
    void onRetrieveError();
    void onRetrieveCompleted();
    void onRetrieveLogNoFileError();
    void reject() override;

protected:
    void timerEvent(QTimerEvent* event) override;

private slots:
    void onOperationEnded(const Orvane::Tavrix::Runtime::OperationResult& result);

private:
    void disconnectManager();
    void disconnectOperationEnd();
    // The button lets the user leave: "Close", default, enabled and focused.
    void offerClose();
    int showBox(MessageBox* box);
    void closeShownBox();

    QString m_logFolder;
    DeviceTarget m_device;
    int m_startTimerId = 0;
    QLabel* m_deviceLabel = nullptr;
    TransferStatusLabel* m_transferLabel = nullptr;
    QLabel* m_currentFileLabel = nullptr;
    QLabel* m_fileCountLabel = nullptr;
    QProgressBar* m_currentBar = nullptr;
    QLabel* m_overallLabel = nullptr;
    QProgressBar* m_overallBar = nullptr;
    QLabel* m_statusLabel = nullptr;
    QPushButton* m_button = nullptr;
    int m_fileTotal = 0;
    QPointer<MessageBox> m_box;
    QList<QMetaObject::Connection> m_connections;
    QMetaObject::Connection m_endConnection;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICELOGRETRIEVEDIALOG_H
