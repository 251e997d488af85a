// Device information and single commands: list, info, identify, reboot, sync-clock.
#include "dovrelctl.h"

#include "deviceinformation.h"
#include "devicelink.h"
#include "devicesession.h"
#include "devicetask.h"
#include "localizationhelper.h"
#include "progressreporter.h"
#include "serialportmanager.h"

#include <QJsonArray>

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Runtime::DeviceInformation;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

QJsonObject toJson(const QMap<QString, QString>& map)
{
    QJsonObject object;
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        object.insert(it.key(), it.value());
    return object;
}

} // namespace

ExitCode Dovrelctl::listCommand()
{
    m_session = new DeviceSession(m_progress);
    QList<QMap<QString, QString>> devices;
    QString error;
    if (m_cl.ports().size() > 1) {
        // The given ports: those not identified are warned about, as list does for the rest.
        QStringList ports;
        QList<QPair<QString, QString>> failures;
        const ExitCode code = m_session->connectDevices(m_cl.ports(), &ports, &failures, &error);
        if (code != ExitCode::Success)
            return fail(code, error);
        for (const auto& failure : std::as_const(failures))
            m_progress->warning(failure.second);
        for (const QString& port : std::as_const(ports))
            devices << m_session->manager()->deviceInformation(port);
        if (devices.isEmpty())
            return fail(ExitCode::NoDevice, failures.first().second);
    } else {
        const ExitCode code = m_session->listDevices(m_cl.port(), &devices, &error);
        if (code != ExitCode::Success)
            return fail(code, error);
    }
    QJsonArray array;
    QStringList lines;
    for (const auto& device : std::as_const(devices)) {
        // The slot's name is the operator's, looked up now: it is not part of what the device says.
        const QString slot = DeviceInformation(device).slot();
        QJsonObject object = toJson(device);
        object.insert(QStringLiteral("slot"), slot);
        array.append(object);
        lines << QStringList { device.value(QStringLiteral("port")), device.value(QStringLiteral("serial")),
                               device.value(QStringLiteral("model")), device.value(QStringLiteral("deviceAppVer")),
                               device.value(QStringLiteral("deviceName")), slot }
                     .join(QLatin1Char('\t'));
    }
    QJsonObject result;
    result.insert(QStringLiteral("devices"), array);
    return succeed(result, lines.join(QLatin1Char('\n')));
}

ExitCode Dovrelctl::infoCommand()
{
    if (const ExitCode code = connect(); code != ExitCode::Success)
        return code;
    const QMap<QString, QString> info = m_session->info();
    QStringList lines;
    for (auto it = info.constBegin(); it != info.constEnd(); ++it)
        lines << QStringLiteral("%1: %2").arg(it.key(), it.value());
    QJsonObject result;
    result.insert(QStringLiteral("device"), toJson(info));
    return succeed(result, lines.join(QLatin1Char('\n')));
}

ExitCode Dovrelctl::identifyCommand()
{
    if (const ExitCode code = connect(); code != ExitCode::Success)
        return code;
    // The clock is part of the identification, as in the program's window.
    const std::optional<int> zone = m_session->device().timeZone();
    const int clock = zone ? *zone : DeviceLink::NoClock;
    if (const ExitCode code = runCommand(ServiceRecord::Identify, [clock](DeviceLink* link) { return link->identifyDevice(clock); });
        code != ExitCode::Success)
        return code;
    QJsonObject result;
    result.insert(QStringLiteral("port"), m_session->port());
    result.insert(QStringLiteral("clockSet"), zone.has_value());
    return succeed(result, guiText("The device at %1 shows its information.").arg(m_session->port()));
}

ExitCode Dovrelctl::rebootCommand()
{
    if (const ExitCode code = connect(); code != ExitCode::Success)
        return code;
    const std::optional<int> zone = m_session->device().timeZone();
    const int clock = zone ? *zone : DeviceLink::NoClock;
    if (const ExitCode code = runCommand(ServiceRecord::Reboot, [clock](DeviceLink* link) { return link->rebootDevice(clock); });
        code != ExitCode::Success)
        return code;
    QJsonObject result;
    result.insert(QStringLiteral("port"), m_session->port());
    return succeed(result, guiText("The device at %1 is rebooting.").arg(m_session->port()));
}

// One single command as an operation of its own.
ExitCode Dovrelctl::runCommand(ServiceRecord::Operation operation, const std::function<bool(DeviceLink*)>& start)
{
    const DeviceSession::Outcome outcome = m_session->run(operation, start);
    if (outcome.exitCode != ExitCode::Success)
        return fail(outcome.exitCode, outcome.error);
    return ExitCode::Success;
}

ExitCode Dovrelctl::syncClockCommand()
{
    std::optional<int> offset;
    if (m_cl.hasOption(QStringLiteral("offset"))) {
        bool ok = false;
        const int value = m_cl.value(QStringLiteral("offset")).toInt(&ok, 10);
        if (!ok || value < -720 || value > 720)
            return fail(ExitCode::UsageError, guiText("The offset must be a whole number of minutes from -720 to 720."));
        offset = value;
    }
    return onDevices([offset](DeviceTask* task) {
        const std::optional<int> zone = offset ? offset : task->device().timeZone();
        if (!zone)
            return task->fail(ExitCode::Failed, guiText("The device has no valid time zone stored; give one with --offset."));
        task->run(ServiceRecord::Clock, [zone](DeviceLink* link) { return link->syncDeviceClock(*zone); },
                  [task, zone](const DeviceTask::Outcome& outcome) {
                      if (outcome.exitCode != ExitCode::Success)
                          return task->fail(outcome.exitCode, outcome.error);
                      QJsonObject result;
                      result.insert(QStringLiteral("timezone"), *zone);
                      task->succeed(result, guiText("The device clock is set (time zone %1 minutes).").arg(*zone));
                  });
    });
}
