#include "helpers/systemhelper.h"
#include "helpers/texthelper.h"
#include "helpers/threadhelper.h"
#include "helpers/windowshelper.h"

#include <QtTest>

#include <QElapsedTimer>
#include <QLocale>
#include <QSysInfo>
#include <QTemporaryDir>

using namespace Orvane::Tavrix::Common;

class TestSystemHelper : public QObject
{
    Q_OBJECT

private slots:
    void platform();
    void architecture();
    void locales();
    void productNameAndVersion();
    void versionResources();
    void fileViewerRefusesMissingAndRoot();
    void sleeps();
};

void TestSystemHelper::platform()
{
#ifdef Q_OS_WIN
    QVERIFY(SystemHelper::isWindows());
    QVERIFY(!SystemHelper::isUnix());
#else
    QVERIFY(!SystemHelper::isWindows());
    QVERIFY(SystemHelper::isUnix());
#endif
}

void TestSystemHelper::architecture()
{
    const SystemHelper::SystemArchitecture architecture = SystemHelper::systemArchitecture();
    QCOMPARE(WindowsHelper::windowsSystemArchitecture(), architecture);
#ifndef Q_OS_WIN
    const QString cpu = QSysInfo::currentCpuArchitecture();
    if (cpu == QLatin1String("x86_64"))
        QCOMPARE(architecture, SystemHelper::X64Architecture);
    else if (cpu == QLatin1String("i386"))
        QCOMPARE(architecture, SystemHelper::X86Architecture);
    else if (cpu.startsWith(QLatin1String("arm")))
        QCOMPARE(architecture, SystemHelper::ArmArchitecture);
#endif
    QCOMPARE(int(SystemHelper::X86Architecture), 0);
    QCOMPARE(int(SystemHelper::X64Architecture), 1);
    QCOMPARE(int(SystemHelper::ItaniumArchitecture), 2);
    QCOMPARE(int(SystemHelper::ArmArchitecture), 3);
    QCOMPARE(int(SystemHelper::PowerPcArchitecture), 4);
    QCOMPARE(int(SystemHelper::UnknownArchitecture), -1);
}

void TestSystemHelper::locales()
{
    const QString locale = SystemHelper::currentLocale();
    QVERIFY2(QRegularExpression(QStringLiteral("^[a-zA-Z]{1,5}_[a-zA-Z0-9]{0,5}$")).match(locale).hasMatch(),
             qPrintable(locale));
#ifndef Q_OS_WIN
    const QLocale system = QLocale::system();
    QCOMPARE(locale, QLocale::languageToCode(system.language()) + QLatin1Char('_')
                         + QLocale::territoryToCode(system.territory()));
    QCOMPARE(WindowsHelper::windowsCurrentLocale(), locale);
    QCOMPARE(TextHelper::systemLocale(), WindowsHelper::windowsSystemLocale());
    // Under LANG=de_DE.UTF-8 the answer is de_DE.
    if (qEnvironmentVariable("LC_ALL").isEmpty() && qEnvironmentVariable("LANG").startsWith(QLatin1String("de_DE")))
        QCOMPARE(locale, QStringLiteral("de_DE"));
#endif
}

void TestSystemHelper::productNameAndVersion()
{
    QVERIFY(!SystemHelper::systemProductName().isEmpty());
#ifdef Q_OS_WIN
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+$")).match(SystemHelper::systemVersion()).hasMatch());
    QVERIFY(WindowsHelper::getWindowsProductType() >= 1);
#else
    QCOMPARE(SystemHelper::systemVersion(), QSysInfo::kernelVersion());
    QCOMPARE(WindowsHelper::getWindowsProductType(), -1);
    QVERIFY(WindowsHelper::windowsSystemVersion().isEmpty());
    QVERIFY(WindowsHelper::windowsProductName().isEmpty());
    QFile osRelease(QStringLiteral("/etc/os-release"));
    if (osRelease.open(QIODevice::ReadOnly) && osRelease.readAll().contains("PRETTY_NAME=")) {
        const QString name = SystemHelper::systemProductName();
        QVERIFY2(!name.startsWith(QLatin1Char('"')) && !name.endsWith(QLatin1Char('"')), qPrintable(name));
    }
#endif
}

void TestSystemHelper::versionResources()
{
    // A plain text file has no version resource.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("plain.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("no resources here");
    file.close();
    QVERIFY(WindowsHelper::getFileFileVersion(path).isEmpty());
    QVERIFY(WindowsHelper::getFileProductVersion(path).isEmpty());
    QVERIFY(WindowsHelper::getFileProductName(path).isEmpty());
    QVERIFY(WindowsHelper::getFileCompanyName(path).isEmpty());
    QVERIFY(WindowsHelper::getFileFileDescription(path).isEmpty());
    QVERIFY(WindowsHelper::getFileFileVersion(dir.filePath(QStringLiteral("missing.exe"))).isEmpty());
}

void TestSystemHelper::fileViewerRefusesMissingAndRoot()
{
    QTemporaryDir dir;
    QVERIFY(!WindowsHelper::activateFileViewerSelectingFile(dir.filePath(QStringLiteral("nothing-here"))));
    QVERIFY(!WindowsHelper::activateFileViewerSelectingFile(QString()));
    QVERIFY(!WindowsHelper::activateFileViewerSelectingFile(QDir::rootPath()));
}

void TestSystemHelper::sleeps()
{
    QElapsedTimer timer;
    timer.start();
    ThreadHelper::msleep(30);
    ThreadHelper::usleep(20000);
    // Lower bound only: sleeping may take longer on a busy machine, never shorter.
    QVERIFY(timer.elapsed() >= 45);
}

QTEST_GUILESS_MAIN(TestSystemHelper)
#include "tst_systemhelper.moc"
