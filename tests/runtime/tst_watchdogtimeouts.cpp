// The real reply time-outs of the device link, and the test hook that shortens them: the
// time-out tests run with a scale, so the real figures are checked here, unscaled.
#include "englishtexts.h"
#include "operationresult.h"
#include "serialportmanager.h"
#include "testutil.h"
#include "watchdogtimeouts.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <limits>

using Orvane::Tavrix::Runtime::OperationResult;
using Orvane::Tavrix::Runtime::SerialPortManager;
using Orvane::Tavrix::Runtime::WatchdogTimeouts;

class TestWatchdogTimeouts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // This program checks the product's own figures: no hook from the caller's environment.
        qunsetenv("DOVREL_TIMEOUT_SCALE");
        useEnglishTexts();
        qRegisterMetaType<OperationResult>();
        QVERIFY(SerialPortManager::instance());
    }

    void realIntervals()
    {
        QCOMPARE(WatchdogTimeouts::DataLogZipMsecs, 120000);
        QCOMPARE(WatchdogTimeouts::scale(), 1.0);
        for (int msecs : { 1, 2000, 3000, 5000, 6000, 10000, 13000, 16000, 120000 })
            QCOMPARE(WatchdogTimeouts::scaled(msecs), msecs);
    }

    void scaledIntervals_data()
    {
        QTest::addColumn<int>("msecs");
        QTest::addColumn<double>("factor");
        QTest::addColumn<int>("expected");
        QTest::newRow("zip, tenth") << 120000 << 0.1 << 12000;
        QTest::newRow("zip, twentieth") << 120000 << 0.05 << 6000;
        QTest::newRow("unscaled") << 6000 << 1.0 << 6000;
        QTest::newRow("step, floor") << 5000 << 0.1 << 2000;
        QTest::newRow("short stays") << 1500 << 0.1 << 1500;
        QTest::newRow("longer") << 5000 << 2.0 << 10000;
        QTest::newRow("zero clamped") << 120000 << 0.0 << 2000;
        QTest::newRow("negative clamped") << 120000 << -3.0 << 2000;
        QTest::newRow("huge clamped") << 5000 << 1000.0 << 50000;
        QTest::newRow("not a number") << 120000 << std::numeric_limits<double>::quiet_NaN() << 120000;
        QTest::newRow("infinite") << 120000 << std::numeric_limits<double>::infinity() << 120000;
    }

    void scaledIntervals()
    {
        QFETCH(int, msecs);
        QFETCH(double, factor);
        QFETCH(int, expected);
        QCOMPARE(WatchdogTimeouts::scaled(msecs, factor), expected);
    }

    void variableValues_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<double>("expected");
        QTest::newRow("unset") << QByteArray() << 1.0;
        QTest::newRow("tenth") << QByteArray("0.1") << 0.1;
        QTest::newRow("blanks") << QByteArray(" 0.5\n") << 0.5;
        QTest::newRow("word") << QByteArray("fast") << 1.0;
        QTest::newRow("comma") << QByteArray("0,1") << 1.0;
        QTest::newRow("too small") << QByteArray("0") << WatchdogTimeouts::MinimumScale;
        QTest::newRow("too large") << QByteArray("1e9") << WatchdogTimeouts::MaximumScale;
        QTest::newRow("nan") << QByteArray("nan") << 1.0;
    }

    void variableValues()
    {
        QFETCH(QByteArray, value);
        QFETCH(double, expected);
        QCOMPARE(WatchdogTimeouts::parseScale(value), expected);
    }

    // Without the hook a silent device gets the full time-out of its step, not a shortened one.
    void silentCommandGetsTheRealTimeout()
    {
        ConnectedDevice device;
        QVERIFY(startDevice(device, { QStringLiteral("--populate"), QStringLiteral("--fault"), QStringLiteral("silent:DTIM") }));
        SerialPortManager* m = SerialPortManager::instance();
        QSignalSpy ended(m, &SerialPortManager::operationEnded);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(m->syncDeviceClock(60));
        QVERIFY(ended.wait(60000) || ended.count() == 1);
        // A coarse timer may fire up to 5 % early; a shortened wait would be 2 s.
        QVERIFY2(timer.elapsed() >= 4750, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(ended.at(0).at(0).value<OperationResult>().outcome, OperationResult::TimedOut);
    }
};

QTEST_GUILESS_MAIN(TestWatchdogTimeouts)
#include "tst_watchdogtimeouts.moc"
