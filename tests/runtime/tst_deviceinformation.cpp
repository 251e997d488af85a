// The typed view over a device information map: what the windows read instead of raw keys.

#include "deviceinformation.h"

#include <QTest>

using Orvane::Tavrix::Runtime::DeviceInformation;

namespace {

QMap<QString, QString> device(const QString& version, const QString& zone = QStringLiteral("330"))
{
    return { { QStringLiteral("serial"), QStringLiteral("ARD20130400123") },
             { QStringLiteral("model"), QStringLiteral("QMX 70-A") },
             { QStringLiteral("deviceAppVer"), version },
             { QStringLiteral("deviceName"), QStringLiteral("Line%1") },
             { QStringLiteral("port"), QStringLiteral("/dev/ttyACM0") },
             { QStringLiteral("screenWidth"), QStringLiteral("800") },
             { QStringLiteral("screenHeight"), QStringLiteral("480") },
             { QStringLiteral("backlight"), QStringLiteral("75") },
             { QStringLiteral("timezone"), zone } };
}

} // namespace

class DeviceInformationTest : public QObject
{
    Q_OBJECT

private slots:
    void readsTheMap()
    {
        const DeviceInformation info(device(QStringLiteral("2.1.6.2886")));
        QCOMPARE(info.serial(), QStringLiteral("ARD20130400123"));
        QCOMPARE(info.model(), QStringLiteral("QMX 70-A"));
        QCOMPARE(info.softwareVersion(), QStringLiteral("2.1.6.2886"));
        QCOMPARE(info.port(), QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(info.screenWidth(), 800);
        QCOMPARE(info.screenHeight(), 480);
        QCOMPARE(info.backlight(), 75);
        // A "%" in the name stays as it is.
        QCOMPARE(info.displayName(), QStringLiteral("Line%1(ARD20130400123)"));
        QVERIFY(DeviceInformation().isEmpty());
        QCOMPARE(DeviceInformation().backlight(), -1);
    }

    void timeZoneIsBounded_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("minutes");
        QTest::newRow("east") << "330" << true << 330;
        QTest::newRow("west") << "-300" << true << -300;
        QTest::newRow("lowest") << "-720" << true << -720;
        QTest::newRow("highest") << "720" << true << 720;
        QTest::newRow("beyond") << "780" << false << 0;
        QTest::newRow("below") << "-721" << false << 0;
        QTest::newRow("missing") << "" << false << 0;
        QTest::newRow("text") << "UTC" << false << 0;
    }

    void timeZoneIsBounded()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, minutes);
        const auto zone = DeviceInformation(device(QStringLiteral("1.0.0.1"), text)).timeZone();
        QCOMPARE(zone.has_value(), valid);
        if (valid)
            QCOMPARE(*zone, minutes);
    }

    void featureGates_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("dataLog");
        QTest::addColumn<bool>("fonts");
        QTest::newRow("old") << "1.1.0.1909" << false << false;
        QTest::newRow("fonts only") << "1.1.0.1910" << false << true;
        QTest::newRow("below data log") << "2.1.6.2885" << false << true;
        QTest::newRow("both") << "2.1.6.2886" << true << true;
        QTest::newRow("newer") << "3.0" << true << true;
        // Only a version that compares below is refused.
        QTest::newRow("unreadable") << "beta" << true << true;
    }

    void featureGates()
    {
        QFETCH(QString, version);
        QFETCH(bool, dataLog);
        QFETCH(bool, fonts);
        const DeviceInformation info(device(version));
        QCOMPARE(info.hasDataLogFeature(), dataLog);
        QCOMPARE(info.hasFontFeature(), fonts);
    }
};

QTEST_GUILESS_MAIN(DeviceInformationTest)
#include "tst_deviceinformation.moc"
