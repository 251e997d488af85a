// Builds the Debian package once and checks what a user installs: its files,
// its dependencies, lintian's verdict, and that the unpacked programs run.

#include "emulator.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

struct Result
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Result run(const QString& program, const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
           const QString& workingDirectory = QString(), int timeoutMs = 600000)
{
    QProcess process;
    process.setProcessEnvironment(env);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, args);
    Result result;
    if (!process.waitForStarted(10000))
        return result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// The tables with every text replaced by a marked one, so that output shows
// whether the texts were read from the installed folder.
bool writeMarkedTables(const QString& localizations, const QString& locale)
{
    const QDir english(localizations + QStringLiteral("/en"));
    const QString target = localizations + QLatin1Char('/') + locale;
    if (!QDir().mkpath(target))
        return false;
    static const QRegularExpression entry(QStringLiteral("^\"((?:[^\"\\\\]|\\\\.)*)\"\\s*=\\s*\"(?:[^\"\\\\]|\\\\.)*\";"));
    const QStringList tables = english.entryList({ QStringLiteral("*.strings") }, QDir::Files);
    for (const QString& table : tables) {
        QFile in(english.filePath(table));
        QFile out(target + QLatin1Char('/') + table);
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            return false;
        for (const QString& line : QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'))) {
            const QRegularExpressionMatch match = entry.match(line.trimmed());
            if (match.hasMatch())
                out.write(QStringLiteral("\"%1\" = \"ZZ:%1\";\n").arg(match.captured(1)).toUtf8());
        }
    }
    return !tables.isEmpty();
}

} // namespace

class PackageTest : public QObject
{
    Q_OBJECT

    QString m_package;
    QTemporaryDir m_root;
    QStringList m_contents;

    QProcessEnvironment privateEnvironment(const QString& home) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DOVREL_VIRTUAL_PORTS"));
        env.remove(QStringLiteral("LD_LIBRARY_PATH"));
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
        env.insert(QStringLiteral("TMPDIR"), home + QStringLiteral("/tmp"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        QDir().mkpath(home + QStringLiteral("/runtime"));
        QDir().mkpath(home + QStringLiteral("/tmp"));
        QFile::setPermissions(home + QStringLiteral("/runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return env;
    }

    QString installed(const QString& relative) const { return m_root.path() + QLatin1Char('/') + relative; }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dpkg-deb")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("cpack")).isEmpty())
            QSKIP("dpkg-deb or cpack is not installed (scripts/install-deps installs them)");
        const QString build = QStringLiteral(DOVREL_BINARY_DIR);
        for (const QFileInfo& old : QDir(build).entryInfoList({ QStringLiteral("dovrel_*.deb") }, QDir::Files))
            QFile::remove(old.filePath());
        const Result cpack = run(QStringLiteral("cpack"), { QStringLiteral("-G"), QStringLiteral("DEB") },
                                 QProcessEnvironment::systemEnvironment(), build);
        QVERIFY2(cpack.exitCode == 0, cpack.out + cpack.err);
        m_package = QStringLiteral("%1/dovrel_%2_amd64.deb").arg(build, QStringLiteral(DOVREL_VERSION));
        QVERIFY2(QFileInfo::exists(m_package), qPrintable(m_package));

        const Result contents = run(QStringLiteral("dpkg-deb"), { QStringLiteral("--contents"), m_package });
        QCOMPARE(contents.exitCode, 0);
        for (const QString& line : QString::fromUtf8(contents.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            m_contents << line.section(QLatin1Char(' '), -1).remove(QRegularExpression(QStringLiteral("^\\./")));
        QVERIFY(m_root.isValid());
        const Result unpack = run(QStringLiteral("dpkg"), { QStringLiteral("-x"), m_package, m_root.path() });
        QVERIFY2(unpack.exitCode == 0, unpack.err);
    }

    void holdsTheProgramAndItsFiles_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::newRow("program") << "^usr/bin/dovrel$";
        QTest::newRow("cli") << "^usr/bin/dovrelctl$";
        QTest::newRow("Device") << "^usr/lib/([^/]+/)?dovrel/libDevice\\.so$";
        QTest::newRow("Gui") << "^usr/lib/([^/]+/)?dovrel/libGui\\.so$";
        QTest::newRow("tables") << "^usr/share/dovrel/Localizations/en/Runtime\\.strings$";
        QTest::newRow("udev rule") << "^usr/lib/udev/rules\\.d/60-dovrel\\.rules$";
        QTest::newRow("desktop entry") << "^usr/share/applications/dovrel\\.desktop$";
        QTest::newRow("svg icon") << "^usr/share/icons/hicolor/scalable/apps/dovrel\\.svg$";
        QTest::newRow("png icon") << "^usr/share/icons/hicolor/48x48/apps/dovrel\\.png$";
        QTest::newRow("manual page") << "^usr/share/man/man1/dovrelctl\\.1\\.gz$";
        QTest::newRow("program manual page") << "^usr/share/man/man1/dovrel\\.1\\.gz$";
        QTest::newRow("copyright") << "^usr/share/doc/dovrel/copyright$";
        QTest::newRow("trusted keys folder") << "^etc/dovrel/trusted-keys/$";
    }

    void holdsTheProgramAndItsFiles()
    {
        QFETCH(QString, pattern);
        const QRegularExpression expression(pattern);
        QVERIFY2(!m_contents.filter(expression).isEmpty(), qPrintable(m_contents.join(QLatin1Char('\n'))));
    }

    void leavesOutTheDeveloperTools()
    {
        for (const QString& path : m_contents) {
            QVERIFY2(!path.contains(QLatin1String("emulator")), qPrintable(path));
            QVERIFY2(!path.contains(QLatin1String("bench")), qPrintable(path));
            QVERIFY2(!path.contains(QLatin1String("tst_")), qPrintable(path));
        }
    }

    void dependsOnTheQtRuntime()
    {
        const Result depends = run(QStringLiteral("dpkg-deb"), { QStringLiteral("-f"), m_package, QStringLiteral("Depends") });
        QCOMPARE(depends.exitCode, 0);
        const QString text = QString::fromUtf8(depends.out);
        for (const char* package : { "libqt6core6", "libqt6widgets6", "libqt6serialport6", "libqt6charts6", "libqt6sql6-sqlite", "libudev1", "libsodium23", "libc6" })
            QVERIFY2(text.contains(QLatin1String(package)), qPrintable(text));
        QFile desktop(installed(QStringLiteral("usr/share/applications/dovrel.desktop")));
        QVERIFY(desktop.open(QIODevice::ReadOnly));
        const QByteArray entry = desktop.readAll();
        QVERIFY(entry.contains("Exec=dovrel"));
        QVERIFY(entry.contains("Categories=Utility;"));
    }

    void lintianFindsNoErrors()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("lintian")).isEmpty())
            QSKIP("lintian is not installed (scripts/install-deps installs it)");
        const Result lintian = run(QStringLiteral("lintian"), { QStringLiteral("--no-tag-display-limit"), m_package });
        const QStringList errors = QString::fromUtf8(lintian.out).split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^E: ")));
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
        QVERIFY2(lintian.exitCode == 0 || lintian.exitCode == 2 || errors.isEmpty(), lintian.err);
    }

    void unpackedCliRunsWithItsInstalledTexts()
    {
        QTemporaryDir home;
        QProcessEnvironment env = privateEnvironment(home.path());
        const QString cli = installed(QStringLiteral("usr/bin/dovrelctl"));

        const Result version = run(cli, { QStringLiteral("--version") }, env);
        QCOMPARE(version.exitCode, 0);
        QVERIFY2(version.out.contains(DOVREL_VERSION), version.out);

        // Only the installed folder can hold this locale: the texts come from there.
        QVERIFY(writeMarkedTables(installed(QStringLiteral("usr/share/dovrel/Localizations")), QStringLiteral("zz")));
        QVERIFY(QDir().mkpath(home.path() + QStringLiteral("/.config/Orvane")));
        QFile settings(home.path() + QStringLiteral("/.config/Orvane/Lumatra.conf"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[General]\nlanguage=zz\n");
        settings.close();
        const Result missing = run(cli, { QStringLiteral("--port"), QStringLiteral("/dev/dovrel-no-such-port"), QStringLiteral("info") }, env);
        QCOMPARE(missing.exitCode, 4);
        QVERIFY2(missing.err.contains("ZZ:"), missing.err);
    }

    void unpackedCliListsTheEmulatedDevice()
    {
        DeviceEmulator device;
        QVERIFY(device.start());
        // The pseudo terminal's own path under /dev, as a real device's would be.
        const QString pts = QFileInfo(device.portPath()).symLinkTarget();
        QVERIFY2(pts.startsWith(QLatin1String("/dev/")), qPrintable(pts));

        QTemporaryDir home;
        QProcessEnvironment env = privateEnvironment(home.path());
        env.insert(QStringLiteral("DOVREL_VIRTUAL_PORTS"), pts);
        const Result list = run(installed(QStringLiteral("usr/bin/dovrelctl")), { QStringLiteral("--json"), QStringLiteral("list") }, env, QString(), 90000);
        QVERIFY2(list.exitCode == 0, list.out + list.err);
        const QJsonObject object = QJsonDocument::fromJson(list.out).object();
        const QJsonArray devices = object.value(QStringLiteral("devices")).toArray();
        QCOMPARE(devices.size(), 1);
        QCOMPARE(devices.at(0).toObject().value(QStringLiteral("port")).toString(), pts);
    }

    void unpackedProgramStartsAndQuits()
    {
        const QString program = installed(QStringLiteral("usr/bin/dovrel"));
        if (!QFileInfo::exists(program))
            QFAIL("the package holds no program");
        QTemporaryDir home;
        const QProcessEnvironment env = privateEnvironment(home.path());
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(program, {});
        QVERIFY(process.waitForStarted(10000));
        // The running instance publishes its hand-over port in the lock file.
        const QString lock = home.path() + QStringLiteral("/runtime/Kavendi-lockfile");
        const bool published = QTest::qWaitFor([&]() {
            QFile file(lock);
            if (!file.open(QIODevice::ReadOnly))
                return false;
            const QByteArray content = file.readAll().trimmed();
            bool ok = false;
            content.toInt(&ok);
            return ok;
        }, 60000);
        QVERIFY2(published, process.readAllStandardError());
        QCOMPARE(process.state(), QProcess::Running);
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(lock));
    }
};

QTEST_GUILESS_MAIN(PackageTest)
#include "tst_package.moc"
