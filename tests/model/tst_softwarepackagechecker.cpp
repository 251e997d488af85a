#include "softwarepackagechecker.h"
#include "texthelper.h"
#include "ziphelper.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QTemporaryDir>
#include <QSettings>
#include <QTest>

using namespace Orvane::Tavrix::Common;

class TestSoftwarePackageChecker : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_count = 0;

    QString package(const QByteArray& xml, const QByteArray& image, bool withXml = true)
    {
        const QString source = m_dir.filePath(QStringLiteral("sw%1").arg(++m_count));
        QDir().mkpath(source);
        if (withXml) {
            QFile x(source + QStringLiteral("/update.xml"));
            if (!x.open(QIODevice::WriteOnly))
                return QString();
            x.write(xml);
        }
        QFile t(source + QStringLiteral("/update.tar.gz"));
        if (!t.open(QIODevice::WriteOnly))
            return QString();
        t.write(image);
        t.close();
        const QString archive = m_dir.filePath(QStringLiteral("p%1.txsw").arg(m_count));
        return ZipHelper::zipWithDirectoryContents(source, archive, false) ? archive : QString();
    }

    static QByteArray xml(const QByteArray& devices)
    {
        return "<?xml version=\"1.0\"?><Update><Info><NewRuntime Ver=\"2.2.0.3000\" Date=\"2026-03-14\"/></Info>" + devices
            + "</Update>";
    }

    static QMap<QString, QString> device()
    {
        return { { QStringLiteral("model"), QStringLiteral("QMX 70-A") },
                 { QStringLiteral("firmware"), QStringLiteral("1.0.4") },
                 { QStringLiteral("deviceAppVer"), QStringLiteral("2.1.0.5") } };
    }

private slots:
    // The texts are compared in English whatever the machine's language.
    void initTestCase()
    {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"), QStringLiteral("Lumatra"))
            .setValue(QStringLiteral("language"), QStringLiteral("en"));
    }

    void compatibility_data()
    {
        QTest::addColumn<QByteArray>("devices");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("text");
        QTest::newRow("match") << QByteArray("<Device Model_Name=\"QMX 50-B\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"2.1.0.5\"/>"
                                             "<Device Model_Name=\"QMX 70-A\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"2.1.0.5\"/>")
                               << 0 << "";
        QTest::newRow("no entries") << QByteArray() << 1 << "The software is incompatible with the device model.";
        QTest::newRow("model") << QByteArray("<Device Model_Name=\"QMX 50-B\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"2.1.0.5\"/>") << 1
                               << "The software is incompatible with the device model.";
        QTest::newRow("firmware") << QByteArray("<Device Model_Name=\"QMX 70-A\" Firmware_Ver=\"1.0.3\" Runtime_Ver=\"2.1.0.5\"/>") << 2
                                  << "The software is incompatible with the device firmware.";
        QTest::newRow("runtime") << QByteArray("<Device Model_Name=\"QMX 70-A\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"2.0.0.1\"/>") << 3
                                 << "The software is incompatible with the device runtime.";
        QTest::newRow("spread over entries")
            << QByteArray("<Device Model_Name=\"QMX 70-A\" Firmware_Ver=\"9\" Runtime_Ver=\"2.1.0.5\"/>"
                          "<Device Model_Name=\"QMX 50-B\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"1\"/>")
            << 5 << "You may not downgrade the device software.";
    }

    void compatibility()
    {
        QFETCH(QByteArray, devices);
        QFETCH(int, expected);
        QFETCH(QString, text);
        SoftwarePackageChecker checker(package(xml(devices), "image"));
        const auto result = checker.check(device());
        QCOMPARE(int(checker.compatibility()), expected);
        QCOMPARE(result, expected == 0 ? SoftwarePackageChecker::Accepted : SoftwarePackageChecker::Incompatible);
        QCOMPARE(checker.errorText(), text);
        QCOMPARE(checker.packageContent().isEmpty(), expected != 0);

        // The DOM form gives the same answer.
        QDomDocument document;
        QVERIFY(document.setContent(xml(devices)));
        QCOMPARE(int(SoftwarePackageChecker::isDeviceCompatible(QStringLiteral("QMX 70-A"), QStringLiteral("1.0.4"), QStringLiteral("2.1.0.5"),
                                                                document.documentElement().elementsByTagName(QStringLiteral("Device")))),
                 expected);
    }

    void versionAndDate()
    {
        SoftwarePackageChecker checker(package(xml("<Device Model_Name=\"QMX 70-A\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"2.1.0.5\"/>"), "abc"));
        QCOMPARE(checker.check(device()), SoftwarePackageChecker::Accepted);
        QCOMPARE(checker.version(), QStringLiteral("2.2.0.3000"));
        QCOMPARE(checker.releaseDate().date(), QDate(2026, 3, 14));
        QCOMPARE(checker.packageContent(), QByteArray("abc"));
    }

    void invalidPackages()
    {
        const QByteArray good = xml("<Device Model_Name=\"QMX 70-A\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"2.1.0.5\"/>");
        const QStringList paths = { package(good, ""), package("<Update><unclosed>", "x"), package(good, "x", false),
                                    m_dir.filePath(QStringLiteral("missing.txsw")) };
        for (const QString& path : paths) {
            SoftwarePackageChecker checker(path);
            QCOMPARE(checker.check(device()), SoftwarePackageChecker::InvalidPackage);
            QCOMPARE(checker.errorTitle(), QStringLiteral("Invalid Device Software"));
            QCOMPARE(checker.errorText(), QStringLiteral("\"%1\" is not a valid device software file.")
                                              .arg(TextHelper::toSystemPath(QFileInfo(path).absoluteFilePath())));
        }
    }

    // Compatibility is judged before the image: an incompatible package with an
    // empty image is refused for its compatibility, not as an invalid file.
    void compatibilityBeforeEmptyImage()
    {
        SoftwarePackageChecker incompatible(package(xml("<Device Model_Name=\"QMX 50-B\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"2.1.0.5\"/>"), ""));
        QCOMPARE(incompatible.check(device()), SoftwarePackageChecker::Incompatible);
        QCOMPARE(incompatible.errorTitle(), QStringLiteral("Upgrade Device Software"));
        QCOMPARE(incompatible.errorText(), QStringLiteral("The software is incompatible with the device model."));

        // Without a device the empty image still makes the package invalid.
        SoftwarePackageChecker alone(incompatible.packagePath());
        QCOMPARE(alone.read(), SoftwarePackageChecker::InvalidPackage);
    }
};

QTEST_GUILESS_MAIN(TestSoftwarePackageChecker)
#include "tst_softwarepackagechecker.moc"
