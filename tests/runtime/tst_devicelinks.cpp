// One link per device: operations on several devices at once, each on its own link and
// port, ending on it; a busy link refuses, the others do not; devices that restart come
// back with a new link.
#include "calibrationinfo.h"
#include "configurationinfo.h"
#include "connecteddevice.h"
#include "devicelink.h"
#include "englishtexts.h"
#include "operationresult.h"
#include "serialportmanager.h"
#include "testutil.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using Orvane::Tavrix::Common::CalibrationInfo;
using Orvane::Tavrix::Common::ConfigurationInfo;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

// The devices restart as real ones do: they leave the bus and come back under the same path.
const QStringList RestartsLikeReal = { QStringLiteral("--populate"), QStringLiteral("--reboot-replug"), QStringLiteral("1000") };

// Collects the one operationEnded of one link.
struct LinkEnd
{
    explicit LinkEnd(DeviceLink* link)
        : spy(link, &DeviceLink::operationEnded)
    {
    }
    OperationResult result() const { return spy.isEmpty() ? OperationResult() : spy.first().at(0).value<OperationResult>(); }
    QSignalSpy spy;
};

} // namespace

class TestDeviceLinks : public QObject
{
    Q_OBJECT

private:
    SerialPortManager* manager() { return SerialPortManager::instance(); }

    QStringList m_files;
    QTemporaryDir m_project;

    // Starts count emulated devices under /dev, each with extra arguments of its own.
    bool startDevices(std::vector<std::unique_ptr<ConnectedDevice>>& devices, const QList<QStringList>& args)
    {
        for (const QStringList& extra : args) {
            devices.push_back(std::make_unique<ConnectedDevice>());
            if (!devices.back()->startUnderDev(RestartsLikeReal + extra))
                return false;
        }
        return true;
    }

    // Waits for every link's end; the devices were restarted by their operations when asked.
    static bool waitForEnds(const std::vector<std::unique_ptr<LinkEnd>>& ends)
    {
        return waitUntil([&] {
            for (const auto& end : ends) {
                if (end->spy.isEmpty())
                    return false;
            }
            return true;
        }, 90000);
    }

private slots:
    void initTestCase()
    {
        useEnglishTexts();
        useShortTimeouts();
        qRegisterMetaType<OperationResult>();
        QVERIFY(manager());
        if (!DevPortLink(QStringLiteral("/dev/null"), DevPortLink::TtyName).isValid())
            QSKIP("/dev is not writable here");
        for (int i = 0; i < 6; ++i) {
            m_files << m_project.filePath(QStringLiteral("project/part%1.bin").arg(i));
            QVERIFY(writeFile(m_files.last(), randomBytes(7000 + i * 1000, quint32(60 + i))));
        }
        m_files << m_project.filePath(QStringLiteral("config.txrc"));
        QVERIFY(writeFile(m_files.last(), "DefaultScreen=main.qml"));
    }

    // The same upload on three devices at once: each succeeds, each device received exactly
    // its own one upload, and each comes back after its restart with a new link.
    void sameUploadOnThreeDevices()
    {
        std::vector<std::unique_ptr<ConnectedDevice>> devices;
        QVERIFY(startDevices(devices, { {}, {}, {} }));
        QSignalSpy managerEnded(manager(), &SerialPortManager::operationEnded);
        QList<QPointer<DeviceLink>> links;
        std::vector<std::unique_ptr<LinkEnd>> ends;
        for (const auto& device : devices) {
            links << manager()->link(device->port());
            QVERIFY(links.last());
            ends.push_back(std::make_unique<LinkEnd>(links.last()));
            QVERIFY(links.last()->uploadProject(m_files, ConfigurationInfo()));
        }
        for (const auto& link : std::as_const(links))
            QVERIFY(link->isRunning());
        QVERIFY(waitForEnds(ends));

        QStringList first;
        for (size_t i = 0; i < devices.size(); ++i) {
            QCOMPARE(ends[i]->spy.count(), 1);
            QCOMPARE(ends[i]->result().outcome, OperationResult::Succeeded);
            QCOMPARE(ends[i]->result().port, devices[i]->port());
            QVERIFY(devices[i]->emulator().waitForEvent(QStringLiteral("replug"), 5000));
            const QStringList commands = sequenceCommands(*devices[i]);
            QCOMPARE(commands.filter(QStringLiteral("#LOAD<")).size(), m_files.size());
            QCOMPARE(commands.count(QStringLiteral("#BOOT#")), 1);
            if (i == 0)
                first = commands;
            QCOMPARE(commands, first);
            QCOMPARE(devices[i]->emulator().readFile(QStringLiteral("qml/project/part5.bin")), readFile(m_files.at(5)));
        }
        // Started on the links, not through the manager: the manager's listeners heard nothing.
        QCOMPARE(managerEnded.count(), 0);

        // A restarted device has left the bus: its old link is gone, a new one comes with it.
        for (size_t i = 0; i < devices.size(); ++i) {
            QTRY_VERIFY_WITH_TIMEOUT(links.at(int(i)).isNull(), 10000);
            QTRY_VERIFY_WITH_TIMEOUT(manager()->link(devices[i]->port()) != nullptr, 20000);
            QVERIFY(manager()->link(devices[i]->port())->isPresent());
        }
    }

    // An upload, a data log fetch and a configuration at once, each on its own device.
    void differentOperationsAtOnce()
    {
        std::vector<std::unique_ptr<ConnectedDevice>> devices;
        QVERIFY(startDevices(devices, { {}, {}, {} }));
        DeviceLink* upload = manager()->link(devices[0]->port());
        DeviceLink* logs = manager()->link(devices[1]->port());
        DeviceLink* configure = manager()->link(devices[2]->port());
        QVERIFY(upload && logs && configure);
        std::vector<std::unique_ptr<LinkEnd>> ends;
        for (DeviceLink* link : { upload, logs, configure })
            ends.push_back(std::make_unique<LinkEnd>(link));

        QTemporaryDir out;
        CalibrationInfo info;
        info.setDeviceNameChange(true);
        info.setDeviceName(QStringLiteral("Bench C"));
        QVERIFY(upload->uploadProject(m_files, ConfigurationInfo()));
        QVERIFY(logs->retrieveDataLogFile(out.path()));
        QVERIFY(configure->configureDevice(&info));
        QVERIFY(waitForEnds(ends));

        for (const auto& end : ends)
            QCOMPARE(end->result().outcome, OperationResult::Succeeded);
        QCOMPARE(readFile(out.filePath(QStringLiteral("dataLogging.txdb.zip"))).isEmpty(), false);
        // Each device got its own operation's commands and none of the others'.
        const QStringList marks = { QStringLiteral("#LOAD<"), QStringLiteral("#LOGZ#"), QStringLiteral("#SNAM<Bench C>#") };
        for (int i = 0; i < 3; ++i) {
            const QStringList commands = sequenceCommands(*devices[size_t(i)]);
            for (int mark = 0; mark < marks.size(); ++mark)
                QCOMPARE(!commands.filter(marks.at(mark)).isEmpty(), mark == i);
        }
    }

    // One device pulled or silent mid-run ends as lost or timed out; the others finish.
    void oneDeviceFailsOthersFinish_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("outcome");
        QTest::newRow("unplugged") << "unplug-after-bytes:20000" << int(OperationResult::DeviceLost);
        QTest::newRow("silent") << "silent:UNIX<mv tmp/project" << int(OperationResult::TimedOut);
    }
    void oneDeviceFailsOthersFinish()
    {
        QFETCH(QString, fault);
        QFETCH(int, outcome);
        std::vector<std::unique_ptr<ConnectedDevice>> devices;
        QVERIFY(startDevices(devices, { {}, { QStringLiteral("--fault"), fault }, {} }));
        std::vector<std::unique_ptr<LinkEnd>> ends;
        for (const auto& device : devices) {
            DeviceLink* link = manager()->link(device->port());
            QVERIFY(link);
            ends.push_back(std::make_unique<LinkEnd>(link));
            QVERIFY(link->uploadProject(m_files, ConfigurationInfo()));
        }
        QVERIFY(waitForEnds(ends));
        QCOMPARE(int(ends[1]->result().outcome), outcome);
        QCOMPARE(ends[1]->result().port, devices[1]->port());
        QCOMPARE(ends[0]->result().outcome, OperationResult::Succeeded);
        QCOMPARE(ends[2]->result().outcome, OperationResult::Succeeded);
    }

    // A busy device refuses a second operation without a word, through its link and through
    // the manager; another device's link and a newly plugged device neither wait for it nor
    // disturb it.
    void busyLinkRefusesOthersDoNot()
    {
        std::vector<std::unique_ptr<ConnectedDevice>> devices;
        QVERIFY(startDevices(devices, { { QStringLiteral("--throttle"), QStringLiteral("5760") }, {} }));
        QPointer<DeviceLink> busy = manager()->link(devices[0]->port());
        DeviceLink* other = manager()->link(devices[1]->port());
        QVERIFY(busy && other);
        LinkEnd busyEnd(busy);
        LinkEnd otherEnd(other);
        QVERIFY(manager()->setActivePort(devices[0]->port()));
        QSignalSpy managerEnded(manager(), &SerialPortManager::operationEnded);
        QVERIFY(manager()->uploadProject(m_files, ConfigurationInfo()));
        QVERIFY(devices[0]->emulator().waitForCommand(QStringLiteral("LOAD"), 10000));

        CalibrationInfo info;
        info.setDeviceNameChange(true);
        info.setDeviceName(QStringLiteral("Second"));
        QVERIFY(!busy->configureDevice(&info));
        QVERIFY(!busy->syncDeviceClock(0));
        QVERIFY(!manager()->rebootDevice());

        // The manager serves one operation at a time: the running one keeps the active port.
        // Another device's own link works meanwhile, and a third device is plugged in.
        QVERIFY(!manager()->setActivePort(devices[1]->port()));
        QVERIFY(busy->isSerialPortOpen());
        QVERIFY(other->syncDeviceClock(60));
        QVERIFY(waitUntil([&] { return !otherEnd.spy.isEmpty(); }, 10000));
        QCOMPARE(otherEnd.result().outcome, OperationResult::Succeeded);
        ConnectedDevice plugged;
        QVERIFY(plugged.startUnderDev(RestartsLikeReal));
        QVERIFY(busy->isRunning());

        QVERIFY(waitUntil([&] { return !busyEnd.spy.isEmpty(); }, 90000));
        QCOMPARE(busyEnd.spy.count(), 1);
        QCOMPARE(busyEnd.result().outcome, OperationResult::Succeeded);
        // Only the upload was started through the manager: the manager heard only its end.
        QCOMPARE(managerEnded.count(), 1);
        QCOMPARE(managerEnded.at(0).at(0).value<OperationResult>().port, devices[0]->port());
        QVERIFY(!sequenceCommands(plugged).contains(QStringLiteral("#BOOT#")));
        QCOMPARE(sequenceCommands(*devices[1]).filter(QStringLiteral("#LOAD<")).size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDeviceLinks)
#include "tst_devicelinks.moc"
