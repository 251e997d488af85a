#include "batchpackage.h"

#include "devicelink.h"
#include "devicerules.h"
#include "localizationhelper.h"
#include "serialportmanager.h"
#include "texthelper.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <memory>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

using Common::guiText;
using Common::ProjectPackageChecker;
using Common::ServiceRecord;
using Common::SoftwarePackageChecker;
using Common::TextHelper;

namespace {

QString fileSha256(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return QString();
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace

BatchPackage::Kind BatchPackage::kindOf(const QString& path)
{
    if (path.endsWith(QLatin1String(".txdevproj"), Qt::CaseInsensitive))
        return Project;
    if (path.endsWith(QLatin1String(".txsw"), Qt::CaseInsensitive))
        return Software;
    return NoPackage;
}

void BatchPackage::clear()
{
    *this = BatchPackage();
}

bool BatchPackage::load(const QString& path, bool requireSignature)
{
    clear();
    const Kind kind = kindOf(path);
    if (kind == Project) {
        m_project = ProjectPackageChecker(path);
        m_project.setSignatureRequired(requireSignature);
        if (m_project.read() != ProjectPackageChecker::Accepted) {
            m_errorTitle = m_project.errorTitle();
            m_errorText = m_project.errorText();
            return false;
        }
    } else if (kind == Software) {
        m_software = SoftwarePackageChecker(path);
        m_software.setSignatureRequired(requireSignature);
        if (m_software.read() != SoftwarePackageChecker::Accepted) {
            m_errorTitle = m_software.errorTitle();
            m_errorText = m_software.errorText();
            return false;
        }
        m_totalBytes = m_software.packageContent().size();
        m_sha256 = m_software.sha256();
        m_prepared = true;
    } else {
        m_errorTitle = guiText("Batch");
        m_errorText = guiText("\"%1\" is neither a runtime project (.txdevproj) nor device software (.txsw).")
                          .arg(TextHelper::toSystemPath(path));
        return false;
    }
    if (m_sha256.isEmpty())
        m_sha256 = fileSha256(path);
    m_path = path;
    m_kind = kind;
    return true;
}

QString BatchPackage::fileName() const
{
    return QFileInfo(m_path).fileName();
}

Common::PackageSignature BatchPackage::signature() const
{
    return m_kind == Software ? m_software.signature() : m_project.signature();
}

QString BatchPackage::summary() const
{
    if (m_kind == Project) {
        const QString models = m_project.compatibleModels().join(QStringLiteral(", "));
        if (m_project.minDeviceSoftwareVersion().isEmpty())
            return guiText("Runtime project for %1").arg(models);
        return guiText("Runtime project for %1, from device software %2").arg(models, m_project.minDeviceSoftwareVersion());
    }
    if (m_kind == Software) {
        const QDate date = m_software.releaseDate().date();
        if (!date.isValid())
            return guiText("Device software %1").arg(m_software.version());
        return guiText("Device software %1 of %2").arg(m_software.version(), date.toString(Qt::ISODate));
    }
    return QString();
}

ServiceRecord::Operation BatchPackage::operation() const
{
    switch (m_kind) {
    case Project: return ServiceRecord::Upload;
    case Software: return ServiceRecord::Upgrade;
    case NoPackage: break;
    }
    return ServiceRecord::NoOperation;
}

OperationResult::Kind BatchPackage::operationKind() const
{
    switch (m_kind) {
    case Project: return OperationResult::ProjectUpload;
    case Software: return OperationResult::SoftwareUpgrade;
    case NoPackage: break;
    }
    return OperationResult::NoKind;
}

BatchPackage::Fit BatchPackage::fit(const QMap<QString, QString>& deviceInfo) const
{
    Fit fit;
    if (m_kind == Project) {
        // The checks of a row's own upload: the models, the device software, the MAC address.
        fit.fits = m_project.check(deviceInfo) == ProjectPackageChecker::Accepted;
        fit.reason = fit.fits ? QString() : m_project.errorText();
        fit.warning = m_project.warningText();
    } else if (m_kind == Software) {
        const SoftwarePackageChecker::SoftwareCompatibility compatibility = SoftwarePackageChecker::isDeviceCompatible(
            deviceInfo.value(QStringLiteral("model")), deviceInfo.value(QStringLiteral("firmware")),
            deviceInfo.value(QStringLiteral("deviceAppVer")), m_software.devices());
        fit.fits = compatibility == SoftwarePackageChecker::Compatible;
        fit.reason = SoftwarePackageChecker::compatibilityText(compatibility);
    }
    return fit;
}

bool BatchPackage::prepare(const QString& folder)
{
    if (m_prepared)
        return true;
    if (m_kind != Project)
        return false;
    qint64 total = 0;
    if (!m_project.extractTo(folder)) {
        m_errorText = guiText("\"%1\" could not be unpacked.").arg(TextHelper::toSystemPath(m_path));
        return false;
    }
    m_files = ProjectPackageChecker::uploadFileList(folder, &total);
    if (m_files.isEmpty()) {
        m_errorText = guiText("The runtime project holds no files to upload.");
        return false;
    }
    m_configuration = m_project.configuration();
    m_totalBytes = total;
    // What the devices get is what was unpacked now.
    m_sha256 = m_project.sha256();
    m_prepared = true;
    return true;
}

bool BatchPackage::startOn(DeviceLink* link) const
{
    if (!link || !m_prepared)
        return false;
    if (m_kind == Software)
        return link->upgradeDeviceSoftware(m_software.packageContent());
    if (m_kind != Project)
        return false;
    return link->uploadProject(m_files, m_configuration, int(m_totalBytes));
}

QString BatchPackage::confirmationTitle() const
{
    return m_kind == Software ? guiText("Upgrade Device Software") : ProjectPackageChecker::confirmationTitle();
}

QString BatchPackage::confirmationText(int devices) const
{
    if (m_kind == Software) {
        if (devices == 1)
            return guiText("This will upgrade the device software to %1; the device restarts when it is installed.\n"
                           "Are you sure you want to proceed?")
                .arg(m_software.version());
        return guiText("This will upgrade the device software of %1 devices to %2; each restarts when it is installed.\n"
                       "Are you sure you want to proceed?")
            .arg(devices)
            .arg(m_software.version());
    }
    if (devices == 1)
        return ProjectPackageChecker::confirmationText();
    return guiText("This will upload the project to %1 devices, their current project and any logged data will be lost,\n "
                   "are you sure you want to proceed?")
        .arg(devices);
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
