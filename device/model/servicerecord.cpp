#include "servicerecord.h"

#include "localizationhelper.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

const char* const ServiceRecord::WindowFrontEnd = "dovrel";
const char* const ServiceRecord::CommandLineFrontEnd = "dovrelctl";
const char* const ServiceRecord::BatchFrontEnd = "dovrel batch";

namespace {

struct OperationEntry {
    ServiceRecord::Operation operation;
    const char* code;
    const char* name;
};

// The codes are stored: never change one, only add.
const OperationEntry OperationTable[] = {
    { ServiceRecord::Upload, "upload", QT_TRANSLATE_NOOP("Device", "Project upload") },
    { ServiceRecord::Upgrade, "upgrade", QT_TRANSLATE_NOOP("Device", "Software upgrade") },
    { ServiceRecord::ProjectFetch, "project-fetch", QT_TRANSLATE_NOOP("Device", "Project retrieval") },
    { ServiceRecord::LogFetch, "log-fetch", QT_TRANSLATE_NOOP("Device", "Data log retrieval") },
    { ServiceRecord::LogClearing, "log-clearing", QT_TRANSLATE_NOOP("Device", "Data log clearing") },
    { ServiceRecord::Configuration, "configuration", QT_TRANSLATE_NOOP("Device", "Configuration") },
    { ServiceRecord::FontListing, "font-listing", QT_TRANSLATE_NOOP("Device", "Font listing") },
    { ServiceRecord::FontManagement, "font-management", QT_TRANSLATE_NOOP("Device", "Font management") },
    { ServiceRecord::Clock, "clock", QT_TRANSLATE_NOOP("Device", "Clock setting") },
    { ServiceRecord::Identify, "identify", QT_TRANSLATE_NOOP("Device", "Identification") },
    { ServiceRecord::Reboot, "reboot", QT_TRANSLATE_NOOP("Device", "Reboot") },
};

struct OutcomeEntry {
    ServiceRecord::Outcome outcome;
    const char* code;
    const char* name;
};

const OutcomeEntry OutcomeTable[] = {
    { ServiceRecord::Succeeded, "succeeded", QT_TRANSLATE_NOOP("Device", "Succeeded") },
    { ServiceRecord::Failed, "failed", QT_TRANSLATE_NOOP("Device", "Failed") },
    { ServiceRecord::TimedOut, "timed-out", QT_TRANSLATE_NOOP("Device", "Timed out") },
    { ServiceRecord::DeviceLost, "device-lost", QT_TRANSLATE_NOOP("Device", "Device lost") },
    { ServiceRecord::NoData, "no-data", QT_TRANSLATE_NOOP("Device", "No data") },
    { ServiceRecord::Interrupted, "interrupted", QT_TRANSLATE_NOOP("Device", "Interrupted") },
    { ServiceRecord::Unfinished, "unfinished", QT_TRANSLATE_NOOP("Device", "Unfinished") },
};

QString utcText(const QDateTime& time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

} // namespace

QList<ServiceRecord::Operation> ServiceRecord::operations()
{
    QList<Operation> list;
    for (const OperationEntry& entry : OperationTable)
        list << entry.operation;
    return list;
}

QList<ServiceRecord::Outcome> ServiceRecord::outcomes()
{
    QList<Outcome> list;
    for (const OutcomeEntry& entry : OutcomeTable)
        list << entry.outcome;
    return list;
}

QString ServiceRecord::operationCode(Operation operation)
{
    for (const OperationEntry& entry : OperationTable) {
        if (entry.operation == operation)
            return QString::fromLatin1(entry.code);
    }
    return QString();
}

ServiceRecord::Operation ServiceRecord::operationFromCode(const QString& code)
{
    for (const OperationEntry& entry : OperationTable) {
        if (code == QLatin1String(entry.code))
            return entry.operation;
    }
    return NoOperation;
}

QString ServiceRecord::operationName(Operation operation)
{
    for (const OperationEntry& entry : OperationTable) {
        if (entry.operation == operation)
            return deviceText(entry.name);
    }
    return QString();
}

QString ServiceRecord::outcomeCode(Outcome outcome)
{
    for (const OutcomeEntry& entry : OutcomeTable) {
        if (entry.outcome == outcome)
            return QString::fromLatin1(entry.code);
    }
    return QString();
}

ServiceRecord::Outcome ServiceRecord::outcomeFromCode(const QString& code)
{
    for (const OutcomeEntry& entry : OutcomeTable) {
        if (code == QLatin1String(entry.code))
            return entry.outcome;
    }
    return Unfinished;
}

QString ServiceRecord::outcomeName(Outcome outcome)
{
    for (const OutcomeEntry& entry : OutcomeTable) {
        if (entry.outcome == outcome)
            return deviceText(entry.name);
    }
    return QString();
}

QString ServiceRecord::timeText(const QDateTime& time)
{
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

QJsonObject ServiceRecord::toJson() const
{
    QJsonObject object;
    object.insert(QStringLiteral("id"), id);
    object.insert(QStringLiteral("started"), utcText(started));
    object.insert(QStringLiteral("ended"), utcText(ended));
    object.insert(QStringLiteral("serial"), serial);
    object.insert(QStringLiteral("name"), name);
    object.insert(QStringLiteral("model"), model);
    object.insert(QStringLiteral("versionBefore"), versionBefore);
    object.insert(QStringLiteral("versionAfter"), versionAfter);
    object.insert(QStringLiteral("operation"), operationCode(operation));
    object.insert(QStringLiteral("package"), packageName);
    object.insert(QStringLiteral("sha256"), packageSha256);
    object.insert(QStringLiteral("signatureKeyId"), signatureKeyId);
    object.insert(QStringLiteral("signatureStatus"), signatureStatus);
    object.insert(QStringLiteral("result"), outcomeCode(outcome));
    object.insert(QStringLiteral("message"), message);
    object.insert(QStringLiteral("frontEnd"), frontEnd);
    object.insert(QStringLiteral("restarts"), restarts);
    object.insert(QStringLiteral("uuid"), uuid);
    object.insert(QStringLiteral("station"), station);
    return object;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
