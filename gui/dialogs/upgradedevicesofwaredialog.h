#ifndef UPGRADEDEVICESOFWAREDIALOG_H
#define UPGRADEDEVICESOFWAREDIALOG_H

#include "operationprogressdialog.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Designer {

class UpgradeDeviceSofwareDialogPrivate;

// Shows the version and release date of a device software package and, on
// "Upgrade", sends it to the device and follows the upgrade to its end.
class GUI_EXPORT UpgradeDeviceSofwareDialog : public OperationProgressDialog
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

    // The package file, and the SHA-256 of the bytes read from it, named in the service history.
    void setPackage(const QString& path, const QString& sha256 = QString());

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
    void onUpgrade();

protected:
    void onProgressed(qint64 done, qint64 total) override;

private:
    UpgradeDeviceSofwareDialogPrivate* d;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // UPGRADEDEVICESOFWAREDIALOG_H
