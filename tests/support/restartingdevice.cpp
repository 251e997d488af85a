#include "restartingdevice.h"

#include "eventwait.h"
#include "serialportmanager.h"
#include "virtualports.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>

using Orvane::Tavrix::Runtime::SerialPortManager;

namespace {
int nextNumber()
{
    static int number = 0;
    return ++number;
}
} // namespace

RestartingDevice::RestartingDevice()
{
    m_port = QStringLiteral("/dev/ttyDOVREL%1-r%2").arg(QCoreApplication::applicationPid()).arg(nextNumber());
}

RestartingDevice::~RestartingDevice()
{
    stop();
}

bool RestartingDevice::devIsWritable()
{
    return QFileInfo(QStringLiteral("/dev")).isWritable();
}

bool RestartingDevice::start(const QStringList& args, int restartMs, bool wait)
{
    const int serialAt = args.indexOf(QStringLiteral("--serial"));
    m_serial = serialAt >= 0 && serialAt + 1 < args.size() ? args.at(serialAt + 1) : QStringLiteral("DV1000001");
    QFile::remove(m_port);
    // The emulator's own link is the port: it goes with every restart and comes back.
    if (!emulator.start(QStringList { QStringLiteral("--reboot-replug"), QString::number(restartMs), QStringLiteral("--link"), m_port }
                        + args))
        return false;
    VirtualPorts::add(m_port);
    return !wait || waitForIdentification();
}

bool RestartingDevice::isIdentified() const
{
    // Another device may have the same serial number.
    return SerialPortManager::instance()->portsOfDevice(m_serial).contains(m_port);
}

bool RestartingDevice::waitForIdentification(int timeoutMs) const
{
    return waitUntil([this]() { return isIdentified(); }, timeoutMs);
}

int RestartingDevice::restarts() const
{
    return int(emulator.events(QStringLiteral("replug")).size());
}

bool RestartingDevice::waitForReturn(int restartsBefore, int timeoutMs) const
{
    const auto identifiedSinceRestart = [this, restartsBefore]() {
        if (restarts() <= restartsBefore || !isIdentified())
            return false;
        // An identification after the last restart, not the one before it.
        const QList<QJsonObject> events = emulator.transcript();
        bool restarted = false;
        bool asked = false;
        for (const QJsonObject& event : events) {
            const QString type = event.value(QStringLiteral("event")).toString();
            if (type == QLatin1String("replug")) {
                restarted = true;
                asked = false;
            } else if (restarted && type == QLatin1String("command")
                       && event.value(QStringLiteral("text")).toString() == QLatin1String("#HWCF#")) {
                asked = true;
            }
        }
        return asked;
    };
    return waitUntil(identifiedSinceRestart, timeoutMs);
}

void RestartingDevice::unplug()
{
    VirtualPorts::remove(m_port);
    emulator.unplug();
    waitUntil([this]() { return !isIdentified(); }, 20000);
}

void RestartingDevice::stop()
{
    if (emulator.isRunning())
        emulator.stop();
    VirtualPorts::remove(m_port);
    QFile::remove(m_port);
}

QMap<QString, QString> RestartingDevice::info() const
{
    return SerialPortManager::instance()->deviceInformation(m_port);
}

bool RestartingDevice::onlyIdentified() const
{
    for (const QString& command : emulator.commands()) {
        if (command != QLatin1String("#HWCF#") && !command.startsWith(QLatin1String("#DTIM<")))
            return false;
    }
    return true;
}
