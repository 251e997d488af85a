#include "model/calibrationinfo.h"
#include "model/configurationinfo.h"

#include <QLocale>
#include <QVariant>
#include <QtTest>

#include <limits>

using Orvane::Tavrix::Common::CalibrationInfo;
using Orvane::Tavrix::Common::ConfigurationInfo;
using Orvane::Tavrix::Common::EnumHelper;

using ChannelMap = ConfigurationInfo::ChannelMap;
using FrequencyMap = ConfigurationInfo::FrequencyMap;

namespace {

ChannelMap roles(std::initializer_list<int> values)
{
    ChannelMap map;
    int channel = 0;
    for (int value : values)
        map.insert(channel++, static_cast<EnumHelper::InputOutputType>(value));
    return map;
}

ConfigurationInfo fullRecord()
{
    ConfigurationInfo info;
    info.setDisplayBrightness(55);
    info.setDisplaySize(QSize(800, 480));
    info.setColorDepth(24);
    info.setPassword(QStringLiteral("s3cret"));
    info.setDigitalInputOutputs(roles({ 0, 1, 2, 1 }));
    info.setAnalogInputs(roles({ 1, 0 }));
    info.setAlarmOutputs(roles({ 2 }));
    info.setPWMOutputs(roles({ 2, 0 }));
    info.setSerialCOMPorts(roles({ 3, 0, 3 }));
    info.setCanPorts(roles({ 3 }));
    info.setSerial485COMPorts(roles({ 1, 2 }));
    info.setPWMFrequency(FrequencyMap { { 0, 1000.5f }, { 1, 10.0f } });
    return info;
}

} // namespace

class TestConfigurationInfo : public QObject
{
    Q_OBJECT

public slots:
    // Not a test: receives queued calls.
    void receiveRecords(const Orvane::Tavrix::Common::ConfigurationInfo& configuration,
                        const Orvane::Tavrix::Common::CalibrationInfo& calibration)
    {
        m_receivedConfiguration = configuration;
        m_receivedCalibration = calibration;
        ++m_received;
    }

private slots:
    void initTestCase();

    void defaults();
    void exampleText();
    void fullText();
    void roundTrip_data();
    void roundTrip();
    void parseFields();
    void parseFailure_data();
    void parseFailure();
    void validity_data();
    void validity();
    void counts();
    void variantAndQueuedSignal();

    void calibrationDefaults();
    void timeZoneRange_data();
    void timeZoneRange();
    void deviceNameNeverEmpty();
    void splashExclusive();
    void taskCount_data();
    void taskCount();

private:
    ConfigurationInfo m_receivedConfiguration;
    CalibrationInfo m_receivedCalibration;
    int m_received = 0;
};

void TestConfigurationInfo::initTestCase()
{
    // Numbers in the text form never follow the user's locale.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void TestConfigurationInfo::defaults()
{
    const ConfigurationInfo info;
    QCOMPARE(info.displayBrightness(), 100);
    QCOMPARE(info.displaySize(), QSize(-1, -1));
    QCOMPARE(info.colorDepth(), 0);
    QVERIFY(!info.isRS485Enabled());
    QVERIFY(!info.isPasswordEnabled());
    QVERIFY(info.password().isEmpty());
    QVERIFY(info.pwmFrequencies().isEmpty());
    QCOMPARE(info.canPortCount(), 0);
    // Colour depth unknown.
    QVERIFY(!info.isValid());
}

void TestConfigurationInfo::exampleText()
{
    ConfigurationInfo info;
    info.setDisplayBrightness(80);
    info.setDisplaySize(QSize(480, 272));
    info.setColorDepth(16);
    QCOMPARE(info.toString(),
             QStringLiteral("alarmOutputs: ; analogInputs: ; canPorts: ; colorDepth: 16; digitalInputOutputs: ; "
                            "displayBrightness: 80; displaySize: 480,272; password: ; pwmFrequency: ; pwmOutputs: ; "
                            "serial485COMPorts: ; serialCOMPorts: ;"));
    QVERIFY(info.isValid());
}

void TestConfigurationInfo::fullText()
{
    QCOMPARE(fullRecord().toString(),
             QStringLiteral("alarmOutputs: 2; analogInputs: 1,0; canPorts: 3; colorDepth: 24; digitalInputOutputs: 0,1,2,1; "
                            "displayBrightness: 55; displaySize: 800,480; password: s3cret; pwmFrequency: 1000.5,10; "
                            "pwmOutputs: 2,0; serial485COMPorts: 1,2; serialCOMPorts: 3,0,3;"));
}

void TestConfigurationInfo::roundTrip_data()
{
    QTest::addColumn<ConfigurationInfo>("info");
    QTest::newRow("default") << ConfigurationInfo();
    QTest::newRow("full") << fullRecord();
    ConfigurationInfo extremes = fullRecord();
    // Six significant digits cannot carry these; they must survive anyway.
    extremes.setPWMFrequency(FrequencyMap { { 0, 9999999.0f }, { 1, 1234567.0f }, { 2, 0.1f }, { 3, 123456.7f } });
    QTest::newRow("frequencies") << extremes;
    ConfigurationInfo negative;
    negative.setDisplayBrightness(-5);
    negative.setColorDepth(-1);
    negative.setAnalogInputs(roles({ -1, 6 }));
    QTest::newRow("negative") << negative;
}

void TestConfigurationInfo::roundTrip()
{
    QFETCH(ConfigurationInfo, info);
    const QString text = info.toString();
    bool ok = false;
    const ConfigurationInfo parsed(text, &ok);
    QVERIFY(ok);
    QCOMPARE(parsed.toString(), text);
    QVERIFY(parsed == info);
    QCOMPARE(parsed.isValid(), info.isValid());
}

void TestConfigurationInfo::parseFields()
{
    bool ok = false;
    const ConfigurationInfo info(QStringLiteral(" displaySize : 320 , 240 ;;  colorDepth: 18; unknownKey: 7;"
                                                "pwmFrequency: 50,2.5e3; serialCOMPorts: 0,3 ; password:  pass word  ;"),
                                 &ok);
    QVERIFY(ok);
    QCOMPARE(info.displaySize(), QSize(320, 240));
    QCOMPARE(info.colorDepth(), 18);
    QCOMPARE(info.pwmFrequencies(), (FrequencyMap { { 0, 50.0f }, { 1, 2500.0f } }));
    QCOMPARE(info.serialCOMPorts(), roles({ 0, 3 }));
    QCOMPARE(info.password(), QStringLiteral("pass word"));
    // Keys that are missing keep their defaults.
    QCOMPARE(info.displayBrightness(), 100);
    QVERIFY(info.analogInputs().isEmpty());

    // ok may be omitted.
    const ConfigurationInfo noFlag(QStringLiteral("colorDepth: 8;"), nullptr);
    QCOMPARE(noFlag.colorDepth(), 8);

    const ConfigurationInfo empty(QString(), &ok);
    QVERIFY(ok);
    QVERIFY(empty == ConfigurationInfo());
}

void TestConfigurationInfo::parseFailure_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("no colon") << QStringLiteral("colorDepth: 16; displayBrightness 80;");
    QTest::newRow("two colons") << QStringLiteral("colorDepth: 16; password: a:b;");
    QTest::newRow("not a number") << QStringLiteral("colorDepth: sixteen;");
    QTest::newRow("size with one number") << QStringLiteral("displaySize: 480;");
    QTest::newRow("size with three numbers") << QStringLiteral("displaySize: 480,272,1;");
    QTest::newRow("hole in list") << QStringLiteral("analogInputs: 1,,0;");
    QTest::newRow("bad role") << QStringLiteral("canPorts: 3,x;");
    QTest::newRow("role above the defined ones") << QStringLiteral("digitalInputOutputs: 1,112;");
    QTest::newRow("role below the defined ones") << QStringLiteral("analogInputs: -2;");
    QTest::newRow("bad frequency") << QStringLiteral("pwmFrequency: 10,1O0;");
}

void TestConfigurationInfo::parseFailure()
{
    QFETCH(QString, text);
    bool ok = true;
    const ConfigurationInfo info(QStringLiteral("displayBrightness: 20; ") + text, &ok);
    QVERIFY(!ok);
    // Nothing of the text is taken, not even the good items before the bad one.
    QVERIFY(info == ConfigurationInfo());
}

void TestConfigurationInfo::validity_data()
{
    QTest::addColumn<ConfigurationInfo>("info");
    QTest::addColumn<bool>("valid");
    // The text form numbers channels from 0, so it closes gaps.
    QTest::addColumn<bool>("validAsText");

    const ConfigurationInfo base = fullRecord();
    QTest::newRow("full") << base << true << true;

    ConfigurationInfo info = base;
    info.setColorDepth(0);
    QTest::newRow("colour depth 0") << info << false << false;
    info.setColorDepth(1);
    QTest::newRow("colour depth 1") << info << true << true;

    info = base;
    ChannelMap gap;
    gap.insert(0, EnumHelper::InputType);
    gap.insert(2, EnumHelper::InputType);
    info.setAnalogInputs(gap);
    QTest::newRow("channel 1 missing") << info << false << true;
    ChannelMap fromOne;
    fromOne.insert(1, EnumHelper::UnusedType);
    info = base;
    info.setCanPorts(fromOne);
    QTest::newRow("channels from 1") << info << false << true;

    struct RoleCase { const char* name; void (ConfigurationInfo::*set)(const ChannelMap&); int role; bool valid; };
    const RoleCase cases[] = {
        { "digital output", &ConfigurationInfo::setDigitalInputOutputs, 2, true },
        { "digital com", &ConfigurationInfo::setDigitalInputOutputs, 3, false },
        { "analog input", &ConfigurationInfo::setAnalogInputs, 1, true },
        { "analog output", &ConfigurationInfo::setAnalogInputs, 2, false },
        { "alarm input", &ConfigurationInfo::setAlarmOutputs, 1, false },
        { "pwm output", &ConfigurationInfo::setPWMOutputs, 2, true },
        { "pwm input", &ConfigurationInfo::setPWMOutputs, 1, false },
        { "serial direction", &ConfigurationInfo::setSerialCOMPorts, 6, false },
        { "serial input", &ConfigurationInfo::setSerialCOMPorts, 1, false },
        { "can output", &ConfigurationInfo::setCanPorts, 2, false },
        { "can unused", &ConfigurationInfo::setCanPorts, 0, true },
        { "rs485 output", &ConfigurationInfo::setSerial485COMPorts, 2, true },
        { "rs485 unused", &ConfigurationInfo::setSerial485COMPorts, 0, false },
        { "rs485 com", &ConfigurationInfo::setSerial485COMPorts, 3, false },
        { "digital unavailable", &ConfigurationInfo::setDigitalInputOutputs, -1, false },
    };
    for (const RoleCase& c : cases) {
        info = base;
        (info.*c.set)(roles({ c.name[0] == 'r' ? 1 : 0, c.role }));
        QTest::newRow(c.name) << info << c.valid << c.valid;
    }

    const QList<QPair<float, bool>> frequencies {
        { 9.5f, false }, { 10.0f, true }, { 9999999.0f, true }, { 10000000.0f, false },
        { -20.0f, false }, { std::numeric_limits<float>::quiet_NaN(), false },
        { std::numeric_limits<float>::infinity(), false },
    };
    for (const auto& f : frequencies) {
        info = base;
        info.setPWMFrequency(1, f.first);
        QTest::addRow("frequency %g", double(f.first)) << info << f.second << f.second;
    }
    info = base;
    info.setPWMFrequency(3, 100.0f);
    QTest::newRow("frequency channel gap") << info << false << true;
}

void TestConfigurationInfo::validity()
{
    QFETCH(ConfigurationInfo, info);
    QFETCH(bool, valid);
    QFETCH(bool, validAsText);
    QCOMPARE(info.isValid(), valid);
    bool ok = false;
    QCOMPARE(ConfigurationInfo(info.toString(), &ok).isValid(), validAsText);
    QVERIFY(ok);
}

void TestConfigurationInfo::counts()
{
    const ConfigurationInfo info = fullRecord();
    QCOMPARE(info.analogInputCount(), 2);
    QCOMPARE(info.alarmOutputCount(), 1);
    QCOMPARE(info.pwmOutputCount(), 2);
    QCOMPARE(info.serialCOMPortCount(), 3);
    QCOMPARE(info.serial485COMPortCount(), 2);
    QCOMPARE(info.canPortCount(), 1);
}

void TestConfigurationInfo::variantAndQueuedSignal()
{
    const ConfigurationInfo configuration = fullRecord();
    CalibrationInfo calibration;
    calibration.setDeviceName(QStringLiteral("Panel 7"));
    calibration.setTimeZone(330);

    const QVariant variant = QVariant::fromValue(configuration);
    QVERIFY(variant.canConvert<ConfigurationInfo>());
    QVERIFY(variant.value<ConfigurationInfo>() == configuration);
    QVERIFY(QVariant::fromValue(calibration).value<CalibrationInfo>() == calibration);

    // String-based queued calls need the types registered by name.
    m_received = 0;
    QVERIFY(QMetaObject::invokeMethod(this, "receiveRecords", Qt::QueuedConnection,
                                      Q_ARG(Orvane::Tavrix::Common::ConfigurationInfo, configuration),
                                      Q_ARG(Orvane::Tavrix::Common::CalibrationInfo, calibration)));
    QTRY_COMPARE_WITH_TIMEOUT(m_received, 1, 10000);
    QVERIFY(m_receivedConfiguration == configuration);
    QVERIFY(m_receivedCalibration == calibration);
}

void TestConfigurationInfo::calibrationDefaults()
{
    const CalibrationInfo info;
    QVERIFY(info.isBatteryLowCheck());
    QVERIFY(!info.isRestore());
    QVERIFY(!info.isBackup());
    QVERIFY(!info.isDeviceCallibrate());
    QVERIFY(!info.isSetRealTimeClock());
    QCOMPARE(info.timeZone(), 0);
    QVERIFY(!info.isDeviceNameChange());
    QVERIFY(info.deviceName().isEmpty());
    QVERIFY(info.splashScreenData().isEmpty());
    QVERIFY(!info.isRestoreSplashScreen());
    // Nothing chosen yet.
    QCOMPARE(info.taskCount(), 0);
    QVERIFY(info.skipCalibration());
}

void TestConfigurationInfo::timeZoneRange_data()
{
    QTest::addColumn<int>("zone");
    QTest::addColumn<int>("stored");
    QTest::newRow("India") << 330 << 330;
    QTest::newRow("lowest") << -720 << -720;
    QTest::newRow("highest") << 720 << 720;
    QTest::newRow("too high") << 780 << -60;
    QTest::newRow("too low") << -721 << -60;
}

void TestConfigurationInfo::timeZoneRange()
{
    QFETCH(int, zone);
    QFETCH(int, stored);
    CalibrationInfo info;
    info.setTimeZone(-60);
    info.setTimeZone(zone);
    QCOMPARE(info.timeZone(), stored);
}

void TestConfigurationInfo::deviceNameNeverEmpty()
{
    CalibrationInfo info;
    info.setDeviceName(QStringLiteral("Line 3"));
    info.setDeviceName(QString());
    QCOMPARE(info.deviceName(), QStringLiteral("Line 3"));
}

void TestConfigurationInfo::splashExclusive()
{
    CalibrationInfo info;
    const QByteArray image("BM\x01\x02", 4);

    info.setRestoreSplashScreen(true);
    info.setSplashScreenData(image);
    QVERIFY(!info.isRestoreSplashScreen());
    QCOMPARE(info.splashScreenData(), image);

    info.setRestoreSplashScreen(true);
    QVERIFY(info.isRestoreSplashScreen());
    QVERIFY(info.splashScreenData().isEmpty());

    // Clearing the data does not cancel a restore.
    info.setSplashScreenData(QByteArray());
    QVERIFY(info.isRestoreSplashScreen());

    // Turning the restore off keeps chosen data.
    info.setSplashScreenData(image);
    info.setRestoreSplashScreen(false);
    QCOMPARE(info.splashScreenData(), image);
    QVERIFY(!info.isRestoreSplashScreen());
}

void TestConfigurationInfo::taskCount_data()
{
    QTest::addColumn<CalibrationInfo>("info");
    QTest::addColumn<int>("tasks");
    QTest::addColumn<bool>("skip");

    CalibrationInfo info;
    info.setBatteryLowCheck(false);
    QTest::newRow("nothing, battery check off") << info << 0 << true;

    info = CalibrationInfo();
    info.setRealTimeClock(true);
    QTest::newRow("clock with battery check") << info << 2 << false;
    info.setBatteryLowCheck(false);
    QTest::newRow("clock without battery check") << info << 1 << false;

    info = CalibrationInfo();
    info.setDeviceCallibrate(true);
    QTest::newRow("calibrate") << info << 1 << false;

    info = CalibrationInfo();
    info.setDeviceNameChange(true);
    info.setDeviceName(QStringLiteral("A"));
    QTest::newRow("name") << info << 2 << false;

    info = CalibrationInfo();
    info.setSplashScreenData("image");
    QTest::newRow("splash image") << info << 2 << false;
    info.setRestoreSplashScreen(true);
    QTest::newRow("splash restore") << info << 2 << false;

    info = CalibrationInfo();
    info.setBackup(true);
    QTest::newRow("backup") << info << 2 << false;
    info.setRestore(true);
    QTest::newRow("backup and restore") << info << 2 << false;
    info.setBackup(false);
    QTest::newRow("restore") << info << 2 << false;

    info = CalibrationInfo();
    info.setRealTimeClock(true);
    info.setDeviceCallibrate(true);
    info.setDeviceNameChange(true);
    info.setSplashScreenData("image");
    info.setBackup(true);
    QTest::newRow("everything") << info << 9 << false;
}

void TestConfigurationInfo::taskCount()
{
    QFETCH(CalibrationInfo, info);
    QFETCH(int, tasks);
    QFETCH(bool, skip);
    QCOMPARE(info.taskCount(), tasks);
    QCOMPARE(info.skipCalibration(), skip);
}

QTEST_GUILESS_MAIN(TestConfigurationInfo)
#include "tst_configurationinfo.moc"
