// The batch window opened from the main window, against emulated devices under /dev that
// restart like real ones: one package to several devices at once, the devices it does not
// fit or that are busy left alone, a device pulled out mid-run, production mode, the CSV,
// and a transfer abandoned by Cancel.
#include "batchdevicemodel.h"
#include "batchpackage.h"
#include "batchwindow.h"
#include "deviceitemwidget.h"
#include "deviceuploaddialog.h"
#include "dovrelctlrun.h"
#include "englishtexts.h"
#include "eventwait.h"
#include "hardwareinfodialog.h"
#include "localizationhelper.h"
#include "mainwindow.h"
#include "modaluser.h"
#include "operationrun.h"
#include "projectpackage.h"
#include "randomdata.h"
#include "restartingdevice.h"
#include "serialportmanager.h"
#include "servicehistory.h"

#include <QAction>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QMenuBar>
#include <QSpinBox>
#include <QTemporaryDir>

using namespace Orvane::Tavrix::Designer;
using Orvane::Tavrix::Common::BatchResult;
using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Common::runtimeText;
using Orvane::Tavrix::Common::ServiceHistory;
using Orvane::Tavrix::Runtime::BatchPackage;
using Orvane::Tavrix::Runtime::OperationRun;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

QString sha256Of(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? QString::fromLatin1(hash.result().toHex()) : QString();
}

} // namespace

class TestBatchWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_temp;
    MainWindow* m_window = nullptr;
    QString m_project;
    QString m_software;
    int m_serials = 0;

    QString nextSerial() { return QStringLiteral("2360BW%1").arg(++m_serials, 3, 10, QLatin1Char('0')); }

    // Opened as the user opens it: the menu bar's entry, by its shortcut.
    BatchWindow* openBatch()
    {
        for (QAction* action : m_window->menuBar()->findChildren<QAction*>()) {
            if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_B))
                action->trigger();
        }
        return m_window->batchWindow();
    }

    // A device's line: twins share a serial number, never a port.
    static int lineOf(const BatchDeviceModel* model, const RestartingDevice& device)
    {
        const QString port = device.info().value(QStringLiteral("port"));
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->serialAt(row) == device.serial() && model->portAt(row) == port)
                return row;
        }
        return -1;
    }

    bool startDevice(RestartingDevice& device, const QStringList& args)
    {
        const QString serial = nextSerial();
        return device.start(QStringList { "--populate", "--serial", serial, "--name", QStringLiteral("Bench %1").arg(m_serials) }
                            + args)
            && waitUntil([&]() { return m_window->rowForSerial(serial) != nullptr; }, 30000);
    }

private slots:
    void initTestCase()
    {
        if (!RestartingDevice::devIsWritable())
            QSKIP("The devices' ports live under /dev, which is not writable here.");
        QVERIFY(m_temp.isValid());
        qputenv("TMPDIR", m_temp.path().toLocal8Bit());
        useEnglishTexts();
        m_project = m_temp.filePath(QStringLiteral("line.txdevproj"));
        QVERIFY(writeProjectPackage(m_project, { { "project/main.qml", "import QtQuick 2.0\nItem { }\n" },
                                                 { "project/logo.png", randomBytes(40000, 7) } }));
        m_software = writeSoftwarePackage(m_temp.filePath(QStringLiteral("line.txsw")), QStringLiteral("1.1.0.1910"), 60000);
        QVERIFY(!m_software.isEmpty());
        m_window = new MainWindow;
        m_window->setUpWindow();
        m_window->show();
        // The main window is closed in a test and shown again for the next.
        QGuiApplication::setQuitOnLastWindowClosed(false);
    }

    void cleanupTestCase() { delete m_window; }

    // Every test begins with a new window: the lines of earlier devices go with the old one.
    void cleanup() { delete m_window->batchWindow(); }

    void batchToAll_data()
    {
        QTest::addColumn<bool>("project");
        QTest::addColumn<QString>("sentCommand");
        QTest::addColumn<QString>("otherModelReason");
        QTest::newRow("upload") << true << QStringLiteral("#LOAD<config.txrc>")
                                << guiText("This project is incompatible with your device model %1.").arg(QStringLiteral("QMX 43-B"));
        QTest::newRow("upgrade") << false << QStringLiteral("#RTLD<")
                                 << guiText("The software is incompatible with the device model.");
    }

    // Five devices: two take the package, one of another model and one busy with its row's
    // window are left alone, one is pulled out in the middle; the CSV says so, line by line.
    void batchToAll()
    {
        QFETCH(bool, project);
        QFETCH(QString, sentCommand);
        QFETCH(QString, otherModelReason);
        const QString package = project ? m_project : m_software;
        RestartingDevice first, second, otherModel, pulled, busy;
        QVERIFY(startDevice(first, {}));
        QVERIFY(startDevice(second, {}));
        QVERIFY(startDevice(otherModel, { "--model", "QMX 43-B" }));
        QVERIFY(startDevice(pulled, { "--fault", "unplug-after-bytes:20000" }));
        QVERIFY(startDevice(busy, {}));
        const QList<RestartingDevice*> took { &first, &second };
        const int restarts[] = { first.restarts(), second.restarts() };

        BatchWindow* batch = openBatch();
        QVERIFY(batch && batch->isVisible());
        QVERIFY(batch->setPackage(package));
        BatchDeviceModel* model = batch->model();
        QCOMPARE(model->rowCount(), 5);
        QVERIFY(!model->isTickable(otherModel.serial()));
        QCOMPARE(model->data(model->index(model->rowOf(otherModel.serial()), BatchDeviceModel::FitColumn)).toString(), otherModelReason);
        QCOMPARE(model->startable().size(), 4);

        // Started while a window of the busy device's row is open.
        ModalUser user(120000);
        bool ran = false;
        user.on<HardwareInfoDialog>([&](HardwareInfoDialog* dialog) {
            batch->startButton()->click();
            waitUntil([&]() { return !model->isActive(); }, 90000);
            ran = true;
            dialog->reject();
        });
        BatchPackage chosen;
        QVERIFY(chosen.load(package));
        user.answer(chosen.confirmationTitle(), guiText("Yes"));
        m_window->rowForSerial(busy.serial())->showHardwareInformation();
        QVERIFY2(ran && !model->isActive(), qPrintable(user.describe()));
        // Asked once, for the four devices it starts on.
        QVERIFY2(user.describe().contains(chosen.confirmationText(4)), qPrintable(user.describe()));

        for (int i = 0; i < took.size(); ++i) {
            const BatchResult result = model->result(took.at(i)->serial());
            QCOMPARE(result.outcome, BatchResult::Done);
            QVERIFY(took.at(i)->emulator.commandCount(sentCommand) >= 1);
            QVERIFY(took.at(i)->waitForReturn(restarts[i]));
        }
        QCOMPARE(model->result(pulled.serial()).outcome, BatchResult::DeviceLost);
        QCOMPARE(model->result(pulled.serial()).reason, runtimeText("The connection to the device was lost."));
        QCOMPARE(model->result(otherModel.serial()).outcome, BatchResult::Skipped);
        QCOMPARE(model->result(busy.serial()).outcome, BatchResult::Skipped);
        QCOMPARE(model->result(busy.serial()).reason, guiText("Busy: a window of its row is open"));
        QVERIFY(otherModel.onlyIdentified());
        QVERIFY(busy.onlyIdentified());
        QCOMPARE(batch->countsLabel()->text(), guiText("Done: %1   Failed: %2   Skipped: %3").arg(2).arg(1).arg(2));

        // One line per device.
        const QString csv = m_temp.filePath(QStringLiteral("%1.csv").arg(QTest::currentDataTag()));
        QVERIFY(batch->saveCsv(csv));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines.first(), BatchResult::csvHeader().join(QLatin1Char(',')));
        struct Expected
        {
            const RestartingDevice* device;
            QString model;
            QString result;
            QString reason;
            bool started;
        };
        const QList<Expected> expected {
            { &first, "QMX 70-A", "done", QString(), true },
            { &second, "QMX 70-A", "done", QString(), true },
            { &otherModel, "QMX 43-B", "skipped", otherModelReason, false },
            { &pulled, "QMX 70-A", "device-lost", runtimeText("The connection to the device was lost."), true },
            { &busy, "QMX 70-A", "skipped", guiText("Busy: a window of its row is open"), false },
        };
        for (const Expected& line : expected) {
            const QStringList found = lines.filter(line.device->serial() + QLatin1Char(','));
            QCOMPARE(found.size(), 1);
            const QStringList fields = found.first().split(QLatin1Char(','));
            QCOMPARE(fields.size(), 16);
            QCOMPARE(fields.at(0), line.device->serial());
            QCOMPARE(fields.at(1), QStringLiteral("Bench %1").arg(line.device->serial().right(3).toInt()));
            QCOMPARE(fields.at(2), line.model);
            QCOMPARE(fields.at(3), QStringLiteral("1.1.0.1910"));
            // Known once it was back (the pulled one never is).
            QCOMPARE(fields.at(4), line.result == QLatin1String("done") ? QStringLiteral("1.1.0.1910") : QString());
            QCOMPARE(fields.at(5), QFileInfo(package).fileName());
            QCOMPARE(fields.at(6), sha256Of(package));
            QCOMPARE(fields.at(7), line.result);
            QCOMPARE(fields.at(8), line.reason);
            QCOMPARE(!fields.at(9).isEmpty(), line.started);
            QCOMPARE(fields.at(10).toDouble() > 0, line.started);
            // Emulated ports have no slot; the operator is the login name unless one is set.
            QCOMPARE(fields.mid(11), QStringList({ QString(), QStringLiteral("unsigned"), QString(), line.device->port(),
                                                   ServiceHistory::loginName() }));
        }
    }

    // Production mode: a device plugged in later that fits gets the package once, through its
    // restart and return; one that does not fit is counted as skipped; the one already there is left.
    void productionMode()
    {
        RestartingDevice there, later, otherLater, lost;
        QVERIFY(startDevice(there, {}));
        BatchWindow* batch = openBatch();
        QVERIFY(batch->setPackage(m_project));
        ModalUser user(60000);
        user.answer(guiText("Upload Project"), guiText("Yes"));
        batch->productionBox()->click();
        BatchDeviceModel* model = batch->model();
        QVERIFY2(model->isProductionMode(), qPrintable(user.describe()));

        QVERIFY(startDevice(later, {}));
        QVERIFY(startDevice(otherLater, { "--model", "QMX 43-B" }));
        QVERIFY(waitUntil([&]() { return model->result(later.serial()).outcome == BatchResult::Done; }, 60000));
        QVERIFY(later.waitForReturn(0));
        // Back under its serial number, it is not served again.
        waitEvents(1500);
        QCOMPARE(later.emulator.commandCount(QStringLiteral("#LOAD<config.txrc>")), 1);
        QCOMPARE(model->result(otherLater.serial()).outcome, BatchResult::Skipped);
        QVERIFY(there.onlyIdentified());
        QVERIFY(otherLater.onlyIdentified());
        QCOMPARE(batch->countsLabel()->text(), guiText("Done: %1   Failed: %2   Skipped: %3").arg(1).arg(0).arg(1));

        // Pulled out mid-run and plugged in again: served, as any device that has not had it.
        QVERIFY(startDevice(lost, { "--fault", "unplug-after-bytes:20000" }));
        QVERIFY(waitUntil([&]() { return model->result(lost.serial()).outcome == BatchResult::DeviceLost; }, 60000));
        // The unplugged device's program ends first (slowly under the sanitizers).
        QVERIFY(lost.emulator.waitForExit(30000));
        QVERIFY(lost.start({ "--populate", "--serial", lost.serial(), "--name", "Bench again" }));
        QVERIFY(waitUntil([&]() { return model->result(lost.serial()).outcome == BatchResult::Done; }, 60000));
        QCOMPARE(model->rowCount(), 4);
        QCOMPARE(batch->countsLabel()->text(), guiText("Done: %1   Failed: %2   Skipped: %3").arg(2).arg(0).arg(1));
        batch->cancelButton()->click();
        QVERIFY(!model->isProductionMode() && !batch->productionBox()->isChecked());

        // Another package: fresh lines and counts.
        QVERIFY(waitUntil([&]() { return !model->isActive(); }, 30000));
        QVERIFY(batch->setPackage(m_software));
        QCOMPARE(batch->countsLabel()->text(), guiText("Done: %1   Failed: %2   Skipped: %3").arg(0).arg(0).arg(0));
        QVERIFY(model->results().isEmpty());
    }

    void stagedRun_data()
    {
        QTest::addColumn<int>("canary");
        QTest::addColumn<int>("maxParallel");
        QTest::addColumn<int>("stopAfter");
        QTest::addColumn<int>("faulty"); // refuses the project once; -1: none
        QTest::addColumn<QString>("results"); // each device: done, failed, skipped
        QTest::addColumn<QString>("stage");
        QTest::newRow("a failing canary leaves the rest untouched")
            << 1 << 0 << 0 << 0 << "fss" << "Canary: 1 of 1 failed; the rest are skipped";
        QTest::newRow("a good canary lets them start after its end")
            << 1 << 0 << 0 << -1 << "ddd" << "Canary: 1 of 1 done; the rest start now";
        QTest::newRow("one at a time, stop after 1 failure")
            << 0 << 1 << 1 << 1 << "dfs" << "Stopped after 1 failure; the rest are skipped";
    }

    // Three devices in stages, the last two twins (one serial number, two lines); then
    // "Try failed again" serves only the lines that failed or were skipped.
    void stagedRun()
    {
        QFETCH(int, canary);
        QFETCH(int, maxParallel);
        QFETCH(int, stopAfter);
        QFETCH(int, faulty);
        QFETCH(QString, results);
        QFETCH(QString, stage);
        RestartingDevice devices[3];
        const QString twin = nextSerial();
        for (int i = 0; i < 3; ++i) {
            QStringList args { "--populate", "--serial", i == 0 ? nextSerial() : twin, "--name", QStringLiteral("Staged %1").arg(i) };
            if (i == faulty)
                args << "--fault" << "error:UNIX<mv tmp/project:1";
            // A slow first device: the others would be seen starting beside it.
            if (i == 0)
                args << "--throttle" << "20000";
            QVERIFY(devices[i].start(args));
        }
        BatchWindow* batch = openBatch();
        QVERIFY(batch->setPackage(m_project));
        BatchDeviceModel* model = batch->model();
        QCOMPARE(model->rowCount(), 3);
        int rows[3];
        for (int i = 0; i < 3; ++i)
            rows[i] = lineOf(model, devices[i]);
        QVERIFY(rows[0] >= 0 && rows[1] >= 0 && rows[2] >= 0 && rows[1] != rows[2]);
        batch->canaryBox()->setValue(canary);
        batch->maxParallelBox()->setValue(maxParallel);
        batch->stopAfterFailuresBox()->setValue(stopAfter);
        ModalUser user(120000);
        user.answer(guiText("Upload Project"), guiText("Yes"));
        user.answer(guiText("Upload Project"), guiText("Yes"));
        batch->startButton()->click();
        // The question names every device, the twins by their ports.
        QVERIFY2(user.describe().contains(model->portAt(rows[1])) && user.describe().contains(model->portAt(rows[2])),
                 qPrintable(user.describe()));
        auto loads = [&](int i) { return devices[i].emulator.commandCount(QStringLiteral("#LOAD<config.txrc>")); };
        QVERIFY(waitUntil([&]() { return loads(1) + loads(2) > 0 || model->resultAt(rows[0]).outcome != BatchResult::Pending; }, 60000));
        QCOMPARE(loads(1) + loads(2), 0);
        QVERIFY(waitUntil([&]() { return !model->isActive(); }, 90000));
        QCOMPARE(batch->stageLabel()->text(), stage);
        const BatchResult::Outcome outcomes[] = { BatchResult::Done, BatchResult::Failed, BatchResult::Skipped };
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(model->resultAt(rows[i]).outcome, outcomes[QStringLiteral("dfs").indexOf(results.at(i))]);
            QCOMPARE(loads(i), results.at(i) == 's' ? 0 : 1);
        }

        QCOMPARE(batch->retryButton()->isEnabled(), results != QLatin1String("ddd"));
        if (results == QLatin1String("ddd"))
            return;
        batch->retryButton()->click();
        QVERIFY(waitUntil([&]() { return !model->isActive(); }, 90000));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(model->resultAt(rows[i]).outcome, BatchResult::Done);
            QCOMPARE(loads(i), results.at(i) == 'd' ? 1 : results.at(i) == 'f' ? 2 : 1);
        }
        QVERIFY(!batch->retryButton()->isEnabled());
    }

    // Each line follows its device by serial number through the restart that ends the
    // upgrade: one that stays on the line for seconds before it leaves, and two that come back
    // under each other's port. "Done" comes with the software each came back with.
    void linesFollowTheirDevicesThroughTheRestart()
    {
        const QString software = writeSoftwarePackage(m_temp.filePath(QStringLiteral("newer.txsw")), QStringLiteral("1.1.0.1910"),
                                                      QStringLiteral("2.2.0.3000"));
        RestartingDevice stays, swapA, swapB;
        QVERIFY(startDevice(stays, { "--leave-after", "4000" }));
        QVERIFY(startDevice(swapA, { "--return-link", swapB.port() }));
        QVERIFY(startDevice(swapB, { "--return-link", swapA.port() }));
        BatchWindow* batch = openBatch();
        QVERIFY(batch->setPackage(software));
        BatchDeviceModel* model = batch->model();
        ModalUser user(60000);
        user.answer(guiText("Upgrade Device Software"), guiText("Yes"));
        batch->startButton()->click();
        QVERIFY(waitUntil([&]() { return !model->isActive(); }, 90000));
        for (const RestartingDevice* device : { &stays, &swapA, &swapB }) {
            const BatchResult result = model->result(device->serial());
            QVERIFY2(result.outcome == BatchResult::Done, qPrintable(result.reason));
            QCOMPARE(result.versionAfter, QStringLiteral("2.2.0.3000"));
        }
        SerialPortManager* manager = SerialPortManager::instance();
        QCOMPARE(manager->portOfDevice(swapA.serial()), swapB.port());
        QCOMPARE(manager->portOfDevice(swapB.serial()), swapA.port());
    }

    // The main window closed while devices work: the question names each device and what it
    // does; Cancel keeps the program open; Stop safely leaves every device whole and closes.
    void closingTheMainWindowWhileDevicesWork_data()
    {
        QTest::addColumn<QString>("work");
        QTest::addColumn<QString>("answer");
        QTest::newRow("batch, cancel") << "batch" << "Cancel";
        QTest::newRow("batch, stop safely") << "batch" << "Stop safely";
        QTest::newRow("row upload, stop safely") << "upload" << "Stop safely";
    }

    void closingTheMainWindowWhileDevicesWork()
    {
        QFETCH(QString, work);
        QFETCH(QString, answer);
        RestartingDevice first, second;
        QVERIFY(startDevice(first, { "--throttle", "8000" }));
        QVERIFY(startDevice(second, { "--throttle", "8000" }));
        const QByteArray before = first.emulator.readFile(QStringLiteral("qml/project/main.qml"));
        auto transferring = [&]() {
            return first.emulator.commandCount(QStringLiteral("#LOAD<project/logo")) > 0
                && (work == QLatin1String("upload") || second.emulator.commandCount(QStringLiteral("#LOAD<project/logo")) > 0);
        };
        ModalUser user(60000);
        QStringList asked;
        user.when([](QWidget* w) { return ModalUser::isBox(w) && w->windowTitle() == QCoreApplication::applicationName(); },
                  [&](QWidget* box) {
                      for (QLabel* label : box->findChildren<QLabel*>())
                          asked << label->text();
                      ModalUser::click(box, answer);
                  });
        user.answer(guiText("Upload Project"), guiText("Yes"));
        if (work == QLatin1String("batch")) {
            BatchWindow* batch = openBatch();
            QVERIFY(batch->setPackage(m_project));
            batch->startButton()->click();
            QVERIFY(waitUntil(transferring, 30000));
            m_window->close();
        } else {
            user.on<DeviceUploadDialog>([&](DeviceUploadDialog*) {
                waitUntil(transferring, 30000);
                m_window->close();
            });
            m_window->rowForSerial(first.serial())->uploadProjectWithFile(m_project);
        }
        QVERIFY(waitUntil([&]() { return !asked.isEmpty(); }, 30000));
        const QString text = asked.join(QLatin1Char(' '));
        QVERIFY2(text.contains(QStringLiteral("Bench %1 (%2): uploading, ").arg(first.serial().right(3).toInt()).arg(first.serial())),
                 qPrintable(text));
        QCOMPARE(text.contains(second.serial()), work == QLatin1String("batch"));
        if (answer == QLatin1String("Cancel")) {
            QVERIFY(m_window->isVisible());
            QVERIFY(waitUntil([&]() { return OperationRun::active().isEmpty(); }, 90000));
            QVERIFY(m_window->isVisible());
        } else {
            QVERIFY(waitUntil([&]() { return !m_window->isVisible(); }, 60000));
            QVERIFY(OperationRun::active().isEmpty());
        }
        // Whole: the project it had, or the new one, never a part.
        for (RestartingDevice* device : { &first, &second }) {
            QVERIFY(device->waitForIdentification());
            const QByteArray project = device->emulator.readFile(QStringLiteral("qml/project/main.qml"));
            QVERIFY(project == before || project == "import QtQuick 2.0\nItem { }\n");
            QVERIFY(!device->emulator.readFile(QStringLiteral("qml/config.txrc")).isEmpty());
        }
        m_window->show();
    }

    // Cancel during a transfer asks, then abandons it: the device is told the transfer is
    // cancelled, restarts, and keeps the software it had.
    void cancelAbandonsTransfer()
    {
        const QString software = writeSoftwarePackage(m_temp.filePath(QStringLiteral("big.txsw")), QStringLiteral("1.1.0.1910"), 200000);
        RestartingDevice device;
        QVERIFY(startDevice(device, { "--throttle", "11520" }));
        const int restarts = device.restarts();
        BatchWindow* batch = openBatch();
        QVERIFY(batch->setPackage(software));
        BatchDeviceModel* model = batch->model();
        ModalUser user(60000);
        user.answer(guiText("Upgrade Device Software"), guiText("Yes"));
        user.answer(guiText("Cancel Batch"), guiText("Yes"));
        batch->startButton()->click();
        const QModelIndex progress = model->index(model->rowOf(device.serial()), BatchDeviceModel::ProgressColumn);
        QVERIFY(waitUntil([&]() { return model->data(progress, BatchDeviceModel::ProgressRole).toInt() >= 10; }, 30000));
        QCOMPARE(model->transferring(), QStringList { device.serial() });

        batch->cancelButton()->click();
        QVERIFY(waitUntil([&]() { return !model->isActive(); }, 20000));
        const BatchResult result = model->result(device.serial());
        QCOMPARE(result.outcome, BatchResult::Failed);
        QCOMPARE(result.reason, guiText("The transfer was abandoned; the device restarts with what it had before."));
        QVERIFY(device.waitForReturn(restarts));
        const QList<QJsonObject> failed = device.emulator.events(QStringLiteral("transfer-failed"));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.first().value(QStringLiteral("reason")).toString(), QStringLiteral("cancelled by the sender"));
        QVERIFY(device.emulator.events(QStringLiteral("file-received")).isEmpty());
    }
};

QTEST_MAIN(TestBatchWindow)
#include "tst_batchwindow.moc"
