// bench_history: fills a service history of 100 000 entries (500 devices, a year of
// operations) in a folder of its own, then times
//  1. what an entry costs an operation: handing its start and its end to the writer's
//     thread, and, apart, what the thread spends on them (two transactions with full
//     syncs), mean and worst of 200; and the SHA-256 of a package per MB (also on that thread);
//  2. the history window, offscreen: opened and painted with the newest rows, then
//     filtered by one device's serial number, by a part of a name and by operation,
//     each until the filtered rows have been painted.
// Goals: an entry costs under 5 ms; the filtered rows are shown in under 200 ms.
// "bench_history ENTRIES" uses another count.
#include "historymodel.h"
#include "historywindow.h"
#include "servicehistory.h"
#include "servicehistorywriter.h"

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using Orvane::Tavrix::Common::ServiceHistory;
using Orvane::Tavrix::Common::ServiceHistoryWriter;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Designer::HistoryWindow;

namespace {

QString serialOf(int device)
{
    return QStringLiteral("DV%1").arg(1000000 + device);
}

// Many entries in one transaction: how a year of work would have filled the file.
bool fill(ServiceHistory* history, int entries)
{
    QSqlDatabase db = QSqlDatabase::database(history->connectionName());
    QSqlQuery query(db);
    bool ok = query.exec(QStringLiteral("BEGIN"));
    ok = ok && query.prepare(QStringLiteral("INSERT INTO entries (started, ended, serial, name, model, version_before, "
                                            "version_after, operation, package_name, package_sha256, outcome, message, "
                                            "front_end, restarts) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QList<ServiceRecord::Operation> operations = ServiceRecord::operations();
    const qint64 yearAgo = QDateTime::currentMSecsSinceEpoch() - 365LL * 24 * 3600 * 1000;
    QRandomGenerator random(30);
    for (int i = 0; ok && i < entries; ++i) {
        const int device = int(random.bounded(500));
        const ServiceRecord::Operation operation = operations.at(int(random.bounded(qsizetype(operations.size()))));
        const qint64 started = yearAgo + qint64(i) * (365LL * 24 * 3600 * 1000 / entries);
        const bool package = operation == ServiceRecord::Upload || operation == ServiceRecord::Upgrade;
        query.addBindValue(started);
        query.addBindValue(started + 30000);
        query.addBindValue(serialOf(device));
        query.addBindValue(QStringLiteral("Pump room %1").arg(device));
        query.addBindValue(QStringLiteral("QMX 70-A"));
        query.addBindValue(QStringLiteral("2.1.6.2886"));
        query.addBindValue(QStringLiteral("2.1.6.2886"));
        query.addBindValue(ServiceRecord::operationCode(operation));
        query.addBindValue(package ? QStringLiteral("project-%1.txdevproj").arg(i % 40) : QString());
        query.addBindValue(package ? QString(64, QLatin1Char('a')) : QString());
        query.addBindValue(ServiceRecord::outcomeCode(i % 17 == 0 ? ServiceRecord::TimedOut : ServiceRecord::Succeeded));
        query.addBindValue(QString());
        query.addBindValue(QStringLiteral("dovrel"));
        query.addBindValue(1);
        ok = query.exec();
    }
    return query.exec(QStringLiteral("COMMIT")) && ok;
}

struct Spread
{
    double mean = 0;
    double median = 0;
    double worst = 0;
};

Spread spread(QList<double> times)
{
    std::sort(times.begin(), times.end());
    Spread result;
    for (double time : std::as_const(times))
        result.mean += time / times.size();
    result.median = times.at(times.size() / 2);
    result.worst = times.last();
    return result;
}

// The filter applied and the rows painted, in ms.
double timeFilter(HistoryWindow* window, const std::function<void()>& set)
{
    QElapsedTimer timer;
    timer.start();
    set();
    window->applyFilter();
    window->table()->viewport()->repaint();
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    // The history goes to this folder's data location, not the user's.
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int entries = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;

    ServiceHistory* history = ServiceHistory::instance();
    if (!history || !history->isOpen()) {
        std::fprintf(stderr, "the history could not be opened\n");
        return 1;
    }
    QElapsedTimer timer;
    timer.start();
    if (!fill(history, entries)) {
        std::fprintf(stderr, "the history could not be filled\n");
        return 1;
    }
    std::printf("%d entries written in one transaction: %.0f ms\n", entries, timer.nsecsElapsed() / 1e6);

    // An operation's entry: written at its start, completed at its end, by the writer's
    // thread. The operation pays for handing the entry over; the thread for the disk.
    ServiceHistoryWriter* writer = ServiceHistoryWriter::instance();
    QList<double> handOver;
    QList<double> onDisk;
    for (int i = 0; i < 200; ++i) {
        ServiceRecord record;
        record.started = QDateTime::currentDateTimeUtc();
        record.serial = serialOf(7);
        record.name = QStringLiteral("Pump room 7");
        record.operation = ServiceRecord::Upload;
        record.packageName = QStringLiteral("project.txdevproj");
        record.frontEnd = QStringLiteral("bench");
        timer.restart();
        const qint64 token = writer->begin(record);
        record.ended = QDateTime::currentDateTimeUtc();
        record.outcome = ServiceRecord::Succeeded;
        writer->end(token, record);
        handOver << timer.nsecsElapsed() / 1e6;
        writer->flush();
        onDisk << timer.nsecsElapsed() / 1e6;
    }
    const Spread given = spread(handOver);
    const Spread written = spread(onDisk);
    std::printf("an entry as the operation pays for it (handed to the writer at start and end): mean %.3f ms, worst %.3f ms\n",
                given.mean, given.worst);
    std::printf("an entry on the disk (two synced transactions on the writer's thread): mean %.2f ms, median %.2f ms, worst %.2f ms\n",
                written.mean, written.median, written.worst);
    const QByteArray package(32 * 1024 * 1024, 'x');
    timer.restart();
    QCryptographicHash::hash(package, QCryptographicHash::Sha256);
    std::printf("SHA-256 of a package (on the writer's thread too): %.1f ms per MB\n", timer.nsecsElapsed() / 1e6 / 32);

    timer.restart();
    HistoryWindow window;
    window.show();
    window.table()->viewport()->repaint();
    std::printf("window opened with the newest %d rows painted: %.1f ms (%s)\n", int(window.model()->rowCount()),
                timer.nsecsElapsed() / 1e6, qPrintable(window.countLabel()->text()));

    const double bySerial = timeFilter(&window, [&window]() { window.setDeviceFilter(serialOf(123)); });
    std::printf("filtered by serial number %s: %.1f ms (%s)\n", qPrintable(serialOf(123)), bySerial,
                qPrintable(window.countLabel()->text()));
    const double byName = timeFilter(&window, [&window]() { window.setDeviceFilter(QStringLiteral("room 45")); });
    std::printf("filtered by a part of a name (\"room 45\"): %.1f ms (%s)\n", byName, qPrintable(window.countLabel()->text()));
    const double byOperation = timeFilter(&window, [&window]() {
        window.setDeviceFilter(QString());
        window.operationFilter()->setCurrentIndex(window.operationFilter()->findData(int(ServiceRecord::Upgrade)));
    });
    std::printf("filtered by operation (upgrades): %.1f ms (%s)\n", byOperation, qPrintable(window.countLabel()->text()));
    const bool met = bySerial < 200 && given.worst < 5;
    std::printf("goals (filtered rows under 200 ms, an entry under 5 ms): %s\n", met ? "met" : "missed");
    return 0;
}
