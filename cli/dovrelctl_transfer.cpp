// Project upload, device software upgrade and project retrieval.
#include "dovrelctl.h"

#include "configurationinfo.h"
#include "devicerules.h"
#include "devicesession.h"
#include "filehelper.h"
#include "localizationhelper.h"
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
using Orvane::Tavrix::Runtime::DeviceRules;
using Orvane::Tavrix::Runtime::SerialPortManager;

ExitCode Dovrelctl::uploadCommand()
{
    ProjectPackageChecker checker(m_cl.operands().value(0));
    if (checker.read() != ProjectPackageChecker::Accepted)
        return fail(ExitCode::UsageError, checker.errorText());
    if (!m_cl.hasOption(QStringLiteral("yes")))
        return fail(ExitCode::UsageError,
                    guiText("Uploading replaces the device's current project, and any logged data on the device will be lost. Add --yes to proceed."));
    if (const ExitCode code = connect(); code != ExitCode::Success)
        return code;
    if (checker.check(m_session->info()) != ProjectPackageChecker::Accepted)
        return fail(ExitCode::UsageError, checker.errorText());
    QStringList warnings;
    if (!checker.warningText().isEmpty()) {
        warnings << checker.warningText();
        m_progress->warning(checker.warningText());
    }

    QTemporaryDir folder(QDir(FileHelper::getStandardRuntimeLocation()).filePath(QStringLiteral("dovrelctl-project-XXXXXX")));
    if (!folder.isValid() || !checker.extractTo(folder.path()))
        return fail(ExitCode::UsageError,
                    guiText("\"%1\" could not be unpacked.").arg(TextHelper::toSystemPath(checker.packagePath())));
    qint64 total = 0;
    const QStringList files = ProjectPackageChecker::uploadFileList(folder.path(), &total);
    if (files.isEmpty())
        return fail(ExitCode::UsageError, guiText("The runtime project file does not have enough information for upload to continue."));

    const ConfigurationInfo configuration = checker.configuration();
    SerialPortManager* manager = m_session->manager();
    const QString port = m_session->port();
    // The device runs with the project's backlight once its settings are applied.
    const QMetaObject::Connection brightness =
        QObject::connect(manager, &SerialPortManager::projectConfigurationFinished, [manager, port, configuration]() {
            if (const std::optional<int> value = DeviceRules::brightnessAfterUpload(configuration))
                manager->updateBrightness(port, *value);
        });
    m_progress->begin(guiText("Uploading project"), total);
    const DeviceSession::Outcome outcome = m_session->run([manager, files, configuration, total]() { return manager->uploadProject(files, configuration, int(total)); });
    QObject::disconnect(brightness);
    if (outcome.exitCode != ExitCode::Success)
        return fail(outcome.exitCode, outcome.error);

    QJsonObject result;
    result.insert(QStringLiteral("files"), files.size());
    result.insert(QStringLiteral("bytes"), total);
    result.insert(QStringLiteral("warnings"), QJsonArray::fromStringList(warnings));
    return succeed(result, guiText("Upload finished, the device will reboot."));
}

ExitCode Dovrelctl::upgradeCommand()
{
    SoftwarePackageChecker checker(m_cl.operands().value(0));
    if (checker.read() != SoftwarePackageChecker::Accepted)
        return fail(ExitCode::UsageError, checker.errorText());
    if (!m_cl.hasOption(QStringLiteral("yes")))
        return fail(ExitCode::UsageError, guiText("Upgrading replaces the device software and restarts the device. Add --yes to proceed."));
    if (const ExitCode code = connect(); code != ExitCode::Success)
        return code;
    if (checker.check(m_session->info()) != SoftwarePackageChecker::Accepted)
        return fail(ExitCode::UsageError, checker.errorText());
    if (checker.isOlderThanInstalled(m_session->info()))
        m_progress->warning(SoftwarePackageChecker::olderVersionText(
            checker.version(), m_session->info().value(QStringLiteral("deviceAppVer"))));

    const QByteArray content = checker.packageContent();
    SerialPortManager* manager = m_session->manager();
    m_progress->begin(guiText("Upgrading device software"), content.size());
    const DeviceSession::Outcome outcome = m_session->run([manager, content]() { return manager->upgradeDeviceSoftware(content); });
    if (outcome.exitCode != ExitCode::Success)
        return fail(outcome.exitCode, outcome.error);
    QJsonObject result;
    result.insert(QStringLiteral("version"), checker.version());
    result.insert(QStringLiteral("releaseDate"), checker.releaseDate().date().toString(Qt::ISODate));
    result.insert(QStringLiteral("bytes"), content.size());
    return succeed(result, guiText("Upgrade finished, the device will reboot."));
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
    SerialPortManager* manager = m_session->manager();
    const DeviceSession::Outcome outcome = m_session->run([manager, outDir]() { return manager->retrieveProjectFiles(outDir); });
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
