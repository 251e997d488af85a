#include "datalogexporter.h"
#include "ziphelper.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QSettings>
#include <QTest>

using namespace Orvane::Tavrix::Common;

class TestDataLogExporter : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_count = 0;

    // A database with the given tables; rows are the values of the first two columns.
    QString database(const QMap<QString, QList<QStringList>>& tables, int columns = 2)
    {
        const QString path = m_dir.filePath(QStringLiteral("db%1.txdb").arg(++m_count));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("maker"));
            db.setDatabaseName(path);
            if (!db.open())
                return QString();
            QSqlQuery query(db);
            for (auto it = tables.constBegin(); it != tables.constEnd(); ++it) {
                const QString name = DataLogExporter::quotedIdentifier(it.key());
                query.exec(columns == 1 ? QStringLiteral("CREATE TABLE %1 (a)").arg(name)
                                        : QStringLiteral("CREATE TABLE %1 (a, b, c)").arg(name));
                for (const QStringList& row : it.value()) {
                    query.prepare(columns == 1 ? QStringLiteral("INSERT INTO %1 VALUES (?)").arg(name)
                                               : QStringLiteral("INSERT INTO %1 VALUES (?, ?, 'extra')").arg(name));
                    for (const QString& value : row)
                        query.addBindValue(value);
                    query.exec();
                }
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("maker"));
        return path;
    }

    static QByteArray read(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray("<missing>");
        return file.readAll();
    }

private slots:
    // The texts are compared in English whatever the machine's language.
    void initTestCase()
    {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"), QStringLiteral("Lumatra"))
            .setValue(QStringLiteral("language"), QStringLiteral("en"));
    }

    void listsLogsInNaturalOrderWithoutInternalTable()
    {
        DataLogExporter exporter(database({ { "Item10", {} }, { "Item2", {} }, { "_log", {} }, { "Tank Level", {} }, { "alpha", {} } }));
        QCOMPARE(exporter.logNames(), (QStringList { "alpha", "Item2", "Item10", "Tank Level" }));
        DataLogExporter only(database({ { "_log", {} } }));
        QVERIFY(only.open());
        QVERIFY(only.logNames().isEmpty());
    }

    void exportsNamesThatNeedQuoting_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("blank") << "Tank Level";
        QTest::newRow("accent") << "Température";
        QTest::newRow("quote") << "say \"hi\"";
        QTest::newRow("keyword") << "select";
    }

    void exportsNamesThatNeedQuoting()
    {
        QFETCH(QString, name);
        DataLogExporter exporter(database({ { name, { { "2026-01-01 00:00", "1.5" }, { "a,b", "été" } } } }));
        QTemporaryDir out;
        QString file;
        QCOMPARE(exporter.exportLog(name, out.path(), false, &file), DataLogExporter::Exported);
        QCOMPARE(QFileInfo(file).fileName(), name.contains(QLatin1Char('"')) ? QStringLiteral("say %22hi%22.txt") : name + QStringLiteral(".txt"));
        // Unquoted fields, UTF-8, no header, numbered from 1.
        QCOMPARE(read(file), QStringLiteral("1,2026-01-01 00:00,1.5\n2,a,b,été\n").toUtf8());
        QVERIFY(exporter.dropLog(name));
        QVERIFY(!exporter.logNames().contains(name));
    }

    void singleColumnGivesEmptyThirdField()
    {
        DataLogExporter exporter(database({ { "one", { { "x" }, { "y" } } } }, 1));
        QTemporaryDir out;
        QString file;
        QCOMPARE(exporter.exportLog(QStringLiteral("one"), out.path(), false, &file), DataLogExporter::Exported);
        QCOMPARE(read(file), QByteArray("1,x,\n2,y,\n"));
    }

    void unsafeNamesStayInsideTheFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("parent") << "../escape" << "..%2Fescape.txt";
        QTest::newRow("dotdot") << ".." << "...txt";
        QTest::newRow("device name") << "con.1" << "%63on.1.txt";
        QTest::newRow("absolute") << "/tmp/x" << "%2Ftmp%2Fx.txt";
        QTest::newRow("backslash") << "..\\..\\x" << "..%5C..%5Cx.txt";
        QTest::newRow("percent kept apart") << "a%2Fb" << "a%252Fb.txt";
        QTest::newRow("newline") << "a\nb" << "a%0Ab.txt";
    }

    void unsafeNamesStayInsideTheFolder()
    {
        QFETCH(QString, name);
        QFETCH(QString, fileName);
        QCOMPARE(DataLogExporter::fileNameForLog(name), fileName);
        QTemporaryDir root;
        const QString out = root.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        DataLogExporter exporter(database({ { name, { { "1", "2" } } } }));
        QString file;
        QCOMPARE(exporter.exportLog(name, out, false, &file), DataLogExporter::Exported);
        QCOMPARE(QFileInfo(file).absolutePath(), QDir(out).absolutePath());
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList { fileName });
        QCOMPARE(QDir(root.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

    // Distinct logs get distinct files through one exporter; a file written for one
    // log is never replaced by another's that the folder maps onto it.
    void exportFileNamesNeverCollide()
    {
        const QStringList names = { ".", "_.", "..", "_..", "a ", "_a ", "a/b", "a%2Fb", "CON", "%43ON", "x", "y" };
        QMap<QString, QList<QStringList>> tables;
        for (const QString& name : names)
            tables.insert(name, { { name, "1" } });
        DataLogExporter exporter(database(tables));
        QTemporaryDir out;
        // As a folder that folds letter cases would: "y.txt" names "x.txt" too.
        QVERIFY(QFile::link(out.filePath(QStringLiteral("x.txt")), out.filePath(QStringLiteral("y.txt"))));
        for (const QString& name : names) {
            QString file;
            QCOMPARE(exporter.exportLog(name, out.path(), true, &file), name == "y" ? DataLogExporter::Failed : DataLogExporter::Exported);
            QCOMPARE(read(file), QStringLiteral("1,%1,1\n").arg(name == "y" ? "x" : name).toUtf8());
        }
        QVERIFY(exporter.lastError().contains(QStringLiteral("is the file just written for the log \"x\"")));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), names.size());
    }

    // A folder nothing can be written to (even by root) and a full file system.
    void unwritableDestinationFails_data()
    {
        QTest::addColumn<QStringList>("make");
        QTest::addColumn<QStringList>("undo");
        QTest::newRow("immutable folder") << QStringList { "chattr", "+i" } << QStringList { "chattr", "-i" };
        QTest::newRow("full file system") << QStringList { "mount", "-t", "tmpfs", "-o", "size=16k", "tmpfs" } << QStringList { "umount" };
    }

    void unwritableDestinationFails()
    {
        QFETCH(QStringList, make);
        QFETCH(QStringList, undo);
        QTemporaryDir out;
        if (QProcess::execute(make.first(), make.mid(1) << out.path()) != 0)
            QSKIP("this machine cannot make such a folder");
        const auto guard = qScopeGuard([&]() { QProcess::execute(undo.first(), undo.mid(1) << out.path()); });
        DataLogExporter exporter(database({ { "big", QList<QStringList>(1000, { "2026-01-01 00:00:00", QString(40, 'v') }) } }));
        QString file;
        QCOMPARE(exporter.exportLog(QStringLiteral("big"), out.path(), false, &file), DataLogExporter::Failed);
        QVERIFY2(exporter.lastError().startsWith(QStringLiteral("\"%1\" could not be written: ").arg(file)), qPrintable(exporter.lastError()));
        QVERIFY(QDir(out.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void existingFileIsKeptUnlessOverwriting()
    {
        DataLogExporter exporter(database({ { "log", { { "1", "2" } } } }));
        QTemporaryDir out;
        const QString target = out.filePath(QStringLiteral("log.txt"));
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep me");
        file.close();
        QCOMPARE(exporter.exportLog(QStringLiteral("log"), out.path(), false), DataLogExporter::AlreadyExists);
        QCOMPARE(read(target), QByteArray("keep me"));
        QCOMPARE(exporter.exportLog(QStringLiteral("log"), out.path(), true), DataLogExporter::Exported);
        QCOMPARE(read(target), QByteArray("1,1,2\n"));
    }

    void missingTableFailsWithoutFile()
    {
        DataLogExporter exporter(database({ { "log", {} } }));
        QTemporaryDir out;
        QCOMPARE(exporter.exportLog(QStringLiteral("nope"), out.path(), false), DataLogExporter::Failed);
        QVERIFY(QDir(out.path()).entryList(QDir::Files).isEmpty());
    }

    void notADatabase()
    {
        const QString path = m_dir.filePath(QStringLiteral("fake.txdb"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("SQLite format 3") + QByteArray(200, 'x'));
        file.close();
        DataLogExporter exporter(path);
        QVERIFY(!exporter.open());
        QVERIFY(exporter.logNames().isEmpty());
    }

    void unpacksRetrievedZip()
    {
        QTemporaryDir folder;
        const QString db = database({ { "log", { { "1", "2" } } } });
        QVERIFY(QFile::copy(db, folder.filePath(QStringLiteral("src/dataLogging.txdb"))) || (QDir().mkpath(folder.filePath(QStringLiteral("src")))
                                                                                           && QFile::copy(db, folder.filePath(QStringLiteral("src/dataLogging.txdb")))));
        QVERIFY(ZipHelper::zipWithDirectoryContents(folder.filePath(QStringLiteral("src")), folder.filePath(QStringLiteral("dataLogging.txdb.zip")), false));
        QString path;
        QVERIFY(DataLogExporter::unpackRetrievedLog(folder.path(), &path));
        DataLogExporter exporter(path);
        QCOMPARE(exporter.logNames(), QStringList { "log" });

        // A zip below 140 bytes holds no data log.
        QTemporaryDir small;
        QFile tiny(small.filePath(QStringLiteral("dataLogging.txdb.zip")));
        QVERIFY(tiny.open(QIODevice::WriteOnly));
        tiny.write(QByteArray(100, 'z'));
        tiny.close();
        QVERIFY(!DataLogExporter::unpackRetrievedLog(small.path()));
    }

    void summaries()
    {
        QCOMPARE(DataLogExporter::exportSummary(1), QStringLiteral("Successfully retrieved 1 logged file"));
        QCOMPARE(DataLogExporter::exportSummary(0), QStringLiteral("Successfully retrieved 0 logged files"));
        QCOMPARE(DataLogExporter::clearSummary(DataLogExporter::exportSummary(2), 2),
                 QStringLiteral("Successfully retrieved 2 logged files\nSuccessfully cleared 2 logged files"));
        const QString written = DataLogExporter::writtenFilesText(QStringLiteral("/out"), QStringList(12, QStringLiteral("/out/Log.txt")));
        QVERIFY(written.startsWith(QStringLiteral("Written to /out:\nLog.txt\n")) && written.endsWith(QStringLiteral("Log.txt\nand 2 more")));
        QCOMPARE(DataLogExporter::destinationFolder(QStringLiteral("  /data/logs/ ")), QStringLiteral("/data/logs"));
        QCOMPARE(DataLogExporter::destinationFolder(QStringLiteral("~/logs")), QDir::homePath() + QStringLiteral("/logs"));
        QCOMPARE(DataLogExporter::destinationFolder(QStringLiteral("logs/../today"), QStringLiteral("/base")), QStringLiteral("/base/today"));
    }
};

QTEST_GUILESS_MAIN(TestDataLogExporter)
#include "tst_datalogexporter.moc"
