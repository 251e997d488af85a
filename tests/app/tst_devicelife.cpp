// The main window with rows while devices live as real ones do: every operation that
// ends with a restart makes the device leave the bus and come back, a cable is pulled
// in the middle of a run, a second device arrives while the first works.
#include "datalogfile.h"
#include "deviceconfigurator.h"
#include "foldertree.h"
#include "devicefontsdialog.h"
#include "devicefontslistwidget.h"
#include "deviceitemwidget.h"
#include "devicelink.h"
#include "devicelogretrievedialog.h"
#include "devicelistholder.h"
#include "dovrelctlrun.h"
#include "englishtexts.h"
#include "eventwait.h"
#include "filehelper.h"
#include "fontscenter.h"
#include "localizationhelper.h"
#include "logselectiondialog.h"
#include "mainwindow.h"
#include "modaluser.h"
#include "operationrun.h"
#include "projectpackage.h"
#include "restartingdevice.h"
#include "restartwatcher.h"
#include "serialportmanager.h"
#include "txlistwidget.h"
#include "deviceuploaddialog.h"
#include "upgradedevicesofwaredialog.h"
#include "virtualports.h"
#include "ziphelper.h"

#include <QAction>
#include <QComboBox>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QToolButton>

using namespace Orvane::Tavrix::Designer;
using Orvane::Tavrix::Common::FileHelper;
using Orvane::Tavrix::Common::deviceText;
using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::runtimeText;
using Orvane::Tavrix::Common::ZipHelper;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Runtime::DeviceLink;
using Orvane::Tavrix::Runtime::OperationRun;
using Orvane::Tavrix::Runtime::RestartWatcher;
using Orvane::Tavrix::Runtime::SerialPortManager;

#include <unistd.h>

namespace {

enum Mode { ToItsEnd, UnpluggedMidRun, SecondDeviceMidRun, StaysBeforeLeaving };

QString lostText()
{
    return runtimeText("The connection to the device was lost.");
}

// A window the user has to see whole: centred on the screen once it has its size.
void noteIfNotCentred(ModalUser& user, QWidget* dialog)
{
    const QPoint offset = dialog->frameGeometry().center() - QGuiApplication::primaryScreen()->availableGeometry().center();
    if (offset.manhattanLength() > 4)
        user.note(dialog, QStringLiteral("not centred"));
}

// The user's part in a configuration run: the choice, then "Configure".
void configure(ModalUser& user, const std::function<void(DeviceConfigurator*)>& choose)
{
    user.on<DeviceConfigurator>([&user, choose](DeviceConfigurator* dialog) {
        noteIfNotCentred(user, dialog);
        choose(dialog);
        dialog->configureButton()->click();
    });
}

void chooseCalibration(DeviceConfigurator* dialog, const QString& text)
{
    auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("calibrationCombo"));
    combo->setCurrentIndex(combo->findText(text));
}

// The user's part in a fonts run: once the device's list is there, the change, then "Start".
void manageFonts(ModalUser& user, const std::function<void(DeviceFontsDialog*)>& change)
{
    user.on<DeviceFontsDialog>([&user, change](DeviceFontsDialog* dialog) {
        waitUntil([dialog]() { return dialog->startButton()->isEnabled(); }, 20000);
        change(dialog);
        // This dialog tells how a run ended in its status line, then closes.
        QObject::connect(dialog, &QDialog::finished, dialog, [&user, dialog]() { user.note(dialog, dialog->statusLabel()->text()); },
                         Qt::SingleShotConnection);
        dialog->startButton()->click();
        // Minimised and restored while it works, it keeps working.
        dialog->setWindowState(Qt::WindowMinimized);
        dialog->setWindowState(Qt::WindowNoState);
        if (!dialog->isBusy() && !dialog->statusLabel()->text().isEmpty())
            user.note(dialog, QStringLiteral("reset while busy"));
    });
}

} // namespace

class TestDeviceLife : public QObject
{
    Q_OBJECT

    struct Operation
    {
        QString name;
        QStringList deviceArgs;
        QString midCommand; // a command well inside the run
        QString lateCommand; // one near its end, answered late when a second device comes
        std::function<void(DeviceItemWidget*)> start;
        std::function<void(ModalUser&)> user;
        QString sent; // a command the run must have sent
    };

    QTemporaryDir m_temp;
    MainWindow* m_window = nullptr;
    QString m_project;
    QString m_software;
    QString m_dataLog;
    QString m_splash;
    QList<Operation> m_operations;

    DeviceItemWidget* rowOf(const RestartingDevice& device) const
    {
        DeviceItemWidget* row = m_window->rowForSerial(device.serial());
        return row && !row->isRetired() ? row : nullptr;
    }

    bool waitForRow(const RestartingDevice& device) const
    {
        return waitUntil([&]() { return rowOf(device) != nullptr; }, 30000);
    }

    // The clock commands a device got after its last restart.
    static int clockSetsSinceRestart(const RestartingDevice& device)
    {
        int clocks = 0;
        for (const QJsonObject& event : device.emulator.transcript()) {
            const QString type = event.value(QStringLiteral("event")).toString();
            if (type == QLatin1String("replug"))
                clocks = 0;
            else if (type == QLatin1String("command") && event.value(QStringLiteral("text")).toString().startsWith(QLatin1String("#DTIM<")))
                ++clocks;
        }
        return clocks;
    }

    // The logs in the device's data log.
    static QStringList logTables(const RestartingDevice& device)
    {
        QStringList tables;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("logs"));
            db.setDatabaseName(device.emulator.filePath(QStringLiteral("qml/dataLogging.txdb")));
            if (db.open())
                tables = db.tables();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("logs"));
        tables.sort();
        return tables;
    }

    const Operation& operation(const QString& name) const
    {
        for (const Operation& op : m_operations) {
            if (op.name == name)
                return op;
        }
        qFatal("no operation %s", qPrintable(name));
    }

    void makeInputs()
    {
        m_project = m_temp.filePath(QStringLiteral("sample.txdevproj"));
        const DovrelctlRun made = DovrelctlRun::start(
            { "package", "make-sample", "--out", m_project, "--models", "QMX 70-A", "--min-version", "1.0.0.0" });
        QVERIFY2(made.exitCode == 0, qPrintable(made.describe()));

        m_software = writeSoftwarePackage(m_temp.filePath(QStringLiteral("software.txsw")), QStringLiteral("2.1.6.2886"),
                                          QStringLiteral("2.2.0.3000"));
        QVERIFY(!m_software.isEmpty());

        m_dataLog = m_temp.filePath(QStringLiteral("log.txdb"));
        QVERIFY(writeDataLog(m_dataLog, { { QStringLiteral("Tank Level"), QStringLiteral("t, v"), { { QStringLiteral("2026-01-01 00:00"), 1.5 } } },
                                          { QStringLiteral("Pressure"), QStringLiteral("t, v"), { { QStringLiteral("2026-01-01 00:00"), 3 } } } }));

        m_splash = m_temp.filePath(QStringLiteral("splash.jpg"));
        QImage image(1024, 600, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QVERIFY(image.save(m_splash, "JPG"));
    }

    void defineOperations()
    {
        const QStringList software { "--app-version", "2.1.6.2886" };
        auto yes = [](const QString& title) { return [title](ModalUser& user) { user.answer(title, guiText("Yes")); }; };
        m_operations = {
            { "upload", {}, "LOAD<project/", "SYNC", [this](DeviceItemWidget* row) { row->uploadProjectWithFile(m_project); },
              yes(guiText("Upload Project")), "#BOOT#" },
            { "upgrade", software, "RTLD", "SYNC",
              [this](DeviceItemWidget* row) { row->upgradeDeviceWithFile(m_software); },
              [](ModalUser& user) {
                  user.on<UpgradeDeviceSofwareDialog>([](UpgradeDeviceSofwareDialog* dialog) {
                      dialog->findChild<QPushButton*>(QStringLiteral("upgradeButton"))->click();
                  });
              },
              "#RTLD" },
            { "calibration backup", {}, "GETF", "SYNC", [](DeviceItemWidget* row) { row->onConfigDevice(); },
              [](ModalUser& user) { configure(user, [](DeviceConfigurator* d) { chooseCalibration(d, guiText("Backup")); }); },
              "#GETF</home/DuDov_ODU/cal_list.txt>#" },
            { "calibration restore", {}, "LOAD<cal_list", "SYNC", [](DeviceItemWidget* row) { row->onConfigDevice(); },
              [](ModalUser& user) { configure(user, [](DeviceConfigurator* d) { chooseCalibration(d, guiText("Restore")); }); },
              "#UNIX<mv ./tmp/cal_list.txt" },
            { "splash", {}, "LOAD<", "SYNC", [](DeviceItemWidget* row) { row->onConfigDevice(); },
              [this](ModalUser& user) { configure(user, [this](DeviceConfigurator* d) { d->loadImage(m_splash); }); },
              "#LOAD<" },
            { "rename", {}, "SVCF", "SYNC", [](DeviceItemWidget* row) { row->onConfigDevice(); },
              [](ModalUser& user) {
                  configure(user, [](DeviceConfigurator* d) {
                      d->findChild<QCheckBox*>(QStringLiteral("nameBox"))->click();
                      auto* edit = d->findChild<QLineEdit*>(QStringLiteral("nameEdit"));
                      edit->selectAll();
                      QTest::keyClicks(edit, QStringLiteral("Pump Room 2"));
                  });
              },
              "#SNAM<Pump Room 2>#" },
            { "font removal", {}, "RMFS<1>", "SYNC", [](DeviceItemWidget* row) { row->onManageFonts(); },
              [](ModalUser& user) {
                  manageFonts(user, [](DeviceFontsDialog* d) {
                      const QList<QListWidgetItem*> items = d->deviceFontsList()->findItems(QStringLiteral("Gamma.ttf"), Qt::MatchExactly);
                      if (!items.isEmpty())
                          items.first()->setSelected(true);
                      d->deviceFontsList()->markSelected();
                  });
              },
              "#RMFS<0><Gamma.ttf>#" },
            { "font install", {}, "LOAD<", "SYNC", [](DeviceItemWidget* row) { row->onManageFonts(); },
              [](ModalUser& user) {
                  manageFonts(user, [](DeviceFontsDialog* d) { d->onAddFonts({ FontsCenter::instance()->applicationFonts().first() }); });
              },
              "#LOAD<" },
            { "log clearing", software + QStringList { "--sample-datalog", m_dataLog }, "LOAD<dataLogging", "UNIX<rm qml/dataLoggingBk",
              [](DeviceItemWidget* row) { row->onRetrieveDeviceLog(); },
              [](ModalUser& user) {
                  user.on<LogSelectionDialog>([](LogSelectionDialog* d) {
                      d->logList()->item(0)->setSelected(true);
                      d->action(LogSelectionDialog::ClearAction)->trigger();
                  });
                  user.answer(deviceText("Data Log Files"), guiText("Yes"));
              },
              "#LOAD<dataLogging.txdb>" },
            { "reboot", {}, QString(), QString(), [](DeviceItemWidget* row) { row->onRebootDevice(); }, yes(guiText("Reboot Device")),
              "#UNIX<reboot>#" },
        };
    }

    // What a device needs before an operation of this kind can run on it.
    void prepare(const Operation& op, RestartingDevice& device)
    {
        // The program makes its calibration folder at start.
        QVERIFY(QDir().mkpath(DeviceConfigurator::calibrationDirectory()));
        if (op.name == QLatin1String("calibration restore"))
            QVERIFY(FolderTree::writeFile(DeviceConfigurator::calibrationFilePath(device.serial()), "0 0 1024 600\n"));
        if (op.name == QLatin1String("font removal"))
            QVERIFY(device.emulator.putFile(QStringLiteral("fonts/Gamma.ttf"), QByteArray(900, 'g')));
    }

private slots:
    void initTestCase()
    {
        if (!RestartingDevice::devIsWritable())
            QSKIP("The devices' ports live under /dev, which is not writable here.");
        QVERIFY(m_temp.isValid());
        qputenv("TMPDIR", m_temp.path().toLocal8Bit());
        useEnglishTexts();
        makeInputs();
        defineOperations();
        m_window = new MainWindow;
        m_window->setUpWindow();
        m_window->show();
    }

    void cleanupTestCase()
    {
        delete m_window;
    }

    // An empty window says what to do; a device this user may not open is named with the access rule.
    void emptyListSaysWhatToDo()
    {
        QLabel* hint = m_window->emptyHint();
        QVERIFY(hint->isVisible());
        QVERIFY(!m_window->deviceList()->isVisible());
        QVERIFY2(hint->text().startsWith(guiText("No device is connected.\n\nConnect a device to this computer with its USB cable "
                                                 "and switch it on. It appears here once it has started, which can take a minute.")),
                 qPrintable(hint->text()));
        QVERIFY(!hint->text().contains(QLatin1String("60-dovrel.rules")));

        // The scanner opens the port as a user without the rule would: as nobody. The device
        // itself is started first, as root.
        DeviceEmulator locked;
        QVERIFY(locked.start({ "--serial", "2350LOCK1" }));
        const QString port = QFileInfo(locked.portPath()).symLinkTarget();
        QVERIFY(port.startsWith(QLatin1String("/dev/pts/")));
        QVERIFY(::seteuid(65534) == 0);
        VirtualPorts::add(port);
        const bool denied = waitUntil([&]() { return SerialPortManager::instance()->deniedPorts().contains(port); }, 20000);
        QVERIFY(::seteuid(0) == 0);
        QVERIFY(denied);
        QTRY_VERIFY(hint->text().contains(QLatin1String("packaging/linux/60-dovrel.rules")));
        QVERIFY(hint->text().contains(port));
        QVERIFY(hint->text().contains(QLatin1String("\"Device access on Linux\"")));
        QVERIFY(!m_window->rowForSerial(QStringLiteral("2350LOCK1")));

        // Unplugged, it is no longer named; a device that is opened replaces the hint by its row.
        VirtualPorts::remove(port);
        locked.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!hint->text().contains(QLatin1String("60-dovrel.rules")), 20000);
        RestartingDevice device;
        QVERIFY(device.start({ "--serial", "2350HINT1" }));
        QVERIFY(waitForRow(device));
        QVERIFY(m_window->deviceList()->isVisible());
        QVERIFY(!hint->isVisible());
        // Unplugged while its row asks: the row is out of sight and the hint back while the box is open.
        bool unplugged = false;
        bool answered = false;
        bool hintWhileAsking = false;
        QElapsedTimer sinceUnplug;
        QTimer user;
        user.setInterval(20);
        connect(&user, &QTimer::timeout, [&]() {
            QWidget* box = QApplication::activeModalWidget();
            if (!box || answered)
                return;
            if (!unplugged) {
                unplugged = true;
                device.unplug();
                sinceUnplug.start();
                return;
            }
            hintWhileAsking = hint->isVisible();
            if (!hintWhileAsking && sinceUnplug.elapsed() < 5000)
                return;
            answered = ModalUser::click(box, QStringLiteral("No"));
        });
        user.start();
        m_window->rowForSerial(QStringLiteral("2350HINT1"))->action(DeviceItemWidget::RebootAction)->trigger();
        user.stop();
        QVERIFY(answered);
        QVERIFY(hintWhileAsking);
        QTRY_VERIFY_WITH_TIMEOUT(hint->isVisible(), 20000);
    }

    // After "Reboot Device" the row stays and says so; a device that stays away longer than
    // it may is said not to be back, and its row is replaced in place once it returns.
    void rowSaysWhenItsDeviceDidNotComeBack()
    {
        // The slow device's row is the first one: it comes back in the first place, not the last.
        // Neither has a clock to set, so no row is chosen before the reboot.
        RestartingDevice slow;
        QVERIFY(slow.start({ "--serial", "2350SLOW1", "--name", "Slow", "--timezone", "780" }, 6000));
        QVERIFY(waitForRow(slow));
        RestartingDevice first;
        QVERIFY(first.start({ "--serial", "2350STAY1", "--timezone", "780" }));
        QVERIFY(waitForRow(first));
        const QPointer<DeviceItemWidget> row = rowOf(slow);
        const int place = m_window->deviceList()->row(m_window->deviceList()->itemAt(row->pos()));
        QCOMPARE(place, 0);
        // With no row chosen among several, F7 opens none of their menus.
        QVERIFY(!m_window->currentRow());
        QWidget* opened = nullptr;
        QTimer::singleShot(200, [&opened]() {
            opened = QApplication::activePopupWidget();
            if (opened)
                opened->close();
        });
        m_window->rowMenuAction()->trigger();
        QTest::qWait(300);
        QVERIFY(!opened);
        DeviceItemWidget::setRestartReturnMs(2000);

        ModalUser user(20000);
        user.answer(guiText("Reboot Device"), guiText("Yes"));
        row->onRebootDevice();
        QCOMPARE(row->stateText(), guiText("Restarting. The device comes back here once it has started."));
        QVERIFY(waitUntil([&]() { return SerialPortManager::instance()->portOfDevice(slow.serial()).isEmpty(); }, 10000));
        // Gone from the bus, the row stays in sight as it was.
        QCOMPARE(m_window->restartingRow(slow.serial()), row.data());
        QVERIFY(row->isVisible());
        const QString notBack = guiText("The device did not come back after the restart. Check its cable and power, or plug it in again.");
        QTRY_COMPARE_WITH_TIMEOUT(row->stateText(), notBack, 10000);
        QCOMPARE(m_window->statusBar()->currentMessage(), QStringLiteral("Slow (2350SLOW1): %1").arg(notBack));
        QVERIFY(!row->menuButton()->isEnabled());

        QVERIFY(waitForRow(slow));
        QTRY_VERIFY(row.isNull());
        QCOMPARE(m_window->deviceList()->row(m_window->deviceList()->itemAt(rowOf(slow)->pos())), place);
        QVERIFY(rowOf(first));
        DeviceItemWidget::setRestartReturnMs(RestartWatcher::ReturnMs);
    }

    static void operationRows(bool withReboot)
    {
        QTest::addColumn<QString>("operation");
        for (const char* name : { "upload", "upgrade", "calibration backup", "calibration restore", "splash", "rename",
                                  "font removal", "font install", "log clearing" })
            QTest::newRow(name) << QString::fromLatin1(name);
        if (withReboot)
            QTest::newRow("reboot") << QStringLiteral("reboot");
    }

    // One function per way the device lives, each a CTest test of its own: they run side by side.
    void operationsToTheirEnd_data() { operationRows(true); }
    void operationsToTheirEnd() { runThroughTheDevicesLife(ToItsEnd); }
    void operationsUnpluggedMidRun_data() { operationRows(false); }
    void operationsUnpluggedMidRun() { runThroughTheDevicesLife(UnpluggedMidRun); }
    void operationsWithASecondDevice_data() { operationRows(false); }
    void operationsWithASecondDevice() { runThroughTheDevicesLife(SecondDeviceMidRun); }
    // A device that stays on the line for seconds after acknowledging its restart.
    void operationsOnADeviceThatStays_data()
    {
        QTest::addColumn<QString>("operation");
        for (const char* name : { "upload", "upgrade", "log clearing" })
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void operationsOnADeviceThatStays() { runThroughTheDevicesLife(StaysBeforeLeaving); }

private:
    void runThroughTheDevicesLife(Mode mode)
    {
        QFETCH(QString, operation);
        const Operation& op = this->operation(operation);
        static int number = 0;
        const QString serial = QStringLiteral("2350LF%1").arg(++number, 3, 10, QLatin1Char('0'));

        RestartingDevice device;
        QStringList args = QStringList { "--populate", "--serial", serial, "--timezone", "60" } + op.deviceArgs;
        if (mode == UnpluggedMidRun)
            args << "--fault" << QStringLiteral("unplug:%1").arg(op.midCommand);
        // The run is surely still going when the second device has been identified.
        if (mode == SecondDeviceMidRun)
            args << "--fault" << QStringLiteral("delay:%1:4000").arg(op.lateCommand);
        if (mode == StaysBeforeLeaving)
            args << "--leave-after" << "4000";
        QVERIFY(device.start(args, 700, false));
        prepare(op, device);
        QVERIFY(waitForRow(device));
        QPointer<DeviceItemWidget> row = rowOf(device);
        const int restartsBefore = device.restarts();

        RestartingDevice second;
        QTimer arrival;
        if (mode == SecondDeviceMidRun) {
            // Plugged in while the first device is in the middle of its run.
            arrival.setInterval(20);
            connect(&arrival, &QTimer::timeout, this, [&]() {
                if (device.emulator.waitForCommand(op.midCommand, 0)) {
                    arrival.stop();
                    second.start({ "--serial", serial + QStringLiteral("B"), "--timezone", "120" }, 700, false);
                }
            });
            arrival.start();
        }

        ModalUser user(20000);
        op.user(user);
        op.start(row);
        // The row's handler has returned: whatever its dialogs met, the program goes on.
        const QString sent = mode == UnpluggedMidRun || op.sent.isEmpty() ? QLatin1Char('#') + op.midCommand : op.sent;
        QVERIFY2(waitUntil([&]() { return device.emulator.commands().join(' ').contains(sent); }, 10000),
                 qPrintable(device.emulator.commands().join(' ') + QLatin1Char('\n') + user.describe()));

        if (mode == UnpluggedMidRun) {
            // One message says the device is gone; the dialog ended and the row went.
            int lost = 0;
            for (const ModalUser::Window& box : user.boxes())
                lost += box.texts.join(' ').contains(lostText()) ? 1 : 0;
        for (const ModalUser::Window& window : user.windows())
            lost += !window.isMessageBox() && window.texts == QStringList { lostText() } ? 1 : 0;
            QVERIFY2(lost == 1, qPrintable(user.describe()));
            QTRY_VERIFY_WITH_TIMEOUT(row.isNull(), 20000);
            QVERIFY(!rowOf(device));
            return;
        }

        // No failure was shown: the boxes seen are the questions the run asks.
        for (const ModalUser::Window& box : user.boxes())
            QVERIFY2(!box.texts.join(' ').contains(lostText()), qPrintable(user.describe()));
        QVERIFY2(!user.describe().contains(QLatin1String("not centred")) && !user.describe().contains(QLatin1String("reset while busy")),
                 qPrintable(user.describe()));
        // The device restarted: its old row went, a new one came with its clock set.
        QVERIFY2(device.waitForReturn(restartsBefore), qPrintable(device.emulator.commands().join(' ')));
        QTRY_VERIFY_WITH_TIMEOUT(row.isNull(), 20000);
        QVERIFY(waitForRow(device));
        QVERIFY(waitUntil([&]() { return clockSetsSinceRestart(device) == 1; }, 20000));

        // What the run was for is on the device it came back as.
        if (op.name == QLatin1String("upgrade"))
            QTRY_VERIFY_WITH_TIMEOUT(rowOf(device)->informationText().contains(QLatin1String("2.2.0.3000")), 10000);
        if (op.name == QLatin1String("log clearing"))
            QTRY_COMPARE_WITH_TIMEOUT(logTables(device), QStringList { QStringLiteral("Tank Level") }, 30000);

        if (mode == SecondDeviceMidRun) {
            QVERIFY(second.waitForIdentification());
            QVERIFY(waitForRow(second));
            // The second device got nothing of the first one's run: only its identification and clock.
            QVERIFY(waitUntil([&]() { return clockSetsSinceRestart(second) == 1; }, 20000));
            QVERIFY2(second.onlyIdentified(), qPrintable(second.emulator.commands().join(' ')));
            QVERIFY(device.emulator.commands().join(' ').contains(op.sent));
        }
    }

private slots:
    // A window opened for device A and used after device C arrived still works on A.
    void workGoesToItsOwnDevice_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("upgrade") << QStringLiteral("upgrade");
        QTest::newRow("log clearing") << QStringLiteral("log clearing");
    }

    void workGoesToItsOwnDevice()
    {
        QFETCH(QString, operation);
        const Operation& op = this->operation(operation);
        static int number = 0;
        const QString serial = QStringLiteral("2351WD%1").arg(++number, 3, 10, QLatin1Char('0'));
        RestartingDevice device;
        QVERIFY(device.start(QStringList { "--populate", "--serial", serial } + op.deviceArgs, 700, false));
        QVERIFY(waitForRow(device));
        RestartingDevice other;

        ModalUser user(20000);
        // Device C is plugged in while the window for A waits for the user; then the user goes on.
        user.when([](QWidget* w) { return qobject_cast<UpgradeDeviceSofwareDialog*>(w) || qobject_cast<LogSelectionDialog*>(w); },
                  [&](QWidget* w) {
                      other.start(QStringList { "--populate", "--serial", serial + QStringLiteral("C") } + op.deviceArgs, 700, true);
                      waitForRow(other);
                      if (auto* upgrade = qobject_cast<UpgradeDeviceSofwareDialog*>(w)) {
                          upgrade->findChild<QPushButton*>(QStringLiteral("upgradeButton"))->click();
                      } else {
                          auto* logs = qobject_cast<LogSelectionDialog*>(w);
                          logs->logList()->item(0)->setSelected(true);
                          logs->action(LogSelectionDialog::ClearAction)->trigger();
                      }
                  });
        user.answer(deviceText("Data Log Files"), guiText("Yes"));
        op.start(rowOf(device));
        QVERIFY2(waitUntil([&]() { return device.emulator.commands().join(' ').contains(op.sent); }, 30000),
                 qPrintable(device.emulator.commands().join(' ') + QLatin1Char('\n') + user.describe()));
        QVERIFY(other.isIdentified());
        QVERIFY2(other.onlyIdentified(), qPrintable(other.emulator.commands().join(' ')));
    }

    // Device A's logs are cleared from its row while device B is rebooted from its own; each
    // comes back under the other's port. The clearing follows A by its serial number.
    void rowsFollowDevicesThatComeBackSwapped()
    {
        const Operation& op = operation(QStringLiteral("log clearing"));
        RestartingDevice a;
        RestartingDevice b;
        QVERIFY(a.start(QStringList { "--populate", "--serial", "2354SWAPA", "--return-link", b.port() } + op.deviceArgs, 700));
        QVERIFY(b.start(QStringList { "--populate", "--serial", "2354SWAPB", "--return-link", a.port() } + op.deviceArgs, 700));
        QVERIFY(waitForRow(a) && waitForRow(b));
        ModalUser user(20000);
        user.on<LogSelectionDialog>([&](LogSelectionDialog* d) {
            // A is away or back under B's port; B leaves for A's.
            rowOf(b)->onRebootDevice();
            d->logList()->item(0)->setSelected(true);
            d->action(LogSelectionDialog::ClearAction)->trigger();
        });
        user.answer(guiText("Reboot Device"), guiText("Yes"));
        user.answer(deviceText("Data Log Files"), guiText("Yes"));
        rowOf(a)->onRetrieveDeviceLog();
        QTRY_COMPARE_WITH_TIMEOUT(logTables(a), QStringList { QStringLiteral("Tank Level") }, 60000);
        QCOMPARE(logTables(b), (QStringList { QStringLiteral("Pressure"), QStringLiteral("Tank Level") }));
        QVERIFY(waitUntil([&]() { return SerialPortManager::instance()->portOfDevice(a.serial()) == b.port(); }, 20000));
        QVERIFY(waitUntil([&]() { return SerialPortManager::instance()->portOfDevice(b.serial()) == a.port(); }, 20000));
        QVERIFY2(!user.describe().contains(lostText()), qPrintable(user.describe()));
    }

    // The upload and data log windows name the device of their row, while another device is
    // the active one and busy.
    void windowsNameTheirRowsDevice()
    {
        RestartingDevice device;
        RestartingDevice other;
        QVERIFY(device.start(QStringList { "--populate", "--serial", "2355NAME1", "--name", "Press" } + operation("log clearing").deviceArgs));
        QVERIFY(other.start({ "--populate", "--serial", "2355NAME2", "--name", "Oven", "--throttle", "4000" }));
        QVERIFY(waitForRow(device) && waitForRow(other));
        // The other device is the active one, busy with a long upgrade.
        QVERIFY(SerialPortManager::instance()->setActivePort(other.port()));
        const QByteArray package(200000, 'p');
        auto* busy = new OperationRun(ServiceRecord::Upgrade, other.serial(), other.port());
        QVERIFY(busy->start([package](DeviceLink* link) { return link->upgradeDeviceSoftware(package); }));
        QVERIFY(other.emulator.waitForCommand(QStringLiteral("RTLD"), 10000));
        QStringList named;
        ModalUser user(20000);
        user.answer(guiText("Upload Project"), guiText("Yes"));
        user.on<DeviceUploadDialog>([&](DeviceUploadDialog* d) { named << d->deviceText(); });
        user.on<DeviceLogRetrieveDialog>([&](DeviceLogRetrieveDialog* d) { named << d->deviceText(); });
        user.on<LogSelectionDialog>([](LogSelectionDialog* d) { d->reject(); });
        rowOf(device)->onRetrieveDeviceLog();
        rowOf(device)->uploadProjectWithFile(m_project);
        const QString line = QStringLiteral("Press (2355NAME1), port %1").arg(device.port());
        QCOMPARE(named, (QStringList { line, line }));
        QVERIFY(!other.emulator.commands().join(' ').contains(QLatin1String("LOAD<")));
    }

    // Two devices with one serial number: a row each, told apart by port and saying so; each
    // row's upload reaches its own device; unplugging one leaves the other's row.
    void twinsGetARowEach()
    {
        RestartingDevice left;
        RestartingDevice right;
        QVERIFY(left.start({ "--populate", "--serial", "2356TWIN1", "--name", "Left" }));
        QVERIFY(right.start({ "--populate", "--serial", "2356TWIN1", "--name", "Right" }));
        QVERIFY(waitUntil([&]() { return m_window->rowForPort(left.port()) && m_window->rowForPort(right.port()); }, 30000));
        for (const RestartingDevice* device : { &left, &right }) {
            QVERIFY(m_window->rowForPort(device->port())->isTwin());
            QCOMPARE(m_window->rowForPort(device->port())->twinText(), guiText("Another connected device has the same serial number"));
        }
        const int restarts = right.restarts();
        ModalUser user(20000);
        operation(QStringLiteral("upload")).user(user);
        m_window->rowForPort(right.port())->uploadProjectWithFile(m_project);
        QVERIFY2(right.waitForReturn(restarts), qPrintable(right.emulator.commands().join(' ') + QLatin1Char('\n') + user.describe()));
        QVERIFY(right.emulator.commands().join(' ').contains(QLatin1String("#LOAD<project/")));
        QVERIFY2(left.onlyIdentified(), qPrintable(left.emulator.commands().join(' ')));
        QVERIFY(waitUntil([&]() { return m_window->rowForPort(right.port()) != nullptr; }, 20000));

        right.unplug();
        QVERIFY(waitUntil([&]() { return !m_window->rowForPort(right.port()); }, 20000));
        QVERIFY(m_window->rowForPort(left.port()));
        QVERIFY(!m_window->rowForPort(left.port())->isTwin());
    }

    // A device that restarts comes back in its row's place, and the selection stays with it
    // meanwhile: F7 never opens another device's menu.
    void restartingRowKeepsItsPlaceAndSelection()
    {
        RestartingDevice first;
        RestartingDevice second;
        QVERIFY(first.start({ "--populate", "--serial", "2357PLACE1" }));
        QVERIFY(second.start({ "--populate", "--serial", "2357PLACE2" }));
        QVERIFY(waitForRow(first) && waitForRow(second));
        auto placeOf = [this](const QString& serial) {
            DeviceItemWidget* row = m_window->rowForSerial(serial);
            for (int i = 0; row && i < m_window->deviceList()->count(); ++i) {
                if (m_window->deviceList()->itemWidget(m_window->deviceList()->item(i)) == row)
                    return i;
            }
            return -1;
        };
        const int place = placeOf(first.serial());
        QVERIFY(place >= 0);
        QPointer<DeviceItemWidget> row = rowOf(first);
        emit row->selected();
        QCOMPARE(m_window->currentRow(), row.data());
        const int restarts = first.restarts();
        ModalUser user(20000);
        operation(QStringLiteral("upload")).user(user);
        QPointer<DeviceItemWidget> waiting;
        QPointer<DeviceItemWidget> chosen;
        user.on<DeviceUploadDialog>([&](DeviceUploadDialog*) {
            // Away: its row waits in place and keeps the selection.
            waitUntil([&]() { return SerialPortManager::instance()->portOfDevice(first.serial()).isEmpty(); }, 20000);
            waiting = m_window->restartingRow(first.serial());
            chosen = m_window->currentRow();
        });
        row->uploadProjectWithFile(m_project);
        QVERIFY(waiting && waiting == row);
        QCOMPARE(chosen.data(), row.data());
        QVERIFY(first.waitForReturn(restarts));
        QVERIFY(waitForRow(first));
        QCOMPARE(placeOf(first.serial()), place);
        QCOMPARE(m_window->currentRow(), rowOf(first));
    }

    // The log clearing fails on the device after its window has closed: the main window says so.
    void failedClearingIsReported()
    {
        RestartingDevice device;
        const Operation& op = operation(QStringLiteral("log clearing"));
        QVERIFY(device.start(QStringList { "--populate", "--serial", "2352FC001", "--fault", "error:UNIX<mv tmp/dataLogging" }
                                 + op.deviceArgs,
                             700, false));
        QVERIFY(waitForRow(device));
        ModalUser user(20000);
        op.user(user);
        op.start(rowOf(device));
        QVERIFY(waitUntil([&]() { return user.describe().contains(guiText("The logs were not cleared from %1; they are still on the device.\n%2").left(25)); },
                          60000));
        const ModalUser::Window report = user.boxes().last();
        QCOMPARE(report.title, guiText("Retrieve Device Data Logged"));
        QVERIFY2(report.texts.join(' ').contains(runtimeText("The operation timed out while moving updated log from temp folder.")),
                 qPrintable(user.describe()));
        // Both logs are still in the device's data log.
        QVERIFY(device.waitForReturn(device.restarts() - 1));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(device.emulator.filePath(QStringLiteral("qml/dataLogging.txdb")));
        QVERIFY(db.open());
        QCOMPARE(db.tables().size(), 2);
        db.close();
    }

    // "Yes" to replacing a calibration backup, then the device has none to give: the old backup stays.
    void failedBackupKeepsTheOldOne()
    {
        RestartingDevice device;
        QVERIFY(device.start({ "--populate", "--serial", "2353BK001" }, 700, false));
        QVERIFY(waitForRow(device));
        QVERIFY(QFile::remove(device.emulator.filePath(QStringLiteral("cal_list.txt"))));
        const QString backup = DeviceConfigurator::calibrationFilePath(device.serial());
        QVERIFY(FolderTree::writeFile(backup, "the old calibration\n"));
        ModalUser user(20000);
        configure(user, [](DeviceConfigurator* d) { chooseCalibration(d, guiText("Backup")); });
        user.answer(guiText("Backup Calibration"), guiText("Yes"));
        rowOf(device)->onConfigDevice();
        QVERIFY2(user.describe().contains(runtimeText("The calibration file does not exist on the device.")), qPrintable(user.describe()));
        QFile file(backup);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("the old calibration\n"));
    }
};

QTEST_MAIN(TestDeviceLife)
#include "tst_devicelife.moc"
