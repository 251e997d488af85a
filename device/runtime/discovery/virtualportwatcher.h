#ifndef VIRTUALPORTWATCHER_H
#define VIRTUALPORTWATCHER_H

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#ifdef Q_OS_LINUX
#include <functional>

class QSocketNotifier;
struct inotify_event;
#else
#include <QFileSystemWatcher>
#endif

namespace Orvane {
namespace Tavrix {
namespace Runtime {

// Tells when a listed port path may have appeared or vanished, without polling: it
// watches the folders that hold each path and each file its links lead to (a link to
// a pseudo terminal dies with the terminal in /dev/pts, while the link stays).
// On Linux only changes of those names count, so the terminals that come and go in
// /dev/pts all day wake nobody; elsewhere any change of such a folder does.
class VirtualPortWatcher : public QObject
{
    Q_OBJECT
public:
    explicit VirtualPortWatcher(QObject* parent = nullptr);
    ~VirtualPortWatcher() override;

    // Watches for these paths (and drops what is no longer needed); call again after a
    // change, since links may now lead elsewhere. Returns once the watched folders are
    // settled (a folder made while this ran is watched too), so the caller may then
    // check the paths: anything after that comes as changed().
    void watch(const QStringList& paths);

#ifdef Q_OS_LINUX
    // Hands each event waiting on an inotify descriptor to the function.
    static void readInotify(int fd, const std::function<void(const inotify_event&)>& each);
#endif

signals:
    void changed();

private:
    // Folder -> the names in it that lead to a watched path.
    using Wanted = QHash<QString, QSet<QString>>;
    static Wanted wantedFor(const QStringList& paths);
    bool watchOnce(const QStringList& paths);

#ifdef Q_OS_LINUX
    void readEvents();

    int m_inotify = -1;
    QSocketNotifier* m_notifier = nullptr;
    QHash<QString, int> m_watches; // folder -> watch descriptor
    Wanted m_names;
#else
    QFileSystemWatcher m_watcher;
#endif
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // VIRTUALPORTWATCHER_H
