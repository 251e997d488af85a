#include "softwarepackagechecker.h"

#include "diagnostics.h"
#include "filehelper.h"
#include "localizationhelper.h"
#include "texthelper.h"
#include "ziphelper.h"

#include <QDebug>
#include <QDomDocument>
#include <QDomElement>
#include <QFileInfo>

using Orvane::Tavrix::Common::lcFiles;

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {


} // namespace

SoftwarePackageChecker::SoftwarePackageChecker(const QString& packagePath)
    : m_packagePath(FileHelper::normalizeFilePath(packagePath))
{
}

void SoftwarePackageChecker::invalid()
{
    m_result = InvalidPackage;
    m_errorTitle = guiText("Invalid Device Software");
    m_errorText = guiText("\"%1\" is not a valid device software file.")
                      .arg(TextHelper::toSystemPath(QFileInfo(m_packagePath).absoluteFilePath()));
}

SoftwarePackageChecker::Result SoftwarePackageChecker::read()
{
    if (readPackage() == Accepted && m_packageContent.isEmpty())
        invalid();
    return m_result;
}

SoftwarePackageChecker::Result SoftwarePackageChecker::readPackage()
{
    m_result = Accepted;
    m_compatibility = Compatible;
    m_errorTitle.clear();
    m_errorText.clear();
    m_entries.clear();
    m_version.clear();
    m_releaseDate = QDateTime();
    m_devices.clear();
    m_packageContent.clear();

    // Read once: what is judged, and what the signature and the hash speak for, is what is sent.
    if (!m_loaded && (m_packagePath.isEmpty() || !QFileInfo(m_packagePath).isFile())) {
        invalid();
        return m_result;
    }
    if (!m_loaded) {
        m_signature = PackageSignature::read(m_packagePath, &m_content);
        m_sha256 = m_signature.sha256();
        m_loaded = true;
    }
    if (!m_signature.allows(m_signatureRequired)) {
        m_result = SignatureRefused;
        m_errorTitle = PackageSignature::refusalTitle();
        m_errorText = m_signature.refusalText(m_signatureRequired);
        return m_result;
    }
    m_entries = ZipHelper::listContents(m_content);
    if (!m_entries.contains(QStringLiteral("update.xml")) || !m_entries.contains(QStringLiteral("update.tar.gz"))) {
        invalid();
        return m_result;
    }

    QDomDocument document;
    QString message;
    int line = 0;
    if (!document.setContent(ZipHelper::extractFileContent(m_content, QStringLiteral("update.xml")), &message, &line)) {
        qCDebug(lcFiles).noquote() << QStringLiteral("update.xml: %1 (line %2)").arg(message, QString::number(line));
        invalid();
        return m_result;
    }
    const QDomElement root = document.documentElement();
    const QDomElement runtime = root.elementsByTagName(QStringLiteral("NewRuntime")).item(0).toElement();
    m_version = runtime.attribute(QStringLiteral("Ver"));
    const QDate date = QDate::fromString(runtime.attribute(QStringLiteral("Date")), QStringLiteral("yyyy-MM-dd"));
    if (date.isValid())
        m_releaseDate = date.startOfDay();

    const QDomNodeList devices = root.elementsByTagName(QStringLiteral("Device"));
    for (int i = 0; i < devices.count(); ++i) {
        const QDomElement element = devices.item(i).toElement();
        m_devices.append({ element.attribute(QStringLiteral("Model_Name")), element.attribute(QStringLiteral("Firmware_Ver")),
                           element.attribute(QStringLiteral("Runtime_Ver")) });
    }

    m_packageContent = ZipHelper::extractFileContent(m_content, QStringLiteral("update.tar.gz"));
    return m_result;
}

SoftwarePackageChecker::Result SoftwarePackageChecker::check(const QMap<QString, QString>& deviceInfo)
{
    // Compatibility is judged before the image: an incompatible package is
    // refused as such, whatever its image holds.
    if (readPackage() != Accepted)
        return m_result;
    m_compatibility = isDeviceCompatible(deviceInfo.value(QStringLiteral("model")), deviceInfo.value(QStringLiteral("firmware")),
                                         deviceInfo.value(QStringLiteral("deviceAppVer")), m_devices);
    if (m_compatibility != Compatible) {
        m_result = Incompatible;
        m_errorTitle = guiText("Upgrade Device Software");
        m_errorText = compatibilityText(m_compatibility);
        m_packageContent.clear();
        return m_result;
    }
    if (m_packageContent.isEmpty())
        invalid();
    return m_result;
}

bool SoftwarePackageChecker::isOlderThanInstalled(const QMap<QString, QString>& deviceInfo) const
{
    return isOlderVersion(m_version, deviceInfo.value(QStringLiteral("deviceAppVer")));
}

bool SoftwarePackageChecker::isOlderVersion(const QString& packageVersion, const QString& installedVersion)
{
    // An unreadable version is no evidence of going back.
    return TextHelper::versionCompare(packageVersion, installedVersion) == -1;
}

QString SoftwarePackageChecker::olderVersionText(const QString& packageVersion, const QString& installedVersion)
{
    return guiText("The package holds version %1, older than the version %2 the device runs.").arg(packageVersion, installedVersion);
}

SoftwarePackageChecker::SoftwareCompatibility SoftwarePackageChecker::isDeviceCompatible(
    const QString& model, const QString& firmware, const QString& runtime, const QDomNodeList& devices)
{
    QList<DeviceEntry> entries;
    for (int i = 0; i < devices.count(); ++i) {
        const QDomElement element = devices.item(i).toElement();
        entries.append({ element.attribute(QStringLiteral("Model_Name")), element.attribute(QStringLiteral("Firmware_Ver")),
                         element.attribute(QStringLiteral("Runtime_Ver")) });
    }
    return isDeviceCompatible(model, firmware, runtime, entries);
}

SoftwarePackageChecker::SoftwareCompatibility SoftwarePackageChecker::isDeviceCompatible(
    const QString& model, const QString& firmware, const QString& runtime, const QList<DeviceEntry>& devices)
{
    if (devices.isEmpty())
        return ModelNotListed;
    bool modelSeen = false;
    bool firmwareSeen = false;
    bool runtimeSeen = false;
    for (const DeviceEntry& entry : devices) {
        const bool modelMatch = entry.model == model;
        const bool firmwareMatch = entry.firmware == firmware;
        const bool runtimeMatch = entry.runtime == runtime;
        if (modelMatch && firmwareMatch && runtimeMatch)
            return Compatible;
        modelSeen = modelSeen || modelMatch;
        firmwareSeen = firmwareSeen || firmwareMatch;
        runtimeSeen = runtimeSeen || runtimeMatch;
    }
    if (!modelSeen)
        return ModelNotListed;
    if (!firmwareSeen)
        return FirmwareNotListed;
    if (!runtimeSeen)
        return RuntimeNotListed;
    return Downgrade;
}

QString SoftwarePackageChecker::compatibilityText(SoftwareCompatibility compatibility)
{
    switch (compatibility) {
    case ModelNotListed: return guiText("The software is incompatible with the device model.");
    case FirmwareNotListed: return guiText("The software is incompatible with the device firmware.");
    case RuntimeNotListed: return guiText("The software is incompatible with the device runtime.");
    case Downgrade: return guiText("You may not downgrade the device software.");
    default: return QString();
    }
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
