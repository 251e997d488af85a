// The main window and its device rows against emulated devices reached through /dev/pts.
#include "aboutdialog.h"
#include "apptestsupport.h"
#include "devicefontsdialog.h"
#include "deviceitemwidget.h"
#include "devicelistholder.h"
#include "englishtexts.h"
#include "filehelper.h"
#include "handoverserver.h"
#include "historymodel.h"
#include "historywindow.h"
#include "hardwareinfodialog.h"
#include "instancelock.h"
#include "mainwindow.h"
#include "norraapplication.h"
#include "serialportmanager.h"
#include "servicehistory.h"
#include "servicehistorywriter.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QListWidgetItem>
#include <QMenuBar>
#include <QMenu>
#include <QTableWidget>
#include <QMimeData>
#include <QSettings>
#include <QStatusBar>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrl>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <vector>

using Orvane::Tavrix::Common::FileHelper;
using Orvane::Tavrix::Designer::AboutDialog;
using Orvane::Tavrix::Designer::DeviceItemWidget;
using Orvane::Tavrix::Designer::HandOverServer;
using Orvane::Tavrix::Common::ServiceHistory;
using Orvane::Tavrix::Common::ServiceHistoryWriter;
using Orvane::Tavrix::Common::ServiceRecord;
using Orvane::Tavrix::Designer::HardwareInfoDialog;
using Orvane::Tavrix::Designer::HistoryWindow;
using Orvane::Tavrix::Designer::InstanceLock;
using Orvane::Tavrix::Designer::MainWindow;
using Orvane::Tavrix::Designer::NorraApplication;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

QSettings rowSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kavendi"), QStringLiteral("Lumatra"));
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_temp;
    PtsDevice m_a; // 2314A001, UTC+05:30
    PtsDevice m_b; // 5414B002, UTC-08:00
    PtsDevice m_c; // 0915C003, an offset out of range
    PtsDevice m_d; // "AB", an offset that is no number
    MainWindow* m_window = nullptr;

    DeviceItemWidget* row(const PtsDevice& device) const
    {
        return m_window->rowForSerial(device.info().value(QStringLiteral("serial")));
    }
    DeviceItemWidget* rowAt(int index) const
    {
        return qobject_cast<DeviceItemWidget*>(m_window->deviceList()->itemWidget(m_window->deviceList()->item(index)));
    }

private slots:
    void initTestCase()
    {
        // The lock file and the working folders go to a folder of this test alone.
        QVERIFY(m_temp.isValid());
        qputenv("XDG_RUNTIME_DIR", m_temp.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", m_temp.filePath(QStringLiteral("data")).toLocal8Bit());
        QCOMPARE(FileHelper::getStandardRuntimeLocation(), m_temp.path());
        useEnglishTexts();
        rowSettings().clear();

        QVERIFY(m_a.start({ "--serial", "2314A001", "--name", "Tank Room", "--timezone", "330" }));
        m_window = new MainWindow;
        m_window->setUpWindow();
        m_window->show();
    }

    void cleanupTestCase()
    {
        const QString lock = NorraApplication::lockFilePath();
        delete m_window;
        m_window = nullptr;
        QVERIFY2(!QFile::exists(lock), "the window deletes its lock file");
        m_a.stop();
        m_b.stop();
        m_c.stop();
        m_d.stop();
    }

    void lockFileHoldsTheListeningPort()
    {
        const QByteArray content = FileHelper::getFileRawData(NorraApplication::lockFilePath());
        QVERIFY(!content.isEmpty());
        QVERIFY2(QRegularExpression(QStringLiteral("^[0-9]+$")).match(QString::fromLatin1(content)).hasMatch(), content);
        QCOMPARE(content.toInt(), int(m_window->serverPort()));
        QVERIFY(m_window->serverPort() >= 10000 && m_window->serverPort() <= 40000);
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.1"), m_window->serverPort());
        QVERIFY(socket.waitForConnected(5000));
        socket.write(":new");
        QVERIFY(socket.waitForBytesWritten(5000));
    }

    // Any local process may connect: only exactly ":new" is acted on, and the program
    // closes every connection itself within its read time.
    void handOverActsOnlyOnExactMessage_data()
    {
        QTest::addColumn<QByteArray>("said");
        QTest::addColumn<bool>("acted");
        QTest::newRow("second start") << QByteArray(":new") << true;
        QTest::newRow("more after it") << QByteArray(":new\n") << false;
        QTest::newRow("part of it") << QByteArray(":ne") << false;
        QTest::newRow("silence") << QByteArray() << false;
    }

    void handOverActsOnlyOnExactMessage()
    {
        QFETCH(QByteArray, said);
        QFETCH(bool, acted);
        const QString path = m_temp.filePath(QStringLiteral("handover/Kavendi-lockfile"));
        auto* lock = new InstanceLock(path);
        QCOMPARE(lock->tryAcquire(), InstanceLock::Acquired);
        {
            HandOverServer server;
            QVERIFY(server.start(lock));
            QSignalSpy started(&server, &HandOverServer::newInstanceStarted);
            QTcpSocket socket;
            socket.connectToHost(QStringLiteral("127.0.0.1"), server.serverPort());
            QVERIFY(socket.waitForConnected(5000));
            QTRY_COMPARE(server.openConnections(), 1);
            if (!said.isEmpty()) {
                socket.write(said);
                socket.disconnectFromHost(); // as a second start does
            }
            QTRY_VERIFY_WITH_TIMEOUT(server.openConnections() == 0 && socket.state() == QAbstractSocket::UnconnectedState,
                                     HandOverServer::ReadTimeoutMs + 3000);
            QCOMPARE(started.count(), acted ? 1 : 0);
        }
        QVERIFY2(!QFileInfo::exists(path), "the server deletes the lock it holds");
    }

    // A listen failure that another port would not mend (here: no descriptor left) ends
    // the start with its reason instead of trying for ever.
    void listenFailureEndsTheStartWithItsReason()
    {
        auto* lock = new InstanceLock(m_temp.filePath(QStringLiteral("nolisten/Kavendi-lockfile")));
        QCOMPARE(lock->tryAcquire(), InstanceLock::Acquired);
        HandOverServer server;
        rlimit saved {};
        getrlimit(RLIMIT_NOFILE, &saved);
        const int base = ::open("/dev/null", O_RDONLY);
        rlimit low = saved;
        low.rlim_cur = rlim_t(base) + 1;
        for (const QString& fd : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System | QDir::NoDotAndDotDot))
            low.rlim_cur = qMax(low.rlim_cur, rlim_t(fd.toInt()) + 1);
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &low), 0);
        std::vector<int> holes;
        for (int fd = ::dup(base); fd >= 0; fd = ::dup(base))
            holes.push_back(fd);
        const bool started = server.start(lock);
        for (const int fd : holes)
            ::close(fd);
        ::close(base);
        setrlimit(RLIMIT_NOFILE, &saved);
        QVERIFY(!started);
        QVERIFY2(server.errorString().contains(QStringLiteral("listening on 127.0.0.1 failed (")), qPrintable(server.errorString()));
    }

    // A holder deletes only the file it holds, never one that took its name since.
    void lockReleaseLeavesAnotherHoldersFile()
    {
        const QString path = m_temp.filePath(QStringLiteral("release/Kavendi-lockfile"));
        InstanceLock first(path);
        QCOMPARE(first.tryAcquire(), InstanceLock::Acquired);
        QVERIFY(QFile::remove(path));
        InstanceLock second(path);
        QCOMPARE(second.tryAcquire(), InstanceLock::Acquired);
        QVERIFY(second.write("222"));
        QVERIFY(!first.restoreName());
        first.release();
        QCOMPARE(InstanceLock::readContent(path), QByteArray("222"));
    }

    void windowShowsHeadingAndMenus()
    {
        QCOMPARE(m_window->objectName(), QStringLiteral("general"));
        QCOMPARE(m_window->heading()->text(), QStringLiteral("Connected devices"));
        QCOMPARE(m_window->heading()->objectName(), QStringLiteral("listHeading"));
        QVERIFY(m_window->minimumSize() == QSize(600, 400));
    }

    void fontSettingsWithoutRemovalsAskNothing()
    {
        QAction* fonts = nullptr;
        QAction* about = nullptr;
        for (QAction* menu : m_window->menuBar()->actions()) {
            for (QAction* action : menu->menu()->actions()) {
                if (action->text() == QStringLiteral("Font Settings"))
                    fonts = action;
                if (action->text() == QStringLiteral("&About"))
                    about = action;
            }
        }
        QVERIFY(fonts);
        QVERIFY(about);
        QCOMPARE(about->toolTip(), QStringLiteral("About %1").arg(QCoreApplication::applicationName()));

        // Cancelled: no restart question follows.
        QStringList modalTitles;
        QTimer watcher;
        watcher.setInterval(20);
        connect(&watcher, &QTimer::timeout, [&]() {
            if (QWidget* box = QApplication::activeModalWidget()) {
                modalTitles << box->windowTitle();
                QTest::keyClick(box, Qt::Key_Escape);
            }
        });
        watcher.start();
        fonts->trigger();
        QTest::qWait(500);
        watcher.stop();
        QCOMPARE(modalTitles.size(), 1);
        QVERIFY(m_window->isVisible());

        // The about box opens without blocking the window.
        auto* aboutBox = m_window->findChild<AboutDialog*>();
        QVERIFY(aboutBox);
        QVERIFY(!aboutBox->isVisible());
        about->trigger();
        QTRY_VERIFY(aboutBox->isVisible());
        QVERIFY(!QApplication::activeModalWidget());
        aboutBox->hide();
    }

    void deviceAtStartGetsARow()
    {
        QTRY_COMPARE_WITH_TIMEOUT(m_window->deviceList()->count(), 1, 10000);
        DeviceItemWidget* widget = row(m_a);
        QVERIFY(widget);
        QCOMPARE(rowAt(0), widget);
        QCOMPARE(widget->nameText(), QStringLiteral("Tank Room(2314A001)"));
        QVERIFY2(widget->informationText().contains(QStringLiteral("QMX 70-A")), qPrintable(widget->informationText()));
        QVERIFY(widget->informationText().contains(QStringLiteral("Software:")));
        QVERIFY(widget->informationText().contains(QStringLiteral("1.1.0.1910")));
        QCOMPARE(SerialPortManager::instance()->activePort(), m_a.port);
    }

    // The fonts dialog says where fonts come from, and its button opens the font settings.
    void deviceFontsDialogLeadsToFontSettings()
    {
        auto* fonts = row(m_a)->deviceFontsDialog();
        QCOMPARE(fonts->fontsHintLabel()->text(), QStringLiteral("Fonts are added to this list under Setting > Font Settings."));
        auto seen = answerNextBox(QStringLiteral("Cancel"));
        fonts->fontSettingsButton()->click();
        QVERIFY(seen->seen);
        QCOMPARE(seen->title, QStringLiteral("Font settings"));
        QVERIFY(m_window->isVisible());
    }

    void newRowSetsTheDeviceClock()
    {
        QVERIFY(m_a.emulator.waitForCommand(QStringLiteral("DTIM"), 10000));
        const QStringList commands = m_a.emulator.commands();
        QCOMPARE(m_a.emulator.commandCount(QStringLiteral("#DTIM<")), 1);
        const QString clock = commands.filter(QStringLiteral("#DTIM<")).first();
        QVERIFY2(clock.endsWith(QLatin1String(" 330>#")), qPrintable(clock));
        // The date sent is the computer's UTC time.
        const QString sent = clock.mid(6, 19);
        const QDateTime when = QDateTime::fromString(sent, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        when.isValid();
        QVERIFY2(qAbs(QDateTime(when.date(), when.time(), Qt::UTC).secsTo(QDateTime::currentDateTimeUtc())) < 120,
                 qPrintable(clock));

    }

    void secondDeviceGetsSecondRow()
    {
        // Rebooted below and kept: its old row's state after the reboot is what is looked at.
        QVERIFY(m_b.start({ "--serial", "5414B002", "--name", "Pump", "--timezone", "-480", "--model", "QMX 50-B",
                            "--stay-on-reboot" }));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->deviceList()->count(), 2, 10000);
        QCOMPARE(rowAt(0), row(m_a));
        QCOMPARE(rowAt(1), row(m_b));
        QCOMPARE(row(m_b)->nameText(), QStringLiteral("Pump(5414B002)"));
        QVERIFY(row(m_b)->informationText().contains(QStringLiteral("QMX 50-B")));
        QVERIFY(m_b.emulator.waitForCommand(QStringLiteral("DTIM"), 10000));
        QVERIFY(m_b.emulator.commands().filter(QStringLiteral("#DTIM<")).first().endsWith(QLatin1String("-480>#")));

        // The menu's clock sync says so in the status bar, with the device's own time of day.
        m_window->statusBar()->clearMessage();
        row(m_b)->action(DeviceItemWidget::SyncClockAction)->trigger();
        const QString expected = QDateTime::currentDateTimeUtc().addSecs(-480 * 60).toString(QStringLiteral("HH:mm"));
        const QRegularExpression said(QStringLiteral("^Pump \\(5414B002\\): clock set to (\\d\\d:\\d\\d) \\(UTC-08:00\\)\\.$"));
        // Said once the device has confirmed its clock.
        QTRY_VERIFY_WITH_TIMEOUT(said.match(m_window->statusBar()->currentMessage()).hasMatch(), 10000);
        const QRegularExpressionMatch match = said.match(m_window->statusBar()->currentMessage());
        QVERIFY2(match.hasMatch(), qPrintable(m_window->statusBar()->currentMessage()));
        const int apart = qAbs(QTime::fromString(match.captured(1), QStringLiteral("HH:mm")).secsTo(QTime::fromString(expected, QStringLiteral("HH:mm"))));
        QVERIFY(apart <= 60 || apart >= 24 * 3600 - 60); // the minute may turn, at midnight too
    }

    void repeatedAnnouncementAddsNothing()
    {
        DeviceItemWidget* before = row(m_a);
        const int clocks = m_a.emulator.commandCount(QStringLiteral("#DTIM<"));
        emit SerialPortManager::instance()->deviceConnected(m_a.info());
        QCoreApplication::processEvents();
        QCOMPARE(m_window->deviceList()->count(), 2);
        QCOMPARE(row(m_a), before);
        QTest::qWait(300);
        QCOMPARE(m_a.emulator.commandCount(QStringLiteral("#DTIM<")), clocks);
    }

    void selectingRowMakesItsPortActive()
    {
        SerialPortManager* manager = SerialPortManager::instance();
        m_window->deviceList()->setCurrentRow(0);
        QCOMPARE(manager->activePort(), m_a.port);
        QCOMPARE(m_window->currentRow(), row(m_a));
        m_window->deviceList()->setCurrentRow(1);
        QCOMPARE(manager->activePort(), m_b.port);

        // Selecting the current row again does not set the port again.
        QVERIFY(manager->setActivePort(m_a.port));
        emit row(m_b)->selected();
        m_window->setCurrentItem(m_window->deviceList()->item(1), nullptr);
        QCOMPARE(manager->activePort(), m_a.port);

        // Hovering the menu of another row selects that row.
        emit row(m_a)->functionMenu()->hovered(row(m_a)->action(DeviceItemWidget::IdentifyAction));
        QCOMPARE(m_window->currentRow(), row(m_a));
    }

    void noClockForOffsetOutOfRangeOrMissing()
    {
        QVERIFY(m_c.start({ "--serial", "0915C003", "--timezone", "780" }));
        // Discovery takes no description without a time zone entry; one that is no number is the "none" case.
        const QString raw = QStringLiteral("#HWCF#<SER_NO:AB><MODELS:QMX 70-A><FIRMWD:1.0.4><DEVAPP:1.1.0.1910>"
                                           "<DESAPP:2.0.0.2552><ADCCHN:4><LCDVER:600><LCDHOR:1024><LCDBBP:16>"
                                           "<ALM_CH:2><PHYADD:00:1A:79:0E:C6:09><PWM_CH:2><DIO_CH:12><BKLT:80>"
                                           "<LOTIZO:none><DEVNAM:Lab><HWCFEND>");
        QVERIFY(m_d.start({ "--hwcf-raw", raw }));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->deviceList()->count(), 4, 10000);
        QCOMPARE(m_d.info().value(QStringLiteral("timezone")), QStringLiteral("none"));
        QTest::qWait(500);
        QCOMPARE(m_c.emulator.commandCount(QStringLiteral("#DTIM")), 0);
        QCOMPARE(m_d.emulator.commandCount(QStringLiteral("#DTIM")), 0);
        // Identify still works, without the clock.
        row(m_c)->action(DeviceItemWidget::IdentifyAction)->trigger();
        QVERIFY(m_c.emulator.waitForCommand(QStringLiteral("SINF"), 10000));
        QCOMPARE(m_c.emulator.commandCount(QStringLiteral("#DTIM")), 0);
    }

    void identifySendsClockThenShowInformation()
    {
        // The row acts on its own device even while another row is selected.
        m_window->deviceList()->setCurrentRow(1);
        QCOMPARE(SerialPortManager::instance()->activePort(), m_b.port);
        const int before = m_a.emulator.commands().size();
        row(m_a)->action(DeviceItemWidget::IdentifyAction)->trigger();
        QVERIFY(m_a.emulator.waitForCommand(QStringLiteral("SINF"), 10000));
        const QStringList sent = m_a.emulator.commands().mid(before);
        QCOMPARE(sent.size(), 2);
        QVERIFY2(sent.at(0).startsWith(QLatin1String("#DTIM<")) && sent.at(0).endsWith(QLatin1String(" 330>#")),
                 qPrintable(sent.join(' ')));
        QCOMPARE(sent.at(1), QStringLiteral("#SINF#"));
        QCOMPARE(m_b.emulator.commandCount(QStringLiteral("#SINF#")), 0);
        // Said once the command has ended.
        QTRY_COMPARE_WITH_TIMEOUT(m_window->statusBar()->currentMessage(), QStringLiteral("Tank Room (2314A001) shows its information on its screen."),
                                  10000);
        QCOMPARE(m_window->currentRow(), row(m_a));

        // Recorded once, as the window's; the clock every new row sets is not an operation of the user's.
        ServiceHistory::Filter filter;
        filter.serial = QStringLiteral("2314A001");
        ServiceHistoryWriter::instance()->flush();
        const QList<ServiceRecord> entries = ServiceHistory::instance()->entries(filter);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.first().operation, ServiceRecord::Identify);
        QCOMPARE(entries.first().frontEnd, QStringLiteral("dovrel"));
        QCOMPARE(entries.first().name, QStringLiteral("Tank Room"));

        // The row's "History" shows the window with that device's entries alone, not those
        // of a serial number that holds its own.
        ServiceRecord longer;
        longer.started = QDateTime::currentDateTime();
        longer.serial = QStringLiteral("92314A0011");
        longer.operation = ServiceRecord::Identify;
        QVERIFY(ServiceHistory::instance()->add(longer) > 0);
        row(m_a)->action(DeviceItemWidget::HistoryAction)->trigger();
        HistoryWindow* history = m_window->historyWindow();
        QVERIFY(history && history->isVisible());
        QCOMPARE(history->model()->rowCount(), 1);
        QCOMPARE(history->model()->index(0, ServiceHistory::SerialColumn).data().toString(), QStringLiteral("2314A001"));
        history->close();
    }

    void rebootAsksThenDisablesAllActions()
    {
        DeviceItemWidget* widget = row(m_b);
        QCOMPARE(widget->actions().size(), 10);
        const int before = m_b.emulator.commands().size();

        auto refused = answerNextBox(QStringLiteral("No"));
        widget->action(DeviceItemWidget::RebootAction)->trigger();
        QVERIFY(refused->seen);
        QCOMPARE(refused->title, QStringLiteral("Reboot Device"));
        QVERIFY(refused->texts.contains(widget->deviceLine() + QStringLiteral("\n\nAre you sure you want to reboot the device?")));
        QTest::qWait(300);
        QCOMPARE(m_b.emulator.commands().size(), before);
        for (QAction* action : widget->actions())
            QVERIFY(action->isEnabled());

        auto confirmed = answerNextBox(QStringLiteral("Yes"));
        widget->action(DeviceItemWidget::RebootAction)->trigger();
        QVERIFY(confirmed->seen);
        QVERIFY(m_b.emulator.waitForCommand(QStringLiteral("UNIX<reboot>"), 10000));
        const QStringList sent = m_b.emulator.commands().mid(before);
        QCOMPARE(sent.size(), 2);
        QVERIFY(sent.at(0).startsWith(QLatin1String("#DTIM<")));
        QCOMPARE(sent.at(1), QStringLiteral("#UNIX<reboot>#"));
        for (QAction* action : widget->actions())
            QVERIFY2(!action->isEnabled(), qPrintable(action->text()));
        // The row says why, in place of its model, and on its greyed button.
        QCOMPARE(widget->stateText(), QStringLiteral("Restarting. The device comes back here once it has started."));
        auto informationShown = [widget]() {
            for (QLabel* label : widget->findChildren<QLabel*>()) {
                if (label->text() == widget->informationText())
                    return label->isVisible();
            }
            return false;
        };
        QVERIFY(!informationShown());
        QVERIFY(!widget->menuButton()->isEnabled());
        QCOMPARE(widget->menuButton()->toolTip(), widget->stateText());
        // A repeated announcement turns nothing on.
        emit SerialPortManager::instance()->deviceConnected(m_b.info());
        QCoreApplication::processEvents();
        for (QAction* action : widget->actions())
            QVERIFY(!action->isEnabled());
        // This device stays on the line through its restart: once it has settled, its row works again.
        QTRY_VERIFY_WITH_TIMEOUT(!widget->isRestarting(), 10000);
        QVERIFY(widget->stateText().isEmpty());
        QVERIFY(informationShown());
        QVERIFY(widget->menuButton()->isEnabled());
        for (QAction* action : widget->actions())
            QVERIFY(action->isEnabled());
        QCOMPARE(m_window->statusBar()->currentMessage(), QStringLiteral("Pump (5414B002) has restarted."));
    }

    void hardwareInformationTable()
    {
        HardwareInfoDialog* a = row(m_a)->hardwareInfoDialog();
        QCOMPARE(a->rowTitle(HardwareInfoDialog::ModelRow), QStringLiteral("Device Model"));
        QCOMPARE(a->rowTitle(HardwareInfoDialog::ManufactureWeekRow), QStringLiteral("Manufacture Week"));
        QCOMPARE(a->rowText(HardwareInfoDialog::ModelRow), QStringLiteral("QMX 70-A"));
        QCOMPARE(a->rowText(HardwareInfoDialog::SerialRow), QStringLiteral("2314A001"));
        QCOMPARE(a->rowText(HardwareInfoDialog::PortRow), m_a.port);
        QCOMPARE(a->rowText(HardwareInfoDialog::TimeZoneRow), QStringLiteral("UTC +05:30"));
        QCOMPARE(a->rowText(HardwareInfoDialog::ScreenWidthRow), QStringLiteral("1024 px"));
        QCOMPARE(a->rowText(HardwareInfoDialog::ScreenHeightRow), QStringLiteral("600 px"));
        QCOMPARE(a->rowText(HardwareInfoDialog::BrightnessRow), QStringLiteral("80%"));
        QCOMPARE(a->rowText(HardwareInfoDialog::DigitalIOsRow), QStringLiteral("12"));
        QCOMPARE(a->rowText(HardwareInfoDialog::ManufactureWeekRow), QStringLiteral("23"));
        QCOMPARE(a->rowText(HardwareInfoDialog::ManufactureYearRow), QStringLiteral("2014"));

        HardwareInfoDialog* b = row(m_b)->hardwareInfoDialog();
        QCOMPARE(b->rowText(HardwareInfoDialog::TimeZoneRow), QStringLiteral("UTC -08:00"));
        QCOMPARE(b->rowText(HardwareInfoDialog::ManufactureWeekRow), QStringLiteral("Unknown"));
        QCOMPARE(b->rowText(HardwareInfoDialog::ManufactureYearRow), QStringLiteral("2014"));

        HardwareInfoDialog* c = row(m_c)->hardwareInfoDialog();
        QCOMPARE(c->rowText(HardwareInfoDialog::TimeZoneRow), QStringLiteral("Unknown"));
        QCOMPARE(c->rowText(HardwareInfoDialog::ManufactureWeekRow), QStringLiteral("9"));
        QCOMPARE(c->rowText(HardwareInfoDialog::ManufactureYearRow), QStringLiteral("2015"));

        // Two characters of serial number say nothing about the date; no time zone at all.
        HardwareInfoDialog* d = row(m_d)->hardwareInfoDialog();
        QCOMPARE(d->rowText(HardwareInfoDialog::SerialRow), QStringLiteral("AB"));
        QCOMPARE(d->rowText(HardwareInfoDialog::TimeZoneRow), QStringLiteral("Unknown"));
        QCOMPARE(d->rowText(HardwareInfoDialog::ManufactureWeekRow), QStringLiteral("Unknown"));
        QCOMPARE(d->rowText(HardwareInfoDialog::ManufactureYearRow), QStringLiteral("Unknown"));

        QCOMPARE(HardwareInfoDialog::timeZoneText(QStringLiteral("0")), QStringLiteral("UTC"));
        QCOMPARE(HardwareInfoDialog::timeZoneText(QStringLiteral("-210")), QStringLiteral("UTC -03:30"));
        QCOMPARE(HardwareInfoDialog::timeZoneText(QStringLiteral("720")), QStringLiteral("UTC +12:00"));
        QCOMPARE(HardwareInfoDialog::timeZoneText(QStringLiteral("721")), QStringLiteral("Unknown"));
        QCOMPARE(HardwareInfoDialog::timeZoneText(QStringLiteral("-720")), QStringLiteral("UTC -12:00"));
        QCOMPARE(HardwareInfoDialog::timeZoneText(QStringLiteral("x5")), QStringLiteral("Unknown"));

        a->changeTimeZone(0);
        QCOMPARE(a->rowText(HardwareInfoDialog::TimeZoneRow), QStringLiteral("UTC"));
        a->changeTimeZone(-721);
        QCOMPARE(a->rowText(HardwareInfoDialog::TimeZoneRow), QStringLiteral("Unknown"));
        a->changeTimeZone(60);

        a->updateBrightness(101);
        a->updateBrightness(-1);
        QCOMPARE(a->rowText(HardwareInfoDialog::BrightnessRow), QStringLiteral("80%"));
        a->updateBrightness(100);
        QCOMPARE(a->rowText(HardwareInfoDialog::BrightnessRow), QStringLiteral("100%"));
        a->updateBrightness(0);
        QCOMPARE(a->rowText(HardwareInfoDialog::BrightnessRow), QStringLiteral("0%"));

        // The same port again does not refresh; an empty port clears everything.
        a->setActivePort(m_a.port);
        QCOMPARE(a->rowText(HardwareInfoDialog::TimeZoneRow), QStringLiteral("UTC +01:00"));
        a->setActivePort(QString());
        for (int r = 0; r < HardwareInfoDialog::RowCount; ++r)
            QCOMPARE(a->rowText(r), QStringLiteral("Unknown"));
        a->setActivePort(m_a.port);
        QCOMPARE(a->rowText(HardwareInfoDialog::ModelRow), QStringLiteral("QMX 70-A"));

        // Double-clicking a value copies it.
        a->onItemDoubleClicked(a->table()->item(HardwareInfoDialog::SerialRow, 0));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("2314A001"));
        // Ctrl+C copies the current value: the keyboard's way.
        a->table()->setCurrentCell(HardwareInfoDialog::ModelRow, 0);
        QTest::keyClick(a->table(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("QMX 70-A"));
    }

    void hardwareInformationOpensFromTheMenu()
    {
        auto closed = answerNextBox(QStringLiteral("Close"));
        row(m_a)->action(DeviceItemWidget::HardwareInfoAction)->trigger();
        QVERIFY(closed->seen);
        QCOMPARE(closed->title, QStringLiteral("Hardware Information"));
        QVERIFY(!row(m_a)->hardwareInfoDialog()->isVisible());
    }

    void dropTakesExactlyOnePackage_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("one project, upper case") << QStringList{ "/tmp/plant.TXDEVPROJ" } << true;
        QTest::newRow("one software package") << QStringList{ "/tmp/update.txsw" } << true;
        QTest::newRow("two projects") << QStringList{ "/tmp/a.txdevproj", "/tmp/b.txdevproj" } << false;
        QTest::newRow("zip") << QStringList{ "/tmp/plant.zip" } << false;
        QTest::newRow("nothing") << QStringList{} << false;
    }

    void dropTakesExactlyOnePackage()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, accepted);
        QList<QUrl> urls;
        for (const QString& f : files)
            urls << QUrl::fromLocalFile(f);
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        enter.setAccepted(false);
        QApplication::sendEvent(row(m_a), &enter);
        QCOMPARE(enter.isAccepted(), accepted);

        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        drop.setAccepted(false);
        const int before = m_a.emulator.commands().size();
        // The dropped files do not exist: a project is dropped silently, a software
        // package is refused as not valid.
        std::shared_ptr<BoxAnswer> box;
        const bool software = accepted && files.first().endsWith(QStringLiteral(".txsw"));
        if (software)
            box = answerNextBox(QStringLiteral("OK"));
        QApplication::sendEvent(row(m_a), &drop);
        QCOMPARE(drop.isAccepted(), accepted);
        if (software) {
            QTRY_VERIFY_WITH_TIMEOUT(box->seen, 10000);
            QCOMPARE(box->title, QStringLiteral("Invalid Device Software"));
        }
        QTest::qWait(100);
        QCOMPARE(m_a.emulator.commands().size(), before);
    }

    void dataLogGateAndMenuOrder()
    {
        DeviceItemWidget* widget = row(m_a);
        const int before = m_a.emulator.commands().size();
        // The data log needs newer device software than the emulated device's 1.1.0.1910.
        auto upgrade = answerNextBox(QStringLiteral("OK"));
        widget->action(DeviceItemWidget::RetrieveLogAction)->trigger();
        QVERIFY(upgrade->seen);
        QVERIFY(upgrade->texts.contains(widget->deviceLine() + QStringLiteral("\n\nPlease upgrade the device software to at least version 2.1.6.2886 to use this feature.")));
        QTest::qWait(200);
        QCOMPARE(m_a.emulator.commands().size(), before);
        // The menu lists all ten in their order, the history apart.
        QStringList texts;
        for (QAction* action : widget->functionMenu()->actions())
            texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(texts, QStringList({ "&Identify Device", "&Hardware Information", "Device Configuration",
                                      "Manage Device Fonts", "Upgrade &Device Software", "&Reboot Device",
                                      "Retrieve Device &Logged Data", "&Upload project", "&Sync Real Time Clock", "-",
                                      "History" }));
        QCOMPARE(widget->menuButton()->objectName(), QStringLiteral("deviceFunctionMenuButton"));

        // F7 opens the selected row's menu, whichever of several rows that is.
        QVERIFY(m_window->deviceList()->count() > 1);
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        for (DeviceItemWidget* selected : { row(m_b), row(m_a) }) {
            m_window->deviceList()->setCurrentItem(m_window->deviceList()->item(m_window->deviceList()->indexAt(selected->pos()).row()));
            QCOMPARE(m_window->currentRow(), selected);
            QWidget* opened = nullptr;
            QTimer::singleShot(200, [&opened]() {
                opened = QApplication::activePopupWidget();
                if (opened)
                    opened->close();
            });
            QTest::keyClick(m_window, Qt::Key_F7);
            QTRY_VERIFY(opened);
            QCOMPARE(opened, static_cast<QWidget*>(selected->functionMenu()));
        }
    }

    void temporaryFolderForOneRowRemovesTheOthers()
    {
        DeviceItemWidget* a = row(m_a);
        DeviceItemWidget* c = row(m_c);
        QVERIFY(a->createTempProjectDirectory());
        const QString project = a->tempProjectDirectory();
        QVERIFY(QFileInfo(project).isDir());
        QCOMPARE(QFileInfo(project).fileName(), QStringLiteral("Project"));
        const QString uuid = QFileInfo(QFileInfo(project).absolutePath()).fileName();
        QVERIFY2(uuid.startsWith('{') && uuid.endsWith('}'), qPrintable(uuid));
        QVERIFY(project.startsWith(m_temp.path() + QStringLiteral("/Kavendi/Kavendi/DeviceProject/")));
        QCOMPARE(int(QFileInfo(project).permissions() & 0x0077), 0);

        QVERIFY(c->createTempLogDBDirectory());
        const QString log = c->tempLogDBDirectory();
        QVERIFY(QFileInfo(log).isDir());
        QVERIFY2(!QFileInfo::exists(project), "the other row's folder is gone");
        QVERIFY(!QFileInfo::exists(QFileInfo(project).absolutePath()));

        QVERIFY(c->deleteTempLogDBDirectory());
        QVERIFY(!QFileInfo::exists(QFileInfo(log).absolutePath()));
        QVERIFY(c->tempLogDBDirectory().isEmpty());
        QVERIFY(c->deleteTempLogDBDirectory());
    }

    void oldSoftwarePathSettingMovesOver()
    {
        QSettings settings = rowSettings();
        settings.remove(QStringLiteral("deviceSoftwarePath"));
        settings.setValue(QStringLiteral("lastDeviceSoftwareDir"), QStringLiteral("/srv/packages"));
        settings.sync();
        {
            DeviceItemWidget widget;
        }
        settings.sync();
        QCOMPARE(settings.value(QStringLiteral("deviceSoftwarePath")).toString(), QStringLiteral("/srv/packages"));
        QVERIFY(!settings.contains(QStringLiteral("lastDeviceSoftwareDir")));

        settings.setValue(QStringLiteral("lastDeviceSoftwareDir"), QStringLiteral("/old"));
        settings.sync();
        {
            DeviceItemWidget widget;
        }
        settings.sync();
        QCOMPARE(settings.value(QStringLiteral("deviceSoftwarePath")).toString(), QStringLiteral("/srv/packages"));
        QCOMPARE(settings.value(QStringLiteral("lastDeviceSoftwareDir")).toString(), QStringLiteral("/old"));
    }

    // Unplugged while the row asks a question: the row waits for the answer, then goes, sending nothing.
    void unplugWhileTheRowAsks()
    {
        PtsDevice f;
        QVERIFY(f.start({ "--serial", "0000F006", "--timezone", "0" }));
        QTRY_VERIFY_WITH_TIMEOUT(m_window->rowForSerial(QStringLiteral("0000F006")), 10000);
        const QPointer<DeviceItemWidget> widget = m_window->rowForSerial(QStringLiteral("0000F006"));
        // Made in week 00 (none) of the year 00 (2000); its clock at offset zero is UTC+00:00.
        QCOMPARE(widget->hardwareInfoDialog()->rowText(HardwareInfoDialog::ManufactureWeekRow), QStringLiteral("Unknown"));
        QCOMPARE(widget->hardwareInfoDialog()->rowText(HardwareInfoDialog::ManufactureYearRow), QStringLiteral("2000"));
        m_window->statusBar()->clearMessage();
        widget->action(DeviceItemWidget::SyncClockAction)->trigger();
        QTRY_VERIFY2(m_window->statusBar()->currentMessage().endsWith(QStringLiteral("(UTC+00:00).")),
                     qPrintable(m_window->statusBar()->currentMessage()));
        const int rows = m_window->deviceList()->count();
        auto* manager = SerialPortManager::instance();
        bool sawBox = false;
        bool answered = false;
        // The gone device's row is out of sight while its box is still open.
        bool hiddenWhileAsking = false;
        QElapsedTimer sinceUnplug;
        auto rowHidden = [&]() {
            QListWidget* list = m_window->deviceList();
            for (int i = 0; i < list->count(); ++i) {
                if (list->itemWidget(list->item(i)) == widget)
                    return list->item(i)->isHidden();
            }
            return false;
        };
        QTimer user;
        user.setInterval(20);
        connect(&user, &QTimer::timeout, [&]() {
            QWidget* box = QApplication::activeModalWidget();
            if (!box)
                return;
            if (!sawBox) {
                sawBox = true;
                f.emulator.unplug();
                sinceUnplug.start();
                return;
            }
            if (manager->connectedPorts().contains(f.port) || answered)
                return;
            hiddenWhileAsking = rowHidden();
            if (!hiddenWhileAsking && sinceUnplug.elapsed() < 3000)
                return;
            answered = true;
            for (QAbstractButton* button : box->findChildren<QAbstractButton*>()) {
                if (button->text().remove('&') == QStringLiteral("Yes"))
                    button->click();
            }
        });
        user.start();
        widget->action(DeviceItemWidget::RebootAction)->trigger();
        user.stop();
        QVERIFY(sawBox);
        QVERIFY(answered);
        QVERIFY(hiddenWhileAsking);
        QTRY_VERIFY_WITH_TIMEOUT(widget.isNull(), 10000);
        QCOMPARE(m_window->deviceList()->count(), rows - 1);
        QVERIFY(!m_window->rowForSerial(QStringLiteral("0000F006")));
        QCOMPARE(f.emulator.commandCount(QStringLiteral("#UNIX<reboot>")), 0);
    }

    void unplugRemovesOnlyThatRow()
    {
        QCOMPARE(m_window->deviceList()->count(), 4);
        const QPointer<DeviceItemWidget> gone = row(m_c);
        QVERIFY(m_c.unplug());
        QTRY_COMPARE_WITH_TIMEOUT(m_window->deviceList()->count(), 3, 10000);
        QTRY_VERIFY(gone.isNull());
        QVERIFY(!m_window->rowForSerial(QStringLiteral("0915C003")));
        QVERIFY(row(m_a));
        QVERIFY(row(m_b));
        QVERIFY(m_window->rowForSerial(QStringLiteral("AB")));

        // A device without a row changes nothing.
        emit SerialPortManager::instance()->deviceDisconnected({ { QStringLiteral("serial"), QStringLiteral("NOPE") } });
        QCOMPARE(m_window->deviceList()->count(), 3);
    }

    // Real devices live under /dev: a device listed by its /dev/pts path gets a row that works.
    void deviceUnderDevGetsAWorkingRow()
    {
        PtsDevice e;
        QVERIFY(e.start({ "--serial", "4719", "--name", "Dock", "--timezone", "60" }, true));
        QVERIFY(e.devicePath.startsWith(QLatin1String("/dev/pts/")));
        QTRY_VERIFY_WITH_TIMEOUT(m_window->rowForSerial(QStringLiteral("4719")), 10000);
        DeviceItemWidget* widget = m_window->rowForSerial(QStringLiteral("4719"));
        QCOMPARE(widget->nameText(), QStringLiteral("Dock(4719)"));
        QVERIFY(e.emulator.waitForCommand(QStringLiteral("DTIM"), 10000));
        QVERIFY(e.emulator.commands().filter(QStringLiteral("#DTIM<")).first().endsWith(QLatin1String("  60>#")));
        widget->action(DeviceItemWidget::IdentifyAction)->trigger();
        QVERIFY(e.emulator.waitForCommand(QStringLiteral("SINF"), 10000));
        QCOMPARE(widget->hardwareInfoDialog()->rowText(HardwareInfoDialog::TimeZoneRow), QStringLiteral("UTC +01:00"));
        // Four characters of serial number are enough for the date.
        QCOMPARE(widget->hardwareInfoDialog()->rowText(HardwareInfoDialog::ManufactureWeekRow), QStringLiteral("47"));
        QCOMPARE(widget->hardwareInfoDialog()->rowText(HardwareInfoDialog::ManufactureYearRow), QStringLiteral("2019"));
        const int rows = m_window->deviceList()->count();
        QVERIFY(e.unplug());
        QTRY_COMPARE_WITH_TIMEOUT(m_window->deviceList()->count(), rows - 1, 10000);
        QVERIFY(!m_window->rowForSerial(QStringLiteral("4719")));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
