#include "filehelper.h"
#include "projectpackage.h"
#include "projectpackagechecker.h"
#include "ziphelper.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QSettings>
#include <QTest>

using namespace Orvane::Tavrix::Common;

class TestProjectPackageChecker : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_count = 0;

    static void put(const QString& path, const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    // Builds a package; entries maps names to content, an empty versionInfo map leaves the entry out.
    QString package(const QVariantMap& versionInfo, bool withConfig = true, const QMap<QString, QByteArray>& extra = {})
    {
        const QString source = m_dir.filePath(QStringLiteral("src%1").arg(++m_count));
        put(source + QStringLiteral("/project/main.qml"), "import QtQuick 2.0\nItem {}\n");
        put(source + QStringLiteral("/project/logo.PNG"), "png-bytes");
        put(source + QStringLiteral("/project/notes.txt"), "not sent");
        if (withConfig)
            put(source + QStringLiteral("/config.txrc"), "colorDepth: 16;");
        if (!versionInfo.isEmpty())
            put(source + QStringLiteral("/versionInfo.txverinf"), FileHelper::variantToBinary(versionInfo));
        for (auto it = extra.constBegin(); it != extra.constEnd(); ++it)
            put(source + QLatin1Char('/') + it.key(), it.value());
        const QString archive = m_dir.filePath(QStringLiteral("p%1.txdevproj").arg(m_count));
        if (!ZipHelper::zipWithDirectoryContents(source, archive, false))
            return QString();
        return archive;
    }

    static QVariantMap info(const QString& models, const QString& minimum, int ethernet = 0)
    {
        return { { QStringLiteral("compatibleModels"), models },
                 { QStringLiteral("minDeviceSoftwareVersion"), minimum },
                 { QStringLiteral("ethernetPort"), ethernet },
                 { QStringLiteral("configInfo"), QStringLiteral("colorDepth: 16;") } };
    }

    static QMap<QString, QString> device(const QString& model, const QString& version, const QString& mac = QStringLiteral("00:1A:79:0E:C6:01"))
    {
        return { { QStringLiteral("model"), model }, { QStringLiteral("deviceAppVer"), version }, { QStringLiteral("physicalAddress"), mac } };
    }

private slots:
    // The texts are compared in English whatever the machine's language.
    void initTestCase()
    {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"), QStringLiteral("Lumatra"))
            .setValue(QStringLiteral("language"), QStringLiteral("en"));
    }

    void checks_data()
    {
        QTest::addColumn<QString>("models");
        QTest::addColumn<QString>("minimum");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("text");

        QTest::newRow("listed among others") << "QMX 50-B|QMX 70-A|QMX 100" << "2.0.0.1" << "QMX 70-A" << "2.1.0.5"
                                             << int(ProjectPackageChecker::Accepted) << "";
        QTest::newRow("case differs") << "qmx 70-a" << "2.0.0.1" << "QMX 70-A" << "2.1.0.5"
                                      << int(ProjectPackageChecker::IncompatibleModel)
                                      << "This project is incompatible with your device model QMX 70-A.";
        QTest::newRow("model prefix only") << "QMX 70" << "2.0.0.1" << "QMX 70-A" << "2.1.0.5"
                                           << int(ProjectPackageChecker::IncompatibleModel)
                                           << "This project is incompatible with your device model QMX 70-A.";
        QTest::newRow("equal version") << "QMX 70-A" << "2.1.0.5" << "QMX 70-A" << "2.1.0.5"
                                       << int(ProjectPackageChecker::Accepted) << "";
        QTest::newRow("older software") << "QMX 70-A" << "2.1.0.10" << "QMX 70-A" << "2.1.0.9"
                                        << int(ProjectPackageChecker::DeviceSoftwareTooOld)
                                        << "You must upgrade the device software to at least 2.1.0.10 to use this project.";
    }

    void checks()
    {
        QFETCH(QString, models);
        QFETCH(QString, minimum);
        QFETCH(QString, model);
        QFETCH(QString, version);
        QFETCH(int, result);
        QFETCH(QString, text);
        const QString path = package(info(models, minimum));
        QVERIFY(!path.isEmpty());
        ProjectPackageChecker checker(path);
        QCOMPARE(int(checker.check(device(model, version))), result);
        QCOMPARE(checker.errorText(), text);
        QCOMPARE(checker.minDeviceSoftwareVersion(), minimum);
        QCOMPARE(checker.compatibleModels(), models.split(QLatin1Char('|')));
    }

    void incompletePackages()
    {
        ProjectPackageChecker noVersion(package({}));
        QCOMPARE(noVersion.check(device(QStringLiteral("QMX 70-A"), QStringLiteral("2.1.0.5"))), ProjectPackageChecker::Incomplete);
        QCOMPARE(noVersion.errorText(), QStringLiteral("The runtime project file does not have enough information for upload to continue."));
        QCOMPARE(noVersion.errorTitle(), QStringLiteral("Runtime Project incomplete"));

        ProjectPackageChecker noConfig(package(info(QStringLiteral("QMX 70-A"), QStringLiteral("1.0.0.0")), false));
        QCOMPARE(noConfig.read(), ProjectPackageChecker::Incomplete);

        // A version entry that is not the data-stream form.
        ProjectPackageChecker garbage(package({}, true, { { QStringLiteral("versionInfo.txverinf"), QByteArray("\x01\x02garbage") } }));
        QCOMPARE(garbage.read(), ProjectPackageChecker::UnreadableVersionInfo);

        const QString notZip = m_dir.filePath(QStringLiteral("plain.txdevproj"));
        put(notZip, "this is not a zip archive");
        QCOMPARE(ProjectPackageChecker(notZip).read(), ProjectPackageChecker::Incomplete);
        QCOMPARE(ProjectPackageChecker(m_dir.filePath(QStringLiteral("missing.txdevproj"))).read(), ProjectPackageChecker::FileNotFound);
    }

    // Settings that do not parse would go to the device as defaults: refused.
    void unreadableSettingsAreRefused_data()
    {
        QTest::addColumn<QString>("configInfo");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("parses") << "colorDepth: 16; displayBrightness: 40;" << true;
        QTest::newRow("no colon") << "colorDepth 16;" << false;
        QTest::newRow("bad number") << "displayBrightness: bright;" << false;
        QTest::newRow("two colons") << "colorDepth: 16: 8;" << false;
    }

    void unreadableSettingsAreRefused()
    {
        QFETCH(QString, configInfo);
        QFETCH(bool, accepted);
        QVariantMap versionInfo = info(QStringLiteral("QMX 70-A"), QStringLiteral("1.0.0.0"));
        versionInfo.insert(QStringLiteral("configInfo"), configInfo);
        ProjectPackageChecker checker(package(versionInfo));
        const auto result = checker.check(device(QStringLiteral("QMX 70-A"), QStringLiteral("2.1.0.5")));
        if (accepted) {
            QCOMPARE(result, ProjectPackageChecker::Accepted);
            QCOMPARE(checker.configuration().displayBrightness(), 40);
            return;
        }
        QCOMPARE(result, ProjectPackageChecker::InvalidConfiguration);
        QCOMPARE(checker.errorTitle(), QStringLiteral("Runtime Project incomplete"));
        QCOMPARE(checker.errorText(),
                 QStringLiteral("The device settings in the runtime project file cannot be read; the project cannot be uploaded."));
    }

    void macAddressWarningDoesNotRefuse()
    {
        const QString path = package(info(QStringLiteral("QMX 70-A"), QStringLiteral("1.0.0.0"), 1));
        ProjectPackageChecker checker(path);
        QCOMPARE(checker.check(device(QStringLiteral("QMX 70-A"), QStringLiteral("2.0.0.0"), QStringLiteral("00:00:00:00:00:00"))),
                 ProjectPackageChecker::Accepted);
        QCOMPARE(checker.warningTitle(), QStringLiteral("MAC Address Configuration"));
        QCOMPARE(checker.ethernetPorts(), 1);

        ProjectPackageChecker withMac(path);
        QCOMPARE(withMac.check(device(QStringLiteral("QMX 70-A"), QStringLiteral("2.0.0.0"))), ProjectPackageChecker::Accepted);
        QVERIFY(withMac.warningText().isEmpty());
    }

    void unsafeEntryNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("safe");
        QTest::newRow("plain") << "project/main.qml" << true;
        QTest::newRow("dots in name") << "project/a..b.qml" << true;
        QTest::newRow("parent") << "../evil.qml" << false;
        QTest::newRow("nested parent") << "project/../../evil.qml" << false;
        QTest::newRow("backslash parent") << "project\\..\\..\\evil.qml" << false;
        QTest::newRow("absolute") << "/etc/evil" << false;
        QTest::newRow("drive") << "C:/evil" << false;
    }

    void unsafeEntryNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, safe);
        QCOMPARE(ProjectPackageChecker::isSafeEntryName(name), safe);
    }

    // The names the upload sends must travel in "#LOAD<project/%1>%2#" unchanged and
    // stay distinct; names that are not sent do not matter.
    void fileNamesTheDeviceCannotTake_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("named");
        const int unsupported = int(ProjectPackageChecker::UnsupportedFileName);
        QTest::newRow("outside Latin-1") << QStringList { "project/图.png", "project/表.png" } << unsupported << "\"project/图.png\"";
        QTest::newRow("hash") << QStringList { "project/a#b.qml" } << unsupported << "\"project/a#b.qml\"";
        QTest::newRow("less than") << QStringList { "project/a<b.png" } << unsupported << "\"project/a<b.png\"";
        QTest::newRow("greater than") << QStringList { "project/a>b.png" } << unsupported << "\"project/a>b.png\"";
        QTest::newRow("line feed") << QStringList { "project/a\nb.png" } << unsupported << "\"project/a\\x0ab.png\"";
        QTest::newRow("same name twice") << QStringList { "project/a.png", "project/./a.png" }
                                         << int(ProjectPackageChecker::DuplicateFileName) << "\"project/a.png\" and \"project/./a.png\"";
        QTest::newRow("one name in two folders") << QStringList { "project/a/x.png", "project/b/x.png" } << int(ProjectPackageChecker::DuplicateFileName)
                                                 << "\"project/a/x.png\" and \"project/b/x.png\" would both reach the device as \"project/x.png\"";
        QTest::newRow("in a sub-folder") << QStringList { "project/sub/图.png" } << unsupported << "\"project/sub/图.png\"";
        QTest::newRow("Latin-1, or not sent") << QStringList { "project/Température é.png", "project/sub/n#1.txt", "project/.git/图.png" }
                                              << int(ProjectPackageChecker::Accepted) << "";
    }

    void fileNamesTheDeviceCannotTake()
    {
        QFETCH(QStringList, names);
        QFETCH(int, result);
        QFETCH(QString, named);
        QList<QPair<QString, QByteArray>> entries;
        for (const QString& name : names)
            entries << qMakePair(name, QByteArray("content"));
        const QString path = m_dir.filePath(QStringLiteral("names%1.txdevproj").arg(++m_count));
        QVERIFY(writeProjectPackage(path, entries));
        ProjectPackageChecker checker(path);
        QCOMPARE(int(checker.check(device(QStringLiteral("QMX 70-A"), QStringLiteral("2.1.6.2886")))), result);
        QVERIFY2(checker.errorText().contains(named), qPrintable(checker.errorText()));
    }

    void uploadFileListOrderAndFilter()
    {
        const QString path = package(info(QStringLiteral("QMX 70-A"), QStringLiteral("1.0.0.0")), true,
                                     { { QStringLiteral("project/B.QML"), "x" }, { QStringLiteral("project/empty.qml"), "" },
                                       { QStringLiteral("project/images/background.png"), "png" },
                                       { QStringLiteral("canConfig.txrc"), "can" } });
        ProjectPackageChecker checker(path);
        QCOMPARE(checker.read(), ProjectPackageChecker::Accepted);
        QVERIFY(checker.hasCanConfiguration());
        QTemporaryDir out;
        QVERIFY(checker.extractTo(out.path()));
        qint64 total = 0;
        const QStringList files = ProjectPackageChecker::uploadFileList(out.path(), &total);
        QStringList names;
        qint64 sum = 0;
        for (const QString& file : files) {
            names << QFileInfo(file).fileName();
            sum += QFileInfo(file).size();
        }
        // Path order ignoring case, sub-folders included; notes.txt and the empty file are not sent.
        QCOMPARE(names, (QStringList { "B.QML", "background.png", "logo.PNG", "main.qml", "config.txrc", "canConfig.txrc" }));
        QCOMPARE(total, sum);
    }

    void uploadFileListNeedsProjectFiles()
    {
        QTemporaryDir out;
        put(out.filePath(QStringLiteral("config.txrc")), "c");
        put(out.filePath(QStringLiteral("project/readme.txt")), "r");
        QVERIFY(ProjectPackageChecker::uploadFileList(out.path()).isEmpty());
        QVERIFY(ProjectPackageChecker::uploadFileList(out.filePath(QStringLiteral("nothing"))).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProjectPackageChecker)
#include "tst_projectpackagechecker.moc"
