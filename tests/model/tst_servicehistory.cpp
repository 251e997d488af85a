// The service history file: a file that cannot be used is set aside and a new one started,
// unless another process has it open; two processes create it and write at once without
// losing an entry; a writer killed mid-write leaves a readable file.
#include "servicehistory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using Orvane::Tavrix::Common::ServiceHistory;
using Orvane::Tavrix::Common::ServiceRecord;

namespace {

const char* const WriterVariable = "DOVREL_TEST_HISTORY_WRITER";

// What an operation writes: its start, then its end.
bool writeEntry(ServiceHistory& history, const QString& serial, int n)
{
    ServiceRecord record;
    record.started = QDateTime::currentDateTimeUtc();
    record.serial = serial;
    record.name = QStringLiteral("Entry %1").arg(n);
    record.operation = ServiceRecord::Upload;
    record.frontEnd = QStringLiteral("test");
    record.id = history.add(record);
    record.ended = QDateTime::currentDateTimeUtc();
    record.outcome = ServiceRecord::Succeeded;
    return record.id > 0 && history.finish(record);
}

// The child process: "PATH,SERIAL,COUNT" writes COUNT entries of SERIAL.
int runWriter(const QString& job)
{
    const QStringList parts = job.split(QLatin1Char(','));
    ServiceHistory history(parts.value(0));
    if (!history.open())
        return 2;
    for (int n = 0; n < parts.value(2).toInt(); ++n) {
        if (!writeEntry(history, parts.value(1), n))
            return 1;
    }
    return 0;
}

void makeSqlite(const QString& path, const QStringList& statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("maker"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery query(db);
        for (const QString& statement : statements)
            query.exec(statement);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("maker"));
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestServiceHistory : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;

    QProcess* startWriter(const QString& path, const QString& serial, int count)
    {
        auto* process = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(WriterVariable), QStringLiteral("%1,%2,%3").arg(path, serial).arg(count));
        process->setProcessEnvironment(env);
        process->start(QCoreApplication::applicationFilePath(), {});
        return process;
    }

private slots:
    void unusableFileIsSetAside_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("asideAs"); // empty: kept and used
        QTest::newRow("not a database") << "text" << "unreadable";
        QTest::newRow("newer version") << "newer" << "newer";
        QTest::newRow("someone else's database") << "foreign" << "unreadable";
        QTest::newRow("empty file") << "empty" << "";
        QTest::newRow("ours") << "ours" << "";
    }

    void unusableFileIsSetAside()
    {
        QFETCH(QString, kind);
        QFETCH(QString, asideAs);
        const QString path = m_dir.filePath(QStringLiteral("aside-%1/history.sqlite").arg(kind));
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (kind == QLatin1String("text")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("not a database\n").repeated(300));
        } else if (kind == QLatin1String("newer")) {
            makeSqlite(path, { QStringLiteral("CREATE TABLE entries (x)"),
                               QStringLiteral("PRAGMA user_version = %1").arg(ServiceHistory::SchemaVersion + 1) });
        } else if (kind == QLatin1String("foreign")) {
            makeSqlite(path, { QStringLiteral("CREATE TABLE readings (t, v)") });
        } else if (kind == QLatin1String("empty")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else {
            ServiceHistory earlier(path);
            QVERIFY(earlier.open());
            QVERIFY(writeEntry(earlier, QStringLiteral("OLD1"), 0));
        }
        const QByteArray before = contentOf(path);

        ServiceHistory history(path);
        QVERIFY2(history.open(), qPrintable(history.lastError()));
        if (asideAs.isEmpty()) {
            QVERIFY(history.setAsidePath().isEmpty());
            QCOMPARE(history.count({}), kind == QLatin1String("ours") ? 1 : 0);
        } else {
            // Renamed, never deleted: the old content is all there, and the user is told.
            QVERIFY2(QFileInfo(history.setAsidePath()).fileName().startsWith(QStringLiteral("history.sqlite.%1-").arg(asideAs)),
                     qPrintable(history.setAsidePath()));
            QCOMPARE(contentOf(history.setAsidePath()), before);
            QVERIFY(history.setAsideMessage().contains(QDir::toNativeSeparators(history.setAsidePath())));
            QCOMPARE(history.count({}), 0);
        }
        QVERIFY(writeEntry(history, QStringLiteral("NEW1"), 1));
        QCOMPARE(history.entries({}).first().serial, QStringLiteral("NEW1"));
    }

    // A file that another process has open (a newer version using it, maybe) stays where
    // it is; once closed, it is set aside.
    void fileOpenElsewhereIsNotSetAside()
    {
        const QString path = m_dir.filePath(QStringLiteral("held/history.sqlite"));
        QDir().mkpath(QFileInfo(path).absolutePath());
        makeSqlite(path, { QStringLiteral("PRAGMA user_version = %1").arg(ServiceHistory::SchemaVersion + 1) });
        QProcess holder;
        holder.setStandardInputFile(path);
        holder.start(QStringLiteral("sleep"), { QStringLiteral("60") });
        QVERIFY(holder.waitForStarted(10000));
        ServiceHistory history(path);
        QVERIFY(!history.open());
        QVERIFY2(history.lastError().contains(QStringLiteral("another process")), qPrintable(history.lastError()));
        QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files), QStringList { QStringLiteral("history.sqlite") });
        holder.kill();
        QVERIFY(holder.waitForFinished(10000));
        QVERIFY(history.open());
        QVERIFY(QFileInfo(history.setAsidePath()).fileName().startsWith(QStringLiteral("history.sqlite.newer-")));
    }

    // Two programs started at once both create the history: neither takes the other's
    // half-made file for someone else's, and every entry is kept.
    void twoStartsCreateOneHistory()
    {
        for (int round = 0; round < 20; ++round) {
            const QString path = m_dir.filePath(QStringLiteral("starts/%1/history.sqlite").arg(round));
            const std::unique_ptr<QProcess> first(startWriter(path, QStringLiteral("FIRST"), 2));
            const std::unique_ptr<QProcess> second(startWriter(path, QStringLiteral("SECOND"), 2));
            QVERIFY(first->waitForFinished(30000) && second->waitForFinished(30000));
            QCOMPARE(first->exitCode() + second->exitCode(), 0);
            const QStringList aside = QFileInfo(path).dir().entryList(QDir::Files).filter(QStringLiteral(".sqlite."));
            QVERIFY2(aside.isEmpty(), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(aside.join(QLatin1Char(' ')))));
            ServiceHistory history(path);
            QVERIFY(history.open());
            QCOMPARE(history.count({}), 4);
        }
    }

    // Each writer waits for the other's transaction instead of failing.
    void twoWritersLoseNothing()
    {
        const QString path = m_dir.filePath(QStringLiteral("two/history.sqlite"));
        {
            ServiceHistory history(path);
            QVERIFY(history.open());
        }
        QProcess* first = startWriter(path, QStringLiteral("AAA"), 150);
        QProcess* second = startWriter(path, QStringLiteral("BBB"), 150);
        QVERIFY(first->waitForFinished(60000));
        QVERIFY(second->waitForFinished(60000));
        QCOMPARE(first->exitCode(), 0);
        QCOMPARE(second->exitCode(), 0);
        ServiceHistory history(path);
        QVERIFY(history.open());
        ServiceHistory::Filter filter;
        for (const char* serial : { "AAA", "BBB" }) {
            filter.serial = QString::fromLatin1(serial);
            const QList<ServiceRecord> entries = history.entries(filter);
            QCOMPARE(entries.size(), 150);
            for (const ServiceRecord& entry : entries)
                QCOMPARE(entry.outcome, ServiceRecord::Succeeded);
        }
    }

    void killedWriterLeavesReadableFile()
    {
        const QString path = m_dir.filePath(QStringLiteral("killed/history.sqlite"));
        ServiceHistory history(path);
        QVERIFY(history.open());
        QProcess* writer = startWriter(path, QStringLiteral("KKK"), 1000000);
        QTRY_VERIFY_WITH_TIMEOUT(history.count({}) >= 50, 30000);
        writer->kill();
        QVERIFY(writer->waitForFinished(10000));
        const int written = history.count({});
        history.close();

        ServiceHistory again(path);
        QVERIFY(again.open());
        QVERIFY(again.setAsidePath().isEmpty());
        QSqlQuery check(QSqlDatabase::database(again.connectionName()));
        QVERIFY(check.exec(QStringLiteral("PRAGMA integrity_check")) && check.next());
        QCOMPARE(check.value(0).toString(), QStringLiteral("ok"));
        QVERIFY(again.count({}) >= written);
        QVERIFY(writeEntry(again, QStringLiteral("AFTER"), 0));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (qEnvironmentVariableIsSet(WriterVariable))
        return runWriter(qEnvironmentVariable(WriterVariable));
    TestServiceHistory test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_servicehistory.moc"
