// The command port, the reply dispatcher and the watchdog, against a device the test plays itself.
#include "englishtexts.h"
#include "ptydevice.h"
#include "serialportmanager.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

using Orvane::Tavrix::Runtime::SerialPortManager;

class TestSerialPortManager : public QObject
{
    Q_OBJECT
private:
    SerialPortManager* manager() { return SerialPortManager::instance(); }

    // A device that is identified, active and has the command port open.
    bool attach(PtyDevice& device)
    {
        if (!device.open() || !device.connectToManager())
            return false;
        return manager()->openSerialPort();
    }

private slots:
    void initTestCase() { useEnglishTexts(); }
    void init()
    {
        QVERIFY(manager());
        QVERIFY(!manager()->isSerialPortOpen());
    }
    void cleanup()
    {
        manager()->closeSerialPort();
        manager()->resetAllStatus();
    }

    void commandBytes_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("output channel driven high") << 0 << QByteArray("#DIGC<03><OUT><HI>#");
        QTest::newRow("input channel 12") << 1 << QByteArray("#DIGC<12><IN>#");
        QTest::newRow("unused channel") << 2 << QByteArray("#DIGC<05><UNU>#");
        QTest::newRow("alarm index 8 high") << 3 << QByteArray("#ALMC<09><HI>#");
        QTest::newRow("alarm index 9 low") << 4 << QByteArray("#ALMC<10><LO>#");
        QTest::newRow("pwm") << 5 << QByteArray("#PWMC<07><500>#");
        QTest::newRow("serial number then save") << 6 << QByteArray("#SSNO<SN42>##SVCF#");
        QTest::newRow("total size") << 7 << QByteArray("#FINF<1234>#");
        QTest::newRow("battery check off") << 8 << QByteArray("#CHBT<0>#");
        QTest::newRow("data log check") << 9 << QByteArray("#UNIX<ls qml/dataLogging.txdb>#");
        QTest::newRow("data log install") << 10 << QByteArray("#UNIX<mv tmp/dataLogging.txdb qml/dataLogging.txdb>#");
        QTest::newRow("clock with explicit offset") << 11 << QByteArray("  60>#");
    }
    void commandBytes()
    {
        QFETCH(int, which);
        QFETCH(QByteArray, expected);
        PtyDevice device;
        QVERIFY(attach(device));
        SerialPortManager* m = manager();
        switch (which) {
        case 0: m->remoteWriteIOConfig(3, 2, 1); break;
        case 1: m->remoteWriteIOConfig(12, 1, 0); break;
        case 2: m->remoteWriteIOConfig(5, 0, 1); break;
        case 3: m->remoteWriteAlmConfig(8, 1); break;
        case 4: m->remoteWriteAlmConfig(9, 0); break;
        case 5: m->remoteWritePWMConfig(7, 500); break;
        case 6: m->remoteSetSerialNumber(QStringLiteral("SN42")); break;
        case 7: m->setTotalFileSize(1234); break;
        case 8: m->remoteBatteryLowCheckConfig(false); break;
        case 9: m->projectFilesAction(215); break;
        case 10: m->updateLogFilesAction(11); break;
        case 11: m->remoteSetRealTimeClock(false, 60); break;
        }
        QVERIFY2(device.waitForReceived(expected), device.received().constData());
        if (which != 11)
            QCOMPARE(device.received(), expected);
    }

    void refusedCommandsWriteNothing()
    {
        PtyDevice device;
        QVERIFY(attach(device));
        SerialPortManager* m = manager();
        m->remoteSetRealTimeClock(false, 0); // sets operation 45
        QVERIFY(device.waitForReceived(">#"));
        device.clearReceived();
        m->remoteShowDeviceInformation();    // operation 56
        QVERIFY(device.waitForReceived("#SINF#"));
        device.clearReceived();
        m->remoteSetRealTimeClock(false, 721);
        m->remoteSetRealTimeClock(false, -721);
        m->projectFilesAction(99);
        m->updateLogFilesAction(14);
        m->setTotalFileSize(-2);
        QTest::qWait(200);
        QCOMPARE(device.received(), QByteArray());
        QCOMPARE(m->currentOperation(), int(SerialPortManager::ShowDeviceInformation));

        // With the port closed nothing is written at all.
        m->closeSerialPort();
        m->remoteReboot();
        QTest::qWait(100);
        QCOMPARE(device.received(), QByteArray());
    }

    void clockTextAndOffsetRecorded()
    {
        PtyDevice device;
        QVERIFY(attach(device));
        SerialPortManager* m = manager();
        QSignalSpy zone(m, &SerialPortManager::timeZoneUpdated);
        m->remoteSetRealTimeClock(false, -300);
        QVERIFY(device.waitForReceived(">#"));
        const QByteArray text = device.received();
        QVERIFY2(QRegularExpression(QStringLiteral("^#DTIM<\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d:\\d{3} -300>#$"))
                     .match(QString::fromLatin1(text)).hasMatch(), text.constData());
        QCOMPARE(zone.count(), 1);
        QCOMPARE(zone.at(0).at(0).toInt(), -300);
        QCOMPARE(m->deviceInformation(device.portPath()).value(QStringLiteral("timezone")), QStringLiteral("-300"));

        m->updateBrightness(device.portPath(), 101);
        m->updateBrightness(QStringLiteral("/dev/none"), 50);
        QCOMPARE(m->deviceInformation(device.portPath()).value(QStringLiteral("backlight")), QStringLiteral("80"));
        m->updateBrightness(device.portPath(), 0);
        QCOMPARE(m->deviceInformation(device.portPath()).value(QStringLiteral("backlight")), QStringLiteral("0"));
        m->updateTimeZone(device.portPath(), 721);
        QCOMPARE(m->deviceInformation(device.portPath()).value(QStringLiteral("timezone")), QStringLiteral("-300"));
    }

    // Retrieval of a small data log drives the dispatcher through split and merged replies
    // and the receive side of the packet engine.
    void dispatcherAndReceive()
    {
        PtyDevice device;
        QVERIFY(device.open());
        QVERIFY(device.connectToManager());
        SerialPortManager* m = manager();
        QTemporaryDir out;
        QSignalSpy done(m, &SerialPortManager::retrievedDataLogFile);
        QSignalSpy sizes(m, &SerialPortManager::transferedFileSize);
        QVERIFY(m->retrieveDataLogFile(out.path()));
        QVERIFY(device.waitForReceived("#UNIX<ls qml/dataLogging.txdb>#"));
        device.write("<UNIX:NOR>");
        QVERIFY(device.waitForReceived("#MODE<2>#"));
        device.clearReceived();

        // A reply split over two reads is recognised when the second part arrives.
        device.write("<MODE_");
        QTest::qWait(100);
        QCOMPARE(device.received(), QByteArray());
        device.write("ACK>");
        QVERIFY(device.waitForReceived("#LOGZ#"));
        device.clearReceived();

        // Two replies in one chunk: only the first in token order acts, both are dropped.
        device.write("<UNIX:NOR><ZIPL:ACK>");
        QVERIFY(device.waitForReceived("#GETF</home/DuDov_ODU/qml/dataLogging.txdb.zip>#"));
        device.clearReceived();

        // The size reply without its closing bracket waits for the rest.
        device.write("<GETF: 2");
        QTest::qWait(100);
        device.write("000 >");
        QVERIFY(device.waitForReceived("C", 5000));
        device.clearReceived();

        QByteArray content(2000, '\0');
        for (int i = 0; i < content.size(); ++i)
            content[i] = char(i * 7 + 3);
        auto packet = [](int block, const QByteArray& payload, int size) {
            QByteArray p;
            p.append(size == 128 ? '\x01' : '\x02');
            p.append(char(block));
            p.append(char(255 - block));
            QByteArray body = payload.left(size);
            body.append(QByteArray(size - body.size(), '\x1A'));
            p.append(body);
            const quint16 crc = SerialPortManager::crc16(body.constData(), size);
            p.append(char(crc >> 8));
            p.append(char(crc & 0xFF));
            return p;
        };
        // The first packet arrives in three pieces.
        const QByteArray first = packet(1, content.left(1024), 1024);
        device.write(first.left(10));
        QTest::qWait(30);
        device.write(first.mid(10, 500));
        QTest::qWait(30);
        device.write(first.mid(510));
        QVERIFY(device.waitForReceived("\x06"));
        device.clearReceived();
        // The same block again (our ACK "lost"): acknowledged, not stored twice.
        device.write(first);
        QVERIFY(device.waitForReceived("\x06"));
        device.clearReceived();
        // A corrupted packet is refused, the good copy accepted.
        QByteArray second = packet(2, content.mid(1024), 1024);
        QByteArray broken = second;
        broken[100] = char(broken[100] ^ 0x55);
        device.write(broken);
        QVERIFY(device.waitForReceived("\x15"));
        device.clearReceived();
        device.write(second);
        QVERIFY(device.waitForReceived("\x06"));
        device.clearReceived();
        device.write("\x04");
        QVERIFY(device.waitForReceived("#BOOT#"));
        device.write("<BOOT:NOR>");
        QVERIFY(done.wait(5000) || done.count() == 1);

        QFile zip(out.filePath(QStringLiteral("dataLogging.txdb.zip")));
        QVERIFY(zip.open(QIODevice::ReadOnly));
        QCOMPARE(zip.readAll(), content);
        QCOMPARE(sizes.count(), 1); // only full blocks before the last are reported
        QCOMPARE(sizes.at(0).at(0).toInt(), 1024);
        QVERIFY(!m->isSerialPortOpen());
        QCOMPARE(m->currentOperation(), 0);
    }

    void fourBadPacketsCancel()
    {
        PtyDevice device;
        QVERIFY(device.open());
        QVERIFY(device.connectToManager());
        SerialPortManager* m = manager();
        QTemporaryDir out;
        QSignalSpy error(m, &SerialPortManager::progressError);
        QVERIFY(m->retrieveDataLogFile(out.path()));
        QVERIFY(device.waitForReceived("#UNIX<ls qml/dataLogging.txdb>#"));
        device.write("<UNIX:NOR>");
        QVERIFY(device.waitForReceived("#MODE<2>#"));
        device.write("<MODE_ACK>");
        QVERIFY(device.waitForReceived("#LOGZ#"));
        device.write("<ZIPL:ACK>");
        QVERIFY(device.waitForReceived("#GETF<"));
        device.write("<GETF:100>");
        QVERIFY(device.waitForReceived("C", 5000));
        device.clearReceived();
        QByteArray bad(133, '\0');
        bad[0] = '\x01';
        bad[1] = 1;
        bad[2] = char(254);
        bad[132] = 1; // wrong CRC
        for (int i = 0; i < 3; ++i) {
            device.write(bad);
            QVERIFY(device.waitForReceived("\x15"));
            device.clearReceived();
        }
        device.write(bad);
        QVERIFY(device.waitForReceived("\x18\x18"));
        // The retrieval then ends through its watchdog with its time-out text.
        QVERIFY(error.wait(10000));
        QCOMPARE(error.at(0).at(0).toString(), QStringLiteral("The connection timed out while retrieving data log from the device."));
        QCOMPARE(error.at(0).at(1).toBool(), true);
        QVERIFY(device.waitForReceived("#UNIX<reboot>#"));
        QVERIFY(!m->isSerialPortOpen());
    }

    void replyRoutingByOperation()
    {
        PtyDevice device;
        QVERIFY(attach(device));
        SerialPortManager* m = manager();
        QSignalSpy configure(m, &SerialPortManager::configureStateChange);
        m->remoteSetSerialNumber(QStringLiteral("A1")); // operation 55
        QVERIFY(device.waitForReceived("#SVCF#"));
        device.write("<SVCF:ERR>");
        QTRY_COMPARE(configure.count(), 1);
        QCOMPARE(configure.at(0).at(0).toInt(), 21);
        // Noise that matches no token is kept until a token arrives, then cleared with it.
        device.write("garbage without tokens ");
        QTest::qWait(50);
        device.write("<SVCF:ERR>");
        QTRY_COMPARE(configure.count(), 2);
        QCOMPARE(configure.at(1).at(0).toInt(), 21);
        // A clock answer while no clock step runs is a late one: it moves nothing on.
        device.write("<DTIM:ERR>");
        QTest::qWait(200);
        device.write("<DTIM:NOR>");
        QTest::qWait(200);
        QCOMPARE(configure.count(), 2);
        device.write("<SVCF:ERR>");
        QTRY_COMPARE(configure.count(), 3);
        QCOMPARE(configure.at(2).at(0).toInt(), 21);
    }

    void timeoutOnAttachedDeviceCancelsAndReboots()
    {
        PtyDevice device;
        QVERIFY(device.open());
        QVERIFY(device.connectToManager());
        SerialPortManager* m = manager();
        QSignalSpy error(m, &SerialPortManager::progressError);
        m->upgradeDeviceSoftware(QByteArray(3000, 'u'));
        QVERIFY(device.waitForReceived("#RTLD<update.tar.gz>["));
        device.write("<RTLD:ACK>");
        // No "C" follows: the send side times out.
        QVERIFY(error.wait(12000));
        QCOMPARE(error.at(0).at(0).toString(), QStringLiteral("The operation timed out while upgrading the device software."));
        QCOMPARE(error.at(0).at(1).toBool(), true);
        QVERIFY(device.waitForReceived("\x18\x18#UNIX<reboot>#"));
        QVERIFY(!m->isSerialPortOpen());
        QCOMPARE(m->currentOperation(), 0);
    }

    void unplugDuringOperationReportsLostDevice()
    {
        PtyDevice device;
        QVERIFY(device.open());
        QVERIFY(device.connectToManager());
        SerialPortManager* m = manager();
        QSignalSpy error(m, &SerialPortManager::progressError);
        QSignalSpy gone(m, &SerialPortManager::deviceDisconnected);
        m->upgradeDeviceSoftware(QByteArray(3000, 'u'));
        QVERIFY(device.waitForReceived("#RTLD<"));
        const QString port = device.portPath();
        device.unplug();
        QVERIFY(error.wait(5000));
        QCOMPARE(error.at(0).at(0).toString(), QStringLiteral("The connection to the device was lost."));
        QCOMPARE(error.at(0).at(1).toBool(), true);
        QTRY_COMPARE(gone.count(), 1);
        const auto goneInfo = gone.at(0).at(0).value<QMap<QString, QString>>();
        QCOMPARE(goneInfo.value(QStringLiteral("port")), port);
        QVERIFY(!m->connectedPorts().contains(port));
        QVERIFY(!m->isSerialPortOpen());

        // Nothing may spin after the cable is gone.
        rusage before {};
        getrusage(RUSAGE_SELF, &before);
        QTest::qWait(1000);
        rusage after {};
        getrusage(RUSAGE_SELF, &after);
        const double used = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) + (after.ru_utime.tv_usec - before.ru_utime.tv_usec) / 1e6
            + (after.ru_stime.tv_sec - before.ru_stime.tv_sec) + (after.ru_stime.tv_usec - before.ru_stime.tv_usec) / 1e6;
        QVERIFY2(used < 0.3, qPrintable(QStringLiteral("CPU seconds while idle: %1").arg(used)));
    }

    void crcCheckValue()
    {
        QCOMPARE(SerialPortManager::crc16("123456789", 9), quint16(0x31C3));
        QCOMPARE(SerialPortManager::crc16("", 0), quint16(0));
    }

    void fileSizeReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("size");
        QTest::newRow("plain") << "<GETF:2048>" << 2048;
        QTest::newRow("spaces") << " <GETF: 77 > " << 77;
        QTest::newRow("letters") << "<GETF:ERR>" << -1;
        QTest::newRow("zero") << "<GETF:0>" << 0;
        QTest::newRow("no colon") << "<GETF>" << -1;
    }
    void fileSizeReply()
    {
        QFETCH(QString, reply);
        QFETCH(int, size);
        QCOMPARE(SerialPortManager::parseFileSizeReply(reply), size);
    }
};

QTEST_GUILESS_MAIN(TestSerialPortManager)
#include "tst_serialportmanager.moc"
