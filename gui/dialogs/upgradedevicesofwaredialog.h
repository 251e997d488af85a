#ifndef UPGRADEDEVICESOFWAREDIALOG_H
#define UPGRADEDEVICESOFWAREDIALOG_H

#include "gui_global.h"

#include <QByteArray>
#include <QDateTime>
#include <QDialog>
#include <QLocale>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Runtime {
class DeviceLink;
class OperationResult;
}
namespace Designer {

class TransferStatusLabel;
class UpgradeDeviceSofwareDialogPrivate;

// Shows the version and release date of a device software package and, on
// "Upgrade", sends it to the active device and follows the upgrade to its end.
class GUI_EXPORT UpgradeDeviceSofwareDialog : public QDialog
{
    Q_OBJECT
public:
    UpgradeDeviceSofwareDialog(const QByteArray& packageContent, const QString& version, const QDateTime& releaseDate,
                               QWidget* parent = nullptr);
    ~UpgradeDeviceSofwareDialog() override;

    // The device the package was checked against: the upgrade goes to it or is refused.
    void setDeviceSerial(const QString& serial);
    // The version the device runs: a package older than it is marked, and "Upgrade"
    // asks once more before it goes back.
    void setInstalledVersion(const QString& version);
    bool isOlderThanInstalled() const;

    QString deviceText() const;
    TransferStatusLabel* transferLabel() const;

    // The package file, named in the service history.
    void setPackagePath(const QString& path);

    // The locale's long date format without the weekday.
    static QString releaseDateFormat(const QString& longDateFormat);
    // The release date as the dialog shows it, in the given locale.
    static QString releaseDateText(const QDateTime& releaseDate, const QLocale& locale);
    // The locale of the application's translator.
    static QLocale translatorLocale();

signals:
    void upgradeStarted();
    void upgradeEnded(bool success);

public slots:
    void reject() override;
    void onUpgrade();
    void onDataTransferred(int size);
    void onUpgradeError(const QString& error, bool needReboot);
    void onUpgradeFinished();

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

    UpgradeDeviceSofwareDialogPrivate* d;
    friend class UpgradeDeviceSofwareDialogPrivate;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // UPGRADEDEVICESOFWAREDIALOG_H
