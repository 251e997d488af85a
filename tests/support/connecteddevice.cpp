#include "connecteddevice.h"

#include "serialportmanager.h"
#include "virtualports.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

using Orvane::Tavrix::Runtime::SerialPortManager;

ConnectedDevice::ConnectedDevice() = default;

ConnectedDevice::~ConnectedDevice()
{
    m_emulator.stop();
    if (!m_port.isEmpty()) {
        waitForRemoval(5000);
        VirtualPorts::remove(m_port);
    }
}

bool ConnectedDevice::start(const QStringList& emulatorArgs, bool makeActive, int timeoutMs)
{
    if (!SerialPortManager::instance() || !m_emulator.start(emulatorArgs))
        return false;
    m_port = m_emulator.portPath();
    return announce(makeActive, timeoutMs);
}

bool ConnectedDevice::startUnderDev(const QStringList& emulatorArgs, int timeoutMs)
{
    if (!SerialPortManager::instance() || !m_emulator.start(emulatorArgs))
        return false;
    m_devLink.reset(new DevPortLink(m_emulator.portPath(), DevPortLink::TtyName));
    if (!m_devLink->isValid())
        return false;
    m_port = m_devLink->path();
    return announce(false, timeoutMs);
}

bool ConnectedDevice::announce(bool makeActive, int timeoutMs)
{
    SerialPortManager* manager = SerialPortManager::instance();
    QSignalSpy connected(manager, &SerialPortManager::deviceConnected);
    VirtualPorts::add(m_port);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        for (const QList<QVariant>& args : std::as_const(connected)) {
            const auto info = args.at(0).value<QMap<QString, QString>>();
            if (info.value(QStringLiteral("port")) == m_port)
                return makeActive ? manager->setActivePort(m_port) : true;
        }
        // Identified before the spy was made (it answers fast on a quiet machine).
        if (!manager->deviceInformation(m_port).isEmpty())
            return makeActive ? manager->setActivePort(m_port) : true;
        connected.wait(200);
    }
    return false;
}

QMap<QString, QString> ConnectedDevice::info() const
{
    return SerialPortManager::instance()->deviceInformation(m_port);
}

void ConnectedDevice::unplug()
{
    m_emulator.unplug();
}

bool ConnectedDevice::waitForRemoval(int timeoutMs)
{
    SerialPortManager* manager = SerialPortManager::instance();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (!manager->connectedPorts().contains(m_port))
            return true;
        QTest::qWait(50);
    }
    return !manager->connectedPorts().contains(m_port);
}
