#include "restartwatcher.h"

#include "serialportmanager.h"

namespace Orvane {
namespace Tavrix {
namespace Runtime {

RestartWatcher::RestartWatcher(const QString& serial, int settleMs, int returnMs, QObject* parent)
    : QObject(parent)
    , m_serial(serial)
    , m_returnMs(returnMs)
{
    m_settle.setSingleShot(true);
    m_return.setSingleShot(true);
    SerialPortManager* manager = SerialPortManager::instance();
    if (!manager || serial.isEmpty()) {
        m_state = Lost;
        return;
    }
    connect(manager, &SerialPortManager::deviceConnected, this, &RestartWatcher::onDeviceConnected);
    connect(manager, &SerialPortManager::deviceDisconnected, this, &RestartWatcher::onDeviceDisconnected);
    connect(&m_settle, &QTimer::timeout, this, [this]() {
        // Still there: this device restarts without leaving the bus.
        m_port = SerialPortManager::instance()->portOfDevice(m_serial);
        finish(m_port.isEmpty() ? Lost : Back);
    });
    connect(&m_return, &QTimer::timeout, this, [this]() { finish(Lost); });
    m_gone = manager->portOfDevice(serial).isEmpty();
    if (m_gone)
        m_return.start(m_returnMs);
    else
        m_settle.start(settleMs);
}

void RestartWatcher::onDeviceConnected(const QMap<QString, QString>& info)
{
    if (m_state != Waiting || !m_gone || info.value(QStringLiteral("serial")) != m_serial)
        return;
    m_port = info.value(QStringLiteral("port"));
    finish(Back);
}

void RestartWatcher::onDeviceDisconnected(const QMap<QString, QString>& info)
{
    if (m_state != Waiting || m_gone || info.value(QStringLiteral("serial")) != m_serial)
        return;
    m_gone = true;
    m_settle.stop();
    m_return.start(m_returnMs);
}

void RestartWatcher::finish(State state)
{
    if (m_state != Waiting)
        return;
    m_state = state;
    m_settle.stop();
    m_return.stop();
    emit finished(state == Back);
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
