// The data log: logs list, logs fetch, logs clear.
#include "dovrelctl.h"

#include "datalogexporter.h"
#include "devicerules.h"
#include "devicelink.h"
#include "devicesession.h"
#include "devicetask.h"
#include "filehelper.h"
#include "localizationhelper.h"
#include "progressreporter.h"
#include "serialportmanager.h"
#include "texthelper.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>

#include <memory>

using namespace Orvane::Tavrix::Common;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::DeviceRules;
using Orvane::Tavrix::Runtime::SerialPortManager;

ExitCode Dovrelctl::logsCommand()
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
            return fail(ExitCode::UsageError, guiText("logs fetch needs --out DIR."));
        outDir = DataLogExporter::destinationFolder(m_cl.value(QStringLiteral("out")));
        if (QFileInfo::exists(outDir) && !QFileInfo(outDir).isDir())
            return fail(ExitCode::UsageError, guiText("The destination path is not valid, please re-enter"));
    }
    if (clear && requested.isEmpty())
        return fail(ExitCode::UsageError, guiText("logs clear needs --tables A,B."));
    if (remove && !m_cl.hasOption(QStringLiteral("yes")))
        return fail(ExitCode::UsageError, guiText("Deleting logs from the device cannot be undone. Add --yes to proceed."));
    if (fetch && !DataLogExporter::prepareDestination(outDir))
        return fail(ExitCode::UsageError, guiText("The destination path is not valid, please re-enter"));

    const bool force = m_cl.hasOption(QStringLiteral("force"));
    const bool several = m_cl.severalDevices();
    const QString list = sub;
    return onDevices([=](DeviceTask* task) {
        const QString refusal = featureRefusal(task, DeviceRules::DataLogFeature);
        if (!refusal.isEmpty())
            return task->fail(ExitCode::Failed, refusal);
        // Several devices' logs have the same names: each device writes into a folder of its own.
        QString deviceDir = outDir;
        if (several && fetch) {
            const QString serial = task->device().serial();
            deviceDir = QDir(outDir).filePath(serial.isEmpty() ? QFileInfo(task->port()).fileName() : serial);
            if (!QDir().mkpath(deviceDir))
                return task->fail(ExitCode::UsageError, guiText("The destination path is not valid, please re-enter"));
        }
        auto folder = std::make_shared<QTemporaryDir>(
            QDir(FileHelper::getStandardRuntimeLocation()).filePath(QStringLiteral("dovrelctl-datalog-XXXXXX")));
        if (!folder->isValid())
            return task->fail(ExitCode::Failed, guiText("The temporary folder could not be created."));
        const QString logFolder = folder->path();
        task->progress()->message(guiText("Retrieving the data log..."));
        // The retrieval ends with "#BOOT#": a clearing goes on only once this very device is back,
        // under whatever port.
        DeviceTask::Options fetchOptions;
        fetchOptions.followRestart = remove;
        task->run(ServiceRecord::LogFetch, [logFolder](DeviceLink* link) { return link->retrieveDataLogFile(logFolder); },
                  [=](const DeviceTask::Outcome& retrieved) {
            if (retrieved.exitCode != ExitCode::Success)
                return task->fail(retrieved.exitCode, retrieved.error);
            if (retrieved.interrupted && remove)
                return task->fail(ExitCode::Failed, guiText("Stopped before the logs were cleared; the device keeps them."));
            QString database;
            if (retrieved.noData || !DataLogExporter::unpackRetrievedLog(logFolder, &database))
                return task->fail(ExitCode::Failed, DataLogExporter::noDataLogText());

            auto exporter = std::make_shared<DataLogExporter>(database);
            if (!exporter->open())
                return task->fail(ExitCode::Failed, guiText("The data log database could not be opened: %1").arg(exporter->lastError()));
            const QStringList logs = exporter->logNames();

            if (list == QLatin1String("list")) {
                QJsonObject result;
                result.insert(QStringLiteral("logs"), QJsonArray::fromStringList(logs));
                return task->succeed(result, logs.join(QLatin1Char('\n')));
            }

            for (const QString& name : std::as_const(requested)) {
                if (!logs.contains(name))
                    return task->fail(ExitCode::UsageError, guiText("The data log has no log named \"%1\".").arg(name));
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
            QStringList written;
            QString summary;
            if (fetch) {
                for (const QString& name : std::as_const(chosen)) {
                    QString file;
                    switch (exporter->exportLog(name, deviceDir, force, &file)) {
                    case DataLogExporter::Exported: {
                        QJsonObject entry;
                        entry.insert(QStringLiteral("log"), name);
                        entry.insert(QStringLiteral("file"), file);
                        exported.append(entry);
                        written << file;
                        toDrop << name;
                        task->progress()->message(guiText("Number of files retrived ..... %1/%2")
                                                      .arg(QString::number(exported.size()), QString::number(chosen.size())));
                        break;
                    }
                    case DataLogExporter::AlreadyExists:
                        skipped.append(name);
                        task->progress()->warning(guiText("\"%1\" already exists and was kept; add --force to replace it.").arg(TextHelper::toSystemPath(file)));
                        break;
                    case DataLogExporter::Failed:
                        failed.append(name);
                        task->progress()->warning(guiText("The log \"%1\" could not be exported: %2").arg(name, exporter->lastError()));
                        break;
                    }
                }
                summary = DataLogExporter::exportSummary(exported.size());
                if (!written.isEmpty())
                    summary += QLatin1Char('\n') + DataLogExporter::writtenFilesText(deviceDir, written);
            } else {
                toDrop = chosen;
            }

            auto finish = [=](const QJsonArray& deleted, const QString& text) {
                QJsonObject result;
                if (fetch) {
                    result.insert(QStringLiteral("exported"), exported);
                    result.insert(QStringLiteral("skipped"), skipped);
                    result.insert(QStringLiteral("failed"), failed);
                }
                result.insert(QStringLiteral("deleted"), deleted);
                if (!failed.isEmpty())
                    return task->fail(ExitCode::Failed, text);
                task->succeed(result, text);
            };
            if (!remove || toDrop.isEmpty())
                return finish(QJsonArray(), summary);

            QJsonArray deleted;
            for (const QString& name : std::as_const(toDrop)) {
                if (!exporter->dropLog(name))
                    return task->fail(ExitCode::Failed, guiText("The log \"%1\" could not be removed: %2").arg(name, exporter->lastError()));
                deleted.append(name);
                task->progress()->message(guiText("Number of logs cleared ..... %1/%2")
                                              .arg(QString::number(deleted.size()), QString::number(toDrop.size())));
            }
            exporter->close();
            if (retrieved.deviceRestarts && !retrieved.back)
                return task->fail(ExitCode::TimedOut, guiText("The device did not come back after its restart."));
            task->progress()->begin(guiText("Updating the data log"), QFileInfo(database).size());
            task->run(ServiceRecord::LogClearing, [database](DeviceLink* link) { return link->updateLogFile(database); },
                      [=](const DeviceTask::Outcome& updated) {
                          Q_UNUSED(folder)
                          if (updated.exitCode != ExitCode::Success)
                              return task->fail(updated.exitCode, updated.error);
                          finish(deleted, DataLogExporter::clearSummary(summary, deleted.size()).trimmed());
                      });
        }, fetchOptions);
    });
}
