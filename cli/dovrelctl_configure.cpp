// Device configuration: name, clock, battery check, splash screen, calibration backup and restore.
#include "dovrelctl.h"

#include "calibrationinfo.h"
#include "devicerules.h"
#include "devicelink.h"
#include "devicesession.h"
#include "devicetask.h"
#include "localizationhelper.h"
#include "progressreporter.h"
#include "serialportmanager.h"
#include "splashimageloader.h"
#include "texthelper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <memory>

using namespace Orvane::Tavrix::Common;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::DeviceRules;
using Orvane::Tavrix::Runtime::SerialPortManager;

ExitCode Dovrelctl::configureCommand()
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
        // Empty or unsafe names are refused before any device is looked for.
        const QString error = DeviceRules::deviceNameError(newName, QString());
        if (!error.isEmpty())
            return fail(ExitCode::UsageError, error);
        info.setDeviceNameChange(true);
        info.setDeviceName(newName);
    }
    if (clock) {
        static const QRegularExpression pattern(QStringLiteral("^([+-])(\\d{1,2}):(\\d{2})$"));
        const QRegularExpressionMatch match = pattern.match(m_cl.value(QStringLiteral("clock")));
        const int hours = match.captured(2).toInt();
        const int minutes = match.captured(3).toInt();
        if (!match.hasMatch() || minutes > 59 || hours * 60 + minutes > 720)
            return fail(ExitCode::UsageError, guiText("The clock offset must be +HH:MM or -HH:MM, at most 12:00."));
        const int zone = (match.captured(1) == QLatin1String("-") ? -1 : 1) * (hours * 60 + minutes);
        info.setRealTimeClock(true);
        info.setTimeZone(zone);
    }
    if (m_cl.hasOption(QStringLiteral("battery-check"))) {
        const QString value = m_cl.value(QStringLiteral("battery-check"));
        if (!clock)
            return fail(ExitCode::UsageError, guiText("--battery-check is sent together with the clock; add --clock."));
        if (value != QLatin1String("on") && value != QLatin1String("off"))
            return fail(ExitCode::UsageError, guiText("--battery-check takes on or off."));
        info.setBatteryLowCheck(value == QLatin1String("on"));
    }
    if (splash && restoreSplash)
        return fail(ExitCode::UsageError, guiText("Choose either --splash or --restore-splash."));
    if (backup && restore)
        return fail(ExitCode::UsageError, guiText("Choose either --backup-calibration or --restore-calibration."));
    if (restoreSplash)
        info.setRestoreSplashScreen(true);
    info.setBackup(backup);
    info.setRestore(restore);
    if (!name && !clock && !splash && !restoreSplash && !backup && !restore)
        return fail(ExitCode::UsageError, guiText("Nothing to configure."));
    if (splash && !QFileInfo(m_cl.value(QStringLiteral("splash"))).isFile())
        return fail(ExitCode::UsageError, guiText("\"%1\" does not exist.").arg(TextHelper::toSystemPath(m_cl.value(QStringLiteral("splash")))));

    const bool force = m_cl.hasOption(QStringLiteral("force"));
    const QString splashFile = m_cl.value(QStringLiteral("splash"));
    return onDevices([=](DeviceTask* task) {
        // Each device gets its own copy of the choices: its splash image fits its screen.
        auto deviceInfo = std::make_shared<CalibrationInfo>(info);
        const QMap<QString, QString> device = task->info();
        if (name) {
            const QString error = DeviceRules::deviceNameError(deviceInfo->deviceName(), task->device().deviceName());
            if (!error.isEmpty())
                return task->fail(ExitCode::UsageError, error);
        }
        if (splash) {
            SplashImageLoader loader;
            if (!loader.load(splashFile, SplashImageLoader::screenSize(device)))
                return task->fail(ExitCode::UsageError, loader.errorText());
            if (loader.needsScaling())
                task->progress()->message(guiText("This image will be resized and scaled to %1x%2.")
                                              .arg(QString::number(loader.targetSize().width()), QString::number(loader.targetSize().height())));
            const QByteArray data = loader.bmpData();
            if (data.isEmpty())
                return task->fail(ExitCode::UsageError, loader.errorText());
            deviceInfo->setSplashScreenData(data);
        }
        const QString folder = DeviceRules::calibrationFolder();
        const QString calibrationFile = DeviceRules::calibrationBackupPath(task->device().serial());
        if ((backup || restore) && calibrationFile.isEmpty())
            return task->fail(ExitCode::Failed, guiText("The calibration file of this device does not exist."));
        if (backup) {
            if (!QDir().mkpath(folder))
                return task->fail(ExitCode::Failed, guiText("The calibration directory does not exist."));
            // The old backup is replaced only once the new one has arrived whole.
            if (QFileInfo::exists(calibrationFile) && !force)
                return task->fail(ExitCode::UsageError, guiText("The calibration file of this device already exists; add --force to overwrite it."));
        }
        if (restore) {
            if (!QFileInfo(folder).isDir())
                return task->fail(ExitCode::UsageError, guiText("The calibration directory does not exist."));
            if (!QFileInfo(calibrationFile).isFile())
                return task->fail(ExitCode::UsageError, guiText("The calibration file of this device does not exist."));
        }
        if (deviceInfo->skipCalibration())
            return task->fail(ExitCode::UsageError, guiText("Nothing to configure."));

        task->progress()->begin(guiText("Configuring the device"), deviceInfo->taskCount(), ProgressReporter::Steps);
        task->run(ServiceRecord::Configuration, [deviceInfo](DeviceLink* link) { return link->configureDevice(deviceInfo.get()); },
                  [=](const DeviceTask::Outcome& outcome) {
                      if (outcome.exitCode != ExitCode::Success)
                          return task->fail(outcome.exitCode, outcome.error);
                      QJsonObject result;
                      result.insert(QStringLiteral("rebooted"), outcome.deviceRestarts);
                      if (name)
                          result.insert(QStringLiteral("deviceName"), deviceInfo->deviceName());
                      if (clock)
                          result.insert(QStringLiteral("timezone"), deviceInfo->timeZone());
                      if (backup || restore)
                          result.insert(QStringLiteral("calibrationFile"), calibrationFile);
                      QString text = guiText("The device is configured.");
                      if (outcome.deviceRestarts)
                          text += QLatin1Char(' ') + guiText("The device restarts.");
                      task->succeed(result, text);
                  },
                  DeviceTask::Options { DeviceTask::Steps });
    });
}
