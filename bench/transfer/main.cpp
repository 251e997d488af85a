// Throughput of the packet engine against the emulated device over a pty, unthrottled and
// at 115200 baud, compared with lrzsz (sx -k -> rx -c) over the same kind of pty.
//
//   build/bin/bench_transfer [--size BYTES] [--throttled-size BYTES]
#include "connecteddevice.h"
#include "serialportmanager.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

constexpr double LineBytesPerSecond = 11520.0;

QByteArray randomBytes(int size)
{
    QByteArray data(size, '\0');
    QRandomGenerator generator(42);
    for (int i = 0; i < size; ++i)
        data[i] = char(generator.bounded(256));
    return data;
}

struct Result
{
    bool ok = false;
    double bytesPerSecond = 0;
};

// Host -> device: a software package, timed from the first acknowledged packet to the last.
Result measureSend(int size, int throttle)
{
    Result result;
    ConnectedDevice device;
    QStringList args { QStringLiteral("--c-delay"), QStringLiteral("0") };
    if (throttle > 0)
        args << QStringLiteral("--throttle") << QString::number(throttle);
    if (!device.start(args))
        return result;
    SerialPortManager* m = SerialPortManager::instance();
    const QByteArray content = randomBytes(size);
    QElapsedTimer clock;
    qint64 first = -1;
    qint64 last = -1;
    QObject context;
    QObject::connect(m, &SerialPortManager::progressUpdated, &context, [&](int) {
        if (first < 0)
            first = clock.elapsed();
    });
    QObject::connect(m, &SerialPortManager::upgradeDeviceStatusChange, &context, [&](int status) {
        if (status == 100)
            last = clock.elapsed();
    });
    QSignalSpy finished(m, &SerialPortManager::progressFinished);
    QSignalSpy error(m, &SerialPortManager::progressError);
    clock.start();
    m->upgradeDeviceSoftware(content);
    const int limitMs = int(size / (throttle > 0 ? throttle : 200000.0) * 3000) + 30000;
    QTest::qWaitFor([&] { return finished.count() + error.count() > 0; }, limitMs);
    if (finished.count() == 1 && first >= 0 && last > first) {
        result.ok = true;
        result.bytesPerSecond = (size - 1024) * 1000.0 / double(last - first);
    }
    return result;
}

// Device -> host: the zipped data log, timed from the first stored block to the end.
Result measureReceive(int size, int throttle)
{
    Result result;
    ConnectedDevice device;
    QStringList args;
    if (throttle > 0)
        args << QStringLiteral("--throttle") << QString::number(throttle);
    if (!device.start(args))
        return result;
    device.emulator().putFile(QStringLiteral("qml/dataLogging.txdb"), randomBytes(size));
    SerialPortManager* m = SerialPortManager::instance();
    QTemporaryDir out;
    QElapsedTimer clock;
    qint64 first = -1;
    qint64 last = -1;
    int received = 0;
    QObject context;
    QObject::connect(m, &SerialPortManager::transferedFileSize, &context, [&](int bytes) {
        if (first < 0)
            first = clock.elapsed();
        received = bytes;
    });
    QObject::connect(m, &SerialPortManager::sentFile, &context, [&] { last = clock.elapsed(); });
    QSignalSpy done(m, &SerialPortManager::retrievedDataLogFile);
    QSignalSpy error(m, &SerialPortManager::progressError);
    clock.start();
    m->retrieveDataLogFile(out.path());
    const int limitMs = int(size / (throttle > 0 ? throttle : 200000.0) * 3000) + 30000;
    QTest::qWaitFor([&] { return done.count() + error.count() > 0; }, limitMs);
    const qint64 zipSize = QFileInfo(out.filePath(QStringLiteral("dataLogging.txdb.zip"))).size();
    if (done.count() == 1 && first >= 0 && last > first) {
        result.ok = true;
        result.bytesPerSecond = (zipSize - 1024) * 1000.0 / double(last - first);
    }
    Q_UNUSED(received)
    return result;
}

pid_t spawnOn(int fd, const QList<QByteArray>& arguments, const QString& workDir)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fd, 0);
    posix_spawn_file_actions_adddup2(&actions, fd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QList<QByteArray> storage = arguments;
    QList<char*> argv;
    for (QByteArray& a : storage)
        argv << a.data();
    argv << nullptr;
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(workDir);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv.first(), &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    QDir::setCurrent(cwd);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// lrzsz on both ends of one pty: sx -k on the master, rx -c on the slave.
Result measureLrzsz(int size)
{
    Result result;
    if (QStandardPaths::findExecutable(QStringLiteral("sx")).isEmpty())
        return result;
    QTemporaryDir dir;
    QFile source(dir.filePath(QStringLiteral("source.bin")));
    if (!source.open(QIODevice::WriteOnly))
        return result;
    source.write(randomBytes(size));
    source.close();
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    const int slave = ::open(ptsname(master), O_RDWR | O_NOCTTY);
    termios tio {};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    QElapsedTimer clock;
    clock.start();
    const pid_t receiver = spawnOn(slave, { "rx", "-c", "-b", "-q", "received.bin" }, dir.path());
    const pid_t sender = spawnOn(master, { "sx", "-k", "-b", "-q", "source.bin" }, dir.path());
    int status = 0;
    waitpid(receiver, &status, 0);
    const qint64 elapsed = clock.elapsed();
    ::kill(sender, SIGTERM);
    waitpid(sender, &status, 0);
    ::close(master);
    ::close(slave);
    if (QFileInfo(dir.filePath(QStringLiteral("received.bin"))).size() >= size && elapsed > 0) {
        result.ok = true;
        result.bytesPerSecond = size * 1000.0 / double(elapsed);
    }
    return result;
}

void report(const char* what, const Result& r, const Result& reference, bool throttled)
{
    if (!r.ok) {
        std::printf("%-34s failed\n", what);
        return;
    }
    std::printf("%-34s %10.0f bytes/s", what, r.bytesPerSecond);
    if (throttled)
        std::printf("   %5.1f%% of the 115200-baud line", 100.0 * r.bytesPerSecond / LineBytesPerSecond);
    else if (reference.ok)
        std::printf("   %5.2fx lrzsz", r.bytesPerSecond / reference.bytesPerSecond);
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({ QStringLiteral("size"), QStringLiteral("Bytes per unthrottled transfer."), QStringLiteral("BYTES"), QStringLiteral("3000000") });
    parser.addOption({ QStringLiteral("throttled-size"), QStringLiteral("Bytes per throttled transfer."), QStringLiteral("BYTES"), QStringLiteral("262144") });
    parser.process(app);
    const int size = parser.value(QStringLiteral("size")).toInt();
    const int throttledSize = parser.value(QStringLiteral("throttled-size")).toInt();

    const Result lrzsz = measureLrzsz(size);
    report("lrzsz sx -k -> rx -c (pty)", lrzsz, Result(), false);
    report("send, unthrottled", measureSend(size, 0), lrzsz, false);
    report("receive, unthrottled", measureReceive(size, 0), lrzsz, false);
    report("send, 115200 baud", measureSend(throttledSize, int(LineBytesPerSecond)), Result(), true);
    report("receive, 115200 baud", measureReceive(throttledSize, int(LineBytesPerSecond)), Result(), true);
    return 0;
}
