// The device rules both front ends apply before they start an operation.
#include "calibrationinfo.h"
#include "configurationinfo.h"
#include "deviceinformation.h"
#include "devicerules.h"
#include "filehelper.h"
#include "rolloutplan.h"
#include "operationwaiter.h"
#include "testutil.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace Orvane::Tavrix::Runtime;
using Orvane::Tavrix::Common::ConfigurationInfo;
using Orvane::Tavrix::Common::FileHelper;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

DeviceInformation device(const QString& version)
{
    return DeviceInformation({ { QStringLiteral("serial"), QStringLiteral("S100") }, { QStringLiteral("deviceAppVer"), version } });
}

} // namespace

class TestDeviceRules : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void featureGates_data();
    void featureGates();
    void protocolSafeText_data();
    void protocolSafeText();
    void deviceNames_data();
    void deviceNames();
    void fontNames();
    void fontFiles();
    void calibrationBackupPath();
    void brightnessAfterUpload_data();
    void brightnessAfterUpload();
    void configurationBacksUpToTheRulesPath();
    void stationOrder_data();
    void stationOrder();

private:
    QTemporaryDir m_dir;
};

void TestDeviceRules::initTestCase()
{
    // The texts are compared in English whatever the machine's language.
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"), QStringLiteral("Lumatra"))
        .setValue(QStringLiteral("language"), QStringLiteral("en"));
    QVERIFY(m_dir.isValid());
}

void TestDeviceRules::featureGates_data()
{
    QTest::addColumn<int>("feature");
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("tooOld");
    const int log = DeviceRules::DataLogFeature;
    const int fonts = DeviceRules::FontFeature;
    QTest::newRow("log: one build older") << log << "2.1.6.2885" << true;
    QTest::newRow("log: equal") << log << "2.1.6.2886" << false;
    QTest::newRow("log: newer minor") << log << "2.2.0.1" << false;
    QTest::newRow("log: numeric not text") << log << "2.1.10.1" << false;
    QTest::newRow("log: fewer parts") << log << "2.1.6" << true;
    QTest::newRow("fonts: older") << fonts << "1.1.0.999" << true;
    QTest::newRow("fonts: equal") << fonts << "1.1.0.1910" << false;
    QTest::newRow("fonts: newer") << fonts << "1.1.0.19100" << false;
    // Not a version text: not judged older, as a comparison gives 2.
    QTest::newRow("fonts: invalid") << fonts << "unknown" << false;
}

void TestDeviceRules::featureGates()
{
    QFETCH(int, feature);
    QFETCH(QString, version);
    QFETCH(bool, tooOld);
    const auto f = DeviceRules::Feature(feature);
    QCOMPARE(DeviceRules::isSoftwareTooOld(device(version), f), tooOld);
    const QString minimum = f == DeviceRules::DataLogFeature ? QStringLiteral("2.1.6.2886") : QStringLiteral("1.1.0.1910");
    QCOMPARE(DeviceRules::minimumVersion(f), minimum);
    QCOMPARE(DeviceRules::featureRefusal(device(version), f),
             tooOld ? QStringLiteral("Please upgrade the device software to at least version %1 to use this feature.").arg(minimum)
                    : QString());
}

void TestDeviceRules::protocolSafeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("safe");
    QTest::newRow("plain") << "Hall 3 left" << true;
    QTest::newRow("percent") << "100% a%1" << true;
    QTest::newRow("latin-1") << QStringLiteral("Grüße") << true;
    QTest::newRow("hash") << "a#b" << false;
    QTest::newRow("open bracket") << "a<b" << false;
    QTest::newRow("close bracket") << "a>b" << false;
    QTest::newRow("line feed") << "a\nb" << false;
    QTest::newRow("delete") << QStringLiteral("a\x7f") << false;
    QTest::newRow("beyond latin-1") << QStringLiteral("a\u20ac") << false;
}

void TestDeviceRules::protocolSafeText()
{
    QFETCH(QString, text);
    QFETCH(bool, safe);
    QCOMPARE(DeviceRules::isProtocolSafe(text), safe);
}

void TestDeviceRules::deviceNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("error");
    QTest::newRow("fine") << "Press 2" << "";
    QTest::newRow("percent kept") << "a%1b" << "";
    QTest::newRow("empty") << "" << "Device name cannot be empty";
    QTest::newRow("unchanged") << "Press 1" << "Device Name unchanged";
    QTest::newRow("framing") << "Press <2>" << "The device name must not contain \"#\", \"<\" or \">\" and must be Latin-1 text.";
}

void TestDeviceRules::deviceNames()
{
    QFETCH(QString, name);
    QFETCH(QString, error);
    QCOMPARE(DeviceRules::deviceNameError(name, QStringLiteral("Press 1")), error);
}

void TestDeviceRules::fontNames()
{
    QCOMPARE(DeviceRules::fontNameError(QStringLiteral("DejaVuSans.ttf")), QString());
    QCOMPARE(DeviceRules::fontNameError(QStringLiteral("100%.ttf")), QString());
    for (const QString& bad : { QStringLiteral(""), QStringLiteral(" "), QStringLiteral("a#b.ttf"), QStringLiteral("../x.ttf"),
                                QStringLiteral(".."), QStringLiteral("a\nb") })
        QCOMPARE(DeviceRules::fontNameError(bad), QStringLiteral("\"%1\" is not a valid font name.").arg(bad));
}

void TestDeviceRules::fontFiles()
{
    auto write = [this](const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        return path;
    };
    const QString good = write(QStringLiteral("Good.TTF"), "font bytes");
    const QString percent = write(QStringLiteral("a%1.otf"), "font bytes");
    const QString empty = write(QStringLiteral("Empty.ttf"), QByteArray());
    const QString text = write(QStringLiteral("notes.txt"), "text");
    const QString unsafe = write(QStringLiteral("a#b.ttf"), "font bytes");

    QCOMPARE(DeviceRules::fontFileError(good), QString());
    QCOMPARE(DeviceRules::fontFileError(percent), QString());
    const QString notFont = QStringLiteral("\"%1\" is not a font file (.ttf or .otf).");
    QCOMPARE(DeviceRules::fontFileError(empty), notFont.arg(empty));
    QCOMPARE(DeviceRules::fontFileError(text), notFont.arg(text));
    QCOMPARE(DeviceRules::fontFileError(m_dir.filePath(QStringLiteral("missing.ttf"))), notFont.arg(m_dir.filePath(QStringLiteral("missing.ttf"))));
    QCOMPARE(DeviceRules::fontFileError(m_dir.path()), notFont.arg(m_dir.path()));
    QCOMPARE(DeviceRules::fontFileError(unsafe), QStringLiteral("\"a#b.ttf\" is not a valid font name."));
    QCOMPARE(DeviceRules::fontFileError(good, { QStringLiteral("Other.ttf"), QStringLiteral("Good.TTF") }),
             QStringLiteral("Font \"Good.TTF\" cannot be both added and removed at the same time."));
}

void TestDeviceRules::calibrationBackupPath()
{
    const QString folder = FileHelper::getStandardDocumentLocation() + QStringLiteral("/Lumatra/Calibrations");
    QCOMPARE(DeviceRules::calibrationFolder(), folder);
    QCOMPARE(DeviceRules::calibrationBackupPath(QStringLiteral("S100")), folder + QStringLiteral("/cal_listS100.txt"));
    // A "%" in the serial is kept as it is.
    QCOMPARE(DeviceRules::calibrationBackupPath(QStringLiteral("A%1B")), folder + QStringLiteral("/cal_listA%1B.txt"));
    QCOMPARE(DeviceRules::calibrationBackupPath(QString()), QString());
    QCOMPARE(DeviceRules::calibrationBackupPath(QStringLiteral("../../x")), QString());
}

void TestDeviceRules::brightnessAfterUpload_data()
{
    QTest::addColumn<int>("brightness");
    QTest::addColumn<int>("recorded"); // -1: none
    QTest::newRow("dim") << 0 << 0;
    QTest::newRow("half") << 50 << 50;
    QTest::newRow("full") << 100 << 100;
    QTest::newRow("too bright") << 101 << -1;
    QTest::newRow("negative") << -1 << -1;
}

void TestDeviceRules::brightnessAfterUpload()
{
    QFETCH(int, brightness);
    QFETCH(int, recorded);
    ConfigurationInfo configuration;
    configuration.setDisplayBrightness(brightness);
    const std::optional<int> value = DeviceRules::brightnessAfterUpload(configuration);
    QCOMPARE(value.has_value(), recorded >= 0);
    if (value)
        QCOMPARE(*value, recorded);
}

// The configuration sequence keeps its calibration backup where the front ends
// look for it: one path for both.
void TestDeviceRules::configurationBacksUpToTheRulesPath()
{
    ConnectedDevice dev;
    QVERIFY(startDevice(dev, { "--serial", "RULES%1" }));
    const QByteArray calibration = randomBytes(1500, 17);
    QVERIFY(writeFile(dev.emulator().rootPath() + QStringLiteral("/cal_list.txt"), calibration));
    const QString expected = DeviceRules::calibrationBackupPath(DeviceInformation(dev.info()).serial());
    QVERIFY(expected.endsWith(QStringLiteral("/Lumatra/Calibrations/cal_listRULES%1.txt")));
    QFile::remove(expected);

    Orvane::Tavrix::Common::CalibrationInfo info;
    info.setBackup(true);
    OperationWaiter ended;
    QVERIFY(SerialPortManager::instance()->configureDevice(&info));
    QVERIFY(ended.wait());
    QVERIFY2(ended.result().succeeded(), qPrintable(ended.result().message));
    QCOMPARE(readFile(expected), calibration);
    // Exactly one end, even after the device restarted.
    QTest::qWait(500);
    QCOMPARE(ended.count(), 1);
}

// The order a station's devices go in when none were named: named slots first, then ports.
void TestDeviceRules::stationOrder_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QStringList>("slotNames");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("ports by number") << QStringList { "/dev/ttyACM10", "/dev/ttyACM2", "/dev/ttyACM1" } << QStringList { "", "", "" }
                                     << QStringList { "/dev/ttyACM1", "/dev/ttyACM2", "/dev/ttyACM10" };
    QTest::newRow("slots before ports") << QStringList { "/dev/ttyACM0", "/dev/ttyACM1", "/dev/ttyACM2" }
                                        << QStringList { "", "Slot 10", "Slot 2" }
                                        << QStringList { "/dev/ttyACM2", "/dev/ttyACM1", "/dev/ttyACM0" };
}

void TestDeviceRules::stationOrder()
{
    QFETCH(QStringList, ports);
    QFETCH(QStringList, slotNames);
    QFETCH(QStringList, expected);
    QHash<QString, QString> slotOf;
    for (int i = 0; i < ports.size(); ++i)
        slotOf.insert(ports.at(i), slotNames.at(i));
    QCOMPARE(RolloutPlan::stationOrder(ports, slotOf), expected);
}

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    TestDeviceRules test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_devicerules.moc"
