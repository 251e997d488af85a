// Drives the real dovrelctl program against the emulated device.
#include "devportlink.h"
#include "dovrelctlrun.h"
#include "emulator.h"
#include "eventwait.h"
#include "filehelper.h"
#include "projectpackage.h"
#include "ziphelper.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <signal.h>

using namespace Orvane::Tavrix::Common;

namespace {

using Run = DovrelctlRun;

QString programPath()
{
    return DovrelctlRun::programPath();
}

Run dovrelctl(const QStringList& args, const QMap<QString, QString>& env = {}, int timeoutMs = 90000)
{
    return DovrelctlRun::start(args, env, timeoutMs);
}

bool isFailure(const Run& run, int exitCode)
{
    return run.isFailure(exitCode);
}

QString describe(const Run& run)
{
    return run.describe();
}

} // namespace

class TestDovrelctl : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_count = 0;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    static bool put(const QString& file, const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile f(file);
        return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
    }

    QString projectPackage(const QString& models, const QString& minimum)
    {
        const QString out = path(QStringLiteral("project%1.txdevproj").arg(++m_count));
        const Run run = dovrelctl({ "package", "make-sample", "--out", out, "--models", models, "--min-version", minimum });
        return run.exitCode == 0 ? out : QString();
    }

    QString softwarePackage(const QByteArray& devices, const QByteArray& image = QByteArray(3000, 'u'))
    {
        const QString source = path(QStringLiteral("sw%1").arg(++m_count));
        put(source + QStringLiteral("/update.xml"),
            "<?xml version=\"1.0\"?><Update><NewRuntime Ver=\"2.2.0.3000\" Date=\"2026-03-14\"/>" + devices + "</Update>");
        put(source + QStringLiteral("/update.tar.gz"), image);
        const QString archive = path(QStringLiteral("sw%1.txsw").arg(m_count));
        return ZipHelper::zipWithDirectoryContents(source, archive, false) ? archive : QString();
    }

    // A real SQLite data log with two logs and the internal table.
    QString dataLog()
    {
        const QString file = path(QStringLiteral("log%1.txdb").arg(++m_count));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("maker"));
            db.setDatabaseName(file);
            if (!db.open())
                return QString();
            QSqlQuery q(db);
            q.exec(QStringLiteral("CREATE TABLE \"Tank Level\" (t, v)"));
            q.exec(QStringLiteral("INSERT INTO \"Tank Level\" VALUES ('2026-01-01 00:00', 1.5), ('2026-01-01 00:01', 2)"));
            q.exec(QStringLiteral("CREATE TABLE \"Température\" (t, v)"));
            q.exec(QStringLiteral("INSERT INTO \"Température\" VALUES ('été', 21)"));
            q.exec(QStringLiteral("CREATE TABLE _log (a)"));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("maker"));
        return file;
    }

    static QStringList logTables(const QString& file)
    {
        QStringList tables;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reader"));
            db.setDatabaseName(file);
            if (db.open())
                tables = db.tables();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("reader"));
        tables.sort();
        return tables;
    }

    static QStringList withPort(const DeviceEmulator& device, const QStringList& args)
    {
        return QStringList { "--port", device.portPath(), "--json", "--quiet" } + args;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QFileInfo(programPath()).isExecutable());
        QVERIFY(QFileInfo(DeviceEmulator::programPath()).isExecutable());
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("unknown option") << QStringList { "--json", "info", "--bogus" };
        QTest::newRow("unknown command") << QStringList { "--json", "frobnicate" };
        QTest::newRow("no command") << QStringList { "--json" };
        QTest::newRow("missing file") << QStringList { "--json", "upload" };
        QTest::newRow("flag with value") << QStringList { "--json", "upload", "x.txdevproj", "--yes=no" };
        QTest::newRow("offset range") << QStringList { "--json", "sync-clock", "--offset", "721" };
        QTest::newRow("offset text") << QStringList { "--json", "sync-clock", "--offset", "east" };
        QTest::newRow("fetch without out") << QStringList { "--json", "logs", "fetch" };
        QTest::newRow("delete without yes") << QStringList { "--json", "logs", "fetch", "--out", "x", "--delete" };
        QTest::newRow("clear without tables") << QStringList { "--json", "logs", "clear", "--yes" };
        QTest::newRow("nothing to configure") << QStringList { "--json", "configure" };
        QTest::newRow("battery without clock") << QStringList { "--json", "configure", "--battery-check", "off" };
        QTest::newRow("clock beyond 12 h") << QStringList { "--json", "configure", "--clock", "+12:30" };
        QTest::newRow("framing in name") << QStringList { "--json", "configure", "--name", "a#b" };
        QTest::newRow("both splash choices") << QStringList { "--json", "configure", "--splash", "a.bmp", "--restore-splash" };
        QTest::newRow("nothing for fonts") << QStringList { "--json", "fonts", "manage" };
        QTest::newRow("font not a font") << QStringList { "--json", "fonts", "manage", "--add", "/etc/hostname" };
        QTest::newRow("missing package") << QStringList { "--json", "package", "inspect", "/nonexistent.txsw" };
        QTest::newRow("history since no date") << QStringList { "--json", "history", "--since", "yesterday" };
        QTest::newRow("no canary") << QStringList { "--json", "--all", "--canary", "0", "upload", "x.txdevproj", "--yes" };
        QTest::newRow("stages of one device") << QStringList { "--json", "--max-parallel", "1", "upload", "x.txdevproj", "--yes" };
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        const Run run = dovrelctl(args);
        QVERIFY2(isFailure(run, 2), qPrintable(describe(run)));
        QCOMPARE(run.out.count('\n'), 1);
    }

    void helpAndVersion()
    {
        const Run help = dovrelctl({ "--help" });
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains("Exit codes"));
        const Run commandHelp = dovrelctl({ "logs", "fetch", "--help" });
        QCOMPARE(commandHelp.exitCode, 0);
        QVERIFY(commandHelp.out.contains("--out DIR"));
        const Run version = dovrelctl({ "--json", "--version" });
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.json.value("version").toString(), QStringLiteral(DOVREL_VERSION));

        // Every command the help lists has a usage of its own that names it.
        const QString listing = QString::fromUtf8(help.out).section(QStringLiteral("Commands:"), 1).section(QStringLiteral("\n\n"), 0, 0);
        const QStringList commands = listing.simplified().split(QStringLiteral(", "), Qt::SkipEmptyParts);
        QVERIFY2(commands.size() >= 15 && commands.contains("fonts list") && !commands.contains("package make-sample"), qPrintable(listing));
        for (const QString& command : commands) {
            const Run usage = dovrelctl(command.split(' ') + QStringList { "--help" });
            QVERIFY2(usage.exitCode == 0 && usage.out.startsWith("Usage: dovrelctl") && usage.out.contains(command.toUtf8()),
                     qPrintable(command + ": " + describe(usage)));
        }
    }

    void noDevice()
    {
        const Run missing = dovrelctl({ "--json", "--port", path("no-such-port"), "info" });
        QVERIFY2(isFailure(missing, 4), qPrintable(describe(missing)));
        // A file that is not a serial port cannot be opened as one.
        put(path("plain-file"), "x");
        const Run notPort = dovrelctl({ "--json", "--port", path("plain-file"), "info" });
        QVERIFY2(isFailure(notPort, 4), qPrintable(describe(notPort)));
    }

    void packageChecksWithoutDevice()
    {
        const QString project = projectPackage(QStringLiteral("QMX 70-A|QMX 50-B"), QStringLiteral("1.1.0.1"));
        QVERIFY(!project.isEmpty());
        const Run inspect = dovrelctl({ "--json", "package", "inspect", project });
        QCOMPARE(inspect.exitCode, 0);
        QCOMPARE(inspect.json.value("type").toString(), QStringLiteral("project"));
        QCOMPARE(inspect.json.value("compatibleModels").toArray().toVariantList(), (QVariantList { "QMX 70-A", "QMX 50-B" }));
        QCOMPARE(inspect.json.value("minDeviceSoftwareVersion").toString(), QStringLiteral("1.1.0.1"));
        QVERIFY(inspect.json.value("entries").toArray().contains(QJsonValue("versionInfo.txverinf")));

        const QString software = softwarePackage("<Device Model_Name=\"QMX 70-A\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"1.1.0.1910\"/>", "abc");
        const Run sw = dovrelctl({ "--json", "package", "inspect", software });
        QCOMPARE(sw.exitCode, 0);
        QCOMPARE(sw.json.value("version").toString(), QStringLiteral("2.2.0.3000"));
        QCOMPARE(sw.json.value("releaseDate").toString(), QStringLiteral("2026-03-14"));
        QCOMPARE(sw.json.value("imageMd5").toString(), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));

        // Refusals that need no device: missing --yes, incomplete packages.
        const Run noYes = dovrelctl({ "--json", "upload", project });
        QVERIFY2(isFailure(noYes, 2), qPrintable(describe(noYes)));
        QVERIFY(noYes.json.value("error").toString().contains("logged data"));
        put(path("broken.txdevproj"), "not a zip");
        QVERIFY(isFailure(dovrelctl({ "--json", "upload", path("broken.txdevproj"), "--yes" }), 2));
        QVERIFY(isFailure(dovrelctl({ "--json", "upgrade", softwarePackage("<Device/>", QByteArray()), "--yes" }), 2));
    }

    void listAndInfo()
    {
        DeviceEmulator device;
        QVERIFY(device.start({ "--serial", "SN4242", "--name", "Line 3" }));
        const Run list = dovrelctl(withPort(device, { "list" }));
        QVERIFY2(list.exitCode == 0, qPrintable(describe(list)));
        const QJsonArray devices = list.json.value("devices").toArray();
        QCOMPARE(devices.size(), 1);
        QCOMPARE(devices.at(0).toObject().value("serial").toString(), QStringLiteral("SN4242"));
        QCOMPARE(devices.at(0).toObject().value("port").toString(), device.portPath());

        const Run info = dovrelctl({ "--port", device.portPath(), "info" });
        QCOMPARE(info.exitCode, 0);
        const QStringList lines = QString::fromUtf8(info.out).trimmed().split(QLatin1Char('\n'));
        QVERIFY(lines.contains(QStringLiteral("deviceName: Line 3")));
        QStringList keys;
        for (const QString& line : lines)
            keys << line.section(QStringLiteral(": "), 0, 0);
        QStringList sorted = keys;
        sorted.sort();
        QCOMPARE(keys, sorted);

        // Without --port discovery must find exactly one device.
        const Run discovered = dovrelctl({ "--json", "info" }, { { "DOVREL_VIRTUAL_PORTS", device.portPath() } });
        QCOMPARE(discovered.exitCode, 0);
        QCOMPARE(discovered.json.value("device").toObject().value("serial").toString(), QStringLiteral("SN4242"));

        DeviceEmulator second;
        QVERIFY(second.start({ "--serial", "SN4243" }));
        const QString both = device.portPath() + QDir::listSeparator() + second.portPath();
        const Run several = dovrelctl({ "--json", "info" }, { { "DOVREL_VIRTUAL_PORTS", both } });
        QVERIFY2(isFailure(several, 4), qPrintable(describe(several)));
        const Run listed = dovrelctl({ "--json", "list" }, { { "DOVREL_VIRTUAL_PORTS", both } });
        QCOMPARE(listed.json.value("devices").toArray().size(), 2);
    }

    void incompleteIdentificationEndsInTime()
    {
        DeviceEmulator device;
        QVERIFY(device.start({ "--omit", "LOTIZO" }));
        QElapsedTimer timer;
        timer.start();
        const Run run = dovrelctl(withPort(device, { "info" }));
        QVERIFY2(isFailure(run, 4), qPrintable(describe(run)));
        QVERIFY(run.json.value("error").toString().contains("incomplete"));
        QVERIFY(timer.elapsed() < 40000);
    }

    // Real devices live under /dev: the pseudo terminal itself, a link there, and the
    // pseudo terminal listed for discovery all reach the device.
    void devicePaths()
    {
        DeviceEmulator device;
        QVERIFY(device.start({ "--serial", "SNDEV1" }));
        QVERIFY(device.ptyPath().startsWith("/dev/"));

        const Run byPty = dovrelctl({ "--port", device.ptyPath(), "--json", "--quiet", "list" });
        QVERIFY2(byPty.exitCode == 0, qPrintable(describe(byPty)));
        QCOMPARE(byPty.json.value("devices").toArray().at(0).toObject().value("serial").toString(), QStringLiteral("SNDEV1"));
        QCOMPARE(byPty.json.value("devices").toArray().at(0).toObject().value("port").toString(), device.ptyPath());

        const Run listed = dovrelctl({ "--json", "--quiet", "info" }, { { "DOVREL_VIRTUAL_PORTS", device.ptyPath() } });
        QVERIFY2(listed.exitCode == 0, qPrintable(describe(listed)));
        QCOMPARE(listed.json.value("device").toObject().value("serial").toString(), QStringLiteral("SNDEV1"));

        // A command, not only the identification, goes through the /dev path.
        QCOMPARE(dovrelctl({ "--port", device.ptyPath(), "--json", "--quiet", "identify" }).exitCode, 0);
        QVERIFY(device.waitForCommand("SINF", 5000));

        for (DevPortLink::Style style : { DevPortLink::TtyName, DevPortLink::ByIdName }) {
            DevPortLink link(device.ptyPath(), style);
            if (!link.isValid())
                QSKIP("/dev is not writable here");
            const Run byLink = dovrelctl({ "--port", link.path(), "--json", "--quiet", "list" });
            QVERIFY2(byLink.exitCode == 0, qPrintable(describe(byLink)));
            QCOMPARE(byLink.json.value("devices").toArray().at(0).toObject().value("serial").toString(), QStringLiteral("SNDEV1"));
            QCOMPARE(byLink.json.value("devices").toArray().at(0).toObject().value("port").toString(), link.path());
        }
    }

    // Two devices on a bench, both discoverable, served by two processes at once: each
    // process opens only its own device's port.
    void twoDevicesInParallel()
    {
        DeviceEmulator first;
        DeviceEmulator second;
        // The first answers the file system sync late, so its upload is surely still
        // running while the second device is used below.
        QVERIFY(first.start({ "--populate", "--serial", "BENCH-A", "--fault", "delay:SYNC:4000" }));
        QVERIFY(second.start({ "--populate", "--serial", "BENCH-B" }));
        const QMap<QString, QString> env { { "DOVREL_VIRTUAL_PORTS", first.ptyPath() + QDir::listSeparator() + second.ptyPath() } };
        const QString package = projectPackage("QMX 70-A", "1.0.0.0");
        QVERIFY(!package.isEmpty());

        auto start = [&env](QProcess& process, const QStringList& args) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
            for (auto it = env.constBegin(); it != env.constEnd(); ++it)
                environment.insert(it.key(), it.value());
            process.setProcessEnvironment(environment);
            process.start(programPath(), args);
        };

        // Both uploads started at the same moment.
        QProcess uploadA;
        QProcess uploadB;
        start(uploadA, { "--port", first.portPath(), "--json", "--quiet", "upload", package, "--yes" });
        start(uploadB, { "--port", second.portPath(), "--json", "--quiet", "upload", package, "--yes" });
        QVERIFY(uploadA.waitForFinished(90000));
        QVERIFY(uploadB.waitForFinished(90000));
        QVERIFY2(uploadA.exitCode() == 0, uploadA.readAllStandardOutput().constData());
        QVERIFY2(uploadB.exitCode() == 0, uploadB.readAllStandardOutput().constData());
        QVERIFY(first.readFile("qml/project/main.qml").contains("Dovrel sample"));
        QVERIFY(second.readFile("qml/project/main.qml").contains("Dovrel sample"));

        // A command on the second device while the first one uploads sends nothing to the first.
        const qsizetype syncsBefore = first.commands().count(QStringLiteral("#SYNC#"));
        QProcess uploadAgain;
        start(uploadAgain, { "--port", first.portPath(), "--json", "--quiet", "upload", package, "--yes" });
        QVERIFY(QTest::qWaitFor([&] { return first.commands().count(QStringLiteral("#SYNC#")) > syncsBefore; }, 60000));
        const qsizetype before = first.commands().size();
        const Run identify = dovrelctl({ "--port", second.portPath(), "--json", "--quiet", "identify" }, env);
        QVERIFY2(identify.exitCode == 0, qPrintable(describe(identify)));
        QVERIFY(second.waitForCommand("SINF", 5000));
        // Still within the first device's late answer.
        QVERIFY(uploadAgain.state() != QProcess::NotRunning);
        QCOMPARE(first.commands().mid(before), QStringList());
        QVERIFY(uploadAgain.waitForFinished(90000));
        QCOMPARE(uploadAgain.exitCode(), 0);
    }

    // One command on several devices at once: --all or --port given several times, one JSON
    // object per device, and the worst device's exit code when one fails. The devices restart
    // after the upload as real ones do. In stages, a device left alone gets nothing and says
    // why; the others wait for the canary's end.
    void severalDevicesAtOnce_data()
    {
        QTest::addColumn<int>("given"); // --port for the first N devices in order; 0: --all
        QTest::addColumn<QString>("fault"); // on the second device, or the canary with --canary
        QTest::addColumn<QStringList>("rules");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("results"); // each device: done, failed, skipped, or - (not asked)
        QTest::addColumn<bool>("twins"); // the last two devices share a serial number
        const QString refuse = "error:UNIX<mv tmp/project";
        QTest::newRow("--all, every device succeeds") << 0 << QString() << QStringList() << 0 << "ddd" << false;
        QTest::newRow("--port twice, one refuses") << 2 << refuse << QStringList() << 1 << "df-" << false;
        QTest::newRow("--all, one is lost") << 0 << "unplug:UNIX<mv tmp/project" << QStringList() << 3 << "dfd" << false;
        QTest::newRow("a failing canary leaves the rest untouched") << 3 << refuse << QStringList { "--canary", "1" } << 1 << "fss" << false;
        QTest::newRow("a good canary, then the rest") << 3 << QString() << QStringList { "--canary", "1" } << 0 << "ddd" << false;
        QTest::newRow("one at a time, stop after 1 failure")
            << 3 << refuse << QStringList { "--max-parallel", "1", "--stop-after-failures", "1" } << 1 << "dfs" << false;
        QTest::newRow("--all, twins are two devices") << 0 << QString() << QStringList { "--max-parallel", "1" } << 0 << "ddd" << true;
    }
    void severalDevicesAtOnce()
    {
        QFETCH(int, given);
        QFETCH(QString, fault);
        QFETCH(QStringList, rules);
        QFETCH(int, exitCode);
        QFETCH(QString, results);
        QFETCH(bool, twins);
        const auto serialOf = [twins](int i) { return twins && i > 0 ? QStringLiteral("BENCH-TWIN") : QStringLiteral("BENCH-%1").arg(i); };
        const QString package = projectPackage("QMX 70-A", "1.0.0.0");
        QVERIFY(!package.isEmpty());
        const bool canary = rules.contains("--canary");
        const int faulty = canary ? 0 : 1;
        DeviceEmulator devices[3];
        QStringList ports;
        for (int i = 0; i < 3; ++i) {
            QStringList args { "--populate", "--serial", serialOf(i), "--reboot-replug", "1000" };
            if (i == faulty && !fault.isEmpty())
                args << "--fault" << fault;
            // A slow canary: the others would be seen starting beside it.
            if (canary && i == 0)
                args << "--throttle" << "20000";
            QVERIFY(devices[i].start(args));
            ports << devices[i].ptyPath();
        }
        QStringList args = rules + QStringList { "--json", "--quiet", "upload", package, "--yes" };
        if (given == 0)
            args.prepend("--all");
        for (int i = given - 1; i >= 0; --i)
            args = QStringList { "--port", ports.at(i) } + args;
        const std::unique_ptr<QProcess> process = Run::launch(args, { { "DOVREL_VIRTUAL_PORTS", ports.join(QDir::listSeparator()) } });
        if (canary) {
            // Nothing reaches the others before the canary's upload has ended.
            const auto others = [&]() { return devices[1].commands().filter("#LOAD<").size() + devices[2].commands().filter("#LOAD<").size(); };
            const auto canaryEnded = [&]() { return process->state() == QProcess::NotRunning || !devices[0].events("replug").isEmpty()
                                                || !devices[0].commands().filter("#UNIX<mv tmp/project").isEmpty(); };
            QVERIFY(waitUntil([&]() { return others() > 0 || canaryEnded(); }, 60000));
            QCOMPARE(others(), 0);
        }
        const Run run = Run::collect(*process);
        QVERIFY2(run.exitCode == exitCode, qPrintable(describe(run)));
        const QList<QJsonObject> objects = run.jsonLines();
        QCOMPARE(objects.size(), results.size() - results.count('-'));
        for (const QJsonObject& object : objects) {
            const int device = ports.indexOf(object.value("port").toString());
            QVERIFY2(device >= 0 && results.at(device) != '-', qPrintable(describe(run)));
            const QChar expected = results.at(device);
            QCOMPARE(object.value("serial").toString(), serialOf(device));
            QCOMPARE(object.value("ok").toBool(), expected == 'd');
            QCOMPARE(object.value("result").toString(), expected == 'd' ? "done" : expected == 'f' ? "failed" : "skipped");
            QCOMPARE(object.value("exitCode").toInt(), expected == 'd' ? 0 : expected == 'f' ? exitCode : 1);
            QCOMPARE(!object.value("reason").toString().isEmpty(), expected == 's');
            QCOMPARE(devices[device].readFile("qml/project/main.qml").contains("Dovrel sample"), expected == 'd');
        }
        for (int i = 0; i < 3; ++i) {
            if (results.at(i) == '-' || results.at(i) == 's')
                QCOMPARE(devices[i].commands().filter("#LOAD<").size(), 0);
        }
    }

    void identifyRebootAndClock()
    {
        DeviceEmulator device;
        QVERIFY(device.start({ "--timezone", "-300" }));
        QCOMPARE(dovrelctl(withPort(device, { "identify" })).exitCode, 0);
        QVERIFY(device.waitForCommand("SINF", 5000));
        QStringList commands = device.commands();
        // The stored time zone is sent before "#SINF#".
        const int clock = commands.indexOf(QRegularExpression("^#DTIM<.*-300>#$"));
        QVERIFY2(clock >= 0 && clock < commands.indexOf("#SINF#"), qPrintable(commands.join(' ')));

        const Run sync = dovrelctl(withPort(device, { "sync-clock", "--offset", "330" }));
        QVERIFY2(sync.exitCode == 0, qPrintable(describe(sync)));
        QCOMPARE(sync.json.value("timezone").toInt(), 330);
        QVERIFY(device.commands().last().endsWith(" 330>#"));

        QCOMPARE(dovrelctl(withPort(device, { "reboot" })).exitCode, 0);
        QVERIFY(device.waitForCommand("UNIX<reboot>", 5000));
    }

    void clockRefusedByDevice()
    {
        DeviceEmulator device;
        QVERIFY(device.start({ "--fault", "error:DTIM" }));
        const Run run = dovrelctl(withPort(device, { "sync-clock", "--offset", "60" }));
        QVERIFY2(isFailure(run, 1), qPrintable(describe(run)));
        QCOMPARE(run.json.value("error").toString(), QStringLiteral("Failed to set the device clock."));
    }

    void uploadRefusalsAgainstDevice_data()
    {
        QTest::addColumn<QString>("models");
        QTest::addColumn<QString>("minimum");
        QTest::addColumn<QString>("error");
        QTest::newRow("model") << "QMX 50-B|qmx 70-a" << "1.0.0.0" << "This project is incompatible with your device model QMX 70-A.";
        QTest::newRow("minimum") << "QMX 70-A" << "1.1.0.1911" << "You must upgrade the device software to at least 1.1.0.1911 to use this project.";
    }

    void uploadRefusalsAgainstDevice()
    {
        QFETCH(QString, models);
        QFETCH(QString, minimum);
        QFETCH(QString, error);
        DeviceEmulator device;
        QVERIFY(device.start());
        const Run run = dovrelctl(withPort(device, { "upload", projectPackage(models, minimum), "--yes" }));
        QVERIFY2(isFailure(run, 2), qPrintable(describe(run)));
        QCOMPARE(run.json.value("error").toString(), error);
        QVERIFY(!device.commands().contains("#MODE<1>#"));
    }

    // A name the command protocol cannot carry, or two that reach the device as one,
    // is refused before anything is sent.
    void uploadRefusesFileNamesTheDeviceCannotTake_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("error");
        QTest::newRow("outside Latin-1") << QStringList { "project/图.png" } << "The project file \"project/图.png\" cannot be sent";
        QTest::newRow("one name twice") << QStringList { "project/a.png", "project/./a.png" } << "would both reach the device as \"project/a.png\"";
    }

    void uploadRefusesFileNamesTheDeviceCannotTake()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, error);
        QList<QPair<QString, QByteArray>> entries = { { QStringLiteral("project/main.qml"), QByteArray("Item {}") } };
        for (const QString& name : names)
            entries << qMakePair(name, QByteArray("image"));
        const QString package = path(QStringLiteral("names%1.txdevproj").arg(++m_count));
        QVERIFY(writeProjectPackage(package, entries));
        DeviceEmulator device;
        QVERIFY(device.start());
        const Run run = dovrelctl(withPort(device, { "upload", package, "--yes" }));
        QVERIFY2(isFailure(run, 2) && run.json.value("error").toString().contains(error), qPrintable(describe(run)));
        QVERIFY2(device.commands().isEmpty(), "nothing reached the device");
    }

    void upload()
    {
        DeviceEmulator device;
        QVERIFY(device.start({ "--populate" }));
        const QString package = projectPackage("QMX 70-A", "1.0.0.0");
        const Run run = dovrelctl(withPort(device, { "--operator", "Ana Line", "upload", package, "--yes" }));
        QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
        QCOMPARE(run.json.value("files").toInt(), 2);
        // Recorded: the newest entry of the device, with the package and its digest.
        const Run history = dovrelctl({ "--json", "history", "--serial", "DV1000001", "--since", QDate::currentDate().toString(Qt::ISODate) });
        QVERIFY2(history.exitCode == 0, qPrintable(describe(history)));
        const QJsonObject entry = history.json.value("entries").toArray().first().toObject();
        QCOMPARE(entry.value("operation").toString(), QStringLiteral("upload"));
        QCOMPARE(entry.value("result").toString(), QStringLiteral("succeeded"));
        QCOMPARE(entry.value("frontEnd").toString(), QStringLiteral("dovrelctl"));
        QCOMPARE(entry.value("operator").toString(), QStringLiteral("Ana Line"));
        QCOMPARE(entry.value("port").toString(), device.portPath());
        QCOMPARE(entry.value("package").toString(), QFileInfo(package).fileName());
        QFile file(package);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(entry.value("sha256").toString(), QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex()));
        // As text: the window's columns, tab-separated, newest first.
        const QStringList fields = QString::fromUtf8(dovrelctl({ "history", "--serial", "DV1000001" }).out).section(QLatin1Char('\n'), 0, 0).split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 16);
        QCOMPARE(fields.mid(7, 2), QStringList({ "Project upload", QFileInfo(package).fileName() }));
        QVERIFY(device.readFile("qml/project/main.qml").contains("Dovrel sample"));
        QVERIFY(device.readFile("qml/config.txrc").contains("colorDepth: 16;"));
        QVERIFY(!QFileInfo::exists(device.filePath("qml/dataLogging.txdb")));
    }

    void upgradeRefusals_data()
    {
        QTest::addColumn<QByteArray>("devices");
        QTest::addColumn<QString>("error");
        QTest::newRow("model") << QByteArray("<Device Model_Name=\"QMX 50-B\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"1.1.0.1910\"/>")
                               << "The software is incompatible with the device model.";
        QTest::newRow("downgrade") << QByteArray("<Device Model_Name=\"QMX 70-A\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"9\"/>"
                                                 "<Device Model_Name=\"QMX 50-B\" Firmware_Ver=\"2\" Runtime_Ver=\"1.1.0.1910\"/>")
                                   << "You may not downgrade the device software.";
    }

    void upgradeRefusals()
    {
        QFETCH(QByteArray, devices);
        QFETCH(QString, error);
        DeviceEmulator device;
        QVERIFY(device.start());
        const Run run = dovrelctl(withPort(device, { "upgrade", softwarePackage(devices), "--yes" }));
        QVERIFY2(isFailure(run, 2), qPrintable(describe(run)));
        QCOMPARE(run.json.value("error").toString(), error);
        QVERIFY(!device.commands().join(' ').contains("#RTLD"));
    }

    void upgrade()
    {
        DeviceEmulator device;
        QVERIFY(device.start());
        const QByteArray image(5000, 'i');
        const Run run = dovrelctl(withPort(device, { "upgrade", softwarePackage("<Device Model_Name=\"QMX 70-A\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"1.1.0.1910\"/>", image), "--yes" }));
        QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
        QCOMPARE(run.json.value("version").toString(), QStringLiteral("2.2.0.3000"));
        QVERIFY(device.waitForEvent("file-received", 5000));
    }

    void logsFetchAndDelete()
    {
        const QString log = dataLog();
        QVERIFY(!log.isEmpty());
        DeviceEmulator device;
        QVERIFY(device.start({ "--populate", "--sample-datalog", log, "--app-version", "2.1.6.2886" }));

        const Run list = dovrelctl(withPort(device, { "logs", "list" }));
        QVERIFY2(list.exitCode == 0, qPrintable(describe(list)));
        QCOMPARE(list.json.value("logs").toArray().toVariantList(), (QVariantList { "Tank Level", "Température" }));

        const QString out = path("export");
        put(out + QStringLiteral("/Température.txt"), "keep");
        const Run fetch = dovrelctl(withPort(device, { "logs", "fetch", "--out", out, "--delete", "--yes" }));
        QVERIFY2(fetch.exitCode == 0, qPrintable(describe(fetch)));
        QFile tank(out + QStringLiteral("/Tank Level.txt"));
        QVERIFY(tank.open(QIODevice::ReadOnly));
        QCOMPARE(tank.readAll(), QByteArray("1,2026-01-01 00:00,1.5\n2,2026-01-01 00:01,2\n"));
        QFile kept(out + QStringLiteral("/Température.txt"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("keep"));
        QCOMPARE(fetch.json.value("skipped").toArray().toVariantList(), QVariantList { "Température" });
        // Only the log that was written out is deleted from the device.
        QCOMPARE(fetch.json.value("deleted").toArray().toVariantList(), QVariantList { "Tank Level" });
        QCOMPARE(logTables(device.filePath("qml/dataLogging.txdb")), (QStringList { "Température", "_log" }));

        const Run forced = dovrelctl(withPort(device, { "logs", "fetch", "--out", out, "--tables", "Température", "--force" }));
        QCOMPARE(forced.exitCode, 0);
        // The export replaces the file as a whole.
        QCOMPARE(FileHelper::getFileRawData(out + QStringLiteral("/Température.txt")), QStringLiteral("1,été,21\n").toUtf8());

        const Run unknown = dovrelctl(withPort(device, { "logs", "clear", "--tables", "Nope", "--yes" }));
        QVERIFY2(isFailure(unknown, 2), qPrintable(describe(unknown)));
        const Run clear = dovrelctl(withPort(device, { "logs", "clear", "--tables", "Température", "--yes" }));
        QVERIFY2(clear.exitCode == 0, qPrintable(describe(clear)));
        QCOMPARE(logTables(device.filePath("qml/dataLogging.txdb")), QStringList { "_log" });
    }

    void logsDeleteWhenThePortComesBackAfterTheRestart()
    {
        DeviceEmulator device;
        QVERIFY(device.start({ "--populate", "--sample-datalog", dataLog(), "--app-version", "2.1.6.2886", "--reboot-replug", "800" }));
        const Run run = dovrelctl(withPort(device, { "logs", "fetch", "--out", path("replug"), "--tables", "Tank Level", "--delete", "--yes" }));
        QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
        QTRY_COMPARE_WITH_TIMEOUT(logTables(device.filePath("qml/dataLogging.txdb")), (QStringList { "Température", "_log" }), 10000);
    }

    // A device port under /dev that the emulated device itself keeps: gone while it restarts.
    static QString devPort(const QString& name)
    {
        return QStringLiteral("/dev/ttyDOVREL%1-%2").arg(QCoreApplication::applicationPid()).arg(name);
    }

    static QMap<QString, QString> virtualPorts(const QStringList& ports)
    {
        return { { "DOVREL_VIRTUAL_PORTS", ports.join(QDir::listSeparator()) } };
    }

    // Two clearings at once whose devices come back from their restart under each other's
    // name: each device is followed by its serial number and gets its own edited log.
    void logsOfDevicesThatComeBackSwapped()
    {
        if (!QFileInfo(QStringLiteral("/dev")).isWritable())
            QSKIP("needs a writable /dev");
        const QString a = devPort(QStringLiteral("swapA"));
        const QString b = devPort(QStringLiteral("swapB"));
        DeviceEmulator first;
        DeviceEmulator second;
        const QStringList common { "--populate", "--app-version", "2.1.6.2886", "--reboot-replug", "1500" };
        QVERIFY(first.start(common + QStringList { "--sample-datalog", dataLog(), "--serial", "SWAP-A", "--link", a, "--return-link", b }));
        QVERIFY(second.start(common + QStringList { "--sample-datalog", dataLog(), "--serial", "SWAP-B", "--link", b, "--return-link", a }));
        const QMap<QString, QString> env = virtualPorts({ a, b });
        QProcess clearA;
        QProcess clearB;
        auto start = [&env](QProcess& process, const QStringList& args) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (auto it = env.constBegin(); it != env.constEnd(); ++it)
                environment.insert(it.key(), it.value());
            process.setProcessEnvironment(environment);
            process.start(programPath(), args);
        };
        start(clearA, { "--port", a, "--json", "--quiet", "logs", "clear", "--tables", "Tank Level", "--yes" });
        start(clearB, { "--port", b, "--json", "--quiet", "logs", "clear", "--tables", "Température", "--yes" });
        QVERIFY(clearA.waitForFinished(120000));
        QVERIFY(clearB.waitForFinished(120000));
        QVERIFY2(clearA.exitCode() == 0, clearA.readAllStandardOutput() + clearA.readAllStandardError());
        QVERIFY2(clearB.exitCode() == 0, clearB.readAllStandardOutput() + clearB.readAllStandardError());
        QCOMPARE(logTables(first.filePath("qml/dataLogging.txdb")), (QStringList { "Température", "_log" }));
        QCOMPARE(logTables(second.filePath("qml/dataLogging.txdb")), (QStringList { "Tank Level", "_log" }));
    }

    // A device that stays on the line for seconds after acknowledging its restart (a real
    // one shuts down first) is not taken for back before it has left and returned.
    void deviceThatStaysBeforeLeaving_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("logs clear") << QStringLiteral("logs");
        QTest::newRow("upgrade") << QStringLiteral("upgrade");
        QTest::newRow("upload") << QStringLiteral("upload");
    }

    void deviceThatStaysBeforeLeaving()
    {
        QFETCH(QString, command);
        if (!QFileInfo(QStringLiteral("/dev")).isWritable())
            QSKIP("needs a writable /dev");
        const QString port = devPort(QStringLiteral("stay-") + command);
        DeviceEmulator device;
        QVERIFY(device.start({ "--populate", "--sample-datalog", dataLog(), "--app-version", "2.1.6.2886", "--link", port,
                               "--leave-after", "4000", "--reboot-replug", "1000" }));
        const QMap<QString, QString> env = virtualPorts({ port });
        QStringList args { "--port", port, "--json", "--quiet" };
        if (command == QLatin1String("logs"))
            args << QStringList { "logs", "clear", "--tables", "Tank Level", "--yes" };
        else if (command == QLatin1String("upgrade"))
            args << QStringList { "upgrade", writeSoftwarePackage(path("stay.txsw"), "2.1.6.2886", "2.2.0.3000"), "--yes" };
        else
            args << QStringList { "upload", projectPackage("QMX 70-A", "1.0.0.0"), "--yes" };
        const Run run = dovrelctl(args, env, 120000);
        QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
        if (command == QLatin1String("logs")) {
            QCOMPARE(logTables(device.filePath("qml/dataLogging.txdb")), (QStringList { "Température", "_log" }));
        } else if (command == QLatin1String("upgrade")) {
            // Back with the new software.
            const Run info = dovrelctl({ "--port", port, "--json", "--quiet", "info" }, env, 60000);
            QVERIFY2(info.exitCode == 0, qPrintable(describe(info)));
            QCOMPARE(info.json.value("device").toObject().value("deviceAppVer").toString(), QStringLiteral("2.2.0.3000"));
        } else {
            QVERIFY(device.readFile("qml/project/main.qml").contains("Dovrel sample"));
        }
    }

    // Real signals to a real dovrelctl at each step: the device keeps a whole project and its
    // data log under its own name with every log, and answers within 5 s; a second Ctrl-C
    // ends at once.
    void stopsSafelyOnSignals_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("when");  // the command after which the signal comes
        QTest::addColumn<int>("signal");
        QTest::addColumn<QStringList>("args"); // the device's own
        QTest::addColumn<bool>("twice");
        const QStringList slow { "--throttle", "6000" };
        QTest::newRow("upload mid transfer") << "upload" << "#LOAD<project/big" << SIGINT << slow << false;
        QTest::newRow("clearing mid log update") << "clear" << "#LOAD<dataLogging" << SIGTERM << slow << false;
        QTest::newRow("clearing during the restart") << "clear" << "#BOOT#" << SIGINT << QStringList { "--reboot-replug", "3000" } << false;
        QTest::newRow("second Ctrl-C while the project moves into place")
            << "upload" << "#UNIX<mv tmp/project" << SIGINT << QStringList { "--fault", "delay:UNIX<mv tmp/project:6000" } << true;
    }

    void stopsSafelyOnSignals()
    {
        QFETCH(QString, command);
        QFETCH(QString, when);
        QFETCH(int, signal);
        QFETCH(QStringList, args);
        QFETCH(bool, twice);
        if (!QFileInfo(QStringLiteral("/dev")).isWritable())
            QSKIP("needs a writable /dev");
        const QString port = devPort(QStringLiteral("sig%1").arg(++m_count));
        DeviceEmulator device;
        QVERIFY(device.start(QStringList { "--populate", "--sample-datalog", dataLog(), "--app-version", "2.1.6.2886", "--link", port }
                             + args));
        const QByteArray projectBefore = device.readFile("qml/project/main.qml");
        const QString package = path(QStringLiteral("big%1.txdevproj").arg(m_count));
        QVERIFY(writeProjectPackage(package, { { "project/main.qml", "import QtQuick 2.0\nItem { }\n" },
                                               { "project/big.png", QByteArray(60000, 'b') } }));
        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DOVREL_VIRTUAL_PORTS"), port);
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
        run.setProcessEnvironment(environment);
        run.start(programPath(), command == QLatin1String("upload")
                                     ? QStringList { "--port", port, "--json", "upload", package, "--yes" }
                                     : QStringList { "--port", port, "--json", "logs", "clear", "--tables", "Tank Level", "--yes" });
        QVERIFY(device.waitForCommand(when, 60000));
        ::kill(pid_t(run.processId()), signal);
        QElapsedTimer sinceSecond;
        if (twice) {
            QString said;
            QVERIFY(QTest::qWaitFor([&]() {
                said += QString::fromUtf8(run.readAllStandardError());
                return said.contains(QLatin1String("Finishing on Demo Panel (DV1000001): moving the project into place; "
                                                   "press Ctrl-C again to stop at once"));
            }, 10000));
            ::kill(pid_t(run.processId()), SIGINT);
            sinceSecond.start();
        }
        QVERIFY(run.waitForFinished(90000));
        if (twice)
            QVERIFY2(sinceSecond.elapsed() < 2000, qPrintable(QString::number(sinceSecond.elapsed())));
        QCOMPARE(run.exitCode(), 128 + signal);
        if (!twice) {
            const QJsonObject result = QJsonDocument::fromJson(run.readAllStandardOutput()).object();
            QCOMPARE(result.value("interrupted").toBool(), true);
        }

        // Stopped at once, the device is left in the step it was given: the user's choice.
        if (twice)
            return;
        // Whole: the old project or the new one, and the data log under its own name.
        QElapsedTimer clock;
        clock.start();
        const Run info = dovrelctl({ "--port", port, "--json", "--quiet", "info" }, virtualPorts({ port }), 20000);
        QVERIFY2(info.exitCode == 0, qPrintable(describe(info)));
        QVERIFY2(clock.elapsed() < 5000 + 3000 * int(when == QLatin1String("#BOOT#")), qPrintable(QString::number(clock.elapsed())));
        const QByteArray project = device.readFile("qml/project/main.qml");
        QVERIFY(project == projectBefore || project == "import QtQuick 2.0\nItem { }\n");
        QVERIFY(!device.readFile("qml/config.txrc").isEmpty());
        if (command == QLatin1String("clear")) {
            QCOMPARE(logTables(device.filePath("qml/dataLogging.txdb")), (QStringList { "Tank Level", "Température", "_log" }));
            QVERIFY(!QFileInfo::exists(device.filePath("qml/dataLoggingBk.txdb")));
        }
    }

    // A data log left only under its backup name is put back before the next data log
    // operation, and the user is told.
    void dataLogUnderItsBackupNameIsPutBack()
    {
        DeviceEmulator device;
        QVERIFY(device.start({ "--populate", "--sample-datalog", dataLog(), "--app-version", "2.1.6.2886" }));
        QVERIFY(QFile::rename(device.filePath("qml/dataLogging.txdb"), device.filePath("qml/dataLoggingBk.txdb")));
        const Run list = dovrelctl(QStringList { "--port", device.portPath(), "--json", "logs", "list" });
        QVERIFY2(list.exitCode == 0, qPrintable(describe(list)));
        QCOMPARE(list.json.value("logs").toArray().toVariantList(), (QVariantList { "Tank Level", "Température" }));
        QVERIFY(QString::fromUtf8(list.err).contains(QLatin1String("found only under its backup name")));
        QVERIFY(QFileInfo::exists(device.filePath("qml/dataLogging.txdb")));
        QVERIFY(!QFileInfo::exists(device.filePath("qml/dataLoggingBk.txdb")));
    }

    void logsNeedNewerSoftware()
    {
        DeviceEmulator device;
        QVERIFY(device.start({ "--app-version", "2.1.6.2885" }));
        const Run run = dovrelctl(withPort(device, { "logs", "list" }));
        QVERIFY2(isFailure(run, 1), qPrintable(describe(run)));
        QVERIFY(!device.commands().contains("#MODE<2>#"));
    }

    void logsWithoutDataLog()
    {
        DeviceEmulator device;
        QVERIFY(device.start({ "--app-version", "2.1.6.2886", "--fault", "error:LOGZ" }));
        const Run run = dovrelctl(withPort(device, { "logs", "list" }));
        QVERIFY2(isFailure(run, 1), qPrintable(describe(run)));
        QCOMPARE(run.json.value("error").toString(), QStringLiteral("The project running on the device does not have data logging feature."));
    }

    void timeOutEndsWithExitThree()
    {
        DeviceEmulator device;
        QVERIFY(device.start({ "--app-version", "2.1.6.2886", "--fault", "silent:MODE" }));
        const Run run = dovrelctl(withPort(device, { "logs", "list" }));
        QVERIFY2(isFailure(run, 3), qPrintable(describe(run)));
        QCOMPARE(run.json.value("error").toString(), QStringLiteral("The connection timed out while retrieving data log from the device."));
        const QJsonObject entry = dovrelctl({ "--json", "history" }).json.value("entries").toArray().first().toObject();
        QCOMPARE(entry.value("operation").toString(), QStringLiteral("log-fetch"));
        QCOMPARE(entry.value("result").toString(), QStringLiteral("timed-out"));
        QCOMPARE(entry.value("message").toString(), run.json.value("error").toString());
    }

    void unplugEndsWithExitThree()
    {
        DeviceEmulator device;
        QVERIFY(device.start({ "--populate", "--app-version", "2.1.6.2886", "--fault", "unplug:GETF" }));
        const Run run = dovrelctl(withPort(device, { "logs", "list" }));
        QVERIFY2(isFailure(run, 3), qPrintable(describe(run)));
        QCOMPARE(run.json.value("error").toString(), QStringLiteral("The connection to the device was lost."));
    }

    void fonts()
    {
        DeviceEmulator device;
        QVERIFY(device.start({ "--populate" }));
        put(path("Sample.ttf"), QByteArray(3000, 'f'));
        const Run conflict = dovrelctl(withPort(device, { "fonts", "manage", "--add", path("Sample.ttf"), "--remove", "Sample.ttf" }));
        QVERIFY2(isFailure(conflict, 2), qPrintable(describe(conflict)));

        const Run manage = dovrelctl(withPort(device, { "fonts", "manage", "--add", path("Sample.ttf") }));
        QVERIFY2(manage.exitCode == 0, qPrintable(describe(manage)));
        const Run list = dovrelctl(withPort(device, { "fonts", "list" }));
        QVERIFY2(list.exitCode == 0, qPrintable(describe(list)));
        QVERIFY(list.json.value("fonts").toArray().contains(QJsonValue("Sample.ttf")));
    }

    void configure()
    {
        DeviceEmulator device;
        QVERIFY(device.start({ "--populate", "--serial", "CAL77", "--name", "Old" }));
        // A backup left by an earlier run would be refused without --force.
        QFile::remove(FileHelper::getStandardDocumentLocation() + QStringLiteral("/Lumatra/Calibrations/cal_listCAL77.txt"));
        const Run same = dovrelctl(withPort(device, { "configure", "--name", "Old" }));
        QVERIFY2(isFailure(same, 2), qPrintable(describe(same)));

        QImage picture(640, 480, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(path("splash.jpg"), "JPEG"));
        const Run run = dovrelctl(withPort(device, { "configure", "--name", "New Name", "--clock", "-05:30", "--battery-check", "off",
                                                     "--splash", path("splash.jpg"), "--backup-calibration" }));
        QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
        QCOMPARE(run.json.value("timezone").toInt(), -330);
        const QString backup = run.json.value("calibrationFile").toString();
        QVERIFY(backup.endsWith("/Lumatra/Calibrations/cal_listCAL77.txt"));
        QCOMPARE(FileHelper::getFileRawData(backup), device.readFile("cal_list.txt"));
        QVERIFY(device.commands().contains("#SNAM<New Name>#"));
        QVERIFY(device.commands().contains("#CHBT<0>#"));
        // The splash was stored as a BMP of the device's screen.
        const QImage stored = QImage::fromData(device.readFile("qml/user_splash1024x600.bmp"), "BMP");
        QCOMPARE(stored.size(), QSize(1024, 600));

        const Run again = dovrelctl(withPort(device, { "configure", "--backup-calibration" }));
        QVERIFY2(isFailure(again, 2), qPrintable(describe(again)));
    }

    // A "%" in a device, font or file name is sent as it is: chained arg() calls
    // would fill it in as a placeholder.
    void percentInNames()
    {
        DeviceEmulator device;
        QVERIFY(device.start({ "--populate", "--name", "Old" }));
        const Run name = dovrelctl(withPort(device, { "configure", "--name", "Hall %1 %2" }));
        QVERIFY2(name.exitCode == 0, qPrintable(describe(name)));
        QVERIFY2(device.commands().contains("#SNAM<Hall %1 %2>#"), qPrintable(device.commands().join(' ')));

        put(path("a%1.ttf"), QByteArray(2000, 'f'));
        const Run add = dovrelctl(withPort(device, { "fonts", "manage", "--add", path("a%1.ttf") }));
        QVERIFY2(add.exitCode == 0, qPrintable(describe(add)));
        const Run list = dovrelctl(withPort(device, { "fonts", "list" }));
        QVERIFY2(list.json.value("fonts").toArray().contains(QJsonValue("a%1.ttf")), qPrintable(describe(list)));
        const Run remove = dovrelctl(withPort(device, { "fonts", "manage", "--remove", "a%1.ttf" }));
        QVERIFY2(remove.exitCode == 0, qPrintable(describe(remove)));
        QVERIFY2(!dovrelctl(withPort(device, { "fonts", "list" })).json.value("fonts").toArray().contains(QJsonValue("a%1.ttf")),
                 qPrintable(device.commands().join(' ')));

        // Files holding "%1" and "%2", and one of a sub-folder, arrive flat under their own names.
        const QString source = path("percent-project");
        QVERIFY(put(source + "/project/main.qml", "import QtQuick 2.0\nItem {}\n"));
        QVERIFY(put(source + "/project/images/background.png", QByteArray(3000, 'b')));
        QVERIFY(put(source + "/project/a%1.qml", "import QtQuick 2.0\nItem { id: a }\n"));
        QVERIFY(put(source + "/project/b%2.png", QByteArray(100, 'p')));
        QVERIFY(put(source + "/config.txrc", "colorDepth: 16;\n"));
        QVariantMap versionInfo;
        versionInfo.insert("minDeviceSoftwareVersion", "1.0.0.0");
        versionInfo.insert("compatibleModels", "QMX 70-A");
        versionInfo.insert("ethernetPort", 0);
        versionInfo.insert("configInfo", "colorDepth: 16;");
        QVERIFY(put(source + "/versionInfo.txverinf", FileHelper::variantToBinary(versionInfo)));
        const QString package = path("percent.txdevproj");
        QVERIFY(ZipHelper::zipWithDirectoryContents(source, package, false));
        const Run upload = dovrelctl(withPort(device, { "upload", package, "--yes" }));
        QVERIFY2(upload.exitCode == 0, qPrintable(describe(upload)));
        QCOMPARE(upload.json.value("files").toInt(), 5);
        QVERIFY(device.commands().contains("#LOAD<project/background.png>3000#"));
        QCOMPARE(device.readFile("qml/project/background.png"), QByteArray(3000, 'b'));
        QCOMPARE(device.readFile("qml/project/a%1.qml"), QByteArray("import QtQuick 2.0\nItem { id: a }\n"));
        QCOMPARE(device.readFile("qml/project/b%2.png"), QByteArray(100, 'p'));
    }

    void projectFetch()
    {
        DeviceEmulator device;
        QVERIFY(device.start({ "--populate" }));
        const Run run = dovrelctl(withPort(device, { "project", "fetch", "--out", path("fetched") }));
        QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
        QVERIFY(!run.json.value("files").toArray().isEmpty());
        for (const QJsonValue& file : run.json.value("files").toArray())
            QCOMPARE(FileHelper::getFileRawData(path("fetched/") + file.toString()), device.readFile("qml/project/" + file.toString()));
    }
};

QTEST_GUILESS_MAIN(TestDovrelctl)
#include "tst_dovrelctl.moc"
