#ifndef DEVICELOGRETRIEVEDIALOG_H
#define DEVICELOGRETRIEVEDIALOG_H

#include "operationprogressdialog.h"

#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// Shows the progress of fetching a device's data log into a folder and closes
// itself once the zipped database has arrived. Accepted when the zip arrived and
// can hold a data log; rejected otherwise.
class GUI_EXPORT DeviceLogRetrieveDialog : public OperationProgressDialog
{
    Q_OBJECT
public:
    explicit DeviceLogRetrieveDialog(const QString& logFolder, QWidget* parent = nullptr);
    ~DeviceLogRetrieveDialog() override;

    // The device the log is fetched from (none: the manager's active device). Set before
    // the dialog runs.
    void setDeviceSerial(const QString& serial, const QString& port = QString());

    QString logFolder() const { return m_logFolder; }
    QPushButton* button() const { return closeButton(); }
    QLabel* fileCountLabel() const { return m_fileCountLabel; }
    QProgressBar* currentFileBar() const { return m_currentBar; }
    QProgressBar* overallBar() const { return m_overallBar; }

signals:
    void retrieveInitialized();

public slots:
    void onRetrieve();

protected:
    void timerEvent(QTimerEvent* event) override;
    void onProgressed(qint64 done, qint64 total) override;
    void onRunEnded(const Runtime::OperationResult& result) override;

private:
    void onInitializeRetrieve(const QString& message, int fileCount);
    void onSendingFileInitialized(const QString& message, int fileSize);
    void onSentFile(const QString& message, int currentFile);
    void showNoDataLog();

    QString m_logFolder;
    int m_startTimerId = 0;
    QLabel* m_currentFileLabel = nullptr;
    QLabel* m_fileCountLabel = nullptr;
    QProgressBar* m_currentBar = nullptr;
    QLabel* m_overallLabel = nullptr;
    QProgressBar* m_overallBar = nullptr;
    int m_fileTotal = 0;
    bool m_deviceRefused = false;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICELOGRETRIEVEDIALOG_H
