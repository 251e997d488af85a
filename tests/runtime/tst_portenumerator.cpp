// The port list is read away from the caller's thread; records and signals stay in it.
// Without udev the device folder is watched, and the list read only when it changed.
#include "eventwait.h"
#include "portenumerator.h"
#include "serialportmanager.h"
#include "virtualports.h"

#include <QLoggingCategory>
#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QElapsedTimer>
#include <QPointer>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <memory>

using Orvane::Tavrix::Runtime::PortEnumerator;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

QMap<QString, QVariant> devicePort(const QString& name)
{
    QMap<QString, QVariant> map;
    map.insert(QStringLiteral("portName"), name);
    map.insert(QStringLiteral("friendName"), QStringLiteral("USB device"));
    map.insert(QStringLiteral("physName"), name);
    map.insert(QStringLiteral("enumName"), QStringLiteral("test"));
    map.insert(QStringLiteral("vendorID"), PortEnumerator::DeviceVendorId);
    map.insert(QStringLiteral("productID"), PortEnumerator::DeviceProductId);
    return map;
}

QString portOf(const QList<QVariant>& args)
{
    return args.at(0).value<QMap<QString, QVariant>>().value(QStringLiteral("portName")).toString();
}

// A system port list the test controls: each reading records its thread and may be held
// at a gate the test opens.
struct ScriptedLister
{
    QSemaphore entered;
    QSemaphore held; // a reading waits at the gate
    QSemaphore gate;
    QAtomicInt calls = 0;
    QAtomicInt running = 0;
    QAtomicInt overlapped = 0;
    QAtomicInt timedOut = 0;
    QAtomicInt finished = 0;
    QAtomicInt holdAtGate = 0;
    QAtomicPointer<QThread> lastThread = nullptr;
    QMutex mutex;
    PortEnumerator::PortList ports;

    PortEnumerator::PortList list()
    {
        if (running.fetchAndAddOrdered(1) != 0)
            overlapped.ref();
        calls.ref();
        lastThread.storeRelease(QThread::currentThread());
        entered.release();
        if (holdAtGate.loadAcquire()) {
            held.release();
            if (!gate.tryAcquire(1, 30000))
                timedOut.ref();
        }
        PortEnumerator::PortList result;
        {
            QMutexLocker lock(&mutex);
            result = ports;
        }
        running.deref();
        finished.ref();
        return result;
    }

    void setPorts(const PortEnumerator::PortList& list)
    {
        QMutexLocker lock(&mutex);
        ports = list;
    }
};

QStringList g_debugLines;
QtMessageHandler g_previousHandler = nullptr;

void keepDebugLines(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtDebugMsg)
        g_debugLines << message;
    g_previousHandler(type, context, message);
}

} // namespace

class TestPortEnumerator : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ScriptedLister> m_lister;

    // The scripted list, polled (unless a test asks otherwise).
    void useLister()
    {
        qputenv("DOVREL_PORT_DISCOVERY", "poll");
        m_lister = std::make_unique<ScriptedLister>();
        ScriptedLister* lister = m_lister.get();
        PortEnumerator::setSystemPortLister([lister]() { return lister->list(); });
    }

private slots:
    void cleanup()
    {
        PortEnumerator::setSystemPortLister({});
        PortEnumerator::setDeviceFolder({});
        PortEnumerator::setPortRestriction({});
        qunsetenv("DOVREL_VIRTUAL_PORTS");
        qunsetenv("DOVREL_PORT_DISCOVERY");
        m_lister.reset();
    }

    // Asked for, the system's list is polled, and the debug output says so once; virtual
    // ports are found by the polls.
    void polledWhenAsked()
    {
        qputenv("DOVREL_PORT_DISCOVERY", "poll");
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyVIRT"));
        qputenv("DOVREL_VIRTUAL_PORTS", link.toLocal8Bit());
        g_debugLines.clear();
        // The diagnostics are silent unless asked for, as QT_LOGGING_RULES does.
        QLoggingCategory::setFilterRules(QStringLiteral("dovrel.*.debug=true"));
        g_previousHandler = qInstallMessageHandler(keepDebugLines);
        auto restore = qScopeGuard([] { qInstallMessageHandler(g_previousHandler); });

        PortEnumerator first;
        PortEnumerator second;
        QVERIFY(first.setUpNotifications());
        QVERIFY(second.setUpNotifications());
        QVERIFY(first.isPolling());
        QVERIFY(second.isPolling());
        QCOMPARE(g_debugLines.filter(QStringLiteral("No port notifications")).size(), 1);

        QSignalSpy discovered(&first, &PortEnumerator::deviceDiscovered);
        QSignalSpy removed(&first, &PortEnumerator::deviceRemoved);
        QFile target(dir.filePath(QStringLiteral("target")));
        QVERIFY(target.open(QIODevice::WriteOnly));
        target.close();
        QVERIFY(QFile::link(target.fileName(), link));
        QTRY_COMPARE_WITH_TIMEOUT(discovered.size(), 1, 10000);
        QCOMPARE(portOf(discovered.at(0)), link);
        QVERIFY(QFile::remove(link));
        QTRY_COMPARE_WITH_TIMEOUT(removed.size(), 1, 10000);
    }

    // Without udev the device folder is watched: a port's link in a later serial/by-id
    // coming or going is read at once; other devices' nodes, a link some program named
    // like a port (the kernel has no such port), or nothing at all, read nothing.
    void withoutUdevTheDeviceFolderIsWatched()
    {
        QTemporaryDir dev;
        const auto make = [&dev](const QString& relative) {
            QDir().mkpath(QFileInfo(dev.filePath(relative)).absolutePath());
            QFile file(dev.filePath(relative));
            return file.open(QIODevice::WriteOnly);
        };
        useLister();
        qputenv("DOVREL_PORT_DISCOVERY", "dev");
        PortEnumerator::setDeviceFolder(dev.path());
        PortEnumerator enumerator;
        QVERIFY(enumerator.setUpNotifications() && !enumerator.isPolling() && enumerator.isWatchingDeviceNodes());
        QSignalSpy discovered(&enumerator, &PortEnumerator::deviceDiscovered);
        QSignalSpy removed(&enumerator, &PortEnumerator::deviceRemoved);
        const int calls = m_lister->calls.loadAcquire();
        for (const char* other : { "input/event3", "pts/7", "null", "ttyDOVREL9" })
            QVERIFY(make(QString::fromLatin1(other)));
        waitEvents(3 * PortEnumerator::PollInterval);
        QCOMPARE(m_lister->calls.loadAcquire(), calls);

        const QString path = dev.filePath(QStringLiteral("serial/by-id/usb-Panel_0123-if00"));
        m_lister->setPorts({ devicePort(path) });
        QVERIFY(make(QStringLiteral("serial/by-id/usb-Panel_0123-if00")));
        QVERIFY(waitUntil([&] { return discovered.size() == 1; }, 10000));
        QCOMPARE(portOf(discovered.at(0)), path);
        m_lister->setPorts({});
        QVERIFY(QFile::remove(path));
        QVERIFY(waitUntil([&] { return removed.size() == 1; }, 10000));
        QCOMPARE(portOf(removed.at(0)), path);
    }

    // The polling timer reads the list in another thread; while a reading hangs, the
    // caller's thread keeps running its events, later ticks are skipped, and the result
    // is announced in the caller's thread.
    void listsInAnotherThreadWithoutBlockingTheCaller()
    {
        useLister();
        PortEnumerator enumerator;
        QVERIFY(enumerator.setUpNotifications());
        QVERIFY(m_lister->entered.tryAcquire(1)); // the first reading, for the caller's start-up

        QThread* announcedIn = nullptr;
        connect(&enumerator, &PortEnumerator::deviceDiscovered, this,
                [&announcedIn]() { announcedIn = QThread::currentThread(); });
        QSignalSpy discovered(&enumerator, &PortEnumerator::deviceDiscovered);
        QSignalSpy removed(&enumerator, &PortEnumerator::deviceRemoved);

        m_lister->setPorts({devicePort(QStringLiteral("/dev/ttyACM7"))});
        m_lister->holdAtGate.storeRelease(1);
        auto openGate = qScopeGuard([this]() {
            m_lister->holdAtGate.storeRelease(0);
            m_lister->gate.release(100);
        });
        // A tick starts a reading, which is held.
        QVERIFY(QTest::qWaitFor([this]() { return m_lister->held.tryAcquire(1); }, 20000));
        QVERIFY(m_lister->lastThread.loadAcquire() != QThread::currentThread());
        QVERIFY(enumerator.isListing());
        const int calls = m_lister->calls.loadAcquire();

        // The reading is held at the gate, yet this thread's events run and an explicit poll returns.
        bool ran = false;
        QTimer::singleShot(0, this, [&ran]() { ran = true; });
        QTRY_VERIFY_WITH_TIMEOUT(ran, 10000);
        enumerator.pollNow();
        enumerator.pollNow();
        QTest::qWait(6 * PortEnumerator::PollInterval);
        QCOMPARE(m_lister->calls.loadAcquire(), calls);
        QCOMPARE(discovered.size(), 0);

        m_lister->holdAtGate.storeRelease(0);
        m_lister->gate.release();
        QTRY_COMPARE_WITH_TIMEOUT(discovered.size(), 1, 10000);
        // The ticks and polls during the held reading were skipped, not queued behind it
        // (at most a tick or two may have started a new reading since).
        QVERIFY2(m_lister->calls.loadAcquire() <= calls + 2,
                 qPrintable(QStringLiteral("%1 readings after the held one").arg(m_lister->calls.loadAcquire() - calls)));
        QCOMPARE(portOf(discovered.at(0)), QStringLiteral("/dev/ttyACM7"));
        QCOMPARE(announcedIn, QThread::currentThread());
        QCOMPARE(m_lister->timedOut.loadAcquire(), 0);
        QCOMPARE(m_lister->overlapped.loadAcquire(), 0);

        // Unplugged: the next readings report it gone, once.
        m_lister->setPorts({});
        QTRY_COMPARE_WITH_TIMEOUT(removed.size(), 1, 10000);
        QCOMPARE(portOf(removed.at(0)), QStringLiteral("/dev/ttyACM7"));
        QTest::qWait(2 * PortEnumerator::PollInterval);
        QCOMPARE(removed.size(), 1);
        QCOMPARE(discovered.size(), 1);
        QCOMPARE(m_lister->overlapped.loadAcquire(), 0);
    }

    // Virtual ports and the restriction do not wait for a reading of the system list:
    // an explicit poll applies them before it returns, even while a reading hangs.
    void virtualPortsAndRestrictionApplyAtOnce()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("ttyVIRT"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        useLister();
        m_lister->setPorts({devicePort(QStringLiteral("/dev/ttyACM3"))});
        PortEnumerator enumerator;
        QVERIFY(enumerator.setUpNotifications());
        QSignalSpy discovered(&enumerator, &PortEnumerator::deviceDiscovered);
        QSignalSpy removed(&enumerator, &PortEnumerator::deviceRemoved);
        m_lister->holdAtGate.storeRelease(1);
        auto openGate = qScopeGuard([this]() {
            m_lister->holdAtGate.storeRelease(0);
            m_lister->gate.release(100);
        });
        QVERIFY(QTest::qWaitFor([this]() { return m_lister->held.tryAcquire(1); }, 20000));
        QVERIFY(enumerator.isListing());

        VirtualPorts::add(path);
        enumerator.pollNow();
        QCOMPARE(discovered.size(), 1);
        QCOMPARE(portOf(discovered.at(0)), path);
        QVERIFY(PortEnumerator::isDevicePort(discovered.at(0).at(0).value<QMap<QString, QVariant>>()));

        PortEnumerator::setPortRestriction({path});
        enumerator.pollNow();
        QCOMPARE(removed.size(), 1);
        QCOMPARE(portOf(removed.at(0)), QStringLiteral("/dev/ttyACM3"));

        QVERIFY(QFile::remove(path));
        enumerator.pollNow();
        QCOMPARE(removed.size(), 2);
        QCOMPARE(portOf(removed.at(1)), path);

        // The held reading still lists ttyACM3, which stays outside the restriction.
        openGate.dismiss();
        m_lister->holdAtGate.storeRelease(0);
        m_lister->gate.release();
        QTRY_VERIFY_WITH_TIMEOUT(!enumerator.isListing(), 10000);
        PortEnumerator::setPortRestriction({});
        enumerator.pollNow();
        QCOMPARE(discovered.size(), 2);
        QCOMPARE(portOf(discovered.at(1)), QStringLiteral("/dev/ttyACM3"));
    }

    // Destroying the enumerator, or the manager that owns it, while a reading runs waits
    // for that reading only, and nothing is delivered to the destroyed object afterwards.
    void destroyingDuringAReadingNeitherCrashesNorHangs()
    {
        useLister();
        auto* enumerator = new PortEnumerator;
        QVERIFY(enumerator->setUpNotifications());
        m_lister->setPorts({devicePort(QStringLiteral("/dev/ttyACM5"))});
        m_lister->holdAtGate.storeRelease(1);
        QVERIFY(QTest::qWaitFor([this]() { return m_lister->held.tryAcquire(1); }, 20000));

        // The gate opens from another thread a little after the destructor has begun waiting.
        const int finishedBefore = m_lister->finished.loadAcquire();
        std::unique_ptr<QThread> opener(QThread::create([this]() {
            QThread::msleep(300);
            m_lister->gate.release();
        }));
        opener->start();
        QElapsedTimer clock;
        clock.start();
        delete enumerator;
        QVERIFY2(clock.elapsed() < 25000, "the destructor waited for the gate's time-out");
        // The reading had ended when the destructor returned: no thread is left using the object.
        QCOMPARE(m_lister->finished.loadAcquire(), finishedBefore + 1);
        QCOMPARE(m_lister->timedOut.loadAcquire(), 0);
        QVERIFY(opener->wait(10000));
        QTest::qWait(2 * PortEnumerator::PollInterval);

        // The same through the manager that owns an enumerator.
        m_lister->holdAtGate.storeRelease(0);
        m_lister->setPorts({});
        QPointer<SerialPortManager> manager = SerialPortManager::instance();
        QVERIFY(manager);
        auto* owned = manager->findChild<PortEnumerator*>();
        QVERIFY(owned);
        m_lister->holdAtGate.storeRelease(1);
        owned->pollNow(); // skipped if a tick's reading runs; that one is held instead
        QVERIFY(QTest::qWaitFor([this]() { return m_lister->held.tryAcquire(1); }, 20000));
        QVERIFY(owned->isListing());
        const int managerBefore = m_lister->finished.loadAcquire();
        opener.reset(QThread::create([this]() {
            QThread::msleep(300);
            m_lister->gate.release();
        }));
        opener->start();
        clock.restart();
        delete manager.data();
        QVERIFY(!manager);
        QVERIFY2(clock.elapsed() < 25000, "the destructor waited for the gate's time-out");
        QCOMPARE(m_lister->finished.loadAcquire(), managerBefore + 1);
        QCOMPARE(m_lister->timedOut.loadAcquire(), 0);
        QVERIFY(opener->wait(10000));
        QTest::qWait(2 * PortEnumerator::PollInterval);
    }
};

QTEST_GUILESS_MAIN(TestPortEnumerator)
#include "tst_portenumerator.moc"
