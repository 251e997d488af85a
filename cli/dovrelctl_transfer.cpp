// Project upload, device software upgrade and project retrieval.
#include "dovrelctl.h"

#include "configurationinfo.h"
#include "devicerules.h"
#include "devicelink.h"
#include "devicesession.h"
#include "devicetask.h"
#include "filehelper.h"
#include "localizationhelper.h"
#include "packagesignature.h"
#include "progressreporter.h"
#include "projectpackagechecker.h"
#include "serialportmanager.h"
#include "softwarepackagechecker.h"
#include "texthelper.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>

using namespace Orvane::Tavrix::Common;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::DeviceRules;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

// The "signature" field of a result: who signed the package, as it was judged.
QJsonObject signatureField(const PackageSignature& signature)
{
    return { { QStringLiteral("signature"), signature.toJson() } };
}

} // namespace

ExitCode Dovrelctl::uploadCommand()
{
    ProjectPackageChecker checker(m_cl.operands().value(0));
    checker.setSignatureRequired(m_cl.hasOption(QStringLiteral("require-signature")));
    if (checker.read() != ProjectPackageChecker::Accepted)
        return fail(checker.result() == ProjectPackageChecker::SignatureRefused ? ExitCode::Failed : ExitCode::UsageError,
                    checker.errorText(), signatureField(checker.signature()));
    if (!m_cl.hasOption(QStringLiteral("yes")))
        return fail(ExitCode::UsageError,
                    guiText("Uploading replaces the device's current project, and any logged data on the device will be lost. Add --yes to proceed."));
    m_progress->message(checker.signature().text());
    const QJsonObject signature = signatureField(checker.signature());

    // The package is unpacked once, for the first device that accepts it; all devices send the same files.
    QTemporaryDir folder(QDir(FileHelper::getStandardRuntimeLocation()).filePath(QStringLiteral("dovrelctl-project-XXXXXX")));
    bool unpacked = false;
    QStringList files;
    qint64 total = 0;
    ConfigurationInfo configuration;
    return onDevices([&](DeviceTask* task) {
        if (checker.check(task->info()) != ProjectPackageChecker::Accepted)
            return task->fail(ExitCode::UsageError, checker.errorText());
        QStringList warnings;
        if (!checker.warningText().isEmpty()) {
            warnings << checker.warningText();
            task->progress()->warning(checker.warningText());
        }
        if (!unpacked) {
            if (!folder.isValid() || !checker.extractTo(folder.path()))
                return task->fail(ExitCode::UsageError,
                                  guiText("\"%1\" could not be unpacked.").arg(TextHelper::toSystemPath(checker.packagePath())));
            files = ProjectPackageChecker::uploadFileList(folder.path(), &total);
            configuration = checker.configuration();
            unpacked = true;
        }
        if (files.isEmpty())
            return task->fail(ExitCode::UsageError, guiText("The runtime project file does not have enough information for upload to continue."));

        const QStringList sent = files;
        const qint64 bytes = total;
        const ConfigurationInfo projectConfiguration = configuration;
        task->progress()->begin(guiText("Uploading project"), total);
        DeviceTask::Options options;
        options.packagePath = checker.packagePath();
        options.packageSha256 = checker.sha256();
        task->run(
            ServiceRecord::Upload,
            [sent, projectConfiguration, bytes](DeviceLink* link) { return link->uploadProject(sent, projectConfiguration, int(bytes)); },
            [task, sent, bytes, warnings, signature](const DeviceTask::Outcome& outcome) {
                if (outcome.exitCode != ExitCode::Success)
                    return task->fail(outcome.exitCode, outcome.error);
                QJsonObject result = signature;
                result.insert(QStringLiteral("files"), sent.size());
                result.insert(QStringLiteral("bytes"), bytes);
                result.insert(QStringLiteral("warnings"), QJsonArray::fromStringList(warnings));
                task->succeed(result, guiText("Upload finished, the device will reboot."));
            },
            options);
    });
}

ExitCode Dovrelctl::upgradeCommand()
{
    SoftwarePackageChecker checker(m_cl.operands().value(0));
    checker.setSignatureRequired(m_cl.hasOption(QStringLiteral("require-signature")));
    if (checker.read() != SoftwarePackageChecker::Accepted)
        return fail(checker.result() == SoftwarePackageChecker::SignatureRefused ? ExitCode::Failed : ExitCode::UsageError,
                    checker.errorText(), signatureField(checker.signature()));
    if (!m_cl.hasOption(QStringLiteral("yes")))
        return fail(ExitCode::UsageError, guiText("Upgrading replaces the device software and restarts the device. Add --yes to proceed."));
    m_progress->message(checker.signature().text());
    const QJsonObject signature = signatureField(checker.signature());
    return onDevices([&](DeviceTask* task) {
        if (checker.check(task->info()) != SoftwarePackageChecker::Accepted)
            return task->fail(ExitCode::UsageError, checker.errorText());
        if (checker.isOlderThanInstalled(task->info()))
            task->progress()->warning(SoftwarePackageChecker::olderVersionText(
                checker.version(), task->info().value(QStringLiteral("deviceAppVer"))));
        const QByteArray content = checker.packageContent();
        const QString version = checker.version();
        const QString releaseDate = checker.releaseDate().date().toString(Qt::ISODate);
        task->progress()->begin(guiText("Upgrading device software"), content.size());
        DeviceTask::Options options;
        options.packagePath = checker.packagePath();
        options.packageSha256 = checker.sha256();
        task->run(ServiceRecord::Upgrade, [content](DeviceLink* link) { return link->upgradeDeviceSoftware(content); },
                  [task, version, releaseDate, signature, size = content.size()](const DeviceTask::Outcome& outcome) {
                      if (outcome.exitCode != ExitCode::Success)
                          return task->fail(outcome.exitCode, outcome.error);
                      QJsonObject result = signature;
                      result.insert(QStringLiteral("version"), version);
                      result.insert(QStringLiteral("releaseDate"), releaseDate);
                      result.insert(QStringLiteral("bytes"), size);
                      task->succeed(result, guiText("Upgrade finished, the device will reboot."));
                  },
                  options);
    });
}

ExitCode Dovrelctl::projectFetchCommand()
{
    if (!m_cl.hasOption(QStringLiteral("out")) || m_cl.value(QStringLiteral("out")).isEmpty())
        return fail(ExitCode::UsageError, guiText("project fetch needs --out DIR."));
    const QString outDir = QFileInfo(m_cl.value(QStringLiteral("out"))).absoluteFilePath();
    if (!QDir().mkpath(outDir))
        return fail(ExitCode::UsageError, guiText("The destination path is not valid, please re-enter"));
    if (const ExitCode code = connect(); code != ExitCode::Success)
        return code;
    const DeviceSession::Outcome outcome =
        m_session->run(ServiceRecord::ProjectFetch, [outDir](DeviceLink* link) { return link->retrieveProjectFiles(outDir); });
    if (outcome.exitCode != ExitCode::Success)
        return fail(outcome.exitCode, outcome.error);
    QStringList files;
    FileHelper::recursiveAddDirectoryFiles(QDir(outDir), files);
    QStringList relative;
    for (const QString& file : std::as_const(files))
        relative << QDir(outDir).relativeFilePath(TextHelper::toStandardPath(file));
    relative.sort();
    QJsonObject result;
    result.insert(QStringLiteral("folder"), outDir);
    result.insert(QStringLiteral("files"), QJsonArray::fromStringList(relative));
    return succeed(result, relative.join(QLatin1Char('\n')));
}
