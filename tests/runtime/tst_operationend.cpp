// How operations end: exactly one operationEnded for every start, after the manager is idle;
// refused starts say nothing; port errors, late replies and unconfirmed restarts.
#include "calibrationinfo.h"
#include "configurationinfo.h"
#include "connecteddevice.h"
#include "devportlink.h"
#include "englishtexts.h"
#include "operationresult.h"
#include "serialportmanager.h"
#include "testutil.h"
#include "virtualports.h"

#include <QEventLoop>
#include <QScopedPointer>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using Orvane::Tavrix::Common::CalibrationInfo;
using Orvane::Tavrix::Common::ConfigurationInfo;
using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

OperationResult resultAt(const QSignalSpy& spy, int index = 0)
{
    return spy.at(index).at(0).value<OperationResult>();
}

} // namespace

class TestOperationEnd : public QObject
{
    Q_OBJECT

private:
    SerialPortManager* manager() { return SerialPortManager::instance(); }

    void verifyIdle()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!manager()->isSerialPortOpen(), 5000);
        QCOMPARE(manager()->currentOperation(), 0);
        QVERIFY(!manager()->isBusy());
    }

    QStringList projectFiles(const QTemporaryDir& local, const QStringList& names = { QStringLiteral("main.qml") })
    {
        QStringList files;
        quint32 seed = 50;
        for (const QString& name : names) {
            files << local.filePath(QStringLiteral("project/") + name);
            writeFile(files.last(), randomBytes(1200, seed++));
        }
        files << local.filePath(QStringLiteral("config.txrc"));
        writeFile(files.last(), "DefaultScreen=main.qml");
        return files;
    }

private slots:
    void initTestCase()
    {
        useEnglishTexts();
        qRegisterMetaType<OperationResult>();
        QVERIFY(manager());
    }

    void cleanup() { verifyIdle(); }

    // While one operation runs, every other start is refused without a word and sends nothing;
    // the running one is not disturbed and ends once.
    void startsWhileBusyAreRefusedSilently()
    {
        QTemporaryDir local;
        QVERIFY(local.isValid());
        const QStringList files = projectFiles(local);
        const QString database = local.filePath(QStringLiteral("dataLogging.txdb"));
        QVERIFY(writeFile(database, randomBytes(3000, 60)));
        const QString font = local.filePath(QStringLiteral("New.ttf"));
        QVERIFY(writeFile(font, randomBytes(900, 61)));

        ConnectedDevice device;
        QVERIFY(startDevice(device, { QStringLiteral("--populate"), QStringLiteral("--fault"), QStringLiteral("delay:MODE:2000") }));
        SerialPortManager* m = manager();
        QSignalSpy ended(m, &SerialPortManager::operationEnded);
        QSignalSpy error(m, &SerialPortManager::progressError);
        QSignalSpy finished(m, &SerialPortManager::progressFinished);
        QSignalSpy fonts(m, &SerialPortManager::notifyInstalledFonts);
        QSignalSpy projectError(m, &SerialPortManager::retrieveProjectError);
        QSignalSpy logError(m, &SerialPortManager::retrieveDataLogError);

        QVERIFY(m->uploadProject(files, ConfigurationInfo()));
        QVERIFY(device.emulator().waitForCommand(QStringLiteral("#MODE<1>#"), 10000));
        const int sent = sequenceCommands(device).size();

        CalibrationInfo info;
        info.setRestoreSplashScreen(true);
        QTemporaryDir out;
        QVERIFY(!m->configureDevice(&info));
        QVERIFY(!m->manageFonts({ { font, 900 } }, { QStringLiteral("Old.ttf") }));
        QVERIFY(!m->getInstalledFonts());
        QVERIFY(!m->uploadProject(files, ConfigurationInfo()));
        QVERIFY(!m->upgradeDeviceSoftware(randomBytes(2000, 62)));
        QVERIFY(!m->retrieveProjectFiles(out.path()));
        QVERIFY(!m->retrieveDataLogFile(out.path()));
        QVERIFY(!m->updateLogFile(database));
        QVERIFY(!m->syncDeviceClock(0));
        QVERIFY(!m->identifyDevice());
        QVERIFY(!m->setDeviceBacklight(50));
        QVERIFY(!m->rebootDevice());
        QCOMPARE(ended.count() + error.count() + fonts.count() + projectError.count() + logError.count(), 0);
        QCOMPARE(sequenceCommands(device).size(), sent);

        QVERIFY(ended.wait(60000) || ended.count() == 1);
        QTest::qWait(300);
        QCOMPARE(ended.count(), 1);
        const OperationResult result = resultAt(ended);
        QCOMPARE(result.kind, OperationResult::ProjectUpload);
        QCOMPARE(result.outcome, OperationResult::Succeeded);
        QVERIFY(result.deviceRestarts);
        QCOMPARE(result.port, device.port());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(error.count(), 0);
        QCOMPARE(sequenceCommands(device).last(), QStringLiteral("#BOOT#"));
    }

    // A port that another program holds is a real failure and is reported as the operation's end.
    void portHeldElsewhereIsReported()
    {
        ConnectedDevice device;
        QVERIFY(startDevice(device));
        QSerialPort other(device.port());
        if (!other.open(QIODevice::ReadWrite))
            QSKIP("the port cannot be opened here");
        SerialPortManager* m = manager();
        QSignalSpy ended(m, &SerialPortManager::operationEnded);
        QSignalSpy error(m, &SerialPortManager::progressError);
        CalibrationInfo info;
        info.setRestoreSplashScreen(true);
        const bool started = m->configureDevice(&info);
        other.close();
        if (ended.isEmpty() && m->isSerialPortOpen()) {
            // Nothing keeps a second opening out on this machine (e.g. no exclusive mode as root).
            QVERIFY(started);
            QVERIFY(ended.wait(30000));
            QSKIP("the port could be opened twice");
        }
        QVERIFY(started);
        QCOMPARE(ended.count(), 1);
        QCOMPARE(resultAt(ended).outcome, OperationResult::Failed);
        QCOMPARE(resultAt(ended).message, rt("The serial port could not be opened."));
        QCOMPARE(error.count(), 1);
        QCOMPARE(error.at(0).at(0).toString(), rt("The serial port could not be opened."));
    }

    // An error on the command port while its name stays listed (a glitch, or the device back
    // under the same name) still ends the operation, once, and the next start is accepted.
    void portErrorEndsOperationWhilePortStaysListed()
    {
        QTemporaryDir local;
        QVERIFY(local.isValid());
        ConnectedDevice device;
        QVERIFY(startDevice(device, { QStringLiteral("--populate"), QStringLiteral("--fault"), QStringLiteral("silent:MODE") }));
        SerialPortManager* m = manager();
        QSignalSpy ended(m, &SerialPortManager::operationEnded);
        QSignalSpy error(m, &SerialPortManager::progressError);
        QVERIFY(m->uploadProject(projectFiles(local), ConfigurationInfo()));
        QVERIFY(device.emulator().waitForCommand(QStringLiteral("#MODE<1>#"), 10000));
        QSerialPort* port = m->findChild<QSerialPort*>();
        QVERIFY(port);
        QVERIFY(port->isOpen());
        emit port->errorOccurred(QSerialPort::ResourceError);
        QVERIFY(ended.count() == 1 || ended.wait(5000));
        QTest::qWait(500);
        QCOMPARE(ended.count(), 1);
        QCOMPARE(resultAt(ended).outcome, OperationResult::DeviceLost);
        QCOMPARE(resultAt(ended).message, rt("The connection to the device was lost."));
        QCOMPARE(error.count(), 1);
        QVERIFY(m->connectedPorts().contains(device.port()));
        verifyIdle();

        // Not left busy: the device can be used again at once.
        QVERIFY(m->identifyDevice());
        QCOMPARE(ended.count(), 2);
        QCOMPARE(resultAt(ended, 1).outcome, OperationResult::Succeeded);
        QVERIFY(device.emulator().waitForCommand(QStringLiteral("#SINF#"), 5000));
    }

    // A reply that arrives while the error is being shown (a message box runs its own loop)
    // finds the operation ended: nothing advances, nothing finishes after the error.
    void lateReplyAfterErrorChangesNothing()
    {
        QTemporaryDir local;
        QVERIFY(local.isValid());
        ConnectedDevice device;
        QVERIFY(startDevice(device, { QStringLiteral("--populate"), QStringLiteral("--fault"),
                                      QStringLiteral("delay:UNIX<mkdir ./tmp/project:8000") }));
        SerialPortManager* m = manager();
        QSignalSpy ended(m, &SerialPortManager::operationEnded);
        QSignalSpy finished(m, &SerialPortManager::progressFinished);
        int operationWhenShown = -1;
        bool openWhenShown = true;
        QMetaObject::Connection box = connect(m, &SerialPortManager::progressError, this, [&]() {
            operationWhenShown = m->currentOperation();
            openWhenShown = m->isSerialPortOpen();
            QEventLoop loop;
            QTimer::singleShot(5000, &loop, &QEventLoop::quit);
            loop.exec();
        });
        QVERIFY(m->uploadProject(projectFiles(local), ConfigurationInfo()));
        QVERIFY(ended.wait(60000) || ended.count() == 1);
        disconnect(box);
        QTest::qWait(500);
        QCOMPARE(ended.count(), 1);
        QCOMPARE(resultAt(ended).outcome, OperationResult::TimedOut);
        QCOMPARE(operationWhenShown, 0);
        QVERIFY(!openWhenShown);
        QCOMPARE(finished.count(), 0);
        const QStringList commands = sequenceCommands(device);
        const int mkdir = commands.indexOf(QStringLiteral("#UNIX<mkdir ./tmp/project>#"));
        QVERIFY(mkdir >= 0);
        QCOMPARE(commands.mid(mkdir + 1), QStringList({ QStringLiteral("#UNIX<reboot>#") }));
    }

    // The clock command leaves nothing behind: a later unplug reports nothing for it.
    void clockCommandLeavesNoOperation()
    {
        ConnectedDevice device;
        QVERIFY(startDevice(device));
        SerialPortManager* m = manager();
        QSignalSpy ended(m, &SerialPortManager::operationEnded);
        QSignalSpy error(m, &SerialPortManager::progressError);
        QVERIFY(m->syncDeviceClock(-90));
        QVERIFY(ended.count() == 1 || ended.wait(10000));
        QCOMPARE(resultAt(ended).kind, OperationResult::Command);
        QCOMPARE(resultAt(ended).outcome, OperationResult::Succeeded);
        QCOMPARE(m->currentOperation(), 0);
        QVERIFY(!m->isSerialPortOpen());

        // The old single-command slot on a port opened by the caller leaves its code, but
        // nothing waits for it: no error when the device goes.
        QVERIFY(m->openSerialPort());
        m->remoteSetRealTimeClock(false, 30);
        QVERIFY(device.emulator().waitForCommand(QStringLiteral("#DTIM<"), 5000));
        QTest::qWait(300);
        m->closeSerialPort();
        device.unplug();
        QVERIFY(device.waitForRemoval());
        QTest::qWait(500);
        QCOMPARE(error.count(), 0);
        QCOMPARE(ended.count(), 1);
        QCOMPARE(m->currentOperation(), 0);
    }

    void singleCommands()
    {
        ConnectedDevice device;
        QVERIFY(startDevice(device));
        SerialPortManager* m = manager();
        QSignalSpy ended(m, &SerialPortManager::operationEnded);
        QVERIFY(m->setDeviceBacklight(40));
        QVERIFY(m->identifyDevice());
        QVERIFY(!m->setDeviceBacklight(101));
        QVERIFY(!m->syncDeviceClock(721));
        QVERIFY(m->rebootDevice());
        QCOMPARE(ended.count(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(resultAt(ended, i).kind, OperationResult::Command);
            QCOMPARE(resultAt(ended, i).outcome, OperationResult::Succeeded);
        }
        QVERIFY(!resultAt(ended, 0).deviceRestarts);
        QVERIFY(resultAt(ended, 2).deviceRestarts);
        QVERIFY(device.emulator().waitForCommand(QStringLiteral("#UNIX<reboot>#"), 5000));
        QCOMPARE(sequenceCommands(device), QStringList({ QStringLiteral("#BKLT<40>#"), QStringLiteral("#SINF#"),
                                                         QStringLiteral("#UNIX<reboot>#") }));
        QCOMPARE(m->deviceInformation(device.port()).value(QStringLiteral("backlight")), QStringLiteral("40"));
    }

    // The files are installed when the closing restart goes unconfirmed: a success that says so.
    void unconfirmedRestartAfterUpload_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("silent") << "silent:BOOT";
        QTest::newRow("unplugged") << "unplug:BOOT";
    }

    void unconfirmedRestartAfterUpload()
    {
        QFETCH(QString, fault);
        QTemporaryDir local;
        QVERIFY(local.isValid());
        ConnectedDevice device;
        QVERIFY(startDevice(device, { QStringLiteral("--populate"), QStringLiteral("--fault"), fault }));
        SerialPortManager* m = manager();
        QSignalSpy ended(m, &SerialPortManager::operationEnded);
        QSignalSpy finished(m, &SerialPortManager::progressFinished);
        QSignalSpy error(m, &SerialPortManager::progressError);
        const QStringList files = projectFiles(local);
        QVERIFY(m->uploadProject(files, ConfigurationInfo()));
        QVERIFY(ended.wait(60000) || ended.count() == 1);
        QTest::qWait(300);
        QCOMPARE(ended.count(), 1);
        const OperationResult result = resultAt(ended);
        QCOMPARE(result.outcome, OperationResult::Succeeded);
        QVERIFY(result.deviceRestarts);
        QCOMPARE(result.message, rt("The files are installed, but the device did not confirm its restart."));
        QCOMPARE(finished.count(), 1);
        QVERIFY(finished.at(0).at(0).toBool());
        QCOMPARE(error.count(), 0);
        QCOMPARE(device.emulator().readFile(QStringLiteral("qml/project/main.qml")), readFile(files.first()));
    }

    // The same for the other operations that end with a restart of the device.
    void unconfirmedRestartAfterFontsAndRetrieval_data()
    {
        QTest::addColumn<bool>("fonts");
        QTest::newRow("font installation") << true;
        QTest::newRow("project retrieval") << false;
    }

    void unconfirmedRestartAfterFontsAndRetrieval()
    {
        QFETCH(bool, fonts);
        QTemporaryDir local;
        QVERIFY(local.isValid());
        ConnectedDevice device;
        QVERIFY(startDevice(device, { QStringLiteral("--populate"), QStringLiteral("--fault"), QStringLiteral("silent:BOOT") }));
        SerialPortManager* m = manager();
        QSignalSpy ended(m, &SerialPortManager::operationEnded);
        QSignalSpy error(m, &SerialPortManager::progressError);
        const QString font = local.filePath(QStringLiteral("Quiet.ttf"));
        QVERIFY(writeFile(font, randomBytes(800, 80)));
        const QString out = local.filePath(QStringLiteral("out"));
        QVERIFY(fonts ? m->manageFonts({ { font, 800 } }, {}) : m->retrieveProjectFiles(out));
        QVERIFY(ended.wait(60000) || ended.count() == 1);
        QTest::qWait(300);
        QCOMPARE(ended.count(), 1);
        const OperationResult result = resultAt(ended);
        QCOMPARE(result.outcome, OperationResult::Succeeded);
        QVERIFY(result.deviceRestarts);
        QCOMPARE(result.message, fonts ? rt("The files are installed, but the device did not confirm its restart.")
                                       : rt("The files were received, but the device did not confirm its restart."));
        QCOMPARE(error.count(), 0);
        QVERIFY(device.emulator().waitForCommand(QStringLiteral("#UNIX<reboot>#"), 5000));
        if (fonts)
            QCOMPARE(device.emulator().readFile(QStringLiteral("fonts/Quiet.ttf")), readFile(font));
        else
            QVERIFY(!filesBelow(out).isEmpty());
    }

    // A "%" in a name is sent as it is: no placeholder inside a name is ever filled.
    void percentInNamesIsSentAsIs()
    {
        QTemporaryDir local;
        QVERIFY(local.isValid());
        ConnectedDevice device;
        // Two operations in a row on one device that stays on the line through its restart.
        QVERIFY(startDevice(device, { QStringLiteral("--populate"), QStringLiteral("--stay-on-reboot") }));
        SerialPortManager* m = manager();
        QSignalSpy ended(m, &SerialPortManager::operationEnded);
        const QStringList files = projectFiles(local, { QStringLiteral("a%1.qml"), QStringLiteral("b%2.png") });
        QVERIFY(m->uploadProject(files, ConfigurationInfo()));
        QVERIFY(ended.wait(60000) || ended.count() == 1);
        QCOMPARE(resultAt(ended).outcome, OperationResult::Succeeded);
        const QStringList commands = sequenceCommands(device);
        QVERIFY2(commands.contains(QStringLiteral("#LOAD<project/a%1.qml>1200#")), qPrintable(commands.join(QLatin1Char(' '))));
        QVERIFY(commands.contains(QStringLiteral("#LOAD<project/b%2.png>1200#")));
        QCOMPARE(device.emulator().readFile(QStringLiteral("qml/project/a%1.qml")), readFile(files.at(0)));
        QCOMPARE(device.emulator().readFile(QStringLiteral("qml/project/b%2.png")), readFile(files.at(1)));

        // Fonts: the removal names and the upload name go out as they are.
        const QString font = local.filePath(QStringLiteral("F%2.ttf"));
        QVERIFY(writeFile(font, randomBytes(700, 70)));
        QVERIFY(device.emulator().putFile(QStringLiteral("fonts/G%1.ttf"), "x"));
        QVERIFY(device.emulator().putFile(QStringLiteral("fonts/H%2.ttf"), "y"));
        QVERIFY(m->manageFonts({ { font, 700 } }, { QStringLiteral("G%1.ttf"), QStringLiteral("H%2.ttf") }));
        QVERIFY(ended.count() == 2 || ended.wait(60000));
        QCOMPARE(resultAt(ended, 1).outcome, OperationResult::Succeeded);
        const QStringList fontCommands = sequenceCommands(device).mid(commands.size());
        QVERIFY2(fontCommands.contains(QStringLiteral("#RMFS<1><H%2.ttf>#")), qPrintable(fontCommands.join(QLatin1Char(' '))));
        QVERIFY(fontCommands.contains(QStringLiteral("#LOAD<F%2.ttf>700#")));
    }

    // Real devices live under /dev: an operation reached through the pseudo terminal's own
    // path, or a by-id style link to it, ends with that port name in its result.
    void operationsThroughDevicePaths_data()
    {
        QTest::addColumn<bool>("byId");
        QTest::newRow("pty path") << false;
        QTest::newRow("by-id link under /dev") << true;
    }

    void operationsThroughDevicePaths()
    {
        QFETCH(bool, byId);
        QTemporaryDir local;
        QVERIFY(local.isValid());
        SerialPortManager* m = manager();
        QSignalSpy connected(m, &SerialPortManager::deviceConnected);
        DeviceEmulator emulator;
        // The pty's own path: a restart would bring the device back under another number.
        QVERIFY(emulator.start({ QStringLiteral("--populate"), QStringLiteral("--stay-on-reboot") }));
        QVERIFY(emulator.ptyPath().startsWith(QStringLiteral("/dev/")));
        QScopedPointer<DevPortLink> link;
        QString port = emulator.ptyPath();
        if (byId) {
            link.reset(new DevPortLink(emulator.ptyPath(), DevPortLink::ByIdName));
            if (!link->isValid())
                QSKIP("/dev is not writable here");
            port = link->path();
        }
        VirtualPorts::add(port);
        auto announced = [&]() {
            for (const QList<QVariant>& args : std::as_const(connected)) {
                if (args.at(0).value<QMap<QString, QString>>().value(QStringLiteral("port")) == port)
                    return true;
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(announced(), 20000);
        QVERIFY(m->setActivePort(port));

        QSignalSpy ended(m, &SerialPortManager::operationEnded);
        QVERIFY(m->uploadProject(projectFiles(local), ConfigurationInfo()));
        QVERIFY(ended.wait(60000) || ended.count() == 1);
        QCOMPARE(resultAt(ended).outcome, OperationResult::Succeeded);
        QCOMPARE(resultAt(ended).port, port);
        QVERIFY(m->syncDeviceClock(120));
        QVERIFY(ended.count() == 2 || ended.wait(10000));
        QCOMPARE(resultAt(ended, 1).outcome, OperationResult::Succeeded);
        QCOMPARE(resultAt(ended, 1).port, port);
        QVERIFY(emulator.readFile(QStringLiteral("qml/project/main.qml")).size() == 1200);

        emulator.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!m->connectedPorts().contains(port), 10000);
        VirtualPorts::remove(port);
    }
};

QTEST_GUILESS_MAIN(TestOperationEnd)
#include "tst_operationend.moc"
