// bench_upload: a project upload of many small files plus one large one against the emulated
// device, unthrottled and at 115200 baud, and the share of its time spent in waits.
//
// Steps are timed from the emulator's transcript (one clock). Per file, the wait from the
// device's "<LOAD:ACK>" to the first packet is the start wait (the device asks with "C" at once
// here, as lrzsz's receiver does, so all of it is the host's); at 115200 baud the time beyond
// the line time of the packets is reported as well.
#include "connecteddevice.h"
#include "eventwait.h"
#include "randomdata.h"

#include "configurationinfo.h"
#include "serialportmanager.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstdio>

using Orvane::Tavrix::Common::ConfigurationInfo;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

constexpr int LineBytesPerSecond = 11520;

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

double timeOf(const QList<Event>& events, const QString& type, const QString& prefix)
{
    for (const Event& e : events) {
        if (e.type == type && e.text.startsWith(prefix))
            return e.ms;
    }
    return -1;
}

qint64 packetBytes(qint64 fileBytes)
{
    return (fileBytes + 1023) / 1024 * 1029;
}

struct Plan
{
    int smallFiles = 200;
    int smallSize = 1500;
    int largeSize = 5000000;
};

bool runUpload(const Plan& plan, int throttle, const QStringList& extraArgs)
{
    QTemporaryDir local;
    QStringList files;
    qint64 fileBytes = 0;
    qint64 lineBytes = 0;
    auto addFile = [&](const QString& relative, const QByteArray& content) {
        const QString path = local.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            return false;
        files << path;
        fileBytes += content.size();
        lineBytes += packetBytes(content.size());
        return true;
    };
    for (int i = 0; i < plan.smallFiles; ++i) {
        if (!addFile(QStringLiteral("project/images/f%1.png").arg(i, 3, 10, QLatin1Char('0')), randomBytes(plan.smallSize, quint32(i))))
            return false;
    }
    if (plan.largeSize > 0 && !addFile(QStringLiteral("project/data/large.bin"), randomBytes(plan.largeSize, 999)))
        return false;
    // The project configuration goes last, as the upload dialog orders it.
    if (!addFile(QStringLiteral("config.txrc"), QByteArray("DefaultScreen=main.qml\n")))
        return false;

    QStringList args = QStringList { QStringLiteral("--populate"), QStringLiteral("--c-delay"), QStringLiteral("0") } + extraArgs;
    if (throttle > 0)
        args << QStringLiteral("--throttle") << QString::number(throttle);
    ConnectedDevice device;
    SerialPortManager* manager = SerialPortManager::instance();
    if (!device.start(args) || !waitUntil([manager] {
            if (!manager->openSerialPort())
                return false;
            manager->closeSerialPort();
            return true;
        }, 10000)) {
        std::fprintf(stderr, "the emulated device did not come up\n");
        return false;
    }
    QSignalSpy finished(manager, &SerialPortManager::progressFinished);
    QSignalSpy error(manager, &SerialPortManager::progressError);
    QElapsedTimer clock;
    clock.start();
    manager->uploadProject(files, ConfigurationInfo());
    waitUntil([&] { return finished.count() + error.count() > 0; }, 3600 * 1000);
    const double wall = clock.nsecsElapsed() / 1e6;
    if (!error.isEmpty() || finished.isEmpty()) {
        std::fprintf(stderr, "upload failed: %s\n", error.isEmpty() ? "no end" : qPrintable(error.at(0).at(0).toString()));
        return false;
    }
    device.emulator().waitForEvent(QStringLiteral("reboot"), 3000);

    const QList<Event> ev = readTranscript(device.emulator());
    const double tStart = timeOf(ev, QStringLiteral("command"), QStringLiteral("#FINF<"));
    const double tFirstLoad = timeOf(ev, QStringLiteral("command"), QStringLiteral("#LOAD<"));
    const double tInstall = timeOf(ev, QStringLiteral("command"), QStringLiteral("#UNIX<ls -r ./qml/project>#"));
    const double tBoot = timeOf(ev, QStringLiteral("reply"), QStringLiteral("<BOOT:NOR>"));
    // Per file: the acceptance, then the first packet.
    double startWaits = 0;
    double maxStartWait = 0;
    int starts = 0;
    double accepted = -1;
    for (const Event& e : ev) {
        if (e.type == QLatin1String("reply") && e.text == QLatin1String("<LOAD:ACK>")) {
            accepted = e.ms;
        } else if (e.type == QLatin1String("first-packet") && accepted >= 0) {
            startWaits += e.ms - accepted;
            maxStartWait = qMax(maxStartWait, e.ms - accepted);
            ++starts;
            accepted = -1;
        }
    }
    const double total = tBoot - tStart;
    const double filePhase = tInstall - tFirstLoad;

    std::printf("\nProject upload, %d files of %d bytes%s, %lld bytes, %s\n", plan.smallFiles, plan.smallSize,
                plan.largeSize > 0 ? qPrintable(QStringLiteral(" + one of %1 bytes").arg(plan.largeSize)) : "",
                (long long)fileBytes, throttle > 0 ? "at 115200 baud" : "unthrottled");
    std::printf("  %-46s %10.0f ms\n", "before the first file (mode, staging folder)", tFirstLoad - tStart);
    std::printf("  %-46s %10.0f ms  (%d files)\n", "files", filePhase, int(files.size()));
    std::printf("  %-46s %10.0f ms\n", "install, configure, sync, reboot", tBoot - tInstall);
    std::printf("  %-46s %10.0f ms  (wall clock %.0f ms)\n", "total", total, wall);
    std::printf("  %-46s %10.1f ms  (%.2f ms per file, at most %.1f ms; %.2f%% of the total)\n",
                "waits from acceptance to first packet", startWaits, starts ? startWaits / starts : 0.0, maxStartWait,
                100.0 * startWaits / total);
    if (throttle > 0) {
        // At the line's rate the wait holds the reply "<LOAD:ACK>" and the "C" on the line and the
        // emulator's first delivery slice (10 ms of bytes); what is left is the host's reaction.
        const double floorMs = (11 + qMin(1029, qMax(1, throttle / 100))) * 1000.0 / throttle;
        const double beyond = qMax(0.0, startWaits - starts * floorMs);
        std::printf("  %-46s %10.1f ms  (%.2f ms per file; %.2f%% of the total)\n",
                    "  of which beyond the line and delivery slice", beyond, starts ? beyond / starts : 0.0,
                    100.0 * beyond / total);
        const double lineMs = lineBytes * 1000.0 / throttle;
        std::printf("  %-46s %10.0f ms  (the files' time is %.1f%% beyond it)\n", "line time of the packets", lineMs,
                    100.0 * (filePhase - lineMs) / filePhase);
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Times a project upload against dovrel-device-emulator, unthrottled and at 115200 baud, and reports\n"
        "the share of its time spent waiting between the device's acceptance of a file and its first packet.\n"
        "Arguments after \"--\" go to the emulator."));
    parser.addHelpOption();
    parser.addOption({ QStringLiteral("files"), QStringLiteral("Number of small files (default 200)."), QStringLiteral("N"), QStringLiteral("200") });
    parser.addOption({ QStringLiteral("file-size"), QStringLiteral("Bytes per small file (default 1500)."), QStringLiteral("BYTES"), QStringLiteral("1500") });
    parser.addOption({ QStringLiteral("large-size"), QStringLiteral("Bytes of the one large file (default 5000000; 0: none)."), QStringLiteral("BYTES"), QStringLiteral("5000000") });
    parser.addOption({ QStringLiteral("throttled-large-size"), QStringLiteral("The large file at 115200 baud (default: as --large-size; 5 MB take about 8 minutes there)."), QStringLiteral("BYTES") });
    parser.addOption({ QStringLiteral("throttled-only"), QStringLiteral("Only the run at 115200 baud.") });
    parser.addOption({ QStringLiteral("unthrottled-only"), QStringLiteral("Only the unthrottled run.") });
    parser.addPositionalArgument(QStringLiteral("emulator-args"), QStringLiteral("Extra arguments for the emulator, after \"--\"."), QStringLiteral("[-- args...]"));
    parser.process(app);

    Plan plan;
    plan.smallFiles = parser.value(QStringLiteral("files")).toInt();
    plan.smallSize = parser.value(QStringLiteral("file-size")).toInt();
    plan.largeSize = parser.value(QStringLiteral("large-size")).toInt();
    Plan throttledPlan = plan;
    if (parser.isSet(QStringLiteral("throttled-large-size")))
        throttledPlan.largeSize = parser.value(QStringLiteral("throttled-large-size")).toInt();
    if (plan.smallFiles < 0 || plan.smallSize < 1 || plan.largeSize < 0 || throttledPlan.largeSize < 0) {
        std::fprintf(stderr, "sizes and counts must not be negative\n");
        return 2;
    }
    if (!SerialPortManager::instance()) {
        std::fprintf(stderr, "no serial port manager\n");
        return 1;
    }
    const QStringList extraArgs = parser.positionalArguments();
    bool ok = true;
    if (!parser.isSet(QStringLiteral("throttled-only")))
        ok = runUpload(plan, 0, extraArgs) && ok;
    if (!parser.isSet(QStringLiteral("unthrottled-only")))
        ok = runUpload(throttledPlan, LineBytesPerSecond, extraArgs) && ok;
    return ok ? 0 : 1;
}
