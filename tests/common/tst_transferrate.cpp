// The speed and time left of a transfer, replayed at chosen times.
#include "transferrate.h"

#include <QTest>

#include <cmath>

using Orvane::Tavrix::Common::TransferRate;

class TestTransferRate : public QObject
{
    Q_OBJECT
private slots:
    // (bytes done at ms) updates, then the speed and time left expected after the last one.
    void followsThePace_data()
    {
        QTest::addColumn<QList<QPoint>>("updates");
        QTest::addColumn<double>("speed");
        QTest::addColumn<double>("left");
        // 10 000 bytes of 100 000 a second, after a second and a half of set-up that must not count.
        QList<QPoint> steady;
        for (int t = 0; t <= 3000; t += 100)
            steady << QPoint(1500 + t, t * 10);
        QTest::newRow("steady after set-up") << steady << 10000.0 << 7.0;
        // The line slows to a quarter: a few seconds later the speed is the new one.
        QList<QPoint> slowing;
        for (int t = 0; t <= 2000; t += 100)
            slowing << QPoint(t, t * 20);
        for (int t = 100; t <= 6000; t += 100)
            slowing << QPoint(2000 + t, 40000 + t * 5);
        QTest::newRow("slower line") << slowing << 5000.0 << 6.0;
        // Pauses between files are part of the pace.
        QList<QPoint> pauses;
        for (int file = 0; file < 6; ++file) {
            for (int t = 0; t <= 500; t += 100)
                pauses << QPoint(file * 1000 + t, file * 10000 + t * 20);
        }
        QTest::newRow("pauses between files") << pauses << 10000.0 << 4.0;
    }

    void followsThePace()
    {
        QFETCH(QList<QPoint>, updates);
        QFETCH(double, speed);
        QFETCH(double, left);
        TransferRate rate(100000);
        QVERIFY(!rate.isKnown());
        QCOMPARE(rate.secondsLeft(), -1.0);
        for (const QPoint& update : updates)
            rate.updateAt(update.y(), update.x());
        QVERIFY(rate.isKnown());
        QVERIFY2(std::abs(rate.bytesPerSecond() - speed) <= speed * 0.05, qPrintable(QString::number(rate.bytesPerSecond())));
        QVERIFY2(std::abs(rate.secondsLeft() - left) <= left * 0.05 + 0.1, qPrintable(QString::number(rate.secondsLeft())));
        rate.updateAt(100000, updates.last().x() + 100);
        QCOMPARE(rate.secondsLeft(), 0.0);
    }

    void lineTime()
    {
        // A 1024x600 splash as 24-bit BMP at 115200 baud: 160 seconds.
        QCOMPARE(qRound(TransferRate::lineSeconds(1024 * 600 * 3 + 54)), 160);
        QCOMPARE(TransferRate::lineSeconds(11520, 115200), 1.0);
        QCOMPARE(TransferRate::lineSeconds(0), 0.0);
    }
};

QTEST_GUILESS_MAIN(TestTransferRate)
#include "tst_transferrate.moc"
