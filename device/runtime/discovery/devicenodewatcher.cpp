#include "devicenodewatcher.h"

#include "virtualportwatcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

namespace {

const QString LinkFolder = QStringLiteral("serial");
const QString ByIdFolder = QStringLiteral("serial/by-id");
constexpr uint32_t NameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// The node of a serial port that the kernel lists (its serial drivers: ttyACM, ttyUSB,
// ttyS, ttyAMA, ..., Bluetooth's and IrDA's). The kernel records the device before it
// makes the node.
bool isKernelPort(const QString& name)
{
    return (name.startsWith(QLatin1String("tty")) || name.startsWith(QLatin1String("rfcomm"))
            || name.startsWith(QLatin1String("ircomm")))
        && QFileInfo::exists(QStringLiteral("/sys/class/tty/") + name);
}

} // namespace

DeviceNodeWatcher::DeviceNodeWatcher(const QString& folder, QObject* parent)
    : QObject(parent)
    , m_folder(QDir::cleanPath(folder))
{
}

DeviceNodeWatcher::~DeviceNodeWatcher()
{
    delete m_notifier;
    if (m_inotify >= 0)
        ::close(m_inotify);
}

bool DeviceNodeWatcher::start(QString* why)
{
    const auto fail = [why](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (m_inotify < 0)
        m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify < 0)
        return fail(QStringLiteral("inotify cannot be used: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    m_folderWatch = inotify_add_watch(m_inotify, QFile::encodeName(m_folder).constData(), NameEvents);
    if (m_folderWatch < 0)
        return fail(QStringLiteral("%1 cannot be watched: %2").arg(m_folder, QString::fromLocal8Bit(std::strerror(errno))));
    watchLinkFolders();
    m_ports.clear();
    for (const QString& name : QDir(m_folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (isKernelPort(name))
            m_ports.insert(name);
    }
    if (!m_notifier) {
        m_notifier = new QSocketNotifier(m_inotify, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &DeviceNodeWatcher::readPending);
    }
    return true;
}

bool DeviceNodeWatcher::watchLinkFolders()
{
    bool added = false;
    for (const QString& relative : { LinkFolder, ByIdFolder }) {
        if (std::find(m_linkWatches.cbegin(), m_linkWatches.cend(), relative) != m_linkWatches.cend())
            continue;
        const QString path = m_folder + QLatin1Char('/') + relative;
        const int wd = inotify_add_watch(m_inotify, QFile::encodeName(path).constData(), NameEvents);
        // Not there (yet): its parent's watch tells when it is made.
        if (wd < 0)
            break;
        m_linkWatches.insert(wd, relative);
        added = true;
    }
    return added;
}

void DeviceNodeWatcher::readPending()
{
    if (m_inotify < 0)
        return;
    bool relevant = false;
    bool folders = false;
    VirtualPortWatcher::readInotify(m_inotify, [this, &relevant, &folders](const inotify_event& event) {
        if (event.mask & IN_Q_OVERFLOW) {
            relevant = folders = true;
            return;
        }
        const QString name = event.len ? QFile::decodeName(event.name) : QString();
        if (event.wd == m_folderWatch) {
            if (event.mask & IN_IGNORED)
                m_folderWatch = -1;
            folders = folders || name == LinkFolder;
            bool port = false;
            if ((event.mask & (IN_CREATE | IN_MOVED_TO)) && isKernelPort(name)) {
                m_ports.insert(name);
                port = true;
            } else if (event.mask & (IN_DELETE | IN_MOVED_FROM)) {
                port = m_ports.remove(name);
            }
            relevant = relevant || port || name == LinkFolder || name.isEmpty();
            return;
        }
        const auto link = m_linkWatches.constFind(event.wd);
        if (link == m_linkWatches.cend())
            return;
        // A link to a port came or went in by-id, or one of the folders came or went.
        relevant = true;
        if (event.mask & IN_IGNORED)
            m_linkWatches.erase(link);
        else if (link.value() == LinkFolder && name == QLatin1String("by-id"))
            folders = true;
    });
    // A folder made before its watch was in place sent nothing of what it holds: the
    // listing that follows sees it.
    if (folders)
        watchLinkFolders();
    if (relevant)
        emit changed();
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
