#include "virtualportwatcher.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

namespace {

// The folder a path appears in, or the nearest folder above it that exists: creating
// the missing folders changes that one.
QString folderOf(const QString& path)
{
    QString folder = QFileInfo(path).absolutePath();
    while (!QFileInfo(folder).isDir()) {
        const QString up = QFileInfo(folder).absolutePath();
        if (up == folder)
            break;
        folder = up;
    }
    return folder;
}

} // namespace

VirtualPortWatcher::VirtualPortWatcher(QObject* parent)
    : QObject(parent)
{
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &VirtualPortWatcher::changed);
}

void VirtualPortWatcher::watch(const QStringList& paths)
{
    // A folder made before its parent's watch was in place sent no event: go on until
    // a round adds no deeper folder.
    for (int round = 0; round < 16 && watchOnce(paths); ++round) {
    }
}

bool VirtualPortWatcher::watchOnce(const QStringList& paths)
{
    QSet<QString> wanted;
    for (const QString& path : paths) {
        QString step = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        // Each link of a chain can go; a few steps cover any real chain and stop a loop.
        for (int i = 0; i < 8 && !step.isEmpty(); ++i) {
            wanted.insert(folderOf(step));
            const QFileInfo info(step);
            step = info.isSymLink() ? QDir::cleanPath(info.symLinkTarget()) : QString();
        }
    }
    const QStringList current = m_watcher.directories();
    QStringList gone;
    for (const QString& folder : current) {
        if (!wanted.contains(folder))
            gone << folder;
    }
    if (!gone.isEmpty())
        m_watcher.removePaths(gone);
    QStringList added;
    for (const QString& folder : std::as_const(wanted)) {
        if (!current.contains(folder))
            added << folder;
    }
    if (!added.isEmpty())
        m_watcher.addPaths(added);
    return !added.isEmpty();
}

QStringList VirtualPortWatcher::folders() const
{
    return m_watcher.directories();
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
