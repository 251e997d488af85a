// Discovery and identification against emulated devices, and the device clock.
#include "connecteddevice.h"
#include "devportlink.h"
#include "dovrelctlrun.h"
#include "englishtexts.h"
#include "emulator.h"
#include "eventwait.h"
#include "portenumerator.h"
#include "ptydevice.h"
#include "restartingdevice.h"
#include "serialdevicescanner.h"
#include "serialportmanager.h"
#include "virtualports.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <ctime>

using Orvane::Tavrix::Runtime::PortEnumerator;
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

// CPU time of the whole process (all threads), in milliseconds.
qint64 processCpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// How many of this process's descriptors are open on the given device file.
int openDescriptorsOn(const QString& path)
{
    int count = 0;
    const QFileInfoList fds = QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& fd : fds) {
        if (fd.symLinkTarget() == path)
            ++count;
    }
    return count;
}

// A device played by the test, plugged in while the manager runs, up to the point where
// the scanner has asked for the hardware description.
bool plugUntilRequest(PtyDevice& device)
{
    device.setAutoIdentify(false);
    if (!device.open())
        return false;
    VirtualPorts::add(device.portPath());
    if (!device.waitForReceived(" ", 10000))
        return false;
    device.clearReceived();
    device.write("<BOOT_UP>");
    return device.waitForReceived("#HWCF#", 10000);
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
        // The device's seventeen keys and the slot path of its port (a listed port's own name).
        QCOMPARE(m_earlyInfo.size(), 17 + 1);
        QCOMPARE(m_earlyInfo.value(QStringLiteral("slotPath")), PortEnumerator::virtualSlotPath(m_early.portPath()));
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
        QCOMPARE(device.info().size(), 17 + 1);
        QVERIFY(device.emulator().commands().count(QStringLiteral("#HWCF#")) >= 3);
    }

    // On a slow line the boot announcement arrives a few bytes at a time.
    void slowLineIdentified()
    {
        ConnectedDevice device;
        QVERIFY(device.start({ QStringLiteral("--throttle"), QStringLiteral("300") }, false));
        QCOMPARE(device.info().size(), 17 + 1);
    }

    void fourteenKeysAnnouncedWithWarning()
    {
        SerialPortManager* m = SerialPortManager::instance();
        QSignalSpy broadcast(m, &SerialPortManager::broadcastMessage);
        ConnectedDevice device;
        QVERIFY(device.start({ QStringLiteral("--omit"), QStringLiteral("DESAPP,DEVNAM,PHYADD") }, false));
        QCOMPARE(device.info().size(), 14 + 1);
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

    // Real devices live under /dev: the pseudo terminal itself and links there must be
    // identified and served under the name they were given.
    void devicePathsAreIdentified_data()
    {
        QTest::addColumn<int>("form");
        QTest::newRow("pty path") << 0;
        QTest::newRow("tty link under /dev") << 1;
        QTest::newRow("by-id link under /dev") << 2;
    }
    void devicePathsAreIdentified()
    {
        QFETCH(int, form);
        SerialPortManager* m = SerialPortManager::instance();
        QSignalSpy connected(m, &SerialPortManager::deviceConnected);
        DeviceEmulator emulator;
        QVERIFY(emulator.start({ QStringLiteral("--serial"), QStringLiteral("DEVPATH%1").arg(form) }));
        QVERIFY(emulator.ptyPath().startsWith(QStringLiteral("/dev/")));
        QScopedPointer<DevPortLink> link;
        QString port = emulator.ptyPath();
        if (form != 0) {
            link.reset(new DevPortLink(emulator.ptyPath(), form == 1 ? DevPortLink::TtyName : DevPortLink::ByIdName));
            if (!link->isValid())
                QSKIP("/dev is not writable here");
            port = link->path();
        }
        VirtualPorts::add(port);
        auto forget = qScopeGuard([port] { VirtualPorts::remove(port); });
        QTRY_VERIFY_WITH_TIMEOUT(announced(connected, port), 20000);
        QCOMPARE(m->deviceInformation(port).value(QStringLiteral("serial")), QStringLiteral("DEVPATH%1").arg(form));
        QCOMPARE(m->deviceInformation(port).value(QStringLiteral("port")), port);
        QVERIFY(m->connectedPorts().contains(port));
        if (form == 0) {
            // QSerialPort's short name of the same port reaches the same record.
            const QString shortName = port.mid(5);
            QCOMPARE(m->deviceInformation(shortName), m->deviceInformation(port));
        }

        // The command port reaches the device through that name.
        QVERIFY(m->setActivePort(port));
        QCOMPARE(m->activePort(), port);
        QVERIFY(m->openSerialPort());
        m->remoteShowDeviceInformation();
        QVERIFY(emulator.waitForCommand(QStringLiteral("SINF"), 10000));
        m->closeSerialPort();

        emulator.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!m->connectedPorts().contains(port), 10000);
    }

    // The scanner has closed its port when the device is announced, so an operation may
    // open the command port at once: no waiting for the port to be freed.
    void portIsFreeWhenAnnounced()
    {
        SerialPortManager* m = SerialPortManager::instance();
        DeviceEmulator emulator;
        QVERIFY(emulator.start());
        const QString port = emulator.ptyPath();
        bool seen = false;
        bool opened = false;
        const auto connection = connect(m, &SerialPortManager::deviceConnected, this, [&](const QMap<QString, QString>& info) {
            if (info.value(QStringLiteral("port")) != port)
                return;
            seen = true;
            opened = m->setActivePort(port) && m->openSerialPort();
            m->closeSerialPort();
        });
        VirtualPorts::add(port);
        auto forget = qScopeGuard([&] {
            disconnect(connection);
            VirtualPorts::remove(port);
        });
        QTRY_VERIFY_WITH_TIMEOUT(seen, 20000);
        QVERIFY(opened);
        emulator.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!m->connectedPorts().contains(port), 10000);
    }

    // One device, many names: listing a link and its target finds one port, and each
    // name resolves to the one discovery uses.
    void oneRecordPerDevice()
    {
        DeviceEmulator emulator;
        QVERIFY(emulator.start());
        QCOMPARE(PortEnumerator::canonicalPortName(QStringLiteral("ttyACM0")), QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(PortEnumerator::canonicalPortName(QStringLiteral("/dev//pts/./7")), QStringLiteral("/dev/pts/7"));
        QCOMPARE(PortEnumerator::canonicalPortName(QStringLiteral("pts/7")), QStringLiteral("/dev/pts/7"));
        {
            // A relative path to an existing port stays a path.
            const QFileInfo link(emulator.portPath());
            const QString saved = QDir::currentPath();
            QVERIFY(QDir::setCurrent(link.absolutePath() + QStringLiteral("/..")));
            const QString relative = link.dir().dirName() + QLatin1Char('/') + link.fileName();
            const QString canonical = PortEnumerator::canonicalPortName(relative);
            QDir::setCurrent(saved);
            QCOMPARE(canonical, emulator.portPath());
        }
        QVERIFY(PortEnumerator::isSamePort(emulator.portPath(), emulator.ptyPath()));
        QVERIFY(!PortEnumerator::isSamePort(emulator.portPath(), m_early.portPath()));
        VirtualPorts::add(emulator.portPath());
        VirtualPorts::add(emulator.ptyPath());
        auto forget = qScopeGuard([&emulator] {
            VirtualPorts::remove(emulator.ptyPath());
            VirtualPorts::remove(emulator.portPath());
        });
        int listed = 0;
        for (const auto& info : PortEnumerator::getPorts()) {
            if (PortEnumerator::isSamePort(info.value(QStringLiteral("portName")).toString(), emulator.ptyPath()))
                ++listed;
        }
        QCOMPARE(listed, 1);
        QCOMPARE(PortEnumerator::resolvePortName(emulator.ptyPath()), emulator.portPath());
    }

    // Restricted discovery neither lists nor opens other ports.
    void restrictedDiscoveryLeavesOtherPortsAlone()
    {
        SerialPortManager* m = SerialPortManager::instance();
        QSignalSpy connected(m, &SerialPortManager::deviceConnected);
        DeviceEmulator allowed;
        DeviceEmulator other;
        QVERIFY(allowed.start({ QStringLiteral("--serial"), QStringLiteral("ALLOWED") }));
        QVERIFY(other.start({ QStringLiteral("--serial"), QStringLiteral("OTHER") }));
        SerialPortManager::restrictDiscovery({ allowed.ptyPath() });
        auto lift = qScopeGuard([] { SerialPortManager::restrictDiscovery({}); });
        // Devices known before the restriction outside it are forgotten.
        QTRY_VERIFY_WITH_TIMEOUT(!m->connectedPorts().contains(m_early.portPath()), 5000);
        VirtualPorts::add(other.portPath());
        VirtualPorts::add(allowed.portPath());
        auto forget = qScopeGuard([&] {
            VirtualPorts::remove(other.portPath());
            VirtualPorts::remove(allowed.portPath());
        });
        QTRY_VERIFY_WITH_TIMEOUT(announced(connected, allowed.portPath()), 20000);
        QTest::qWait(1000);
        QVERIFY(!m->connectedPorts().contains(other.portPath()));
        QVERIFY(other.commands().isEmpty());
        lift.dismiss();
        SerialPortManager::restrictDiscovery({});

        // Lifted: the other device and the early one are found again.
        QTRY_VERIFY_WITH_TIMEOUT(announced(connected, other.portPath()), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(announced(connected, m_early.portPath()), 20000);
        other.stop();
        allowed.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!m->connectedPorts().contains(other.portPath()), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!m->connectedPorts().contains(allowed.portPath()), 10000);
    }

    // An identification that completes after the port was removed announces nothing.
    void lateIdentificationIsNotAnnounced()
    {
        SerialPortManager* m = SerialPortManager::instance();
        auto* enumerator = m->findChild<PortEnumerator*>();
        QVERIFY(enumerator);
        QSignalSpy connected(m, &SerialPortManager::deviceConnected);
        PtyDevice device;
        device.setSerial(QStringLiteral("LATEGONE"));
        QVERIFY(plugUntilRequest(device));

        // The scanner gets its answer while the manager's thread is held up; the port is
        // taken away before the queued result is seen.
        VirtualPorts::remove(device.portPath());
        device.write(device.hardwareDescription().toLatin1());
        QThread::msleep(1500);
        enumerator->pollNow();
        QVERIFY(!m->connectedPorts().contains(device.portPath()));
        QTest::qWait(1000);
        QVERIFY(!announced(connected, device.portPath()));
        QVERIFY(m->deviceInformation(device.portPath()).isEmpty());
        QVERIFY(!m->setActivePort(device.portPath()));
        QTRY_COMPARE_WITH_TIMEOUT(SerialDeviceScanner::liveCount(), 0, 5000);
    }

    // The second after "<BOOT_UP>" is waited with a timer: no CPU spent, and a repeated
    // announcement in that second does not send the request twice.
    void bootSettleWaitsQuietlyAndAsksOnce()
    {
        SerialPortManager* m = SerialPortManager::instance();
        QSignalSpy connected(m, &SerialPortManager::deviceConnected);
        PtyDevice device;
        device.setAutoIdentify(false);
        QVERIFY(device.open());
        VirtualPorts::add(device.portPath());
        QVERIFY(device.waitForReceived(" ", 10000));
        device.clearReceived();
        const qint64 cpuBefore = processCpuMs();
        device.write("<BOOT_UP>");
        QTest::qWait(300);
        device.write("<BOOT_UP>");
        QVERIFY(device.waitForReceived("#HWCF#", 10000));
        const qint64 cpuUsed = processCpuMs() - cpuBefore;
        QTest::qWait(2000);
        QCOMPARE(device.received().count("#HWCF#"), 1);
        // A busy wait burns most of that second; a timer next to nothing.
        QVERIFY2(cpuUsed < 200, qPrintable(QStringLiteral("%1 ms of CPU while waiting").arg(cpuUsed)));
        device.write(device.hardwareDescription().toLatin1());
        QTRY_VERIFY_WITH_TIMEOUT(announced(connected, device.portPath()), 10000);
        device.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!m->connectedPorts().contains(device.portPath()), 10000);
    }

    // A scanner that gave up closes its port: it must not hold the device nor buffer
    // everything the device sends until the port goes away.
    void scannerThatGaveUpClosesItsPort()
    {
        SerialPortManager* m = SerialPortManager::instance();
        PtyDevice device;
        QVERIFY(plugUntilRequest(device));
        // The test's own descriptor and the scanner's.
        QCOMPARE(openDescriptorsOn(device.slavePath()), 2);
        // No answer: the scanner gives up after its 5 s wait.
        QTRY_COMPARE_WITH_TIMEOUT(openDescriptorsOn(device.slavePath()), 1, 20000);
        QVERIFY(m->connectedPorts().contains(device.portPath()));
        QVERIFY(m->deviceInformation(device.portPath()).isEmpty());
        device.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!m->connectedPorts().contains(device.portPath()), 10000);
    }

    // A reply that never ends is not buffered without bound: the scanner asks once more
    // and then drops the port, while the device is still sending.
    void endlessReplyIsBounded()
    {
        SerialPortManager* m = SerialPortManager::instance();
        PtyDevice device;
        QVERIFY(plugUntilRequest(device));
        device.clearReceived();
        device.write("#HWCF#");
        const QByteArray piece = QByteArray("<JUNK:0123456789abcdef>").repeated(40);
        int sent = 0;
        while (m->connectedPorts().contains(device.portPath()) && sent < 4 * 1024 * 1024) {
            device.write(piece);
            sent += piece.size();
            QTest::qWait(2);
        }
        QVERIFY2(!m->connectedPorts().contains(device.portPath()),
                 qPrintable(QStringLiteral("still waiting after %1 bytes").arg(sent)));
        QVERIFY(sent < 256 * 1024);
        QCOMPARE(device.received().count("#HWCF#"), 1);
        device.unplug();
    }

    // Blank text from the device is not collected.
    void blankTextIsNotCollected()
    {
        SerialPortManager* m = SerialPortManager::instance();
        PtyDevice device;
        QVERIFY(device.open());
        QVERIFY(device.connectToManager());
        QVERIFY(m->openSerialPort());
        const QByteArray blanks(4096, ' ');
        const qint64 cpuBefore = processCpuMs();
        for (int i = 0; i < 1024; ++i) {
            device.write(blanks);
            QTest::qWait(1);
        }
        QTest::qWait(200);
        const qint64 cpuUsed = processCpuMs() - cpuBefore;
        // Rescanning collected blanks on every read costs seconds; reading them, a little.
        QVERIFY2(cpuUsed < 800, qPrintable(QStringLiteral("%1 ms of CPU for 4 MiB of blanks").arg(cpuUsed)));
        m->closeSerialPort();
        device.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!m->connectedPorts().contains(device.portPath()), 10000);
    }

    // This program and dovrelctl meet at a device's restart: whichever opens the port
    // second finds it in use (no permission problem), leaves no scanner waiting, tries
    // again once it is free, and both end up listing the device.
    void twoProgramsMeetAtARestart_data()
    {
        QTest::addColumn<bool>("commandFirst");
        QTest::newRow("this program first") << false;
        QTest::newRow("dovrelctl first") << true;
    }
    void twoProgramsMeetAtARestart()
    {
        QFETCH(bool, commandFirst);
        if (!RestartingDevice::devIsWritable())
            QSKIP("needs a writable /dev");
        SerialPortManager* m = SerialPortManager::instance();
        QSignalSpy inUse(m, &SerialPortManager::portInUse);
        RestartingDevice device;
        // Every identification takes over a second, and this program looks away until
        // dovrelctl holds the port.
        QVERIFY(device.start({ QStringLiteral("--serial"), QStringLiteral("BENCH1"), QStringLiteral("--hwcf-chunks"), QStringLiteral("40") }));
        const QString port = device.port();
        if (commandFirst)
            VirtualPorts::remove(port);
        const int restarts = device.restarts();
        const DovrelctlRun reboot = DovrelctlRun::start({ QStringLiteral("--port"), port, QStringLiteral("reboot") });
        QVERIFY2(reboot.exitCode == 0, qPrintable(reboot.describe()));
        QVERIFY(waitUntil([&] { return device.restarts() > restarts; }, 10000));
        const int asked = device.emulator.commandCount(QStringLiteral("#HWCF#"));
        const std::unique_ptr<QProcess> list = DovrelctlRun::launch({ QStringLiteral("--port"), port, QStringLiteral("--json"), QStringLiteral("list") },
                                              { { QStringLiteral("DOVREL_DEBUG"), QStringLiteral("1") },
                                                { QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("dovrel.discovery.debug=true") } });
        if (commandFirst) {
            if (!waitUntil([&] { return device.emulator.commandCount(QStringLiteral("#HWCF#")) > asked; }, 20000))
                QFAIL(qPrintable(DovrelctlRun::collect(*list).describe()));
            VirtualPorts::add(port);
            QVERIFY(waitUntil([&] { return m->portsInUse().contains(port) && SerialDeviceScanner::liveCount() == 0; }, 10000));
        }
        QVERIFY(waitUntil([&list] { return list->state() == QProcess::NotRunning; }, 60000));
        const DovrelctlRun listed = DovrelctlRun::collect(*list);
        QVERIFY2(listed.exitCode == 0, qPrintable(listed.describe()));
        QCOMPARE(listed.json.value(QStringLiteral("devices")).toArray().at(0).toObject().value(QStringLiteral("serial")).toString(),
                 QStringLiteral("BENCH1"));
        QVERIFY2(device.waitForReturn(restarts), "this program does not list the device again");
        QVERIFY2(!inUse.isEmpty() || listed.err.contains("in use by another program"), "the programs did not meet");
        QVERIFY2(!listed.err.contains("udev rule") && m->deniedPorts().isEmpty() && m->portsInUse().isEmpty(), listed.err.constData());
        device.stop();
        QVERIFY(waitUntil([&] { return !m->connectedPorts().contains(port); }, 10000));
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
