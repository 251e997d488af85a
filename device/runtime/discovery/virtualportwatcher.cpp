#include "virtualportwatcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <iterator>

#ifdef Q_OS_LINUX
#include <QSocketNotifier>

#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>
#endif

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
#ifdef Q_OS_LINUX
    m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify >= 0) {
        m_notifier = new QSocketNotifier(m_inotify, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &VirtualPortWatcher::readEvents);
    }
#else
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &VirtualPortWatcher::changed);
#endif
}

VirtualPortWatcher::~VirtualPortWatcher()
{
#ifdef Q_OS_LINUX
    delete m_notifier;
    if (m_inotify >= 0)
        ::close(m_inotify);
#endif
}

void VirtualPortWatcher::watch(const QStringList& paths)
{
    // A folder made before its parent's watch was in place sent no event: go on until
    // a round adds no deeper folder.
    for (int round = 0; round < 16 && watchOnce(paths); ++round) {
    }
}

VirtualPortWatcher::Wanted VirtualPortWatcher::wantedFor(const QStringList& paths)
{
    Wanted wanted;
    for (const QString& path : paths) {
        QString step = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        // Each link of a chain can go; a few steps cover any real chain and stop a loop.
        for (int i = 0; i < 8 && !step.isEmpty(); ++i) {
            const QString folder = folderOf(step);
            wanted[folder].insert(QDir(folder).relativeFilePath(step).section(QLatin1Char('/'), 0, 0));
            const QFileInfo info(step);
            step = info.isSymLink() ? QDir::cleanPath(info.symLinkTarget()) : QString();
        }
    }
    return wanted;
}

#ifdef Q_OS_LINUX

bool VirtualPortWatcher::watchOnce(const QStringList& paths)
{
    if (m_inotify < 0)
        return false;
    const Wanted wanted = wantedFor(paths);
    for (auto it = m_watches.begin(); it != m_watches.end();) {
        if (wanted.contains(it.key())) {
            ++it;
            continue;
        }
        // Two names of one folder share its descriptor.
        if (std::count(m_watches.cbegin(), m_watches.cend(), it.value()) == 1)
            inotify_rm_watch(m_inotify, it.value());
        it = m_watches.erase(it);
    }
    bool added = false;
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        if (m_watches.contains(it.key()))
            continue;
        const int wd = inotify_add_watch(m_inotify, QFile::encodeName(it.key()).constData(),
                                         IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF
                                             | IN_MOVE_SELF | IN_ONLYDIR);
        if (wd >= 0) {
            m_watches.insert(it.key(), wd);
            added = true;
        }
    }
    m_names = wanted;
    return added;
}

void VirtualPortWatcher::readInotify(int fd, const std::function<void(const inotify_event&)>& each)
{
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t length = ::read(fd, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event) + event->len);
            each(*event);
        }
    }
}

void VirtualPortWatcher::readEvents()
{
    bool relevant = false;
    readInotify(m_inotify, [this, &relevant](const inotify_event& event) {
        if (event.mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
            relevant = true;
            if (event.mask & IN_IGNORED) {
                // The folder is gone and so is its watch.
                for (auto it = m_watches.begin(); it != m_watches.end();)
                    it = it.value() == event.wd ? m_watches.erase(it) : std::next(it);
            }
            return;
        }
        const QString name = event.len ? QFile::decodeName(event.name) : QString();
        for (auto it = m_watches.cbegin(); it != m_watches.cend() && !relevant; ++it)
            relevant = it.value() == event.wd && m_names.value(it.key()).contains(name);
    });
    if (relevant)
        emit changed();
}

#else

bool VirtualPortWatcher::watchOnce(const QStringList& paths)
{
    const Wanted wanted = wantedFor(paths);
    const QStringList current = m_watcher.directories();
    QStringList gone;
    for (const QString& folder : current) {
        if (!wanted.contains(folder))
            gone << folder;
    }
    if (!gone.isEmpty())
        m_watcher.removePaths(gone);
    QStringList added;
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        if (!current.contains(it.key()))
            added << it.key();
    }
    if (!added.isEmpty())
        m_watcher.addPaths(added);
    return !added.isEmpty();
}

#endif

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
