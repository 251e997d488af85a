#include "projectpackagechecker.h"

#include "diagnostics.h"
#include "filehelper.h"
#include "localizationhelper.h"
#include "texthelper.h"
#include "ziphelper.h"

#include <algorithm>

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QVariant>

using Orvane::Tavrix::Common::lcFiles;

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

const QString ConfigEntry = QStringLiteral("config.txrc");
const QString VersionEntry = QStringLiteral("versionInfo.txverinf");
const QString CanConfigEntry = QStringLiteral("canConfig.txrc");
const QString ProjectFolder = QStringLiteral("project/");

// The extensions of the project files that are sent, with the dot, lower case.
QStringList sentExtensions()
{
    QStringList extensions = FileHelper::validImageFileExtensions(true);
    extensions << QStringLiteral(".qml") << QStringLiteral(".zip");
    return extensions;
}

bool hasSentExtension(const QString& fileName)
{
    const QString lower = fileName.toLower();
    for (const QString& extension : sentExtensions()) {
        if (lower.endsWith(extension))
            return true;
    }
    return false;
}

bool isControlCharacter(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}

// A name as a message can show it: control characters as "\xNN".
QString shownName(const QString& name)
{
    QString shown;
    for (const QChar c : name) {
        if (isControlCharacter(c.unicode()))
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

} // namespace

ProjectPackageChecker::ProjectPackageChecker(const QString& packagePath)
    : m_packagePath(FileHelper::normalizeFilePath(packagePath))
{
}

void ProjectPackageChecker::fail(Result result, const QString& title, const QString& text)
{
    m_result = result;
    m_errorTitle = title;
    m_errorText = text;
}

bool ProjectPackageChecker::isSafeEntryName(const QString& name)
{
    const QString path = TextHelper::toStandardPath(name);
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')) || path.contains(QLatin1Char(':')))
        return false;
    const QStringList parts = path.split(QLatin1Char('/'));
    return !parts.contains(QStringLiteral(".."));
}

QString ProjectPackageChecker::deviceFileName(const QString& entry)
{
    if (entry.endsWith(QLatin1Char('/')) || entry.endsWith(QLatin1Char('\\')))
        return QString();
    // Where the entry lands when unpacked. The device reads its project from one
    // folder, so a file of a sub-folder travels under its own name alone.
    const QString path = QDir::cleanPath(TextHelper::toStandardPath(entry));
    if (path == ConfigEntry || path == CanConfigEntry)
        return path;
    if (!path.startsWith(ProjectFolder))
        return QString();
    const QStringList parts = path.mid(ProjectFolder.size()).split(QLatin1Char('/'));
    for (const QString& part : parts) {
        // Hidden files and folders are not part of the project.
        if (part.isEmpty() || part.startsWith(QLatin1Char('.')))
            return QString();
    }
    const QString name = parts.last();
    if (!hasSentExtension(name))
        return QString();
    return ProjectFolder + name;
}

bool ProjectPackageChecker::isProtocolSafeName(const QString& name)
{
    if (name.isEmpty())
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u > 0xff || isControlCharacter(u) || u == u'#' || u == u'<' || u == u'>')
            return false;
    }
    return true;
}

ProjectPackageChecker::Result ProjectPackageChecker::read()
{
    m_result = Accepted;
    m_errorTitle.clear();
    m_errorText.clear();
    m_warningTitle.clear();
    m_warningText.clear();
    m_entries.clear();
    m_minDeviceSoftwareVersion.clear();
    m_compatibleModels.clear();
    m_ethernetPorts = 0;
    m_configInfo.clear();
    m_read = true;

    if (!m_loaded && (m_packagePath.isEmpty() || !QFileInfo(m_packagePath).isFile())) {
        fail(FileNotFound, guiText("Upload Runtime Project"),
             guiText("\"%1\" does not exist.").arg(TextHelper::toSystemPath(m_packagePath)));
        return m_result;
    }

    if (!m_loaded) {
        m_signature = PackageSignature::read(m_packagePath, &m_content);
        m_loaded = true;
    }
    if (!m_signature.allows(m_signatureRequired)) {
        fail(SignatureRefused, PackageSignature::refusalTitle(), m_signature.refusalText(m_signatureRequired));
        return m_result;
    }

    m_entries = ZipHelper::listContents(m_content);
    if (!m_entries.contains(ConfigEntry) || !m_entries.contains(VersionEntry)) {
        fail(Incomplete, guiText("Runtime Project incomplete"),
             guiText("The runtime project file does not have enough information for upload to continue."));
        return m_result;
    }
    for (const QString& entry : std::as_const(m_entries)) {
        if (!isSafeEntryName(entry)) {
            fail(UnsafeEntries, guiText("Runtime Project incomplete"),
                 guiText("The runtime project file contains the unsafe entry \"%1\".").arg(entry));
            return m_result;
        }
    }
    // A name the command cannot carry would arrive changed ("?" for letters outside
    // Latin-1) or break the command's framing; two names that arrive as one would
    // leave one file in place of two.
    QMap<QString, QString> sent;
    for (const QString& entry : std::as_const(m_entries)) {
        const QString name = deviceFileName(entry);
        if (name.isEmpty())
            continue;
        if (!isProtocolSafeName(name)) {
            fail(UnsupportedFileName, deviceText("Upload Runtime Project"),
                 deviceText("The project file \"%1\" cannot be sent to the device: a file name may only hold Latin-1 "
                            "characters, without \"#\", \"<\", \">\" or control characters. Rename the file in the project.")
                     .arg(shownName(entry)));
            return m_result;
        }
#ifdef Q_OS_WIN
        // The unpacked copy lies in a folder that does not tell letter cases apart.
        const QString key = name.toLower();
#else
        const QString key = name;
#endif
        if (sent.contains(key)) {
            fail(DuplicateFileName, deviceText("Upload Runtime Project"),
                 deviceText("The project files \"%1\" and \"%2\" would both reach the device as \"%3\". "
                            "Rename one of them in the project.")
                     .arg(shownName(sent.value(key)), shownName(entry), shownName(name)));
            return m_result;
        }
        sent.insert(key, entry);
    }

    const QVariant info = FileHelper::variantFromBinary(ZipHelper::extractFileContent(m_content, VersionEntry));
    if (!info.isValid()) {
        fail(UnreadableVersionInfo, guiText("Runtime Project incomplete"),
             guiText("The runtime project file does not have enough information for upload to continue."));
        return m_result;
    }
    const QVariantMap map = info.toMap();
    m_minDeviceSoftwareVersion = map.value(QStringLiteral("minDeviceSoftwareVersion")).toString();
    m_compatibleModels = map.value(QStringLiteral("compatibleModels")).toString();
    m_ethernetPorts = map.value(QStringLiteral("ethernetPort")).toInt();
    m_configInfo = map.value(QStringLiteral("configInfo")).toString();
    qCDebug(lcFiles).noquote() << QStringLiteral("ethernet ports : %1").arg(m_ethernetPorts);
    // Settings that do not parse would be sent as defaults (full brightness, no
    // I/O settings) and the upload reported as a success.
    bool parsed = false;
    ConfigurationInfo(m_configInfo, &parsed);
    if (!parsed) {
        fail(InvalidConfiguration, guiText("Runtime Project incomplete"),
             guiText("The device settings in the runtime project file cannot be read; the project cannot be uploaded."));
        return m_result;
    }
    return m_result;
}

ProjectPackageChecker::Result ProjectPackageChecker::check(const QMap<QString, QString>& deviceInfo)
{
    if (read() != Accepted)
        return m_result;

    const QString model = deviceInfo.value(QStringLiteral("model"));
    if (!compatibleModels().contains(model)) {
        fail(IncompatibleModel, guiText("Incompatible Device"),
             guiText("This project is incompatible with your device model %1.").arg(model));
        return m_result;
    }
    if (TextHelper::versionCompare(deviceInfo.value(QStringLiteral("deviceAppVer")), m_minDeviceSoftwareVersion) == -1) {
        fail(DeviceSoftwareTooOld, guiText("Incompatible Device"),
             guiText("You must upgrade the device software to at least %1 to use this project.").arg(m_minDeviceSoftwareVersion));
        return m_result;
    }
    if (m_ethernetPorts >= 1 && deviceInfo.value(QStringLiteral("physicalAddress")) == QLatin1String("00:00:00:00:00:00")) {
        m_warningTitle = guiText("MAC Address Configuration");
        m_warningText = guiText("You must configure the device to obtain MAC address using device configurator, this project has ethernet port");
    }
    return m_result;
}

QStringList ProjectPackageChecker::compatibleModels() const
{
    return m_compatibleModels.split(QLatin1Char('|'));
}

ConfigurationInfo ProjectPackageChecker::configuration() const
{
    return ConfigurationInfo(m_configInfo, nullptr);
}

bool ProjectPackageChecker::hasCanConfiguration() const
{
    return m_entries.contains(CanConfigEntry);
}

bool ProjectPackageChecker::extractTo(const QString& folder)
{
    m_sha256.clear();
    if (!m_read || m_result == FileNotFound || m_result == Incomplete || m_result == UnsafeEntries
        || m_result == SignatureRefused)
        return false;
    // The bytes read() judged: a package changed on disk since then is not read again.
    if (!QFileInfo(folder).isDir() || !ZipHelper::extractAll(m_content, folder))
        return false;
    m_sha256 = m_signature.sha256();
    return true;
}

QString ProjectPackageChecker::confirmationTitle()
{
    return guiText("Upload Project");
}

QString ProjectPackageChecker::confirmationText()
{
    return guiText("This will upload the project to the device, the current project and any logged data will be lost,\n are you sure you want to proceed?");
}

QStringList ProjectPackageChecker::uploadFileList(const QString& projectFolder, qint64* totalSize)
{
    if (totalSize)
        *totalSize = 0;
    const QDir folder(projectFolder);
    if (!folder.exists() || !QFileInfo(folder.filePath(ConfigEntry)).isFile() || !QFileInfo(folder.filePath(QStringLiteral("project"))).isDir())
        return QStringList();

    QStringList files;
    qint64 total = 0;
    const QDir project(folder.filePath(QStringLiteral("project")));
    // Sub-folders included, in the order of their paths; which files go, and under
    // which name, is deviceFileName's rule, the one read() checked the names with.
    QStringList relatives;
    QStringList pending { QString() };
    while (!pending.isEmpty()) {
        const QString relative = pending.takeFirst();
        const QDir dir(project.filePath(relative));
        const QString prefix = relative.isEmpty() ? QString() : relative + QLatin1Char('/');
        const QFileInfoList infos = dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
        for (const QFileInfo& info : infos) {
            if (info.isDir())
                pending << prefix + info.fileName();
            else
                relatives << prefix + info.fileName();
        }
    }
    std::sort(relatives.begin(), relatives.end(),
              [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
    for (const QString& relative : std::as_const(relatives)) {
        if (deviceFileName(ProjectFolder + relative).isEmpty())
            continue;
        const QFileInfo info(project.filePath(relative));
        if (info.size() <= 0) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Skipping empty project file %1").arg(relative);
            continue;
        }
        files << info.absoluteFilePath();
        total += info.size();
    }

    // A project without screens or images is not worth sending.
    if (files.isEmpty())
        return QStringList();
    const QFileInfo config(folder.filePath(ConfigEntry));
    files << config.absoluteFilePath();
    total += config.size();
    const QFileInfo can(folder.filePath(CanConfigEntry));
    if (can.isFile() && can.size() > 0) {
        files << can.absoluteFilePath();
        total += can.size();
    }

    if (total <= 0 || config.size() <= 0)
        return QStringList();
    if (totalSize)
        *totalSize = total;
    return files;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
