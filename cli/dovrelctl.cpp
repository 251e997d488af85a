#include "dovrelctl.h"

#include "commandtable.h"
#include "deviceinformation.h"
#include "device.h"
#include "devicerules.h"
#include "serialportmanager.h"
#include "devicesession.h"
#include "devicetask.h"
#include "localizationhelper.h"
#include "operationrun.h"
#include "progressboard.h"
#include "progressreporter.h"
#include "rolloutplan.h"
#include "stopsignals.h"

#include <QEventLoop>
#include <QJsonDocument>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Runtime::DeviceInformation;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Common::StopSignals;
using Orvane::Tavrix::Runtime::OperationRun;
using Orvane::Tavrix::Runtime::Device;
using Orvane::Tavrix::Runtime::DeviceRules;
using Orvane::Tavrix::Runtime::RolloutPlan;

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

} // namespace

Dovrelctl::Dovrelctl(const CommandLine& commandLine)
    : m_cl(commandLine)
    , m_progress(new ProgressReporter(commandLine.quiet()))
{
    reportHistoryServer();
}

Dovrelctl::~Dovrelctl()
{
    delete m_session;
    delete m_progress;
}

ExitCode Dovrelctl::fail(ExitCode exitCode, const QString& error, const QJsonObject& details)
{
    m_progress->finish();
    if (m_cl.json()) {
        QJsonObject object = details;
        markInterrupted(object);
        object.insert(QStringLiteral("ok"), false);
        object.insert(QStringLiteral("error"), error);
        object.insert(QStringLiteral("exitCode"), int(exitCode));
        writeOut(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
    }
    writeErr(guiText("error: %1").arg(error));
    return exitCode;
}

ExitCode Dovrelctl::succeed(const QJsonObject& result, const QString& text)
{
    m_progress->finish();
    if (m_cl.json()) {
        QJsonObject object = result;
        markInterrupted(object);
        object.insert(QStringLiteral("ok"), true);
        writeOut(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
    } else {
        writeOut(text);
    }
    return ExitCode::Success;
}

ExitCode Dovrelctl::connect()
{
    if (!m_session)
        m_session = new DeviceSession(m_progress);
    QString error;
    const ExitCode code = m_session->connectDevice(m_cl.port(), &error);
    if (code != ExitCode::Success)
        return fail(code, error);
    const QString setAside = Device::beginRecording(QString::fromLatin1(ServiceRecord::CommandLineFrontEnd));
    if (!setAside.isEmpty())
        m_progress->warning(setAside);
    return ExitCode::Success;
}

ExitCode Dovrelctl::requireFeature(int feature)
{
    const QString refusal = DeviceRules::featureRefusal(m_session->device(), DeviceRules::Feature(feature));
    if (!refusal.isEmpty())
        return fail(ExitCode::Failed, refusal);
    return ExitCode::Success;
}

QString Dovrelctl::featureRefusal(DeviceTask* task, int feature)
{
    return DeviceRules::featureRefusal(task->device(), DeviceRules::Feature(feature));
}

ExitCode Dovrelctl::onDevices(const std::function<void(DeviceTask*)>& work)
{
    if (!m_cl.severalDevices()) {
        if (const ExitCode code = connect(); code != ExitCode::Success)
            return code;
        DeviceTask task(m_session->port(), m_progress);
        QEventLoop loop;
        QObject::connect(&task, &DeviceTask::done, &loop, &QEventLoop::quit);
        work(&task);
        if (!task.isDone())
            loop.exec();
        if (task.exitCode() != ExitCode::Success)
            return fail(task.exitCode(), task.error());
        return succeed(task.result(), task.text());
    }

    if (!m_session)
        m_session = new DeviceSession(m_progress);
    QStringList ports;
    QList<QPair<QString, QString>> failures;
    QString error;
    const ExitCode found = m_session->connectDevices(m_cl.all() ? QStringList() : m_cl.ports(), &ports, &failures, &error);
    if (found != ExitCode::Success)
        return fail(found, error);
    if (m_cl.all()) {
        QHash<QString, QString> slotOf;
        for (const QString& port : std::as_const(ports))
            slotOf.insert(port, DeviceInformation(m_session->manager()->deviceInformation(port)).slot());
        ports = RolloutPlan::stationOrder(ports, slotOf);
    }

    // Each device's line starts with its name; a name that two devices share gets the port too.
    auto nameOf = [this](const QString& port) { return DeviceInformation(m_session->manager()->deviceInformation(port)).deviceName(); };
    QMap<QString, int> names;
    for (const QString& port : std::as_const(ports))
        ++names[nameOf(port)];
    ProgressBoard board(m_progress->isTerminal() && !m_cl.quiet());
    std::vector<std::unique_ptr<ProgressReporter>> reporters;
    std::vector<std::unique_ptr<DeviceTask>> tasks;
    QList<DeviceTask*> running;
    for (const QString& port : std::as_const(ports)) {
        const QString name = nameOf(port);
        QString label = name.isEmpty() ? port : name;
        if (!name.isEmpty() && names.value(name) > 1)
            label = QStringLiteral("%1 (%2)").arg(name, port);
        reporters.push_back(std::make_unique<ProgressReporter>(m_cl.quiet(), &board, label));
        tasks.push_back(std::make_unique<DeviceTask>(port, reporters.back().get()));
        running << tasks.back().get();
    }
    // In the order the ports were given, or the station's order for --all; the plan says
    // which devices go now, which wait and which are skipped.
    RolloutPlan plan(ports, m_cl.rollout());
    QMap<QString, QString> skipped; // port -> why
    QEventLoop loop;
    int left = int(running.size());
    bool advancing = false;
    bool again = false;
    auto taskOf = [&running](const QString& port) -> DeviceTask* {
        for (DeviceTask* task : std::as_const(running)) {
            if (task->port() == port)
                return task;
        }
        return nullptr;
    };
    // A device may end at once (a refusal), which asks the plan again from within.
    std::function<void()> advance = [&]() {
        if (advancing) {
            again = true;
            return;
        }
        advancing = true;
        do {
            again = false;
            RolloutPlan::Step step;
            if (OperationRun::isStopping())
                step.skipped = plan.skipWaiting(guiText("Not started: the run was stopped."));
            else
                step = plan.next();
            for (const auto& skip : std::as_const(step.skipped)) {
                skipped.insert(skip.first, skip.second);
                if (DeviceTask* task = taskOf(skip.first))
                    task->progress()->message(skip.second);
                --left;
            }
            for (const QString& port : std::as_const(step.start)) {
                if (DeviceTask* task = taskOf(port))
                    work(task);
            }
        } while (again);
        advancing = false;
        if (left == 0)
            loop.quit();
    };
    for (DeviceTask* task : std::as_const(running)) {
        QObject::connect(task, &DeviceTask::done, &loop, [&, task]() {
            plan.ended(task->port(), task->exitCode() == ExitCode::Success);
            --left;
            advance();
        });
    }
    // Without rules every device starts now; one failing never stops the others.
    advance();
    for (DeviceTask* task : std::as_const(running)) {
        if (plan.state(task->port()) == RolloutPlan::Waiting)
            task->progress()->message(guiText("Waiting for its turn"));
    }
    if (left > 0)
        loop.exec();
    for (DeviceTask* task : std::as_const(running)) {
        if (!skipped.contains(task->port()))
            task->progress()->message(task->exitCode() == ExitCode::Success ? guiText("Done.") : task->error());
    }
    board.close();
    if (plan.hasRules())
        m_progress->message(plan.stageText());
    return reportDevices(running, failures, skipped);
}

ExitCode Dovrelctl::reportDevices(const QList<DeviceTask*>& tasks, const QList<QPair<QString, QString>>& failures,
                                  const QMap<QString, QString>& skipped)
{
    struct Row
    {
        QString device;
        QString port;
        ExitCode exitCode;
        QString detail;
        QJsonObject object;
        bool skipped = false;
    };
    QList<Row> rows;
    for (const auto& failure : failures) {
        QJsonObject object;
        object.insert(QStringLiteral("ok"), false);
        object.insert(QStringLiteral("port"), failure.first);
        object.insert(QStringLiteral("error"), failure.second);
        object.insert(QStringLiteral("exitCode"), int(ExitCode::NoDevice));
        rows.append({ failure.first, failure.first, ExitCode::NoDevice, failure.second, object });
    }
    for (DeviceTask* task : tasks) {
        if (skipped.contains(task->port())) {
            // Got nothing: counted as a failure, with why.
            const QString reason = skipped.value(task->port());
            const QString name = task->name().isEmpty() ? task->port() : task->name();
            QJsonObject object;
            markInterrupted(object);
            object.insert(QStringLiteral("ok"), false);
            object.insert(QStringLiteral("port"), task->port());
            object.insert(QStringLiteral("device"), name);
            object.insert(QStringLiteral("serial"), task->serial());
            object.insert(QStringLiteral("result"), QStringLiteral("skipped"));
            object.insert(QStringLiteral("reason"), reason);
            object.insert(QStringLiteral("error"), reason);
            object.insert(QStringLiteral("exitCode"), int(ExitCode::Failed));
            rows.append({ name, task->port(), ExitCode::Failed, reason, object, true });
            continue;
        }
        const bool ok = task->exitCode() == ExitCode::Success;
        QJsonObject object = ok ? task->result() : QJsonObject();
        markInterrupted(object);
        object.insert(QStringLiteral("ok"), ok);
        object.insert(QStringLiteral("port"), task->port());
        const QString name = task->name().isEmpty() ? task->port() : task->name();
        object.insert(QStringLiteral("device"), name);
        object.insert(QStringLiteral("serial"), task->serial());
        object.insert(QStringLiteral("result"), ok ? QStringLiteral("done") : QStringLiteral("failed"));
        if (!ok) {
            object.insert(QStringLiteral("error"), task->error());
            object.insert(QStringLiteral("exitCode"), int(task->exitCode()));
        }
        rows.append({ name, task->port(), task->exitCode(), ok ? task->text() : task->error(), object });
    }

    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.port < b.port; });
    ExitCode worst = ExitCode::Success;
    for (const Row& row : std::as_const(rows)) {
        if (int(row.exitCode) > int(worst))
            worst = row.exitCode;
        if (row.exitCode != ExitCode::Success)
            writeErr(guiText("error: %1").arg((row.device == row.port ? row.port : QStringLiteral("%1 (%2)").arg(row.device, row.port))
                                               + QStringLiteral(": ") + row.detail));
    }
    if (m_cl.json()) {
        for (const Row& row : std::as_const(rows))
            writeOut(QString::fromUtf8(QJsonDocument(row.object).toJson(QJsonDocument::Compact)));
        return worst;
    }

    // The summary: one line per device.
    auto resultText = [](ExitCode code) {
        switch (code) {
        case ExitCode::Success: return guiText("done");
        case ExitCode::Failed: return guiText("failed");
        case ExitCode::UsageError: return guiText("refused");
        case ExitCode::TimedOut: return guiText("timed out or lost");
        case ExitCode::NoDevice: return guiText("no device");
        }
        return QString();
    };
    const QStringList header = { guiText("DEVICE"), guiText("PORT"), guiText("RESULT"), guiText("DETAIL") };
    QList<QStringList> lines;
    for (const Row& row : std::as_const(rows)) {
        QString detail = row.detail;
        detail.replace(QLatin1Char('\n'), QStringLiteral("; "));
        lines.append({ row.device, row.port, row.skipped ? guiText("skipped") : resultText(row.exitCode), detail });
    }
    QList<int> widths = { int(header.at(0).size()), int(header.at(1).size()), int(header.at(2).size()) };
    for (const QStringList& line : std::as_const(lines)) {
        for (int i = 0; i < 3; ++i)
            widths[i] = qMax(widths.at(i), int(line.at(i).size()));
    }
    QStringList table;
    for (const QStringList& line : QList<QStringList> { header } + lines) {
        QString text;
        for (int i = 0; i < 3; ++i)
            text += line.at(i).leftJustified(widths.at(i) + 2);
        table << (text + line.at(3)).trimmed();
    }
    writeOut(table.join(QLatin1Char('\n')));
    return worst;
}

void Dovrelctl::markInterrupted(QJsonObject& object) const
{
    if (StopSignals* stop = StopSignals::instance(); stop && stop->signalNumber() != 0)
        object.insert(QStringLiteral("interrupted"), true);
}

void Dovrelctl::onStopRequested()
{
    // Every device is left whole: transfers that replaced nothing are abandoned, steps that
    // put things into place finish. A second signal ends at once.
    const QList<OperationRun*> running = OperationRun::active();
    const QList<QPair<OperationRun*, QString>> finishing = OperationRun::stopAll();
    for (OperationRun* run : running) {
        QString step;
        for (const auto& entry : finishing) {
            if (entry.first == run)
                step = entry.second;
        }
        if (!step.isEmpty())
            writeErr(guiText("Finishing on %1: %2; press Ctrl-C again to stop at once").arg(run->deviceTitle(), step));
        else
            writeErr(guiText("Stopping on %1; the device keeps what it had.").arg(run->deviceTitle()));
    }
}

ExitCode Dovrelctl::run()
{
    if (StopSignals* stop = StopSignals::install())
        QObject::connect(stop, &StopSignals::stopRequested, stop, [this]() { onStopRequested(); });
    if (m_cl.version()) {
        const QString text = QStringLiteral("dovrelctl %1").arg(QStringLiteral(DOVREL_VERSION));
        QJsonObject object;
        object.insert(QStringLiteral("version"), QStringLiteral(DOVREL_VERSION));
        return succeed(object, text);
    }
    if (m_cl.help()) {
        QJsonObject object;
        object.insert(QStringLiteral("usage"), CommandLine::usage(m_cl.command()));
        return succeed(object, CommandLine::usage(m_cl.command()));
    }
    if (m_cl.command().isEmpty())
        return fail(ExitCode::UsageError, guiText("No command given. See dovrelctl --help."));

    const CommandTable::Command* command = CommandTable::find(m_cl.command());
    if (!command || !command->handler)
        return fail(ExitCode::UsageError, guiText("Unknown command %1.").arg(m_cl.command()));
    return (this->*command->handler)();
}
