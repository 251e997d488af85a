// A device row's upload and upgrade entry points: drops, the package checks and
// their refusals, the confirmation, and the windows that follow, against the
// emulated device reached through its /dev/pts path.
#include "englishtexts.h"
#include "filedialoguser.h"
#include "modaldriver.h"
#include "testutil.h"
#include "tst_deviceupload_support.h"

#include "configurationinfo.h"
#include "deviceitemwidget.h"
#include "deviceuploaddialog.h"
#include "filehelper.h"
#include "hardwareinfodialog.h"
#include "localizationhelper.h"
#include "messagebox.h"
#include "serialportmanager.h"
#include "servicehistory.h"
#include "servicehistorywriter.h"
#include "texthelper.h"
#include "upgradedevicesofwaredialog.h"
#include "ziphelper.h"

#include <QDomDocument>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using Orvane::Tavrix::Common::ConfigurationInfo;
using Orvane::Tavrix::Common::FileHelper;
using Orvane::Tavrix::Common::LocalizationHelper;
using Orvane::Tavrix::Common::ServiceHistory;
using Orvane::Tavrix::Common::ServiceHistoryWriter;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Common::SoftwarePackageChecker;
using Orvane::Tavrix::Common::TextHelper;
using Orvane::Tavrix::Common::ZipHelper;
using Orvane::Tavrix::Designer::DeviceItemWidget;
using Orvane::Tavrix::Designer::DeviceUploadDialog;
using Orvane::Tavrix::Designer::MessageBox;
using Orvane::Tavrix::Designer::UpgradeDeviceSofwareDialog;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

QString gui(const QString& key)
{
    return LocalizationHelper::guiString(key);
}

QSettings userSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kavendi"), QStringLiteral("Lumatra"));
}

QVariantMap versionInfo(const QString& models, const QString& minimum, int ethernet, int brightness)
{
    ConfigurationInfo configuration;
    configuration.setDisplayBrightness(brightness);
    return { { QStringLiteral("minDeviceSoftwareVersion"), minimum },
             { QStringLiteral("compatibleModels"), models },
             { QStringLiteral("ethernetPort"), ethernet },
             { QStringLiteral("configInfo"), configuration.toString() } };
}

// Writes a runtime project package; entries can be left out to make broken ones.
QString projectPackage(const QTemporaryDir& dir, const QString& name, const QVariantMap& info, bool withConfig = true,
                       bool withVersion = true)
{
    const QString source = dir.filePath(name + QStringLiteral(".src"));
    bool ok = writeFile(source + QStringLiteral("/project/main.qml"), "import QtQuick 2.0\nItem { }\n")
        && writeFile(source + QStringLiteral("/project/logo.png"), randomBytes(1500, 31));
    if (withConfig)
        ok = ok && writeFile(source + QStringLiteral("/config.txrc"), "DefaultScreen=project/main.qml\n");
    if (withVersion)
        ok = ok && writeFile(source + QStringLiteral("/versionInfo.txverinf"), FileHelper::variantToBinary(info));
    const QString archive = dir.filePath(name);
    return ok && ZipHelper::zipWithDirectoryContents(source, archive, false) ? archive : QString();
}

QByteArray updateXml(const QByteArray& devices)
{
    return "<?xml version=\"1.0\"?><Update><Info><NewRuntime Ver=\"2.2.0.3000\" Date=\"2026-03-14\"/></Info>" + devices
        + "</Update>";
}

const QByteArray EmulatedDeviceEntry = "<Device Model_Name=\"QMX 70-A\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"1.1.0.1910\"/>";

QString softwarePackage(const QTemporaryDir& dir, const QString& name, const QByteArray& xml, const QByteArray& image,
                        bool withXml = true, bool withImage = true)
{
    const QString source = dir.filePath(name + QStringLiteral(".src"));
    QDir().mkpath(source);
    bool ok = true;
    if (withXml)
        ok = ok && writeFile(source + QStringLiteral("/update.xml"), xml);
    if (withImage)
        ok = ok && writeFile(source + QStringLiteral("/update.tar.gz"), image);
    const QString archive = dir.filePath(name);
    return ok && ZipHelper::zipWithDirectoryContents(source, archive, false) ? archive : QString();
}

bool drop(DeviceItemWidget& row, const QList<QUrl>& urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    // A drop comes after the drag entered the row, as with a real mouse.
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&row, &enter);
    QDropEvent event(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&row, &event);
    return event.isAccepted();
}

bool dragEnter(DeviceItemWidget& row, const QList<QUrl>& urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent event(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&row, &event);
    return event.isAccepted();
}

// What a box said, answered with the button of the given text.
struct Seen
{
    bool seen = false;
    QString title;
    QStringList texts;
};

void answerBox(Seen* seen, const QString& button, std::function<bool(QWidget*)> accept = {})
{
    onModal([accept](QWidget* w) { return qobject_cast<MessageBox*>(w) && (!accept || accept(w)); },
            [seen, button](QWidget* box) {
                seen->seen = true;
                seen->title = box->windowTitle();
                seen->texts = labelTexts(box);
                if (QPushButton* b = visibleButton(box, button))
                    b->click();
                else
                    QTest::keyClick(box, Qt::Key_Escape);
            });
}

// The row of a device as the main window makes it, with its clock sync over.
struct Row
{
    PtsDevice device;
    DeviceItemWidget widget;
    QStringList commandsBefore;

    bool start(const QStringList& args = {})
    {
        if (!device.start(args))
            return false;
        widget.setDeviceInfo(device.info());
        widget.show();
        SerialPortManager* manager = SerialPortManager::instance();
        if (!QTest::qWaitFor([&]() { return !manager->isSerialPortOpen() && !manager->isBusy(); }, 15000))
            return false;
        // The device records the row's clock command a moment after it was written.
        if (!device.emulator.waitForCommand(QStringLiteral("DTIM"), 10000))
            return false;
        commandsBefore = device.commands();
        return true;
    }
    // What the device received since the row was set up.
    QStringList newCommands() const { return device.commands().mid(commandsBefore.size()); }
};

bool noModalLeft()
{
    return QTest::qWaitFor([]() { return QApplication::activeModalWidget() == nullptr; }, 60000);
}

} // namespace

class TestDeviceUploadRow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void dragAcceptsOnePackageOfEitherKind_data();
    void dragAcceptsOnePackageOfEitherKind();
    void droppedProjectIsConfirmedUploadedAndBrightnessFollows();
    void refusedProjectsSendNothing_data();
    void refusedProjectsSendNothing();
    void macAddressWarningThenUploadGoesOn();
    void isDeviceCompatible_data();
    void isDeviceCompatible();
    void droppedSoftwarePackageUpgradesDevice();
    void refusedSoftwarePackagesSendNothing_data();
    void refusedSoftwarePackagesSendNothing();
    void menuEntryOpensTheRememberedFolder_data();
    void menuEntryOpensTheRememberedFolder();

private:
    QTemporaryDir m_dir;
};

void TestDeviceUploadRow::initTestCase()
{
    useEnglishTexts();
    QVERIFY(registerProgramResources());
    QVERIFY(m_dir.isValid());
    qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
    QVERIFY(SerialPortManager::instance());
}

void TestDeviceUploadRow::cleanup()
{
    cancelModalPolls();
    SerialPortManager* manager = SerialPortManager::instance();
    QVERIFY(noModalLeft());
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isSerialPortOpen(), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isBusy(), 5000);
}

void TestDeviceUploadRow::dragAcceptsOnePackageOfEitherKind_data()
{
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<bool>("accepted");
    const auto local = [](const char* name) { return QUrl::fromLocalFile(QStringLiteral("/tmp/") + QLatin1String(name)); };
    QTest::newRow("project") << QList<QUrl>{ local("demo.txdevproj") } << true;
    QTest::newRow("project in capitals") << QList<QUrl>{ local("DEMO.TXDEVPROJ") } << true;
    QTest::newRow("software") << QList<QUrl>{ local("update.TxSw") } << true;
    QTest::newRow("zip") << QList<QUrl>{ local("demo.zip") } << false;
    QTest::newRow("two packages") << QList<QUrl>{ local("a.txdevproj"), local("b.txdevproj") } << false;
    QTest::newRow("remote") << QList<QUrl>{ QUrl(QStringLiteral("https://example.org/a.txdevproj")) } << false;
}

void TestDeviceUploadRow::dragAcceptsOnePackageOfEitherKind()
{
    QFETCH(QList<QUrl>, urls);
    QFETCH(bool, accepted);
    DeviceItemWidget row;
    QCOMPARE(dragEnter(row, urls), accepted);
}

void TestDeviceUploadRow::droppedProjectIsConfirmedUploadedAndBrightnessFollows()
{
    Row row;
    // The device keeps its port through the restart, so its record shows the brightness set.
    QVERIFY(row.start({ QStringLiteral("--populate"), QStringLiteral("--stay-on-reboot") }));
    const QString package = projectPackage(m_dir, QStringLiteral("Drop.TXDEVPROJ"),
                                           versionInfo(QStringLiteral("QMX 43-A|QMX 70-A"), QStringLiteral("1.1.0.0"), 0, 42));
    QVERIFY(!package.isEmpty());

    QStringList order;
    Seen confirmation;
    answerBox(&confirmation, gui(QStringLiteral("Yes")));
    onModal([](QWidget* w) { return isA<DeviceUploadDialog>(w); }, [&](QWidget*) { order << QStringLiteral("upload dialog"); });
    QVERIFY(drop(row.widget, { QUrl::fromLocalFile(package) }));
    QTRY_VERIFY_WITH_TIMEOUT(!order.isEmpty(), 30000);
    QVERIFY(noModalLeft());

    QVERIFY(confirmation.seen);
    QCOMPARE(confirmation.title, gui(QStringLiteral("Upload Project")));
    // The question names its device, as the row does.
    QVERIFY(confirmation.texts.contains(row.widget.deviceLine() + QStringLiteral("\n\n") + gui(QStringLiteral("This will upload the project to the device, the current project and any logged data will be lost,\n are you sure you want to proceed?"))));
    const QStringList sent = row.newCommands();
    QVERIFY(sent.first().startsWith(QStringLiteral("#FINF<")));
    QVERIFY(sent.contains(QStringLiteral("#LOAD<project/logo.png>1500#")));
    QVERIFY(sent.contains(QStringLiteral("#BKLT<42>#")));
    QCOMPARE(sent.last(), QStringLiteral("#BOOT#"));
    const QString root = row.device.emulator.rootPath();
    QCOMPARE(filesBelow(root + QStringLiteral("/qml/project")), QStringList({ QStringLiteral("logo.png"), QStringLiteral("main.qml") }));
    QCOMPARE(readFile(root + QStringLiteral("/qml/project/logo.png")), randomBytes(1500, 31));

    // The new brightness reaches the manager's record and the hardware information.
    QCOMPARE(row.device.info().value(QStringLiteral("backlight")), QStringLiteral("42"));
    QCOMPARE(row.widget.hardwareInfoDialog()->rowText(8), QStringLiteral("42%"));
    // The package's folder is remembered; the unpacked copy is gone.
    QCOMPARE(userSettings().value(QStringLiteral("uploadRuntimeDir")).toString(), TextHelper::toStandardPath(m_dir.path()));
    QVERIFY(row.widget.tempProjectDirectory().isEmpty());
    // The history names the dropped package, not its unpacked copy.
    ServiceHistoryWriter::instance()->flush();
    const ServiceRecord entry = ServiceHistory::instance()->entries({}, 1).value(0);
    QCOMPARE(entry.operation, ServiceRecord::Upload);
    QCOMPARE(entry.packageName, QStringLiteral("Drop.TXDEVPROJ"));
}

void TestDeviceUploadRow::refusedProjectsSendNothing_data()
{
    QTest::addColumn<QString>("package");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    const QString incomplete = gui(QStringLiteral("Runtime Project incomplete"));
    const QString notEnough = gui(QStringLiteral("The runtime project file does not have enough information for upload to continue."));
    const QString incompatible = gui(QStringLiteral("Incompatible Device"));
    const QString wrongModel = gui(QStringLiteral("This project is incompatible with your device model %1.")).arg(QStringLiteral("QMX 70-A"));
    const QVariantMap good = versionInfo(QStringLiteral("QMX 70-A"), QStringLiteral("1.0.0.0"), 0, 50);

    QTest::newRow("no version information")
        << projectPackage(m_dir, QStringLiteral("noversion.txdevproj"), good, true, false) << incomplete << notEnough;
    QTest::newRow("no configuration")
        << projectPackage(m_dir, QStringLiteral("noconfig.txdevproj"), good, false, true) << incomplete << notEnough;
    QTest::newRow("other model")
        << projectPackage(m_dir, QStringLiteral("othermodel.txdevproj"), versionInfo(QStringLiteral("QMX 43-A|QMX 101-B"), QStringLiteral("1.0.0.0"), 0, 50))
        << incompatible << wrongModel;
    QTest::newRow("model in other letter case")
        << projectPackage(m_dir, QStringLiteral("lowercase.txdevproj"), versionInfo(QStringLiteral("qmx 70-a|QMX 43-A"), QStringLiteral("1.0.0.0"), 0, 50))
        << incompatible << wrongModel;
    QTest::newRow("device software too old")
        << projectPackage(m_dir, QStringLiteral("newer.txdevproj"), versionInfo(QStringLiteral("QMX 70-A"), QStringLiteral("1.2.0.0"), 0, 50))
        << incompatible << gui(QStringLiteral("You must upgrade the device software to at least %1 to use this project.")).arg(QStringLiteral("1.2.0.0"));
    QTest::newRow("answered no")
        << projectPackage(m_dir, QStringLiteral("declined.txdevproj"), good) << gui(QStringLiteral("Upload Project"))
        << gui(QStringLiteral("This will upload the project to the device, the current project and any logged data will be lost,\n are you sure you want to proceed?"));
}

void TestDeviceUploadRow::refusedProjectsSendNothing()
{
    QFETCH(QString, package);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QVERIFY(!package.isEmpty());
    Row row;
    QVERIFY(row.start());
    Seen box;
    answerBox(&box, QTest::currentDataTag() == QByteArray("answered no") ? gui(QStringLiteral("No")) : gui(QStringLiteral("OK")));
    QVERIFY(drop(row.widget, { QUrl::fromLocalFile(package) }));
    QTRY_VERIFY_WITH_TIMEOUT(box.seen, 20000);
    QVERIFY(noModalLeft());
    QCOMPARE(box.title, title);
    QVERIFY2(box.texts.contains(row.widget.deviceLine() + QStringLiteral("\n\n") + text), qPrintable(box.texts.join(QLatin1Char('|'))));
    QTest::qWait(300);
    QCOMPARE(row.newCommands(), QStringList());
    QVERIFY(row.widget.tempProjectDirectory().isEmpty());
}

void TestDeviceUploadRow::macAddressWarningThenUploadGoesOn()
{
    Row row;
    QVERIFY(row.start({ QStringLiteral("--populate"), QStringLiteral("--physical-address"), QStringLiteral("00:00:00:00:00:00") }));
    const QString package = projectPackage(m_dir, QStringLiteral("ethernet.txdevproj"),
                                           versionInfo(QStringLiteral("QMX 70-A"), QStringLiteral("1.0.0.0"), 1, 60));
    Seen warning;
    Seen confirmation;
    answerBox(&warning, gui(QStringLiteral("OK")), [&](QWidget*) {
        // The confirmation follows the warning.
        answerBox(&confirmation, gui(QStringLiteral("Yes")));
        return true;
    });
    bool dialogShown = false;
    onModal([](QWidget* w) { return isA<DeviceUploadDialog>(w); }, [&](QWidget*) { dialogShown = true; });
    QVERIFY(drop(row.widget, { QUrl::fromLocalFile(package) }));
    QTRY_VERIFY_WITH_TIMEOUT(dialogShown, 30000);
    QVERIFY(noModalLeft());
    QCOMPARE(warning.title, gui(QStringLiteral("MAC Address Configuration")));
    QVERIFY(warning.texts.contains(row.widget.deviceLine() + QStringLiteral("\n\n") + gui(QStringLiteral("You must configure the device to obtain MAC address using device configurator, this project has ethernet port"))));
    QCOMPARE(confirmation.title, gui(QStringLiteral("Upload Project")));
    QCOMPARE(row.newCommands().last(), QStringLiteral("#BOOT#"));
}

void TestDeviceUploadRow::isDeviceCompatible_data()
{
    QTest::addColumn<QByteArray>("devices");
    QTest::addColumn<int>("result");
    QTest::newRow("listed exactly") << QByteArray(EmulatedDeviceEntry) << int(SoftwarePackageChecker::Compatible);
    QTest::newRow("among others")
        << QByteArray("<Device Model_Name=\"QMX 43-A\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"1.1.0.1910\"/>") + EmulatedDeviceEntry
        << int(SoftwarePackageChecker::Compatible);
    QTest::newRow("no device entry") << QByteArray() << int(SoftwarePackageChecker::ModelNotListed);
    QTest::newRow("other model") << QByteArray("<Device Model_Name=\"QMX 43-A\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"1.1.0.1910\"/>")
                                 << int(SoftwarePackageChecker::ModelNotListed);
    QTest::newRow("model in other case") << QByteArray("<Device Model_Name=\"qmx 70-a\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"1.1.0.1910\"/>")
                                         << int(SoftwarePackageChecker::ModelNotListed);
    QTest::newRow("other firmware") << QByteArray("<Device Model_Name=\"QMX 70-A\" Firmware_Ver=\"1.0.5\" Runtime_Ver=\"1.1.0.1910\"/>")
                                    << int(SoftwarePackageChecker::FirmwareNotListed);
    QTest::newRow("other runtime") << QByteArray("<Device Model_Name=\"QMX 70-A\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"1.0.0.1500\"/>")
                                   << int(SoftwarePackageChecker::RuntimeNotListed);
    // Each value is listed, but never all three in one entry: a downgrade.
    QTest::newRow("spread over entries")
        << QByteArray("<Device Model_Name=\"QMX 70-A\" Firmware_Ver=\"1.0.5\" Runtime_Ver=\"1.1.0.1910\"/>"
                      "<Device Model_Name=\"QMX 43-A\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"2.0.0.1\"/>")
        << int(SoftwarePackageChecker::Downgrade);
}

void TestDeviceUploadRow::isDeviceCompatible()
{
    QFETCH(QByteArray, devices);
    QFETCH(int, result);
    QDomDocument document;
    QVERIFY(document.setContent(updateXml(devices)));
    const QDomNodeList list = document.documentElement().elementsByTagName(QStringLiteral("Device"));
    QCOMPARE(int(DeviceItemWidget::isDeviceCompatible(QStringLiteral("QMX 70-A"), QStringLiteral("1.0.4"),
                                                      QStringLiteral("1.1.0.1910"), list)),
             result);
}

void TestDeviceUploadRow::droppedSoftwarePackageUpgradesDevice()
{
    Row row;
    QVERIFY(row.start({ QStringLiteral("--populate") }));
    const QByteArray image = randomBytes(6000, 41);
    const QString package = softwarePackage(m_dir, QStringLiteral("Update.TXSW"), updateXml(EmulatedDeviceEntry), image);
    QVERIFY(!package.isEmpty());
    QString version;
    onModal([](QWidget* w) { return isA<UpgradeDeviceSofwareDialog>(w); }, [&](QWidget* w) {
        version = w->findChild<QLabel*>(QStringLiteral("versionLabel"))->text();
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("upgradeButton")), Qt::LeftButton);
    });
    // Any message box here is a failure; answer it so the test ends and says what it was.
    Seen failure;
    answerBox(&failure, gui(QStringLiteral("OK")));
    QVERIFY(drop(row.widget, { QUrl::fromLocalFile(package) }));
    QTRY_VERIFY_WITH_TIMEOUT(!version.isEmpty(), 30000);
    QVERIFY(noModalLeft());
    QVERIFY2(!failure.seen, qPrintable(failure.texts.join(QLatin1Char('|'))));
    QCOMPARE(version, QStringLiteral("2.2.0.3000"));
    QCOMPARE(row.device.emulator.readFile(QStringLiteral("tmp/update.tar.gz")), image);
    QVERIFY(row.newCommands().last().startsWith(QStringLiteral("#RTLD<update.tar.gz>[")));
    QCOMPARE(userSettings().value(QStringLiteral("deviceSoftwarePath")).toString(), TextHelper::toStandardPath(package));
    ServiceHistoryWriter::instance()->flush();
    const ServiceRecord entry = ServiceHistory::instance()->entries({}, 1).value(0);
    QCOMPARE(entry.operation, ServiceRecord::Upgrade);
    QCOMPARE(entry.packageName, QStringLiteral("Update.TXSW"));
}

void TestDeviceUploadRow::refusedSoftwarePackagesSendNothing_data()
{
    QTest::addColumn<QString>("package");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    const QString invalidTitle = gui(QStringLiteral("Invalid Device Software"));
    const auto invalid = [](const QString& path) {
        return gui(QStringLiteral("\"%1\" is not a valid device software file.")).arg(TextHelper::toSystemPath(path));
    };
    const QByteArray image = randomBytes(2000, 42);
    const QByteArray xml = updateXml(EmulatedDeviceEntry);
    QString p = softwarePackage(m_dir, QStringLiteral("noxml.txsw"), xml, image, false, true);
    QTest::newRow("no update.xml") << p << invalidTitle << invalid(p);
    p = softwarePackage(m_dir, QStringLiteral("noimage.txsw"), xml, image, true, false);
    QTest::newRow("no update.tar.gz") << p << invalidTitle << invalid(p);
    p = softwarePackage(m_dir, QStringLiteral("emptyimage.txsw"), xml, QByteArray(), true, true);
    QTest::newRow("empty update.tar.gz") << p << invalidTitle << invalid(p);
    p = softwarePackage(m_dir, QStringLiteral("badxml.txsw"), "<Update><Info>", image);
    QTest::newRow("broken update.xml") << p << invalidTitle << invalid(p);
    p = m_dir.filePath(QStringLiteral("missing.txsw"));
    QTest::newRow("missing file") << p << invalidTitle << invalid(p);
    p = softwarePackage(m_dir, QStringLiteral("nodevice.txsw"), updateXml(QByteArray()), image);
    QTest::newRow("no device entry") << p << gui(QStringLiteral("Upgrade Device Software"))
                                     << gui(QStringLiteral("The software is incompatible with the device model."));
    p = softwarePackage(m_dir, QStringLiteral("otherruntime.txsw"),
                        updateXml("<Device Model_Name=\"QMX 70-A\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\"1.0.0.1500\"/>"), image);
    QTest::newRow("other runtime") << p << gui(QStringLiteral("Upgrade Device Software"))
                                   << gui(QStringLiteral("The software is incompatible with the device runtime."));
}

void TestDeviceUploadRow::refusedSoftwarePackagesSendNothing()
{
    QFETCH(QString, package);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QVERIFY(!package.isEmpty());
    Row row;
    QVERIFY(row.start());
    Seen box;
    answerBox(&box, gui(QStringLiteral("OK")));
    QMetaObject::invokeMethod(&row.widget, [&]() { row.widget.upgradeDeviceWithFile(package); }, Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(box.seen, 20000);
    QVERIFY(noModalLeft());
    QCOMPARE(box.title, title);
    QVERIFY2(box.texts.contains(row.widget.deviceLine() + QStringLiteral("\n\n") + text), qPrintable(box.texts.join(QLatin1Char('|'))));
    QTest::qWait(300);
    QCOMPARE(row.newCommands(), QStringList());
}

void TestDeviceUploadRow::menuEntryOpensTheRememberedFolder_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("keyHoldsFile"); // the setting names the last package, not its folder
    QTest::newRow("upload project") << int(DeviceItemWidget::UploadAction) << QStringLiteral("uploadRuntimeDir")
                                    << gui(QStringLiteral("Upload Runtime Project"))
                                    << gui(QStringLiteral("Runtime Project (*.txdevproj)")) << false;
    QTest::newRow("upgrade software") << int(DeviceItemWidget::UpgradeAction) << QStringLiteral("deviceSoftwarePath")
                                      << gui(QStringLiteral("Upgrade Device Software"))
                                      << gui(QStringLiteral("Device Software (*.txsw)")) << true;
}

// The menu entry, as a user takes it: its file dialog starts where the last package came
// from, and the package chosen there is the one remembered next.
void TestDeviceUploadRow::menuEntryOpensTheRememberedFolder()
{
    QFETCH(int, action);
    QFETCH(QString, key);
    QFETCH(QString, title);
    QFETCH(QString, filter);
    QFETCH(bool, keyHoldsFile);
    const QString last = m_dir.filePath(QStringLiteral("last-") + key);
    const QString next = m_dir.filePath(QStringLiteral("next-") + key);
    QVERIFY(QDir().mkpath(last) && QDir().mkpath(next));
    QString package;
    if (keyHoldsFile)
        package = softwarePackage(m_dir, QStringLiteral("next-%1/Chosen.txsw").arg(key), updateXml(EmulatedDeviceEntry), randomBytes(900, 43));
    else
        package = projectPackage(m_dir, QStringLiteral("next-%1/Chosen.txdevproj").arg(key),
                                 versionInfo(QStringLiteral("QMX 70-A"), QStringLiteral("1.0.0.0"), 0, 50));
    QVERIFY(!package.isEmpty());
    QVERIFY(writeFile(last + QStringLiteral("/Earlier.txsw"), "x"));
    userSettings().setValue(key, TextHelper::toStandardPath(keyHoldsFile ? last + QStringLiteral("/Earlier.txsw") : last));

    Row row;
    QVERIFY(row.start());
    FileDialogSeen picker;
    onModal([](QWidget* w) { return isA<QFileDialog>(w); }, [&](QWidget* w) { chooseInFileDialog(w, package, &picker); });
    // Then the row goes on with the package: the upload's question is answered No, the upgrade window closed.
    Seen confirmation;
    answerBox(&confirmation, gui(QStringLiteral("No")));
    bool upgradeShown = false;
    onModal([](QWidget* w) { return isA<UpgradeDeviceSofwareDialog>(w); }, [&](QWidget* w) {
        upgradeShown = true;
        qobject_cast<QDialog*>(w)->reject();
    });
    bool done = false;
    QMetaObject::invokeMethod(&row.widget, [&]() {
        row.widget.action(DeviceItemWidget::Action(action))->trigger();
        done = true;
    }, Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(done, 60000);
    QVERIFY(noModalLeft());
    QVERIFY(picker.seen);
    QCOMPARE(picker.title, title);
    QCOMPARE(picker.folder, QDir(last).absolutePath());
    QCOMPARE(picker.filters, QStringList { filter });
    QCOMPARE(keyHoldsFile ? upgradeShown : confirmation.seen, true);
    userSettings().sync();
    QCOMPARE(userSettings().value(key).toString(), TextHelper::toStandardPath(keyHoldsFile ? package : next));
    QCOMPARE(row.newCommands(), QStringList());
}

QTEST_MAIN(TestDeviceUploadRow)
#include "tst_deviceuploadrow.moc"
