#ifndef SERVICERECORD_H
#define SERVICERECORD_H

#include "device_global.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Common {

// One entry of the service history: what was done to which device, when, with
// which package, and how it ended. The codes are what the history file keeps;
// the names are for people and follow the user's language.
class DEVICE_EXPORT ServiceRecord
{
    Q_GADGET
public:
    enum Operation {
        NoOperation,
        Upload,
        Upgrade,
        ProjectFetch,
        LogFetch,
        LogClearing,
        Configuration,
        FontListing,
        FontManagement,
        Clock,
        Identify,
        Reboot
    };
    Q_ENUM(Operation)

    enum Outcome {
        Unfinished, // no end was written: still running, or the program ended first
        Succeeded,
        Failed,
        TimedOut,
        DeviceLost,
        NoData,
        Interrupted // stopped on request (Ctrl-C, a logout, a window closed); the device kept what it had
    };
    Q_ENUM(Outcome)

    // The front ends that write entries.
    static const char* const WindowFrontEnd;      // "dovrel"
    static const char* const CommandLineFrontEnd; // "dovrelctl"
    static const char* const BatchFrontEnd;       // "dovrel batch"

    qint64 id = 0;
    QDateTime started;
    QDateTime ended; // invalid while unfinished
    QString serial;
    QString name;
    QString model;
    QString versionBefore;
    QString versionAfter; // known once the device came back after its restart
    Operation operation = NoOperation;
    QString packageName;
    QString packageSha256;
    // The package's signer, as minisign names the key, and "verified", "unsigned",
    // "untrusted" or "bad"; empty without a package.
    QString signatureKeyId;
    QString signatureStatus;
    Outcome outcome = Unfinished;
    QString message;
    QString frontEnd;
    bool restarts = false;

    // Shared history: made where the entry was written, kept wherever it is copied.
    QString uuid;
    QString station; // the station that wrote it
    // Counts the writes to the entry; of two copies the higher one is the newer.
    int revision = 0;

    static QList<Operation> operations();
    static QList<Outcome> outcomes();
    // "upload", "log-fetch", ...; empty for NoOperation.
    static QString operationCode(Operation operation);
    static Operation operationFromCode(const QString& code);
    static QString operationName(Operation operation);
    // "succeeded", "timed-out", ..., "unfinished".
    static QString outcomeCode(Outcome outcome);
    static Outcome outcomeFromCode(const QString& code);
    static QString outcomeName(Outcome outcome);

    // Local time as the window and the text output show it.
    static QString timeText(const QDateTime& time);
    // The entry for scripts: codes, and times in UTC (ISO 8601).
    QJsonObject toJson() const;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

Q_DECLARE_METATYPE(Orvane::Tavrix::Common::ServiceRecord)

#endif // SERVICERECORD_H
