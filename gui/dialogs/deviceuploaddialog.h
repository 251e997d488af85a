#ifndef DEVICEUPLOADDIALOG_H
#define DEVICEUPLOADDIALOG_H

#include "gui_global.h"

#include <QDialog>
#include <QString>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Common {
class ConfigurationInfo;
}
namespace Runtime {
class DeviceLink;
class OperationResult;
}
namespace Designer {

class DeviceUploadDialogPrivate;
class TransferStatusLabel;

// Uploads an unpacked runtime project folder to the active device and shows
// the progress. The upload starts as soon as the dialog is built; the dialog
// cannot be closed until the operation has ended.
class GUI_EXPORT DeviceUploadDialog : public QDialog
{
    Q_OBJECT
public:
    // packagePath: the package the folder was unpacked from, named in the service history.
    // deviceSerial: the device it goes to, on its own link (none: the manager's active device).
    DeviceUploadDialog(const QString& projectFolder, const Common::ConfigurationInfo& configuration, QWidget* parent = nullptr,
                       const QString& packagePath = QString(), const QString& deviceSerial = QString());
    ~DeviceUploadDialog() override;

    // The files sent, in order, and the sum of their sizes.
    QStringList files() const;
    qint64 totalSize() const;
    // The first line, naming the device; the bytes, speed and time left under the bars.
    QString deviceText() const;
    TransferStatusLabel* transferLabel() const;

signals:
    void uploadStarted();
    void uploadEnded(bool success);
    void brightnessChanged(int brightness);

public slots:
    void reject() override;
    void onUpload();
    void onFileTransferred(int size);
    void onCurrentFileChanged(const QString& filePath);
    void onProjectConfigurationStarted();
    void onProjectConfigurationFinished();
    void onUploadError(const QString& error, bool needReboot);
    void onUploadFinished();

protected:
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void onOperationEnded(const Orvane::Tavrix::Runtime::OperationResult& result);

private:
    void endWith(const Orvane::Tavrix::Runtime::OperationResult& result);
    void connectManager(Runtime::DeviceLink* link);
    void disconnectManager();
    void showMessage(const QString& text);

    DeviceUploadDialogPrivate* d;
    friend class DeviceUploadDialogPrivate;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICEUPLOADDIALOG_H
