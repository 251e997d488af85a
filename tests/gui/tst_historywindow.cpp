// The history window, offscreen: its filters (serial or name, operation, result, dates)
// list the right entries newest first, and the CSV export writes what is filtered; with a
// history server set up in its dialog, all stations' entries and the fleet.
#include "englishtexts.h"
#include "historymodel.h"
#include "historyserver.h"
#include "historyserverdialog.h"
#include "historywindow.h"
#include "postgresserver.h"
#include "servicehistory.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTableView>
#include <QTest>
#include <QUuid>

using Orvane::Tavrix::Common::FleetDevice;
using Orvane::Tavrix::Common::HistoryServer;
using Orvane::Tavrix::Common::ServiceHistory;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Designer::HistoryModel;
using Orvane::Tavrix::Designer::HistoryServerDialog;
using Orvane::Tavrix::Designer::HistoryWindow;

class TestHistoryWindow : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_data;
    HistoryWindow* m_window = nullptr;

    static void add(const QString& serial, const QString& name, ServiceRecord::Operation operation,
                    ServiceRecord::Outcome outcome, int day, const QString& message = QString())
    {
        ServiceRecord record;
        record.started = QDateTime(QDate(2026, 3, day), QTime(10, 0));
        if (outcome != ServiceRecord::Unfinished)
            record.ended = record.started.addSecs(60);
        record.serial = serial;
        record.name = name;
        record.model = QStringLiteral("QMX 70-A");
        record.versionBefore = QStringLiteral("2.1.6.2886");
        record.operation = operation;
        record.outcome = outcome;
        record.message = message;
        record.frontEnd = QStringLiteral("dovrel");
        QVERIFY(ServiceHistory::instance()->add(record) > 0);
    }

    QStringList shownColumn(int column) const
    {
        QStringList texts;
        for (int row = 0; row < m_window->model()->rowCount(); ++row)
            texts << m_window->model()->index(row, column).data().toString();
        return texts;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        qputenv("XDG_DATA_HOME", m_data.path().toLocal8Bit());
        // The settings outlive a run: no station name or server from an earlier one.
        ServiceHistory::setStationSetting(QString());
        ServiceHistory::setServerUriSetting(QString());
        useEnglishTexts();
        add(QStringLiteral("DV1"), QStringLiteral("Pump room"), ServiceRecord::Upload, ServiceRecord::Succeeded, 1);
        add(QStringLiteral("DV2"), QStringLiteral("Tank, \"north\""), ServiceRecord::Upgrade, ServiceRecord::Failed, 2,
            QStringLiteral("checksum, bad\nsecond line"));
        add(QStringLiteral("DV1"), QStringLiteral("Pump room"), ServiceRecord::LogFetch, ServiceRecord::TimedOut, 3);
        add(QStringLiteral("LAB100"), QStringLiteral("Lab 50%"), ServiceRecord::Reboot, ServiceRecord::Unfinished, 4);
        m_window = new HistoryWindow;
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
    }

    void cleanupTestCase()
    {
        delete m_window;
    }

    // A window showing part of a long list keeps reading; the program still writes its
    // entries after another process (dovrelctl) wrote one.
    void writingGoesOnWhileTheWindowReads()
    {
        for (int n = 0; n < 300; ++n)
            add(QStringLiteral("BULK"), QString(), ServiceRecord::Clock, ServiceRecord::Succeeded, 5);
        m_window->setDeviceFilter(QStringLiteral("BULK"));
        QVERIFY(m_window->model()->canFetchMore());
        ServiceHistory other(ServiceHistory::instance()->path());
        QVERIFY(other.open());
        ServiceRecord record;
        record.started = QDateTime::currentDateTime();
        record.serial = QStringLiteral("OTHER");
        record.operation = ServiceRecord::Clock;
        QVERIFY(other.add(record) > 0);
        record.serial = QStringLiteral("THIS");
        QVERIFY(ServiceHistory::instance()->add(record) > 0);
        m_window->setDeviceFilter(QStringLiteral("BULK"));
        QCOMPARE(m_window->countLabel()->text(), QStringLiteral("300 entries"));
        QSqlQuery removal(QSqlDatabase::database(other.connectionName()));
        QVERIFY(removal.exec(QStringLiteral("DELETE FROM entries WHERE serial IN ('BULK', 'OTHER', 'THIS')")));
        m_window->setDeviceFilter(QString());
    }

    void filtersListNewestFirst_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("operation");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QStringList>("serials");
        const QDate any(2000, 1, 1);
        const int all = ServiceRecord::NoOperation;
        QTest::newRow("everything") << "" << all << -1 << any << any << QStringList { "LAB100", "DV1", "DV2", "DV1" };
        QTest::newRow("serial, any case") << "dv1" << all << -1 << any << any << QStringList { "DV1", "DV1" };
        QTest::newRow("part of a name") << "north" << all << -1 << any << any << QStringList { "DV2" };
        QTest::newRow("percent sign is a letter") << "50%" << all << -1 << any << any << QStringList { "LAB100" };
        QTest::newRow("operation") << "" << int(ServiceRecord::Upgrade) << -1 << any << any << QStringList { "DV2" };
        QTest::newRow("result") << "" << all << int(ServiceRecord::TimedOut) << any << any << QStringList { "DV1" };
        QTest::newRow("unfinished") << "" << all << int(ServiceRecord::Unfinished) << any << any << QStringList { "LAB100" };
        QTest::newRow("days, both included") << "" << all << -1 << QDate(2026, 3, 2) << QDate(2026, 3, 3) << QStringList { "DV1", "DV2" };
        QTest::newRow("all together") << "pump" << int(ServiceRecord::Upload) << int(ServiceRecord::Succeeded) << QDate(2026, 3, 1)
                                      << QDate(2026, 3, 1) << QStringList { "DV1" };
        QTest::newRow("nothing") << "pump" << int(ServiceRecord::Upgrade) << -1 << any << any << QStringList {};
    }

    void filtersListNewestFirst()
    {
        QFETCH(QString, text);
        QFETCH(int, operation);
        QFETCH(int, outcome);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QStringList, serials);
        m_window->textFilter()->setText(text);
        m_window->operationFilter()->setCurrentIndex(m_window->operationFilter()->findData(operation));
        m_window->resultFilter()->setCurrentIndex(m_window->resultFilter()->findData(outcome));
        m_window->fromDate()->setDate(from);
        m_window->toDate()->setDate(to);
        // Typing is applied once it pauses.
        QTRY_COMPARE(shownColumn(ServiceHistory::SerialColumn), serials);
        QCOMPARE(m_window->countLabel()->text(), serials.size() == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(serials.size()));
    }

    void csvExportWritesTheFilteredRows()
    {
        m_window->setDeviceFilter(QString());
        m_window->operationFilter()->setCurrentIndex(0);
        m_window->fromDate()->setDate(QDate(2000, 1, 1));
        m_window->toDate()->setDate(QDate(2000, 1, 1));
        m_window->resultFilter()->setCurrentIndex(m_window->resultFilter()->findData(int(ServiceRecord::Failed)));
        QCOMPARE(shownColumn(ServiceHistory::ResultColumn), QStringList { "Failed" });
        const QString path = m_data.filePath(QStringLiteral("out/history.csv"));
        QDir().mkpath(m_data.filePath(QStringLiteral("out")));
        QVERIFY(m_window->exportCsv(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()),
                 QStringLiteral("Started,Ended,Serial number,Name,Model,Software before,Software after,Operation,Package,"
                                "SHA-256,Result,Message,Front end,Operator,Slot,Port\r\n"
                                "2026-03-02 10:00:00,2026-03-02 10:01:00,DV2,\"Tank, \"\"north\"\"\",QMX 70-A,2.1.6.2886,,"
                                "Software upgrade,,,Failed,\"checksum, bad\nsecond line\",dovrel,,,\r\n"));
        // The row's "History" shows its device alone.
        m_window->resultFilter()->setCurrentIndex(0);
        m_window->setDeviceFilter(QStringLiteral("LAB100"));
        QCOMPARE(shownColumn(ServiceHistory::ResultColumn), QStringList { "Unfinished" });
        QCOMPARE(shownColumn(ServiceHistory::OperationColumn), QStringList { "Reboot" });
    }

    // With a history server: every station's entries with their station, and the fleet
    // with the chosen device's entries below; a server gone is said in the window.
    void allStationsAndFleetComeFromTheServer()
    {
        PostgresServer server;
        QVERIFY2(server.start(), qPrintable(server.error()));
        HistoryServerDialog dialog;
        dialog.serverEdit()->setText(server.uri());
        dialog.stationEdit()->setText(QStringLiteral("bench-a"));
        dialog.testButton()->click();
        QTRY_COMPARE(dialog.statusLabel()->text(), QStringLiteral("The history server answers, and its tables are ready."));
        dialog.accept();
        QCOMPARE(ServiceHistory::serverUri(), server.uri());
        HistoryServer shared(server.uri());
        QCOMPARE(shared.sync(ServiceHistory::instance()).status, HistoryServer::Ready);
        ServiceRecord other;
        other.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        other.station = QStringLiteral("bench-b");
        other.started = QDateTime(QDate(2026, 3, 9), QTime(9, 0));
        other.serial = QStringLiteral("DV1");
        other.operation = ServiceRecord::Identify;
        other.revision = 1;
        QVERIFY(shared.send({ other }));

        m_window->setDeviceFilter(QString());
        m_window->setView(HistoryWindow::AllStations);
        QAbstractItemModel* shown = m_window->table()->model();
        QCOMPARE(shown->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Station"));
        QTRY_COMPARE(shown->rowCount(), 5);
        QCOMPARE(shown->index(0, 0).data().toString(), QStringLiteral("bench-b"));
        // Written before the station was named: under the host name.
        QCOMPARE(shown->index(1, 0).data().toString(), QSysInfo::machineHostName());
        QCOMPARE(m_window->countLabel()->text(), QStringLiteral("5 entries"));
        // The filters apply on the server as in the file.
        m_window->textFilter()->setText(QStringLiteral("pump"));
        QTRY_COMPARE(shown->rowCount(), 2);
        m_window->textFilter()->clear();
        m_window->fromDate()->setDate(QDate(2026, 3, 9));
        QTRY_COMPARE(shown->rowCount(), 1);
        m_window->fromDate()->setDate(QDate(2000, 1, 1));
        QTRY_COMPARE(shown->rowCount(), 5);

        m_window->setView(HistoryWindow::Fleet);
        QVERIFY(m_window->fleetTable()->isVisible());
        QTRY_COMPARE(m_window->fleetTable()->model()->rowCount(), 3);
        QCOMPARE(m_window->fleetTable()->model()->index(0, FleetDevice::OperationsColumn).data().toString(), QStringLiteral("3"));
        m_window->fleetTable()->selectRow(0);
        QTRY_COMPARE(shown->rowCount(), 3);
        for (int row = 0; row < 3; ++row)
            QCOMPARE(shown->index(row, 1 + ServiceHistory::SerialColumn).data().toString(), QStringLiteral("DV1"));

        QVERIFY(server.stop());
        m_window->applyFilter();
        QTRY_VERIFY2(m_window->countLabel()->text().contains(QStringLiteral("cannot be reached")), qPrintable(m_window->countLabel()->text()));
        m_window->setView(HistoryWindow::ThisStation);
        QCOMPARE(m_window->table()->model(), m_window->model());
    }
};

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
