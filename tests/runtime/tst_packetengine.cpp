// The packet engine on the wire: exact packets against a device played by the test,
// and interoperation with lrzsz, an XMODEM implementation nobody here wrote.
#include "connecteddevice.h"
#include "englishtexts.h"
#include "eventwait.h"
#include "ptydevice.h"
#include "randomdata.h"
#include "serialportmanager.h"

#include <QCryptographicHash>
#include <QJsonObject>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>

extern char** environ;

using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

QByteArray pattern(int size, quint32 seed)
{
    return randomBytes(size, seed);
}

// A packet as a device sends it: SOH for 128 payload bytes, STX for 1024, padded with SUB.
QByteArray devicePacket(int block, const QByteArray& payload, int length = 1024)
{
    QByteArray padded = payload;
    padded.append(QByteArray(length - payload.size(), '\x1A'));
    QByteArray packet;
    packet.append(length == 128 ? '\x01' : '\x02');
    packet.append(char(block & 0xFF));
    packet.append(char(255 - (block & 0xFF)));
    packet.append(padded);
    const quint16 crc = SerialPortManager::crc16(padded.constData(), length);
    packet.append(char(crc >> 8));
    packet.append(char(crc & 0xFF));
    return packet;
}

// Runs a program with its standard input and output on a socket pair bridged to the pty,
// so the program cannot change the line settings of the port under test.
pid_t spawnOnPty(PtyDevice& device, const QStringList& arguments, const QString& workDir)
{
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        return -1;
    const int fd = pair[1];
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fd, 0);
    posix_spawn_file_actions_adddup2(&actions, fd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, qEnvironmentVariableIsSet("DOVREL_LRZSZ_LOG") ? "/tmp/lrzsz.log" : "/dev/null", O_WRONLY | O_CREAT | O_APPEND, 0644);
    QList<QByteArray> storage;
    for (const QString& a : arguments)
        storage << a.toLocal8Bit();
    QList<char*> argv;
    for (QByteArray& a : storage)
        argv << a.data();
    argv << nullptr;
    const QByteArray cwd = QDir::currentPath().toLocal8Bit();
    QDir::setCurrent(workDir);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv.first(), &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    QDir::setCurrent(QString::fromLocal8Bit(cwd));
    posix_spawn_file_actions_destroy(&actions);
    ::close(pair[1]);
    device.bridgeTo(pair[0]);
    return pid;
}

bool waitForExit(pid_t pid, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return true;
        waitEvents(20);
    }
    return false;
}

} // namespace

class TestPacketEngine : public QObject
{
    Q_OBJECT
private:
    SerialPortManager* manager() { return SerialPortManager::instance(); }

    QByteArray readPacket(PtyDevice& device)
    {
        if (!waitUntil([&] { return device.received().size() >= 1029; }, 5000))
            return QByteArray();
        const QByteArray packet = device.received().left(1029);
        device.clearReceived();
        return packet;
    }

    static void checkPacket(const QByteArray& packet, int block, const QByteArray& payload)
    {
        QCOMPARE(packet.size(), 1029);
        QCOMPARE(packet.at(0), '\x02');
        QCOMPARE(quint8(packet.at(1)), quint8(block));
        QCOMPARE(quint8(packet.at(2)), quint8(255 - block));
        QByteArray padded = payload;
        padded.append(QByteArray(1024 - payload.size(), '\x1A'));
        QCOMPARE(packet.mid(3, 1024), padded);
        const quint16 crc = SerialPortManager::crc16(padded.constData(), 1024);
        QCOMPARE(quint8(packet.at(1027)), quint8(crc >> 8));
        QCOMPARE(quint8(packet.at(1028)), quint8(crc & 0xFF));
    }

    // Drives a data log retrieval up to the host's "C" after the device announced size bytes.
    bool startLogRetrieval(PtyDevice& device, const QString& destination, int size)
    {
        SerialPortManager* m = manager();
        if (!m->retrieveDataLogFile(destination) || !device.waitForReceived("#UNIX<ls qml/dataLogging.txdb>#"))
            return false;
        device.write("<UNIX:NOR>");
        if (!device.waitForReceived("#MODE<2>#"))
            return false;
        device.write("<MODE_ACK>");
        if (!device.waitForReceived("#LOGZ#"))
            return false;
        device.write("<ZIPL:ACK>");
        if (!device.waitForReceived("#GETF<"))
            return false;
        device.clearReceived();
        device.write(QStringLiteral("<GETF:%1>").arg(size).toLatin1());
        return device.waitForReceived("C");
    }

    // Starts an upgrade and answers its announcement; the test then plays the receiver.
    bool startUpgrade(PtyDevice& device, const QByteArray& content, const QByteArray& acceptance)
    {
        manager()->upgradeDeviceSoftware(content);
        if (!device.waitForReceived("#RTLD<"))
            return false;
        device.clearReceived();
        device.write(acceptance);
        return true;
    }

private slots:
    void initTestCase() { useEnglishTexts(); }
    void cleanup()
    {
        manager()->closeSerialPort();
        manager()->resetAllStatus();
    }

    void sendLayoutPaddingAndNak()
    {
        PtyDevice device;
        QVERIFY(device.open());
        QVERIFY(device.connectToManager());
        SerialPortManager* m = manager();
        const QByteArray content = pattern(1025, 1);
        QSignalSpy progress(m, &SerialPortManager::progressUpdated);
        QSignalSpy finished(m, &SerialPortManager::progressFinished);
        m->upgradeDeviceSoftware(content);
        const QByteArray md5 = QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex();
        QVERIFY(device.waitForReceived("#RTLD<update.tar.gz>[" + md5 + "]1025#"));
        QVERIFY(device.received().startsWith("#FINF<1025>#"));
        device.clearReceived();
        device.write("<RTLD:ACK>");
        // The receiver asks before the start delay has run out; the request is not lost.
        QTest::qWait(100);
        device.write("C");

        const QByteArray first = readPacket(device);
        checkPacket(first, 1, content.left(1024));
        device.write("\x15"); // NAK: the very same packet again
        QCOMPARE(readPacket(device), first);
        device.write("\x06");
        const QByteArray second = readPacket(device);
        checkPacket(second, 2, content.mid(1024));
        device.write("\x06");
        QVERIFY(device.waitForReceived("\x04"));
        int sum = 0;
        for (const auto& args : std::as_const(progress))
            sum += args.at(0).toInt();
        QCOMPARE(sum, 1025);

        device.write("<RTLD:NOR>");
        QVERIFY(finished.wait(5000) || finished.count() == 1);
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QCOMPARE(m->currentOperation(), int(SerialPortManager::NoOperation));
        QVERIFY(!m->isSerialPortOpen());
    }

    void exactBlockNeedsNoPadding()
    {
        PtyDevice device;
        QVERIFY(device.open());
        QVERIFY(device.connectToManager());
        SerialPortManager* m = manager();
        const QByteArray content = pattern(1024, 2);
        m->upgradeDeviceSoftware(content);
        QVERIFY(device.waitForReceived("]1024#"));
        device.clearReceived();
        device.write("<RTLD:ACK>");
        QTest::qWait(600);
        device.write("C");
        checkPacket(readPacket(device), 1, content);
        device.write("\x06");
        QVERIFY(device.waitForReceived("\x04"));
        QCOMPARE(device.received(), QByteArray("\x04"));
        device.write("<RTLD:ERR>");
        QSignalSpy error(m, &SerialPortManager::progressError);
        QVERIFY(error.wait(5000));
        QCOMPARE(error.at(0).at(0).toString(), QStringLiteral("The checksum of the upgrade package does not match."));
        QCOMPARE(error.at(0).at(1).toBool(), false);
    }

    void unexpectedByteEndsSendAtOnce()
    {
        PtyDevice device;
        QVERIFY(device.open());
        QVERIFY(device.connectToManager());
        SerialPortManager* m = manager();
        QSignalSpy error(m, &SerialPortManager::progressError);
        m->upgradeDeviceSoftware(pattern(5000, 3));
        QVERIFY(device.waitForReceived("#RTLD<"));
        device.write("<RTLD:ACK>");
        QTest::qWait(600);
        device.clearReceived();
        device.write("C");
        QVERIFY(!readPacket(device).isEmpty());
        QElapsedTimer timer;
        timer.start();
        device.write("C"); // a second request after the start counts as unexpected
        QVERIFY(error.wait(3000));
        QVERIFY(timer.elapsed() < 2000);
        QCOMPARE(error.at(0).at(0).toString(), QStringLiteral("The device cancelled the file transfer."));
        QVERIFY(device.waitForReceived("#UNIX<reboot>#"));
        QVERIFY(!m->isSerialPortOpen());
        QCOMPARE(m->currentOperation(), 0);
    }

    // The first packet follows the device's own request, however late it comes, and
    // nothing is sent before it.
    void sendStartsOnLateRequest()
    {
        PtyDevice device;
        QVERIFY(device.open());
        QVERIFY(device.connectToManager());
        const QByteArray content = pattern(3000, 11);
        QVERIFY(startUpgrade(device, content, "<RTLD:ACK>"));
        waitEvents(2500);
        QCOMPARE(device.received(), QByteArray());
        device.write("C");
        checkPacket(readPacket(device), 1, content.left(1024));
    }

    // Text the device writes after the acceptance is not its request, even where it holds a "C";
    // a request in the same read as the acceptance and the text is taken at once.
    void sendSkipsTextBeforeRequest_data()
    {
        QTest::addColumn<QList<QByteArray>>("writes");
        QTest::newRow("text in its own read") << QList<QByteArray>{ "<RTLD:ACK>", "Checking Card\r\nCRC on\r\n", "C" };
        QTest::newRow("all in one read") << QList<QByteArray>{ "<RTLD:ACK>\r\nCopying... C" };
        QTest::newRow("request glued to the acceptance") << QList<QByteArray>{ "<RTLD:ACK>C" };
    }
    void sendSkipsTextBeforeRequest()
    {
        QFETCH(QList<QByteArray>, writes);
        PtyDevice device;
        QVERIFY(device.open());
        QVERIFY(device.connectToManager());
        const QByteArray content = pattern(1500, 12);
        QVERIFY(startUpgrade(device, content, writes.first()));
        for (int i = 1; i < writes.size(); ++i) {
            waitEvents(300);
            QCOMPARE(device.received(), QByteArray());
            device.write(writes.at(i));
        }
        checkPacket(readPacket(device), 1, content.left(1024));
        device.write("\x06");
        checkPacket(readPacket(device), 2, content.mid(1024));
    }

    // A device that never asks: the watchdog ends the send with the operation's own text.
    void silentReceiverEndsWithTimeoutText()
    {
        PtyDevice device;
        QVERIFY(device.open());
        QVERIFY(device.connectToManager());
        SerialPortManager* m = manager();
        QSignalSpy error(m, &SerialPortManager::progressError);
        QVERIFY(startUpgrade(device, pattern(2000, 13), "<RTLD:ACK>\r\nbusy\r\n"));
        QVERIFY(waitUntil([&] { return error.count() > 0; }, 15000));
        QCOMPARE(error.count(), 1);
        QCOMPARE(error.at(0).at(0).toString(), SerialPortManager::timeoutText(SerialPortManager::SendSoftwarePackage));
        QVERIFY(!device.received().contains('\x02'));
        QVERIFY(device.waitForReceived("#UNIX<reboot>#"));
        QCOMPARE(m->currentOperation(), 0);
    }

    // The size announced is the number of bytes read, not the size on disk (a pseudo file
    // reports a page); a file that cannot be read whole announces nothing.
    void announcesExactlyTheBytesRead()
    {
        const QString pseudo = QStringLiteral("/sys/devices/system/cpu/online");
        QFile probe(pseudo);
        if (!probe.open(QIODevice::ReadOnly))
            QSKIP("no sysfs");
        const QByteArray content = probe.readAll();
        QVERIFY(QFileInfo(pseudo).size() != content.size());
        PtyDevice device;
        QVERIFY(device.open());
        QVERIFY(device.connectToManager());
        SerialPortManager* m = manager();
        QVERIFY(m->openSerialPort());
        m->remoteRestoreFile(pseudo, QStringLiteral("cal_list.txt"));
        QVERIFY(device.waitForReceived(QStringLiteral("#LOAD<cal_list.txt>%1#").arg(content.size()).toLatin1()));
        m->closeSerialPort();
        m->resetAllStatus();

        device.clearReceived();
        QVERIFY(!m->setTransferFile(QStringLiteral("/proc/self/mem"), QStringLiteral("x")));
        QVERIFY(m->openSerialPort());
        m->remoteRestoreFile(QStringLiteral("/proc/self/mem"), QStringLiteral("cal_list.txt"));
        waitEvents(300);
        QVERIFY(!device.received().contains("#LOAD"));
    }

    // Reads do not follow packet bounds: a packet with a stray byte behind it is taken,
    // the stray byte refused, and two packets in one read are both taken.
    void receiveTakesPacketsOffTheFront_data()
    {
        QTest::addColumn<bool>("strayByte");
        QTest::newRow("packet and one stray byte") << true;
        QTest::newRow("two packets in one read") << false;
    }
    void receiveTakesPacketsOffTheFront()
    {
        QFETCH(bool, strayByte);
        PtyDevice device;
        QVERIFY(device.open());
        QVERIFY(device.connectToManager());
        SerialPortManager* m = manager();
        QTemporaryDir out;
        const QByteArray content = pattern(2100, 14);
        QSignalSpy stored(m, &SerialPortManager::sentFile);
        QSignalSpy error(m, &SerialPortManager::progressError);
        QVERIFY(startLogRetrieval(device, out.path(), content.size()));
        device.clearReceived();
        const QByteArray first = devicePacket(1, content.left(1024));
        const QByteArray second = devicePacket(2, content.mid(1024, 1024));
        if (strayByte) {
            device.write(first + "x");
            QVERIFY(device.waitForReceived("\x06\x15"));
            device.clearReceived();
            device.write(second);
            QVERIFY(device.waitForReceived("\x06"));
        } else {
            device.write(first + second);
            QVERIFY(device.waitForReceived("\x06\x06"));
        }
        device.clearReceived();
        device.write(devicePacket(3, content.mid(2048), 128));
        QVERIFY(device.waitForReceived("\x06"));
        device.write("\x04");
        QVERIFY(waitUntil([&] { return stored.count() == 1 || error.count() > 0; }, 10000));
        QCOMPARE(error.count(), 0);
        QVERIFY(device.waitForReceived("#BOOT#"));
        device.write("<BOOT:NOR>");
        QFile file(out.filePath(QStringLiteral("dataLogging.txdb.zip")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
    }

    // A sender that ends before the announced size: an error, and the file already stored
    // locally stays as it was.
    void shortReceiveKeepsTheOldFile()
    {
        PtyDevice device;
        QVERIFY(device.open());
        QVERIFY(device.connectToManager());
        SerialPortManager* m = manager();
        QTemporaryDir out;
        const QString local = out.filePath(QStringLiteral("dataLogging.txdb.zip"));
        {
            QFile old(local);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("the good old copy");
        }
        const QByteArray content = pattern(5000, 15);
        QSignalSpy stored(m, &SerialPortManager::sentFile);
        QSignalSpy ended(m, &SerialPortManager::operationEnded);
        QVERIFY(startLogRetrieval(device, out.path(), content.size()));
        device.clearReceived();
        device.write(devicePacket(1, content.left(1024)));
        QVERIFY(device.waitForReceived("\x06"));
        device.write("\x04");
        QVERIFY(waitUntil([&] { return ended.count() > 0; }, 10000));
        QCOMPARE(stored.count(), 0);
        QCOMPARE(ended.count(), 1);
        const auto result = ended.at(0).at(0).value<Orvane::Tavrix::Runtime::OperationResult>();
        QCOMPARE(result.outcome, Orvane::Tavrix::Runtime::OperationResult::Failed);
        QCOMPARE(result.message, QStringLiteral("The file received from the device is incomplete."));
        QFile file(local);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("the good old copy"));
        QCOMPARE(m->currentOperation(), 0);
    }

    // A bridged program that quits while the port still talks to it fails the test that
    // waits for it; it does not take the test program down with SIGPIPE.
    void bridgedProgramThatQuitsFailsCleanly()
    {
        PtyDevice device;
        QVERIFY(device.open());
        QVERIFY(device.connectToManager());
        QTemporaryDir dir;
        const pid_t pid = spawnOnPty(device, { QStringLiteral("true") }, dir.path());
        QVERIFY(pid > 0);
        QVERIFY(waitForExit(pid, 10000));
        QSignalSpy error(manager(), &SerialPortManager::progressError);
        manager()->upgradeDeviceSoftware(pattern(1000, 16));
        waitEvents(500); // the announcement goes to the closed socket
        device.endBridge();
        device.write("<RTLD:ERR>");
        QVERIFY(error.wait(5000));
    }

    // More than 255 blocks each way between the host and the emulated device: block numbers
    // wrap from 255 to 0, and a block the device sends twice (its ACK "lost") is stored once.
    void wrapsBlockNumbersWithTheEmulator()
    {
        ConnectedDevice device;
        // An upgrade then a retrieval on one line: the device stays through the upgrade's restart.
        QVERIFY(device.start({ QStringLiteral("--c-delay"), QStringLiteral("0"), QStringLiteral("--fault"),
                               QStringLiteral("resend:3"), QStringLiteral("--fault"), QStringLiteral("resend:258"),
                               QStringLiteral("--stay-on-reboot") }));
        SerialPortManager* m = manager();
        QVERIFY(waitUntil([&] {
            if (!m->openSerialPort())
                return false;
            m->closeSerialPort();
            return true;
        }, 10000));

        const QByteArray package = pattern(300 * 1024 + 77, 17);
        QSignalSpy finished(m, &SerialPortManager::progressFinished);
        QSignalSpy error(m, &SerialPortManager::progressError);
        m->upgradeDeviceSoftware(package);
        QVERIFY(waitUntil([&] { return finished.count() + error.count() > 0; }, 120000));
        QCOMPARE(error.count(), 0);
        const QList<QJsonObject> received = device.emulator().events(QStringLiteral("file-received"));
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.first().value(QStringLiteral("md5")).toString(),
                 QString::fromLatin1(QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex()));
        QVERIFY(waitUntil([&] { return !m->isSerialPortOpen() && m->openSerialPort(); }, 10000));
        m->closeSerialPort();

        QVERIFY(device.emulator().putFile(QStringLiteral("qml/dataLogging.txdb"), pattern(290 * 1024 + 5, 18)));
        QTemporaryDir out;
        QSignalSpy done(m, &SerialPortManager::retrievedDataLogFile);
        QVERIFY(m->retrieveDataLogFile(out.path()));
        QVERIFY(waitUntil([&] { return done.count() + error.count() > 0; }, 120000));
        QCOMPARE(error.count(), 0);
        QCOMPARE(device.emulator().events(QStringLiteral("duplicate-block")).size(), 0);
        QCOMPARE(device.emulator().events(QStringLiteral("fault")).size(), 2);
        const QByteArray zipped = device.emulator().readFile(QStringLiteral("qml/dataLogging.txdb.zip"));
        QVERIFY(zipped.size() > 256 * 1024);
        QFile file(out.filePath(QStringLiteral("dataLogging.txdb.zip")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), zipped);
    }

    // The emulated device asking three seconds after its acceptance: the send waits for it
    // under the watchdog and completes.
    void emulatorThatAsksLate()
    {
        ConnectedDevice device;
        QVERIFY(device.start({ QStringLiteral("--c-delay"), QStringLiteral("3000") }));
        SerialPortManager* m = manager();
        QVERIFY(waitUntil([&] {
            if (!m->openSerialPort())
                return false;
            m->closeSerialPort();
            return true;
        }, 10000));
        const QByteArray package = pattern(5000, 19);
        QSignalSpy finished(m, &SerialPortManager::progressFinished);
        QSignalSpy error(m, &SerialPortManager::progressError);
        QElapsedTimer timer;
        timer.start();
        m->upgradeDeviceSoftware(package);
        QVERIFY(waitUntil([&] { return finished.count() + error.count() > 0; }, 30000));
        QCOMPARE(error.count(), 0);
        // The emulator's coarse timer may fire a little early.
        QVERIFY2(timer.elapsed() >= 2500, qPrintable(QString::number(timer.elapsed())));
        const QList<QJsonObject> received = device.emulator().events(QStringLiteral("file-received"));
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.first().value(QStringLiteral("md5")).toString(),
                 QString::fromLatin1(QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex()));
    }

    void sendsToLrzszReceiver()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("rx")).isEmpty())
            QSKIP("lrzsz is not installed");
        PtyDevice device;
        QVERIFY(device.open());
        QVERIFY(device.connectToManager());
        SerialPortManager* m = manager();
        QTemporaryDir dir;
        const QByteArray content = pattern(300 * 1024 + 77, 4); // block numbers wrap past 255
        QSignalSpy status(m, &SerialPortManager::upgradeDeviceStatusChange);
        QSignalSpy progress(m, &SerialPortManager::progressUpdated);
        m->upgradeDeviceSoftware(content);
        QVERIFY(device.waitForReceived("#RTLD<"));
        device.write("<RTLD:ACK>");
        QTest::qWait(50);
        const QString out = dir.filePath(QStringLiteral("received.bin"));
        const pid_t pid = spawnOnPty(device, { QStringLiteral("rx"), QStringLiteral("-c"), QStringLiteral("-b"), QStringLiteral("-q"), QStringLiteral("received.bin") }, dir.path());
        QVERIFY(pid > 0);
        QVERIFY(waitUntil([&] {
            for (const auto& args : std::as_const(status))
                if (args.at(0).toInt() == 100)
                    return true;
            return false;
        }, 60000));
        QVERIFY(waitForExit(pid, 10000));
        device.endBridge();
        device.write("<RTLD:NOR>");
        QTRY_VERIFY(!m->isSerialPortOpen());

        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray got = file.readAll();
        QVERIFY(got.size() >= content.size());
        QCOMPARE(got.left(content.size()), content);
        QCOMPARE(got.mid(content.size()), QByteArray(got.size() - content.size(), '\x1A'));
        int sum = 0;
        for (const auto& args : std::as_const(progress))
            sum += args.at(0).toInt();
        QCOMPARE(sum, content.size());
    }

    void receivesFromLrzszSender()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("sx")).isEmpty())
            QSKIP("lrzsz is not installed");
        PtyDevice device;
        QVERIFY(device.open());
        QVERIFY(device.connectToManager());
        SerialPortManager* m = manager();
        QTemporaryDir dir;
        QTemporaryDir out;
        const QByteArray content = pattern(70 * 1024 + 300, 5);
        const QString source = dir.filePath(QStringLiteral("dataLogging.txdb.zip"));
        {
            QFile file(source);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        QSignalSpy stored(m, &SerialPortManager::sentFile);
        QSignalSpy done(m, &SerialPortManager::retrievedDataLogFile);
        QVERIFY(m->retrieveDataLogFile(out.path()));
        QVERIFY(device.waitForReceived("#UNIX<ls qml/dataLogging.txdb>#"));
        device.write("<UNIX:NOR>");
        QVERIFY(device.waitForReceived("#MODE<2>#"));
        device.write("<MODE_ACK>");
        QVERIFY(device.waitForReceived("#LOGZ#"));
        device.write("<ZIPL:ACK>");
        QVERIFY(device.waitForReceived("#GETF<"));
        const pid_t pid = spawnOnPty(device, { QStringLiteral("sx"), QStringLiteral("-k"), QStringLiteral("-b"), QStringLiteral("-q"), QStringLiteral("dataLogging.txdb.zip") }, dir.path());
        QVERIFY(pid > 0);
        device.write(QStringLiteral("<GETF:%1>").arg(content.size()).toLatin1());
        QVERIFY(waitUntil([&] { return stored.count() == 1; }, 60000));
        // Our receiver does not answer the end of transmission; the sender gives up on its own.
        ::kill(pid, SIGTERM);
        QVERIFY(waitForExit(pid, 5000));
        device.endBridge();
        device.write("<BOOT:NOR>");
        QVERIFY(done.wait(5000) || done.count() == 1);

        QFile file(out.filePath(QStringLiteral("dataLogging.txdb.zip")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
    }
};

QTEST_GUILESS_MAIN(TestPacketEngine)
#include "tst_packetengine.moc"
