// The shared history on a real PostgreSQL server started by the test: two stations (two
// HOME folders) send their entries as they write them, at once; a third reads the fleet
// with dovrelctl; a server that is away while a station works, or restarts while it
// sends, loses nothing and stores nothing twice; a newer schema on it is refused.
#include "dovrelctlrun.h"
#include "emulator.h"
#include "postgresserver.h"
#include "servicehistorywriter.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using Orvane::Tavrix::Common::ServiceHistoryWriter;
using Orvane::Tavrix::Common::ServiceRecord;

namespace {

const char* const StationVariable = "DOVREL_TEST_STATION_ENTRIES";
const QDateTime Base = QDateTime(QDate(2026, 3, 2), QTime(8, 0), Qt::UTC);

// Entry n of a station, the same in the writing child and in the test's expectations:
// four devices, stations interleaved in time, every third operation failing.
ServiceRecord entry(int station, int n)
{
    ServiceRecord record;
    record.started = Base.addMSecs(n * 1000 + station * 100);
    record.ended = record.started.addMSecs(50);
    record.serial = QStringLiteral("FL%1").arg(n % 4 + 1);
    record.name = QStringLiteral("Panel %1").arg(n % 4 + 1);
    record.model = QStringLiteral("QMX 70-A");
    record.versionBefore = QStringLiteral("2.1.%1").arg(n);
    record.operation = n % 2 ? ServiceRecord::Upgrade : ServiceRecord::Upload;
    record.packageName = QStringLiteral("s%1-%2.pkg").arg(station).arg(n);
    record.outcome = n % 3 == 0 ? ServiceRecord::Failed : ServiceRecord::Succeeded;
    record.frontEnd = QStringLiteral("dovrelctl");
    return record;
}

// The child: "STATION,COUNT" writes COUNT entries through the history writer as operations
// do (a start, then its end) and ends; the writer sends them meanwhile and at the end.
int runStation(const QString& job)
{
    const int station = job.section(QLatin1Char(','), 0, 0).toInt();
    ServiceHistoryWriter* writer = ServiceHistoryWriter::instance();
    for (int n = 0; n < job.section(QLatin1Char(','), 1, 1).toInt(); ++n) {
        ServiceRecord record = entry(station, n);
        ServiceRecord started = record;
        started.ended = QDateTime();
        started.outcome = ServiceRecord::Unfinished;
        writer->end(writer->begin(started), record);
        QThread::msleep(5);
    }
    return 0;
}

} // namespace

class TestSharedHistory : public QObject
{
    Q_OBJECT
private:
    PostgresServer m_server;
    QTemporaryDir m_homes;

    // A station's environment: its own HOME, its name, the server.
    QMap<QString, QString> station(const QString& name) const
    {
        const QString home = m_homes.filePath(name);
        return { { "HOME", home }, { "XDG_DATA_HOME", home + "/data" }, { "XDG_CONFIG_HOME", home + "/config" },
                 { "DOVREL_STATION", name }, { "DOVREL_HISTORY_SERVER", m_server.uri() } };
    }

    QProcess* startStation(const QString& name, int number, int count)
    {
        auto* process = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QMap<QString, QString> vars = station(name);
        for (auto it = vars.begin(); it != vars.end(); ++it)
            env.insert(it.key(), it.value());
        env.insert(QString::fromLatin1(StationVariable), QStringLiteral("%1,%2").arg(number).arg(count));
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(QCoreApplication::applicationFilePath(), {});
        return process;
    }

    int serverCount(const QString& where = QStringLiteral("true"))
    {
        return m_server.value(QStringLiteral("SELECT count(*) FROM dovrel_entries WHERE %1").arg(where)).toInt();
    }

    // Every entry of the station's file counts as unsent again.
    void forgetSent(const QString& name)
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("forget"));
            db.setDatabaseName(m_homes.filePath(name + "/data/Kavendi/Lumatra/history.sqlite"));
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("UPDATE entries SET synced_revision = 0")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("forget"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
    }

    void withoutServerTheCommandsSaySo_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("fleet") << QStringList { "fleet" };
        QTest::newRow("all stations") << QStringList { "history", "--all-stations" };
        QTest::newRow("sync") << QStringList { "history", "sync" };
    }

    void withoutServerTheCommandsSaySo()
    {
        QFETCH(QStringList, args);
        QMap<QString, QString> env = station(QStringLiteral("alone"));
        env.insert(QStringLiteral("DOVREL_HISTORY_SERVER"), QString());
        const DovrelctlRun run = DovrelctlRun::start(QStringList { "--json" } + args, env);
        QVERIFY2(run.isFailure(2), qPrintable(run.describe()));
        QVERIFY(run.json.value("error").toString().contains("DOVREL_HISTORY_SERVER"));
    }

    void twoStationsWriteAtOnceAndAThirdSeesTheFleet()
    {
        const int count = 60;
        QProcess* first = startStation(QStringLiteral("line-1"), 1, count);
        QProcess* second = startStation(QStringLiteral("line-2"), 2, count);
        QVERIFY(first->waitForFinished(60000) && second->waitForFinished(60000));
        QCOMPARE(first->exitCode() + second->exitCode(), 0);
        // Sent by the writers themselves, each entry once, each in its final form.
        QCOMPARE(serverCount(), 2 * count);
        QCOMPARE(m_server.value("SELECT count(DISTINCT uuid) FROM dovrel_entries").toInt(), 2 * count);
        QCOMPARE(serverCount("station = 'line-2' AND outcome IS NOT NULL"), count);

        const QMap<QString, QString> office = station(QStringLiteral("office"));
        const DovrelctlRun fleet = DovrelctlRun::start({ "--json", "fleet" }, office);
        QVERIFY2(fleet.exitCode == 0, qPrintable(fleet.describe()));
        const QJsonArray devices = fleet.json.value("devices").toArray();
        QCOMPARE(devices.size(), 4);
        for (int device = 0; device < 4; ++device) {
            // The newest entry of the device is the last n with n % 4 == device, at station 2;
            // its last successful upload the last even such n not divisible by 3.
            const int last = count - 4 + device;
            int upload = last % 2 ? -1 : last;
            while (upload >= 0 && upload % 3 == 0)
                upload -= 4;
            const QJsonObject line = devices.at(device).toObject();
            QCOMPARE(line.value("serial").toString(), QStringLiteral("FL%1").arg(device + 1));
            QCOMPARE(line.value("station").toString(), QStringLiteral("line-2"));
            QCOMPARE(line.value("software").toString(), entry(2, last).versionBefore);
            QCOMPARE(line.value("operation").toString(), ServiceRecord::operationCode(entry(2, last).operation));
            QCOMPARE(line.value("result").toString(), ServiceRecord::outcomeCode(entry(2, last).outcome));
            QCOMPARE(line.value("time").toString(), entry(2, last).started.toString(Qt::ISODateWithMs));
            QCOMPARE(line.value("project").toString(), upload < 0 ? QString() : entry(2, upload).packageName);
            QCOMPARE(line.value("operations").toInt(), 2 * count / 4);
        }
        const DovrelctlRun one = DovrelctlRun::start({ "fleet", "--serial", "FL3" }, office);
        QCOMPARE(one.out.count('\n'), 1);
        QVERIFY2(one.out.startsWith("FL3\tPanel 3\tQMX 70-A\t"), one.out.constData());

        const DovrelctlRun entries = DovrelctlRun::start({ "--json", "history", "--all-stations", "--serial", "FL1" }, office);
        QVERIFY2(entries.exitCode == 0, qPrintable(entries.describe()));
        const QJsonArray list = entries.json.value("entries").toArray();
        QCOMPARE(list.size(), 2 * count / 4);
        QCOMPARE(list.first().toObject().value("station").toString(), QStringLiteral("line-2"));
        QCOMPARE(list.at(1).toObject().value("station").toString(), QStringLiteral("line-1"));
    }

    void serverAwayWhileAStationWorks()
    {
        const QMap<QString, QString> env = station(QStringLiteral("away"));
        DeviceEmulator device;
        QVERIFY(device.start());
        QVERIFY(m_server.stop());
        const DovrelctlRun clock = DovrelctlRun::start({ "--port", device.portPath(), "--quiet", "sync-clock", "--offset", "60" }, env);
        QVERIFY2(clock.exitCode == 0, qPrintable(clock.describe()));
        QCOMPARE(clock.err.count("cannot be reached"), 1);
        const DovrelctlRun away = DovrelctlRun::start({ "--json", "history", "sync" }, env);
        QVERIFY2(away.isFailure(3), qPrintable(away.describe()));
        QCOMPARE(away.json.value("pending").toInt(), 1);

        // Back, and restarted while a station sends.
        QVERIFY(m_server.start());
        QProcess* writing = startStation(QStringLiteral("away"), 3, 200);
        QTest::qWait(300);
        QVERIFY(m_server.stop() && m_server.start());
        QVERIFY(writing->waitForFinished(60000));
        const DovrelctlRun back = DovrelctlRun::start({ "--json", "history", "sync" }, env);
        QVERIFY2(back.exitCode == 0, qPrintable(back.describe()));
        QCOMPARE(back.json.value("pending").toInt(), 0);
        QCOMPARE(serverCount("station = 'away'"), 201);
        QCOMPARE(serverCount("station = 'away' AND operation = 'clock' AND outcome = 'succeeded'"), 1);
        const DovrelctlRun again = DovrelctlRun::start({ "--json", "history", "sync" }, env);
        QCOMPARE(again.json.value("sent").toInt(), 0);
        // Everything sent once more is still stored once.
        forgetSent(QStringLiteral("away"));
        const DovrelctlRun resent = DovrelctlRun::start({ "--json", "history", "sync" }, env);
        QCOMPARE(resent.json.value("sent").toInt(), 201);
        QCOMPARE(serverCount("station = 'away'"), 201);
    }

    // An older history is upgraded in place, its entries kept: before the shared history
    // each old entry gets a UUID and the station; before operator and slot, the next entry
    // has them, and a server of that time gets their columns too. Everything is sent.
    void oldHistoryIsUpgradedAndSent_data()
    {
        QTest::addColumn<int>("version");
        QTest::newRow("before the shared history") << 1;
        QTest::newRow("before operator and slot") << 3;
    }
    void oldHistoryIsUpgradedAndSent()
    {
        QFETCH(int, version);
        const QString name = QStringLiteral("old%1").arg(version);
        const QString path = m_homes.filePath(name + QStringLiteral("/data/Kavendi/Lumatra/history.sqlite"));
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec("CREATE TABLE entries (id INTEGER PRIMARY KEY, started INTEGER NOT NULL, ended INTEGER, "
                               "serial TEXT NOT NULL, name TEXT, model TEXT, version_before TEXT, version_after TEXT, "
                               "operation TEXT NOT NULL, package_name TEXT, package_sha256 TEXT, outcome TEXT, "
                               "message TEXT, front_end TEXT, restarts INTEGER NOT NULL DEFAULT 0)"));
            const QStringList later = { "uuid TEXT", "station TEXT", "revision INTEGER NOT NULL DEFAULT 1",
                                        "synced_revision INTEGER NOT NULL DEFAULT 0", "signature_key_id TEXT", "signature_status TEXT" };
            for (const QString& column : later) {
                if (version >= 3)
                    QVERIFY(query.exec(QStringLiteral("ALTER TABLE entries ADD COLUMN ") + column));
            }
            for (int n = 0; n < 3; ++n)
                QVERIFY(query.exec(QStringLiteral("INSERT INTO entries (started, serial, operation, outcome%2) "
                                                  "VALUES (%1, 'OLD1', 'reboot', 'succeeded'%3)")
                                       .arg(Base.toMSecsSinceEpoch() + n)
                                       .arg(version >= 3 ? QStringLiteral(", uuid, station") : QString(),
                                            version >= 3 ? QStringLiteral(", lower(hex(randomblob(16))), '%1'").arg(name) : QString())));
            QVERIFY(query.exec(QStringLiteral("PRAGMA user_version = %1").arg(version)));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("old"));
        if (version == 3) {
            m_server.value("ALTER TABLE dovrel_entries DROP COLUMN operator, DROP COLUMN slot, DROP COLUMN port");
            QVERIFY(m_server.value("UPDATE dovrel_schema SET version = 1 RETURNING version").isValid());
            DeviceEmulator device;
            QVERIFY(device.start());
            const DovrelctlRun clock = DovrelctlRun::start({ "--port", device.portPath(), "--operator", "Ana Line", "--quiet", "sync-clock",
                                                             "--offset", "60" }, station(name));
            QVERIFY2(clock.exitCode == 0, qPrintable(clock.describe()));
            QCOMPARE(m_server.value("SELECT operator || ' ' || port FROM dovrel_entries WHERE station = 'old3' AND operation = 'clock'").toString(),
                     QStringLiteral("Ana Line ") + device.portPath());
        }
        const DovrelctlRun sync = DovrelctlRun::start({ "--json", "history", "sync" }, station(name));
        QVERIFY2(sync.exitCode == 0, qPrintable(sync.describe()));
        QCOMPARE(m_server.value(QStringLiteral("SELECT count(DISTINCT uuid) FROM dovrel_entries WHERE station = '%1' AND serial = 'OLD1'").arg(name)).toInt(), 3);
        QCOMPARE(m_server.value("SELECT max(version) FROM dovrel_schema").toInt(), 2);
    }

    // Last: it leaves the server's tables to a newer program.
    void newerSchemaIsRefusedAndLeftAlone()
    {
        QVERIFY(m_server.value("UPDATE dovrel_schema SET version = 3 RETURNING version").isValid());
        const int before = serverCount();
        const QString received = m_server.value("SELECT max(received)::text FROM dovrel_entries").toString();
        forgetSent(QStringLiteral("line-1"));
        const DovrelctlRun sync = DovrelctlRun::start({ "--json", "history", "sync" }, station(QStringLiteral("line-1")));
        QVERIFY2(sync.isFailure(1), qPrintable(sync.describe()));
        QVERIFY2(sync.json.value("error").toString().contains("newer program (version 3"), qPrintable(sync.describe()));
        QCOMPARE(sync.json.value("pending").toInt(), 60);
        const DovrelctlRun fleet = DovrelctlRun::start({ "--json", "fleet" }, station(QStringLiteral("line-1")));
        QVERIFY2(fleet.isFailure(1), qPrintable(fleet.describe()));
        QCOMPARE(serverCount(), before);
        QCOMPARE(m_server.value("SELECT max(received)::text FROM dovrel_entries").toString(), received);
        QCOMPARE(m_server.value("SELECT string_agg(version::text, ',') FROM dovrel_schema").toString(), QStringLiteral("3"));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (qEnvironmentVariableIsSet(StationVariable))
        return runStation(qEnvironmentVariable(StationVariable));
    TestSharedHistory test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sharedhistory.moc"
