#include "dovrelctl.h"

#include "calibrationinfo.h"
#include "configurationinfo.h"
#include "datalogexporter.h"
#include "devicesession.h"
#include "filehelper.h"
#include "localizationhelper.h"
#include "progressreporter.h"
#include "projectpackagechecker.h"
#include "serialportmanager.h"
#include "softwarepackagechecker.h"
#include "splashimageloader.h"
#include "texthelper.h"
#include "ziphelper.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

using namespace Orvane::Tavrix::Common;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {



void writeOut(const QString& text)
{
    if (text.isEmpty())
        return;
    QByteArray bytes = text.toUtf8();
    if (!bytes.endsWith('\n'))
        bytes += '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void writeErr(const QString& text)
{
    const QByteArray bytes = QStringLiteral("dovrelctl: %1\n").arg(text).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

QJsonObject toJson(const QMap<QString, QString>& map)
{
    QJsonObject object;
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        object.insert(it.key(), it.value());
    return object;
}

QString calibrationFolder()
{
    return QStringLiteral("%1/%2/Calibrations").arg(FileHelper::getStandardDocumentLocation(), QStringLiteral("Lumatra"));
}

// Texts in the device protocol are framed by "#", "<" and ">" and sent as Latin-1.
bool isSafeProtocolText(const QString& text)
{
    static const QRegularExpression framing(QStringLiteral("[#<>]"));
    if (text.contains(framing))
        return false;
    for (const QChar c : text) {
        if (c.unicode() > 0xff || c.unicode() < 0x20)
            return false;
    }
    return true;
}

} // namespace

Dovrelctl::Dovrelctl(const CommandLine& commandLine)
    : m_cl(commandLine)
    , m_progress(new ProgressReporter(commandLine.quiet()))
{
}

Dovrelctl::~Dovrelctl()
{
    delete m_session;
    delete m_progress;
}

int Dovrelctl::fail(int exitCode, const QString& error)
{
    m_progress->finish();
    if (m_cl.json()) {
        QJsonObject object;
        object.insert(QStringLiteral("ok"), false);
        object.insert(QStringLiteral("error"), error);
        object.insert(QStringLiteral("exitCode"), exitCode);
        writeOut(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
    }
    writeErr(guiText("error: %1").arg(error));
    return exitCode;
}

int Dovrelctl::succeed(const QJsonObject& result, const QString& text)
{
    m_progress->finish();
    if (m_cl.json()) {
        QJsonObject object = result;
        object.insert(QStringLiteral("ok"), true);
        writeOut(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
    } else {
        writeOut(text);
    }
    return CommandLine::Success;
}

int Dovrelctl::connect()
{
    if (!m_session)
        m_session = new DeviceSession(m_progress);
    QString error;
    const int code = m_session->connectDevice(m_cl.port(), &error);
    if (code != 0)
        return fail(code, error);
    return 0;
}

bool Dovrelctl::storedTimeZone(int* minutes) const
{
    bool ok = false;
    const int zone = m_session->info().value(QStringLiteral("timezone")).toInt(&ok, 10);
    if (!ok || zone < -720 || zone > 720)
        return false;
    *minutes = zone;
    return true;
}

bool Dovrelctl::requireVersion(const QString& minimum, const QString& text, int* exitCode)
{
    if (TextHelper::versionCompare(m_session->info().value(QStringLiteral("deviceAppVer")), minimum) == -1) {
        *exitCode = fail(CommandLine::Failed, text);
        return false;
    }
    return true;
}

int Dovrelctl::run()
{
    if (m_cl.version()) {
        const QString text = QStringLiteral("dovrelctl %1").arg(QStringLiteral(DOVREL_VERSION));
        QJsonObject object;
        object.insert(QStringLiteral("version"), QStringLiteral(DOVREL_VERSION));
        return succeed(object, text);
    }
    if (m_cl.help() || m_cl.command().isEmpty()) {
        if (!m_cl.help() && m_cl.command().isEmpty())
            return fail(CommandLine::UsageError, guiText("No command given. See dovrelctl --help."));
        QJsonObject object;
        object.insert(QStringLiteral("usage"), CommandLine::usage(m_cl.command()));
        return succeed(object, CommandLine::usage(m_cl.command()));
    }

    const QString command = m_cl.command();
    if (command == QLatin1String("list"))
        return listCommand();
    if (command == QLatin1String("info"))
        return infoCommand();
    if (command == QLatin1String("identify"))
        return identifyCommand();
    if (command == QLatin1String("reboot"))
        return rebootCommand();
    if (command == QLatin1String("sync-clock"))
        return syncClockCommand();
    if (command == QLatin1String("upload"))
        return uploadCommand();
    if (command == QLatin1String("upgrade"))
        return upgradeCommand();
    if (command.startsWith(QLatin1String("logs ")))
        return logsCommand();
    if (command == QLatin1String("fonts list"))
        return fontsListCommand();
    if (command == QLatin1String("fonts manage"))
        return fontsManageCommand();
    if (command == QLatin1String("configure"))
        return configureCommand();
    if (command == QLatin1String("project fetch"))
        return projectFetchCommand();
    if (command == QLatin1String("package inspect"))
        return packageInspectCommand();
    if (command == QLatin1String("package make-sample"))
        return packageMakeSampleCommand();
    return fail(CommandLine::UsageError, guiText("Unknown command %1.").arg(command));
}

// ---------------------------------------------------------------------------
// Device information

int Dovrelctl::listCommand()
{
    m_session = new DeviceSession(m_progress);
    QList<QMap<QString, QString>> devices;
    QString error;
    const int code = m_session->listDevices(m_cl.port(), &devices, &error);
    if (code != 0)
        return fail(code, error);
    QJsonArray array;
    QStringList lines;
    for (const auto& device : std::as_const(devices)) {
        array.append(toJson(device));
        lines << QStringList { device.value(QStringLiteral("port")), device.value(QStringLiteral("serial")),
                               device.value(QStringLiteral("model")), device.value(QStringLiteral("deviceAppVer")),
                               device.value(QStringLiteral("deviceName")) }
                     .join(QLatin1Char('\t'));
    }
    QJsonObject result;
    result.insert(QStringLiteral("devices"), array);
    return succeed(result, lines.join(QLatin1Char('\n')));
}

int Dovrelctl::infoCommand()
{
    if (const int code = connect())
        return code;
    const QMap<QString, QString> info = m_session->info();
    QStringList lines;
    for (auto it = info.constBegin(); it != info.constEnd(); ++it)
        lines << QStringLiteral("%1: %2").arg(it.key(), it.value());
    QJsonObject result;
    result.insert(QStringLiteral("device"), toJson(info));
    return succeed(result, lines.join(QLatin1Char('\n')));
}

// ---------------------------------------------------------------------------
// Single commands

int Dovrelctl::identifyCommand()
{
    if (const int code = connect())
        return code;
    if (!m_session->openPort())
        return fail(CommandLine::NoDevice, guiText("Failed to connect to device."));
    int zone = 0;
    const bool clock = storedTimeZone(&zone);
    if (clock)
        m_session->manager()->remoteSetRealTimeClock(false, zone);
    m_session->manager()->remoteShowDeviceInformation();
    m_session->closePort();
    QJsonObject result;
    result.insert(QStringLiteral("port"), m_session->port());
    result.insert(QStringLiteral("clockSet"), clock);
    return succeed(result, guiText("The device at %1 shows its information.").arg(m_session->port()));
}

int Dovrelctl::rebootCommand()
{
    if (const int code = connect())
        return code;
    if (!m_session->openPort())
        return fail(CommandLine::NoDevice, guiText("Failed to connect to device."));
    int zone = 0;
    if (storedTimeZone(&zone))
        m_session->manager()->remoteSetRealTimeClock(false, zone);
    m_session->manager()->remoteWarmBoot();
    m_session->closePort();
    QJsonObject result;
    result.insert(QStringLiteral("port"), m_session->port());
    return succeed(result, guiText("The device at %1 is rebooting.").arg(m_session->port()));
}

int Dovrelctl::syncClockCommand()
{
    int offset = 0;
    const bool explicitOffset = m_cl.hasOption(QStringLiteral("offset"));
    if (explicitOffset) {
        bool ok = false;
        offset = m_cl.value(QStringLiteral("offset")).toInt(&ok, 10);
        if (!ok || offset < -720 || offset > 720)
            return fail(CommandLine::UsageError, guiText("The offset must be a whole number of minutes from -720 to 720."));
    }
    if (const int code = connect())
        return code;
    if (!explicitOffset && !storedTimeZone(&offset))
        return fail(CommandLine::Failed, guiText("The device has no valid time zone stored; give one with --offset."));

    SerialPortManager* manager = m_session->manager();
    if (!m_session->openPort())
        return fail(CommandLine::NoDevice, guiText("Failed to connect to device."));
    int reply = 0;
    // The device answers "<DTIM:NOR>" or "<DTIM:ERR>", which the link reports as states 7 and 8.
    const QMetaObject::Connection connection = QObject::connect(manager, &SerialPortManager::configureStateChange, [&reply](int state) {
        if (state == 7 || state == 8)
            reply = state;
    });
    manager->remoteSetRealTimeClock(false, offset);
    DeviceSession::waitFor([&reply]() { return reply != 0; }, 5000);
    QObject::disconnect(connection);
    m_session->closePort();
    if (reply == 8)
        return fail(CommandLine::Failed, runtimeText("Failed to set the device clock."));
    if (reply == 0)
        return fail(CommandLine::TimedOut, runtimeText("The operation timed out while setting the device clock."));
    QJsonObject result;
    result.insert(QStringLiteral("timezone"), offset);
    return succeed(result, guiText("The device clock is set (time zone %1 minutes).").arg(offset));
}

// ---------------------------------------------------------------------------
// Project upload and software upgrade

int Dovrelctl::uploadCommand()
{
    ProjectPackageChecker checker(m_cl.operands().value(0));
    if (checker.read() != ProjectPackageChecker::Accepted)
        return fail(CommandLine::UsageError, checker.errorText());
    if (!m_cl.hasOption(QStringLiteral("yes")))
        return fail(CommandLine::UsageError,
                    guiText("Uploading replaces the device's current project, and any logged data on the device will be lost. Add --yes to proceed."));
    if (const int code = connect())
        return code;
    if (checker.check(m_session->info()) != ProjectPackageChecker::Accepted)
        return fail(CommandLine::UsageError, checker.errorText());
    QStringList warnings;
    if (!checker.warningText().isEmpty()) {
        warnings << checker.warningText();
        m_progress->warning(checker.warningText());
    }

    QTemporaryDir folder(QDir(FileHelper::getStandardTemporatyLocation()).filePath(QStringLiteral("dovrelctl-project-XXXXXX")));
    if (!folder.isValid() || !checker.extractTo(folder.path()))
        return fail(CommandLine::UsageError,
                    guiText("\"%1\" could not be unpacked.").arg(TextHelper::toSystemPath(checker.packagePath())));
    qint64 total = 0;
    const QStringList files = ProjectPackageChecker::uploadFileList(folder.path(), &total);
    if (files.isEmpty())
        return fail(CommandLine::UsageError, guiText("The runtime project file does not have enough information for upload to continue."));

    const ConfigurationInfo configuration = checker.configuration();
    SerialPortManager* manager = m_session->manager();
    const QString port = m_session->port();
    const QMetaObject::Connection brightness = QObject::connect(manager, &SerialPortManager::projectConfigurationFinished, [manager, port, configuration]() {
        const int value = configuration.displayBrightness();
        if (value >= 0 && value <= 100)
            manager->updateBrightness(port, value);
    });
    m_progress->begin(guiText("Uploading project"), total);
    const DeviceSession::Outcome outcome = m_session->run(
        [manager, files, configuration, total]() {
            manager->uploadProject(files, configuration, int(total));
            return manager->isSerialPortOpen();
        },
        DeviceSession::ProgressOperation);
    QObject::disconnect(brightness);
    if (outcome.exitCode != 0)
        return fail(outcome.exitCode, outcome.error);

    QJsonObject result;
    result.insert(QStringLiteral("files"), files.size());
    result.insert(QStringLiteral("bytes"), total);
    result.insert(QStringLiteral("warnings"), QJsonArray::fromStringList(warnings));
    return succeed(result, guiText("Upload finished, the device will reboot."));
}

int Dovrelctl::upgradeCommand()
{
    SoftwarePackageChecker checker(m_cl.operands().value(0));
    if (checker.read() != SoftwarePackageChecker::Accepted)
        return fail(CommandLine::UsageError, checker.errorText());
    if (!m_cl.hasOption(QStringLiteral("yes")))
        return fail(CommandLine::UsageError,
                    guiText("Upgrading replaces the device software and restarts the device. Add --yes to proceed."));
    if (const int code = connect())
        return code;
    if (checker.check(m_session->info()) != SoftwarePackageChecker::Accepted)
        return fail(CommandLine::UsageError, checker.errorText());

    const QByteArray content = checker.packageContent();
    SerialPortManager* manager = m_session->manager();
    m_progress->begin(guiText("Upgrading device software"), content.size());
    const DeviceSession::Outcome outcome = m_session->run(
        [manager, content]() {
            manager->upgradeDeviceSoftware(content);
            return manager->isSerialPortOpen();
        },
        DeviceSession::ProgressOperation);
    if (outcome.exitCode != 0)
        return fail(outcome.exitCode, outcome.error);
    QJsonObject result;
    result.insert(QStringLiteral("version"), checker.version());
    result.insert(QStringLiteral("releaseDate"), checker.releaseDate().date().toString(Qt::ISODate));
    result.insert(QStringLiteral("bytes"), content.size());
    return succeed(result, guiText("Upgrade finished, the device will reboot."));
}

// ---------------------------------------------------------------------------
// Data log

int Dovrelctl::logsCommand()
{
    const QString sub = m_cl.command().section(QLatin1Char(' '), 1);
    const bool fetch = sub == QLatin1String("fetch");
    const bool clear = sub == QLatin1String("clear");
    QStringList requested;
    if (m_cl.hasOption(QStringLiteral("tables")))
        requested = m_cl.value(QStringLiteral("tables")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    const bool remove = clear || m_cl.hasOption(QStringLiteral("delete"));
    QString outDir;

    if (fetch) {
        if (!m_cl.hasOption(QStringLiteral("out")) || m_cl.value(QStringLiteral("out")).isEmpty())
            return fail(CommandLine::UsageError, guiText("logs fetch needs --out DIR."));
        outDir = QFileInfo(m_cl.value(QStringLiteral("out"))).absoluteFilePath();
        if (QFileInfo::exists(outDir) && !QFileInfo(outDir).isDir())
            return fail(CommandLine::UsageError, guiText("The destination path is not valid, please re-enter"));
    }
    if (clear && requested.isEmpty())
        return fail(CommandLine::UsageError, guiText("logs clear needs --tables A,B."));
    if (remove && !m_cl.hasOption(QStringLiteral("yes")))
        return fail(CommandLine::UsageError, guiText("Deleting logs from the device cannot be undone. Add --yes to proceed."));
    if (fetch && !QDir().mkpath(outDir))
        return fail(CommandLine::UsageError, guiText("The destination path is not valid, please re-enter"));

    if (const int code = connect())
        return code;
    int exitCode = 0;
    if (!requireVersion(QStringLiteral("2.1.6.2886"),
                        guiText("Please upgrade the device software to at least version 2.1.6.2886 to use this feature."), &exitCode))
        return exitCode;

    QTemporaryDir folder(QDir(FileHelper::getStandardTemporatyLocation()).filePath(QStringLiteral("dovrelctl-datalog-XXXXXX")));
    if (!folder.isValid())
        return fail(CommandLine::Failed, guiText("The temporary folder could not be created."));
    SerialPortManager* manager = m_session->manager();
    const QString logFolder = folder.path();
    m_progress->message(guiText("Retrieving the data log..."));
    const DeviceSession::Outcome retrieved = m_session->run(
        [manager, logFolder]() { return manager->retrieveDataLogFile(logFolder); }, DeviceSession::DataLogRetrieval);
    if (retrieved.exitCode != 0)
        return fail(retrieved.exitCode, retrieved.error);
    QString database;
    if (retrieved.noDataLog || !DataLogExporter::unpackRetrievedLog(logFolder, &database))
        return fail(CommandLine::Failed, DataLogExporter::noDataLogText());

    DataLogExporter exporter(database);
    if (!exporter.open())
        return fail(CommandLine::Failed, guiText("The data log database could not be opened: %1").arg(exporter.lastError()));
    const QStringList logs = exporter.logNames();

    if (sub == QLatin1String("list")) {
        QJsonObject result;
        result.insert(QStringLiteral("logs"), QJsonArray::fromStringList(logs));
        return succeed(result, logs.join(QLatin1Char('\n')));
    }

    for (const QString& name : std::as_const(requested)) {
        if (!logs.contains(name))
            return fail(CommandLine::UsageError, guiText("The data log has no log named \"%1\".").arg(name));
    }
    QStringList chosen;
    for (const QString& name : logs) {
        if (requested.isEmpty() || requested.contains(name))
            chosen << name;
    }

    QJsonArray exported;
    QJsonArray skipped;
    QJsonArray failed;
    QStringList toDrop;
    QString summary;
    if (fetch) {
        for (const QString& name : std::as_const(chosen)) {
            QString file;
            switch (exporter.exportLog(name, outDir, m_cl.hasOption(QStringLiteral("force")), &file)) {
            case DataLogExporter::Exported: {
                QJsonObject entry;
                entry.insert(QStringLiteral("log"), name);
                entry.insert(QStringLiteral("file"), file);
                exported.append(entry);
                toDrop << name;
                m_progress->message(guiText("Number of files retrived ..... %1/%2").arg(exported.size()).arg(chosen.size()));
                break;
            }
            case DataLogExporter::AlreadyExists:
                skipped.append(name);
                m_progress->warning(guiText("\"%1\" already exists and was kept; add --force to replace it.").arg(TextHelper::toSystemPath(file)));
                break;
            case DataLogExporter::Failed:
                failed.append(name);
                m_progress->warning(guiText("The log \"%1\" could not be exported: %2").arg(name, exporter.lastError()));
                break;
            }
        }
        summary = DataLogExporter::exportSummary(exported.size());
    } else {
        toDrop = chosen;
    }

    QJsonArray deleted;
    if (remove && !toDrop.isEmpty()) {
        for (const QString& name : std::as_const(toDrop)) {
            if (!exporter.dropLog(name))
                return fail(CommandLine::Failed, guiText("The log \"%1\" could not be removed: %2").arg(name, exporter.lastError()));
            deleted.append(name);
            m_progress->message(guiText("Number of logs cleared ..... %1/%2").arg(deleted.size()).arg(toDrop.size()));
        }
        exporter.close();
        // The retrieval ended with "#BOOT#": a device whose port goes away while its runtime
        // restarts must be back and identified before the update starts.
        if (!m_session->waitAfterRestart(2000, DeviceSession::identificationTimeoutMs()))
            return fail(CommandLine::TimedOut, runtimeText("The connection to the device was lost."));
        m_progress->begin(guiText("Updating the data log"), QFileInfo(database).size());
        const DeviceSession::Outcome updated = m_session->run(
            [manager, database]() {
                manager->updateLogFile(database);
                return manager->isSerialPortOpen();
            },
            DeviceSession::DataLogUpdate);
        if (updated.exitCode != 0)
            return fail(updated.exitCode, updated.error);
        summary = DataLogExporter::clearSummary(summary, deleted.size()).trimmed();
    }

    QJsonObject result;
    if (fetch) {
        result.insert(QStringLiteral("exported"), exported);
        result.insert(QStringLiteral("skipped"), skipped);
        result.insert(QStringLiteral("failed"), failed);
    }
    result.insert(QStringLiteral("deleted"), deleted);
    if (!failed.isEmpty())
        return fail(CommandLine::Failed, summary);
    return succeed(result, summary);
}

// ---------------------------------------------------------------------------
// Fonts

int Dovrelctl::fontsListCommand()
{
    if (const int code = connect())
        return code;
    int exitCode = 0;
    if (!requireVersion(QStringLiteral("1.1.0.1910"),
                        guiText("Please upgrade the device software to at least version 1.1.0.1910 to use this feature."), &exitCode))
        return exitCode;
    SerialPortManager* manager = m_session->manager();
    const DeviceSession::Outcome outcome = m_session->run(
        [manager]() {
            manager->getInstalledFonts();
            return manager->isSerialPortOpen();
        },
        DeviceSession::FontListing);
    if (outcome.exitCode != 0)
        return fail(outcome.exitCode, outcome.error);
    if (outcome.fonts.isEmpty())
        m_progress->message(guiText("No user fonts are installed on the device."));
    QJsonObject result;
    result.insert(QStringLiteral("fonts"), QJsonArray::fromStringList(outcome.fonts));
    return succeed(result, outcome.fonts.join(QLatin1Char('\n')));
}

int Dovrelctl::fontsManageCommand()
{
    const QStringList additions = m_cl.values(QStringLiteral("add"));
    const QStringList removals = m_cl.values(QStringLiteral("remove"));
    if (additions.isEmpty() && removals.isEmpty())
        return fail(CommandLine::UsageError, guiText("There is nothing to do."));
    QMap<QString, qint64> fonts;
    qint64 total = 0;
    for (const QString& path : additions) {
        const QFileInfo info(path);
        const QString suffix = info.suffix().toLower();
        if (!info.isFile() || (suffix != QLatin1String("ttf") && suffix != QLatin1String("otf")) || info.size() <= 0)
            return fail(CommandLine::UsageError, guiText("\"%1\" is not a font file (.ttf or .otf).").arg(TextHelper::toSystemPath(path)));
        if (removals.contains(info.fileName()))
            return fail(CommandLine::UsageError, guiText("Font \"%1\" cannot be both added and removed at the same time.").arg(info.fileName()));
        fonts.insert(info.absoluteFilePath(), info.size());
        total += info.size();
    }
    for (const QString& name : removals) {
        if (name.isEmpty() || !isSafeProtocolText(name))
            return fail(CommandLine::UsageError, guiText("\"%1\" is not a valid font name.").arg(name));
    }

    if (const int code = connect())
        return code;
    int exitCode = 0;
    if (!requireVersion(QStringLiteral("1.1.0.1910"),
                        guiText("Please upgrade the device software to at least version 1.1.0.1910 to use this feature."), &exitCode))
        return exitCode;
    SerialPortManager* manager = m_session->manager();
    if (!fonts.isEmpty())
        m_progress->begin(guiText("Uploading fonts"), total);
    const DeviceSession::Outcome outcome = m_session->run(
        [manager, fonts, removals]() {
            manager->manageFonts(fonts, removals);
            return manager->isSerialPortOpen();
        },
        DeviceSession::ProgressOperation);
    if (outcome.exitCode != 0)
        return fail(outcome.exitCode, outcome.error);
    QStringList added;
    for (auto it = fonts.constBegin(); it != fonts.constEnd(); ++it)
        added << QFileInfo(it.key()).fileName();
    QJsonObject result;
    result.insert(QStringLiteral("added"), QJsonArray::fromStringList(added));
    result.insert(QStringLiteral("removed"), QJsonArray::fromStringList(removals));
    return succeed(result, guiText("Finished"));
}

// ---------------------------------------------------------------------------
// Configuration

int Dovrelctl::configureCommand()
{
    CalibrationInfo info;
    const bool name = m_cl.hasOption(QStringLiteral("name"));
    const bool clock = m_cl.hasOption(QStringLiteral("clock"));
    const bool splash = m_cl.hasOption(QStringLiteral("splash"));
    const bool restoreSplash = m_cl.hasOption(QStringLiteral("restore-splash"));
    const bool backup = m_cl.hasOption(QStringLiteral("backup-calibration"));
    const bool restore = m_cl.hasOption(QStringLiteral("restore-calibration"));

    if (name) {
        const QString newName = m_cl.value(QStringLiteral("name"));
        if (newName.isEmpty())
            return fail(CommandLine::UsageError, guiText("Device name cannot be empty"));
        if (!isSafeProtocolText(newName))
            return fail(CommandLine::UsageError, guiText("The device name must not contain \"#\", \"<\" or \">\" and must be Latin-1 text."));
        info.setDeviceNameChange(true);
        info.setDeviceName(newName);
    }
    if (clock) {
        static const QRegularExpression pattern(QStringLiteral("^([+-])(\\d{1,2}):(\\d{2})$"));
        const QRegularExpressionMatch match = pattern.match(m_cl.value(QStringLiteral("clock")));
        const int hours = match.captured(2).toInt();
        const int minutes = match.captured(3).toInt();
        if (!match.hasMatch() || minutes > 59 || hours * 60 + minutes > 720)
            return fail(CommandLine::UsageError, guiText("The clock offset must be +HH:MM or -HH:MM, at most 12:00."));
        const int zone = (match.captured(1) == QLatin1String("-") ? -1 : 1) * (hours * 60 + minutes);
        info.setRealTimeClock(true);
        info.setTimeZone(zone);
    }
    if (m_cl.hasOption(QStringLiteral("battery-check"))) {
        const QString value = m_cl.value(QStringLiteral("battery-check"));
        if (!clock)
            return fail(CommandLine::UsageError, guiText("--battery-check is sent together with the clock; add --clock."));
        if (value != QLatin1String("on") && value != QLatin1String("off"))
            return fail(CommandLine::UsageError, guiText("--battery-check takes on or off."));
        info.setBatteryLowCheck(value == QLatin1String("on"));
    }
    if (splash && restoreSplash)
        return fail(CommandLine::UsageError, guiText("Choose either --splash or --restore-splash."));
    if (backup && restore)
        return fail(CommandLine::UsageError, guiText("Choose either --backup-calibration or --restore-calibration."));
    if (restoreSplash)
        info.setRestoreSplashScreen(true);
    info.setBackup(backup);
    info.setRestore(restore);
    if (!name && !clock && !splash && !restoreSplash && !backup && !restore)
        return fail(CommandLine::UsageError, guiText("Nothing to configure."));
    if (splash && !QFileInfo(m_cl.value(QStringLiteral("splash"))).isFile())
        return fail(CommandLine::UsageError, guiText("\"%1\" does not exist.").arg(TextHelper::toSystemPath(m_cl.value(QStringLiteral("splash")))));

    if (const int code = connect())
        return code;
    const QMap<QString, QString> device = m_session->info();
    if (name && info.deviceName() == device.value(QStringLiteral("deviceName")))
        return fail(CommandLine::UsageError, guiText("Device Name unchanged"));
    if (splash) {
        SplashImageLoader loader;
        if (!loader.load(m_cl.value(QStringLiteral("splash")), SplashImageLoader::screenSize(device)))
            return fail(CommandLine::UsageError, loader.errorText());
        if (loader.needsScaling())
            m_progress->message(guiText("This image will be resized and scaled to %1x%2.").arg(loader.targetSize().width()).arg(loader.targetSize().height()));
        const QByteArray data = loader.bmpData();
        if (data.isEmpty())
            return fail(CommandLine::UsageError, loader.errorText());
        info.setSplashScreenData(data);
    }
    const QString folder = calibrationFolder();
    const QString calibrationFile = QStringLiteral("%1/cal_list%2.txt").arg(folder, device.value(QStringLiteral("serial")));
    if (backup) {
        if (!QDir().mkpath(folder))
            return fail(CommandLine::Failed, guiText("The calibration directory does not exist."));
        if (QFileInfo::exists(calibrationFile)) {
            if (!m_cl.hasOption(QStringLiteral("force")))
                return fail(CommandLine::UsageError, guiText("The calibration file of this device already exists; add --force to overwrite it."));
            if (!QFile::remove(calibrationFile))
                return fail(CommandLine::Failed, guiText("Failed to remove \"%1\".").arg(TextHelper::toSystemPath(calibrationFile)));
        }
    }
    if (restore) {
        if (!QFileInfo(folder).isDir())
            return fail(CommandLine::UsageError, guiText("The calibration directory does not exist."));
        if (!QFileInfo(calibrationFile).isFile())
            return fail(CommandLine::UsageError, guiText("The calibration file of this device does not exist."));
    }
    if (info.skipCalibration())
        return fail(CommandLine::UsageError, guiText("Nothing to configure."));

    SerialPortManager* manager = m_session->manager();
    m_progress->begin(guiText("Configuring the device"), info.taskCount(), ProgressReporter::Steps);
    const DeviceSession::Outcome outcome = m_session->run(
        [manager, &info]() {
            manager->configureDevice(&info);
            return manager->isSerialPortOpen();
        },
        DeviceSession::ProgressOperation, DeviceSession::Steps);
    if (outcome.exitCode != 0)
        return fail(outcome.exitCode, outcome.error);

    QJsonObject result;
    result.insert(QStringLiteral("rebooted"), outcome.needReboot);
    if (name)
        result.insert(QStringLiteral("deviceName"), info.deviceName());
    if (clock)
        result.insert(QStringLiteral("timezone"), info.timeZone());
    if (backup || restore)
        result.insert(QStringLiteral("calibrationFile"), calibrationFile);
    QString text = guiText("The device is configured.");
    if (outcome.needReboot)
        text += QLatin1Char(' ') + guiText("The device restarts.");
    return succeed(result, text);
}

// ---------------------------------------------------------------------------
// Project retrieval

int Dovrelctl::projectFetchCommand()
{
    if (!m_cl.hasOption(QStringLiteral("out")) || m_cl.value(QStringLiteral("out")).isEmpty())
        return fail(CommandLine::UsageError, guiText("project fetch needs --out DIR."));
    const QString outDir = QFileInfo(m_cl.value(QStringLiteral("out"))).absoluteFilePath();
    if (!QDir().mkpath(outDir))
        return fail(CommandLine::UsageError, guiText("The destination path is not valid, please re-enter"));
    if (const int code = connect())
        return code;
    SerialPortManager* manager = m_session->manager();
    const DeviceSession::Outcome outcome = m_session->run(
        [manager, outDir]() { return manager->retrieveProjectFiles(outDir); }, DeviceSession::ProjectRetrieval);
    if (outcome.exitCode != 0)
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

// ---------------------------------------------------------------------------
// Packages (no device)

int Dovrelctl::packageInspectCommand()
{
    const QString path = m_cl.operands().value(0);
    if (!QFileInfo(path).isFile())
        return fail(CommandLine::UsageError, guiText("\"%1\" does not exist.").arg(TextHelper::toSystemPath(path)));
    const QStringList entries = ZipHelper::listContents(path);
    const QString lower = path.toLower();
    bool software = lower.endsWith(QLatin1String(".txsw"));
    if (!software && !lower.endsWith(QLatin1String(".txdevproj")))
        software = entries.contains(QStringLiteral("update.xml"));

    QJsonObject result;
    QStringList lines;
    result.insert(QStringLiteral("entries"), QJsonArray::fromStringList(entries));
    if (software) {
        SoftwarePackageChecker checker(path);
        if (checker.read() != SoftwarePackageChecker::Accepted)
            return fail(CommandLine::UsageError, checker.errorText());
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
            return fail(CommandLine::UsageError, checker.errorText());
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
    lines << QStringLiteral("entries:");
    for (const QString& entry : entries)
        lines << QStringLiteral("  %1").arg(entry);
    return succeed(result, lines.join(QLatin1Char('\n')));
}

int Dovrelctl::packageMakeSampleCommand()
{
    const QString out = m_cl.value(QStringLiteral("out"));
    if (out.isEmpty())
        return fail(CommandLine::UsageError, guiText("package make-sample needs --out FILE."));
    QTemporaryDir folder;
    if (!folder.isValid())
        return fail(CommandLine::Failed, guiText("The temporary folder could not be created."));
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
        return fail(CommandLine::Failed, guiText("The sample package could not be written."));
    QJsonObject result;
    result.insert(QStringLiteral("file"), QFileInfo(out).absoluteFilePath());
    return succeed(result, QFileInfo(out).absoluteFilePath());
}
