// Every kind of operation, run on the emulated device through an OperationRun, leaves exactly one
// service history entry with the right fields, whether it succeeds, fails, times out or loses
// the device; the software version after comes when the device is back from its restart.
#include "device.h"
#include "devicelink.h"
#include "operationrun.h"
#include "englishtexts.h"
#include "operationwaiter.h"
#include "servicehistory.h"
#include "servicehistorywriter.h"
#include "silentstepcases.h"
#include "testutil.h"

#include <QCryptographicHash>

using Orvane::Tavrix::Common::CalibrationInfo;
using Orvane::Tavrix::Common::ServiceHistory;
using Orvane::Tavrix::Common::ServiceHistoryWriter;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Runtime::Device;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::OperationRun;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

const QString FrontEnd = QStringLiteral("tests");

ServiceHistory* history()
{
    return ServiceHistory::instance();
}

// Entries are written on the writer's thread: what was given so far is in the file.
int entryCount()
{
    ServiceHistoryWriter::instance()->flush();
    return history()->count({});
}

ServiceRecord newest(const QString& serial = QStringLiteral("DV1000001"))
{
    ServiceHistoryWriter::instance()->flush();
    ServiceHistory::Filter filter;
    filter.serial = serial;
    return history()->entries(filter, 1).value(0);
}

bool startAction(const QString& action, DeviceEmulator& emulator, const QTemporaryDir& local, CalibrationInfo& info)
{
    SerialPortManager* m = SerialPortManager::instance();
    if (action == QLatin1String("identify"))
        return m->identifyDevice();
    if (action == QLatin1String("reboot"))
        return m->rebootDevice();
    return SilentStepCases::start(action, emulator, local, info);
}

// The operation on the device at port as a run of the given history operation.
bool run(const QString& port, ServiceRecord::Operation operation, const std::function<bool()>& start,
         const QString& package = QString(), const QString& sha256 = QString())
{
    const QString serial = SerialPortManager::instance()->deviceInformation(port).value(QStringLiteral("serial"));
    auto* run = new OperationRun(operation, serial, port);
    run->setPackage(package, sha256);
    return run->start([&start](DeviceLink*) { return start(); });
}

} // namespace

class TestServiceRecording : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_data;

private slots:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        qputenv("XDG_DATA_HOME", m_data.path().toLocal8Bit());
        useEnglishTexts();
        useShortTimeouts();
        qRegisterMetaType<OperationResult>();
        QVERIFY(SerialPortManager::instance());
        QVERIFY(Device::beginRecording(FrontEnd).isEmpty());
        QVERIFY(history() && history()->isOpen());
        QCOMPARE(history()->path(), m_data.filePath(QStringLiteral("Kavendi/Lumatra/history.sqlite")));
    }

    void eachOperationLeavesOneEntry_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("operation");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("outcome");
        const QString stay = QStringLiteral("--stay-on-reboot");
        const QString populate = QStringLiteral("--populate");
        const QString fault = QStringLiteral("--fault");
        QTest::newRow("upload") << "upload" << int(ServiceRecord::Upload) << QStringList { populate, stay } << int(ServiceRecord::Succeeded);
        QTest::newRow("upload timed out") << "upload" << int(ServiceRecord::Upload) << QStringList { populate, stay, fault, "silent:SVCF" }
                                          << int(ServiceRecord::TimedOut);
        QTest::newRow("upload, device lost") << "upload" << int(ServiceRecord::Upload) << QStringList { populate, fault, "unplug:LOAD" }
                                             << int(ServiceRecord::DeviceLost);
        QTest::newRow("upgrade refused") << "upgrade" << int(ServiceRecord::Upgrade) << QStringList { stay, fault, "error:RTLD" }
                                         << int(ServiceRecord::Failed);
        QTest::newRow("project retrieval") << "project" << int(ServiceRecord::ProjectFetch) << QStringList { populate, stay }
                                           << int(ServiceRecord::Succeeded);
        QTest::newRow("data log retrieval") << "datalog" << int(ServiceRecord::LogFetch) << QStringList { populate, stay }
                                            << int(ServiceRecord::Succeeded);
        QTest::newRow("data log retrieval, no log") << "datalog" << int(ServiceRecord::LogFetch) << QStringList { stay }
                                                    << int(ServiceRecord::NoData);
        QTest::newRow("data log clearing") << "update" << int(ServiceRecord::LogClearing) << QStringList { populate, stay }
                                           << int(ServiceRecord::Succeeded);
        QTest::newRow("configuration") << "name" << int(ServiceRecord::Configuration) << QStringList { stay } << int(ServiceRecord::Succeeded);
        QTest::newRow("font listing") << "fonts-list" << int(ServiceRecord::FontListing) << QStringList {} << int(ServiceRecord::Succeeded);
        QTest::newRow("font management") << "fonts-add" << int(ServiceRecord::FontManagement) << QStringList { stay }
                                         << int(ServiceRecord::Succeeded);
        QTest::newRow("clock") << "clock" << int(ServiceRecord::Clock) << QStringList {} << int(ServiceRecord::Succeeded);
        QTest::newRow("clock refused") << "clock" << int(ServiceRecord::Clock) << QStringList { fault, "error:DTIM" }
                                       << int(ServiceRecord::Failed);
        QTest::newRow("clock timed out") << "clock" << int(ServiceRecord::Clock) << QStringList { fault, "silent:DTIM" }
                                         << int(ServiceRecord::TimedOut);
        QTest::newRow("identify") << "identify" << int(ServiceRecord::Identify) << QStringList {} << int(ServiceRecord::Succeeded);
        QTest::newRow("reboot") << "reboot" << int(ServiceRecord::Reboot) << QStringList { stay } << int(ServiceRecord::Succeeded);
    }

    void eachOperationLeavesOneEntry()
    {
        QFETCH(QString, action);
        QFETCH(int, operation);
        QFETCH(QStringList, args);
        QFETCH(int, outcome);
        QTemporaryDir local;
        QVERIFY(local.isValid());
        // Every operation may name a package; the entry keeps its name and digest.
        const QString package = local.filePath(QStringLiteral("package.txdevproj"));
        const QByteArray content = randomBytes(5000, quint32(operation));
        QVERIFY(writeFile(package, content));

        ConnectedDevice device;
        QVERIFY(startDevice(device, args));
        const int before = entryCount();
        OperationWaiter ended;
        CalibrationInfo info;
        const QDateTime start = QDateTime::currentDateTimeUtc().addMSecs(-1);
        const QString sha256 = QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());
        QVERIFY(run(device.port(), ServiceRecord::Operation(operation), [&]() { return startAction(action, device.emulator(), local, info); },
                    package, sha256));
        QVERIFY(ended.wait());
        QTest::qWait(300);
        QCOMPARE(ended.count(), 1);
        QCOMPARE(entryCount(), before + 1);

        const OperationResult result = ended.result();
        const ServiceRecord entry = newest();
        QCOMPARE(int(entry.operation), operation);
        QCOMPARE(int(entry.outcome), outcome);
        QCOMPARE(entry.message, result.message);
        QCOMPARE(entry.restarts, result.deviceRestarts);
        QCOMPARE(entry.name, QStringLiteral("Demo Panel"));
        QCOMPARE(entry.model, QStringLiteral("QMX 70-A"));
        QCOMPARE(entry.versionBefore, QStringLiteral("1.1.0.1910"));
        QCOMPARE(entry.frontEnd, FrontEnd);
        QCOMPARE(entry.packageName, QStringLiteral("package.txdevproj"));
        QCOMPARE(entry.packageSha256, sha256);
        QVERIFY(entry.started >= start && entry.ended >= entry.started && entry.ended <= QDateTime::currentDateTimeUtc());
        QVERIFY(OperationRun::active().isEmpty());
    }

    // A start the link refuses did nothing to the device; nor is anything written while
    // the history is switched off.
    void refusedOrSwitchedOffLeavesNothing()
    {
        ConnectedDevice device;
        QVERIFY(startDevice(device));
        const int before = entryCount();
        QVERIFY(!run(device.port(), ServiceRecord::Upload, []() { return false; }));
        ServiceHistory::setEnabled(false);
        OperationWaiter ended;
        QVERIFY(run(device.port(), ServiceRecord::Identify, []() { return SerialPortManager::instance()->identifyDevice(); }));
        ServiceHistory::setEnabled(true);
        QCOMPARE(ended.count(), 1);
        QCOMPARE(entryCount(), before);
    }

    // The version after is learned when the device is identified again after its restart:
    // in this process, or in whichever process meets it first (here, for an entry written
    // as another process would have).
    void versionAfterWhenTheDeviceIsBack()
    {
        ConnectedDevice device;
        QVERIFY(startDevice(device, { QStringLiteral("--reboot-replug"), QStringLiteral("300") }));
        QVERIFY(run(device.port(), ServiceRecord::Reboot, []() { return SerialPortManager::instance()->rebootDevice(); }));
        QVERIFY(newest().versionAfter.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(newest().versionAfter, QStringLiteral("1.1.0.1910"), 30000);

        ServiceRecord other;
        other.started = QDateTime::currentDateTimeUtc();
        other.ended = other.started;
        other.serial = QStringLiteral("XP000002");
        other.operation = ServiceRecord::Upgrade;
        other.outcome = ServiceRecord::Succeeded;
        other.restarts = true;
        other.frontEnd = QStringLiteral("dovrelctl");
        QVERIFY(history()->add(other));
        ConnectedDevice upgraded;
        QVERIFY(startDevice(upgraded, { QStringLiteral("--serial"), other.serial, QStringLiteral("--app-version"), QStringLiteral("2.2.0.3000") }));
        QTRY_COMPARE_WITH_TIMEOUT(newest(other.serial).versionAfter, QStringLiteral("2.2.0.3000"), 10000);
    }
};

QTEST_GUILESS_MAIN(TestServiceRecording)
#include "tst_servicerecording.moc"
