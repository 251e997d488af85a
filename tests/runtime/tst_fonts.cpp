// Listing, removal and upload of device fonts against the emulated device.
#include "connecteddevice.h"
#include "testutil.h"
#include "serialportmanager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

constexpr int LongWait = 30000;

QByteArray patternBytes(int size, int seed)
{
    QByteArray data(size, Qt::Uninitialized);
    quint32 x = quint32(seed) * 2654435761u + 7;
    for (int i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        data[i] = char(x >> 24);
    }
    return data;
}

QStringList deviceFonts(const QString& root)
{
    return QDir(root + "/fonts").entryList(QDir::Files, QDir::Name);
}

} // namespace

class TestFonts : public QObject
{
    Q_OBJECT

private:
    SerialPortManager* manager() { return SerialPortManager::instance(); }

    struct Outcome
    {
        bool ended = false;
        bool finished = false;
        bool needReboot = false;
        QString error;
        QStringList messages;
        qint64 bytes = 0;
    };

    Outcome runManage(const QMap<QString, qint64>& add, const QStringList& remove)
    {
        SerialPortManager* m = manager();
        QSignalSpy finished(m, &SerialPortManager::progressFinished);
        QSignalSpy failed(m, &SerialPortManager::progressError);
        QSignalSpy progress(m, &SerialPortManager::progressUpdated);
        QSignalSpy messages(m, &SerialPortManager::progressMessage);
        m->manageFonts(add, remove);
        QElapsedTimer timer;
        timer.start();
        while (finished.isEmpty() && failed.isEmpty() && timer.elapsed() < LongWait)
            QTest::qWait(20);
        Outcome outcome;
        if (!finished.isEmpty()) {
            outcome.ended = true;
            outcome.finished = true;
            outcome.needReboot = finished.first().at(0).toBool();
        } else if (!failed.isEmpty()) {
            outcome.ended = true;
            outcome.error = failed.first().at(0).toString();
            outcome.needReboot = failed.first().at(1).toBool();
        }
        QTest::qWait(100);
        if (finished.size() + failed.size() > 1)
            outcome.ended = false;
        for (const QList<QVariant>& args : std::as_const(progress))
            outcome.bytes += args.at(0).toInt();
        for (const QList<QVariant>& args : std::as_const(messages))
            outcome.messages << args.at(0).toString();
        return outcome;
    }

    bool listFonts(QStringList* fonts, bool* isError)
    {
        QSignalSpy notified(manager(), &SerialPortManager::notifyInstalledFonts);
        manager()->getInstalledFonts();
        if (notified.isEmpty() && !notified.wait(LongWait))
            return false;
        QTest::qWait(100);
        if (notified.size() != 1)
            return false;
        *fonts = notified.first().at(0).toStringList();
        *isError = notified.first().at(1).toBool();
        return true;
    }

    void verifyIdle()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!manager()->isSerialPortOpen(), 5000);
        QCOMPARE(manager()->currentOperation(), 0);
        QVERIFY(!manager()->isBusy());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(manager());
    }

    void listsManyInstalledFonts()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "FNT0001", "--system-fonts", "Base.ttf,Mono.ttf" }));
        // Several kilobytes of entries: the list reaches the manager in more than one read,
        // with entries cut at arbitrary places.
        QStringList expected;
        for (int i = 0; i < 300; ++i)
            expected << QStringLiteral("Family %1 Condensed Bold:Italic.ttf").arg(i, 3, 10, QLatin1Char('0'));
        for (const QString& name : std::as_const(expected))
            QVERIFY(writeFile(dev.emulator().rootPath() + "/fonts/" + name, "f"));
        const int mark = dev.emulator().commands().size();
        QStringList fonts;
        bool isError = true;
        QVERIFY(listFonts(&fonts, &isError));
        QVERIFY(!isError);
        QCOMPARE(fonts, expected);
        QCOMPARE(dev.emulator().commands().mid(mark), QStringList({ "#GFFS#" }));
        verifyIdle();
    }

    void listKeepsOnlyUserFontsInOrder()
    {
        ConnectedDevice dev;
        // Entries of other kinds and out-of-order indices are dropped; a split entry is completed.
        QVERIFY(startDevice(dev, { "--serial", "FNT0002", "--fault",
                            "garbage:GFFS:<GFFS_S0:system.ttf><GFFS_U0:one.ttf><GFFS_U3:late.ttf>"
                            "<GFFS_U1:two.otf><GFFS_U1:again.ttf><GFFS_X2:odd.ttf><GFFS_U2:three.ttf><GFFS_END>" }));
        QStringList fonts;
        bool isError = true;
        QVERIFY(listFonts(&fonts, &isError));
        QVERIFY(!isError);
        QCOMPARE(fonts, QStringList({ "one.ttf", "two.otf", "three.ttf" }));
        verifyIdle();
    }

    // Refused while the port is held: no list, no error, nothing on the line.
    void listingWithPortInUseIsRefused()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "FNT0003" }));
        QVERIFY(manager()->openSerialPort());
        const int mark = dev.emulator().commands().size();
        QSignalSpy notified(manager(), &SerialPortManager::notifyInstalledFonts);
        QSignalSpy ended(manager(), &SerialPortManager::operationEnded);
        QVERIFY(!manager()->getInstalledFonts());
        QTest::qWait(300);
        QCOMPARE(notified.size() + ended.size(), 0);
        QVERIFY(dev.emulator().commands().mid(mark).isEmpty());
        manager()->closeSerialPort();
        verifyIdle();
    }

    void listingTimesOut()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "FNT0004", "--fault", "silent:GFFS" }));
        QStringList fonts { "stale" };
        bool isError = false;
        QVERIFY(listFonts(&fonts, &isError));
        QVERIFY(isError);
        QVERIFY(fonts.isEmpty());
        QVERIFY(dev.emulator().waitForCommand("#UNIX<reboot>#", 5000));
        verifyIdle();
    }

    void manageWithPortInUseIsRefused()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "FNT0013" }));
        QVERIFY(manager()->openSerialPort());
        const int mark = dev.emulator().commands().size();
        QSignalSpy failed(manager(), &SerialPortManager::progressError);
        QSignalSpy finished(manager(), &SerialPortManager::progressFinished);
        QSignalSpy ended(manager(), &SerialPortManager::operationEnded);
        QVERIFY(!manager()->manageFonts({}, { "Any.ttf" }));
        QTest::qWait(300);
        QCOMPARE(failed.size() + finished.size() + ended.size(), 0);
        QVERIFY(dev.emulator().commands().mid(mark).isEmpty());
        manager()->closeSerialPort();
        verifyIdle();
    }

    void nothingToDoSendsNothing()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "FNT0005" }));
        const int mark = dev.emulator().commands().size();
        SerialPortManager* m = manager();
        QSignalSpy finished(m, &SerialPortManager::progressFinished);
        QSignalSpy failed(m, &SerialPortManager::progressError);
        QSignalSpy messages(m, &SerialPortManager::progressMessage);
        QSignalSpy states(m, &SerialPortManager::deviceFontStatusChange);
        m->manageFonts({}, {});
        QTest::qWait(500);
        QCOMPARE(finished.size() + failed.size() + messages.size() + states.size(), 0);
        QVERIFY(dev.emulator().commands().mid(mark).isEmpty());
        QVERIFY(!m->isSerialPortOpen());
    }

    void removesTwoFonts()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "FNT0006" }));
        const QString root = dev.emulator().rootPath();
        QVERIFY(writeFile(root + "/fonts/Keep.ttf", "k"));
        QVERIFY(writeFile(root + "/fonts/Old One.ttf", "1"));
        QVERIFY(writeFile(root + "/fonts/Old Two.otf", "2"));
        const int mark = dev.emulator().commands().size();
        const Outcome outcome = runManage({}, { "Old One.ttf", "Old Two.otf" });
        QVERIFY(outcome.ended);
        QVERIFY2(outcome.finished, qPrintable(outcome.error));
        QVERIFY(outcome.needReboot);
        QCOMPARE(dev.emulator().commands().mid(mark),
                 QStringList({ "#RMFS<0><Old One.ttf>#", "#RMFS<1><Old Two.otf>#", "#RMFS<2><END>#", "#SYNC#", "#BOOT#" }));
        QCOMPARE(outcome.messages, QStringList({ "Sending request to remove the selected fonts from the device..." }));
        QCOMPARE(deviceFonts(root), QStringList({ "Keep.ttf" }));
        verifyIdle();
    }

    void removalRefused()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "FNT0007", "--fault", "error:RMFS" }));
        const int mark = dev.emulator().commands().size();
        const Outcome outcome = runManage({}, { "Missing.ttf" });
        QVERIFY(outcome.ended);
        QCOMPARE(outcome.error, QStringLiteral("Failed to send request to remove the selected fonts from the device."));
        QVERIFY(!outcome.needReboot);
        QCOMPARE(dev.emulator().commands().mid(mark), QStringList({ "#RMFS<0><Missing.ttf>#" }));
        verifyIdle();
    }

    void uploadsTwoFonts()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "FNT0008" }));
        QTemporaryDir local;
        QVERIFY(local.isValid());
        const QByteArray first = patternBytes(2500, 1);
        const QByteArray second = patternBytes(700, 2);
        QVERIFY(writeFile(local.filePath("Delta.ttf"), first));
        QVERIFY(writeFile(local.filePath("Epsilon.otf"), second));
        QMap<QString, qint64> add;
        add.insert(local.filePath("Delta.ttf"), first.size());
        add.insert(local.filePath("Epsilon.otf"), second.size());
        const int mark = dev.emulator().commands().size();
        const Outcome outcome = runManage(add, {});
        QVERIFY(outcome.ended);
        QVERIFY2(outcome.finished, qPrintable(outcome.error));
        QVERIFY(outcome.needReboot);
        QCOMPARE(dev.emulator().commands().mid(mark),
                 QStringList({ "#MODE<1>#", "#FINF<3200>#", "#LOAD<Delta.ttf>2500#", "#LOAD<Epsilon.otf>700#", "#SYNC#",
                               "#BOOT#" }));
        QCOMPARE(outcome.bytes, qint64(3200));
        QCOMPARE(outcome.messages, QStringList({ "Uploading the selected fonts to the device..." }));
        const QString root = dev.emulator().rootPath();
        QCOMPARE(readFile(root + "/fonts/Delta.ttf"), first);
        QCOMPARE(readFile(root + "/fonts/Epsilon.otf"), second);
        verifyIdle();
    }

    void removesThenUploads()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "FNT0009" }));
        const QString root = dev.emulator().rootPath();
        QVERIFY(writeFile(root + "/fonts/Gone.ttf", "g"));
        QTemporaryDir local;
        const QByteArray data = patternBytes(1024, 3);
        QVERIFY(writeFile(local.filePath("Zeta.ttf"), data));
        const int mark = dev.emulator().commands().size();
        const Outcome outcome = runManage({ { local.filePath("Zeta.ttf"), data.size() } }, { "Gone.ttf" });
        QVERIFY(outcome.ended);
        QVERIFY2(outcome.finished, qPrintable(outcome.error));
        QCOMPARE(dev.emulator().commands().mid(mark),
                 QStringList({ "#RMFS<0><Gone.ttf>#", "#RMFS<1><END>#", "#MODE<1>#", "#FINF<1024>#",
                               "#LOAD<Zeta.ttf>1024#", "#SYNC#", "#BOOT#" }));
        QCOMPARE(outcome.bytes, qint64(1024));
        QCOMPARE(deviceFonts(root), QStringList({ "Zeta.ttf" }));
        verifyIdle();
    }

    void unusableFontFileIsRefusedBeforeSending_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::newRow("empty") << true;
        QTest::newRow("missing") << false;
    }

    void unusableFontFileIsRefusedBeforeSending()
    {
        QFETCH(bool, exists);
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "FNT0010" }));
        QTemporaryDir local;
        QVERIFY(writeFile(local.filePath("Good.ttf"), "good"));
        const QString bad = local.filePath("Bad.ttf");
        if (exists)
            QVERIFY(writeFile(bad, QByteArray()));
        QMap<QString, qint64> add;
        add.insert(local.filePath("Good.ttf"), 4);
        add.insert(bad, 0);
        const int mark = dev.emulator().commands().size();
        const Outcome outcome = runManage(add, { "Other.ttf" });
        QVERIFY(outcome.ended);
        QCOMPARE(outcome.error,
                 QStringLiteral("The font file %1 is empty or cannot be read.").arg(QDir::toNativeSeparators(bad)));
        QVERIFY(!outcome.needReboot);
        QTest::qWait(300);
        QVERIFY(dev.emulator().commands().mid(mark).isEmpty());
        verifyIdle();
    }

    void syncErrorAfterUpload()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "FNT0011", "--fault", "error:SYNC" }));
        QTemporaryDir local;
        QVERIFY(writeFile(local.filePath("Eta.ttf"), patternBytes(300, 4)));
        const int mark = dev.emulator().commands().size();
        const Outcome outcome = runManage({ { local.filePath("Eta.ttf"), 300 } }, {});
        QVERIFY(outcome.ended);
        QCOMPARE(outcome.error, QStringLiteral("Failed to install the uploaded fonts on the device."));
        QVERIFY(!outcome.needReboot);
        const QStringList commands = dev.emulator().commands().mid(mark);
        QCOMPARE(commands.last(), QStringLiteral("#SYNC#"));
        QVERIFY(!commands.contains("#BOOT#"));
        verifyIdle();
    }

    void removalTimesOut()
    {
        ConnectedDevice dev;
        QVERIFY(startDevice(dev, { "--serial", "FNT0012", "--fault", "silent:RMFS" }));
        const Outcome outcome = runManage({}, { "Slow.ttf" });
        QVERIFY(outcome.ended);
        QCOMPARE(outcome.error,
                 QStringLiteral("The operation timed out while sending request to remove the selected fonts from the device."));
        QVERIFY(outcome.needReboot);
        QVERIFY(dev.emulator().waitForCommand("#UNIX<reboot>#", 5000));
        verifyIdle();
    }
};

QTEST_GUILESS_MAIN(TestFonts)
#include "tst_fonts.moc"
