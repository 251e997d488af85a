#ifndef DATALOGSERIES_H
#define DATALOGSERIES_H

#include "device_global.h"

#include <QList>
#include <QPair>
#include <QPointF>
#include <QSharedDataPointer>
#include <QString>
#include <QVariant>
#include <QVector>

#include <atomic>

namespace Orvane {
namespace Tavrix {
namespace Common {

class DataLogSeriesData;

// The (time, value) points of one log of a data log database, read as the export reads
// a log: first column time, second column value. Rows whose time or value cannot be
// read are skipped and counted. Times are kept as milliseconds of the wall clock shown
// to the user, counted as if it were UTC: a text time is shown as the device wrote it,
// an epoch time in the computer's time zone. Points are in time order.
class DEVICE_EXPORT DataLogSeries
{
public:
    enum TimeFormat {
        UnknownTime = 0,  // no time could be read from the first column
        TextDateTime,     // "2026-01-01 08:00[:ss[.zzz]]", ISO "T", "dd.MM.yyyy HH:mm", ...
        TextTimeOfDay,    // "08:00[:ss]" without a date
        EpochSeconds,
        EpochMilliseconds
    };

    DataLogSeries();
    explicit DataLogSeries(const QString& name);
    DataLogSeries(const DataLogSeries& other);
    DataLogSeries& operator=(const DataLogSeries& other);
    ~DataLogSeries();

    // Reads one log; a set cancel flag stops it early (the series then says so).
    // Safe in any thread: it opens a read-only connection of its own.
    static DataLogSeries read(const QString& databasePath, const QString& log, const std::atomic_bool* cancel = nullptr);
    // The same rules over rows already read: first and second column of each row.
    static DataLogSeries fromRows(const QString& name, const QList<QPair<QVariant, QVariant>>& rows);

    QString name() const;
    TimeFormat timeFormat() const;
    // Empty when the log was read; the database's reason otherwise (not localized).
    QString error() const;
    bool wasCancelled() const;
    qint64 rowCount() const;      // rows read, skipped ones included
    qint64 skippedRows() const;   // rows without a time or a number
    int count() const;            // points kept
    bool isEmpty() const { return count() == 0; }
    const QVector<qint64>& times() const;
    const QVector<double>& values() const;
    double minimum() const;
    double maximum() const;

    // The points between the two times for a plot that many pixel columns wide: every
    // point when they are few, otherwise for each column its first, lowest, highest and
    // last point in time order, so that no column loses its true extremes. The points just
    // outside the range come along so that lines run to the plot's edges.
    QList<QPointF> decimated(double from, double to, int columns) const;
    // The index of the point nearest in time, -1 when there is none.
    int indexNear(double time) const;
    // A point's time as the user reads it.
    QString timeText(qint64 time) const;

    // Axis marks for a time range: round times (seconds to years) at most maxTicks apart,
    // with labels that tell every mark apart.
    static QList<QPair<double, QString>> timeTicks(double from, double to, int maxTicks);
    // The distance between value axis marks: the smallest 1, 2, 2.5 or 5 times a power of
    // ten that puts at most maxTicks marks on the range, so that every mark reads short.
    static double valueStep(double from, double to, int maxTicks);

private:
    QSharedDataPointer<DataLogSeriesData> d;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // DATALOGSERIES_H
