#include "batchresult.h"

#include "localizationhelper.h"
#include "servicerecord.h"

#include <QSaveFile>

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

QString csvField(const QString& text)
{
    static const QString special = QStringLiteral(",\"\r\n");
    bool quote = false;
    for (const QChar c : special)
        quote = quote || text.contains(c);
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray csvLine(const QStringList& fields)
{
    QStringList quoted;
    for (const QString& field : fields)
        quoted << csvField(field);
    return (quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8();
}

} // namespace

QString BatchResult::outcomeCode(Outcome outcome)
{
    switch (outcome) {
    case Pending: return QStringLiteral("pending");
    case Done: return QStringLiteral("done");
    case Failed: return QStringLiteral("failed");
    case DeviceLost: return QStringLiteral("device-lost");
    case Skipped: return QStringLiteral("skipped");
    case Cancelled: return QStringLiteral("cancelled");
    }
    return QString();
}

QString BatchResult::outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Pending: return deviceText("Pending");
    case Done: return deviceText("Done");
    case Failed: return deviceText("Failed");
    case DeviceLost: return deviceText("Device lost");
    case Skipped: return deviceText("Skipped");
    case Cancelled: return deviceText("Cancelled");
    }
    return QString();
}

QStringList BatchResult::csvHeader()
{
    return { deviceText("Serial number"), deviceText("Name"), deviceText("Model"), deviceText("Software before"),
             deviceText("Software after"), deviceText("Package"), deviceText("SHA-256"), deviceText("Result"),
             deviceText("Reason"), deviceText("Started"), deviceText("Duration (s)"),
             // Added later: at the end, so that scripts reading the columns by place go on working.
             deviceText("Signed by"), deviceText("Signature") };
}

QStringList BatchResult::csvFields() const
{
    const QString duration = durationMs < 0 ? QString() : QString::number(double(durationMs) / 1000.0, 'f', 1);
    return { serial, name, model, versionBefore, versionAfter, packageName, packageSha256, outcomeCode(outcome), reason,
             ServiceRecord::timeText(started), duration, signatureKeyId, signatureStatus };
}

bool BatchResult::writeCsv(const QList<BatchResult>& results, const QString& filePath, QString* error)
{
    QSaveFile file(filePath);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(csvLine(csvHeader()));
        for (const BatchResult& result : results)
            file.write(csvLine(result.csvFields()));
        if (file.commit())
            return true;
    }
    if (error)
        *error = file.errorString();
    return false;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
