// bench_parallel: the same project uploaded to N emulated devices at once (N = 1, 2, 4, 8), each
// at 115200 baud (the emulator's --throttle 11520), each on its own link, all in this one thread.
//
// Printed as ratios within one run, since the machines here are shared:
//   - the wall time for N devices over the time for one;
//   - each device's share of its line: the line time of the packets it received over the time
//     from its first "#LOAD" to the end of its files (the device's own clock, its transcript);
//   - this process's CPU time (user and system) per device-megabyte sent, all of it and that of
//     the one thread in which every link runs (without discovery's port listing, which polls
//     in a thread of its own where no udev daemon tells it of ports).
// The devices ask for each file at once ("C" without delay), as bench_upload's do, so what the
// share misses is the host's.
#include "connecteddevice.h"
#include "eventwait.h"
#include "randomdata.h"

#include "configurationinfo.h"
#include "devicelink.h"
#include "serialportmanager.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <sys/resource.h>
#include <time.h>

using Orvane::Tavrix::Common::ConfigurationInfo;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

qint64 packetBytes(qint64 fileBytes)
{
    return (fileBytes + 1023) / 1024 * 1029;
}

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

// This thread's: every link, its port and its timers live here; discovery's port listing
// has a thread of its own.
double threadCpuSeconds()
{
    timespec time {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return time.tv_sec + time.tv_nsec / 1e9;
}

double firstTime(const QList<QJsonObject>& events, const QString& type, const QString& prefix)
{
    for (const QJsonObject& e : events) {
        if (e.value(QStringLiteral("event")).toString() == type && e.value(QStringLiteral("text")).toString().startsWith(prefix))
            return e.value(QStringLiteral("ms")).toDouble();
    }
    return -1;
}

struct Project
{
    QTemporaryDir dir;
    QStringList files;
    qint64 bytes = 0;
    qint64 lineBytes = 0;

    bool make(qint64 total)
    {
        // A screen, a few images and one large file, as projects are; the configuration last.
        auto add = [this](const QString& relative, qint64 size, quint32 seed) {
            const QString path = dir.filePath(relative);
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile file(path);
            const QByteArray content = randomBytes(int(size), seed);
            if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
                return false;
            files << path;
            bytes += size;
            lineBytes += packetBytes(size);
            return true;
        };
        const qint64 image = total / 25;
        bool ok = add(QStringLiteral("project/main.qml"), 4000, 1);
        for (int i = 0; i < 8 && ok; ++i)
            ok = add(QStringLiteral("project/images/image%1.png").arg(i), image, quint32(10 + i));
        ok = ok && add(QStringLiteral("project/data/large.bin"), qMax<qint64>(1, total - bytes - 23), 99);
        return ok && add(QStringLiteral("config.txrc"), 23, 7);
    }
};

struct RunResult
{
    bool ok = false;
    double wallMs = 0;
    double cpuSeconds = 0;
    double threadCpuSeconds = 0;
    QList<double> shares;
};

RunResult runParallel(const Project& project, int count, int throttle)
{
    RunResult run;
    SerialPortManager* manager = SerialPortManager::instance();
    std::vector<std::unique_ptr<ConnectedDevice>> devices;
    QList<DeviceLink*> links;
    for (int i = 0; i < count; ++i) {
        devices.push_back(std::make_unique<ConnectedDevice>());
        const QStringList args { QStringLiteral("--populate"), QStringLiteral("--c-delay"), QStringLiteral("0"),
                                 QStringLiteral("--throttle"), QString::number(throttle),
                                 QStringLiteral("--serial"), QStringLiteral("BENCH%1").arg(i) };
        if (!devices.back()->start(args, false) || !manager->link(devices.back()->port())) {
            std::fprintf(stderr, "emulated device %d did not come up\n", i + 1);
            return run;
        }
        links << manager->link(devices.back()->port());
    }
    std::vector<std::unique_ptr<QSignalSpy>> ends;
    for (DeviceLink* link : std::as_const(links))
        ends.push_back(std::make_unique<QSignalSpy>(link, &DeviceLink::operationEnded));
    // Waiting costs nothing here: the loop wakes for the devices' data and the ends alone.
    QEventLoop loop;
    int left = count;
    for (DeviceLink* link : std::as_const(links)) {
        QObject::connect(link, &DeviceLink::operationEnded, &loop, [&left, &loop]() {
            if (--left == 0)
                loop.quit();
        });
    }

    const double cpuBefore = cpuSeconds();
    const double threadBefore = threadCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    for (DeviceLink* link : std::as_const(links)) {
        if (!link->uploadProject(project.files, ConfigurationInfo())) {
            std::fprintf(stderr, "an upload was refused\n");
            return run;
        }
    }
    if (left > 0)
        loop.exec();
    const bool ended = left == 0;
    run.wallMs = clock.nsecsElapsed() / 1e6;
    run.cpuSeconds = cpuSeconds() - cpuBefore;
    run.threadCpuSeconds = threadCpuSeconds() - threadBefore;
    if (!ended)
        return run;

    const double lineMs = project.lineBytes * 1000.0 / throttle;
    for (size_t i = 0; i < devices.size(); ++i) {
        const auto result = ends[i]->first().at(0).value<OperationResult>();
        if (!result.succeeded()) {
            std::fprintf(stderr, "device %zu: %s\n", i + 1, qPrintable(result.message));
            return run;
        }
        const QList<QJsonObject> events = devices[i]->emulator().transcript();
        const double firstLoad = firstTime(events, QStringLiteral("command"), QStringLiteral("#LOAD<"));
        const double filesDone = firstTime(events, QStringLiteral("command"), QStringLiteral("#UNIX<ls -r ./qml/project>#"));
        run.shares << (filesDone > firstLoad && firstLoad >= 0 ? lineMs / (filesDone - firstLoad) : 0.0);
    }
    run.ok = true;
    return run;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Uploads the same project to 1, 2, 4 and 8 emulated devices at once, each at 115200 baud, and prints\n"
        "the wall time over that for one device, each device's share of its line, and the CPU time per\n"
        "device-megabyte."));
    parser.addHelpOption();
    parser.addOption({ QStringLiteral("devices"), QStringLiteral("Device counts (default 1,2,4,8)."), QStringLiteral("N,N,..."), QStringLiteral("1,2,4,8") });
    parser.addOption({ QStringLiteral("project-size"), QStringLiteral("Bytes of the project (default 307200)."), QStringLiteral("BYTES"), QStringLiteral("307200") });
    parser.addOption({ QStringLiteral("throttle"), QStringLiteral("Bytes per second of each line (default 11520, about 115200 baud)."), QStringLiteral("BPS"), QStringLiteral("11520") });
    parser.process(app);

    QList<int> counts;
    for (const QString& text : parser.value(QStringLiteral("devices")).split(QLatin1Char(','), Qt::SkipEmptyParts))
        counts << text.toInt();
    const qint64 size = parser.value(QStringLiteral("project-size")).toLongLong();
    const int throttle = parser.value(QStringLiteral("throttle")).toInt();
    if (counts.isEmpty() || counts.contains(0) || size < 1000 || throttle < 1) {
        std::fprintf(stderr, "device counts, project size (at least 1000) and throttle must be positive\n");
        return 2;
    }
    if (!SerialPortManager::instance()) {
        std::fprintf(stderr, "no serial port manager\n");
        return 1;
    }
    Project project;
    if (!project.make(size)) {
        std::fprintf(stderr, "the project could not be written\n");
        return 1;
    }
    double load[3] = {};
    getloadavg(load, 3);
    std::printf("Project of %lld bytes in %d files (%lld bytes of packets), %d bytes/s a line; load %.2f %.2f %.2f\n",
                (long long)project.bytes, int(project.files.size()), (long long)project.lineBytes, throttle, load[0], load[1], load[2]);
    std::printf("  %-8s %10s %8s %12s %12s %14s %14s\n", "devices", "wall ms", "N / 1", "share min", "share mean", "CPU ms/dev-MB",
                "links' thread");

    double wallOne = 0;
    bool ok = true;
    for (int count : std::as_const(counts)) {
        const RunResult run = runParallel(project, count, throttle);
        if (!run.ok) {
            ok = false;
            continue;
        }
        if (wallOne <= 0)
            wallOne = run.wallMs;
        double minimum = 1e9;
        double mean = 0;
        for (double share : run.shares) {
            minimum = qMin(minimum, share);
            mean += share / run.shares.size();
        }
        const double megabytes = double(project.bytes) * count / (1024.0 * 1024.0);
        std::printf("  %-8d %10.0f %8.3f %11.1f%% %11.1f%% %14.1f %14.1f\n", count, run.wallMs, run.wallMs / wallOne, 100 * minimum,
                    100 * mean, 1000.0 * run.cpuSeconds / megabytes, 1000.0 * run.threadCpuSeconds / megabytes);
    }
    getloadavg(load, 3);
    std::printf("load at the end %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    return ok ? 0 : 1;
}
