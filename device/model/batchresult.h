#ifndef BATCHRESULT_H
#define BATCHRESULT_H

#include "device_global.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Common {

// What one package did to one device in a batch: the device, its software before and
// after, the package, how it ended and why, when it started and how long it took.
// A list of them is saved as CSV, one line per device.
class DEVICE_EXPORT BatchResult
{
public:
    enum Outcome {
        Pending,    // not ended yet
        Done,       // sent, installed, and the device is back
        Failed,     // refused, timed out, abandoned, or the device did not come back
        DeviceLost, // the device went away in the middle
        Skipped,    // the package does not fit the device, or the device was busy
        Cancelled   // the batch was cancelled before it started on the device
    };

    QString serial;
    QString name;
    QString model;
    QString versionBefore;
    QString versionAfter;
    QString packageName;
    QString packageSha256;
    QString signatureKeyId;  // the package's signer, empty when none is named
    QString signatureStatus; // "verified", "unsigned", "untrusted" or "bad"
    Outcome outcome = Pending;
    QString reason;
    QDateTime started; // invalid when it never started
    qint64 durationMs = -1;

    // "done", "failed", ...: the same in every language, for scripts reading the CSV.
    static QString outcomeCode(Outcome outcome);
    static QString outcomeName(Outcome outcome);

    static QStringList csvHeader();
    QStringList csvFields() const;
    // Written through a temporary file; false with the reason in *error.
    static bool writeCsv(const QList<BatchResult>& results, const QString& filePath, QString* error = nullptr);
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // BATCHRESULT_H
