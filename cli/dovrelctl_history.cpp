// The service history: history.
#include "dovrelctl.h"

#include "localizationhelper.h"
#include "progressreporter.h"
#include "servicehistory.h"
#include "texthelper.h"

#include <QFileInfo>
#include <QJsonArray>

using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::ServiceHistory;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Common::TextHelper;

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
    if (!ServiceHistory::isEnabled())
        m_progress->warning(guiText("The service history is switched off: nothing new is recorded."));

    ServiceHistory history;
    QList<ServiceRecord> entries;
    // Reading makes no history where there is none.
    if (QFileInfo::exists(history.path())) {
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
        QStringList fields;
        fields << ServiceRecord::timeText(entry.started) << ServiceRecord::timeText(entry.ended) << entry.serial << entry.name
               << entry.model << entry.versionBefore << entry.versionAfter << ServiceRecord::operationName(entry.operation)
               << entry.packageName << entry.packageSha256 << ServiceRecord::outcomeName(entry.outcome)
               << QString(entry.message).replace(QLatin1Char('\n'), QLatin1Char(' ')) << entry.frontEnd;
        lines << fields.join(QLatin1Char('\t'));
    }
    QJsonObject result;
    result.insert(QStringLiteral("path"), history.path());
    result.insert(QStringLiteral("entries"), array);
    return succeed(result, lines.join(QLatin1Char('\n')));
}
