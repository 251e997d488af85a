// The exit code of every dovrelctl command when the device stays silent or is
// unplugged at the command's first step: 3 for a device that was found and then
// failed to answer or went away, 4 when no device could be identified at all.
// Reached through the emulator's own /dev/pts path.
#include "dovrelctlrun.h"
#include "projectpackage.h"
#include "emulator.h"
#include "filehelper.h"
#include "ziphelper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Orvane::Tavrix::Common;

class TestDovrelctlExitCodes : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_project;
    QString m_software;
    QString m_font;

    static bool put(const QString& file, const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile f(file);
        return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
    }

private slots:
    void initTestCase()
    {
        // Only the exit codes matter here: the dovrelctl runs inherit short reply time-outs.
        qputenv("DOVREL_TIMEOUT_SCALE", "0.1");
        QVERIFY(QFileInfo(DovrelctlRun::programPath()).isExecutable());
        m_project = m_dir.filePath(QStringLiteral("project.txdevproj"));
        const DovrelctlRun sample = DovrelctlRun::start(
            { "package", "make-sample", "--out", m_project, "--models", "QMX 70-A", "--min-version", "1.0.0.0" });
        QVERIFY2(sample.exitCode == 0, qPrintable(sample.describe()));

        m_software = writeSoftwarePackage(m_dir.filePath(QStringLiteral("software.txsw")), QStringLiteral("2.1.6.2886"), 3000);
        QVERIFY(!m_software.isEmpty());

        m_font = m_dir.filePath(QStringLiteral("Sample.ttf"));
        QVERIFY(put(m_font, QByteArray(3000, 'f')));
    }

    void silentOrUnplugged_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("exitCode");

        const QString out = m_dir.filePath(QStringLiteral("out"));
        const QList<QPair<QStringList, QString>> commands = {
            { { "list" }, "HWCF" },
            { { "info" }, "HWCF" },
            { { "identify" }, "DTIM" },
            { { "reboot" }, "DTIM" },
            { { "sync-clock", "--offset", "60" }, "DTIM" },
            { { "upload", m_project, "--yes" }, "MODE" },
            { { "upgrade", m_software, "--yes" }, "RTLD" },
            { { "logs", "list" }, "MODE" },
            { { "logs", "fetch", "--out", out }, "MODE" },
            { { "logs", "clear", "--tables", "A", "--yes" }, "MODE" },
            { { "fonts", "list" }, "GFFS" },
            { { "fonts", "manage", "--remove", "Old.ttf" }, "RMFS" },
            { { "fonts", "manage", "--add", m_font }, "MODE" },
            { { "configure", "--name", "Other" }, "SNAM" },
            { { "project", "fetch", "--out", out }, "GPFL" },
        };
        for (const auto& [command, key] : commands) {
            // Without an identified device there is nothing to time out: no device.
            const int found = key == QLatin1String("HWCF") ? 4 : 3;
            QTest::addRow("%s: silent", qPrintable(command.join(' '))) << command << QStringLiteral("silent:%1").arg(key) << found;
            QTest::addRow("%s: unplugged", qPrintable(command.join(' '))) << command << QStringLiteral("unplug:%1").arg(key) << found;
        }
    }

    void silentOrUnplugged()
    {
        QFETCH(QStringList, command);
        QFETCH(QString, fault);
        QFETCH(int, exitCode);
        DeviceEmulator device;
        QVERIFY(device.start({ "--populate", "--app-version", "2.1.6.2886", "--fault", fault }));
        // The pseudo terminal's own path under /dev, as a real device would be named.
        const QString port = QFileInfo(device.portPath()).canonicalFilePath();
        QVERIFY2(port.startsWith(QLatin1String("/dev/")), qPrintable(port));
        const DovrelctlRun run = DovrelctlRun::start(QStringList { "--port", port, "--json", "--quiet" } + command);
        QVERIFY2(run.isFailure(exitCode), qPrintable(run.describe()));
        // The command reached the device (or the device was looked for) before it failed.
        QVERIFY2(device.commands().join(' ').contains(fault.section(':', 1)), qPrintable(device.commands().join(' ')));
    }
};

QTEST_GUILESS_MAIN(TestDovrelctlExitCodes)
#include "tst_dovrelctlexitcodes.moc"
