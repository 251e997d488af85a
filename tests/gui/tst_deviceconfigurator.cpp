// The configurator against the emulated device, reached through its /dev/pts path.
#include "../app/apptestsupport.h"
#include "filedialoguser.h"
#include "modaldriver.h"

#include "deviceconfigurator.h"
#include "deviceitemwidget.h"
#include "hardwareinfodialog.h"
#include "devicesplashpreviewdialog.h"
#include "localizationhelper.h"
#include "messagebox.h"
#include "serialportmanager.h"
#include "transferstatuslabel.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using Orvane::Tavrix::Designer::DeviceConfigurator;
using Orvane::Tavrix::Designer::DeviceItemWidget;
using Orvane::Tavrix::Designer::HardwareInfoDialog;
using Orvane::Tavrix::Designer::DeviceSplashPreviewDialog;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

constexpr int LongWait = 60000;

QString gui(const char* key)
{
    return Orvane::Tavrix::Common::LocalizationHelper::guiString(QString::fromUtf8(key));
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage pattern(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, (x + y) % 256));
    return image;
}

// Commands the device received after the identification handshake.
QStringList sequence(const DeviceEmulator& emulator, int mark)
{
    QStringList commands = emulator.commands().mid(mark);
    commands.removeAll(QStringLiteral("#HWCF#"));
    return commands;
}

} // namespace

class TestDeviceConfigurator : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_files;
    std::unique_ptr<PtsDevice> m_device;

    // One device per test; cleanup() pulls it so that the next one may get the same /dev/pts number.
    PtsDevice& newDevice()
    {
        m_device = std::make_unique<PtsDevice>();
        return *m_device;
    }

    template<typename T>
    static T* child(QWidget* dialog, const char* name)
    {
        return dialog->findChild<T*>(QString::fromLatin1(name));
    }

    // A configurator shown for the device as its row shows it (not modal, so that boxes are the modal windows).
    std::unique_ptr<DeviceConfigurator> openFor(const PtsDevice& device)
    {
        auto dialog = std::make_unique<DeviceConfigurator>();
        dialog->setActivePort(device.port);
        dialog->show();
        return dialog;
    }

    static void click(QWidget* widget)
    {
        QVERIFY(widget->isEnabled());
        if (auto* box = qobject_cast<QCheckBox*>(widget))
            box->click();
        else
            QTest::mouseClick(widget, Qt::LeftButton);
    }

    // Presses "Configure" and waits for the run's end.
    static bool configure(DeviceConfigurator* dialog, bool* success)
    {
        QSignalSpy ended(dialog, &DeviceConfigurator::configurationEnded);
        QTest::mouseClick(dialog->configureButton(), Qt::LeftButton);
        if (!ended.wait(LongWait) && ended.isEmpty())
            return false;
        *success = ended.first().at(0).toBool();
        return true;
    }

private slots:
    void initTestCase()
    {
        registerProgramResources();
        QVERIFY(m_files.isValid());
        QVERIFY(SerialPortManager::instance());
        QVERIFY(QDir().mkpath(DeviceConfigurator::calibrationDirectory()));
    }

    void cleanup()
    {
        if (m_device && m_device->emulator.isRunning())
            QVERIFY(m_device->unplug());
        m_device.reset();
    }

    void newNameOnly()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "CFGNAME1", "--name", "oldname" }, true));
        QVERIFY(device.devicePath.startsWith("/dev/pts/"));
        auto dialog = openFor(device);
        QCOMPARE(child<QLineEdit>(dialog.get(), "serialEdit")->text(), QStringLiteral("CFGNAME1"));
        QVERIFY(!dialog->configureButton()->isEnabled());

        click(child<QCheckBox>(dialog.get(), "nameBox"));
        auto* edit = child<QLineEdit>(dialog.get(), "nameEdit");
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, "newname");
        QVERIFY(dialog->configureButton()->isEnabled());

        QSignalSpy named(dialog.get(), &DeviceConfigurator::deviceNameChanged);
        const int mark = device.emulator.commands().size();
        bool success = false;
        QVERIFY(configure(dialog.get(), &success));
        QVERIFY(success);
        QVERIFY(sequence(device.emulator, mark).join(' ').contains("newname"));
        // The countdown closes the dialog and then names the device for its row.
        QCOMPARE(dialog->configureButton()->text(), gui("Close (%1)").arg(3));
        QVERIFY(named.wait(10000));
        QCOMPARE(named.first().at(0).toString(), QStringLiteral("newname"));
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), 5000);
        QCOMPARE(dialog->configureButton()->text(), gui("Configure"));
    }

    void clockWithNegativeZone()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "CFGCLK1" }, true));
        auto dialog = openFor(device);
        click(child<QCheckBox>(dialog.get(), "timeBox"));
        child<QComboBox>(dialog.get(), "signCombo")->setCurrentIndex(1);
        QCOMPARE(child<QComboBox>(dialog.get(), "signCombo")->currentText(), QStringLiteral("-"));
        child<QDateTimeEdit>(dialog.get(), "timeEdit")->setTime(QTime(5, 30));
        QCOMPARE(dialog->calibrationInfo().timeZone(), -330);

        QSignalSpy zone(dialog.get(), &DeviceConfigurator::timeZoneUpdated);
        QSignalSpy named(dialog.get(), &DeviceConfigurator::deviceNameChanged);
        const int mark = device.emulator.commands().size();
        bool success = false;
        QVERIFY(configure(dialog.get(), &success));
        QVERIFY(success);
        QVERIFY(sequence(device.emulator, mark).join(' ').contains("-330"));
        QCOMPARE(zone.size(), 1);
        QCOMPARE(zone.first().at(0).toInt(), -330);
        // No restart: the dialog stays ready for another run, without a countdown.
        QCOMPARE(dialog->configureButton()->text(), gui("Configure"));
        QVERIFY(dialog->configureButton()->isEnabled());
        QTest::qWait(1500);
        QVERIFY(dialog->isVisible());
        QVERIFY(named.isEmpty());
        QVERIFY(!sequence(device.emulator, mark).contains("#BOOT#"));
    }

    void largeImageIsScaledAfterPreview()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "CFGIMG1", "--model", "QMX 50-B", "--screen", "480x272", "--populate" }, true));
        auto dialog = openFor(device);
        const QString path = m_files.filePath("large.bmp");
        QVERIFY(writeAll(path, encoded(pattern(1024, 600), "BMP")));

        QString previewText;
        whenModal([&previewText](QWidget* modal) {
            auto* preview = qobject_cast<DeviceSplashPreviewDialog*>(modal);
            if (!preview)
                return;
            previewText = preview->questionText();
            preview->yesButton()->click();
        });
        QVERIFY(dialog->loadImage(path));
        QVERIFY(previewText.contains("480x272"));
        QVERIFY(child<QLineEdit>(dialog.get(), "readOnly")->toolTip().contains("data:image/bmp;base64,"));

        const int mark = device.emulator.commands().size();
        bool success = false;
        QVERIFY(configure(dialog.get(), &success));
        QVERIFY(success);
        QVERIFY(sequence(device.emulator, mark).join(' ').contains("user_splash480x272.bmp"));
        QImage stored;
        QVERIFY(stored.loadFromData(device.emulator.readFile("qml/user_splash480x272.bmp"), "BMP"));
        QCOMPARE(stored.size(), QSize(480, 272));
    }

    void imageOfScreenSizeNeedsNoPreview()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "CFGIMG2", "--model", "QMX 50-B", "--screen", "480x272", "--populate" }, true));
        auto dialog = openFor(device);
        const QString path = m_files.filePath("exact.jpg");
        QVERIFY(writeAll(path, encoded(pattern(480, 272), "JPG")));
        bool previewShown = false;
        whenModal([&previewShown](QWidget* modal) {
            previewShown = true;
            modal->hide();
        }, nullptr, 3000);
        QVERIFY(dialog->loadImage(path));
        QVERIFY(!previewShown);
        QImage data;
        QVERIFY(data.loadFromData(dialog->calibrationInfo().splashScreenData(), "BMP"));
        QCOMPARE(data.size(), QSize(480, 272));
        QVERIFY(dialog->configureButton()->isEnabled());
        QTest::qWait(3500); // the watcher gives up unused
        QVERIFY(!previewShown);
    }

    // The line time of a picture: under a minute, at the minute (singular), past it.
    void lineTimeWording_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        const qint64 minute = 115200 / 10 * 60;
        QTest::newRow("just under a minute") << minute - 1 << gui("less than a minute");
        QTest::newRow("one minute") << minute << gui("about 1 minute");
        QTest::newRow("two minutes") << 2 * minute << gui("about %1 minutes").arg(2);
    }

    void lineTimeWording()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(DeviceConfigurator::lineTimeText(bytes), text);
    }

    void noPictureIsRefused()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "CFGIMG3" }, true));
        auto dialog = openFor(device);
        const QString path = m_files.filePath("fake.bmp");
        QVERIFY(writeAll(path, "not a picture"));
        auto box = answerNextBox(gui("OK"));
        QVERIFY(!dialog->loadImage(path));
        QVERIFY(box->seen);
        QCOMPARE(box->title, gui("Choose Image"));
        QVERIFY(box->texts.join(' ').contains(gui("\"%1\" is not a valid %2 image.").arg(QDir::toNativeSeparators(path), "bmp")));
        QVERIFY(dialog->calibrationInfo().splashScreenData().isEmpty());
        QVERIFY(!dialog->configureButton()->isEnabled());
    }

    // A PNG is taken as a JPEG is: stored as the device's BMP, transparent parts black; the
    // dialog says beforehand how long the line takes for it.
    void pngSplashEndToEnd()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "CFGPNG1", "--model", "QMX 50-B", "--screen", "480x272", "--populate" }, true));
        auto dialog = openFor(device);
        QImage picture = pattern(480, 272).convertToFormat(QImage::Format_ARGB32);
        for (int x = 0; x < 10; ++x)
            picture.setPixel(x, 0, qRgba(255, 255, 255, 0));
        const QString path = m_files.filePath("splash.png");
        QVERIFY(writeAll(path, encoded(picture, "PNG")));
        QVERIFY(dialog->loadImage(path));
        const qint64 bytes = dialog->calibrationInfo().splashScreenData().size();
        QCOMPARE(dialog->splashTimeLabel()->text(),
                 gui("Sending this image (%1) takes %2 at %3 baud.")
                     .arg(Orvane::Tavrix::Designer::TransferStatusLabel::bytesText(bytes), gui("less than a minute"), "115200"));
        QVERIFY(!dialog->splashTimeLabel()->isHidden());
        // The browse button's dialog opens where the last picture came from; cancelled, the picture stays.
        FileDialogSeen picker;
        whenModal([&](QWidget* modal) { chooseInFileDialog(modal, QString(), &picker); });
        dialog->findChild<QPushButton*>(QStringLiteral("leftButtonSmall"))->click();
        QCOMPARE(picker.title, gui("Choose Image"));
        QCOMPARE(picker.folder, QDir(m_files.path()).absolutePath());
        QCOMPARE(dialog->calibrationInfo().splashScreenData().size(), bytes);
        // The device's full-size image: 1024x600 at 24 bits takes about three minutes.
        QCOMPARE(DeviceConfigurator::lineTimeText(1024 * 600 * 3 + 54), gui("about %1 minutes").arg(3));

        bool success = false;
        QVERIFY(configure(dialog.get(), &success));
        QVERIFY(success);
        QImage stored;
        QVERIFY(stored.loadFromData(device.emulator.readFile("qml/user_splash480x272.bmp"), "BMP"));
        QCOMPARE(stored.size(), QSize(480, 272));
        QCOMPARE(stored.pixel(5, 0), qRgb(0, 0, 0));
        QCOMPARE(stored.pixel(100, 50), picture.pixel(100, 50));
    }

    // Cancel while the splash image travels: the device keeps its old image, restarts and answers again.
    void cancelledSplashLeavesTheOldOne()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "CFGCAN1", "--model", "QMX 50-B", "--screen", "480x272", "--throttle", "30000" }));
        const QByteArray old = encoded(pattern(480, 272), "BMP");
        QVERIFY(writeAll(device.emulator.filePath("qml/user_splash480x272.bmp"), old));
        auto dialog = openFor(device);
        QVERIFY(writeAll(m_files.filePath("cancelled.png"), encoded(pattern(480, 272).mirrored(), "PNG")));
        QVERIFY(dialog->loadImage(m_files.filePath("cancelled.png")));
        QSignalSpy ended(dialog.get(), &DeviceConfigurator::configurationEnded);
        QTest::mouseClick(dialog->configureButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dialog->progressBar()->maximum() > 100000 && dialog->progressBar()->value() > 4096, LongWait);
        SerialPortManager* manager = SerialPortManager::instance();
        QSignalSpy connected(manager, &SerialPortManager::deviceConnected);
        auto box = answerNextBox(gui("OK"), LongWait);
        click(dialog->cancelButton());
        QTRY_VERIFY_WITH_TIMEOUT(box->seen && !ended.isEmpty() && !ended.first().at(0).toBool(), LongWait);
        QVERIFY(box->texts.join(' ').contains(gui("What was on its way was discarded; the device keeps what it had and restarts.")));
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(device.emulator.commands().contains("#UNIX<reboot>#"), 10000);
        QCOMPARE(device.emulator.readFile("qml/user_splash480x272.bmp"), old);
        QTRY_VERIFY_WITH_TIMEOUT(!connected.isEmpty() && manager->deviceInformation(device.port).value("serial") == "CFGCAN1", LongWait);
    }

    // Each opening starts from the device: no job, its name and time zone, no image; only
    // the battery check stays as the user left it.
    void choicesOnReopening()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "CFGMEM1", "--name", "Boiler", "--timezone", "-150" }, true));
        auto dialog = openFor(device);
        auto* calibration = child<QComboBox>(dialog.get(), "calibrationCombo");
        calibration->setCurrentIndex(calibration->findText(gui("Backup")));
        click(child<QCheckBox>(dialog.get(), "timeBox"));
        child<QDateTimeEdit>(dialog.get(), "timeEdit")->setTime(QTime(9, 0));
        click(child<QCheckBox>(dialog.get(), "batteryBox"));
        click(child<QCheckBox>(dialog.get(), "nameBox"));
        child<QLineEdit>(dialog.get(), "nameEdit")->setText(QStringLiteral("Other"));
        const QString path = m_files.filePath("remembered.bmp");
        QVERIFY(writeAll(path, encoded(pattern(1024, 600), "BMP")));
        QVERIFY(dialog->loadImage(path));
        dialog->reject();

        dialog->show();
        const auto& info = dialog->calibrationInfo();
        QVERIFY(!info.isBackup() && !info.isRestore() && !info.isSetRealTimeClock() && !info.isDeviceNameChange());
        QVERIFY(info.splashScreenData().isEmpty());
        QVERIFY(!info.isBatteryLowCheck());
        QCOMPARE(calibration->currentText(), gui("None"));
        QVERIFY(!child<QCheckBox>(dialog.get(), "timeBox")->isChecked());
        QCOMPARE(child<QComboBox>(dialog.get(), "signCombo")->currentText(), QStringLiteral("-"));
        QCOMPARE(child<QDateTimeEdit>(dialog.get(), "timeEdit")->time(), QTime(2, 30));
        QVERIFY(!child<QCheckBox>(dialog.get(), "batteryBox")->isChecked());
        QVERIFY(!child<QCheckBox>(dialog.get(), "nameBox")->isChecked());
        QCOMPARE(child<QLineEdit>(dialog.get(), "nameEdit")->text(), QStringLiteral("Boiler"));
        QCOMPARE(child<QLineEdit>(dialog.get(), "readOnly")->text(), gui("No splash screen selected"));
        QVERIFY(dialog->splashTimeLabel()->isHidden());
        QVERIFY(!dialog->configureButton()->isEnabled());
        QCOMPARE(dialog->deviceLabel()->text(), QStringLiteral("Boiler (CFGMEM1), port %1").arg(device.info().value(QStringLiteral("port"))));
    }

    void backupCopiesTheCalibrationList()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "CFGBAK1" }, true));
        QByteArray calibration;
        for (int i = 0; i < 3000; ++i)
            calibration.append(char(i * 7 + 3));
        QVERIFY(device.emulator.putFile("cal_list.txt", calibration));
        const QString file = DeviceConfigurator::calibrationFilePath("CFGBAK1");
        QFile::remove(file);

        auto dialog = openFor(device);
        auto* combo = child<QComboBox>(dialog.get(), "calibrationCombo");
        combo->setCurrentIndex(combo->findText(gui("Backup")));
        QVERIFY(dialog->calibrationInfo().isBackup());
        bool success = false;
        QVERIFY(configure(dialog.get(), &success));
        QVERIFY(success);
        QCOMPARE(readAll(file), calibration);
        // The device restarts: the dialog counts down and closes.
        QVERIFY(device.emulator.waitForCommand("BOOT", 10000));
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), 10000);
    }

    void backupOverExistingFile_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("yes overwrites") << gui("Yes");
        QTest::newRow("no with nothing else") << gui("No");
        QTest::newRow("cancel stops") << gui("Cancel");
    }

    void backupOverExistingFile()
    {
        QFETCH(QString, answer);
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "CFGBAK2" }, true));
        const QByteArray calibration("0 0 100 100\n1 1 200 200\n");
        QVERIFY(device.emulator.putFile("cal_list.txt", calibration));
        const QString file = DeviceConfigurator::calibrationFilePath("CFGBAK2");
        QVERIFY(writeAll(file, "older backup"));

        auto dialog = openFor(device);
        auto* combo = child<QComboBox>(dialog.get(), "calibrationCombo");
        combo->setCurrentIndex(combo->findText(gui("Backup")));
        const int mark = device.emulator.commands().size();
        QSignalSpy started(dialog.get(), &DeviceConfigurator::configurationStarted);
        auto box = answerNextBox(answer);
        QTest::mouseClick(dialog->configureButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(box->seen, 10000);
        QCOMPARE(box->title, gui("Backup Calibration"));
        if (answer == gui("Yes")) {
            QSignalSpy ended(dialog.get(), &DeviceConfigurator::configurationEnded);
            QVERIFY(ended.wait(LongWait));
            QVERIFY(ended.first().at(0).toBool());
            QCOMPARE(readAll(file), calibration);
            return;
        }
        QTest::qWait(500);
        QVERIFY(started.isEmpty());
        QCOMPARE(sequence(device.emulator, mark), QStringList());
        QCOMPARE(readAll(file), QByteArray("older backup"));
        if (answer == gui("No")) {
            QVERIFY(!dialog->calibrationInfo().isBackup());
            QVERIFY(!dialog->configureButton()->isEnabled());
        } else {
            QVERIFY(dialog->calibrationInfo().isBackup());
            QVERIFY(dialog->configureButton()->isEnabled());
        }
    }

    void restoreWithoutFileWarns()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "CFGRST1" }, true));
        QFile::remove(DeviceConfigurator::calibrationFilePath("CFGRST1"));
        auto dialog = openFor(device);
        auto* combo = child<QComboBox>(dialog.get(), "calibrationCombo");
        combo->setCurrentIndex(combo->findText(gui("Restore")));
        const int mark = device.emulator.commands().size();
        auto box = answerNextBox(gui("OK"));
        QTest::mouseClick(dialog->configureButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(box->seen, 10000);
        QCOMPARE(box->title, gui("Restore Calibration"));
        QVERIFY(box->texts.contains(gui("The calibration file of this device does not exist.")));
        QVERIFY(!dialog->configureButton()->isEnabled());
        QTest::qWait(300);
        QCOMPARE(sequence(device.emulator, mark), QStringList());
    }

    void emptyNameIsRefused()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "CFGNAME2", "--name", "ARDODevice" }, true));
        auto dialog = openFor(device);
        auto* label = child<QLabel>(dialog.get(), "error");
        click(child<QCheckBox>(dialog.get(), "nameBox"));
        // The suggested name is the device's own name: no change.
        QVERIFY(label->isVisible());
        QCOMPARE(label->text(), gui("Device Name unchanged"));
        auto* edit = child<QLineEdit>(dialog.get(), "nameEdit");
        QTest::keyClicks(edit, "X");
        QVERIFY(!label->isVisible());
        QVERIFY(dialog->configureButton()->isEnabled());
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QVERIFY(label->isVisible());
        QCOMPARE(label->text(), gui("Device name cannot be empty"));
        QVERIFY(!dialog->configureButton()->isEnabled());
        // Unticking drops the name change and its error.
        click(child<QCheckBox>(dialog.get(), "nameBox"));
        QVERIFY(!label->isVisible());
        QVERIFY(!dialog->calibrationInfo().isDeviceNameChange());
    }

    void escapeWhileBusyIsRefused()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "CFGBUSY1", "--fault", "delay:SNAM:3000" }, true));
        auto dialog = openFor(device);
        click(child<QCheckBox>(dialog.get(), "nameBox"));
        auto* edit = child<QLineEdit>(dialog.get(), "nameEdit");
        edit->selectAll();
        QTest::keyClicks(edit, "slowname");
        QSignalSpy ended(dialog.get(), &DeviceConfigurator::configurationEnded);
        QTest::mouseClick(dialog->configureButton(), Qt::LeftButton);
        QVERIFY(dialog->isBusy());
        QVERIFY(!dialog->configureButton()->isEnabled());
        QVERIFY(!edit->isEnabled());
        auto box = answerNextBox(gui("Close"));
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(box->seen, 10000);
        QVERIFY(box->texts.contains(gui("Please wait until the configuration is finished.")));
        QVERIFY(dialog->isVisible());
        QVERIFY(ended.wait(LongWait) || !ended.isEmpty());
        QVERIFY(ended.first().at(0).toBool());
    }

    void deviceErrorKeepsTheDialog()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "CFGERR1", "--fault", "error:SNAM" }, true));
        auto dialog = openFor(device);
        click(child<QCheckBox>(dialog.get(), "nameBox"));
        auto* edit = child<QLineEdit>(dialog.get(), "nameEdit");
        edit->selectAll();
        QTest::keyClicks(edit, "refused");
        auto box = answerNextBox(gui("OK"), LongWait);
        bool success = true;
        QVERIFY(configure(dialog.get(), &success));
        QVERIFY(!success);
        QTRY_VERIFY_WITH_TIMEOUT(box->seen, 10000);
        QCOMPARE(box->title, gui("Configure Device"));
        QVERIFY(!box->texts.isEmpty());
        QTest::qWait(300);
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->isBusy());
        QVERIFY(edit->isEnabled());
        QVERIFY(dialog->configureButton()->isEnabled());
    }

    void timeOutClosesAfterTheMessage()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "CFGTMO1", "--fault", "silent:SNAM" }, true));
        auto dialog = openFor(device);
        click(child<QCheckBox>(dialog.get(), "nameBox"));
        auto* edit = child<QLineEdit>(dialog.get(), "nameEdit");
        edit->selectAll();
        QTest::keyClicks(edit, "unheard");
        auto box = answerNextBox(gui("OK"), LongWait);
        bool success = true;
        QVERIFY(configure(dialog.get(), &success));
        QVERIFY(!success);
        QTRY_VERIFY_WITH_TIMEOUT(box->seen, 10000);
        QCOMPARE(box->title, gui("Configure Device"));
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), 10000);
        QVERIFY(!dialog->isBusy());
    }

    // Exactly one local BMP, JPEG or PNG file may be dropped; the drop loads it.
    void dropTakesOneImageFile()
    {
        DeviceConfigurator dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QString bmp = m_files.filePath("drop.BMP");
        const QString png = m_files.filePath("drop.png");
        QVERIFY(writeAll(bmp, encoded(pattern(40, 20), "BMP")));
        QVERIFY(writeAll(png, encoded(pattern(40, 20), "PNG")));
        auto accepts = [&dialog](const QList<QUrl>& urls) {
            QMimeData mime;
            mime.setUrls(urls);
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            enter.setAccepted(false);
            QApplication::sendEvent(&dialog, &enter);
            return enter.isAccepted();
        };
        QVERIFY(accepts({ QUrl::fromLocalFile(bmp) }));
        QVERIFY(accepts({ QUrl::fromLocalFile(png) }));
        QVERIFY(!accepts({ QUrl::fromLocalFile(m_files.filePath("drop.gif")) }));
        QVERIFY(!accepts({ QUrl::fromLocalFile(bmp), QUrl::fromLocalFile(bmp) }));
        QVERIFY(!accepts({ QUrl(QStringLiteral("https://example.org/splash.bmp")) }));

        QMimeData mime;
        mime.setUrls({ QUrl::fromLocalFile(bmp) });
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &drop);
        QImage data;
        QVERIFY(data.loadFromData(dialog.calibrationInfo().splashScreenData(), "BMP"));
        QCOMPARE(data.size(), QSize(40, 20));
        QCOMPARE(child<QLineEdit>(&dialog, "readOnly")->text(), QDir::toNativeSeparators(bmp));
        QVERIFY(dialog.configureButton()->isEnabled());
        // Restoring the factory image drops the chosen one.
        click(child<QCheckBox>(&dialog, "restoreSplashBox"));
        QVERIFY(dialog.calibrationInfo().splashScreenData().isEmpty());
        QVERIFY(dialog.calibrationInfo().isRestoreSplashScreen());
    }

    // The device row owns the configurator: its menu opens it, and the row's name label and
    // the hardware information follow what a run changed.
    void rowFollowsTheConfigurator()
    {
        PtsDevice& device = newDevice();
        QVERIFY(device.start({ "--serial", "ROW0001", "--name", "oldname", "--timezone", "60" }, true));
        DeviceItemWidget row;
        row.setDeviceInfo(device.info());
        row.show();
        QCOMPARE(row.nameText(), QStringLiteral("oldname(ROW0001)"));
        DeviceConfigurator* dialog = row.deviceConfigurator();
        QVERIFY(dialog);
        QCOMPARE(child<QLineEdit>(dialog, "serialEdit")->text(), QStringLiteral("ROW0001"));

        // The menu entry runs it modally.
        QPointer<QWidget> opened;
        whenModal([&opened](QWidget* modal) {
            opened = modal;
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        row.action(DeviceItemWidget::ConfigurationAction)->trigger();
        QCOMPARE(opened.data(), static_cast<QWidget*>(dialog));
        QVERIFY(!dialog->isVisible());

        dialog->show();
        click(child<QCheckBox>(dialog, "timeBox"));
        child<QComboBox>(dialog, "signCombo")->setCurrentIndex(1);
        child<QDateTimeEdit>(dialog, "timeEdit")->setTime(QTime(5, 30));
        bool success = false;
        QVERIFY(configure(dialog, &success));
        QVERIFY(success);
        QCOMPARE(row.hardwareInfoDialog()->rowText(HardwareInfoDialog::TimeZoneRow), HardwareInfoDialog::timeZoneText("-330"));
        QCOMPARE(row.nameText(), QStringLiteral("oldname(ROW0001)"));

        click(child<QCheckBox>(dialog, "timeBox"));
        click(child<QCheckBox>(dialog, "nameBox"));
        auto* edit = child<QLineEdit>(dialog, "nameEdit");
        edit->selectAll();
        QTest::keyClicks(edit, "newname");
        QVERIFY(configure(dialog, &success));
        QVERIFY(success);
        QCOMPARE(row.nameText(), QStringLiteral("oldname(ROW0001)"));
        QTRY_COMPARE_WITH_TIMEOUT(row.nameText(), QStringLiteral("newname(ROW0001)"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), 5000);
    }
};

QTEST_MAIN(TestDeviceConfigurator)
#include "tst_deviceconfigurator.moc"
