// The service history: history, history sync, fleet.
#include "dovrelctl.h"

#include "historyserver.h"
#include "localizationhelper.h"
#include "progressreporter.h"
#include "servicehistory.h"
#include "servicehistorywriter.h"
#include "texthelper.h"

#include <QFileInfo>
#include <QJsonArray>

#include <cstdio>

using Orvane::Tavrix::Common::FleetDevice;
using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::HistoryServer;
using Orvane::Tavrix::Common::ServiceHistory;
using Orvane::Tavrix::Common::ServiceHistoryWriter;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Common::TextHelper;

namespace {

ExitCode exitCodeOf(HistoryServer::Status status)
{
    switch (status) {
    case HistoryServer::Ready: return ExitCode::Success;
    case HistoryServer::NotConfigured:
    case HistoryServer::BadAddress: return ExitCode::UsageError;
    case HistoryServer::Unreachable: return ExitCode::TimedOut;
    default: return ExitCode::Failed;
    }
}

QString entryLine(const ServiceRecord& entry, bool withStation)
{
    QStringList fields;
    for (int column = 0; column < ServiceHistory::ColumnCount; ++column)
        fields << ServiceHistory::recordText(entry, column).replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (withStation)
        fields << entry.station;
    return fields.join(QLatin1Char('\t'));
}

} // namespace

void Dovrelctl::reportHistoryServer()
{
    // Told from the history writer's thread, perhaps as the program ends.
    ServiceHistoryWriter::setServerReport([](bool reachable, const QString& text) {
        if (reachable)
            return;
        const QByteArray line = QStringLiteral("dovrelctl: warning: %1\n").arg(text).toLocal8Bit();
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        std::fflush(stderr);
    });
}

ExitCode Dovrelctl::historyCommand()
{
    ServiceHistory::Filter filter;
    filter.serial = m_cl.value(QStringLiteral("serial"));
    if (m_cl.hasOption(QStringLiteral("since"))) {
        const QString since = m_cl.value(QStringLiteral("since"));
        const QDate date = QDate::fromString(since, Qt::ISODate);
        filter.from = date.isValid() ? date.startOfDay() : QDateTime::fromString(since, Qt::ISODate);
        if (!filter.from.isValid())
            return fail(ExitCode::UsageError, guiText("The date %1 is not valid; give it as YYYY-MM-DD or YYYY-MM-DDTHH:MM.").arg(since));
    }
    const bool allStations = m_cl.hasOption(QStringLiteral("all-stations"));
    if (!allStations && !ServiceHistory::isEnabled())
        m_progress->warning(guiText("The service history is switched off: nothing new is recorded."));

    ServiceHistory history;
    QList<ServiceRecord> entries;
    QJsonObject result;
    if (allStations) {
        HistoryServer server(ServiceHistory::serverUri());
        entries = server.entries(filter);
        if (!server.isOpen())
            return fail(exitCodeOf(server.status()), server.lastError());
        result.insert(QStringLiteral("server"), HistoryServer::displayUri(server.uri()));
    } else if (QFileInfo::exists(history.path())) {
        // Reading makes no history where there is none.
        if (!history.open())
            return fail(ExitCode::Failed, guiText("The service history %1 cannot be read: %2")
                                              .arg(TextHelper::toSystemPath(history.path()), history.lastError()));
        if (!history.setAsideMessage().isEmpty())
            m_progress->warning(history.setAsideMessage());
        entries = history.entries(filter);
    }

    QJsonArray array;
    QStringList lines;
    for (const ServiceRecord& entry : std::as_const(entries)) {
        array.append(entry.toJson());
        lines << entryLine(entry, allStations);
    }
    if (!allStations)
        result.insert(QStringLiteral("path"), history.path());
    result.insert(QStringLiteral("entries"), array);
    return succeed(result, lines.join(QLatin1Char('\n')));
}

ExitCode Dovrelctl::historySyncCommand()
{
    HistoryServer server(ServiceHistory::serverUri());
    ServiceHistory history;
    HistoryServer::SyncResult sync;
    if (QFileInfo::exists(history.path()) && history.open()) {
        sync = server.sync(&history);
    } else if (!server.open()) {
        sync.status = server.status();
        sync.error = server.lastError();
    }
    QJsonObject result;
    result.insert(QStringLiteral("pending"), sync.unsent);
    result.insert(QStringLiteral("sent"), sync.sent);
    result.insert(QStringLiteral("station"), ServiceHistory::station());
    if (sync.status != HistoryServer::Ready) {
        const QString waiting = sync.unsent > 0 ? QLatin1Char(' ') + guiText("%1 entries wait to be sent.").arg(sync.unsent) : QString();
        return fail(exitCodeOf(sync.status), sync.error + waiting, result);
    }
    result.insert(QStringLiteral("server"), HistoryServer::displayUri(server.uri()));
    return succeed(result, guiText("Station %1: %2 entries sent to %3, %4 waiting.")
                               .arg(ServiceHistory::station())
                               .arg(sync.sent)
                               .arg(HistoryServer::displayUri(server.uri()))
                               .arg(sync.unsent));
}

ExitCode Dovrelctl::fleetCommand()
{
    HistoryServer server(ServiceHistory::serverUri());
    const QList<FleetDevice> devices = server.fleet(m_cl.value(QStringLiteral("serial")));
    if (!server.isOpen())
        return fail(exitCodeOf(server.status()), server.lastError());
    QJsonArray array;
    QStringList lines;
    for (const FleetDevice& device : devices) {
        array.append(device.toJson());
        QStringList fields;
        for (int column = 0; column < FleetDevice::ColumnCount; ++column)
            fields << device.columnText(column);
        lines << fields.join(QLatin1Char('\t'));
    }
    QJsonObject result;
    result.insert(QStringLiteral("server"), HistoryServer::displayUri(server.uri()));
    result.insert(QStringLiteral("devices"), array);
    return succeed(result, lines.join(QLatin1Char('\n')));
}
