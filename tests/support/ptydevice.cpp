#include "ptydevice.h"

#include "eventwait.h"
#include "virtualports.h"
#include "serialportmanager.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using Orvane::Tavrix::Runtime::SerialPortManager;

PtyDevice::PtyDevice(QObject* parent)
    : QObject(parent)
{
}

PtyDevice::~PtyDevice()
{
    unplug();
}

bool PtyDevice::open()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        return false;
    const char* name = ptsname(m_master);
    if (!name)
        return false;
    const QByteArray slavePath(name);
    m_slavePath = QString::fromLocal8Bit(slavePath);
    // Holding the slave open keeps the master readable while the program reopens the port.
    m_slave = ::open(slavePath.constData(), O_RDWR | O_NOCTTY);
    if (m_slave < 0)
        return false;
    termios tio {};
    tcgetattr(m_slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_slave, TCSANOW, &tio);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);

    m_linkPath = m_dir.filePath(QStringLiteral("ttyPTY0"));
    if (!QFile::link(QString::fromLocal8Bit(slavePath), m_linkPath))
        return false;
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyDevice::onReadable);
    return true;
}

QString PtyDevice::hardwareDescription() const
{
    return QStringLiteral("#HWCF#<SER_NO:%1><MODELS:QMX 70-A><FIRMWD:2.1><DEVAPP:1.1.0.1910><DESAPP:2.0.0.2552>"
                          "<ADCCHN:4><LCDVER:600><LCDHOR:1024><LCDBBP:16><ALM_CH:2><PHYADD:00:11:22:33:44:55>"
                          "<PWM_CH:2><DIO_CH:8><BKLT:80><LOTIZO:0><DEVNAM:Bench><HWCFEND>").arg(m_serial);
}

bool PtyDevice::connectToManager(bool makeActive, int timeoutMs)
{
    SerialPortManager* manager = SerialPortManager::instance();
    if (!manager)
        return false;
    QSignalSpy connected(manager, &SerialPortManager::deviceConnected);
    VirtualPorts::add(m_linkPath);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        for (const QList<QVariant>& args : std::as_const(connected)) {
            const auto info = args.at(0).value<QMap<QString, QString>>();
            if (info.value(QStringLiteral("port")) == m_linkPath) {
                m_received.clear();
                return makeActive ? manager->setActivePort(m_linkPath) : true;
            }
        }
        connected.wait(200);
    }
    return false;
}

void PtyDevice::onReadable()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        const QByteArray data(buffer, int(n));
        if (m_bridge >= 0) {
            writeAll(m_bridge, data);
            continue;
        }
        m_received += data;
        if (m_autoIdentify) {
            m_pending += data;
            if (m_pending.contains("#HWCF#")) {
                m_pending.clear();
                m_received.clear();
                write(hardwareDescription().toLatin1());
            } else if (m_pending == " ") {
                m_pending.clear();
                m_received.clear();
                write("<BOOT_UP>");
            } else if (m_pending.size() > 64) {
                m_pending.clear();
            }
        }
        emit dataReceived(data);
    }
}

bool PtyDevice::waitForReceived(const QByteArray& needle, int timeoutMs)
{
    return waitUntil([&] { return m_received.contains(needle); }, timeoutMs);
}

void PtyDevice::write(const QByteArray& bytes)
{
    writeAll(m_master, bytes);
}

void PtyDevice::writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size() && fd >= 0) {
        // A bridged program that gave up closes its socket: that must fail the test, not kill it.
        ssize_t n = ::send(fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK)
            n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EAGAIN)
            break;
        else
            QTest::qWait(1);
    }
}

void PtyDevice::bridgeTo(int fd)
{
    endBridge();
    m_bridge = fd;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_bridgeNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_bridgeNotifier, &QSocketNotifier::activated, this, [this] {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(m_bridge, buffer, sizeof buffer);
            if (n <= 0) {
                if (n == 0)
                    m_bridgeNotifier->setEnabled(false);
                break;
            }
            writeAll(m_master, QByteArray(buffer, int(n)));
        }
    });
}

void PtyDevice::endBridge()
{
    delete m_bridgeNotifier;
    m_bridgeNotifier = nullptr;
    if (m_bridge >= 0)
        ::close(m_bridge);
    m_bridge = -1;
}

void PtyDevice::setReadingPaused(bool paused)
{
    if (m_notifier)
        m_notifier->setEnabled(!paused);
}

void PtyDevice::unplug()
{
    endBridge();
    if (!m_linkPath.isEmpty()) {
        QFile::remove(m_linkPath);
        VirtualPorts::remove(m_linkPath);
    }
    delete m_notifier;
    m_notifier = nullptr;
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
}
