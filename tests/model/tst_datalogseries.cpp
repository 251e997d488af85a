// The points of a log as the chart draws them: time formats, skipped rows, order,
// decimation that keeps every pixel column's extremes, and the time axis marks.
#include "datalogseries.h"

#include <algorithm>

#include <QDateTime>
#include <QLocale>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using Orvane::Tavrix::Common::DataLogSeries;

namespace {

using Rows = QList<QPair<QVariant, QVariant>>;

// The wall clock a point is drawn at, as text.
QString wall(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

} // namespace

class TestDataLogSeries : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Central European time without the zone database: epoch times are drawn an hour
        // (summer: two) after UTC.
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    }

    void timeFormats_data()
    {
        QTest::addColumn<QVariant>("time");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("drawnAt");
        const auto row = [](const char* name, const QVariant& time, DataLogSeries::TimeFormat format, const char* drawnAt) {
            QTest::newRow(name) << time << int(format) << QString::fromLatin1(drawnAt);
        };
        row("device text", QStringLiteral("2026-01-01 08:00"), DataLogSeries::TextDateTime, "2026-01-01 08:00:00.000");
        row("ISO with fraction", QStringLiteral("2026-03-05T08:00:05.25Z"), DataLogSeries::TextDateTime, "2026-03-05 08:00:05.250");
        row("day first", QStringLiteral("31.12.2025 23:59:59"), DataLogSeries::TextDateTime, "2025-12-31 23:59:59.000");
        row("month first", QStringLiteral("01/13/2026 10:00"), DataLogSeries::TextDateTime, "2026-01-13 10:00:00.000");
        row("date only", QStringLiteral("2026-02-28"), DataLogSeries::TextDateTime, "2026-02-28 00:00:00.000");
        row("time of day", QStringLiteral("08:01"), DataLogSeries::TextTimeOfDay, "1970-01-01 08:01:00.000");
        row("epoch seconds", QVariant(qlonglong(1767254400)), DataLogSeries::EpochSeconds, "2026-01-01 09:00:00.000");
        row("epoch seconds as text", QStringLiteral("1782892800"), DataLogSeries::EpochSeconds, "2026-07-01 10:00:00.000");
        row("epoch seconds, real", QVariant(1767254400.5), DataLogSeries::EpochSeconds, "2026-01-01 09:00:00.500");
        row("epoch milliseconds", QVariant(qlonglong(1767254400123)), DataLogSeries::EpochMilliseconds, "2026-01-01 09:00:00.123");
        row("no time", QStringLiteral("morning"), DataLogSeries::UnknownTime, "");
        row("impossible date", QStringLiteral("2026-02-30 08:00"), DataLogSeries::TextDateTime, "");
    }

    void timeFormats()
    {
        QFETCH(QVariant, time);
        QFETCH(int, format);
        QFETCH(QString, drawnAt);
        const DataLogSeries series = DataLogSeries::fromRows(QStringLiteral("log"), { { time, 4.5 } });
        QCOMPARE(int(series.timeFormat()), format);
        QCOMPARE(series.count(), drawnAt.isEmpty() ? 0 : 1);
        QCOMPARE(series.skippedRows(), drawnAt.isEmpty() ? 1 : 0);
        if (!drawnAt.isEmpty())
            QCOMPARE(wall(series.times().constFirst()), drawnAt);
    }

    // Values that are no numbers and times of another layout are skipped and counted;
    // rows out of order are drawn in time order; times of day run on past midnight.
    void skipsAndOrdersRows()
    {
        const DataLogSeries series = DataLogSeries::fromRows(QStringLiteral("Tank"), Rows {
            { QStringLiteral("2026-01-01 08:02"), 3.0 },
            { QStringLiteral("2026-01-01 08:00"), QStringLiteral(" 1.5 ") },
            { QStringLiteral("2026-01-01 08:01"), QStringLiteral("12,5") },
            { QStringLiteral("2026-01-01 08:03"), QStringLiteral("n/a") },
            { QStringLiteral("2026-01-01 08:04"), QVariant() },
            { QStringLiteral("2026-01-01 08:05"), QStringLiteral("inf") },
            { QStringLiteral("08:06"), 7.0 },
            { QVariant(), 8.0 },
        });
        QCOMPARE(series.rowCount(), 8);
        QCOMPARE(series.skippedRows(), 5);
        QCOMPARE(series.values(), (QVector<double> { 1.5, 12.5, 3.0 }));
        QCOMPARE(wall(series.times().constFirst()), QStringLiteral("2026-01-01 08:00:00.000"));
        QCOMPARE(wall(series.times().constLast()), QStringLiteral("2026-01-01 08:02:00.000"));
        QCOMPARE(series.minimum(), 1.5);
        QCOMPARE(series.maximum(), 12.5);

        const DataLogSeries night = DataLogSeries::fromRows(QStringLiteral("Night"), Rows {
            { QStringLiteral("23:59:30"), 1 }, { QStringLiteral("00:00:30"), 2 } });
        QCOMPARE(night.times(), (QVector<qint64> { 86370000, 86430000 }));
    }

    // A database log of known values, read as the export reads it and decimated for a
    // plot 500 columns wide: every column keeps its lowest and highest value.
    void readsAndDecimatesKnownLog()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("dataLogging.txdb"));
        const int rows = 100000;
        QVector<double> expected;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("maker"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral("CREATE TABLE \"Tank \"\"A\"\"\" (time INTEGER, level REAL, note TEXT)")));
            db.transaction();
            QVERIFY(query.prepare(QStringLiteral("INSERT INTO \"Tank \"\"A\"\"\" VALUES (?, ?, 'x')")));
            QRandomGenerator random(31);
            for (int i = 0; i < rows; ++i) {
                expected << random.bounded(1000.0) - 500.0;
                query.addBindValue(qlonglong(1767225600000) + i * 1000); // 2026-01-01 00:00 UTC, each second
                query.addBindValue(expected.constLast());
                QVERIFY(query.exec());
            }
            QVERIFY(query.exec(QStringLiteral("INSERT INTO \"Tank \"\"A\"\"\" VALUES (1767225600000, 'broken', 'x')")));
            db.commit();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("maker"));

        const DataLogSeries series = DataLogSeries::read(path, QStringLiteral("Tank \"A\""));
        QVERIFY2(series.error().isEmpty(), qPrintable(series.error()));
        QCOMPARE(int(series.timeFormat()), int(DataLogSeries::EpochMilliseconds));
        QCOMPARE(series.count(), rows);
        QCOMPARE(series.skippedRows(), 1);
        QCOMPARE(series.values(), expected);
        QCOMPARE(wall(series.times().constFirst()), QStringLiteral("2026-01-01 01:00:00.000"));
        QCOMPARE(*std::min_element(expected.cbegin(), expected.cend()), series.minimum());
        QCOMPARE(*std::max_element(expected.cbegin(), expected.cend()), series.maximum());

        // The whole log, then a zoomed part of it: the points just outside come along.
        const qint64 start = series.times().constFirst();
        for (const auto& [from, to] : { qMakePair(start, start + (rows - 1) * 1000LL), qMakePair(start + 20000000LL, start + 70000000LL) }) {
            const int columns = 500;
            const QList<QPointF> points = series.decimated(double(from), double(to), columns);
            QVERIFY(points.size() <= 4 * columns + 2);
            const int firstIn = int((from - start) / 1000);
            const int lastIn = int((to - start) / 1000);
            QCOMPARE(points.constFirst(), QPointF(double(series.times().at(std::max(0, firstIn - 1))), expected.at(std::max(0, firstIn - 1))));
            QCOMPARE(points.constLast(), QPointF(double(series.times().at(std::min(rows - 1, lastIn + 1))), expected.at(std::min(rows - 1, lastIn + 1))));
            const double width = double(to - from) / columns;
            QHash<int, QPair<double, double>> kept;
            QHash<int, QPair<double, double>> truth;
            const auto extend = [](QHash<int, QPair<double, double>>& table, int column, double value) {
                auto it = table.find(column);
                if (it == table.end())
                    table.insert(column, qMakePair(value, value));
                else
                    *it = qMakePair(std::min(it->first, value), std::max(it->second, value));
            };
            for (const QPointF& point : points) {
                QVERIFY(expected.at(int((qint64(point.x()) - start) / 1000)) == point.y());
                if (point.x() >= from && point.x() <= to)
                    extend(kept, std::min(columns - 1, int((point.x() - from) / width)), point.y());
            }
            for (int i = firstIn; i <= lastIn; ++i)
                extend(truth, std::min(columns - 1, int((double(series.times().at(i)) - from) / width)), expected.at(i));
            QCOMPARE(kept.size(), columns);
            QCOMPARE(kept, truth);
        }
        // Few points are drawn as they are.
        QCOMPARE(series.decimated(double(start), double(start + 9000), 500).size(), 11);
    }

    void timeTicks_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QStringList>("firstLabels");
        QTest::newRow("minutes") << "2026-01-01 08:00:00" << "2026-01-01 08:09:00"
                                 << QStringList { "08:00", "08:01", "08:02" };
        QTest::newRow("seconds") << "2026-01-01 08:00:03" << "2026-01-01 08:00:40"
                                 << QStringList { "08:00:05", "08:00:10", "08:00:15" };
        QTest::newRow("over midnight") << "2026-01-01 18:00:00" << "2026-01-02 18:00:00"
                                       << QStringList { "1 Jan 18:00", "1 Jan 21:00", "2 Jan" };
        QTest::newRow("days") << "2026-01-01 00:00:00" << "2026-01-09 12:00:00"
                              << QStringList { "1 Jan", "2 Jan", "3 Jan" };
        QTest::newRow("months") << "2025-11-15 00:00:00" << "2026-06-01 00:00:00"
                                << QStringList { "Dec 2025", "Jan 2026", "Feb 2026" };
    }

    void timeTicks()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QStringList, firstLabels);
        QLocale::setDefault(QLocale::c());
        const auto ms = [](const QString& text) {
            const QDateTime read = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            return double(QDateTime(read.date(), read.time(), Qt::UTC).toMSecsSinceEpoch());
        };
        const auto ticks = DataLogSeries::timeTicks(ms(from), ms(to), 10);
        QVERIFY(ticks.size() >= 3 && ticks.size() <= 11);
        QStringList labels;
        for (const auto& tick : ticks) {
            QVERIFY(tick.first >= ms(from) && tick.first <= ms(to));
            labels << tick.second;
        }
        QCOMPARE(labels.mid(0, 3), firstLabels);
        QCOMPARE(QSet<QString>(labels.cbegin(), labels.cend()).size(), labels.size());
    }

    // Value axis marks: 1, 2, 2.5 or 5 times a power of ten, never "54.4444".
    void valueStep_data()
    {
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<int>("maxTicks");
        QTest::addColumn<double>("step");
        QTest::newRow("zoomed in") << 50.0 << 54.4444 << 5 << 2.0;
        QTest::newRow("quarters") << 0.0 << 100.0 << 5 << 25.0;
        QTest::newRow("tenths") << 0.0 << 0.3 << 4 << 0.1;
        QTest::newRow("fives") << -0.01 << 0.03 << 9 << 0.005;
        QTest::newRow("large") << 1e6 << 1.3e6 << 4 << 1e5;
        QTest::newRow("no range") << 3.0 << 3.0 << 5 << 1.0;
    }

    void valueStep()
    {
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(int, maxTicks);
        QFETCH(double, step);
        QCOMPARE(DataLogSeries::valueStep(from, to, maxTicks), step);
    }
};

QTEST_GUILESS_MAIN(TestDataLogSeries)
#include "tst_datalogseries.moc"
