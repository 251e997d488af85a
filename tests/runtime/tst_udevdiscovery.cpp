// Discovery through udev, against umockdev's mocked sysfs and udev events (the test runs
// under umockdev-wrapper). The mocked tty node of a USB device is a pseudo terminal; a
// relay joins it to the emulated device, so identification runs end to end.
#include "batchdevicemodel.h"
#include "batchpackage.h"
#include "deviceinformation.h"
#include "deviceitemwidget.h"
#include "dovrelctlrun.h"
#include "emulator.h"
#include "englishtexts.h"
#include "eventwait.h"
#include "portenumerator.h"
#include "projectpackage.h"
#include "serialportmanager.h"
#include "servicehistory.h"
#include "slotnames.h"
#include "slotnamesdialog.h"
#include "virtualports.h"

#include <QDialogButtonBox>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>

// GLib's headers name a member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <umockdev.h>
#pragma pop_macro("signals")

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using Orvane::Tavrix::Common::BatchResult;
using Orvane::Tavrix::Common::ServiceHistory;
using Orvane::Tavrix::Common::SlotNames;
using Orvane::Tavrix::Designer::BatchDeviceModel;
using Orvane::Tavrix::Designer::DeviceItemWidget;
using Orvane::Tavrix::Designer::SlotNamesDialog;
using Orvane::Tavrix::Runtime::BatchPackage;
using Orvane::Tavrix::Runtime::DeviceInformation;
using Orvane::Tavrix::Runtime::PortEnumerator;
using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {

using PortInfo = QMap<QString, QVariant>;

QStringList portsOf(const QSignalSpy& spy)
{
    QStringList ports;
    for (const QList<QVariant>& args : spy)
        ports << args.at(0).value<PortInfo>().value(QStringLiteral("portName")).toString();
    return ports;
}

QStringList listed(const PortEnumerator& enumerator)
{
    QStringList ports;
    for (const PortInfo& info : enumerator.ports())
        ports << info.value(QStringLiteral("portName")).toString();
    return ports;
}

// How many of this process's descriptors are open on the given file.
int openDescriptorsOn(const QString& path)
{
    int count = 0;
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
        if (fd.symLinkTarget() == path)
            ++count;
    }
    return count;
}

// Joins two descriptors both ways, for as long as owner lives.
void relay(QObject* owner, int first, int second)
{
    for (const auto& [from, to] : { std::pair { first, second }, std::pair { second, first } }) {
        auto* notifier = new QSocketNotifier(from, QSocketNotifier::Read, owner);
        QObject::connect(notifier, &QSocketNotifier::activated, owner, [from = from, to = to]() {
            char buffer[4096];
            const ssize_t got = ::read(from, buffer, sizeof buffer);
            if (got > 0 && ::write(to, buffer, size_t(got)) != got)
                qWarning("relay: short write");
        });
    }
}

// A USB device with its serial port in umockdev's test bed.
struct MockedUsbPort
{
    QString usbPath;
    QString ttyPath;
    QString node;
};

} // namespace

class TestUdevDiscovery : public QObject
{
    Q_OBJECT
private:
    UMockdevTestbed* m_bed = nullptr;
    int m_plugged = 0;

    // ttyACM<n> under a USB device. The ids are in udev's properties of the port (as udev's
    // own rules put them) or only in the USB device's attributes; idPath is udev's name of
    // the socket it is plugged into.
    MockedUsbPort plug(const QString& vendor, const QString& product, bool idsAsProperties, const QString& idPath = QString())
    {
        const int n = m_plugged++;
        MockedUsbPort port;
        port.usbPath = QStringLiteral("/sys/devices/pci0000:00/usb1/1-%1").arg(n);
        port.ttyPath = port.usbPath + QStringLiteral("/1-%1:1.0/tty/ttyACM%1").arg(n);
        port.node = QStringLiteral("/dev/ttyACM%1").arg(n);
        QString description = QStringLiteral("P: %1\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
                                             "A: manufacturer=Maker\nA: product=Panel\n").arg(port.usbPath.mid(4));
        if (!idsAsProperties)
            description += QStringLiteral("A: idVendor=%1\nA: idProduct=%2\n").arg(vendor, product);
        description += QStringLiteral("\nP: %1\nE: SUBSYSTEM=tty\nE: DEVNAME=%2\nN: %3\n").arg(port.ttyPath.mid(4), port.node, port.node.mid(5));
        if (idsAsProperties)
            description += QStringLiteral("E: ID_BUS=usb\nE: ID_VENDOR_ID=%1\nE: ID_MODEL_ID=%2\n").arg(vendor, product);
        if (!idPath.isEmpty())
            description += QStringLiteral("E: ID_PATH=%1\n").arg(idPath);
        GError* error = nullptr;
        if (!umockdev_testbed_add_from_string(m_bed, description.toUtf8().constData(), &error)) {
            qWarning("umockdev: %s", error ? error->message : "?");
            g_clear_error(&error);
            return {};
        }
        return port;
    }

    // The mocked node's other end joined to the emulator, for as long as the returned object lives.
    std::unique_ptr<QObject> join(const MockedUsbPort& port, int emulatorEnd)
    {
        auto joined = std::make_unique<QObject>();
        const int master = umockdev_testbed_get_dev_fd(m_bed, port.node.toUtf8().constData());
        if (master >= 0)
            relay(joined.get(), master, emulatorEnd);
        return joined;
    }

    void unplug(const MockedUsbPort& port)
    {
        umockdev_testbed_uevent(m_bed, port.ttyPath.toUtf8().constData(), "remove");
        umockdev_testbed_remove_device(m_bed, port.usbPath.toUtf8().constData());
    }

private slots:
    void initTestCase()
    {
        useEnglishTexts();
        if (qEnvironmentVariable("LD_PRELOAD").indexOf(QLatin1String("umockdev")) < 0)
            QSKIP("needs umockdev-wrapper");
        m_bed = umockdev_testbed_new();
        QVERIFY(m_bed);
    }

    void cleanupTestCase()
    {
        if (m_bed)
            g_object_unref(m_bed);
    }

    // Ports come and go by udev's events alone: nothing is polled, each port's ids come
    // from udev's properties or from its USB device, and a port added and removed at
    // once, or listed at start and announced again, ends right.
    void portsFollowUdevEvents()
    {
        const MockedUsbPort early = plug(QStringLiteral("1781"), QStringLiteral("0ec6"), true);
        PortEnumerator enumerator;
        QSignalSpy discovered(&enumerator, &PortEnumerator::deviceDiscovered);
        QSignalSpy removed(&enumerator, &PortEnumerator::deviceRemoved);
        QVERIFY(enumerator.setUpNotifications());
        QVERIFY(!enumerator.isPolling());
        QCOMPARE(listed(enumerator), QStringList { early.node });
        // Plugged while the list was read: the list has it, and its event changes nothing.
        umockdev_testbed_uevent(m_bed, early.ttyPath.toUtf8().constData(), "add");
        waitEvents(200);
        QCOMPARE(discovered.size(), 0);

        struct Case
        {
            const char* vendor;
            const char* product;
            bool properties;
            bool ours;
        };
        const Case cases[] = {
            { "1781", "0ec6", true, true },
            { "1781", "0ec6", false, true },
            { "0403", "6001", false, false },
            { "1781", "0ec7", true, false },
        };
        for (const Case& c : cases) {
            const int before = discovered.size();
            const MockedUsbPort port = plug(QLatin1String(c.vendor), QLatin1String(c.product), c.properties);
            QVERIFY(waitUntil([&] { return discovered.size() > before; }, 5000));
            const PortInfo info = discovered.last().at(0).value<PortInfo>();
            QCOMPARE(info.value(QStringLiteral("portName")).toString(), port.node);
            QCOMPARE(info.value(QStringLiteral("vendorID")).toInt(), QString::fromLatin1(c.vendor).toInt(nullptr, 16));
            QCOMPARE(info.value(QStringLiteral("productID")).toInt(), QString::fromLatin1(c.product).toInt(nullptr, 16));
            QCOMPARE(PortEnumerator::isDevicePort(info), c.ours);
            unplug(port);
            QVERIFY(waitUntil([&] { return portsOf(removed).contains(port.node); }, 5000));
        }

        // Added and removed before anyone looked: whatever was announced is undone.
        const MockedUsbPort brief = plug(QStringLiteral("1781"), QStringLiteral("0ec6"), true);
        unplug(brief);
        unplug(early);
        QVERIFY(waitUntil([&] { return listed(enumerator).isEmpty(); }, 5000));
        waitEvents(200);
        QCOMPARE(portsOf(discovered).count(brief.node), portsOf(removed).count(brief.node));
        QVERIFY(listed(enumerator).isEmpty());
        QVERIFY(!enumerator.isListing());
    }

    // Without the udev daemon the kernel's nodes in /dev (here the test bed's) are
    // watched: each port is seen as it comes and goes, its ids read from its USB device.
    void portsFollowDeviceNodesWithoutUdevDaemon()
    {
        auto restore = qScopeGuard([] { qunsetenv("DOVREL_PORT_DISCOVERY"); });
        qputenv("DOVREL_PORT_DISCOVERY", "dev");
        gchar* root = umockdev_testbed_get_root_dir(m_bed);
        const QString dev = QString::fromLocal8Bit(root) + QStringLiteral("/dev");
        g_free(root);
        QVERIFY(QDir().mkpath(dev));
        PortEnumerator enumerator;
        QSignalSpy discovered(&enumerator, &PortEnumerator::deviceDiscovered);
        QSignalSpy removed(&enumerator, &PortEnumerator::deviceRemoved);
        QVERIFY(enumerator.setUpNotifications() && enumerator.isWatchingDeviceNodes());
        for (const bool ours : { true, false }) {
            const int before = discovered.size();
            const MockedUsbPort port = plug(QStringLiteral("1781"), ours ? QStringLiteral("0ec6") : QStringLiteral("6001"), false);
            QVERIFY(waitUntil([&] { return discovered.size() > before; }, 5000));
            const PortInfo info = discovered.last().at(0).value<PortInfo>();
            QCOMPARE(info.value(QStringLiteral("portName")).toString(), port.node);
            QCOMPARE(PortEnumerator::isDevicePort(info), ours);
            unplug(port);
            // The kernel takes its node away with the device.
            QFile::remove(dev + port.node.mid(4));
            QVERIFY(waitUntil([&] { return portsOf(removed).contains(port.node); }, 5000));
        }
        QVERIFY(listed(enumerator).isEmpty());
    }

    // Ports named in DOVREL_VIRTUAL_PORTS are seen to come and go through their folders.
    void virtualPortsWithoutPolling_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("namedLater");
        QTest::addColumn<bool>("terminalEnds");
        QTest::newRow("link removed") << "ttyLINK" << false << false;
        QTest::newRow("terminal ends, link stays") << "ttyLINK" << false << true;
        QTest::newRow("folder made later") << "by-id/usb-panel/ttyLINK" << false << false;
        QTest::newRow("named while running") << "ttyLINK" << true << false;
    }
    void virtualPortsWithoutPolling()
    {
        QFETCH(QString, relative);
        QFETCH(bool, namedLater);
        QFETCH(bool, terminalEnds);
        QTemporaryDir dir;
        const QString link = dir.filePath(relative);
        const QByteArray saved = qgetenv("DOVREL_VIRTUAL_PORTS");
        auto restore = qScopeGuard([&saved] { qputenv("DOVREL_VIRTUAL_PORTS", saved); });
        if (!namedLater)
            qputenv("DOVREL_VIRTUAL_PORTS", link.toLocal8Bit());

        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
        auto closeMaster = qScopeGuard([master] { ::close(master); });
        const QString terminal = QString::fromLocal8Bit(ptsname(master));

        PortEnumerator enumerator;
        QSignalSpy discovered(&enumerator, &PortEnumerator::deviceDiscovered);
        QSignalSpy removed(&enumerator, &PortEnumerator::deviceRemoved);
        QVERIFY(enumerator.setUpNotifications());
        QVERIFY(!enumerator.isPolling());

        QVERIFY(QDir().mkpath(QFileInfo(link).absolutePath()));
        QVERIFY(QFile::link(terminal, link));
        if (namedLater)
            VirtualPorts::add(link);
        QVERIFY(waitUntil([&] { return portsOf(discovered).contains(link); }, 5000));
        QVERIFY(PortEnumerator::isDevicePort(discovered.last().at(0).value<PortInfo>()));

        if (terminalEnds) {
            // Tests running beside this one would get the freed pts number at once, and the
            // link would lead somewhere again: an open end keeps the number taken.
            const int reservation = ::open(QFile::encodeName(terminal).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            auto release = qScopeGuard([reservation] { ::close(reservation); });
            closeMaster.dismiss();
            ::close(master);
            QVERIFY(waitUntil([&] { return portsOf(removed).contains(link); }, 5000));
        } else {
            QVERIFY(QFile::remove(link));
        }
        QVERIFY(waitUntil([&] { return portsOf(removed).contains(link); }, 5000));
        QCOMPARE(discovered.size(), 1);
        QVERIFY(!enumerator.isListing());
    }

    // The emulator's terminal, raw, to be joined to a mocked node.
    static int openRaw(const QString& path)
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY);
        if (fd >= 0) {
            termios tio {};
            tcgetattr(fd, &tio);
            cfmakeraw(&tio);
            tcsetattr(fd, TCSANOW, &tio);
        }
        return fd;
    }

    // The manager finds the device through udev, identifies it through the mocked node
    // and serves it there; a port of another device is never opened.
    void deviceIdentifiedThroughMockedNode()
    {
        SerialPortManager* m = SerialPortManager::instance();
        QVERIFY(m);
        auto* enumerator = m->findChild<PortEnumerator*>();
        QVERIFY(enumerator && !enumerator->isPolling());
        QSignalSpy connected(m, &SerialPortManager::deviceConnected);
        QSignalSpy disconnected(m, &SerialPortManager::deviceDisconnected);
        QSignalSpy portFound(m, &SerialPortManager::serialDeviceDiscovered);

        DeviceEmulator emulator;
        QVERIFY(emulator.start({ QStringLiteral("--serial"), QStringLiteral("UDEV1") }));
        const int emulatorEnd = openRaw(emulator.ptyPath());
        QVERIFY(emulatorEnd >= 0);
        auto closeEnd = qScopeGuard([emulatorEnd] { ::close(emulatorEnd); });

        const MockedUsbPort other = plug(QStringLiteral("0403"), QStringLiteral("6001"), true);
        const int otherMaster = umockdev_testbed_get_dev_fd(m_bed, other.node.toUtf8().constData());
        QVERIFY(otherMaster >= 0);
        const QString otherTerminal = QString::fromLocal8Bit(ptsname(otherMaster));

        const MockedUsbPort port = plug(QStringLiteral("1781"), QStringLiteral("0ec6"), true);
        const int master = umockdev_testbed_get_dev_fd(m_bed, port.node.toUtf8().constData());
        QVERIFY(master >= 0);
        auto joined = std::make_unique<QObject>();
        relay(joined.get(), master, emulatorEnd);

        QVERIFY(waitUntil([&] { return !connected.isEmpty(); }, 20000));
        const auto info = connected.at(0).at(0).value<QMap<QString, QString>>();
        QCOMPARE(info.value(QStringLiteral("port")), port.node);
        QCOMPARE(info.value(QStringLiteral("serial")), QStringLiteral("UDEV1"));
        // Plugged while running: poked with a blank first, then asked.
        QVERIFY(emulator.replies().contains(QStringLiteral("<BOOT_UP>")));
        QCOMPARE(m->serialDeviceInformation(port.node).value(QStringLiteral("friendName")).toString(), QStringLiteral("Panel"));

        QVERIFY(m->setActivePort(port.node));
        QVERIFY(m->openSerialPort());
        m->remoteShowDeviceInformation();
        QVERIFY(emulator.waitForCommand(QStringLiteral("SINF"), 10000));
        m->closeSerialPort();

        // The other vendor's port was listed, never announced, never opened nor written to.
        QCOMPARE(portFound.size(), 1);
        QVERIFY(!m->connectedPorts().contains(other.node));
        QCOMPARE(openDescriptorsOn(otherTerminal), 0);
        char byte;
        fcntl(otherMaster, F_SETFL, fcntl(otherMaster, F_GETFL) | O_NONBLOCK);
        QCOMPARE(::read(otherMaster, &byte, 1), ssize_t(-1));

        joined.reset();
        unplug(port);
        unplug(other);
        QVERIFY(waitUntil([&] { return !disconnected.isEmpty(); }, 10000));
        const auto gone = disconnected.at(0).at(0).value<QMap<QString, QString>>();
        QCOMPARE(gone.value(QStringLiteral("serial")), QStringLiteral("UDEV1"));
        QVERIFY(m->connectedPorts().isEmpty());
    }

    // A named slot is the socket's physical path: the device plugged in again under another
    // port number keeps it, and its row, its batch line and CSV line, and dovrelctl show it;
    // dovrelctl --slot picks the device by it.
    void slotNameStaysWithTheSocket()
    {
        const QString socket = QStringLiteral("pci-0000:00:14.0-usb-0:3:1.0");
        QVERIFY(SlotNames::setName(socket, QString()));
        SerialPortManager* m = SerialPortManager::instance();
        QSignalSpy connected(m, &SerialPortManager::deviceConnected);
        QSignalSpy disconnected(m, &SerialPortManager::deviceDisconnected);
        DeviceEmulator emulator;
        QVERIFY(emulator.start({ QStringLiteral("--serial"), QStringLiteral("SLOT1") }));
        const int emulatorEnd = openRaw(emulator.ptyPath());
        QVERIFY(emulatorEnd >= 0);
        auto closeEnd = qScopeGuard([emulatorEnd] { ::close(emulatorEnd); });

        const MockedUsbPort first = plug(QStringLiteral("1781"), QStringLiteral("0ec6"), true, socket);
        auto joined = join(first, emulatorEnd);
        QVERIFY(waitUntil([&] { return !connected.isEmpty(); }, 20000));
        QCOMPARE(DeviceInformation(connected.last().at(0).value<QMap<QString, QString>>()).slotPath(), socket);

        // Named as the operator does it: the socket's line, its name typed, OK.
        SlotNamesDialog dialog;
        dialog.show();
        const int line = dialog.rowOfPort(first.node);
        QVERIFY(line >= 0);
        dialog.table()->editItem(dialog.table()->item(line, SlotNamesDialog::NameColumn));
        auto* editor = dialog.table()->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("Slot 3"));
        dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(SlotNames::nameOf(socket), QStringLiteral("Slot 3"));

        // Plugged in again: the kernel numbers the port anew, the slot stays.
        joined.reset();
        unplug(first);
        QVERIFY(waitUntil([&] { return !disconnected.isEmpty(); }, 10000));
        const MockedUsbPort again = plug(QStringLiteral("1781"), QStringLiteral("0ec6"), true, socket);
        QVERIFY(again.node != first.node);
        joined = join(again, emulatorEnd);
        QVERIFY(waitUntil([&] { return connected.size() == 2; }, 20000));
        const auto info = connected.last().at(0).value<QMap<QString, QString>>();
        QCOMPARE(info.value(QStringLiteral("port")), again.node);
        DeviceItemWidget row;
        row.updateDeviceInfo(info);
        QVERIFY(row.findChild<QLabel*>(QStringLiteral("deviceInfoLabel"))->text().contains(QStringLiteral("Slot 3")));

        // A batch of a package for another model, run by the operator set: the device's line and its CSV line.
        ServiceHistory::setOperatorSetting(QStringLiteral("Bench Ana"));
        auto forgetOperator = qScopeGuard([] { ServiceHistory::setOperatorSetting(QString()); });
        BatchDeviceModel model;
        QTemporaryDir dir;
        const QString archive = dir.filePath(QStringLiteral("other.txdevproj"));
        QVERIFY(writeProjectPackage(archive, { { QStringLiteral("project/main.qml"), QByteArray("Item {}") } }, QStringLiteral("QMX 43-B")));
        BatchPackage package;
        QVERIFY(package.load(archive));
        model.setPackage(&package);
        QCOMPARE(model.data(model.index(model.rowOf(QStringLiteral("SLOT1")), BatchDeviceModel::SlotColumn)).toString(), QStringLiteral("Slot 3"));
        model.start();
        const QString csv = dir.filePath(QStringLiteral("batch.csv"));
        QVERIFY(BatchResult::writeCsv(model.results(), csv));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.contains(QStringLiteral(",skipped,")) && text.contains(QStringLiteral(",Slot 3,%1,Bench Ana").arg(again.node)), qPrintable(text));

        // dovrelctl finds the device by its slot (any case) and lists the slot; an unknown name is refused.
        auto listing = DovrelctlRun::launch({ QStringLiteral("--slot"), QStringLiteral("slot 3"), QStringLiteral("--json"),
                                              QStringLiteral("--quiet"), QStringLiteral("list") });
        QVERIFY(waitUntil([&] { return listing->state() == QProcess::NotRunning; }, 60000));
        const DovrelctlRun listed = DovrelctlRun::collect(*listing);
        QVERIFY2(listed.exitCode == 0, qPrintable(listed.describe()));
        const QJsonObject device = listed.json.value(QStringLiteral("devices")).toArray().first().toObject();
        QCOMPARE(device.value(QStringLiteral("port")).toString(), again.node);
        QCOMPARE(device.value(QStringLiteral("slot")).toString(), QStringLiteral("Slot 3"));
        QVERIFY(DovrelctlRun::start({ QStringLiteral("--slot"), QStringLiteral("Slot 9"), QStringLiteral("--json"), QStringLiteral("list") })
                    .isFailure(2));

        joined.reset();
        unplug(again);
        QVERIFY(waitUntil([&] { return disconnected.size() == 2; }, 10000));
    }
};

QTEST_MAIN(TestUdevDiscovery)
#include "tst_udevdiscovery.moc"
