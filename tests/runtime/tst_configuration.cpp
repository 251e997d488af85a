// Device configuration runs end to end against the emulated device.
#include "calibrationinfo.h"
#include "connecteddevice.h"
#include "testutil.h"
#include "filehelper.h"
#include "serialportmanager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

using Orvane::Tavrix::Common::CalibrationInfo;
using Orvane::Tavrix::Common::FileHelper;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

constexpr int LongWait = 30000;

// Bytes that are not text, longer than one packet and not a multiple of it.
QByteArray patternBytes(int size, int seed)
{
    QByteArray data(size, Qt::Uninitialized);
    quint32 x = quint32(seed) * 2654435761u + 1;
    for (int i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        data[i] = char(x >> 24);
    }
    return data;
}

QString backupPath(const QString& serial)
{
    return QStringLiteral("%1/Lumatra/Calibrations/cal_list%2.txt").arg(FileHelper::getStandardDocumentLocation(), serial);
}

// Commands the device received since a mark, without the identification traffic.
QStringList commandsSince(DeviceEmulator& emulator, int mark)
{
    return emulator.commands().mid(mark);
}

} // namespace

class TestConfiguration : public QObject
{
    Q_OBJECT

private:
    SerialPortManager* manager() { return SerialPortManager::instance(); }

    // Runs one configuration and waits for its end.
    struct Outcome
    {
        bool ended = false;
        bool finished = false;
        bool needReboot = false;
        QString error;
        QList<int> progress;
    };

    Outcome runConfiguration(CalibrationInfo& info)
    {
        SerialPortManager* m = manager();
        QSignalSpy finished(m, &SerialPortManager::progressFinished);
        QSignalSpy failed(m, &SerialPortManager::progressError);
        QSignalSpy progress(m, &SerialPortManager::progressUpdated);
        m->configureDevice(&info);
        Outcome outcome;
        QElapsedTimer timer;
        timer.start();
        while (finished.isEmpty() && failed.isEmpty() && timer.elapsed() < LongWait)
            QTest::qWait(20);
        if (!finished.isEmpty()) {
            outcome.ended = true;
            outcome.finished = true;
            outcome.needReboot = finished.first().at(0).toBool();
        } else if (!failed.isEmpty()) {
            outcome.ended = true;
            outcome.error = failed.first().at(0).toString();
            outcome.needReboot = failed.first().at(1).toBool();
        }
        // One end signal per run.
        QTest::qWait(100);
        if (finished.size() + failed.size() > 1)
            outcome.ended = false;
        for (const QList<QVariant>& args : std::as_const(progress))
            outcome.progress << args.at(0).toInt();
        return outcome;
    }

    void verifyIdle()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!manager()->isSerialPortOpen(), 5000);
        QCOMPARE(manager()->currentOperation(), 0);
        QVERIFY(!manager()->isBusy());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(manager());
    }

    void nothingChosenSendsNothing()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "CFG0001" }));
        const int mark = dev.emulator().commands().size();
        SerialPortManager* m = manager();
        QSignalSpy finished(m, &SerialPortManager::progressFinished);
        QSignalSpy failed(m, &SerialPortManager::progressError);
        QSignalSpy state(m, &SerialPortManager::configureStateChange);

        CalibrationInfo info; // only the battery-low check, which goes with the clock
        QVERIFY(info.skipCalibration());
        m->configureDevice(&info);
        m->configureDevice(nullptr);
        QTest::qWait(500);
        QVERIFY(commandsSince(dev.emulator(), mark).isEmpty());
        QCOMPARE(finished.size(), 0);
        QCOMPARE(failed.size(), 0);
        QCOMPARE(state.size(), 0);
        QVERIFY(!m->isSerialPortOpen());
    }

    void newNameOnly()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "CFG0002" }));
        const int mark = dev.emulator().commands().size();
        CalibrationInfo info;
        info.setDeviceNameChange(true);
        info.setDeviceName(QStringLiteral("Press 4"));
        const Outcome outcome = runConfiguration(info);
        QVERIFY(outcome.ended);
        QVERIFY2(outcome.finished, qPrintable(outcome.error));
        QVERIFY(outcome.needReboot);
        QCOMPARE(commandsSince(dev.emulator(), mark),
                 QStringList({ "#SNAM<Press 4>#", "#SVCF#", "#SYNC#", "#BOOT#" }));
        QCOMPARE(outcome.progress, QList<int>({ 1, 2 }));
        verifyIdle();
    }

    void clockOnlyEndsWithoutReboot()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "CFG0003" }));
        const int mark = dev.emulator().commands().size();
        SerialPortManager* m = manager();
        QSignalSpy zone(m, &SerialPortManager::timeZoneUpdated);
        CalibrationInfo info;
        info.setRealTimeClock(true);
        info.setTimeZone(-330);
        info.setBatteryLowCheck(false);
        const Outcome outcome = runConfiguration(info);
        QVERIFY(outcome.ended);
        QVERIFY2(outcome.finished, qPrintable(outcome.error));
        // The sync is answered while the battery-check operation is still current; nothing to commit.
        QVERIFY(!outcome.needReboot);
        const QStringList commands = commandsSince(dev.emulator(), mark);
        QCOMPARE(commands.size(), 3);
        QVERIFY2(commands.at(0).startsWith("#DTIM<") && commands.at(0).endsWith(" -330>#"), qPrintable(commands.at(0)));
        QCOMPARE(commands.at(1), QStringLiteral("#CHBT<0>#"));
        QCOMPARE(commands.at(2), QStringLiteral("#SYNC#"));
        QCOMPARE(zone.size(), 1);
        QCOMPARE(zone.first().at(0).toInt(), -330);
        QCOMPARE(dev.info().value("timezone"), QStringLiteral("-330"));
        verifyIdle();
    }

    void strayRepliesAfterFinishedRunDoNothing()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "CFG0004", "--fault", "error:SVCF" }));
        SerialPortManager* m = manager();
        CalibrationInfo info;
        info.setRealTimeClock(true);
        info.setTimeZone(60);
        const Outcome outcome = runConfiguration(info);
        QVERIFY(outcome.finished);
        QVERIFY(!outcome.needReboot);
        verifyIdle();

        // The kept job list ends on its end marker; replies routed to the sequence now must not rerun it.
        QSignalSpy finished(m, &SerialPortManager::progressFinished);
        QSignalSpy failed(m, &SerialPortManager::progressError);
        QVERIFY(m->openSerialPort());
        const int mark = dev.emulator().commands().size();
        m->remoteEnableCalTouchScreen(); // answered with text holding "#TCAL#"
        QVERIFY(dev.emulator().waitForCommand("#TCAL#", 5000));
        m->remoteSaveConfig(); // answered "<SVCF:ERR>" by the fault, under an operation that is not the upload's
        QVERIFY(dev.emulator().waitForCommand("#SVCF#", 5000));
        QTest::qWait(800);
        QCOMPARE(finished.size(), 0);
        QCOMPARE(failed.size(), 0);
        QVERIFY(m->isSerialPortOpen());
        QCOMPARE(commandsSince(dev.emulator(), mark), QStringList({ "#TCAL#", "#SVCF#" }));
        m->closeSerialPort();

        // The next run is not disturbed by what was ignored.
        const Outcome again = runConfiguration(info);
        QVERIFY(again.ended);
        QVERIFY2(again.finished, qPrintable(again.error));
        QCOMPARE(finished.size(), 1);
        verifyIdle();
    }

    // A port held by another operation refuses the start without a signal, which the
    // window of that operation would otherwise take for its own failure.
    void portInUseRefusesWithoutSignal()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "CFG0005" }));
        SerialPortManager* m = manager();
        QVERIFY(m->openSerialPort());
        const int mark = dev.emulator().commands().size();
        QSignalSpy finished(m, &SerialPortManager::progressFinished);
        QSignalSpy failed(m, &SerialPortManager::progressError);
        QSignalSpy ended(m, &SerialPortManager::operationEnded);
        CalibrationInfo info;
        info.setRestoreSplashScreen(true);
        QVERIFY(!m->configureDevice(&info));
        QTest::qWait(300);
        QCOMPARE(finished.size() + failed.size() + ended.size(), 0);
        QVERIFY(m->isSerialPortOpen());
        QVERIFY(commandsSince(dev.emulator(), mark).isEmpty());
        m->closeSerialPort();
        verifyIdle();
    }

    void splashRestore_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("installed");
        QTest::addColumn<QString>("factory");
        QTest::newRow("small screen") << "QMX 50-B" << "1.2.0.2000"
                                      << "#UNIX<cp ./splash480x272.bmp ./qml/user_splash480x272.bmp>#"
                                      << "qml/user_splash480x272.bmp" << "splash480x272.bmp";
        QTest::newRow("prefix of a longer model") << "QMX 50-B2 Pro" << "1.2.0.2000"
                                                  << "#UNIX<cp ./splash480x272.bmp ./qml/user_splash480x272.bmp>#"
                                                  << "qml/user_splash480x272.bmp" << "splash480x272.bmp";
        QTest::newRow("lower case is another model") << "qmx 50-b" << "1.2.0.2000"
                                                     << "#UNIX<cp ./splash1024x600.bmp ./qml/user_splash1024x600.bmp>#"
                                                     << "qml/user_splash1024x600.bmp" << "splash1024x600.bmp";
        QTest::newRow("large screen") << "QMX 70-C" << "1.2.0.2000"
                                      << "#UNIX<cp ./splash1024x600.bmp ./qml/user_splash1024x600.bmp>#"
                                      << "qml/user_splash1024x600.bmp" << "splash1024x600.bmp";
        QTest::newRow("first release") << "QMX 70-C" << "1.0.0.1678"
                                       << "#UNIX<cp ./splash_480.bmp ./qml/user_splash_480.bmp>#"
                                       << "qml/user_splash_480.bmp" << "splash_480.bmp";
    }

    void splashRestore()
    {
        QFETCH(QString, model);
        QFETCH(QString, version);
        QFETCH(QString, command);
        QFETCH(QString, installed);
        QFETCH(QString, factory);
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "CFG0006", "--populate", "--model", model, "--app-version", version }));
        const QString root = dev.emulator().rootPath();
        const QByteArray factoryImage = patternBytes(3000, 6);
        QVERIFY(writeFile(root + "/" + factory, factoryImage));
        const int mark = dev.emulator().commands().size();

        CalibrationInfo info;
        info.setRestoreSplashScreen(true);
        const Outcome outcome = runConfiguration(info);
        QVERIFY(outcome.ended);
        QVERIFY2(outcome.finished, qPrintable(outcome.error));
        QVERIFY(!outcome.needReboot); // nothing to commit: no sync, no reboot
        QCOMPARE(commandsSince(dev.emulator(), mark), QStringList({ command }));
        QCOMPARE(readFile(root + "/" + installed), factoryImage);
        verifyIdle();
    }

    void splashUpload_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("uploaded");
        QTest::addColumn<QString>("move");
        QTest::addColumn<QString>("installed");
        QTest::newRow("small screen") << "QMX 50-B" << "1.2.0.2000" << "user_splash480x272.bmp"
                                      << "#UNIX<mv ./tmp/user_splash480x272.bmp ./qml/user_splash480x272.bmp>#"
                                      << "qml/user_splash480x272.bmp";
        QTest::newRow("large screen") << "QMX 70-C" << "1.2.0.2000" << "user_splash1024x600.bmp"
                                      << "#UNIX<mv ./tmp/user_splash1024x600.bmp ./qml/user_splash1024x600.bmp>#"
                                      << "qml/user_splash1024x600.bmp";
        QTest::newRow("first release, small screen") << "QMX 50-B" << "1.0.0.1678" << "user_splash480x272.bmp"
                                                     << "#UNIX<mv ./tmp/user_splash480x272.bmp ./qml/user_splash_480.bmp>#"
                                                     << "qml/user_splash_480.bmp";
    }

    void splashUpload()
    {
        QFETCH(QString, model);
        QFETCH(QString, version);
        QFETCH(QString, uploaded);
        QFETCH(QString, move);
        QFETCH(QString, installed);
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "CFG0007", "--populate", "--model", model, "--app-version", version }));
        const int mark = dev.emulator().commands().size();
        const QByteArray image = patternBytes(2600, 7);

        CalibrationInfo info;
        info.setSplashScreenData(image);
        const Outcome outcome = runConfiguration(info);
        QVERIFY(outcome.ended);
        QVERIFY2(outcome.finished, qPrintable(outcome.error));
        QVERIFY(outcome.needReboot);
        QCOMPARE(commandsSince(dev.emulator(), mark),
                 QStringList({ "#MODE<1>#", "#FINF<2600>#", QStringLiteral("#LOAD<%1>2600#").arg(uploaded), move,
                               "#SYNC#", "#BOOT#" }));
        QCOMPARE(readFile(dev.emulator().rootPath() + "/" + installed), image);
        QCOMPARE(outcome.progress, QList<int>({ 1 })); // the accepted announcement
        verifyIdle();
    }

    void splashUploadFirstReleaseLargeScreenFails()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "CFG0008", "--populate", "--model", "QMX 70-C", "--app-version", "1.0.0.1678" }));
        const int mark = dev.emulator().commands().size();
        CalibrationInfo info;
        info.setSplashScreenData(patternBytes(900, 8));
        const Outcome outcome = runConfiguration(info);
        QVERIFY(outcome.ended);
        QCOMPARE(outcome.error, QStringLiteral("Failed to install the splash screen."));
        QVERIFY(!outcome.needReboot);
        const QStringList commands = commandsSince(dev.emulator(), mark);
        QVERIFY(commands.contains("#LOAD<user_splash1024x600.bmp>900#"));
        QCOMPARE(commands.last(), QStringLiteral("#UNIX<mv ./tmp/user_splash480x272.bmp ./qml/user_splash_480.bmp>#"));
        QVERIFY(!commands.contains("#SYNC#"));
        QVERIFY(!commands.contains("#BOOT#"));
        verifyIdle();
    }

    void calibrationBackup()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "CFG0009" }));
        const QByteArray calibration = patternBytes(2100, 9);
        QVERIFY(writeFile(dev.emulator().rootPath() + "/cal_list.txt", calibration));
        const QString local = backupPath("CFG0009");
        QDir(QFileInfo(local).absolutePath()).removeRecursively(); // the folder is created when missing
        const int mark = dev.emulator().commands().size();

        CalibrationInfo info;
        info.setBackup(true);
        const Outcome outcome = runConfiguration(info);
        QVERIFY(outcome.ended);
        QVERIFY2(outcome.finished, qPrintable(outcome.error));
        QVERIFY(outcome.needReboot); // the mode change leaves a commit pending
        QCOMPARE(commandsSince(dev.emulator(), mark),
                 QStringList({ "#MODE<2>#", "#GETF</home/DuDov_ODU/cal_list.txt>#", "#BOOT#" }));
        QCOMPARE(readFile(local), calibration);
        verifyIdle();
    }

    void calibrationBackupWithoutDeviceFile()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "CFG0010" }));
        QFile::remove(dev.emulator().rootPath() + "/cal_list.txt");
        const QString local = backupPath("CFG0010");
        QFile::remove(local);
        CalibrationInfo info;
        info.setBackup(true);
        const Outcome outcome = runConfiguration(info);
        QVERIFY(outcome.ended);
        QCOMPARE(outcome.error, QStringLiteral("The calibration file does not exist on the device."));
        QVERIFY(!outcome.needReboot);
        QVERIFY(!QFile::exists(local));
        verifyIdle();
    }

    void calibrationRestore()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "CFG0011" }));
        const QByteArray calibration = patternBytes(1500, 11);
        QVERIFY(writeFile(backupPath("CFG0011"), calibration));
        QVERIFY(writeFile(dev.emulator().rootPath() + "/cal_list.txt", "old"));
        const int mark = dev.emulator().commands().size();

        CalibrationInfo info;
        info.setRestore(true);
        const Outcome outcome = runConfiguration(info);
        QVERIFY(outcome.ended);
        QVERIFY2(outcome.finished, qPrintable(outcome.error));
        QVERIFY(outcome.needReboot);
        QCOMPARE(commandsSince(dev.emulator(), mark),
                 QStringList({ "#MODE<1>#", "#LOAD<cal_list.txt>1500#",
                               "#UNIX<mv ./tmp/cal_list.txt /home/DuDov_ODU/cal_list.txt>#", "#SYNC#", "#BOOT#" }));
        QCOMPARE(readFile(dev.emulator().rootPath() + "/cal_list.txt"), calibration);
        verifyIdle();
    }

    void calibrationRestoreWithoutUsableBackup_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing") << false << "The calibration backup file %1 does not exist.";
        QTest::newRow("empty") << true << "The calibration backup file %1 is empty.";
    }

    void calibrationRestoreWithoutUsableBackup()
    {
        QFETCH(bool, exists);
        QFETCH(QString, error);
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "CFG0012" }));
        const QString local = backupPath("CFG0012");
        QFile::remove(local);
        if (exists)
            QVERIFY(writeFile(local, QByteArray()));
        const int mark = dev.emulator().commands().size();

        CalibrationInfo info;
        info.setRestore(true);
        info.setDeviceNameChange(true);
        info.setDeviceName(QStringLiteral("Never sent"));
        QElapsedTimer timer;
        timer.start();
        const Outcome outcome = runConfiguration(info);
        QVERIFY(outcome.ended);
        QCOMPARE(outcome.error, error.arg(QDir::toNativeSeparators(local)));
        QVERIFY(!outcome.needReboot);
        QVERIFY(timer.elapsed() < 4000); // at once, not by the watchdog
        QTest::qWait(300);
        QVERIFY(commandsSince(dev.emulator(), mark).isEmpty());
        verifyIdle();
    }

    void calibrationBackupGoneBeforeSending()
    {
        ConnectedDevice dev;
        // The mode change is answered late; the backup disappears meanwhile.
        QVERIFY(startDevice(dev, { "--serial", "CFG0016", "--fault", "delay:MODE:2000" }));
        const QString local = backupPath("CFG0016");
        QVERIFY(writeFile(local, patternBytes(500, 16)));
        SerialPortManager* m = manager();
        QSignalSpy failed(m, &SerialPortManager::progressError);
        QSignalSpy finished(m, &SerialPortManager::progressFinished);
        CalibrationInfo info;
        info.setRestore(true);
        m->configureDevice(&info);
        QVERIFY(dev.emulator().waitForCommand("#MODE<1>#", 5000));
        QVERIFY(QFile::remove(local));
        QElapsedTimer timer;
        timer.start();
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 20000);
        QVERIFY(timer.elapsed() < 4500); // at the mode reply, not by the watchdog
        QCOMPARE(failed.first().at(0).toString(),
                 QStringLiteral("The calibration backup file %1 cannot be read.").arg(QDir::toNativeSeparators(local)));
        QCOMPARE(failed.first().at(1).toBool(), false);
        QCOMPARE(finished.size(), 0);
        QVERIFY(!dev.emulator().commands().join(QString()).contains("#LOAD<"));
        verifyIdle();
    }

    void deviceRefusals_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("what");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("lastCommand");
        QTest::newRow("name") << "error:SNAM" << 0 << "Failed to configure device name." << "#SNAM<Bench>#";
        QTest::newRow("clock") << "error:DTIM" << 1 << "Failed to set the device clock." << "";
        QTest::newRow("commit") << "error:SYNC" << 0 << "Failed to commit the changes to the device." << "#SYNC#";
        QTest::newRow("splash restore") << "error:UNIX" << 2 << "Failed to restore the splash screen to default." << "";
        QTest::newRow("calibration install") << "error:UNIX" << 3 << "Failed to restore the calibration file."
                                             << "#UNIX<mv ./tmp/cal_list.txt /home/DuDov_ODU/cal_list.txt>#";
    }

    void deviceRefusals()
    {
        QFETCH(QString, fault);
        QFETCH(int, what);
        QFETCH(QString, error);
        QFETCH(QString, lastCommand);
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "CFG0013", "--fault", fault }));
        const int mark = dev.emulator().commands().size();
        CalibrationInfo info;
        switch (what) {
        case 0:
            info.setDeviceNameChange(true);
            info.setDeviceName(QStringLiteral("Bench"));
            break;
        case 1:
            info.setRealTimeClock(true);
            break;
        case 2:
            info.setRestoreSplashScreen(true);
            break;
        default:
            QVERIFY(writeFile(backupPath("CFG0013"), patternBytes(700, 13)));
            info.setRestore(true);
            break;
        }
        const Outcome outcome = runConfiguration(info);
        QVERIFY(outcome.ended);
        QCOMPARE(outcome.error, error);
        QVERIFY(!outcome.needReboot);
        const QStringList commands = commandsSince(dev.emulator(), mark);
        if (!lastCommand.isEmpty())
            QCOMPARE(commands.last(), lastCommand);
        // A refusal ends the run without a reboot of either kind.
        QVERIFY(!commands.contains("#BOOT#"));
        QVERIFY(!commands.contains("#UNIX<reboot>#"));
        verifyIdle();
    }

    // The changes are committed before the closing restart: a restart the device does not
    // confirm (silent, or the cable pulled) still ends the run as a success that says so.
    void unconfirmedRebootEndsAsSuccess_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("silent") << "silent:BOOT";
        QTest::newRow("unplugged") << "unplug:BOOT";
    }

    void unconfirmedRebootEndsAsSuccess()
    {
        QFETCH(QString, fault);
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "CFG0015", "--populate", "--fault", fault }));
        QSignalSpy ended(manager(), &SerialPortManager::operationEnded);
        CalibrationInfo info;
        info.setDeviceNameChange(true);
        info.setDeviceName(QStringLiteral("Quiet"));
        const Outcome outcome = runConfiguration(info);
        QVERIFY(outcome.ended);
        QVERIFY2(outcome.finished, qPrintable(outcome.error));
        QVERIFY(outcome.needReboot);
        QCOMPARE(ended.count(), 1);
        const auto result = ended.at(0).at(0).value<Orvane::Tavrix::Runtime::OperationResult>();
        QCOMPARE(result.outcome, Orvane::Tavrix::Runtime::OperationResult::Succeeded);
        QCOMPARE(result.message, QStringLiteral("The changes are saved, but the device did not confirm its restart."));
        if (fault.startsWith(QLatin1String("silent")))
            QVERIFY(dev.emulator().waitForCommand("#UNIX<reboot>#", 5000));
        verifyIdle();
    }

    void silentDeviceTimesOut_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("splash");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("lastCommand");
        QTest::newRow("save") << "silent:SVCF" << false
                              << "The operation timed out while saving the device configuration." << "#SVCF#";
        // The move after the splash upload and the final reboot are awaited under the watchdog too.
        QTest::newRow("splash move") << "silent:UNIX<mv ./tmp/user_splash" << true
                                     << "The operation timed out while installing the splash screen."
                                     << "#UNIX<mv ./tmp/user_splash1024x600.bmp ./qml/user_splash1024x600.bmp>#";
    }

    void silentDeviceTimesOut()
    {
        QFETCH(QString, fault);
        QFETCH(bool, splash);
        QFETCH(QString, error);
        QFETCH(QString, lastCommand);
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "CFG0014", "--populate", "--fault", fault }));
        const int mark = dev.emulator().commands().size();
        CalibrationInfo info;
        if (splash) {
            info.setSplashScreenData(patternBytes(1200, 14));
        } else {
            info.setDeviceNameChange(true);
            info.setDeviceName(QStringLiteral("Quiet"));
        }
        const Outcome outcome = runConfiguration(info);
        QVERIFY(outcome.ended);
        QCOMPARE(outcome.error, error);
        QVERIFY(outcome.needReboot);
        QVERIFY(dev.emulator().waitForCommand("#UNIX<reboot>#", 5000));
        const QStringList commands = commandsSince(dev.emulator(), mark);
        QCOMPARE(commands.at(commands.size() - 2), lastCommand);
        QCOMPARE(commands.last(), QStringLiteral("#UNIX<reboot>#"));
        verifyIdle();
    }

    void clockWithSplashRestore()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "CFG0015", "--populate", "--model", "QMX 50-B" }));
        const int mark = dev.emulator().commands().size();
        CalibrationInfo info;
        info.setRealTimeClock(true);
        info.setTimeZone(0);
        info.setRestoreSplashScreen(true);
        const Outcome outcome = runConfiguration(info);
        QVERIFY(outcome.ended);
        // The sync after the splash restore is answered and the run ends without a reboot.
        QVERIFY2(outcome.finished, qPrintable(outcome.error));
        QVERIFY(!outcome.needReboot);
        const QStringList commands = commandsSince(dev.emulator(), mark);
        QCOMPARE(commands.size(), 4);
        QVERIFY(commands.at(0).endsWith("    0>#"));
        QCOMPARE(commands.mid(1), QStringList({ "#CHBT<1>#", "#UNIX<cp ./splash480x272.bmp ./qml/user_splash480x272.bmp>#",
                                                "#SYNC#" }));
        QCOMPARE(dev.emulator().readFile("qml/user_splash480x272.bmp"), dev.emulator().readFile("splash480x272.bmp"));
        verifyIdle();
    }
};

QTEST_GUILESS_MAIN(TestConfiguration)
#include "tst_configuration.moc"
