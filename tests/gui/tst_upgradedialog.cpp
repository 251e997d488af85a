// The device software upgrade window driven as a user would, against the emulated
// device reached through its /dev/pts path; the release date text in several locales.
#include "englishtexts.h"
#include "modaldriver.h"
#include "testutil.h"
#include "tst_deviceupload_support.h"

#include "localizationhelper.h"
#include "messagebox.h"
#include "serialportmanager.h"
#include "upgradedevicesofwaredialog.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using Orvane::Tavrix::Common::LocalizationHelper;
using Orvane::Tavrix::Designer::MessageBox;
using Orvane::Tavrix::Designer::UpgradeDeviceSofwareDialog;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

QString gui(const QString& key)
{
    return LocalizationHelper::guiString(key);
}

bool isUpgradeDialog(QWidget* w)
{
    return qobject_cast<UpgradeDeviceSofwareDialog*>(w) != nullptr;
}

bool isBoxSaying(QWidget* w, const QString& text)
{
    return qobject_cast<MessageBox*>(w) && labelTexts(w).contains(text);
}

const QDateTime ReleaseDate = QDate(2026, 3, 14).startOfDay();

} // namespace

class TestUpgradeDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void releaseDateFormatLosesTheWeekday_data();
    void releaseDateFormatLosesTheWeekday();
    void releaseDateIsShownInTheTranslatorsLocale();
    void upgradeShowsProgressAndClosesAfterCountdown();
    void cancelBeforeUpgradeSendsNothing_data();
    void cancelBeforeUpgradeSendsNothing();
    void escapeAndWindowCloseAskToWaitWhileUpgrading();
    void checksumRefusalLeavesDialogOpenWithClose();
    void deviceThatNeverAsksForThePackageTimesOut();
    void olderPackageIsMarkedAndAsksAgain_data();
    void olderPackageIsMarkedAndAsksAgain();
};

void TestUpgradeDialog::initTestCase()
{
    useEnglishTexts();
    QVERIFY(registerProgramResources());
    QVERIFY(SerialPortManager::instance());
}

void TestUpgradeDialog::cleanup()
{
    cancelModalPolls();
    SerialPortManager* manager = SerialPortManager::instance();
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isSerialPortOpen(), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isBusy(), 5000);
}

void TestUpgradeDialog::releaseDateFormatLosesTheWeekday_data()
{
    QTest::addColumn<QString>("longFormat");
    QTest::addColumn<QString>("format");
    // The weekday and its comma go; the blank after the comma stays.
    QTest::newRow("weekday first") << QStringLiteral("dddd, MMMM d, yyyy") << QStringLiteral(" MMMM d, yyyy");
    QTest::newRow("short weekday") << QStringLiteral("ddd, d. MMM yyyy") << QStringLiteral(" d. MMM yyyy");
    QTest::newRow("german") << QStringLiteral("dddd, d. MMMM yyyy") << QStringLiteral(" d. MMMM yyyy");
    QTest::newRow("weekday last") << QStringLiteral("d MMMM yyyy, dddd") << QStringLiteral("d MMMM yyyy");
    QTest::newRow("weekday inside") << QStringLiteral("d MMMM dddd yyyy") << QStringLiteral("d MMMM yyyy");
    QTest::newRow("trailing dot") << QStringLiteral("d. MMMM yyyy.") << QStringLiteral("d. MMMM yyyy");
    QTest::newRow("no weekday") << QStringLiteral("d MMMM yyyy") << QStringLiteral("d MMMM yyyy");
    // A lone day of the month ("dd") is not a weekday.
    QTest::newRow("two-digit day") << QStringLiteral("dd.MM.yyyy") << QStringLiteral("dd.MM.yyyy");
}

void TestUpgradeDialog::releaseDateFormatLosesTheWeekday()
{
    QFETCH(QString, longFormat);
    QFETCH(QString, format);
    QCOMPARE(UpgradeDeviceSofwareDialog::releaseDateFormat(longFormat), format);
}

void TestUpgradeDialog::releaseDateIsShownInTheTranslatorsLocale()
{
    QCOMPARE(UpgradeDeviceSofwareDialog::releaseDateText(ReleaseDate, QLocale(QStringLiteral("en_US"))),
             QStringLiteral(" March 14, 2026"));
    QCOMPARE(UpgradeDeviceSofwareDialog::releaseDateText(ReleaseDate, QLocale(QStringLiteral("de_DE"))),
             QStringLiteral(" 14. M\u00e4rz 2026"));

    // The dialog takes the locale of the translator, not the machine's.
    QCOMPARE(UpgradeDeviceSofwareDialog::translatorLocale().name(),
             QLocale(LocalizationHelper::appTranslator()->currentLocale()).name());
    const QLocale saved;
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    UpgradeDeviceSofwareDialog dialog(QByteArray(10, 'x'), QStringLiteral("2.2.0.3000"), ReleaseDate);
    QLocale::setDefault(saved);
    auto* date = dialog.findChild<QLabel*>(QStringLiteral("releaseDateLabel"));
    auto* version = dialog.findChild<QLabel*>(QStringLiteral("versionLabel"));
    QVERIFY(date && version);
    QCOMPARE(date->text(), UpgradeDeviceSofwareDialog::releaseDateText(ReleaseDate, UpgradeDeviceSofwareDialog::translatorLocale()));
    QVERIFY(date->text().contains(QStringLiteral("March")));
    QCOMPARE(version->text(), QStringLiteral("2.2.0.3000"));
    QCOMPARE(dialog.windowTitle(), gui(QStringLiteral("Upgrade Device Software")));
    QCOMPARE(dialog.objectName(), QStringLiteral("general"));
}

void TestUpgradeDialog::upgradeShowsProgressAndClosesAfterCountdown()
{
    PtsDevice device;
    QVERIFY(device.start());
    // Five full packets and a short last one.
    const QByteArray package = randomBytes(5 * 1024 + 300, 21);
    UpgradeDeviceSofwareDialog dialog(package, QStringLiteral("2.2.0.3000"), ReleaseDate);
    auto* bar = dialog.findChild<QProgressBar*>(QStringLiteral("progressBar"));
    auto* upgrade = dialog.findChild<QPushButton*>(QStringLiteral("upgradeButton"));
    auto* button = dialog.findChild<QPushButton*>(QStringLiteral("closeButton"));
    QVERIFY(bar && upgrade && button);
    QCOMPARE(bar->maximum(), package.size());
    QVERIFY(upgrade->isDefault());
    QCOMPARE(button->text(), gui(QStringLiteral("Cancel")));

    QSignalSpy started(&dialog, &UpgradeDeviceSofwareDialog::upgradeStarted);
    QSignalSpy ended(&dialog, &UpgradeDeviceSofwareDialog::upgradeEnded);
    int barAtEnd = -1;
    bool upgradeHidden = false;
    QElapsedTimer sinceEnd;
    connect(&dialog, &UpgradeDeviceSofwareDialog::upgradeEnded, &dialog, [&]() {
        sinceEnd.start();
        barAtEnd = bar->value();
        upgradeHidden = !upgrade->isVisible() && button->isDefault();
    });
    TextRecorder<QPushButton> buttonTexts(button);
    onModal(isUpgradeDialog, [&](QWidget* w) { QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("upgradeButton")), Qt::LeftButton); });
    dialog.exec();

    QCOMPARE(started.count(), 1);
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.at(0).at(0).toBool(), true);
    QCOMPARE(barAtEnd, package.size());
    QVERIFY(upgradeHidden);
    QVERIFY2(sinceEnd.elapsed() >= 2800, qPrintable(QString::number(sinceEnd.elapsed())));
    QStringList shown = buttonTexts.texts();
    shown.removeAll(gui(QStringLiteral("Close (%1)")).arg(0));
    QCOMPARE(shown.join(QLatin1Char('|')),
             QStringList({ gui(QStringLiteral("Cancel")), gui(QStringLiteral("Upgrading")), gui(QStringLiteral("Close (%1)")).arg(3),
                           gui(QStringLiteral("Close (%1)")).arg(2), gui(QStringLiteral("Close (%1)")).arg(1) })
                 .join(QLatin1Char('|')));

    const QString md5 = QString::fromLatin1(QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex());
    QCOMPARE(md5, md5.toLower());
    QCOMPARE(device.commands(), QStringList({ QStringLiteral("#FINF<%1>#").arg(package.size()),
                                              QStringLiteral("#RTLD<update.tar.gz>[%1]%2#").arg(md5).arg(package.size()) }));
    QCOMPARE(device.emulator.readFile(QStringLiteral("tmp/update.tar.gz")), package);
}

void TestUpgradeDialog::cancelBeforeUpgradeSendsNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("cancel button") << QStringLiteral("cancel");
    QTest::newRow("escape") << QStringLiteral("escape");
    QTest::newRow("window close") << QStringLiteral("close");
}

void TestUpgradeDialog::cancelBeforeUpgradeSendsNothing()
{
    QFETCH(QString, how);
    PtsDevice device;
    QVERIFY(device.start());
    UpgradeDeviceSofwareDialog dialog(randomBytes(3000, 22), QStringLiteral("2.2.0.3000"), ReleaseDate);
    QSignalSpy started(&dialog, &UpgradeDeviceSofwareDialog::upgradeStarted);
    onModal(isUpgradeDialog, [&](QWidget* w) {
        if (how == QLatin1String("cancel"))
            QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("closeButton")), Qt::LeftButton);
        else if (how == QLatin1String("escape"))
            pressKey(w, Qt::Key_Escape);
        else
            w->close();
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QCOMPARE(started.count(), 0);
    QTest::qWait(300);
    QCOMPARE(device.commands(), QStringList());
}

void TestUpgradeDialog::escapeAndWindowCloseAskToWaitWhileUpgrading()
{
    PtsDevice device;
    // The device takes its time to accept the package.
    QVERIFY(device.start({ QStringLiteral("--fault"), QStringLiteral("delay:RTLD:3000") }));
    UpgradeDeviceSofwareDialog dialog(randomBytes(4000, 23), QStringLiteral("2.2.0.3000"), ReleaseDate);
    QSignalSpy ended(&dialog, &UpgradeDeviceSofwareDialog::upgradeEnded);
    const QString wait = gui(QStringLiteral("Please wait until the upgrade is finished."));
    QStringList attempts;
    bool runningAtEach = true;
    auto answerWait = [&](const QString& how) {
        onModal([&](QWidget* w) { return isBoxSaying(w, wait); }, [&, how](QWidget* box) {
            attempts << how;
            runningAtEach = runningAtEach && ended.isEmpty();
            QCOMPARE(box->windowTitle(), gui(QStringLiteral("Upgrade Device Software")));
            visibleButton(box, gui(QStringLiteral("OK")))->click();
        });
    };
    bool buttonInert = false;
    onModal(isUpgradeDialog, [&](QWidget* w) {
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("upgradeButton")), Qt::LeftButton);
        QVERIFY(device.emulator.waitForCommand(QStringLiteral("RTLD"), 30000));
        answerWait(QStringLiteral("escape"));
        pressKey(w, Qt::Key_Escape);
        QPushButton* button = w->findChild<QPushButton*>(QStringLiteral("closeButton"));
        QTest::mouseClick(button, Qt::LeftButton);
        buttonInert = !button->isEnabled() && button->text() == gui(QStringLiteral("Upgrading")) && attempts.size() == 1;
        answerWait(QStringLiteral("close"));
        QVERIFY(!w->close());
    });
    dialog.exec();
    QCOMPARE(attempts, QStringList({ QStringLiteral("escape"), QStringLiteral("close") }));
    QVERIFY(runningAtEach);
    QVERIFY(buttonInert);
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.at(0).at(0).toBool(), true);
}

void TestUpgradeDialog::checksumRefusalLeavesDialogOpenWithClose()
{
    PtsDevice device;
    QVERIFY(device.start({ QStringLiteral("--fault"), QStringLiteral("error:RTLD") }));
    const QByteArray package = randomBytes(3000, 24);
    UpgradeDeviceSofwareDialog dialog(package, QStringLiteral("2.2.0.3000"), ReleaseDate);
    QSignalSpy ended(&dialog, &UpgradeDeviceSofwareDialog::upgradeEnded);
    const QString text = rt(QStringLiteral("The checksum of the upgrade package does not match."));
    bool boxSeen = false;
    bool openWithClose = false;
    onModal(isUpgradeDialog, [&](QWidget* w) {
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("upgradeButton")), Qt::LeftButton);
        onModal([&](QWidget* box) { return isBoxSaying(box, text); }, [&](QWidget* box) {
            boxSeen = box->windowTitle() == gui(QStringLiteral("Upgrade Device Software"));
            visibleButton(box, gui(QStringLiteral("OK")))->click();
            onModal(isUpgradeDialog, [&](QWidget* again) {
                QPushButton* close = again->findChild<QPushButton*>(QStringLiteral("closeButton"));
                openWithClose = close->isEnabled() && close->text() == gui(QStringLiteral("Close"));
                QTimer::singleShot(300, again, &QWidget::close);
            });
        });
    });
    dialog.exec();
    QVERIFY(boxSeen);
    QVERIFY(openWithClose);
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.at(0).at(0).toBool(), false);
    QVERIFY(device.commands().at(1).startsWith(QStringLiteral("#RTLD<update.tar.gz>[")));
}

void TestUpgradeDialog::deviceThatNeverAsksForThePackageTimesOut()
{
    PtsDevice device;
    QVERIFY(device.start({ QStringLiteral("--fault"), QStringLiteral("no-c") }));
    UpgradeDeviceSofwareDialog dialog(randomBytes(3000, 25), QStringLiteral("2.2.0.3000"), ReleaseDate);
    QSignalSpy ended(&dialog, &UpgradeDeviceSofwareDialog::upgradeEnded);
    const QString text = SerialPortManager::timeoutText(SerialPortManager::SendSoftwarePackage);
    QCOMPARE(text, rt(QStringLiteral("The operation timed out while upgrading the device software.")));
    bool boxSeen = false;
    onModal(isUpgradeDialog, [&](QWidget* w) {
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("upgradeButton")), Qt::LeftButton);
        onModal([&](QWidget* box) { return isBoxSaying(box, text); }, [&](QWidget* box) {
            boxSeen = true;
            visibleButton(box, gui(QStringLiteral("OK")))->click();
        });
    });
    dialog.exec(); // closes by itself after the message
    QVERIFY(boxSeen);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.at(0).at(0).toBool(), false);
}

QTEST_MAIN(TestUpgradeDialog)
#include "tst_upgradedialog.moc"

void TestUpgradeDialog::olderPackageIsMarkedAndAsksAgain_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("older");
    QTest::newRow("older") << QStringLiteral("2.1.5.3000") << true;
    QTest::newRow("same") << QStringLiteral("2.1.6.2886") << false;
    QTest::newRow("newer") << QStringLiteral("2.2.0.1000") << false;
}

// A package older than the installed software is marked, and "Upgrade" asks once more:
// No leaves everything as it was, Yes goes ahead.
void TestUpgradeDialog::olderPackageIsMarkedAndAsksAgain()
{
    QFETCH(QString, version);
    QFETCH(bool, older);
    PtsDevice device;
    QVERIFY(device.start({ QStringLiteral("--app-version"), QStringLiteral("2.1.6.2886") }));
    UpgradeDeviceSofwareDialog dialog(randomBytes(3000, 24), version, ReleaseDate);
    dialog.setInstalledVersion(QStringLiteral("2.1.6.2886"));
    auto* mark = dialog.findChild<QLabel*>(QStringLiteral("olderLabel"));
    QVERIFY(mark);
    QCOMPARE(!mark->isHidden(), older);
    if (older)
        QCOMPARE(mark->text(), gui(QStringLiteral("The package holds version %1, older than the version %2 the device runs."))
                                   .arg(version, QStringLiteral("2.1.6.2886")));
    QSignalSpy started(&dialog, &UpgradeDeviceSofwareDialog::upgradeStarted);
    auto* upgrade = dialog.findChild<QPushButton*>(QStringLiteral("upgradeButton"));
    const QString question = gui(QStringLiteral("Do you want to install the older version?"));
    int asked = 0;
    auto answer = [&](const QString& button) {
        onModal([&](QWidget* w) { return qobject_cast<MessageBox*>(w) && labelTexts(w).join(' ').contains(question); },
                [&asked, button](QWidget* box) {
                    ++asked;
                    visibleButton(box, gui(button))->click();
                });
    };
    if (older) {
        answer(QStringLiteral("No"));
        upgrade->click();
        QCOMPARE(asked, 1);
        QCOMPARE(started.count(), 0);
        QVERIFY(upgrade->isVisible() || !dialog.isVisible());
        answer(QStringLiteral("Yes"));
    }
    upgrade->click();
    QCOMPARE(asked, older ? 2 : 0);
    QCOMPARE(started.count(), 1);
    QVERIFY(waitUntil([&]() { return device.commands().join(' ').contains(QStringLiteral("#RTLD<update.tar.gz>")); }, 20000));
    cancelModalPolls();
    QVERIFY(waitUntil([&]() { return !SerialPortManager::instance()->isBusy(); }, 30000));
}
