// The packet engine on the wire: exact packets against a device played by the test,
// and interoperation with lrzsz, an XMODEM implementation nobody here wrote.
#include "englishtexts.h"
#include "ptydevice.h"
#include "serialportmanager.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
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
    QByteArray data(size, '\0');
    QRandomGenerator generator(seed);
    for (int i = 0; i < size; ++i)
        data[i] = char(generator.bounded(256));
    return data;
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
        QTest::qWait(20);
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
        if (!QTest::qWaitFor([&] { return device.received().size() >= 1029; }, 5000))
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
        QCOMPARE(m->currentOperation(), int(SerialPortManager::UpgradeFinished));
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
        QVERIFY(QTest::qWaitFor([&] {
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
        QVERIFY(device.waitForReceived("#MODE<2>#"));
        device.write("<MODE_ACK>");
        QVERIFY(device.waitForReceived("#LOGZ#"));
        device.write("<ZIPL:ACK>");
        QVERIFY(device.waitForReceived("#GETF<"));
        const pid_t pid = spawnOnPty(device, { QStringLiteral("sx"), QStringLiteral("-k"), QStringLiteral("-b"), QStringLiteral("-q"), QStringLiteral("dataLogging.txdb.zip") }, dir.path());
        QVERIFY(pid > 0);
        device.write(QStringLiteral("<GETF:%1>").arg(content.size()).toLatin1());
        QVERIFY(QTest::qWaitFor([&] { return stored.count() == 1; }, 60000));
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
