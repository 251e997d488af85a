#ifndef SILENTSTEPCASES_H
#define SILENTSTEPCASES_H

#include "calibrationinfo.h"
#include "configurationinfo.h"
#include "connecteddevice.h"
#include "operationresult.h"
#include "serialportmanager.h"
#include "testutil.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// One row per step of every operation: the emulator stays silent after that step's
// command and the operation must end once with the step's time-out text. Shared by
// two test programs so that each stays well inside the time a test may take.
namespace SilentStepCases {

using Orvane::Tavrix::Common::CalibrationInfo;
using Orvane::Tavrix::Common::ConfigurationInfo;
using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::SerialPortManager;

// Starts the named operation against the emulated device.
inline bool start(const QString& action, DeviceEmulator& emulator, const QTemporaryDir& local, CalibrationInfo& info)
{
    SerialPortManager* m = SerialPortManager::instance();
    if (action == QLatin1String("upload") || action == QLatin1String("upload-staged")) {
        if (action == QLatin1String("upload-staged"))
            emulator.putFile(QStringLiteral("tmp/project/stale.qml"), "old");
        const QString main = local.filePath(QStringLiteral("project/main.qml"));
        const QString config = local.filePath(QStringLiteral("config.txrc"));
        writeFile(main, "Item { }");
        writeFile(config, "DefaultScreen=main.qml");
        return m->uploadProject({ main, config }, ConfigurationInfo());
    }
    if (action == QLatin1String("upgrade"))
        return m->upgradeDeviceSoftware(randomBytes(3000, 7));
    if (action == QLatin1String("project"))
        return m->retrieveProjectFiles(local.path());
    if (action == QLatin1String("datalog"))
        return m->retrieveDataLogFile(local.path());
    if (action == QLatin1String("update")) {
        const QString path = local.filePath(QStringLiteral("dataLogging.txdb"));
        writeFile(path, randomBytes(5000, 8));
        return m->updateLogFile(path);
    }
    if (action == QLatin1String("fonts-list"))
        return m->getInstalledFonts();
    if (action == QLatin1String("fonts-remove"))
        return m->manageFonts({}, { QStringLiteral("Old.ttf") });
    if (action == QLatin1String("fonts-add")) {
        const QString path = local.filePath(QStringLiteral("New.ttf"));
        writeFile(path, randomBytes(1500, 9));
        return m->manageFonts({ { path, 1500 } }, {});
    }
    if (action == QLatin1String("clock"))
        return m->syncDeviceClock(60);

    info = CalibrationInfo();
    if (action == QLatin1String("name")) {
        info.setDeviceNameChange(true);
        info.setDeviceName(QStringLiteral("Line 2"));
    } else if (action == QLatin1String("config-clock")) {
        info.setRealTimeClock(true);
        info.setTimeZone(60);
    } else if (action == QLatin1String("splash-restore")) {
        info.setRestoreSplashScreen(true);
    } else if (action == QLatin1String("splash-upload")) {
        info.setSplashScreenData(randomBytes(2000, 10));
    } else if (action == QLatin1String("calibration-backup")) {
        info.setBackup(true);
    } else {
        return false;
    }
    return m->configureDevice(&info);
}

// Rows for one group: "sending" (upload, upgrade, data log update, fonts) or "other".
inline void addRows(const QString& group)
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("silent");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    const bool sending = group == QLatin1String("sending");
    if (sending) {
        const int upload = OperationResult::ProjectUpload;
        QTest::newRow("upload mode") << "upload" << "MODE" << upload << "The operation timed out while uploading project files.";
        QTest::newRow("upload staging check") << "upload" << "UNIX<ls -r ./tmp/project" << upload
                                              << "The operation timed out while verifying the temporary folder.";
        QTest::newRow("upload staging removal") << "upload-staged" << "UNIX<rm -r ./tmp/project" << upload
                                                << "The operation timed out while removing the temporary project folder.";
        QTest::newRow("upload staging creation") << "upload" << "UNIX<mkdir ./tmp/project" << upload
                                                 << "The operation timed out while creating the temporary folder.";
        QTest::newRow("upload file") << "upload" << "LOAD" << upload << "The operation timed out while uploading project files.";
        QTest::newRow("upload project check") << "upload" << "UNIX<ls -r ./qml/project" << upload
                                              << "The operation timed out while verifying the project folder.";
        QTest::newRow("upload project removal") << "upload" << "UNIX<rm -r ./qml/project" << upload
                                                << "The operation timed out while removing the old project folder.";
        QTest::newRow("upload project creation") << "upload" << "UNIX<mkdir ./qml/project" << upload
                                                 << "The operation timed out while creating the project folder.";
        QTest::newRow("upload install") << "upload" << "UNIX<mv tmp/project" << upload
                                        << "The operation timed out while installing the project file.";
        QTest::newRow("upload default screen") << "upload" << "UNIX<mv tmp/config.txrc" << upload
                                               << "The operation timed out while installing the default screen.";
        QTest::newRow("upload data log check") << "upload" << "UNIX<ls qml/dataLogging.txdb" << upload
                                               << "The operation timed out while checking the data log file.";
        QTest::newRow("upload data log removal") << "upload" << "UNIX<rm qml/dataLogging.txdb" << upload
                                                 << "The operation timed out while removing data log file.";
        QTest::newRow("upload settings") << "upload" << "SVCF" << upload
                                         << "The operation timed out while saving the device configuration.";
        QTest::newRow("upload commit") << "upload" << "SYNC" << upload
                                       << "The operation timed out while waiting to commit the changes.";
    }
    if (sending) {
        QTest::newRow("upgrade") << "upgrade" << "RTLD" << int(OperationResult::SoftwareUpgrade)
                                 << "The operation timed out while upgrading the device software.";
    }
    if (!sending) {
        const int project = OperationResult::ProjectRetrieval;
        QTest::newRow("project list") << "project" << "GPFL" << project
                                      << "The connection timed out while retrieving project files information from the device.";
        QTest::newRow("project file") << "project" << "GETF" << project
                                      << "The connection timed out while retrieving project files from the device.";
    }
    if (!sending) {
        const int datalog = OperationResult::DataLogRetrieval;
        QTest::newRow("data log mode") << "datalog" << "MODE" << datalog
                                       << "The connection timed out while retrieving data log from the device.";
        QTest::newRow("data log file") << "datalog" << "GETF" << datalog
                                       << "The connection timed out while retrieving data log from the device.";
    }
    if (sending) {
        const int update = OperationResult::DataLogUpdate;
        QTest::newRow("update mode") << "update" << "MODE" << update << "The operation timed out while uploading project files.";
        QTest::newRow("update backup") << "update" << "UNIX<mv qml/dataLogging.txdb" << update
                                       << "The operation timed out while creating a backup of the data log on the device.";
        QTest::newRow("update file") << "update" << "LOAD" << update
                                     << "The operation timed out while updating the data log on the device.";
        QTest::newRow("update listing") << "update" << "UNIX<ls -r ./qml" << update
                                        << "The operation timed out while verifying the temporary folder.";
        QTest::newRow("update staged listing") << "update" << "UNIX<ls -r ./tmp" << update
                                               << "The operation timed out while verifying the temporary folder.";
        QTest::newRow("update install") << "update" << "UNIX<mv tmp/dataLogging.txdb" << update
                                        << "The operation timed out while moving updated log from temp folder.";
        QTest::newRow("update backup removal") << "update" << "UNIX<rm qml/dataLoggingBk.txdb" << update
                                               << "The operation timed out while removing the backup of the data log on the device.";
    }
    if (!sending) {
        const int configuration = OperationResult::Configuration;
        QTest::newRow("name change") << "name" << "SNAM" << configuration
                                     << "The operation timed out while setting device name.";
        QTest::newRow("name saved") << "name" << "SVCF" << configuration
                                    << "The operation timed out while saving the device configuration.";
        QTest::newRow("name committed") << "name" << "SYNC" << configuration
                                        << "The operation timed out while waiting to commit the changes.";
        QTest::newRow("configuration clock") << "config-clock" << "DTIM" << configuration
                                             << "The operation timed out while setting the device clock.";
        QTest::newRow("battery check") << "config-clock" << "CHBT" << configuration
                                       << "The operation timed out while configure battery low check to the device.";
        QTest::newRow("splash restore") << "splash-restore" << "UNIX<cp" << configuration
                                        << "The operation timed out while restoring the splash screen to default.";
        QTest::newRow("splash mode") << "splash-upload" << "MODE" << configuration
                                     << "The operation timed out while configure splash screen to the device.";
        QTest::newRow("splash file") << "splash-upload" << "LOAD" << configuration
                                     << "The operation timed out while transferring the splash screen image.";
        QTest::newRow("splash install") << "splash-upload" << "UNIX<mv" << configuration
                                        << "The operation timed out while installing the splash screen.";
        QTest::newRow("calibration mode") << "calibration-backup" << "MODE" << configuration
                                          << "The operation timed out while backup calibration file from the device.";
        QTest::newRow("calibration file") << "calibration-backup" << "GETF" << configuration
                                          << "The operation timed out while fetching the calibration file from the device.";
    }
    if (sending) {
        QTest::newRow("font list") << "fonts-list" << "GFFS" << int(OperationResult::FontListing)
                                   << "The connection timed out while retrieving the installed fonts from the device.";
        const int fonts = OperationResult::FontManagement;
        QTest::newRow("font removal") << "fonts-remove" << "RMFS" << fonts
                                      << "The operation timed out while sending request to remove the selected fonts from the device.";
        QTest::newRow("font mode") << "fonts-add" << "MODE" << fonts << "The operation timed out while upload fonts to the device.";
        QTest::newRow("font file") << "fonts-add" << "LOAD" << fonts
                                   << "The connection timed out while uploading the selected fonts to the device.";
        QTest::newRow("font install") << "fonts-add" << "SYNC" << fonts
                                      << "The connection timed out while installing the uploaded fonts on the device.";
    }
    if (!sending) {
        QTest::newRow("clock command") << "clock" << "DTIM" << int(OperationResult::Command)
                                       << "The operation timed out while setting the device clock.";
    }
}

// The body of the test: one row.
inline void run()
{
    QFETCH(QString, action);
    QFETCH(QString, silent);
    QFETCH(int, kind);
    QFETCH(QString, text);

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--populate"), QStringLiteral("--fault"), QStringLiteral("silent:") + silent }));
    SerialPortManager* m = SerialPortManager::instance();
    QSignalSpy ended(m, &SerialPortManager::operationEnded);
    QTemporaryDir local;
    QVERIFY(local.isValid());
    CalibrationInfo info;
    QVERIFY(start(action, device.emulator(), local, info));
    QVERIFY(ended.wait(60000) || ended.count() == 1);
    QTest::qWait(300);
    QCOMPARE(ended.count(), 1);
    const auto result = ended.at(0).at(0).value<OperationResult>();
    QCOMPARE(int(result.kind), kind);
    QCOMPARE(result.outcome, OperationResult::TimedOut);
    QCOMPARE(result.message, text);
    QCOMPARE(result.port, device.port());
    // The silence hit the intended step: the silenced command was the last before the end.
    const QStringList commands = sequenceCommands(device);
    int last = commands.size() - 1;
    while (last >= 0 && (commands.at(last) == QLatin1String("#UNIX<reboot>#") || commands.at(last).startsWith(QLatin1String("#UNIX<mv qml/dataLoggingBk"))
                         || commands.at(last) == QLatin1String("\x18\x18")))
        --last;
    QVERIFY2(last >= 0 && commands.at(last).startsWith(QLatin1Char('#') + silent), qPrintable(commands.join(QLatin1Char(' '))));
    QVERIFY(!m->isSerialPortOpen());
    QCOMPARE(m->currentOperation(), 0);
}

} // namespace SilentStepCases

#endif // SILENTSTEPCASES_H
