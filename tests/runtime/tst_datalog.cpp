// Data log retrieval and update against the emulated device.
#include "connecteddevice.h"
#include "testutil.h"

#include "localizationhelper.h"
#include "operationresult.h"
#include "serialportmanager.h"
#include "watchdogtimeouts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

// A device home with a data log of the given content.
QString makeDeviceRoot(const QTemporaryDir& dir, const QByteArray& dataLog)
{
    const QString root = dir.filePath(QStringLiteral("device"));
    QDir().mkpath(root + QStringLiteral("/tmp"));
    QDir().mkpath(root + QStringLiteral("/qml/project"));
    writeFile(root + QStringLiteral("/qml/project/main.qml"), "Item { }");
    if (!dataLog.isNull())
        writeFile(root + QStringLiteral("/qml/dataLogging.txdb"), dataLog);
    return root;
}

const QString ZipOnDevice = QStringLiteral("/home/DuDov_ODU/qml/dataLogging.txdb.zip");

} // namespace

class TestDataLog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void retrievalStoresZip_data();
    void retrievalStoresZip();
    void noDataLog_data();
    void noDataLog();
    void unwritableDestinationReportsError();
    void sizeReplyParsing_data();
    void sizeReplyParsing();
    void updateReplacesDatabase();
    void updateWithEmptyDatabaseSendsNothing();
    void updateTakesItsBytesAtStart();
    void failedUpdatePutsDeviceLogBack_data();
    void failedUpdatePutsDeviceLogBack();
    void unconfirmedRestartEndsAsSuccess_data();
    void unconfirmedRestartEndsAsSuccess();
    void silentZipTimesOut();
};

void TestDataLog::initTestCase()
{
    // Several cases keep the device silent until a time-out; the real intervals are checked in tst_watchdogtimeouts.
    useShortTimeouts();
}

void TestDataLog::cleanup()
{
    SerialPortManager* manager = SerialPortManager::instance();
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isSerialPortOpen(), 10000);
    QCOMPARE(manager->currentOperation(), 0);
    QVERIFY(!manager->isBusy());
}

void TestDataLog::retrievalStoresZip_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("plain") << QString();
    // The device sends more than it announced: only the announced bytes are kept.
    QTest::newRow("overshoot") << "overshoot:3000";
}

void TestDataLog::retrievalStoresZip()
{
    QFETCH(QString, fault);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = makeDeviceRoot(dir, randomBytes(5000, 21));
    const QString destination = dir.filePath(QStringLiteral("logs"));
    const QString target = destination + QStringLiteral("/dataLogging.txdb.zip");
    QVERIFY(writeFile(target, "an older zip to be replaced"));

    QStringList args = { QStringLiteral("--root"), root };
    if (!fault.isEmpty())
        args << QStringLiteral("--fault") << fault;
    ConnectedDevice device;
    QVERIFY(startDevice(device, args));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy done(manager, &SerialPortManager::retrievedDataLogFile);
    QSignalSpy noFile(manager, &SerialPortManager::retrieveDataLogNoFile);
    QSignalSpy failed(manager, &SerialPortManager::retrieveDataLogError);
    QSignalSpy sent(manager, &SerialPortManager::sentFile);
    QSignalSpy initialize(manager, &SerialPortManager::initializeRetrieve);

    QVERIFY(manager->retrieveDataLogFile(destination));
    QVERIFY(done.wait(30000) || done.count() == 1);
    QCOMPARE(noFile.count(), 0);
    QCOMPARE(failed.count(), 0);
    QCOMPARE(sequenceCommands(device),
             QStringList({ QStringLiteral("#UNIX<ls qml/dataLogging.txdb>#"), QStringLiteral("#MODE<2>#"), QStringLiteral("#LOGZ#"),
                           QStringLiteral("#GETF<%1>#").arg(ZipOnDevice), QStringLiteral("#BOOT#") }));
    const QByteArray zip = readFile(root + QStringLiteral("/qml/dataLogging.txdb.zip"));
    QVERIFY(!zip.isEmpty());
    QCOMPARE(readFile(target), zip);
    QCOMPARE(sent.count(), 1);
    QCOMPARE(sent.at(0).at(0).toString(), rt("Received log file %1...").arg(QStringLiteral("dataLogging.txdb.zip")));
    QCOMPARE(sent.at(0).at(1).toInt(), 0);
    QCOMPARE(initialize.count(), 1);
    QCOMPARE(initialize.at(0).at(1).toInt(), 1);
}

void TestDataLog::noDataLog_data()
{
    QTest::addColumn<bool>("hasLog");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("commands");
    // "<ZIPL:ERR>": nothing to zip.
    QTest::newRow("no log") << false << QString()
                            << QStringList({ QStringLiteral("#UNIX<ls qml/dataLogging.txdb>#"), QStringLiteral("#UNIX<ls qml/dataLoggingBk.txdb>#"), QStringLiteral("#MODE<2>#"), QStringLiteral("#LOGZ#"),
                                             QStringLiteral("#BOOT#") });
    // "<GETF:ERR>": letters instead of a size.
    QTest::newRow("size letters") << true << QStringLiteral("error:GETF")
                                  << QStringList({ QStringLiteral("#UNIX<ls qml/dataLogging.txdb>#"), QStringLiteral("#MODE<2>#"), QStringLiteral("#LOGZ#"),
                                                   QStringLiteral("#GETF<%1>#").arg(ZipOnDevice), QStringLiteral("#BOOT#") });
}

void TestDataLog::noDataLog()
{
    QFETCH(bool, hasLog);
    QFETCH(QString, fault);
    QFETCH(QStringList, commands);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = makeDeviceRoot(dir, hasLog ? QByteArray("log") : QByteArray());
    const QString destination = dir.filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkpath(destination));

    QStringList args = { QStringLiteral("--root"), root };
    if (!fault.isEmpty())
        args << QStringLiteral("--fault") << fault;
    ConnectedDevice device;
    QVERIFY(startDevice(device, args));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy done(manager, &SerialPortManager::retrievedDataLogFile);
    QSignalSpy noFile(manager, &SerialPortManager::retrieveDataLogNoFile);

    QVERIFY(manager->retrieveDataLogFile(destination));
    QVERIFY(done.wait(30000) || done.count() == 1);
    QCOMPARE(noFile.count(), 1);
    QCOMPARE(sequenceCommands(device), commands);
    QVERIFY(!QFileInfo::exists(destination + QStringLiteral("/dataLogging.txdb.zip")));
}

// The zip cannot be stored: an error, the port closed, no reboot.
void TestDataLog::unwritableDestinationReportsError()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = makeDeviceRoot(dir, randomBytes(3000, 23));
    const QString blocker = dir.filePath(QStringLiteral("not-a-folder"));
    QVERIFY(writeFile(blocker, "a file where the destination folder should be"));

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--root"), root }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy done(manager, &SerialPortManager::retrievedDataLogFile);
    QSignalSpy failed(manager, &SerialPortManager::retrieveDataLogError);

    QVERIFY(manager->retrieveDataLogFile(blocker));
    QVERIFY(failed.wait(30000) || failed.count() == 1);
    QTest::qWait(200);
    QCOMPARE(done.count(), 0);
    QVERIFY(!manager->isSerialPortOpen());
    const QStringList commands = sequenceCommands(device);
    QVERIFY(!commands.contains(QStringLiteral("#BOOT#")));
    QVERIFY(!commands.contains(QStringLiteral("#UNIX<reboot>#")));
    QCOMPARE(readFile(blocker), QByteArray("a file where the destination folder should be"));
}

void TestDataLog::sizeReplyParsing_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<int>("size");
    QTest::newRow("number") << "<GETF:2048>" << 2048;
    QTest::newRow("spaces") << "  <GETF: 17 >\r\n" << 17;
    QTest::newRow("zero") << "<GETF:0>" << 0;
    QTest::newRow("letters") << "<GETF:ERR>" << -1;
    QTest::newRow("no colon") << "<GETF>" << -1;
}

void TestDataLog::sizeReplyParsing()
{
    QFETCH(QString, reply);
    QFETCH(int, size);
    QCOMPARE(SerialPortManager::parseFileSizeReply(reply), size);
}

void TestDataLog::updateReplacesDatabase()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = makeDeviceRoot(dir, "the old log");
    const QByteArray edited = randomBytes(5000, 22);
    const QString source = dir.filePath(QStringLiteral("logs/dataLogging.txdb"));
    QVERIFY(writeFile(source, edited));

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--root"), root }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy error(manager, &SerialPortManager::progressError);
    QSignalSpy finished(manager, &SerialPortManager::progressFinished);
    QSignalSpy ended(manager, &SerialPortManager::operationEnded);
    QSignalSpy updated(manager, &SerialPortManager::progressUpdated);

    QVERIFY(manager->updateLogFile(source));
    // The update ends when the device acknowledged the reboot.
    QVERIFY(ended.wait(60000) || ended.count() == 1);
    QTest::qWait(200);
    QCOMPARE(ended.count(), 1);
    const auto result = ended.at(0).at(0).value<OperationResult>();
    QCOMPARE(result.kind, OperationResult::DataLogUpdate);
    QCOMPARE(result.outcome, OperationResult::Succeeded);
    QVERIFY(result.deviceRestarts);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!manager->isSerialPortOpen());
    QCOMPARE(error.count(), 0);
    QCOMPARE(sum(updated), int(edited.size()));
    QCOMPARE(sequenceCommands(device),
             QStringList({ QStringLiteral("#UNIX<ls qml/dataLogging.txdb>#"), QStringLiteral("#MODE<1>#"),
                           QStringLiteral("#UNIX<mv qml/dataLogging.txdb qml/dataLoggingBk.txdb>#"),
                           QStringLiteral("#LOAD<dataLogging.txdb>5000#"),
                           QStringLiteral("#UNIX<ls -r ./qml>#"),
                           QStringLiteral("#UNIX<ls -r ./tmp>#"),
                           QStringLiteral("#UNIX<mv tmp/dataLogging.txdb qml/dataLogging.txdb>#"),
                           QStringLiteral("#UNIX<rm qml/dataLoggingBk.txdb>#"),
                           QStringLiteral("#BOOT#") }));
    QCOMPARE(readFile(root + QStringLiteral("/qml/dataLogging.txdb")), edited);
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/qml/dataLoggingBk.txdb")));
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/tmp/dataLogging.txdb")));
}

// An empty database is refused before the device is touched: its log stays where it is,
// and a stale staged file could never be installed in its place.
void TestDataLog::updateWithEmptyDatabaseSendsNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = makeDeviceRoot(dir, "the old log");
    const QString source = dir.filePath(QStringLiteral("logs/dataLogging.txdb"));
    QVERIFY(writeFile(source, QByteArray()));
    QVERIFY(writeFile(root + QStringLiteral("/tmp/dataLogging.txdb"), QByteArray("stale")));

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--root"), root }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy error(manager, &SerialPortManager::progressError);
    const QStringList before = sequenceCommands(device);

    manager->updateLogFile(source);
    QCOMPARE(error.count(), 1);
    QCOMPARE(error.at(0).at(0).toString(), rt("The data log file %1 is empty or cannot be read.").arg(source));
    QCOMPARE(error.at(0).at(1).toBool(), false);
    manager->updateLogFile(dir.filePath(QStringLiteral("missing.txdb")));
    QCOMPARE(error.count(), 2);
    QTest::qWait(300);
    QCOMPARE(sequenceCommands(device), before);
    QVERIFY(!manager->isSerialPortOpen());
    QCOMPARE(readFile(root + QStringLiteral("/qml/dataLogging.txdb")), QByteArray("the old log"));
}

// The log window's folder may be removed while the update runs: the bytes taken at the start
// are installed, never a stale file the device still holds in its staging folder.
void TestDataLog::updateTakesItsBytesAtStart()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = makeDeviceRoot(dir, "the old log");
    QVERIFY(writeFile(root + QStringLiteral("/tmp/dataLogging.txdb"), QByteArray("stale")));
    const QByteArray edited = randomBytes(6000, 31);
    const QString source = dir.filePath(QStringLiteral("logs/dataLogging.txdb"));
    QVERIFY(writeFile(source, edited));

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--root"), root }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy ended(manager, &SerialPortManager::operationEnded);
    QVERIFY(manager->updateLogFile(source));
    QVERIFY(QDir(dir.filePath(QStringLiteral("logs"))).removeRecursively());
    QVERIFY(ended.wait(60000) || ended.count() == 1);
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.at(0).at(0).value<OperationResult>().outcome, OperationResult::Succeeded);
    QCOMPARE(readFile(root + QStringLiteral("/qml/dataLogging.txdb")), edited);
    QVERIFY(sequenceCommands(device).contains(QStringLiteral("#LOAD<dataLogging.txdb>6000#")));
}

// A step after the device's log was moved aside fails: the log is put back before the error.
void TestDataLog::failedUpdatePutsDeviceLogBack_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("outcome");
    QTest::newRow("transfer cancelled") << "cancel:2" << int(OperationResult::Failed);
    QTest::newRow("file refused") << "silent:LOAD" << int(OperationResult::TimedOut);
    QTest::newRow("install silent") << "silent:UNIX<mv tmp/dataLogging.txdb" << int(OperationResult::TimedOut);
}

void TestDataLog::failedUpdatePutsDeviceLogBack()
{
    QFETCH(QString, fault);
    QFETCH(int, outcome);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray original = randomBytes(4000, 32);
    const QString root = makeDeviceRoot(dir, original);
    QVERIFY(writeFile(root + QStringLiteral("/tmp/dataLogging.txdb"), QByteArray("stale")));
    const QString source = dir.filePath(QStringLiteral("logs/dataLogging.txdb"));
    QVERIFY(writeFile(source, randomBytes(5000, 33)));

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--root"), root, QStringLiteral("--fault"), fault }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy ended(manager, &SerialPortManager::operationEnded);
    QSignalSpy error(manager, &SerialPortManager::progressError);
    QSignalSpy finished(manager, &SerialPortManager::progressFinished);
    // The log is back in its place by the time anyone hears of the failure.
    QByteArray logWhenReported;
    connect(manager, &SerialPortManager::progressError, this,
            [&]() { logWhenReported = readFile(root + QStringLiteral("/qml/dataLogging.txdb")); });
    QVERIFY(manager->updateLogFile(source));
    QVERIFY(ended.wait(60000) || ended.count() == 1);
    QTest::qWait(300);
    disconnect(manager, &SerialPortManager::progressError, this, nullptr);
    QCOMPARE(ended.count(), 1);
    QCOMPARE(int(ended.at(0).at(0).value<OperationResult>().outcome), outcome);
    QCOMPARE(error.count(), 1);
    QCOMPARE(finished.count(), 0);
    QCOMPARE(logWhenReported, original);
    QCOMPARE(readFile(root + QStringLiteral("/qml/dataLogging.txdb")), original);
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/qml/dataLoggingBk.txdb")));
    QVERIFY(sequenceCommands(device).contains(QStringLiteral("#UNIX<mv qml/dataLoggingBk.txdb qml/dataLogging.txdb>#")));
}

// The closing restart is not confirmed (silent, or the cable pulled): the log is already in place
// or received, so the operation succeeded and says the restart was not confirmed.
void TestDataLog::unconfirmedRestartEndsAsSuccess_data()
{
    QTest::addColumn<bool>("update");
    QTest::addColumn<QString>("fault");
    QTest::newRow("update, silent") << true << "silent:BOOT";
    QTest::newRow("update, unplugged") << true << "unplug:BOOT";
    QTest::newRow("retrieval, silent") << false << "silent:BOOT";
    QTest::newRow("retrieval, unplugged") << false << "unplug:BOOT";
}

void TestDataLog::unconfirmedRestartEndsAsSuccess()
{
    QFETCH(bool, update);
    QFETCH(QString, fault);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = makeDeviceRoot(dir, randomBytes(3000, 34));
    const QByteArray edited = randomBytes(2500, 35);
    const QString source = dir.filePath(QStringLiteral("logs/dataLogging.txdb"));
    QVERIFY(writeFile(source, edited));

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--root"), root, QStringLiteral("--fault"), fault }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy ended(manager, &SerialPortManager::operationEnded);
    QSignalSpy error(manager, &SerialPortManager::progressError);
    QSignalSpy finished(manager, &SerialPortManager::progressFinished);
    QSignalSpy retrieved(manager, &SerialPortManager::retrievedDataLogFile);
    QVERIFY(update ? manager->updateLogFile(source) : manager->retrieveDataLogFile(dir.path()));
    QVERIFY(ended.wait(60000) || ended.count() == 1);
    QTest::qWait(300);
    QCOMPARE(ended.count(), 1);
    const auto result = ended.at(0).at(0).value<OperationResult>();
    QCOMPARE(result.outcome, OperationResult::Succeeded);
    QVERIFY(result.deviceRestarts);
    QCOMPARE(error.count(), 0);
    if (update) {
        QCOMPARE(result.message, rt("The files are installed, but the device did not confirm its restart."));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(readFile(root + QStringLiteral("/qml/dataLogging.txdb")), edited);
    } else {
        QCOMPARE(result.message, rt("The files were received, but the device did not confirm its restart."));
        QCOMPARE(retrieved.count(), 1);
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("dataLogging.txdb.zip"))).size() > 0);
    }
    if (fault.startsWith(QLatin1String("unplug")))
        QVERIFY(device.waitForRemoval());
}

// Zipping may take long, but a device that never answers "#LOGZ#" must free the port.
void TestDataLog::silentZipTimesOut()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = makeDeviceRoot(dir, randomBytes(3000, 36));
    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--root"), root, QStringLiteral("--fault"), QStringLiteral("silent:LOGZ") }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy ended(manager, &SerialPortManager::operationEnded);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(manager->retrieveDataLogFile(dir.path()));
    QVERIFY(device.emulator().waitForCommand(QStringLiteral("#LOGZ#"), 10000));
    // Generous: two minutes for the device to zip (shortened here by the test hook; the wait
    // must still last the whole scaled interval, not end at a step's ordinary time-out).
    using Orvane::Tavrix::Runtime::WatchdogTimeouts;
    const int zipWait = WatchdogTimeouts::scaled(WatchdogTimeouts::DataLogZipMsecs);
    QVERIFY(zipWait >= 5 * WatchdogTimeouts::scaled(6000));
    QVERIFY(!ended.wait(zipWait * 5 / 6));
    QVERIFY(ended.wait(60000) || ended.count() == 1);
    QVERIFY(timer.elapsed() >= zipWait * 95 / 100); // a coarse timer may fire up to 5 % early
    QCOMPARE(ended.count(), 1);
    const auto result = ended.at(0).at(0).value<OperationResult>();
    QCOMPARE(result.outcome, OperationResult::TimedOut);
    QCOMPARE(result.message, rt("The connection timed out while retrieving data log from the device."));
    QVERIFY(device.emulator().waitForCommand(QStringLiteral("#UNIX<reboot>#"), 5000));
}

QTEST_GUILESS_MAIN(TestDataLog)
#include "tst_datalog.moc"
