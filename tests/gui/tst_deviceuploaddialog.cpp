// The upload window driven as a user would, against the emulated device reached
// through its /dev/pts path: progress, countdown, refusals, time-out and unplug.
#include "englishtexts.h"
#include "modaldriver.h"
#include "testutil.h"
#include "tst_deviceupload_support.h"

#include "configurationinfo.h"
#include "deviceuploaddialog.h"
#include "localizationhelper.h"
#include "messagebox.h"
#include "operationrun.h"
#include "devicelink.h"
#include "serialportmanager.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using Orvane::Tavrix::Common::ConfigurationInfo;
using Orvane::Tavrix::Common::LocalizationHelper;
using Orvane::Tavrix::Designer::DeviceUploadDialog;
using Orvane::Tavrix::Designer::MessageBox;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::OperationRun;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

QString gui(const QString& key)
{
    return LocalizationHelper::guiString(key);
}

bool isUploadDialog(QWidget* w)
{
    return qobject_cast<DeviceUploadDialog*>(w) != nullptr;
}

bool isBoxSaying(QWidget* w, const QString& text)
{
    return qobject_cast<MessageBox*>(w) && labelTexts(w).contains(text);
}

// A project folder as the row unpacks it: "project" with screens and pictures, "config.txrc".
struct Project
{
    QTemporaryDir dir;
    QByteArray mainQml = "import QtQuick 2.0\nRectangle { color: \"navy\" }\n";
    QByteArray picture = randomBytes(2500, 11);
    QByteArray archive = randomBytes(1300, 12);
    QByteArray config = "DefaultScreen=project/main.qml\n";

    QString folder() const { return dir.path(); }
    bool write()
    {
        return writeFile(dir.filePath(QStringLiteral("project/main.qml")), mainQml)
            && writeFile(dir.filePath(QStringLiteral("project/Logo.PNG")), picture)
            && writeFile(dir.filePath(QStringLiteral("project/assets.zip")), archive)
            && writeFile(dir.filePath(QStringLiteral("project/notes.txt")), "not sent")
            && writeFile(dir.filePath(QStringLiteral("config.txrc")), config);
    }
    int total() const { return int(mainQml.size() + picture.size() + archive.size() + config.size()); }
};

ConfigurationInfo configuration(int brightness)
{
    ConfigurationInfo info;
    info.setDisplayBrightness(brightness);
    return info;
}

} // namespace

class TestDeviceUploadDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void uploadShowsProgressAndClosesAfterCountdown();
    void escapeAndWindowCloseAskToWaitWhileUploading();
    void deviceRefusalLeavesDialogOpenWithClose();
    void timeOutAndUnplugCloseAfterTheMessage_data();
    void timeOutAndUnplugCloseAfterTheMessage();
    void emptyProjectIsReportedAndCanBeClosed();
    void busyManagerDoesNotLeaveDialogWaiting();
};

void TestDeviceUploadDialog::initTestCase()
{
    useEnglishTexts();
    QVERIFY(registerProgramResources());
    QVERIFY(SerialPortManager::instance());
}

void TestDeviceUploadDialog::cleanup()
{
    cancelModalPolls();
    SerialPortManager* manager = SerialPortManager::instance();
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isSerialPortOpen(), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isBusy(), 5000);
}

void TestDeviceUploadDialog::uploadShowsProgressAndClosesAfterCountdown()
{
    Project project;
    QVERIFY(project.write());
    PtsDevice device;
    QVERIFY(device.start({ QStringLiteral("--populate") }));
    const QString root = device.emulator.rootPath();
    QVERIFY(QFileInfo::exists(root + QStringLiteral("/qml/dataLogging.txdb")));

    SerialPortManager* manager = SerialPortManager::instance();
    DeviceUploadDialog dialog(project.folder(), configuration(100)); // the brightness at its limit
    const QStringList files = dialog.files();
    // Names are matched in lower case; other extensions are not sent; the configuration comes last.
    QCOMPARE(files, QStringList({ project.dir.filePath(QStringLiteral("project/assets.zip")),
                                  project.dir.filePath(QStringLiteral("project/Logo.PNG")),
                                  project.dir.filePath(QStringLiteral("project/main.qml")),
                                  project.dir.filePath(QStringLiteral("config.txrc")) }));
    QCOMPARE(dialog.totalSize(), qint64(project.total()));
    QCOMPARE(dialog.objectName(), QStringLiteral("general"));
    QCOMPARE(dialog.windowTitle(), gui(QStringLiteral("Upload Project")));

    auto* counter = dialog.findChild<QLabel*>(QStringLiteral("counterLabel"));
    auto* fileBar = dialog.findChild<QProgressBar*>(QStringLiteral("currentFileProgressBar"));
    auto* overallBar = dialog.findChild<QProgressBar*>(QStringLiteral("overallProgressBar"));
    auto* check = dialog.findChild<QCheckBox*>(QStringLiteral("configurationCheckBox"));
    auto* button = dialog.findChild<QPushButton*>(QStringLiteral("closeButton"));
    QVERIFY(counter && fileBar && overallBar && check && button);
    QCOMPARE(counter->text(), QStringLiteral("0/4"));
    QCOMPARE(button->text(), gui(QStringLiteral("Uploading")));
    QVERIFY(!button->isEnabled());
    QCOMPARE(overallBar->maximum(), project.total());

    // What the user sees at each step, read after the dialog has handled the signal.
    QStringList counters;
    QList<Qt::CheckState> checkStates;
    // The dialog works on its device's own link.
    DeviceLink* link = manager->link(device.port);
    QVERIFY(link);
    connect(link, &DeviceLink::currentFileChanged, &dialog, [&]() { counters << counter->text(); });
    connect(link, &DeviceLink::projectConfigurationStarted, &dialog, [&]() { checkStates << check->checkState(); });
    connect(link, &DeviceLink::projectConfigurationFinished, &dialog, [&]() { checkStates << check->checkState(); });
    QSignalSpy brightness(&dialog, &DeviceUploadDialog::brightnessChanged);
    QSignalSpy ended(&dialog, &DeviceUploadDialog::uploadEnded);
    QElapsedTimer sinceEnd;
    int fileBarAtEnd = -1;
    int overallAtEnd = -1;
    connect(&dialog, &DeviceUploadDialog::uploadEnded, &dialog, [&]() {
        sinceEnd.start();
        fileBarAtEnd = fileBar->value();
        overallAtEnd = overallBar->value();
    });
    TextRecorder<QPushButton> buttonTexts(button);

    dialog.exec();
    QVERIFY(sinceEnd.isValid());
    // Three one-second steps; the machine may be slow but never faster.
    QVERIFY2(sinceEnd.elapsed() >= 2800, qPrintable(QString::number(sinceEnd.elapsed())));

    QCOMPARE(counters, QStringList({ QStringLiteral("1/4"), QStringLiteral("2/4"), QStringLiteral("3/4"), QStringLiteral("4/4") }));
    QCOMPARE(fileBarAtEnd, fileBar->maximum());
    QCOMPARE(fileBar->maximum(), project.config.size());
    QCOMPARE(overallAtEnd, project.total());
    QCOMPARE(checkStates, QList<Qt::CheckState>({ Qt::PartiallyChecked, Qt::Checked }));
    QCOMPARE(brightness.count(), 1);
    QCOMPARE(brightness.at(0).at(0).toInt(), 100);
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.at(0).at(0).toBool(), true);
    QStringList shown = buttonTexts.texts();
    shown.removeAll(gui(QStringLiteral("Uploading")));
    // "Close (0)" is replaced by the closing at once; a fast look may still catch it.
    shown.removeAll(gui(QStringLiteral("Close (%1)")).arg(0));
    QCOMPARE(shown.join(QLatin1Char('|')), QStringList({ gui(QStringLiteral("Close (%1)")).arg(3), gui(QStringLiteral("Close (%1)")).arg(2),
                                  gui(QStringLiteral("Close (%1)")).arg(1) }).join(QLatin1Char('|')));

    const QStringList expected = {
        QStringLiteral("#FINF<%1>#").arg(project.total()),
        QStringLiteral("#MODE<1>#"),
        QStringLiteral("#UNIX<ls -r ./tmp/project>#"),
        QStringLiteral("#UNIX<mkdir ./tmp/project>#"),
        QStringLiteral("#LOAD<project/assets.zip>%1#").arg(project.archive.size()),
        QStringLiteral("#LOAD<project/Logo.PNG>%1#").arg(project.picture.size()),
        QStringLiteral("#LOAD<project/main.qml>%1#").arg(project.mainQml.size()),
        QStringLiteral("#LOAD<config.txrc>%1#").arg(project.config.size()),
        QStringLiteral("#UNIX<ls -r ./qml/project>#"),
        QStringLiteral("#UNIX<rm -r ./qml/project>#"),
        QStringLiteral("#UNIX<mkdir ./qml/project>#"),
        QStringLiteral("#UNIX<mv tmp/project qml>#"),
        QStringLiteral("#UNIX<mv tmp/config.txrc qml/config.txrc>#"),
        QStringLiteral("#UNIX<ls qml/dataLogging.txdb>#"),
        QStringLiteral("#UNIX<rm qml/dataLogging.txdb>#"),
        QStringLiteral("#BKLT<100>#"),
        QStringLiteral("#DORI<0>#"),
        QStringLiteral("#SVCF#"),
        QStringLiteral("#SYNC#"),
        QStringLiteral("#BOOT#"),
    };
    QCOMPARE(device.commands(), expected);
    QCOMPARE(filesBelow(root + QStringLiteral("/qml/project")),
             QStringList({ QStringLiteral("Logo.PNG"), QStringLiteral("assets.zip"), QStringLiteral("main.qml") }));
    QCOMPARE(readFile(root + QStringLiteral("/qml/project/main.qml")), project.mainQml);
    QCOMPARE(readFile(root + QStringLiteral("/qml/project/Logo.PNG")), project.picture);
    QCOMPARE(readFile(root + QStringLiteral("/qml/project/assets.zip")), project.archive);
    QCOMPARE(readFile(root + QStringLiteral("/qml/config.txrc")), project.config);
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/qml/dataLogging.txdb")));
}

void TestDeviceUploadDialog::escapeAndWindowCloseAskToWaitWhileUploading()
{
    Project project;
    QVERIFY(project.write());
    PtsDevice device;
    // A slow configuration step keeps the upload running while the user tries to leave.
    QVERIFY(device.start({ QStringLiteral("--populate"), QStringLiteral("--fault"), QStringLiteral("delay:SVCF:4000") }));

    const QString wait = gui(QStringLiteral("Please wait until the upload is finished."));
    DeviceUploadDialog dialog(project.folder(), configuration(50));
    QSignalSpy ended(&dialog, &DeviceUploadDialog::uploadEnded);
    QStringList attempts;
    bool stillUploadingAfterEach = true;

    auto answerWait = [&](const QString& how) {
        onModal([&](QWidget* w) { return isBoxSaying(w, wait); }, [&, how](QWidget* box) {
            attempts << how;
            stillUploadingAfterEach = stillUploadingAfterEach && ended.isEmpty();
            QPushButton* ok = visibleButton(box, gui(QStringLiteral("OK")));
            QVERIFY(ok);
            ok->click();
        });
    };

    bool buttonInert = false;
    onModal(isUploadDialog, [&](QWidget* w) {
        auto* dlg = static_cast<DeviceUploadDialog*>(w);
        QVERIFY(device.emulator.waitForCommand(QStringLiteral("LOAD"), 30000));
        answerWait(QStringLiteral("escape"));
        pressKey(dlg, Qt::Key_Escape);
        // The button says "Uploading" and cannot be pressed while the upload runs.
        QPushButton* button = dlg->findChild<QPushButton*>(QStringLiteral("closeButton"));
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::qWait(200);
        buttonInert = !button->isEnabled() && button->text() == gui(QStringLiteral("Uploading"))
            && QApplication::activeModalWidget() == dlg && attempts.size() == 1;
        answerWait(QStringLiteral("close"));
        QVERIFY(!dlg->close());
        QVERIFY(dlg->isVisible());
    });
    dialog.exec();

    QCOMPARE(attempts, QStringList({ QStringLiteral("escape"), QStringLiteral("close") }));
    QVERIFY(buttonInert);
    QVERIFY(stillUploadingAfterEach);
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.at(0).at(0).toBool(), true);
    QVERIFY(device.commands().contains(QStringLiteral("#BOOT#")));
}

void TestDeviceUploadDialog::deviceRefusalLeavesDialogOpenWithClose()
{
    Project project;
    QVERIFY(project.write());
    PtsDevice device;
    QVERIFY(device.start({ QStringLiteral("--populate"), QStringLiteral("--fault"),
                           QStringLiteral("error:UNIX<mkdir ./qml/project") }));

    const QString failure = rt(QStringLiteral("Failed to create the project folder."));
    DeviceUploadDialog dialog(project.folder(), configuration(50));
    QSignalSpy ended(&dialog, &DeviceUploadDialog::uploadEnded);
    QString boxTitle;
    bool openWithClose = false;
    onModal([&](QWidget* w) { return isBoxSaying(w, failure); }, [&](QWidget* box) {
        boxTitle = box->windowTitle();
        visibleButton(box, gui(QStringLiteral("OK")))->click();
        // After the message the dialog stays and offers "Close".
        onModal(isUploadDialog, [&](QWidget* w) {
            QPushButton* close = w->findChild<QPushButton*>(QStringLiteral("closeButton"));
            openWithClose = close->isEnabled() && close->text() == gui(QStringLiteral("Close")) && close->isDefault();
            QTimer::singleShot(300, close, &QPushButton::click);
        });
    });
    dialog.exec();

    QCOMPARE(boxTitle, gui(QStringLiteral("Upload Project")));
    QVERIFY(openWithClose);
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.at(0).at(0).toBool(), false);
    QVERIFY(!device.commands().contains(QStringLiteral("#UNIX<mv tmp/project qml>#")));
    QVERIFY(!device.commands().contains(QStringLiteral("#BOOT#")));
}

void TestDeviceUploadDialog::timeOutAndUnplugCloseAfterTheMessage_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("text");
    QTest::newRow("time-out") << QStringLiteral("silent:SVCF")
                              << SerialPortManager::timeoutText(SerialPortManager::UploadSaveConfig);
    QTest::newRow("unplug") << QStringLiteral("unplug:UNIX<mv tmp/project")
                            << rt(QStringLiteral("The connection to the device was lost."));
}

void TestDeviceUploadDialog::timeOutAndUnplugCloseAfterTheMessage()
{
    QFETCH(QString, fault);
    QFETCH(QString, text);
    QVERIFY(!text.isEmpty());
    Project project;
    QVERIFY(project.write());
    PtsDevice device;
    QVERIFY(device.start({ QStringLiteral("--populate"), QStringLiteral("--fault"), fault }));

    DeviceUploadDialog dialog(project.folder(), configuration(50));
    QSignalSpy ended(&dialog, &DeviceUploadDialog::uploadEnded);
    bool boxSeen = false;
    onModal([&](QWidget* w) { return isBoxSaying(w, text); }, [&](QWidget* box) {
        boxSeen = true;
        visibleButton(box, gui(QStringLiteral("OK")))->click();
    });
    QElapsedTimer timer;
    timer.start();
    dialog.exec(); // ends by itself after the message
    QVERIFY(boxSeen);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.at(0).at(0).toBool(), false);
}

void TestDeviceUploadDialog::emptyProjectIsReportedAndCanBeClosed()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("config.txrc")), "DefaultScreen=x\n"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("project/readme.txt")), "no screens"));
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy opened(manager, &SerialPortManager::deviceOperationEnded);

    DeviceUploadDialog dialog(dir.path(), configuration(50));
    QVERIFY(dialog.files().isEmpty());
    const QString text = gui(QStringLiteral("The runtime project holds no files to upload."));
    bool reported = false;
    bool closable = false;
    onModal([&](QWidget* w) { return isBoxSaying(w, text); }, [&](QWidget* box) {
        reported = true;
        visibleButton(box, gui(QStringLiteral("OK")))->click();
        onModal(isUploadDialog, [&](QWidget* w) {
            QPushButton* close = w->findChild<QPushButton*>(QStringLiteral("closeButton"));
            closable = close->isEnabled() && close->text() == gui(QStringLiteral("Close"));
            pressKey(w, Qt::Key_Escape);
        });
    });
    dialog.exec();
    QVERIFY(reported);
    QVERIFY(closable);
    QVERIFY(opened.isEmpty());
    QVERIFY(!manager->isSerialPortOpen());
}

void TestDeviceUploadDialog::busyManagerDoesNotLeaveDialogWaiting()
{
    Project project;
    QVERIFY(project.write());
    PtsDevice device;
    QVERIFY(device.start({ QStringLiteral("--populate") }));
    SerialPortManager* manager = SerialPortManager::instance();
    // Another window holds the port: the upload cannot start.
    QVERIFY(manager->openSerialPort());

    DeviceUploadDialog dialog(project.folder(), configuration(50));
    const QString text = OperationRun::busyText();
    bool reported = false;
    onModal([&](QWidget* w) { return isBoxSaying(w, text); }, [&](QWidget* box) {
        reported = true;
        visibleButton(box, gui(QStringLiteral("OK")))->click();
        onModal(isUploadDialog, [&](QWidget* w) { w->findChild<QPushButton*>(QStringLiteral("closeButton"))->click(); });
    });
    dialog.exec();
    manager->closeSerialPort();
    QVERIFY(reported);
    QCOMPARE(device.commands(), QStringList());
}

QTEST_MAIN(TestDeviceUploadDialog)
#include "tst_deviceuploaddialog.moc"
