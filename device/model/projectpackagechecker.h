#ifndef PROJECTPACKAGECHECKER_H
#define PROJECTPACKAGECHECKER_H

#include "configurationinfo.h"
#include "device_global.h"
#include "packagesignature.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Common {

// The checks a runtime project package (".txdevproj") must pass before it may be
// uploaded to a device: required entries, the decoded version information, the
// compatible models and the minimum device software version. Both front ends use
// it; the texts it reports are the user-visible ones, already translated.
class DEVICE_EXPORT ProjectPackageChecker
{
public:
    enum Result {
        Accepted = 0,
        FileNotFound,          // the path names no existing file
        Incomplete,            // "config.txrc" or "versionInfo.txverinf" missing, or not a zip
        UnreadableVersionInfo, // the version information does not decode
        InvalidConfiguration,  // its "configInfo" (the device settings) does not parse
        UnsafeEntries,         // entry names that would unpack outside the target folder
        IncompatibleModel,
        DeviceSoftwareTooOld,
        UnsupportedFileName, // a sent file's name cannot travel in the command protocol
        DuplicateFileName,   // two files would reach the device under one name
        SignatureRefused     // see signature()
    };

    explicit ProjectPackageChecker(const QString& packagePath = QString());

    QString packagePath() const { return m_packagePath; }
    // Whether only a package signed by a trusted key is accepted (a bad signature never is).
    void setSignatureRequired(bool required) { m_signatureRequired = required; }
    // The package is read once, by the first read(): every check, and the unpacking,
    // use those bytes, which are the ones its signature was judged on.
    PackageSignature signature() const { return m_signature; }

    // Reads the entry list and the version information. Device independent.
    Result read();
    // read(), then the checks against one device's information map.
    Result check(const QMap<QString, QString>& deviceInfo);

    Result result() const { return m_result; }
    // Title and text of the refusal; empty when accepted.
    QString errorTitle() const { return m_errorTitle; }
    QString errorText() const { return m_errorText; }
    // A warning that does not stop the upload (the MAC address one), empty when none.
    QString warningTitle() const { return m_warningTitle; }
    QString warningText() const { return m_warningText; }

    QStringList entries() const { return m_entries; }
    QString minDeviceSoftwareVersion() const { return m_minDeviceSoftwareVersion; }
    QString compatibleModelsText() const { return m_compatibleModels; }
    QStringList compatibleModels() const;
    int ethernetPorts() const { return m_ethernetPorts; }
    QString configInfoText() const { return m_configInfo; }
    ConfigurationInfo configuration() const;
    bool hasCanConfiguration() const;

    // Unpacks every entry into an existing folder, from the package read once.
    bool extractTo(const QString& folder);
    // The SHA-256 (hex) of the package bytes that extractTo unpacked; empty before.
    QString sha256() const { return m_sha256; }

    // The question the front end must have answered before an upload.
    static QString confirmationTitle();
    static QString confirmationText();

    // The files of an unpacked project in sending order: the accepted files of
    // "project" and its sub-folders (path order ignoring case), then "config.txrc", then
    // "canConfig.txrc" when present. Empty when the folder is not a project or
    // holds nothing to send. Empty files are left out: they cannot be announced.
    static QStringList uploadFileList(const QString& projectFolder, qint64* totalSize = nullptr);

    static bool isSafeEntryName(const QString& name);
    // The name under which a package entry reaches the device (the %1 of
    // "#LOAD<%1>%2#"), or empty when the entry is not sent. Files of sub-folders
    // of "project" arrive flat: "project/images/a.png" as "project/a.png".
    static QString deviceFileName(const QString& entry);
    // Whether the command protocol carries the name as it is: Latin-1, without
    // "#", "<", ">" and control characters.
    static bool isProtocolSafeName(const QString& name);

private:
    void fail(Result result, const QString& title, const QString& text);

    QString m_packagePath;
    QString m_sha256;
    Result m_result = Accepted;
    QString m_errorTitle;
    QString m_errorText;
    QString m_warningTitle;
    QString m_warningText;
    QStringList m_entries;
    QString m_minDeviceSoftwareVersion;
    QString m_compatibleModels;
    int m_ethernetPorts = 0;
    QString m_configInfo;
    bool m_read = false;
    bool m_signatureRequired = false;
    bool m_loaded = false;
    QByteArray m_content;
    PackageSignature m_signature;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // PROJECTPACKAGECHECKER_H
