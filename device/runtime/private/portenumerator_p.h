#ifndef PORTENUMERATOR_P_H
#define PORTENUMERATOR_P_H

#include "portenumerator.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>
#include <QVariant>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

class DeviceNodeWatcher;
class UdevPortMonitor;
class VirtualPortWatcher;

class PortEnumeratorPrivate
{
public:
    // Polling: the timer starts a reading of the system list in the thread.
    QTimer m_timer;
    QThread m_thread;
    QObject* m_worker = nullptr; // lives in m_thread
    bool m_listing = false;
    bool m_listAgain = false; // something changed while a reading ran
    bool m_polling = true;

    // Notifications: udev's events (Linux), else the device nodes in /dev (Linux without
    // a udev daemon, read anew when one of them comes or goes); the virtual ports' folders.
    UdevPortMonitor* m_monitor = nullptr;
    DeviceNodeWatcher* m_nodes = nullptr;
    VirtualPortWatcher* m_watcher = nullptr;

    PortEnumerator::PortList m_system;
    QMap<QString, QMap<QString, QVariant>> m_known;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // PORTENUMERATOR_P_H
