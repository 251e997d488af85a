// Discovery and identification against emulated devices, and the device clock.
#include "connecteddevice.h"
#include "englishtexts.h"
#include "emulator.h"
#include "serialdevicescanner.h"
#include "serialportmanager.h"
#include "virtualports.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <ctime>

using Orvane::Tavrix::Runtime::SerialDeviceScanner;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

bool announced(const QSignalSpy& spy, const QString& port)
{
    for (const QList<QVariant>& args : spy) {
        if (args.at(0).value<QMap<QString, QString>>().value(QStringLiteral("port")) == port)
            return true;
    }
    return false;
}

void setTimeZone(const QByteArray& tz)
{
    qputenv("TZ", tz);
    tzset();
}

} // namespace

class TestDiscovery : public QObject
{
    Q_OBJECT
private:
    DeviceEmulator m_early;
    QMap<QString, QString> m_earlyInfo;
    QByteArray m_savedTz;

private slots:
    // A device that is plugged in before the program starts is asked directly.
    void initTestCase()
    {
        useEnglishTexts();
        m_savedTz = qgetenv("TZ");
        QVERIFY(m_early.start({ QStringLiteral("--serial"), QStringLiteral("EARLY1") }));
        VirtualPorts::add(m_early.portPath());
        SerialPortManager* manager = SerialPortManager::instance();
        QVERIFY(manager);
        QSignalSpy connected(manager, &SerialPortManager::deviceConnected);
        QTRY_VERIFY_WITH_TIMEOUT(announced(connected, m_early.portPath()), 15000);
        m_earlyInfo = connected.at(0).at(0).value<QMap<QString, QString>>();
    }

    void cleanupTestCase()
    {
        m_early.stop();
        if (m_savedTz.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", m_savedTz);
        tzset();
    }

    void presentAtStartIsAskedAtOnce()
    {
        QCOMPARE(m_earlyInfo.size(), 17);
        QCOMPARE(m_earlyInfo.value(QStringLiteral("serial")), QStringLiteral("EARLY1"));
        QCOMPARE(m_earlyInfo.value(QStringLiteral("model")), QStringLiteral("QMX 70-A"));
        QCOMPARE(m_earlyInfo.value(QStringLiteral("deviceAppVer")), QStringLiteral("1.1.0.1910"));
        QCOMPARE(m_earlyInfo.value(QStringLiteral("screenWidth")), QStringLiteral("1024"));
        QCOMPARE(m_earlyInfo.value(QStringLiteral("port")), m_early.portPath());
        // No boot poke: the first thing the device hears is the request.
        QCOMPARE(m_early.commands().value(0), QStringLiteral("#HWCF#"));
        QVERIFY(!m_early.replies().contains(QStringLiteral("<BOOT_UP>")));
        SerialPortManager* m = SerialPortManager::instance();
        QCOMPARE(m->deviceInformation(m_early.portPath()), m_earlyInfo);
        QCOMPARE(m->serialDeviceInformation(m_early.portPath()).value(QStringLiteral("vendorID")).toInt(), 6017);
    }

    void pluggedWhileRunningIsPokedFirst()
    {
        ConnectedDevice device;
        QVERIFY(device.start({ QStringLiteral("--serial"), QStringLiteral("LATE1") }, false));
        QCOMPARE(device.info().value(QStringLiteral("serial")), QStringLiteral("LATE1"));
        QVERIFY(device.emulator().replies().contains(QStringLiteral("<BOOT_UP>")));
        // Every scanner thread has ended and deleted its objects.
        QTRY_COMPARE_WITH_TIMEOUT(SerialDeviceScanner::liveCount(), 0, 5000);
    }

    void replyInChunksAndRetries()
    {
        ConnectedDevice device;
        QVERIFY(device.start({ QStringLiteral("--hwcf-chunks"), QStringLiteral("6"), QStringLiteral("--hwcf-incomplete"), QStringLiteral("2") }, false));
        QCOMPARE(device.info().size(), 17);
        QVERIFY(device.emulator().commands().count(QStringLiteral("#HWCF#")) >= 3);
    }

    // On a slow line the boot announcement arrives a few bytes at a time.
    void slowLineIdentified()
    {
        ConnectedDevice device;
        QVERIFY(device.start({ QStringLiteral("--throttle"), QStringLiteral("300") }, false));
        QCOMPARE(device.info().size(), 17);
    }

    void fourteenKeysAnnouncedWithWarning()
    {
        SerialPortManager* m = SerialPortManager::instance();
        QSignalSpy broadcast(m, &SerialPortManager::broadcastMessage);
        ConnectedDevice device;
        QVERIFY(device.start({ QStringLiteral("--omit"), QStringLiteral("DESAPP,DEVNAM,PHYADD") }, false));
        QCOMPARE(device.info().size(), 14);
        QCOMPARE(broadcast.count(), 1);
        QCOMPARE(broadcast.at(0).at(0).toString(), QStringLiteral("warning"));
        QCOMPARE(broadcast.at(0).at(1).toString(), QStringLiteral("Unrecognized Device"));
        QCOMPARE(broadcast.at(0).at(2).toString(),
                 QStringLiteral("Please upgrade the device software to at least version 1.0.0.1435 to use the device."));
    }

    void outdatedApplicationIsNotAnnounced()
    {
        SerialPortManager* m = SerialPortManager::instance();
        const QString version = QCoreApplication::applicationVersion();
        QCoreApplication::setApplicationVersion(QStringLiteral("0.9.0.0"));
        QSignalSpy broadcast(m, &SerialPortManager::broadcastMessage);
        QSignalSpy connected(m, &SerialPortManager::deviceConnected);
        DeviceEmulator emulator;
        QVERIFY(emulator.start());
        VirtualPorts::add(emulator.portPath());
        QVERIFY(broadcast.wait(15000));
        QCoreApplication::setApplicationVersion(version);
        QCOMPARE(broadcast.at(0).at(1).toString(), QStringLiteral("Outdated Designer Application"));
        QCOMPARE(broadcast.at(0).at(2).toString(), QStringLiteral("Please upgrade Kavendi to at least version 1.0.0.0 to use the device."));
        QTest::qWait(300);
        QVERIFY(!announced(connected, emulator.portPath()));
        QVERIFY(m->deviceInformation(emulator.portPath()).isEmpty());
        QVERIFY(!m->setActivePort(emulator.portPath()));
        emulator.stop();
        QTRY_VERIFY(!m->connectedPorts().contains(emulator.portPath()));
        VirtualPorts::remove(emulator.portPath());
    }

    void emptySerialKeepsAsking()
    {
        SerialPortManager* m = SerialPortManager::instance();
        QSignalSpy connected(m, &SerialPortManager::deviceConnected);
        DeviceEmulator emulator;
        QVERIFY(emulator.start({ QStringLiteral("--hwcf-raw"),
                                 QStringLiteral("#HWCF#<SER_NO:><MODELS:QMX 70-A><FIRMWD:1><DEVAPP:1.1.0.1910><DESAPP:2.0.0.2552>"
                                                "<ADCCHN:4><LCDVER:600><LCDHOR:1024><LCDBBP:16><ALM_CH:2><PWM_CH:2><DIO_CH:12>"
                                                "<BKLT:80><LOTIZO:0><DEVNAM:X><HWCFEND>") }));
        VirtualPorts::add(emulator.portPath());
        QTRY_VERIFY_WITH_TIMEOUT(emulator.commands().count(QStringLiteral("#HWCF#")) >= 3, 15000);
        QVERIFY(!announced(connected, emulator.portPath()));
        emulator.stop();
        QTRY_VERIFY(!m->connectedPorts().contains(emulator.portPath()));
        VirtualPorts::remove(emulator.portPath());
        QTRY_COMPARE_WITH_TIMEOUT(SerialDeviceScanner::liveCount(), 0, 5000);
    }

    void twoDevicesAndOneUnplugged()
    {
        SerialPortManager* m = SerialPortManager::instance();
        QSignalSpy disconnected(m, &SerialPortManager::deviceDisconnected);
        ConnectedDevice first;
        ConnectedDevice second;
        QVERIFY(first.start({ QStringLiteral("--serial"), QStringLiteral("TWO-A") }, false));
        QVERIFY(second.start({ QStringLiteral("--serial"), QStringLiteral("TWO-B") }, false));
        QVERIFY(first.port() != second.port());
        QCOMPARE(first.info().value(QStringLiteral("serial")), QStringLiteral("TWO-A"));
        QCOMPARE(second.info().value(QStringLiteral("serial")), QStringLiteral("TWO-B"));

        first.unplug();
        QVERIFY(first.waitForRemoval());
        QTRY_COMPARE(disconnected.count(), 1);
        const auto goneInfo = disconnected.at(0).at(0).value<QMap<QString, QString>>();
        QCOMPARE(goneInfo.value(QStringLiteral("serial")), QStringLiteral("TWO-A"));
        QVERIFY(m->connectedPorts().contains(second.port()));
        QVERIFY(m->setActivePort(second.port()));
    }

    void unplugDuringOperation()
    {
        SerialPortManager* m = SerialPortManager::instance();
        ConnectedDevice device;
        QVERIFY(device.start({ QStringLiteral("--fault"), QStringLiteral("unplug:LOGZ") }));
        QSignalSpy error(m, &SerialPortManager::progressError);
        QTemporaryDir out;
        QVERIFY(m->retrieveDataLogFile(out.path()));
        QVERIFY(error.wait(10000));
        QCOMPARE(error.at(0).at(0).toString(), QStringLiteral("The connection to the device was lost."));
        QCOMPARE(error.at(0).at(1).toBool(), true);
        QVERIFY(!m->isSerialPortOpen());
        QCOMPARE(m->currentOperation(), 0);
    }

    void localMinuteOffset_data()
    {
        QTest::addColumn<QByteArray>("tz");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("text");
        QTest::newRow("India") << QByteArray("Asia/Kolkata") << 330 << " 330";
        QTest::newRow("UTC-5") << QByteArray("<-05>5") << -300 << "-300";
        QTest::newRow("UTC") << QByteArray("UTC0") << 0 << "   0";
        QTest::newRow("UTC-3:30") << QByteArray("<-0330>3:30") << -210 << "-210";
        QTest::newRow("UTC+13") << QByteArray("<+13>-13") << -60 << " -60";
        QTest::newRow("UTC+14") << QByteArray("<+14>-14") << -120 << "-120";
        QTest::newRow("UTC+12") << QByteArray("<+12>-12") << 720 << " 720";
    }
    void localMinuteOffset()
    {
        QFETCH(QByteArray, tz);
        QFETCH(int, offset);
        QFETCH(QString, text);
        setTimeZone(tz);
        QCOMPARE(SerialPortManager::getLocalMinuteOffset(), offset);

        // The clock command carries the computer's offset when asked to use it.
        SerialPortManager* m = SerialPortManager::instance();
        QVERIFY(m->setActivePort(m_early.portPath()));
        QVERIFY(m->openSerialPort());
        const qsizetype before = m_early.commands().filter(QStringLiteral("#DTIM<")).size();
        m->remoteSetRealTimeClock(true);
        m->closeSerialPort();
        QTRY_VERIFY(m_early.commands().filter(QStringLiteral("#DTIM<")).size() > before);
        const QString command = m_early.commands().filter(QStringLiteral("#DTIM<")).constLast();
        QVERIFY2(command.endsWith(QStringLiteral(" %1>#").arg(text)), qPrintable(command));
        QCOMPARE(m->deviceInformation(m_early.portPath()).value(QStringLiteral("timezone")), QString::number(offset));
    }
};

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
