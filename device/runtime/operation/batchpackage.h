#ifndef BATCHPACKAGE_H
#define BATCHPACKAGE_H

#include "configurationinfo.h"
#include "device_global.h"
#include "operationresult.h"
#include "packagesignature.h"
#include "projectpackagechecker.h"
#include "servicerecord.h"
#include "softwarepackagechecker.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

class DeviceLink;

// One package for many devices: a runtime project (".txdevproj") or device software
// (".txsw"), read once, judged for each device by the same checks and texts as a
// device's own upload or upgrade, and started on each device's link. A project is
// unpacked once for all of them.
class DEVICE_EXPORT BatchPackage
{
public:
    enum Kind { NoPackage, Project, Software };

    struct Fit
    {
        bool fits = false;
        QString reason;  // why it does not fit
        QString warning; // a warning that does not stop it (the MAC address one)
    };

    // By the file name's extension, in any letter case.
    static Kind kindOf(const QString& path);

    // Reads and checks the package without a device; false with the reason in
    // errorTitle() and errorText(). A bad signature refuses it; with requireSignature,
    // so does one that is missing or by a key that is not trusted.
    bool load(const QString& path, bool requireSignature = false);
    void clear();

    Kind kind() const { return m_kind; }
    bool isLoaded() const { return m_kind != NoPackage; }
    QString path() const { return m_path; }
    QString fileName() const;
    // Of the file as it was read, in lower-case hex.
    QString sha256() const { return m_sha256; }
    QString errorTitle() const { return m_errorTitle; }
    QString errorText() const { return m_errorText; }
    // Judged on the bytes that are sent.
    Common::PackageSignature signature() const;
    // One line for people: what the package is and what it is for.
    QString summary() const;

    Common::ServiceRecord::Operation operation() const;
    OperationResult::Kind operationKind() const;

    // The package judged against one device's information map.
    Fit fit(const QMap<QString, QString>& deviceInfo) const;

    // Makes the package ready to send: a project is unpacked into the (empty) folder.
    // False with the reason in errorText().
    bool prepare(const QString& folder);
    bool isPrepared() const { return m_prepared; }
    // What one device is sent, in bytes.
    qint64 totalBytes() const { return m_totalBytes; }

    // Starts the upload or upgrade on the link; false when the link refuses it (busy).
    // After a project's settings are applied the device's record follows its brightness.
    bool startOn(DeviceLink* link) const;

    // The question before the package goes to `devices` devices; a project's says that
    // their current project and data log are deleted, as a row's own upload does.
    QString confirmationTitle() const;
    QString confirmationText(int devices) const;

private:
    Kind m_kind = NoPackage;
    QString m_path;
    QString m_sha256;
    QString m_errorTitle;
    QString m_errorText;
    mutable Common::ProjectPackageChecker m_project;
    Common::SoftwarePackageChecker m_software;
    bool m_prepared = false;
    qint64 m_totalBytes = 0;
    QStringList m_files;
    Common::ConfigurationInfo m_configuration;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // BATCHPACKAGE_H
