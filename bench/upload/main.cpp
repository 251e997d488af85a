// bench_upload: times a project upload (200 files, 5 MB) and a software upgrade (3 MB)
// against the emulated device, unthrottled and throttled to about 115200 baud.
//
// Steps are timed from the emulator's transcript (one clock): mode change, staging
// folder preparation, per file the announcement overhead (from the end of the previous
// file through "#LOAD", "<LOAD:ACK>", the fixed 400 ms start delay and the "C") and
// the packet transfer, then the installation up to "<BOOT:NOR>".
// The emulator's --throttle limits both directions to the given bytes per second.
// "--throttled-only" or "--unthrottled-only" run one half; other arguments go to the emulator: "bench_upload --c-delay 0" takes the
// device's own wait before its "C" (500 ms by default) out of the picture.
#include "connecteddevice.h"

#include "configurationinfo.h"
#include "serialportmanager.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using Orvane::Tavrix::Common::ConfigurationInfo;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

constexpr int FileCount = 200;
constexpr int FileSize = 25000;
constexpr int PackageSize = 3000000;
constexpr int StartDelayMs = 400;
constexpr double LineBytesPerSecond = 11520.0;

// Extra emulator arguments from the command line, e.g. "--c-delay 0".
QStringList g_extraArgs;

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(generator.bounded(256));
    return bytes;
}

struct Event
{
    QString type;
    QString text;
    double ms = 0;
};

QList<Event> readTranscript(DeviceEmulator& emulator)
{
    QList<Event> events;
    for (const QJsonObject& object : emulator.transcript()) {
        Event e;
        e.type = object.value(QStringLiteral("event")).toString();
        e.text = object.value(QStringLiteral("text")).toString();
        e.ms = object.value(QStringLiteral("ms")).toDouble();
        events << e;
    }
    return events;
}

// Time of the first event of the type whose text starts with prefix, at or after index from.
double timeOf(const QList<Event>& events, const QString& type, const QString& prefix, int* index = nullptr, int from = 0)
{
    for (int i = from; i < events.size(); ++i) {
        if (events.at(i).type == type && events.at(i).text.startsWith(prefix)) {
            if (index)
                *index = i;
            return events.at(i).ms;
        }
    }
    return -1;
}

double wireSeconds(qint64 payloadBytes)
{
    const qint64 packets = (payloadBytes + 1023) / 1024;
    return packets * 1029 / LineBytesPerSecond;
}

// Starts the device and waits until the identifying scanner has let go of the port.
bool startDevice(ConnectedDevice& device, const QStringList& args)
{
    if (!device.start(args)) {
        std::fprintf(stderr, "emulator did not start\n");
        return false;
    }
    SerialPortManager* manager = SerialPortManager::instance();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        if (manager->openSerialPort()) {
            manager->closeSerialPort();
            return true;
        }
        QTest::qWait(50);
    }
    std::fprintf(stderr, "port stays busy\n");
    return false;
}

// Waits for the end of the operation, at most ten minutes.
bool waitForEnd(QSignalSpy& finished, QSignalSpy& error)
{
    QElapsedTimer timer;
    timer.start();
    while (finished.isEmpty() && error.isEmpty() && timer.elapsed() < 600000)
        finished.wait(1000);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(error.at(0).at(0).toString()));
        return false;
    }
    return !finished.isEmpty();
}

bool runUpload(bool throttled)
{
    QTemporaryDir local;
    QStringList files;
    for (int i = 0; i < FileCount; ++i) {
        const QString path = local.filePath(QStringLiteral("project/images/f%1.png").arg(i, 3, 10, QLatin1Char('0')));
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(randomBytes(FileSize, quint32(i))) != FileSize)
            return false;
        files << path;
    }
    // The project configuration goes last, as the upload dialog orders it.
    const QString config = local.filePath(QStringLiteral("config.txrc"));
    QFile configFile(config);
    if (!configFile.open(QIODevice::WriteOnly) || configFile.write("DefaultScreen=main.qml\n") <= 0)
        return false;
    configFile.close();
    files << config;

    QStringList args = QStringList { QStringLiteral("--populate") } + g_extraArgs;
    if (throttled)
        args << QStringLiteral("--throttle") << QString::number(int(LineBytesPerSecond));
    ConnectedDevice device;
    if (!startDevice(device, args))
        return false;
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy finished(manager, &SerialPortManager::progressFinished);
    QSignalSpy error(manager, &SerialPortManager::progressError);

    // Per file: local times of its progress reports, for the packet rate.
    QElapsedTimer clock;
    QList<QList<qint64>> progressTimes;
    QObject::connect(manager, &SerialPortManager::currentFileChanged, manager, [&] { progressTimes.append(QList<qint64>()); });
    QObject::connect(manager, &SerialPortManager::progressUpdated, manager, [&](int) {
        if (!progressTimes.isEmpty())
            progressTimes.last().append(clock.nsecsElapsed());
    });

    clock.start();
    manager->uploadProject(files, ConfigurationInfo());
    const bool ended = waitForEnd(finished, error);
    const double wall = clock.nsecsElapsed() / 1e6;
    QObject::disconnect(manager, &SerialPortManager::currentFileChanged, manager, nullptr);
    QObject::disconnect(manager, &SerialPortManager::progressUpdated, manager, nullptr);
    if (!ended)
        return false;
    QTest::qWait(300);

    const QList<Event> ev = readTranscript(device.emulator());
    const double tStart = timeOf(ev, QStringLiteral("command"), QStringLiteral("#FINF<"));
    const double tMode = timeOf(ev, QStringLiteral("command"), QStringLiteral("#MODE<1>#"));
    const double tLsTmp = timeOf(ev, QStringLiteral("command"), QStringLiteral("#UNIX<ls -r ./tmp/project>#"));
    int index = 0;
    const double tFirstLoad = timeOf(ev, QStringLiteral("command"), QStringLiteral("#LOAD<"), &index);
    const double tLsQml = timeOf(ev, QStringLiteral("command"), QStringLiteral("#UNIX<ls -r ./qml/project>#"));
    const double tBoot = timeOf(ev, QStringLiteral("reply"), QStringLiteral("<BOOT:NOR>"));

    // Per-packet time: median interval between progress reports within a file.
    QList<double> intervals;
    for (const QList<qint64>& times : std::as_const(progressTimes)) {
        for (int i = 1; i < times.size(); ++i)
            intervals << (times.at(i) - times.at(i - 1)) / 1e6;
    }
    std::sort(intervals.begin(), intervals.end());
    const double perPacket = intervals.isEmpty() ? 0 : intervals.at(intervals.size() / 2);
    const int packetsPerFile = (FileSize + 1023) / 1024;

    const double filesPhase = tLsQml - tFirstLoad;
    const double transfer = perPacket * (packetsPerFile * FileCount + 1);
    const double overhead = filesPhase - transfer;
    const double total = tBoot - tStart;

    std::printf("\nProject upload, %d files x %d bytes (%lld bytes), %s\n", FileCount, FileSize, (long long)(FileCount * qint64(FileSize)),
                throttled ? "throttled to 11520 B/s" : "unthrottled");
    std::printf("  %-44s %10.0f ms\n", "mode change (#MODE<1># to next command)", tLsTmp - tMode);
    std::printf("  %-44s %10.0f ms\n", "staging folder preparation", tFirstLoad - tLsTmp);
    std::printf("  %-44s %10.0f ms  (%.1f ms per file)\n", "file phase (201 files)", filesPhase, filesPhase / (FileCount + 1));
    std::printf("  %-44s %10.0f ms  (%.2f ms per packet, %d packets per file)\n", "  of which packet transfer (estimated)",
                transfer, perPacket, packetsPerFile);
    std::printf("  %-44s %10.0f ms  (%.1f ms per file)\n", "  of which announcement overhead", overhead, overhead / (FileCount + 1));
    std::printf("  %-44s %10.0f ms\n", "install, configure, sync, reboot", tBoot - tLsQml);
    std::printf("  %-44s %10.0f ms  (wall clock %.0f ms)\n", "total", total, wall);
    std::printf("  %-44s %10.1f %%  (%d x %d ms)\n", "share of fixed 400 ms start delays",
                100.0 * (FileCount + 1) * StartDelayMs / total, FileCount + 1, StartDelayMs);
    if (throttled)
        std::printf("  %-44s %10.0f ms\n", "packet bytes at 11520 B/s, for comparison", wireSeconds(FileSize) * FileCount * 1000);
    return true;
}

bool runUpgrade(bool throttled)
{
    const QByteArray package = randomBytes(PackageSize, 99);
    QStringList args = QStringList { QStringLiteral("--populate") } + g_extraArgs;
    if (throttled)
        args << QStringLiteral("--throttle") << QString::number(int(LineBytesPerSecond));
    ConnectedDevice device;
    if (!startDevice(device, args))
        return false;
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy finished(manager, &SerialPortManager::progressFinished);
    QSignalSpy error(manager, &SerialPortManager::progressError);
    QElapsedTimer clock;
    clock.start();
    manager->upgradeDeviceSoftware(package);
    if (!waitForEnd(finished, error))
        return false;
    const double wall = clock.nsecsElapsed() / 1e6;
    QTest::qWait(300);
    const QList<Event> ev = readTranscript(device.emulator());
    const double tAnnounce = timeOf(ev, QStringLiteral("command"), QStringLiteral("#RTLD<"));
    const double tAck = timeOf(ev, QStringLiteral("reply"), QStringLiteral("<RTLD:ACK>"));
    double tReceived = -1;
    for (const Event& e : ev) {
        if (e.type == QLatin1String("file-received"))
            tReceived = e.ms;
    }
    const double tDone = timeOf(ev, QStringLiteral("reply"), QStringLiteral("<RTLD:NOR>"));
    const double transfer = tReceived - tAck - StartDelayMs;
    std::printf("\nSoftware upgrade, %d bytes (%d packets), %s\n", PackageSize, (PackageSize + 1023) / 1024,
                throttled ? "throttled to 11520 B/s" : "unthrottled");
    std::printf("  %-44s %10.0f ms\n", "announcement (#RTLD to <RTLD:ACK>)", tAck - tAnnounce);
    std::printf("  %-44s %10.0f ms\n", "start delay", double(StartDelayMs));
    std::printf("  %-44s %10.0f ms  (%.3f ms per packet)\n", "packet transfer (incl. the C)", transfer,
                transfer / ((PackageSize + 1023) / 1024));
    std::printf("  %-44s %10.0f ms\n", "install (to <RTLD:NOR>)", tDone - tReceived);
    std::printf("  %-44s %10.0f ms  (wall clock %.0f ms)\n", "total", tDone - tAnnounce, wall);
    if (throttled)
        std::printf("  %-44s %10.0f ms\n", "packet bytes at 11520 B/s, for comparison", wireSeconds(PackageSize) * 1000);
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    g_extraArgs = app.arguments().mid(1);
    if (!SerialPortManager::instance()) {
        std::fprintf(stderr, "no serial port manager\n");
        return 1;
    }
    // "--throttled-only" / "--unthrottled-only" run one half.
    QList<bool> modes = { false, true };
    if (g_extraArgs.removeAll(QStringLiteral("--throttled-only")))
        modes = { true };
    if (g_extraArgs.removeAll(QStringLiteral("--unthrottled-only")))
        modes = { false };
    bool ok = true;
    for (bool throttled : modes) {
        ok = runUpload(throttled) && ok;
        ok = runUpgrade(throttled) && ok;
    }
    return ok ? 0 : 1;
}
