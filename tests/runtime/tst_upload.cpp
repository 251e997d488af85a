// Project upload against the emulated device: command order, device folder afterwards,
// progress accounting, refusals, time-out and a pulled cable.
#include "connecteddevice.h"
#include "testutil.h"

#include "configurationinfo.h"
#include "enumhelper.h"
#include "localizationhelper.h"
#include "serialportmanager.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using Orvane::Tavrix::Common::ConfigurationInfo;
using Orvane::Tavrix::Common::EnumHelper;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

QStringList firstArguments(const QSignalSpy& spy)
{
    QStringList values;
    for (const QList<QVariant>& args : spy)
        values << args.at(0).toString();
    return values;
}

ConfigurationInfo::ChannelMap channels(std::initializer_list<EnumHelper::InputOutputType> types)
{
    ConfigurationInfo::ChannelMap map;
    int channel = 0;
    for (EnumHelper::InputOutputType type : types)
        map.insert(channel++, type);
    return map;
}

// A device home with the given relative files (and the tmp and qml folders).
QString makeDeviceRoot(const QTemporaryDir& dir, const QMap<QString, QByteArray>& files)
{
    const QString root = dir.filePath(QStringLiteral("device"));
    QDir().mkpath(root + QStringLiteral("/tmp"));
    QDir().mkpath(root + QStringLiteral("/qml"));
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        writeFile(root + QLatin1Char('/') + it.key(), it.value());
    return root;
}

} // namespace

class TestUpload : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void uploadReplacesProjectAndAppliesSettings();
    void uploadWithStagingFolderCanConfigAndNoProject();
    void refusalEndsUploadWithoutReboot_data();
    void refusalEndsUploadWithoutReboot();
    void unusableFileFailsBeforeDeviceIsTouched_data();
    void unusableFileFailsBeforeDeviceIsTouched();
    void startRequestWithAcceptanceIsNotLost_data();
    void startRequestWithAcceptanceIsNotLost();
    void silentDeviceTimesOutAndReboots();
    void unplugDuringTransferReportsLostDevice();
};

void TestUpload::cleanup()
{
    SerialPortManager* manager = SerialPortManager::instance();
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isSerialPortOpen(), 10000);
    QCOMPARE(manager->currentOperation(), 0);
    QVERIFY(!manager->isBusy());
}

// Default device: sample project, a data log, no staging folder.
void TestUpload::uploadReplacesProjectAndAppliesSettings()
{
    QTemporaryDir local;
    QVERIFY(local.isValid());
    const QByteArray mainQml = "import QtQuick 2.0\nItem { }\n";
    const QByteArray logo = randomBytes(2500, 1);
    const QByteArray archive = randomBytes(1024, 2);
    const QByteArray config = "DefaultScreen=main.qml\n";
    const QString mainPath = local.filePath(QStringLiteral("project/main.qml"));
    const QString logoPath = local.filePath(QStringLiteral("project/images/logo.png"));
    const QString archivePath = local.filePath(QStringLiteral("project/data/fonts.zip"));
    const QString configPath = local.filePath(QStringLiteral("config.txrc"));
    QVERIFY(writeFile(mainPath, mainQml));
    QVERIFY(writeFile(logoPath, logo));
    QVERIFY(writeFile(archivePath, archive));
    QVERIFY(writeFile(configPath, config));
    const QStringList files = { mainPath, logoPath, archivePath, configPath };
    const int total = int(mainQml.size() + logo.size() + archive.size() + config.size());

    ConfigurationInfo projectConfig;
    projectConfig.setDisplayBrightness(70);
    projectConfig.setSerialCOMPorts({ { 1, EnumHelper::ComType }, { 2, EnumHelper::Direction } });
    using E = EnumHelper;
    projectConfig.setDigitalInputOutputs(channels({ E::InputType, E::InputType, E::OutputType, E::UnusedType,
                                                    E::InputType, E::OutputType, E::UnusedType, E::InputType,
                                                    E::InputType, E::OutputType, E::UnusedType, E::InputType }));

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--populate") }));
    const QString root = device.emulator().rootPath();
    QVERIFY(QFileInfo::exists(root + QStringLiteral("/qml/dataLogging.txdb")));
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/tmp/project")));

    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy finished(manager, &SerialPortManager::progressFinished);
    QSignalSpy error(manager, &SerialPortManager::progressError);
    QSignalSpy updated(manager, &SerialPortManager::progressUpdated);
    QSignalSpy fileChanged(manager, &SerialPortManager::currentFileChanged);
    QSignalSpy messages(manager, &SerialPortManager::progressMessage);
    QSignalSpy configStarted(manager, &SerialPortManager::projectConfigurationStarted);
    QSignalSpy configFinished(manager, &SerialPortManager::projectConfigurationFinished);

    manager->uploadProject(files, projectConfig);
    QVERIFY(finished.wait(60000) || finished.count() == 1);
    QCOMPARE(error.count(), 0);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QCOMPARE(sum(updated), total);
    QCOMPARE(firstArguments(fileChanged), files);
    QCOMPARE(configStarted.count(), 1);
    QCOMPARE(configFinished.count(), 1);
    const QStringList shown = firstArguments(messages);
    QVERIFY(shown.contains(rt("No temporary folder on device.")));
    QVERIFY(!shown.contains(rt("No project folder on device.")));
    QCOMPARE(shown.last(), rt("Device restarting..."));

    QStringList expected = {
        QStringLiteral("#FINF<%1>#").arg(total),
        QStringLiteral("#MODE<1>#"),
        QStringLiteral("#UNIX<ls -r ./tmp/project>#"),
        QStringLiteral("#UNIX<mkdir ./tmp/project>#"),
        QStringLiteral("#LOAD<project/main.qml>%1#").arg(mainQml.size()),
        QStringLiteral("#LOAD<project/logo.png>%1#").arg(logo.size()),
        QStringLiteral("#LOAD<project/fonts.zip>%1#").arg(archive.size()),
        QStringLiteral("#LOAD<config.txrc>%1#").arg(config.size()),
        QStringLiteral("#UNIX<ls -r ./qml/project>#"),
        QStringLiteral("#UNIX<rm -r ./qml/project>#"),
        QStringLiteral("#UNIX<mkdir ./qml/project>#"),
        QStringLiteral("#UNIX<mv tmp/project qml>#"),
        QStringLiteral("#UNIX<mv tmp/config.txrc qml/config.txrc>#"),
        QStringLiteral("#UNIX<ls qml/dataLogging.txdb>#"),
        QStringLiteral("#UNIX<rm qml/dataLogging.txdb>#"),
        QStringLiteral("#BKLT<70>#"),
        QStringLiteral("#DRPN<1>#"),
        QStringLiteral("#DIGC<00><IN>#"),
        QStringLiteral("#DIGC<01><IN>#"),
        QStringLiteral("#DIGC<02><OUT><LO>#"),
        QStringLiteral("#DIGC<03><UNU>#"),
        QStringLiteral("#DIGC<04><IN>#"),
        QStringLiteral("#DIGC<05><OUT><LO>#"),
        QStringLiteral("#DIGC<06><UNU>#"),
        // The RS-485 direction on pin 1 takes over channel 7.
        QStringLiteral("#DIGC<07><OUT><LO>#"),
        QStringLiteral("#DIGC<08><IN>#"),
        QStringLiteral("#DIGC<09><OUT><LO>#"),
        QStringLiteral("#DIGC<10><UNU>#"),
        QStringLiteral("#DIGC<11><IN>#"),
        QStringLiteral("#DORI<0>#"),
        QStringLiteral("#SVCF#"),
        QStringLiteral("#SYNC#"),
        QStringLiteral("#BOOT#"),
    };
    QCOMPARE(sequenceCommands(device), expected);

    // The project lands flat, the old one and the data log are gone, nothing is left staged.
    QCOMPARE(filesBelow(root + QStringLiteral("/qml/project")),
             QStringList({ QStringLiteral("fonts.zip"), QStringLiteral("logo.png"), QStringLiteral("main.qml") }));
    QCOMPARE(readFile(root + QStringLiteral("/qml/project/main.qml")), mainQml);
    QCOMPARE(readFile(root + QStringLiteral("/qml/project/logo.png")), logo);
    QCOMPARE(readFile(root + QStringLiteral("/qml/project/fonts.zip")), archive);
    QCOMPARE(readFile(root + QStringLiteral("/qml/config.txrc")), config);
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/qml/dataLogging.txdb")));
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/tmp/project")));
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/tmp/config.txrc")));
}

// A staging folder left over, no installed project, no data log; the project carries a CAN configuration.
void TestUpload::uploadWithStagingFolderCanConfigAndNoProject()
{
    QTemporaryDir local;
    QVERIFY(local.isValid());
    const QString root = makeDeviceRoot(local, { { QStringLiteral("tmp/project/stale.qml"), "old" } });
    const QByteArray mainQml = randomBytes(4096, 3);
    const QByteArray config = "DefaultScreen=main.qml\n";
    const QByteArray canConfig = "bitrate=250000\n";
    const QString mainPath = local.filePath(QStringLiteral("src/project/main.qml"));
    const QString configPath = local.filePath(QStringLiteral("src/config.txrc"));
    const QString canPath = local.filePath(QStringLiteral("src/canConfig.txrc"));
    QVERIFY(writeFile(mainPath, mainQml));
    QVERIFY(writeFile(configPath, config));
    QVERIFY(writeFile(canPath, canConfig));

    ConfigurationInfo projectConfig;
    projectConfig.setDisplayBrightness(100);
    projectConfig.setSerialCOMPorts({ { 2, EnumHelper::Direction }, { 3, EnumHelper::Direction } });
    using E = EnumHelper;
    projectConfig.setDigitalInputOutputs(channels({ E::UnusedType, E::UnusedType, E::UnusedType, E::UnusedType,
                                                    E::UnusedType, E::UnusedType, E::UnusedType, E::InputType }));

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--root"), root }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy finished(manager, &SerialPortManager::progressFinished);
    QSignalSpy error(manager, &SerialPortManager::progressError);
    QSignalSpy updated(manager, &SerialPortManager::progressUpdated);
    QSignalSpy messages(manager, &SerialPortManager::progressMessage);

    // The caller's total is announced as given.
    manager->uploadProject({ mainPath, configPath, canPath }, projectConfig, 777777);
    QVERIFY(finished.wait(60000) || finished.count() == 1);
    QCOMPARE(error.count(), 0);
    QCOMPARE(sum(updated), int(mainQml.size() + config.size() + canConfig.size()));
    const QStringList shown = firstArguments(messages);
    QVERIFY(!shown.contains(rt("No temporary folder on device.")));
    QVERIFY(shown.contains(rt("No project folder on device.")));

    const QStringList expected = {
        QStringLiteral("#FINF<777777>#"),
        QStringLiteral("#MODE<1>#"),
        QStringLiteral("#UNIX<ls -r ./tmp/project>#"),
        QStringLiteral("#UNIX<rm -r ./tmp/project>#"),
        QStringLiteral("#UNIX<mkdir ./tmp/project>#"),
        QStringLiteral("#LOAD<project/main.qml>%1#").arg(mainQml.size()),
        QStringLiteral("#LOAD<config.txrc>%1#").arg(config.size()),
        QStringLiteral("#LOAD<canConfig.txrc>%1#").arg(canConfig.size()),
        QStringLiteral("#UNIX<ls -r ./qml/project>#"),
        QStringLiteral("#UNIX<mkdir ./qml/project>#"),
        QStringLiteral("#UNIX<mv tmp/project qml>#"),
        QStringLiteral("#UNIX<mv tmp/config.txrc qml/config.txrc>#"),
        QStringLiteral("#UNIX<mv tmp/canConfig.txrc qml/canConfig.txrc>#"),
        QStringLiteral("#UNIX<ls qml/dataLogging.txdb>#"),
        QStringLiteral("#BKLT<100>#"),
        // Port 3 wins: pin 0, so channel 7 keeps its own role.
        QStringLiteral("#DRPN<1>#"),
        QStringLiteral("#DRPN<0>#"),
        QStringLiteral("#DIGC<00><UNU>#"),
        QStringLiteral("#DIGC<01><UNU>#"),
        QStringLiteral("#DIGC<02><UNU>#"),
        QStringLiteral("#DIGC<03><UNU>#"),
        QStringLiteral("#DIGC<04><UNU>#"),
        QStringLiteral("#DIGC<05><UNU>#"),
        QStringLiteral("#DIGC<06><UNU>#"),
        QStringLiteral("#DIGC<07><IN>#"),
        QStringLiteral("#DORI<0>#"),
        QStringLiteral("#SVCF#"),
        QStringLiteral("#SYNC#"),
        QStringLiteral("#BOOT#"),
    };
    QCOMPARE(sequenceCommands(device), expected);

    QCOMPARE(filesBelow(root + QStringLiteral("/qml/project")), QStringList({ QStringLiteral("main.qml") }));
    QCOMPARE(readFile(root + QStringLiteral("/qml/project/main.qml")), mainQml);
    QCOMPARE(readFile(root + QStringLiteral("/qml/config.txrc")), config);
    QCOMPARE(readFile(root + QStringLiteral("/qml/canConfig.txrc")), canConfig);
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/tmp/project")));
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/tmp/canConfig.txrc")));
}

void TestUpload::refusalEndsUploadWithoutReboot_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("staged");     // a staging folder exists on the device
    QTest::addColumn<bool>("withCan");    // the project carries a CAN configuration
    QTest::addColumn<QString>("failing"); // the command that is refused, the last one written
    QTest::addColumn<QString>("text");

    QTest::newRow("remove staging") << "UNIX<rm -r ./tmp/project" << true << false
                                    << "#UNIX<rm -r ./tmp/project>#" << "Failed to remove the old temporary folder.";
    QTest::newRow("create staging") << "UNIX<mkdir ./tmp/project" << false << false
                                    << "#UNIX<mkdir ./tmp/project>#" << "Failed to create the temporary folder.";
    QTest::newRow("remove project") << "UNIX<rm -r ./qml/project" << false << false
                                    << "#UNIX<rm -r ./qml/project>#" << "Failed to remove the old project folder.";
    QTest::newRow("create project") << "UNIX<mkdir ./qml/project" << false << false
                                    << "#UNIX<mkdir ./qml/project>#" << "Failed to create the project folder.";
    QTest::newRow("install project") << "UNIX<mv tmp/project" << false << false
                                     << "#UNIX<mv tmp/project qml>#" << "Failed to set up the project folder.";
    QTest::newRow("install config") << "UNIX<mv tmp/config.txrc" << false << true
                                    << "#UNIX<mv tmp/config.txrc qml/config.txrc>#" << "Failed to set up the default screen.";
    QTest::newRow("install can config") << "UNIX<mv tmp/canConfig.txrc" << false << true
                                        << "#UNIX<mv tmp/canConfig.txrc qml/canConfig.txrc>#"
                                        << "Failed to set up the default screen.";
    QTest::newRow("remove data log") << "UNIX<rm qml/dataLogging.txdb" << false << false
                                     << "#UNIX<rm qml/dataLogging.txdb>#" << "Failed to remove data log file.";
    QTest::newRow("save configuration") << "SVCF" << false << false << "#SVCF#" << "Failed to configure the device.";
}

void TestUpload::refusalEndsUploadWithoutReboot()
{
    QFETCH(QString, fault);
    QFETCH(bool, staged);
    QFETCH(bool, withCan);
    QFETCH(QString, failing);
    QFETCH(QString, text);

    QTemporaryDir local;
    QVERIFY(local.isValid());
    QMap<QString, QByteArray> deviceFiles = { { QStringLiteral("qml/project/main.qml"), "old" },
                                              { QStringLiteral("qml/dataLogging.txdb"), "log" } };
    if (staged)
        deviceFiles.insert(QStringLiteral("tmp/project/stale.qml"), "stale");
    const QString root = makeDeviceRoot(local, deviceFiles);
    QStringList files = { local.filePath(QStringLiteral("p/project/main.qml")), local.filePath(QStringLiteral("p/config.txrc")) };
    QVERIFY(writeFile(files.at(0), "Item { }"));
    QVERIFY(writeFile(files.at(1), "DefaultScreen=main.qml"));
    if (withCan) {
        files << local.filePath(QStringLiteral("p/canConfig.txrc"));
        QVERIFY(writeFile(files.last(), "can"));
    }

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--root"), root, QStringLiteral("--fault"), QStringLiteral("error:") + fault }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy finished(manager, &SerialPortManager::progressFinished);
    QSignalSpy error(manager, &SerialPortManager::progressError);

    manager->uploadProject(files, ConfigurationInfo());
    QVERIFY(error.wait(60000) || error.count() == 1);
    QCOMPARE(error.count(), 1);
    QCOMPARE(error.at(0).at(0).toString(), rt(text));
    QCOMPARE(error.at(0).at(1).toBool(), false);
    QCOMPARE(finished.count(), 0);
    QVERIFY(!manager->isSerialPortOpen());

    // A refusal is not followed by any further command, no reboot of any kind.
    QTest::qWait(300);
    const QStringList commands = sequenceCommands(device);
    QVERIFY(!commands.isEmpty());
    QCOMPARE(commands.last(), failing);
    QVERIFY(!commands.contains(QStringLiteral("#BOOT#")));
    QVERIFY(!commands.contains(QStringLiteral("#UNIX<reboot>#")));
}

void TestUpload::unusableFileFailsBeforeDeviceIsTouched_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::newRow("missing") << "missing" << "The project file %1 cannot be read.";
    QTest::newRow("folder") << "folder" << "The project file %1 cannot be read.";
    QTest::newRow("empty") << "empty" << "The project file %1 is empty.";
}

void TestUpload::unusableFileFailsBeforeDeviceIsTouched()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);

    QTemporaryDir local;
    QVERIFY(local.isValid());
    const QString good = local.filePath(QStringLiteral("project/main.qml"));
    const QString bad = local.filePath(QStringLiteral("project/broken.png"));
    const QString config = local.filePath(QStringLiteral("config.txrc"));
    QVERIFY(writeFile(good, "Item { }"));
    QVERIFY(writeFile(config, "DefaultScreen=main.qml"));
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(bad));
    else if (kind == QLatin1String("empty"))
        QVERIFY(writeFile(bad, QByteArray()));

    ConnectedDevice device;
    QVERIFY(startDevice(device));
    const QStringList before = sequenceCommands(device);
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy error(manager, &SerialPortManager::progressError);
    QSignalSpy finished(manager, &SerialPortManager::progressFinished);

    manager->uploadProject({ good, bad, config }, ConfigurationInfo());
    QCOMPARE(error.count(), 1);
    QCOMPARE(error.at(0).at(0).toString(), rt(text).arg(bad));
    QCOMPARE(error.at(0).at(1).toBool(), false);
    QVERIFY(!manager->isSerialPortOpen());
    QTest::qWait(300);
    QCOMPARE(finished.count(), 0);
    QCOMPARE(sequenceCommands(device), before);
}

// A device that asks for the file at once sends "C" right behind "<LOAD:ACK>", often in
// the same read, and does not ask again for a minute: the request must not be dropped.
void TestUpload::startRequestWithAcceptanceIsNotLost_data()
{
    QTest::addColumn<QString>("throttle");
    QTest::newRow("fast line") << "0";
    QTest::newRow("115200 baud") << "11520";
}

void TestUpload::startRequestWithAcceptanceIsNotLost()
{
    QFETCH(QString, throttle);
    QTemporaryDir local;
    QVERIFY(local.isValid());
    QStringList files;
    for (int i = 0; i < 3; ++i) {
        files << local.filePath(QStringLiteral("project/f%1.png").arg(i));
        QVERIFY(writeFile(files.last(), randomBytes(1500, quint32(10 + i))));
    }
    files << local.filePath(QStringLiteral("config.txrc"));
    QVERIFY(writeFile(files.last(), "DefaultScreen=main.qml"));

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--populate"), QStringLiteral("--c-delay"), QStringLiteral("0"),
                                  QStringLiteral("--c-interval"), QStringLiteral("60000"),
                                  QStringLiteral("--throttle"), throttle }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy finished(manager, &SerialPortManager::progressFinished);
    QSignalSpy error(manager, &SerialPortManager::progressError);

    manager->uploadProject(files, ConfigurationInfo());
    QVERIFY(finished.wait(60000) || finished.count() == 1);
    QCOMPARE(error.count(), 0);
    QCOMPARE(device.emulator().events(QStringLiteral("file-received")).size(), files.size());
}

void TestUpload::silentDeviceTimesOutAndReboots()
{
    QTemporaryDir local;
    QVERIFY(local.isValid());
    const QString file = local.filePath(QStringLiteral("project/main.qml"));
    QVERIFY(writeFile(file, "Item { }"));

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--populate"), QStringLiteral("--fault"), QStringLiteral("silent:LOAD") }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy error(manager, &SerialPortManager::progressError);

    manager->uploadProject({ file }, ConfigurationInfo());
    QVERIFY(error.wait(30000) || error.count() == 1);
    QCOMPARE(error.count(), 1);
    QCOMPARE(error.at(0).at(0).toString(), rt("The operation timed out while uploading project files."));
    QCOMPARE(error.at(0).at(1).toBool(), true);
    QVERIFY(device.emulator().waitForCommand(QStringLiteral("#UNIX<reboot>#"), 5000));
    const QStringList commands = sequenceCommands(device);
    QCOMPARE(commands.mid(commands.size() - 2),
             QStringList({ QStringLiteral("#LOAD<project/main.qml>8#"), QStringLiteral("#UNIX<reboot>#") }));
}

void TestUpload::unplugDuringTransferReportsLostDevice()
{
    QTemporaryDir local;
    QVERIFY(local.isValid());
    const QString first = local.filePath(QStringLiteral("project/a.png"));
    const QString second = local.filePath(QStringLiteral("project/b.png"));
    QVERIFY(writeFile(first, randomBytes(3000, 4)));
    QVERIFY(writeFile(second, randomBytes(3000, 5)));

    ConnectedDevice device;
    QVERIFY(startDevice(device, { QStringLiteral("--populate"), QStringLiteral("--fault"), QStringLiteral("unplug:LOAD<project/b.png") }));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy error(manager, &SerialPortManager::progressError);
    QSignalSpy finished(manager, &SerialPortManager::progressFinished);

    manager->uploadProject({ first, second }, ConfigurationInfo());
    QVERIFY(error.wait(30000) || error.count() == 1);
    QCOMPARE(error.count(), 1);
    QCOMPARE(error.at(0).at(0).toString(), rt("The connection to the device was lost."));
    QCOMPARE(error.at(0).at(1).toBool(), true);
    QCOMPARE(finished.count(), 0);
    QVERIFY(device.waitForRemoval());
}

QTEST_GUILESS_MAIN(TestUpload)
#include "tst_upload.moc"
