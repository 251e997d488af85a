#ifndef VIRTUALPORTWATCHER_H
#define VIRTUALPORTWATCHER_H

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

// Tells when a listed port path may have appeared or vanished, without polling: it
// watches the folders that hold each path and each file its links lead to (a link to
// a pseudo terminal dies with the terminal in /dev/pts, while the link stays).
// A folder tells of every change in it, so the owner re-checks its ports on changed().
class VirtualPortWatcher : public QObject
{
    Q_OBJECT
public:
    explicit VirtualPortWatcher(QObject* parent = nullptr);

    // Watches for these paths (and drops what is no longer needed); call again after a
    // change, since links may now lead elsewhere. Returns once the watched folders are
    // settled (a folder made while this ran is watched too), so the caller may then
    // check the paths: anything after that comes as changed().
    void watch(const QStringList& paths);
    QStringList folders() const;

signals:
    void changed();

private:
    bool watchOnce(const QStringList& paths);

    QFileSystemWatcher m_watcher;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // VIRTUALPORTWATCHER_H
