// Project retrieval against the emulated device: list parsing, fetching, where files
// may be written, and how the retrieval ends when the device misbehaves.
#include "connecteddevice.h"
#include "testutil.h"
#include "ptydevice.h"

#include "localizationhelper.h"
#include "serialportmanager.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

// A device home whose installed project holds the given files.
QString makeDeviceRoot(const QTemporaryDir& dir, const QMap<QString, QByteArray>& projectFiles)
{
    const QString root = dir.filePath(QStringLiteral("device"));
    QDir().mkpath(root + QStringLiteral("/tmp"));
    QDir().mkpath(root + QStringLiteral("/qml/project"));
    for (auto it = projectFiles.cbegin(); it != projectFiles.cend(); ++it)
        writeFile(root + QStringLiteral("/qml/project/") + it.key(), it.value());
    return root;
}

} // namespace

class TestProjectRetrieval : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void onlyNonQmlFilesAreFetched();
    void subFoldersAreCreated();
    void listSplitAcrossReadsIsJoined();
    void listWithNothingToFetchFinishes();
    void unsafeNamesAreRefused_data();
    void unsafeNamesAreRefused();
    void malformedEntryEndsWithError();
    void emptyFileOnDeviceEndsWithError();
    void listWithoutEndTimesOut();
};

void TestProjectRetrieval::cleanup()
{
    SerialPortManager* manager = SerialPortManager::instance();
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isSerialPortOpen(), 10000);
    QCOMPARE(manager->currentOperation(), 0);
    QVERIFY(!manager->isBusy());
}

void TestProjectRetrieval::onlyNonQmlFilesAreFetched()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray image = randomBytes(2000, 11);
    const QString root = makeDeviceRoot(dir, { { QStringLiteral("main.qml"), "Item { }" }, { QStringLiteral("image.png"), image } });
    const QString destination = dir.filePath(QStringLiteral("copy"));
    QVERIFY(QDir().mkpath(destination));

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--root"), root }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy done(manager, &SerialPortManager::retrievedProjectFiles);
    QSignalSpy failed(manager, &SerialPortManager::retrieveProjectError);
    QSignalSpy initialize(manager, &SerialPortManager::initializeRetrieve);
    QSignalSpy initiated(manager, &SerialPortManager::sendingFileInitiated);
    QSignalSpy sent(manager, &SerialPortManager::sentFile);

    QVERIFY(manager->retrieveProjectFiles(destination));
    QVERIFY(done.wait(30000) || done.count() == 1);
    QCOMPARE(failed.count(), 0);
    QCOMPARE(sequenceCommands(device),
             QStringList({ QStringLiteral("#GPFL#"), QStringLiteral("#GETF</home/DuDov_ODU/qml/project/image.png>#"),
                           QStringLiteral("#BOOT#") }));
    QCOMPARE(filesBelow(destination), QStringList({ QStringLiteral("image.png") }));
    QCOMPARE(readFile(destination + QStringLiteral("/image.png")), image);

    QCOMPARE(initialize.count(), 2);
    QCOMPARE(initialize.at(0).at(0).toString(), rt("Initializing retrieve device software..."));
    QCOMPARE(initialize.at(0).at(1).toInt(), 0);
    QCOMPARE(initialize.at(1).at(0).toString(), rt("Waiting for device to send file information..."));
    QCOMPARE(initialize.at(1).at(1).toInt(), 1);
    QCOMPARE(initiated.count(), 1);
    QCOMPARE(initiated.at(0).at(1).toInt(), image.size());
    // The last file is not announced with sentFile.
    QCOMPARE(sent.count(), 0);
}

void TestProjectRetrieval::subFoldersAreCreated()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QMap<QString, QByteArray> project = {
        { QStringLiteral("main.qml"), "Item { }" },
        { QStringLiteral("screens/second.qml"), "Item { }" },
        { QStringLiteral("images/logo.png"), randomBytes(1500, 12) },
        { QStringLiteral("images/icons/small_icon_with_a_long_name.png"), randomBytes(300, 13) },
        { QStringLiteral("data/table.bin"), randomBytes(1024, 14) },
    };
    const QString root = makeDeviceRoot(dir, project);
    const QString destination = dir.filePath(QStringLiteral("copy"));
    const QString existing = destination + QStringLiteral("/images/logo.png");
    QVERIFY(writeFile(existing, "an older copy"));

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--root"), root }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy done(manager, &SerialPortManager::retrievedProjectFiles);
    QSignalSpy failed(manager, &SerialPortManager::retrieveProjectError);
    QSignalSpy sent(manager, &SerialPortManager::sentFile);

    QVERIFY(manager->retrieveProjectFiles(destination));
    QVERIFY(done.wait(60000) || done.count() == 1);
    QCOMPARE(failed.count(), 0);
    QStringList expected;
    for (auto it = project.cbegin(); it != project.cend(); ++it) {
        if (!it.key().endsWith(QLatin1String("qml")))
            expected << it.key();
    }
    expected.sort();
    QCOMPARE(filesBelow(destination), expected);
    for (const QString& name : expected)
        QCOMPARE(readFile(destination + QLatin1Char('/') + name), project.value(name));

    // sentFile for every file but the last, numbered from 1.
    QCOMPARE(sent.count(), expected.size() - 1);
    for (int i = 0; i < sent.count(); ++i) {
        QCOMPARE(sent.at(i).at(1).toInt(), i + 1);
        QStringList announced;
        for (const QString& name : expected)
            announced << rt("Received project file %1...").arg(name);
        QVERIFY(announced.contains(sent.at(i).at(0).toString()));
    }
    const QStringList commands = sequenceCommands(device);
    QCOMPARE(commands.first(), QStringLiteral("#GPFL#"));
    QCOMPARE(commands.last(), QStringLiteral("#BOOT#"));
    QCOMPARE(commands.filter(QStringLiteral("#GETF<")).size(), expected.size());
}

// The list arrives in pieces that cut an entry and even its opening token.
void TestProjectRetrieval::listSplitAcrossReadsIsJoined()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PtyDevice device;
    QVERIFY(device.open());
    QVERIFY(device.connectToManager());
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy failed(manager, &SerialPortManager::retrieveProjectError);
    QSignalSpy initialize(manager, &SerialPortManager::initializeRetrieve);

    QVERIFY(manager->retrieveProjectFiles(dir.path()));
    QVERIFY(device.waitForReceived("#GPFL#"));
    device.clearReceived();
    for (const QByteArray& piece : { QByteArray("<GPFL_0:8:main.qml><GP"), QByteArray("FL_1:9:ima"),
                                     QByteArray("ge.png><GPFL_2:12:"), QByteArray("images/a.png><GPFL_END>") }) {
        device.write(piece);
        QTest::qWait(150);
    }
    QVERIFY(device.waitForReceived("#GETF</home/DuDov_ODU/qml/project/image.png>#"));
    QCOMPARE(initialize.count(), 2);
    QCOMPARE(initialize.at(1).at(1).toInt(), 2);
    // A size of 0 means nothing to receive: the retrieval fails without a reboot.
    device.write("<GETF:0>");
    QVERIFY(failed.wait(10000) || failed.count() == 1);
    QTest::qWait(200);
    QVERIFY(!device.received().contains("#BOOT#"));
    QVERIFY(!manager->isSerialPortOpen());
}

// Only .qml files: nothing to fetch, the retrieval still ends, with the reboot.
void TestProjectRetrieval::listWithNothingToFetchFinishes()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = makeDeviceRoot(dir, { { QStringLiteral("main.qml"), "Item { }" } });
    const QString destination = dir.filePath(QStringLiteral("copy"));
    QVERIFY(QDir().mkpath(destination));

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--root"), root }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy done(manager, &SerialPortManager::retrievedProjectFiles);
    QSignalSpy failed(manager, &SerialPortManager::retrieveProjectError);

    QVERIFY(manager->retrieveProjectFiles(destination));
    QVERIFY(done.wait(30000) || done.count() == 1);
    QCOMPARE(failed.count(), 0);
    QCOMPARE(sequenceCommands(device), QStringList({ QStringLiteral("#GPFL#"), QStringLiteral("#BOOT#") }));
    QVERIFY(filesBelow(destination).isEmpty());
}

void TestProjectRetrieval::unsafeNamesAreRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("parent") << "../evil.png";
    QTest::newRow("nested parent") << "images/../../evil.png";
    QTest::newRow("absolute") << "/tmp/evil.png";
    QTest::newRow("backslash parent") << "..\\evil.png";
}

void TestProjectRetrieval::unsafeNamesAreRefused()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = makeDeviceRoot(dir, {});
    const QString destination = dir.filePath(QStringLiteral("a/copy"));
    QVERIFY(QDir().mkpath(destination));
    // The device lists a name that climbs out of the destination, before its own (empty) list.
    QString escaped = name;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\x5c"));
    const QString entry = QStringLiteral("<GPFL_0:%1:%2>").arg(name.size()).arg(escaped);

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--root"), root, QStringLiteral("--fault"), QStringLiteral("garbage:GPFL:") + entry }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy done(manager, &SerialPortManager::retrievedProjectFiles);
    QSignalSpy failed(manager, &SerialPortManager::retrieveProjectError);

    QVERIFY(manager->retrieveProjectFiles(destination));
    QVERIFY(failed.wait(30000) || failed.count() == 1);
    QCOMPARE(done.count(), 0);
    QTest::qWait(200);
    QCOMPARE(sequenceCommands(device), QStringList({ QStringLiteral("#GPFL#") }));
    QVERIFY(filesBelow(dir.filePath(QStringLiteral("a"))).isEmpty());
    QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/evil.png")));
}

// A length that does not match its name: the list cannot be trusted, nothing is fetched.
void TestProjectRetrieval::malformedEntryEndsWithError()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = makeDeviceRoot(dir, { { QStringLiteral("image.png"), "png" } });
    const QString destination = dir.filePath(QStringLiteral("copy"));
    QVERIFY(QDir().mkpath(destination));

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--root"), root, QStringLiteral("--fault"),
                           QStringLiteral("garbage:GPFL:<GPFL_0:5:other.png>") }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy done(manager, &SerialPortManager::retrievedProjectFiles);
    QSignalSpy failed(manager, &SerialPortManager::retrieveProjectError);

    QVERIFY(manager->retrieveProjectFiles(destination));
    QVERIFY(failed.wait(30000) || failed.count() == 1);
    QTest::qWait(200);
    QCOMPARE(done.count(), 0);
    QCOMPARE(sequenceCommands(device), QStringList({ QStringLiteral("#GPFL#") }));
    QVERIFY(filesBelow(destination).isEmpty());
}

// "<GETF:0>": nothing to receive; the retrieval fails without a reboot.
void TestProjectRetrieval::emptyFileOnDeviceEndsWithError()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = makeDeviceRoot(dir, { { QStringLiteral("empty.bin"), QByteArray() } });
    const QString destination = dir.filePath(QStringLiteral("copy"));
    QVERIFY(QDir().mkpath(destination));

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--root"), root }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy done(manager, &SerialPortManager::retrievedProjectFiles);
    QSignalSpy failed(manager, &SerialPortManager::retrieveProjectError);

    QVERIFY(manager->retrieveProjectFiles(destination));
    QVERIFY(failed.wait(30000) || failed.count() == 1);
    QTest::qWait(200);
    QCOMPARE(done.count(), 0);
    QCOMPARE(sequenceCommands(device),
             QStringList({ QStringLiteral("#GPFL#"), QStringLiteral("#GETF</home/DuDov_ODU/qml/project/empty.bin>#") }));
    QVERIFY(filesBelow(destination).isEmpty());
}

void TestProjectRetrieval::listWithoutEndTimesOut()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString destination = dir.filePath(QStringLiteral("copy"));
    QVERIFY(QDir().mkpath(destination));

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--fault"), QStringLiteral("silent:GPFL") }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy failed(manager, &SerialPortManager::retrieveProjectError);
    QSignalSpy error(manager, &SerialPortManager::progressError);

    QVERIFY(manager->retrieveProjectFiles(destination));
    QVERIFY(failed.wait(30000) || failed.count() == 1);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(error.count(), 1);
    QCOMPARE(error.at(0).at(0).toString(),
             rt("The connection timed out while retrieving project files information from the device."));
    QCOMPARE(error.at(0).at(1).toBool(), true);
    QVERIFY(device.emulator().waitForCommand(QStringLiteral("#UNIX<reboot>#"), 5000));
}

QTEST_GUILESS_MAIN(TestProjectRetrieval)
#include "tst_projectretrieval.moc"
