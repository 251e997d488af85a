#ifndef SOFTWAREPACKAGECHECKER_H
#define SOFTWAREPACKAGECHECKER_H

#include "device_global.h"
#include "packagesignature.h"

#include <QByteArray>
#include <QDateTime>
#include <QDomNodeList>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Common {

// The checks a device software package (".txsw") must pass before an upgrade:
// "update.xml" and "update.tar.gz" present, the new version and release date,
// and the compatibility of the listed devices with the device at hand. The texts
// it reports are the user-visible ones, already translated.
class DEVICE_EXPORT SoftwarePackageChecker
{
public:
    enum SoftwareCompatibility {
        Compatible = 0,
        ModelNotListed = 1,
        FirmwareNotListed = 2,
        RuntimeNotListed = 3,
        Downgrade = 5
    };

    enum Result {
        Accepted = 0,
        InvalidPackage, // missing file or entries, bad XML, empty image
        Incompatible,   // see compatibility()
        SignatureRefused // see signature()
    };

    struct DeviceEntry
    {
        QString model;
        QString firmware;
        QString runtime;
    };

    explicit SoftwarePackageChecker(const QString& packagePath = QString());

    QString packagePath() const { return m_packagePath; }
    // Whether only a package signed by a trusted key is accepted (a bad signature never is).
    void setSignatureRequired(bool required) { m_signatureRequired = required; }
    // The package is read once, by the first read() or check(): every later one, and the
    // image sent, use those bytes, which are the ones its signature was judged on.
    PackageSignature signature() const { return m_signature; }

    // Reads the package without judging a device; the image is read as well.
    Result read();
    // read(), then the compatibility with one device's information map.
    Result check(const QMap<QString, QString>& deviceInfo);

    Result result() const { return m_result; }
    SoftwareCompatibility compatibility() const { return m_compatibility; }
    QString errorTitle() const { return m_errorTitle; }
    QString errorText() const { return m_errorText; }

    QStringList entries() const { return m_entries; }
    QString version() const { return m_version; }
    QDateTime releaseDate() const { return m_releaseDate; }
    QList<DeviceEntry> devices() const { return m_devices; }
    QByteArray packageContent() const { return m_packageContent; }
    // The SHA-256 (hex) of the package file as it was read for packageContent().
    QString sha256() const { return m_sha256; }

    static SoftwareCompatibility isDeviceCompatible(const QString& model, const QString& firmware,
                                                    const QString& runtime, const QDomNodeList& devices);
    static SoftwareCompatibility isDeviceCompatible(const QString& model, const QString& firmware,
                                                    const QString& runtime, const QList<DeviceEntry>& devices);
    static QString compatibilityText(SoftwareCompatibility compatibility);

    // A package whose version is below the one the device runs: installing it goes back.
    bool isOlderThanInstalled(const QMap<QString, QString>& deviceInfo) const;
    static bool isOlderVersion(const QString& packageVersion, const QString& installedVersion);
    // What the user is told about such a package before it is installed.
    static QString olderVersionText(const QString& packageVersion, const QString& installedVersion);

private:
    // Entries, "update.xml" and the image, without judging the image.
    Result readPackage();
    void invalid();

    QString m_packagePath;
    Result m_result = Accepted;
    SoftwareCompatibility m_compatibility = Compatible;
    QString m_errorTitle;
    QString m_errorText;
    QStringList m_entries;
    QString m_version;
    QDateTime m_releaseDate;
    QList<DeviceEntry> m_devices;
    QByteArray m_packageContent;
    QString m_sha256;
    bool m_signatureRequired = false;
    bool m_loaded = false;
    QByteArray m_content;
    PackageSignature m_signature;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // SOFTWAREPACKAGECHECKER_H
