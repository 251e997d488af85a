// bench_datalogchart: writes a data log of one log with text times ("2026-01-01 08:00:00",
// one a second) and a wavy value, for 100 000 and 1 000 000 rows, and times
//  1. DataLogSeries::read alone (best and median of 3 runs),
//  2. the decimation of all points to a 1000-pixel plot,
//  3. the log chart, offscreen: from the moment the reading starts until the chart has
//     been painted with the log (the pause that gathers a selection is left out), with
//     the longest pause of a 10 ms timer during it: how long the window could not repaint.
// Goal: under 1 s for 1 000 000 rows read and drawn.
// "bench_datalogchart ROWS..." uses other row counts.
#include "datalogchartwidget.h"
#include "datalogseries.h"

#include <QApplication>
#include <QChartView>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineSeries>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>

using Orvane::Tavrix::Common::DataLogSeries;
using Orvane::Tavrix::Designer::DataLogChartWidget;

namespace {

const QString LogName = QStringLiteral("Tank Level");

bool makeDatabase(const QString& path, int rows)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery query(db);
        ok = ok && query.exec(QStringLiteral("CREATE TABLE \"Tank Level\" (time TEXT, level REAL)"));
        db.transaction();
        ok = ok && query.prepare(QStringLiteral("INSERT INTO \"Tank Level\" VALUES (?, ?)"));
        const QDateTime start(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC);
        for (int i = 0; ok && i < rows; ++i) {
            query.addBindValue(start.addSecs(i).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            query.addBindValue(50.0 + 20.0 * std::sin(i / 3600.0) + (i % 97) * 0.01);
            ok = query.exec();
        }
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
    return ok;
}

qint64 median(QList<qint64> times)
{
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<int> counts;
    for (int i = 1; i < argc; ++i)
        counts << QString::fromLocal8Bit(argv[i]).toInt();
    if (counts.isEmpty())
        counts = { 100000, 1000000 };

    bool allFast = true;
    for (const int rows : std::as_const(counts)) {
        QTemporaryDir dir;
        const QString database = dir.filePath(QStringLiteral("dataLogging.txdb"));
        if (!makeDatabase(database, rows)) {
            std::fprintf(stderr, "could not build the test data log\n");
            return 1;
        }
        std::printf("data log: %d rows, database %lld bytes\n", rows, QFileInfo(database).size());

        QList<qint64> readTimes;
        DataLogSeries series;
        for (int run = 0; run < 3; ++run) {
            QElapsedTimer clock;
            clock.start();
            series = DataLogSeries::read(database, LogName);
            readTimes << clock.elapsed();
        }
        if (series.count() != rows || !series.error().isEmpty()) {
            std::fprintf(stderr, "read %d points of %d: %s\n", series.count(), rows, qPrintable(series.error()));
            return 1;
        }
        std::sort(readTimes.begin(), readTimes.end());
        QElapsedTimer clock;
        clock.start();
        const QList<QPointF> points = series.decimated(double(series.times().constFirst()), double(series.times().constLast()), 1000);
        const qint64 decimateUs = clock.nsecsElapsed() / 1000;
        std::printf("  DataLogSeries::read: best %lld ms, median %lld ms; decimation to 1000 columns: %lld us, %lld points\n",
                    readTimes.first(), median(readTimes), decimateUs, qint64(points.size()));

        // Through the chart: reading in its thread, then the lines, axes and the first paint.
        QList<qint64> chartTimes;
        qint64 longestPause = 0;
        for (int run = 0; run < 3; ++run) {
            DataLogChartWidget chart;
            chart.resize(1100, 600);
            chart.show();
            QElapsedTimer sinceTick;
            QTimer tick;
            tick.setInterval(10);
            QObject::connect(&tick, &QTimer::timeout, [&]() { longestPause = std::max(longestPause, sinceTick.restart()); });
            QEventLoop loop;
            qint64 drawnAfter = 0;
            QElapsedTimer total;
            QObject::connect(&chart, &DataLogChartWidget::loaded, &loop, [&]() {
                // Layout and the scene's updates are posted; the grab paints what they give.
                QCoreApplication::sendPostedEvents();
                QCoreApplication::processEvents();
                chart.chartView()->grab();
                drawnAfter = total.elapsed();
                loop.quit();
            });
            total.start();
            sinceTick.start();
            tick.start();
            chart.showLogs(database, { LogName });
            loop.exec();
            tick.stop();
            chartTimes << drawnAfter;
            if (!chart.lineSeries(0) || chart.lineSeries(0)->count() == 0) {
                std::fprintf(stderr, "the chart drew nothing\n");
                return 1;
            }
        }
        const qint64 drawn = median(chartTimes) - DataLogChartWidget::StartDelayMs;
        std::printf("  chart, from the choice of the log to the painted chart: median %lld ms, %lld ms without the %d ms pause "
                    "that gathers a selection; longest pause of the window %lld ms\n",
                    median(chartTimes), drawn, DataLogChartWidget::StartDelayMs, longestPause);
        const bool fast = drawn < 1000;
        allFast = allFast && fast;
        std::printf("  %s: read and drawn in %lld ms %s 1000 ms\n", fast ? "PASS" : "FAIL", drawn, fast ? "<" : ">=");
    }
    return allFast ? 0 : 1;
}
