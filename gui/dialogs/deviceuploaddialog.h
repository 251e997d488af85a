#ifndef DEVICEUPLOADDIALOG_H
#define DEVICEUPLOADDIALOG_H

#include "operationprogressdialog.h"

#include <QString>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Common {
class ConfigurationInfo;
}
namespace Designer {

class DeviceUploadDialogPrivate;

// Uploads an unpacked runtime project folder to a device and shows the progress: the
// file on its way and the whole project, and whether the project's settings are applied.
// The upload starts as soon as the window is built.
class GUI_EXPORT DeviceUploadDialog : public OperationProgressDialog
{
    Q_OBJECT
public:
    // packagePath and packageSha256: the package the folder was unpacked from, named in the
    // service history. deviceSerial: the device it goes to (none: the manager's active device).
    DeviceUploadDialog(const QString& projectFolder, const Common::ConfigurationInfo& configuration, QWidget* parent = nullptr,
                       const QString& packagePath = QString(), const QString& deviceSerial = QString(),
                       const QString& packageSha256 = QString());
    ~DeviceUploadDialog() override;

    // The files sent, in order, and the sum of their sizes.
    QStringList files() const;
    qint64 totalSize() const;

signals:
    void uploadStarted();
    void uploadEnded(bool success);
    void brightnessChanged(int brightness);

protected:
    void onProgressed(qint64 done, qint64 total) override;

private:
    void onCurrentFileChanged(const QString& filePath);

    DeviceUploadDialogPrivate* d;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICEUPLOADDIALOG_H
