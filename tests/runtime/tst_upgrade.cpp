// Device software upgrade against the emulated device.
#include "connecteddevice.h"
#include "testutil.h"
#include "ptydevice.h"

#include "localizationhelper.h"
#include "serialportmanager.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {


} // namespace

class TestUpgrade : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void largePackageIsSentWhole();
    void digestIsLowerCaseMd5();
    void checksumMismatchIsReported();
    void emptyPackageOrOpenPortWritesNothing();
    void startRequestInSameReadAsAcceptance_data();
    void startRequestInSameReadAsAcceptance();
    void missingStartByteTimesOut();
};

void TestUpgrade::cleanup()
{
    SerialPortManager* manager = SerialPortManager::instance();
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isSerialPortOpen(), 10000);
    QVERIFY(!manager->isBusy());
}

// 2930 packets: the block number wraps eleven times; progress adds up to the size.
void TestUpgrade::largePackageIsSentWhole()
{
    const QByteArray package = randomBytes(3000000, 42);
    const QString digest = QString::fromLatin1(QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex());

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--populate") }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy finished(manager, &SerialPortManager::progressFinished);
    QSignalSpy error(manager, &SerialPortManager::progressError);
    QSignalSpy updated(manager, &SerialPortManager::progressUpdated);
    QSignalSpy messages(manager, &SerialPortManager::progressMessage);

    manager->upgradeDeviceSoftware(package);
    QVERIFY(finished.wait(180000) || finished.count() == 1);
    QCOMPARE(error.count(), 0);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QCOMPARE(updated.count(), 2930);
    QCOMPARE(sum(updated), 3000000);
    QCOMPARE(updated.last().at(0).toInt(), 3000000 - 2929 * 1024);
    QCOMPARE(messages.count(), 2);
    QCOMPARE(messages.at(0).at(0).toString(), rt("Uploading device software..."));
    QCOMPARE(messages.at(1).at(0).toString(), rt("Waiting for device to install upgrade package..."));
    // The ended upgrade leaves no operation code behind for a later unplug to report on.
    QCOMPARE(manager->currentOperation(), int(SerialPortManager::NoOperation));

    QCOMPARE(sequenceCommands(device),
             QStringList({ QStringLiteral("#FINF<3000000>#"),
                           QStringLiteral("#RTLD<update.tar.gz>[%1]3000000#").arg(digest) }));
    // The device checked the digest over the bytes it stored.
    bool received = false;
    for (const QJsonObject& event : device.emulator().transcript()) {
        if (event.value(QStringLiteral("event")).toString() == QLatin1String("file-received"))
            received = true;
    }
    QVERIFY(received);
}

void TestUpgrade::digestIsLowerCaseMd5()
{
    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--populate") }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy finished(manager, &SerialPortManager::progressFinished);
    QSignalSpy updated(manager, &SerialPortManager::progressUpdated);

    manager->upgradeDeviceSoftware(QByteArray("abc"));
    QVERIFY(finished.wait(30000) || finished.count() == 1);
    QCOMPARE(updated.count(), 1);
    QCOMPARE(updated.at(0).at(0).toInt(), 3);
    QCOMPARE(sequenceCommands(device),
             QStringList({ QStringLiteral("#FINF<3>#"),
                           QStringLiteral("#RTLD<update.tar.gz>[900150983cd24fb0d6963f7d28e17f72]3#") }));
}

void TestUpgrade::checksumMismatchIsReported()
{
    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--populate"), QStringLiteral("--fault"), QStringLiteral("error:RTLD") }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy finished(manager, &SerialPortManager::progressFinished);
    QSignalSpy error(manager, &SerialPortManager::progressError);

    manager->upgradeDeviceSoftware(randomBytes(5000, 7));
    QVERIFY(error.wait(30000) || error.count() == 1);
    QCOMPARE(error.at(0).at(0).toString(), rt("The checksum of the upgrade package does not match."));
    QCOMPARE(error.at(0).at(1).toBool(), false);
    QCOMPARE(finished.count(), 0);
    QVERIFY(!manager->isSerialPortOpen());
    QCOMPARE(manager->currentOperation(), 0);
    QTest::qWait(300);
    QVERIFY(!sequenceCommands(device).contains(QStringLiteral("#UNIX<reboot>#")));
}

void TestUpgrade::emptyPackageOrOpenPortWritesNothing()
{
    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--populate") }));
    SerialPortManager* manager = SerialPortManager::instance();
    const QStringList before = sequenceCommands(device);

    manager->upgradeDeviceSoftware(QByteArray());
    QVERIFY(!manager->isSerialPortOpen());

    // Another operation holds the port.
    QVERIFY(manager->openSerialPort());
    manager->upgradeDeviceSoftware(QByteArray("abc"));
    QTest::qWait(300);
    manager->closeSerialPort();
    QCOMPARE(sequenceCommands(device), before);
}

// What reaches the host before the first packet. "<RTLD:ACK>" and the receiver's "C" in one
// read: the first packet follows without another "C". The row's clock command does not wait
// for its answer; when that answer comes with the acceptance, the upgrade still starts.
void TestUpgrade::startRequestInSameReadAsAcceptance_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::newRow("acceptance and request") << QList<QByteArray> { "<RTLD:ACK>C" };
    QTest::newRow("late clock answer, acceptance, request") << QList<QByteArray> { "<DTIM:NOR><RTLD:ACK>C" };
    QTest::newRow("late clock refusal, acceptance, request") << QList<QByteArray> { "<DTIM:ERR><RTLD:ACK>C" };
    QTest::newRow("late clock answer alone first") << QList<QByteArray> { "<DTIM:NOR>", "<RTLD:ACK>C" };
}

void TestUpgrade::startRequestInSameReadAsAcceptance()
{
    QFETCH(QList<QByteArray>, reads);
    PtyDevice device;
    QVERIFY(device.open());
    QVERIFY(device.connectToManager());
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy finished(manager, &SerialPortManager::progressFinished);
    QSignalSpy error(manager, &SerialPortManager::progressError);

    QVERIFY(manager->upgradeDeviceSoftware(QByteArray("abc")));
    QVERIFY(device.waitForReceived("]3#"));
    device.clearReceived();
    for (const QByteArray& read : std::as_const(reads)) {
        device.write(read);
        QTest::qWait(200);
    }
    QVERIFY(device.waitForReceived(QByteArray(1, 0x02), 3000));
    QTRY_COMPARE_WITH_TIMEOUT(device.received().size(), 1029, 3000);
    QCOMPARE(device.received().mid(3, 3), QByteArray("abc"));
    device.write("\x06");
    QVERIFY(device.waitForReceived(QByteArray(1, 0x04), 3000));
    device.write("<RTLD:NOR>");
    QVERIFY(finished.wait(5000) || finished.count() == 1);
    QCOMPARE(error.count(), 0);
}

void TestUpgrade::missingStartByteTimesOut()
{
    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--populate"), QStringLiteral("--fault"), QStringLiteral("no-c") }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy error(manager, &SerialPortManager::progressError);

    manager->upgradeDeviceSoftware(randomBytes(2048, 9));
    QVERIFY(error.wait(30000) || error.count() == 1);
    QCOMPARE(error.count(), 1);
    QCOMPARE(error.at(0).at(0).toString(), rt("The operation timed out while upgrading the device software."));
    QCOMPARE(error.at(0).at(1).toBool(), true);
    QVERIFY(device.emulator().waitForCommand(QStringLiteral("#UNIX<reboot>#"), 5000));
    QCOMPARE(manager->currentOperation(), 0);
}

QTEST_GUILESS_MAIN(TestUpgrade)
#include "tst_upgrade.moc"
