// bench_transfer: throughput of the packet engine over pseudo terminals, in one run, as ratios.
//
//   host <-> dovrel-device-emulator against lrzsz (sx -k -> rx -c) over a bare pty, unthrottled;
//   lrzsz <-> dovrel-device-emulator, which shows whether the emulated device holds packets back;
//   at 115200 baud (the emulator's --throttle 11520), the share of the line's byte rate from the
//   device's acceptance to the last acknowledgement, host and lrzsz alike.
//
// Rates count file bytes. Machines here are shared, so compare the ratios within one run.
#include "connecteddevice.h"
#include "emulator.h"
#include "eventwait.h"
#include "randomdata.h"
#include "serialportmanager.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

constexpr int LineBytesPerSecond = 11520; // 115200 baud, 10 bits a byte

struct Result
{
    bool ok = false;
    double seconds = 0;
    qint64 bytes = 0;
    double rate() const { return ok && seconds > 0 ? bytes / seconds : 0; }
};

QString md5(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

QStringList emulatorArgs(int throttle)
{
    // The device asks at once, as lrzsz's receiver does.
    QStringList args { QStringLiteral("--c-delay"), QStringLiteral("0") };
    if (throttle > 0)
        args << QStringLiteral("--throttle") << QString::number(throttle);
    return args;
}

bool portFree(SerialPortManager* m)
{
    return waitUntil([m] {
        if (!m->openSerialPort())
            return false;
        m->closeSerialPort();
        return true;
    }, 10000);
}

// Host -> device, a software package: from "<RTLD:ACK>" to the last acknowledgement.
Result hostSend(int size, int throttle)
{
    Result result;
    ConnectedDevice device;
    SerialPortManager* m = SerialPortManager::instance();
    if (!device.start(emulatorArgs(throttle)) || !portFree(m))
        return result;
    const QByteArray content = randomBytes(size, 42);
    QElapsedTimer clock;
    qint64 accepted = -1;
    qint64 last = -1;
    QObject context;
    QObject::connect(m, &SerialPortManager::upgradeDeviceStatusChange, &context, [&](int status) {
        if (status == SerialPortManager::UpgradePackageAccepted)
            accepted = clock.nsecsElapsed();
        else if (status == SerialPortManager::UpgradePackageSent)
            last = clock.nsecsElapsed();
    });
    QSignalSpy finished(m, &SerialPortManager::progressFinished);
    QSignalSpy error(m, &SerialPortManager::progressError);
    clock.start();
    m->upgradeDeviceSoftware(content);
    const int limitMs = int(qint64(size) * 3000 / (throttle > 0 ? throttle : 100000)) + 30000;
    waitUntil([&] { return finished.count() + error.count() > 0; }, limitMs);
    const QList<QJsonObject> stored = device.emulator().events(QStringLiteral("file-received"));
    if (finished.count() == 1 && accepted >= 0 && last > accepted && stored.size() == 1
        && stored.first().value(QStringLiteral("md5")).toString() == md5(content)) {
        result.ok = true;
        result.bytes = size;
        result.seconds = (last - accepted) / 1e9;
    }
    return result;
}

// Device -> host, the zipped data log: from the size reply "<GETF:N>" to the end of transmission.
Result hostReceive(int size, int throttle)
{
    Result result;
    ConnectedDevice device;
    SerialPortManager* m = SerialPortManager::instance();
    if (!device.start(emulatorArgs(throttle)) || !portFree(m))
        return result;
    device.emulator().putFile(QStringLiteral("qml/dataLogging.txdb"), randomBytes(size, 43));
    QTemporaryDir out;
    QElapsedTimer clock;
    qint64 announced = -1;
    qint64 last = -1;
    QObject context;
    QObject::connect(m, &SerialPortManager::retrieveDataLogStatusChange, &context, [&](int status) {
        if (status == SerialPortManager::LogSizeKnown)
            announced = clock.nsecsElapsed();
        else if (status == SerialPortManager::LogReceived)
            last = clock.nsecsElapsed();
    });
    QSignalSpy done(m, &SerialPortManager::retrievedDataLogFile);
    QSignalSpy error(m, &SerialPortManager::progressError);
    clock.start();
    m->retrieveDataLogFile(out.path());
    const int limitMs = int(qint64(size) * 3000 / (throttle > 0 ? throttle : 100000)) + 30000;
    waitUntil([&] { return done.count() + error.count() > 0; }, limitMs);
    QFile got(out.filePath(QStringLiteral("dataLogging.txdb.zip")));
    const QByteArray zipped = device.emulator().readFile(QStringLiteral("qml/dataLogging.txdb.zip"));
    if (done.count() == 1 && announced >= 0 && last > announced && got.open(QIODevice::ReadOnly)
        && got.readAll() == zipped) {
        result.ok = true;
        result.bytes = zipped.size();
        result.seconds = (last - announced) / 1e9;
    }
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

bool waitForExit(pid_t pid, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        waitEvents(2);
    }
    ::kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return false;
}

bool writeLocal(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readLocal(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void makeRaw(int fd)
{
    termios tio {};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
}

// lrzsz on both ends of one bare pty: sx -k on the master, rx -c on the slave.
Result lrzszPair(int size)
{
    Result result;
    QTemporaryDir dir;
    if (!writeLocal(dir.filePath(QStringLiteral("source.bin")), randomBytes(size, 42)))
        return result;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return result;
    const int slave = ::open(ptsname(master), O_RDWR | O_NOCTTY);
    makeRaw(slave);
    QElapsedTimer clock;
    clock.start();
    const pid_t receiver = spawnOn(slave, { "rx", "-c", "-b", "-q", "received.bin" }, dir.path());
    const pid_t sender = spawnOn(master, { "sx", "-k", "-b", "-q", "source.bin" }, dir.path());
    const bool received = receiver > 0 && waitForExit(receiver, 120000);
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (sender > 0)
        waitForExit(sender, 5000);
    ::close(master);
    ::close(slave);
    const QByteArray got = readLocal(dir.filePath(QStringLiteral("received.bin")));
    if (received && got.left(size) == randomBytes(size, 42)) {
        result.ok = true;
        result.bytes = size;
        result.seconds = seconds;
    }
    return result;
}

// Writes a command on the device's port and reads until the expected reply (or its error form).
bool command(int fd, const QByteArray& text, const QByteArray& reply, QByteArray* answer = nullptr)
{
    if (::write(fd, text.constData(), size_t(text.size())) != text.size())
        return false;
    QByteArray got;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        pollfd p { fd, POLLIN, 0 };
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, int(n));
        const int at = got.indexOf(reply);
        if (at >= 0 && got.indexOf('>', at) >= 0) {
            if (answer)
                *answer = got;
            return true;
        }
    }
    return false;
}

// lrzsz against the emulated device: sx -k into it after "#LOAD", rx -c from it after "#GETF".
// Timed from the device's acceptance to the end of the lrzsz program.
Result lrzszWithEmulator(int size, int throttle, bool send)
{
    Result result;
    DeviceEmulator emulator;
    if (!emulator.start(emulatorArgs(throttle)))
        return result;
    QTemporaryDir dir;
    const QByteArray content = randomBytes(size, 44);
    const int fd = ::open(QFile::encodeName(emulator.portPath()).constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return result;
    makeRaw(fd);
    QElapsedTimer clock;
    bool ok = false;
    if (send) {
        if (!writeLocal(dir.filePath(QStringLiteral("bench.bin")), content)
            || !command(fd, QStringLiteral("#LOAD<bench.bin>%1#").arg(size).toLatin1(), "<LOAD:")) {
            ::close(fd);
            return result;
        }
        clock.start();
        const pid_t pid = spawnOn(fd, { "sx", "-k", "-b", "-q", "bench.bin" }, dir.path());
        ok = pid > 0 && waitForExit(pid, size * 3000LL / (throttle > 0 ? throttle : 100000) + 30000);
        result.seconds = clock.nsecsElapsed() / 1e9;
        ok = ok && emulator.waitForEvent(QStringLiteral("file-received"), 5000)
          && emulator.events(QStringLiteral("file-received")).first().value(QStringLiteral("md5")).toString() == md5(content);
    } else {
        emulator.putFile(QStringLiteral("qml/bench.bin"), content);
        if (!command(fd, "#GETF<qml/bench.bin>#", "<GETF:")) {
            ::close(fd);
            return result;
        }
        clock.start();
        const pid_t pid = spawnOn(fd, { "rx", "-c", "-b", "-q", "received.bin" }, dir.path());
        ok = pid > 0 && waitForExit(pid, size * 3000LL / (throttle > 0 ? throttle : 100000) + 30000);
        result.seconds = clock.nsecsElapsed() / 1e9;
        ok = ok && readLocal(dir.filePath(QStringLiteral("received.bin"))).left(size) == content;
    }
    ::close(fd);
    emulator.stop();
    result.ok = ok;
    result.bytes = size;
    return result;
}

void printRate(const char* what, const Result& r, const Result& reference)
{
    if (!r.ok) {
        std::printf("  %-42s failed\n", what);
        return;
    }
    std::printf("  %-42s %9.0f KB/s", what, r.rate() / 1000.0);
    if (reference.ok)
        std::printf("   %5.2fx lrzsz", r.rate() / reference.rate());
    std::printf("\n");
}

void printShare(const char* what, const Result& r)
{
    if (!r.ok) {
        std::printf("  %-42s failed\n", what);
        return;
    }
    std::printf("  %-42s %9.0f B/s    %5.1f%% of the line\n", what, r.rate(), 100.0 * r.rate() / LineBytesPerSecond);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Packet transfer throughput between the host library, dovrel-device-emulator and lrzsz over pseudo terminals.\n"
        "Unthrottled rates are compared with sx -k -> rx -c in the same run; at 115200 baud the share of the\n"
        "line's byte rate is given from the device's acceptance to the last acknowledgement."));
    parser.addHelpOption();
    parser.addOption({ QStringLiteral("size"), QStringLiteral("Bytes per unthrottled transfer (default 3000000)."), QStringLiteral("BYTES"), QStringLiteral("3000000") });
    parser.addOption({ QStringLiteral("throttled-size"), QStringLiteral("Bytes per transfer at 115200 baud (default 307200)."), QStringLiteral("BYTES"), QStringLiteral("307200") });
    parser.addOption({ QStringLiteral("unthrottled-only"), QStringLiteral("Skip the runs at 115200 baud.") });
    parser.process(app);
    const int size = parser.value(QStringLiteral("size")).toInt();
    const int throttledSize = parser.value(QStringLiteral("throttled-size")).toInt();
    if (size < 1024 || throttledSize < 1024) {
        std::fprintf(stderr, "sizes must be at least 1024 bytes\n");
        return 2;
    }
    if (!SerialPortManager::instance()) {
        std::fprintf(stderr, "no serial port manager\n");
        return 1;
    }
    const bool haveLrzsz = !QStandardPaths::findExecutable(QStringLiteral("sx")).isEmpty()
                        && !QStandardPaths::findExecutable(QStringLiteral("rx")).isEmpty();
    if (!haveLrzsz)
        std::printf("lrzsz (sx, rx) is not installed: no reference figures\n");

    std::printf("Unthrottled, %d bytes\n", size);
    const Result reference = haveLrzsz ? lrzszPair(size) : Result();
    printRate("lrzsz sx -k -> rx -c (bare pty)", reference, Result());
    const Result send = hostSend(size, 0);
    printRate("host -> emulator", send, reference);
    const Result receive = hostReceive(size, 0);
    printRate("emulator -> host", receive, reference);
    if (haveLrzsz) {
        printRate("sx -k -> emulator", lrzszWithEmulator(size, 0, true), reference);
        printRate("emulator -> rx -c", lrzszWithEmulator(size, 0, false), reference);
    }
    if (!parser.isSet(QStringLiteral("unthrottled-only"))) {
        std::printf("At 115200 baud (%d bytes/s each way), %d bytes, acceptance to last acknowledgement\n",
                    LineBytesPerSecond, throttledSize);
        printShare("host -> emulator", hostSend(throttledSize, LineBytesPerSecond));
        printShare("emulator -> host", hostReceive(throttledSize, LineBytesPerSecond));
        if (haveLrzsz) {
            printShare("sx -k -> emulator", lrzszWithEmulator(throttledSize, LineBytesPerSecond, true));
            printShare("emulator -> rx -c", lrzszWithEmulator(throttledSize, LineBytesPerSecond, false));
        }
    }
    return send.ok && receive.ok ? 0 : 1;
}
