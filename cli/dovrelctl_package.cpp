// Packages, no device: package inspect, package make-sample.
#include "dovrelctl.h"

#include "configurationinfo.h"
#include "filehelper.h"
#include "localizationhelper.h"
#include "packagesignature.h"
#include "projectpackagechecker.h"
#include "softwarepackagechecker.h"
#include "texthelper.h"
#include "ziphelper.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>

using namespace Orvane::Tavrix::Common;

ExitCode Dovrelctl::packageInspectCommand()
{
    const QString path = m_cl.operands().value(0);
    if (!QFileInfo(path).isFile())
        return fail(ExitCode::UsageError, guiText("\"%1\" does not exist.").arg(TextHelper::toSystemPath(path)));
    const QStringList entries = ZipHelper::listContents(path);
    const QString lower = path.toLower();
    bool software = lower.endsWith(QLatin1String(".txsw"));
    if (!software && !lower.endsWith(QLatin1String(".txdevproj")))
        software = entries.contains(QStringLiteral("update.xml"));

    QJsonObject result;
    QStringList lines;
    PackageSignature signature;
    result.insert(QStringLiteral("entries"), QJsonArray::fromStringList(entries));
    if (software) {
        SoftwarePackageChecker checker(path);
        if (checker.read() != SoftwarePackageChecker::Accepted)
            return fail(checker.result() == SoftwarePackageChecker::SignatureRefused ? ExitCode::Failed : ExitCode::UsageError,
                        checker.errorText(), { { QStringLiteral("signature"), checker.signature().toJson() } });
        signature = checker.signature();
        const QByteArray content = checker.packageContent();
        const QString md5 = QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex());
        const QString date = checker.releaseDate().date().toString(Qt::ISODate);
        result.insert(QStringLiteral("type"), QStringLiteral("software"));
        result.insert(QStringLiteral("version"), checker.version());
        result.insert(QStringLiteral("releaseDate"), date);
        result.insert(QStringLiteral("imageSize"), content.size());
        result.insert(QStringLiteral("imageMd5"), md5);
        QJsonArray devices;
        lines << QStringLiteral("type: software") << QStringLiteral("version: %1").arg(checker.version())
              << QStringLiteral("releaseDate: %1").arg(date) << QStringLiteral("imageSize: %1").arg(content.size())
              << QStringLiteral("imageMd5: %1").arg(md5);
        for (const auto& device : checker.devices()) {
            QJsonObject entry;
            entry.insert(QStringLiteral("model"), device.model);
            entry.insert(QStringLiteral("firmware"), device.firmware);
            entry.insert(QStringLiteral("runtime"), device.runtime);
            devices.append(entry);
            lines << QStringLiteral("device: %1 / firmware %2 / runtime %3").arg(device.model, device.firmware, device.runtime);
        }
        result.insert(QStringLiteral("devices"), devices);
    } else {
        ProjectPackageChecker checker(path);
        if (checker.read() != ProjectPackageChecker::Accepted)
            return fail(checker.result() == ProjectPackageChecker::SignatureRefused ? ExitCode::Failed : ExitCode::UsageError,
                        checker.errorText(), { { QStringLiteral("signature"), checker.signature().toJson() } });
        signature = checker.signature();
        result.insert(QStringLiteral("type"), QStringLiteral("project"));
        result.insert(QStringLiteral("minDeviceSoftwareVersion"), checker.minDeviceSoftwareVersion());
        result.insert(QStringLiteral("compatibleModels"), QJsonArray::fromStringList(checker.compatibleModels()));
        result.insert(QStringLiteral("ethernetPort"), checker.ethernetPorts());
        result.insert(QStringLiteral("configInfo"), checker.configInfoText());
        result.insert(QStringLiteral("canConfig"), checker.hasCanConfiguration());
        lines << QStringLiteral("type: project")
              << QStringLiteral("minDeviceSoftwareVersion: %1").arg(checker.minDeviceSoftwareVersion())
              << QStringLiteral("compatibleModels: %1").arg(checker.compatibleModels().join(QStringLiteral(", ")))
              << QStringLiteral("ethernetPort: %1").arg(checker.ethernetPorts())
              << QStringLiteral("configInfo: %1").arg(checker.configInfoText());
    }
    result.insert(QStringLiteral("signature"), signature.toJson());
    lines << QStringLiteral("signature: %1").arg(signature.text()) << QStringLiteral("entries:");
    for (const QString& entry : entries)
        lines << QStringLiteral("  %1").arg(entry);
    return succeed(result, lines.join(QLatin1Char('\n')));
}

ExitCode Dovrelctl::packageMakeSampleCommand()
{
    const QString out = m_cl.value(QStringLiteral("out"));
    if (out.isEmpty())
        return fail(ExitCode::UsageError, guiText("package make-sample needs --out FILE."));
    QTemporaryDir folder;
    if (!folder.isValid())
        return fail(ExitCode::Failed, guiText("The temporary folder could not be created."));
    const QDir root(folder.path());
    root.mkpath(QStringLiteral("project"));

    ConfigurationInfo configuration;
    configuration.setColorDepth(16);
    configuration.setDisplaySize(QSize(480, 272));
    configuration.setDisplayBrightness(80);
    QVariantMap versionInfo;
    versionInfo.insert(QStringLiteral("minDeviceSoftwareVersion"),
                       m_cl.hasOption(QStringLiteral("min-version")) ? m_cl.value(QStringLiteral("min-version")) : QStringLiteral("1.0.0.0"));
    versionInfo.insert(QStringLiteral("compatibleModels"), m_cl.value(QStringLiteral("models")));
    versionInfo.insert(QStringLiteral("ethernetPort"), m_cl.value(QStringLiteral("ethernet")).toInt());
    versionInfo.insert(QStringLiteral("configInfo"), configuration.toString());

    const QByteArray qml = "import QtQuick 2.0\n\nRectangle {\n    width: 480\n    height: 272\n    color: \"#20303c\"\n"
                           "    Text { anchors.centerIn: parent; text: \"Dovrel sample\"; color: \"white\" }\n}\n";
    bool ok = FileHelper::writeDataToFile(qml, root.filePath(QStringLiteral("project/main.qml")), true)
        && FileHelper::writeDataToFile(configuration.toString().toUtf8() + '\n', root.filePath(QStringLiteral("config.txrc")), true)
        && FileHelper::writeDataToFile(FileHelper::variantToBinary(versionInfo), root.filePath(QStringLiteral("versionInfo.txverinf")), true);
    QFile::remove(out);
    ok = ok && ZipHelper::zipWithDirectoryContents(folder.path(), out, false);
    if (!ok)
        return fail(ExitCode::Failed, guiText("The sample package could not be written."));
    QJsonObject result;
    result.insert(QStringLiteral("file"), QFileInfo(out).absoluteFilePath());
    return succeed(result, QFileInfo(out).absoluteFilePath());
}
