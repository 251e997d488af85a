#include "restartwatcher.h"

#include "devicelink.h"
#include "operationresult.h"
#include "serialportmanager.h"

namespace Orvane {
namespace Tavrix {
namespace Runtime {

namespace {
// A link busy with something else is looked at again this soon.
constexpr int BusyRetryMs = 250;
} // namespace

RestartWatcher::RestartWatcher(const QString& serial, const QString& port, int returnMs, QObject* parent)
    : QObject(parent)
    , m_serial(serial)
{
    m_probe.setSingleShot(true);
    m_return.setSingleShot(true);
    SerialPortManager* manager = SerialPortManager::instance();
    if (!manager || serial.isEmpty()) {
        m_state = Lost;
        return;
    }
    m_port = port.isEmpty() ? manager->portOfDevice(serial) : port;
    for (const QString& other : manager->connectedPorts()) {
        if (other != m_port && manager->deviceInformation(other).value(QStringLiteral("serial")) == serial)
            m_twinPorts << other;
    }
    connect(manager, &SerialPortManager::deviceConnected, this, &RestartWatcher::onDeviceConnected);
    connect(manager, &SerialPortManager::deviceDisconnected, this, &RestartWatcher::onDeviceDisconnected);
    connect(&m_probe, &QTimer::timeout, this, &RestartWatcher::probe);
    connect(&m_return, &QTimer::timeout, this, [this]() { finish(Lost); });
    m_return.start(returnMs);
    DeviceLink* link = m_port.isEmpty() ? nullptr : manager->link(m_port);
    m_gone = !link || !link->isPresent();
    if (m_gone)
        leave();
    else
        m_probe.start(ProbeAfterMs);
}

void RestartWatcher::leave()
{
    m_gone = true;
    m_probe.stop();
    // Back under whatever name the system gives it, also where discovery keeps to a few ports.
    SerialPortManager::followNewPorts();
}

void RestartWatcher::onDeviceConnected(const QMap<QString, QString>& info)
{
    const QString port = info.value(QStringLiteral("port"));
    if (m_state != Waiting || info.value(QStringLiteral("serial")) != m_serial || m_twinPorts.contains(port))
        return;
    // At its old port it is back only once it has left, or when it answered this watcher's
    // own question (an announcement repeated meanwhile says nothing of the restart).
    if (port == m_port && !m_gone)
        return;
    m_port = port;
    m_info = info;
    finish(Back);
}

void RestartWatcher::onDeviceDisconnected(const QMap<QString, QString>& info)
{
    if (m_state != Waiting || m_gone || info.value(QStringLiteral("port")) != m_port)
        return;
    // Gone from the bus: back once discovery identifies it again.
    leave();
}

void RestartWatcher::probe()
{
    if (m_state != Waiting || m_gone)
        return;
    DeviceLink* link = SerialPortManager::instance()->link(m_port);
    if (!link || !link->isPresent()) {
        leave();
        return;
    }
    if (link->isRunning() || link->isSerialPortOpen()) {
        m_probe.start(BusyRetryMs);
        return;
    }
    m_probing = link;
    connect(link, &DeviceLink::operationEnded, this, &RestartWatcher::onProbeEnded);
    connect(link, &DeviceLink::deviceIdentified, this, [this](const QMap<QString, QString>& info) {
        if (m_state != Waiting || info.value(QStringLiteral("serial")) != m_serial)
            return;
        m_info = info;
        finish(Back);
    }, Qt::SingleShotConnection);
    if (!link->probeIdentity(ProbeReplyMs)) {
        disconnect(link, &DeviceLink::operationEnded, this, &RestartWatcher::onProbeEnded);
        m_probing.clear();
        m_probe.start(BusyRetryMs);
    }
}

void RestartWatcher::onProbeEnded(const OperationResult& result)
{
    if (result.kind != OperationResult::Identification)
        return;
    if (m_probing)
        disconnect(m_probing, &DeviceLink::operationEnded, this, &RestartWatcher::onProbeEnded);
    m_probing.clear();
    // An answer comes back as the manager's deviceConnected; silence is asked again.
    if (m_state == Waiting && !m_gone && result.outcome != OperationResult::Succeeded)
        m_probe.start(result.outcome == OperationResult::DeviceLost ? BusyRetryMs : 0);
}

void RestartWatcher::finish(State state)
{
    if (m_state != Waiting)
        return;
    m_state = state;
    m_probe.stop();
    m_return.stop();
    if (m_probing)
        disconnect(m_probing, &DeviceLink::operationEnded, this, &RestartWatcher::onProbeEnded);
    emit finished(state == Back);
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
