// bench_historyserver: the shared history on a PostgreSQL server of its own (initdb and
// pg_ctl in a temporary folder, the way the tests start one), then times
//  1. the sync of one station's 10 000 unsent entries from its file to the server, a new
//     connection included;
//  2. the fleet over 100 000 entries of 20 stations (5 000 devices): every device, and
//     one device; the best and the median of 5 runs.
// Goals: the sync under 5 s, the fleet under 0.5 s.
// "bench_historyserver ENTRIES TOTAL" uses other counts; "--server URI" a server of yours
// (its tables must be empty or absent).
#include "historyserver.h"
#include "postgresserver.h"
#include "servicehistory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>
#include <cstdio>

using Orvane::Tavrix::Common::HistoryServer;
using Orvane::Tavrix::Common::ServiceHistory;
using Orvane::Tavrix::Common::ServiceRecord;

namespace {

constexpr int Stations = 20;
constexpr int Devices = 5000;

// Entry n of the fleet: stations and devices in turn, a minute apart.
ServiceRecord entryOf(int n, int station)
{
    static const QDateTime start = QDateTime::currentDateTimeUtc().addYears(-1);
    ServiceRecord record;
    record.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    record.station = QStringLiteral("station-%1").arg(station, 2, 10, QLatin1Char('0'));
    record.revision = 2;
    record.started = start.addSecs(60LL * n);
    record.ended = record.started.addSecs(40);
    record.serial = QStringLiteral("DV%1").arg(1000000 + n % Devices);
    record.name = QStringLiteral("Panel %1").arg(n % Devices);
    record.model = QStringLiteral("QMX 70-A");
    record.versionBefore = QStringLiteral("2.1.6.2886");
    record.operation = n % 3 ? ServiceRecord::Upload : ServiceRecord::Upgrade;
    record.packageName = QStringLiteral("line-%1.txdevproj").arg(n % 7);
    record.packageSha256 = QString(64, QLatin1Char('a'));
    record.outcome = n % 11 ? ServiceRecord::Succeeded : ServiceRecord::Failed;
    record.frontEnd = QStringLiteral("dovrelctl");
    return record;
}

// The station's file as a day's work would have left it: entries never sent.
bool fillStation(ServiceHistory* history, int entries)
{
    QSqlQuery query(QSqlDatabase::database(history->connectionName()));
    bool ok = query.exec(QStringLiteral("BEGIN"))
        && query.prepare(QStringLiteral("INSERT INTO entries (started, ended, serial, name, model, version_before, operation, "
                                        "package_name, package_sha256, outcome, front_end, uuid, station, revision) "
                                        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 2)"));
    for (int n = 0; ok && n < entries; ++n) {
        const ServiceRecord record = entryOf(n * Stations, 0);
        for (const QVariant& value : QVariantList { record.started.toMSecsSinceEpoch(), record.ended.toMSecsSinceEpoch(),
                                                    record.serial, record.name, record.model, record.versionBefore,
                                                    ServiceRecord::operationCode(record.operation), record.packageName,
                                                    record.packageSha256, ServiceRecord::outcomeCode(record.outcome),
                                                    record.frontEnd, record.uuid, record.station })
            query.addBindValue(value);
        ok = query.exec();
    }
    return ok && query.exec(QStringLiteral("COMMIT"));
}

// Best and median of five runs, in seconds.
template<typename Work>
QPair<double, double> timed(Work work)
{
    QList<double> seconds;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer clock;
        clock.start();
        work();
        seconds << clock.nsecsElapsed() / 1e9;
    }
    std::sort(seconds.begin(), seconds.end());
    return { seconds.first(), seconds.at(2) };
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString uri;
    if (const int at = int(args.indexOf(QStringLiteral("--server"))); at >= 0 && at + 1 < args.size()) {
        uri = args.at(at + 1);
        args.remove(at, 2);
    }
    const int entries = args.value(0, QStringLiteral("10000")).toInt();
    const int total = args.value(1, QStringLiteral("100000")).toInt();
    if (args.contains(QStringLiteral("--help")) || entries <= 0 || total < entries) {
        std::printf("Usage: bench_historyserver [--server URI] [ENTRIES [TOTAL]]\n");
        return 2;
    }

    PostgresServer own;
    if (uri.isEmpty()) {
        if (!own.start()) {
            std::fprintf(stderr, "No server: %s\n", qPrintable(own.error()));
            return 1;
        }
        uri = own.uri();
    }
    QTemporaryDir folder;
    ServiceHistory station(folder.filePath(QStringLiteral("history.sqlite")));
    HistoryServer others(uri);
    if (!station.open() || !fillStation(&station, entries)) {
        std::fprintf(stderr, "Cannot fill the station's history: %s\n", qPrintable(station.lastError()));
        return 1;
    }
    // The other stations' entries, there already.
    QList<ServiceRecord> batch;
    for (int n = 0; n < total; ++n) {
        if (n % Stations == 0 && n / Stations < entries)
            continue;
        batch << entryOf(n, 1 + n % (Stations - 1));
        if ((batch.size() == HistoryServer::BatchSize || n == total - 1) && !others.send(batch)) {
            std::fprintf(stderr, "%s\n", qPrintable(others.lastError()));
            return 1;
        }
        if (batch.size() == HistoryServer::BatchSize)
            batch.clear();
    }

    QElapsedTimer clock;
    clock.start();
    HistoryServer server(uri);
    const HistoryServer::SyncResult sync = server.sync(&station);
    const double syncSeconds = clock.nsecsElapsed() / 1e9;
    if (sync.status != HistoryServer::Ready || sync.sent != entries) {
        std::fprintf(stderr, "Sync failed: %s\n", qPrintable(sync.error));
        return 1;
    }
    std::printf("sync of %d unsent entries: %.2f s (goal under 5 s)\n", entries, syncSeconds);

    int devices = 0;
    const auto fleet = timed([&]() { devices = int(server.fleet().size()); });
    std::printf("fleet of %d entries, %d stations, %d devices: best %.3f s, median %.3f s (goal under 0.5 s)\n", total, Stations,
                devices, fleet.first, fleet.second);
    const auto one = timed([&]() { server.fleet(QStringLiteral("DV1000042")); });
    std::printf("fleet for one device: best %.4f s, median %.4f s\n", one.first, one.second);
    return 0;
}
