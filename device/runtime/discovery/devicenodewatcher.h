#ifndef DEVICENODEWATCHER_H
#define DEVICENODEWATCHER_H

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

class QSocketNotifier;

namespace Orvane {
namespace Tavrix {
namespace Runtime {

// Tells when a serial port's device node may have come or gone, where no udev daemon
// runs: the kernel makes and removes the nodes in /dev itself, so the folder is watched
// (inotify, no timer, no thread) for the nodes of the kernel's serial ports (a name that
// serial ports take, with a record in /sys/class/tty), and its serial/by-id folder for
// the links a udev outside makes (a container sharing the host's /dev). Nothing else
// counts: other devices, and links that programs make in /dev, wake nobody.
class DeviceNodeWatcher : public QObject
{
    Q_OBJECT
public:
    explicit DeviceNodeWatcher(const QString& folder, QObject* parent = nullptr);
    ~DeviceNodeWatcher() override;

    // Starts watching. False, with the reason, where the folder cannot be watched.
    bool start(QString* why = nullptr);
    QString folder() const { return m_folder; }
    // Reads the events that are waiting, now.
    void readPending();

signals:
    void changed();

private:
    // Watches serial/ and serial/by-id/ as far as they exist; true when one was added.
    bool watchLinkFolders();

    QString m_folder;
    int m_inotify = -1;
    QSocketNotifier* m_notifier = nullptr;
    int m_folderWatch = -1;
    QSet<QString> m_ports; // the kernel's serial port nodes in the folder
    QHash<int, QString> m_linkWatches; // descriptor -> "serial" or "serial/by-id"
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICENODEWATCHER_H
