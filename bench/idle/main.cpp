// bench_idle: what an idle program costs, and how fast a port is seen.
//  1. The real dovrel (offscreen) with one emulated device: the time from the creation of
//     the device's link (a port named in DOVREL_VIRTUAL_PORTS) to the first byte the device
//     receives (found) and to its row (the row's clock command), then the processor time
//     dovrel uses over the idle period (goal: under 0.1 s a minute).
//  2. dovrelctl list waiting on a port whose device never answers (it waits 15 s for the
//     identification): its processor time while it waits, per minute.
//  3. Without a udev daemon: the time from a port's node appearing in a watched device
//     folder to its discovery, and what one reading of the system's port list costs.
// Each of 1 and 2 runs with the ports followed through udev (the machine's udev where
// its daemon runs, else umockdev's mocked udev: an empty sysfs, so only the virtual port
// is there), without a udev daemon (/dev watched: the machine as it is where no daemon
// runs, else DOVREL_PORT_DISCOVERY=dev) and, on request, polled (DOVREL_PORT_DISCOVERY=poll,
// as on Windows). Processor time is read from /proc while the threads stay the same (the
// identification's thread has ended before).
#include "emulator.h"
#include "eventwait.h"
#include "portenumerator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct Mode
{
    QString name;
    QString wrapper; // umockdev-wrapper for the mocked udev
    QStringList environment;
};

struct Run
{
    double cpuPerMinute = -1;
    double foundMs = -1;
    double rowMs = -1;
    QString discovery; // what the program's debug output says
};

// Processor time of a process, in seconds: the sum over its threads of the nanoseconds
// the scheduler counts (a clock tick, 10 ms, is too coarse for an idle program), or
// the ticks of /proc/PID/stat where that is not there.
double cpuSeconds(qint64 pid)
{
    double total = 0;
    bool precise = true;
    const QStringList tasks = QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& task : tasks) {
        QFile file(QStringLiteral("/proc/%1/task/%2/schedstat").arg(pid).arg(task));
        if (!file.open(QIODevice::ReadOnly)) {
            precise = false;
            break;
        }
        total += file.readAll().split(' ').value(0).toDouble() / 1e9;
    }
    if (precise && !tasks.isEmpty())
        return total;
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = file.readAll();
    // Fields after the command (which may hold blanks) start after its ")".
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = fields.at(11).toDouble() + fields.at(12).toDouble(); // utime, stime
    return ticks / double(sysconf(_SC_CLK_TCK));
}

void pause(int ms)
{
    QThread::msleep(ulong(ms));
}

QProcessEnvironment environmentFor(const Mode& mode, const QString& work, const QString& port)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), work + QStringLiteral("/home"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), work + QStringLiteral("/home/.config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), work + QStringLiteral("/run"));
    // The instance lock lives in the temporary folder: one of its own.
    env.insert(QStringLiteral("TMPDIR"), work + QStringLiteral("/tmp"));
    env.insert(QStringLiteral("DOVREL_VIRTUAL_PORTS"), port);
    // dovrelctl keeps its debug lines to itself unless asked; what discovery does is said once.
    env.insert(QStringLiteral("DOVREL_DEBUG"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("dovrel.discovery.debug=true"));
    env.remove(QStringLiteral("DOVREL_PORT_DISCOVERY"));
    env.remove(QStringLiteral("UMOCKDEV_DIR"));
    for (const QString& entry : mode.environment)
        env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    if (!mode.wrapper.isEmpty())
        env.insert(QStringLiteral("UMOCKDEV_DIR"), work + QStringLiteral("/bed"));
    return env;
}

QString prepareWork(const QTemporaryDir& dir)
{
    const QString work = dir.path();
    for (const char* sub : { "home", "run", "tmp", "bed/sys", "port" })
        QDir().mkpath(work + QLatin1Char('/') + QLatin1String(sub));
    QFile::setPermissions(work + QStringLiteral("/run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return work;
}

void start(QProcess& process, const Mode& mode, const QString& program, const QStringList& arguments)
{
    if (mode.wrapper.isEmpty())
        process.start(program, arguments);
    else
        process.start(mode.wrapper, QStringList { program } + arguments);
    process.waitForStarted(10000);
}

QString discoveryLine(const QString& logPath)
{
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly))
        return QString();
    for (const QByteArray& line : log.readAll().split('\n')) {
        if (line.contains("No port notifications"))
            return QStringLiteral("polled");
        if (line.contains("No udev events"))
            return QStringLiteral("device folder watched");
    }
    return QStringLiteral("udev followed");
}

// A port's link made in a watched device folder's serial/by-id, to its discovery (the
// list read in between is the scripted one); and one reading of the system's real list.
void deviceFolderLatency()
{
    QTemporaryDir dev;
    using Orvane::Tavrix::Runtime::PortEnumerator;
    QDir().mkpath(dev.filePath(QStringLiteral("serial/by-id")));
    const QString node = dev.filePath(QStringLiteral("serial/by-id/usb-Panel_BENCH-if00"));
    PortEnumerator::setDeviceFolder(dev.path());
    PortEnumerator::setSystemPortLister([node]() {
        PortEnumerator::PortList ports;
        if (QFileInfo::exists(node))
            ports.append({ { QStringLiteral("portName"), node },
                           { QStringLiteral("vendorID"), PortEnumerator::DeviceVendorId },
                           { QStringLiteral("productID"), PortEnumerator::DeviceProductId } });
        return ports;
    });
    PortEnumerator enumerator;
    enumerator.setUpNotifications();
    QElapsedTimer clock;
    bool found = false;
    QObject::connect(&enumerator, &PortEnumerator::deviceDiscovered, [&found]() { found = true; });
    QFile file(node);
    clock.start();
    file.open(QIODevice::WriteOnly);
    waitUntil([&found]() { return found; }, 10000);
    const double foundMs = clock.nsecsElapsed() / 1e6;
    PortEnumerator::setSystemPortLister({});
    clock.restart();
    const int ports = int(PortEnumerator::getPorts().size());
    const double listMs = clock.nsecsElapsed() / 1e6;
    std::printf("\nwithout a udev daemon: port's link made -> port found %s ms (watching %s); "
                "the system's list (%d ports) read in %.1f ms\n",
                found ? qPrintable(QString::number(foundMs, 'f', 1)) : "-",
                enumerator.isWatchingDeviceNodes() ? "the folder" : "nothing, polled", ports, listMs);
}

double transcriptMs(DeviceEmulator& emulator, const QString& event, const QString& prefix)
{
    for (const QJsonObject& object : emulator.transcript()) {
        if (object.value(QStringLiteral("event")).toString() == event
            && object.value(QStringLiteral("text")).toString().startsWith(prefix))
            return object.value(QStringLiteral("ms")).toDouble();
    }
    return -1;
}

Run idleProgram(const Mode& mode, const QString& dovrel, int seconds)
{
    Run run;
    QTemporaryDir dir;
    const QString work = prepareWork(dir);
    const QString link = work + QStringLiteral("/port/ttyBENCH");
    QProcess program;
    program.setProcessEnvironment(environmentFor(mode, work, link));
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.setStandardOutputFile(work + QStringLiteral("/dovrel.log"));
    start(program, mode, dovrel, {});
    if (program.state() != QProcess::Running) {
        std::fprintf(stderr, "cannot start %s\n", qPrintable(dovrel));
        return run;
    }
    // Started and settled: the window is up and nothing is plugged in.
    pause(3000);

    DeviceEmulator emulator;
    if (!emulator.start({ QStringLiteral("--serial"), QStringLiteral("IDLE1") })) {
        std::fprintf(stderr, "cannot start the emulated device\n");
        return run;
    }
    QElapsedTimer clock;
    QFile::link(emulator.ptyPath(), link);
    clock.start();
    // The first byte is stamped here; the row's distance from it comes from the device's own clock.
    double pokeMs = -1;
    while (clock.elapsed() < 20000 && (pokeMs = transcriptMs(emulator, QStringLiteral("poke"), QString())) < 0)
        pause(1);
    run.foundMs = clock.nsecsElapsed() / 1e6;
    double rowMs = -1;
    while (clock.elapsed() < 30000 && (rowMs = transcriptMs(emulator, QStringLiteral("command"), QStringLiteral("#DTIM"))) < 0)
        pause(20);
    if (pokeMs < 0 || rowMs < 0) {
        std::fprintf(stderr, "the device got no row\n");
        run.foundMs = -1;
    } else {
        run.rowMs = run.foundMs + (rowMs - pokeMs);
    }

    pause(2000);
    const double before = cpuSeconds(program.processId());
    pause(seconds * 1000);
    const double after = cpuSeconds(program.processId());
    if (before >= 0 && after >= 0 && program.state() == QProcess::Running)
        run.cpuPerMinute = (after - before) * 60.0 / seconds;
    run.discovery = discoveryLine(work + QStringLiteral("/dovrel.log"));

    program.terminate();
    if (!program.waitForFinished(10000)) {
        program.kill();
        program.waitForFinished(5000);
    }
    emulator.stop();
    return run;
}

Run waitingCommand(const Mode& mode, const QString& dovrelctl)
{
    Run run;
    QTemporaryDir dir;
    const QString work = prepareWork(dir);
    const QString link = work + QStringLiteral("/port/ttySILENT");
    // A device that never answers: dovrelctl waits its whole identification time.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return run;
    QFile::link(QString::fromLocal8Bit(ptsname(master)), link);

    QProcess command;
    command.setProcessEnvironment(environmentFor(mode, work, link));
    command.setProcessChannelMode(QProcess::MergedChannels);
    command.setStandardOutputFile(work + QStringLiteral("/dovrelctl.log"));
    start(command, mode, dovrelctl, { QStringLiteral("list") });
    constexpr int From = 2000;
    constexpr int To = 14000;
    pause(From);
    const double before = cpuSeconds(command.processId());
    pause(To - From);
    const double after = cpuSeconds(command.processId());
    if (before >= 0 && after >= 0 && command.state() == QProcess::Running)
        run.cpuPerMinute = (after - before) * 60000.0 / (To - From);
    command.waitForFinished(30000);
    run.discovery = discoveryLine(work + QStringLiteral("/dovrelctl.log"));
    ::close(master);
    return run;
}

QString figure(double value, const char* format)
{
    return value < 0 ? QStringLiteral("-") : QString::asprintf(format, value);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Processor time of an idle dovrel with one emulated device and of dovrelctl waiting, and the time "
        "from a port's link to the device's row; with the port list polled and followed through udev."));
    parser.addHelpOption();
    const QCommandLineOption secondsOption(QStringLiteral("seconds"), QStringLiteral("Idle period (default 60)."), QStringLiteral("S"), QStringLiteral("60"));
    const QCommandLineOption dovrelOption(QStringLiteral("dovrel"), QStringLiteral("The program to measure (default: next to this one)."), QStringLiteral("PATH"));
    const QCommandLineOption ctlOption(QStringLiteral("dovrelctl"), QStringLiteral("The command-line program to measure."), QStringLiteral("PATH"));
    const QCommandLineOption modesOption(QStringLiteral("modes"),
                                         QStringLiteral("udev, dev (without a udev daemon; default both), poll, or plain: the "
                                                        "environment as it is (to measure another build, such as one from "
                                                        "before udev was followed)."),
                                         QStringLiteral("LIST"), QStringLiteral("udev,dev"));
    parser.addOptions({ secondsOption, dovrelOption, ctlOption, modesOption });
    parser.process(app);

    const QString binDir = QCoreApplication::applicationDirPath();
    // The emulated device is the one built next to this program.
    qputenv("DOVREL_BIN_DIR", binDir.toLocal8Bit());
    const QString dovrel = parser.isSet(dovrelOption) ? parser.value(dovrelOption) : binDir + QStringLiteral("/dovrel");
    const QString dovrelctl = parser.isSet(ctlOption) ? parser.value(ctlOption) : binDir + QStringLiteral("/dovrelctl");
    const int seconds = qMax(1, parser.value(secondsOption).toInt());

    QList<Mode> modes;
    const QStringList wanted = parser.value(modesOption).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (wanted.contains(QStringLiteral("plain")))
        modes.append({ QStringLiteral("plain"), QString(), {} });
    if (wanted.contains(QStringLiteral("poll")))
        modes.append({ QStringLiteral("polled"), QString(), { QStringLiteral("DOVREL_PORT_DISCOVERY=poll") } });
    const bool daemon = QFileInfo::exists(QStringLiteral("/run/udev/control"));
    if (wanted.contains(QStringLiteral("dev")))
        modes.append({ QStringLiteral("no udev daemon"), QString(),
                       daemon ? QStringList { QStringLiteral("DOVREL_PORT_DISCOVERY=dev") } : QStringList() });
    if (wanted.contains(QStringLiteral("udev"))) {
        if (daemon) {
            modes.append({ QStringLiteral("udev"), QString(), {} });
        } else {
            const QString wrapper = QStandardPaths::findExecutable(QStringLiteral("umockdev-wrapper"));
            if (wrapper.isEmpty())
                std::fprintf(stderr, "no udev daemon and no umockdev-wrapper: the udev case is left out\n");
            else
                modes.append({ QStringLiteral("udev (mocked)"), wrapper, {} });
        }
    }

    std::printf("dovrel: %s\nidle %d s with one emulated device\n\n", qPrintable(dovrel), seconds);
    std::printf("%-16s %14s %14s %14s  %s\n", "port list", "CPU s/minute", "link->found ms", "link->row ms", "program says");
    for (const Mode& mode : modes) {
        const Run run = idleProgram(mode, dovrel, seconds);
        std::printf("%-16s %14s %14s %14s  %s\n", qPrintable(mode.name), qPrintable(figure(run.cpuPerMinute, "%.4f")),
                    qPrintable(figure(run.foundMs, "%.0f")), qPrintable(figure(run.rowMs, "%.0f")), qPrintable(run.discovery));
        std::fflush(stdout);
    }

    std::printf("\ndovrelctl list waiting 12 s on a device that never answers: %s\n", qPrintable(dovrelctl));
    std::printf("%-16s %14s  %s\n", "port list", "CPU s/minute", "program says");
    for (const Mode& mode : modes) {
        const Run run = waitingCommand(mode, dovrelctl);
        std::printf("%-16s %14s  %s\n", qPrintable(mode.name), qPrintable(figure(run.cpuPerMinute, "%.4f")), qPrintable(run.discovery));
        std::fflush(stdout);
    }
    if (wanted.contains(QStringLiteral("dev")))
        deviceFolderLatency();
    return 0;
}
