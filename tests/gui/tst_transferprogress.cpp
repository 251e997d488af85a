// Every progress window against a device on a throttled line: the speed it shows is the
// line's, and the time left it shows is the time the transfer then takes, within 20%.
#include "datalogfile.h"
#include "englishtexts.h"
#include "modaldriver.h"
#include "modaluser.h"
#include "testutil.h"
#include "tst_deviceupload_support.h"

#include "configurationinfo.h"
#include "deviceconfigurator.h"
#include "devicefontsdialog.h"
#include "devicelogretrievedialog.h"
#include "deviceuploaddialog.h"
#include "fontscenter.h"
#include "transferstatuslabel.h"
#include "upgradedevicesofwaredialog.h"

#include <QImage>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cmath>
#include <memory>

using namespace Orvane::Tavrix::Designer;
using Orvane::Tavrix::Common::ConfigurationInfo;
using Orvane::Tavrix::Common::guiText;
using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

// Each transfer takes about this long at its line's speed.
constexpr double TransferSeconds = 8.0;

} // namespace

class TestTransferProgress : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;

private slots:
    void initTestCase()
    {
        useEnglishTexts();
        QVERIFY(registerProgramResources());
        QVERIFY(m_files.isValid());
        QVERIFY(SerialPortManager::instance());
    }

    // Sizes and times at the unit limits and one past them.
    void sizeAndDurationTexts_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("expected");
        QTest::newRow("1023 B") << TransferStatusLabel::bytesText(1023) << QStringLiteral("1,023 B");
        QTest::newRow("1 KiB") << TransferStatusLabel::bytesText(1024) << QStringLiteral("1.0 KiB");
        QTest::newRow("1 MiB") << TransferStatusLabel::bytesText(1024 * 1024) << QStringLiteral("1.0 MiB");
        QTest::newRow("59 s") << TransferStatusLabel::durationText(59.0) << QStringLiteral("59 s");
        QTest::newRow("60 s") << TransferStatusLabel::durationText(60.0) << QStringLiteral("1 min 0 s");
        QTest::newRow("3599 s") << TransferStatusLabel::durationText(3599.0) << QStringLiteral("59 min 59 s");
        QTest::newRow("3600 s") << TransferStatusLabel::durationText(3600.0) << QStringLiteral("1 h 0 min");
    }

    void sizeAndDurationTexts()
    {
        QFETCH(QString, shown);
        QFETCH(QString, expected);
        QCOMPARE(shown, expected);
    }

    void speedAndTimeLeftFollowTheLine_data()
    {
        QTest::addColumn<QString>("window");
        for (const char* window : { "upload", "upgrade", "data log", "fonts", "splash" })
            QTest::newRow(window) << QString::fromLatin1(window);
    }

    void speedAndTimeLeftFollowTheLine()
    {
        QFETCH(QString, window);
        // What goes over the line, sized to take TransferSeconds at the throttle.
        const qint64 bytes = 100 * 1024;
        const int throttle = int(bytes / TransferSeconds);
        QStringList args { "--populate", "--serial", "SPEED01", "--name", "Press 4", "--stay-on-reboot", "--screen", "320x200" };
        // The smallest of the program's own fonts: a single file.
        const QString font = QStringLiteral("Droid Sans");
        const QStringList fontFiles = FontsCenter::instance()->fontPath(font);
        int lineBps = throttle;
        if (window == QLatin1String("fonts")) {
            QCOMPARE(fontFiles.size(), 1);
            lineBps = int(QFileInfo(fontFiles.first()).size() / TransferSeconds);
        } else if (window == QLatin1String("splash")) {
            lineBps = int((320 * 200 * 3 + 54) / TransferSeconds);
        } else if (window == QLatin1String("data log")) {
            const QString log = m_files.filePath(QStringLiteral("speed.txdb"));
            // Random bytes: the device's zip cannot make them smaller.
            QVERIFY(writeDataLog(log, { { QStringLiteral("Flow"), QStringLiteral("t, v"),
                                          { { QStringLiteral("2026-01-01 00:00"), randomBytes(int(bytes), 7) } } } }));
            args << "--app-version" << "2.1.6.2886" << "--sample-datalog" << log;
        }
        args << "--throttle" << QString::number(lineBps);

        PtsDevice device;
        QVERIFY(device.start(args));
        ModalUser user(20000);
        QSignalSpy ended(SerialPortManager::instance(), &SerialPortManager::deviceOperationEnded);
        std::unique_ptr<QDialog> dialog;
        TransferStatusLabel* label = nullptr;
        QString deviceText;

        if (window == QLatin1String("upload")) {
            const QString folder = m_files.filePath(QStringLiteral("project"));
            QVERIFY(writeFile(folder + QStringLiteral("/config.txrc"), "brightness=80\n"));
            QVERIFY(writeFile(folder + QStringLiteral("/project/picture.png"), randomBytes(int(bytes), 2)));
            auto* upload = new DeviceUploadDialog(folder, ConfigurationInfo());
            dialog.reset(upload);
            label = upload->transferLabel();
            deviceText = upload->deviceText();
        } else if (window == QLatin1String("upgrade")) {
            auto* upgrade = new UpgradeDeviceSofwareDialog(randomBytes(int(bytes), 3), QStringLiteral("2.2.0.3000"),
                                                           QDate(2026, 3, 14).startOfDay());
            dialog.reset(upgrade);
            label = upgrade->transferLabel();
            deviceText = upgrade->deviceText();
            upgrade->findChild<QPushButton*>(QStringLiteral("upgradeButton"))->click();
        } else if (window == QLatin1String("data log")) {
            auto* retrieve = new DeviceLogRetrieveDialog(m_files.filePath(QStringLiteral("log")));
            QDir().mkpath(m_files.filePath(QStringLiteral("log")));
            dialog.reset(retrieve);
            label = retrieve->transferLabel();
            deviceText = retrieve->deviceText();
        } else if (window == QLatin1String("fonts")) {
            auto* fonts = new DeviceFontsDialog;
            dialog.reset(fonts);
            fonts->setActivePort(device.port);
            fonts->show();
            QVERIFY(waitUntil([fonts]() { return fonts->startButton()->isEnabled(); }, 20000));
            fonts->onAddFonts({ font });
            fonts->startButton()->click();
            label = fonts->transferLabel();
            deviceText = fonts->deviceLabel()->text();
        } else {
            auto* configurator = new DeviceConfigurator;
            dialog.reset(configurator);
            configurator->setActivePort(device.port);
            configurator->show();
            QImage picture(320, 200, QImage::Format_RGB32);
            picture.fill(Qt::darkGreen);
            const QString path = m_files.filePath(QStringLiteral("splash.bmp"));
            QVERIFY(picture.save(path, "BMP"));
            QVERIFY(configurator->loadImage(path));
            configurator->configureButton()->click();
            label = configurator->transferLabel();
            deviceText = configurator->deviceLabel()->text();
        }
        dialog->show();
        QCOMPARE(deviceText, QStringLiteral("Press 4 (SPEED01), port %1").arg(device.info().value(QStringLiteral("port"))));

        // Half-way, what the window shows; then how long the rest really takes.
        QVERIFY2(waitUntil([label]() {
                     const auto& rate = label->rate();
                     return rate.total() > 20000 && rate.done() * 2 >= rate.total() && rate.isKnown();
                 }, 60000),
                 qPrintable(user.describe()));
        const double speed = label->rate().bytesPerSecond();
        const double left = label->rate().secondsLeft();
        // The window's own line says so in words (it changes at most four times a second).
        QVERIFY(waitUntil([label]() { return label->text().contains(guiText("about %1 left").section(QStringLiteral("%1"), 0, 0)); }, 1000));
        QVERIFY2(label->text().contains(guiText("%1/s").arg(QString())), qPrintable(label->text()));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(waitUntil([label]() { return label->rate().done() >= label->rate().total(); }, 60000));
        const double actual = clock.elapsed() / 1000.0;
        QVERIFY2(std::abs(speed - lineBps) <= 0.2 * lineBps, qPrintable(QStringLiteral("%1 B/s on a %2 B/s line").arg(speed).arg(lineBps)));
        QVERIFY2(std::abs(left - actual) <= 0.2 * actual,
                 qPrintable(QStringLiteral("%1 s shown, %2 s taken").arg(left).arg(actual)));

        // The run ends before the device goes.
        QVERIFY(waitUntil([&ended]() { return !ended.isEmpty(); }, 60000));
        dialog.reset();
    }
};

QTEST_MAIN(TestTransferProgress)
#include "tst_transferprogress.moc"
