#include "instancelock.h"

#include "filehelper.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using Orvane::Tavrix::Common::FileHelper;

namespace Orvane {
namespace Tavrix {
namespace Designer {

InstanceLock::InstanceLock(const QString& path)
    : m_path(path)
{
}

InstanceLock::~InstanceLock()
{
#ifdef Q_OS_UNIX
    if (m_fd >= 0)
        ::close(m_fd);
#else
    delete m_file;
#endif
}

bool InstanceLock::isHeld() const
{
    return m_fd >= 0;
}

#ifdef Q_OS_UNIX

namespace {

bool isSameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

InstanceLock::Result InstanceLock::lockAt(int* lockedFd) const
{
    if (!FileHelper::createPrivateDirectory(QFileInfo(m_path).absolutePath()))
        return Foreign;
    const QByteArray native = QFile::encodeName(m_path);
    // A holder deletes the file before it lets go; a lock taken on such a
    // deleted file means nothing, so try again on the file the path names now.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        if (fd < 0) {
            // A link (ELOOP), a folder, a socket, or a file this user may not open.
            const bool foreign = errno == ELOOP || errno == EISDIR || errno == ENXIO || errno == EACCES || errno == EPERM;
            return foreign ? Foreign : Failed;
        }
        struct stat opened;
        if (::fstat(fd, &opened) != 0) {
            ::close(fd);
            return Failed;
        }
        if (opened.st_nlink == 0) {
            ::close(fd);
            continue;
        }
        if (!S_ISREG(opened.st_mode) || opened.st_uid != ::geteuid() || opened.st_nlink != 1) {
            ::close(fd);
            return Foreign;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool busy = errno == EWOULDBLOCK;
            ::close(fd);
            return busy ? HeldElsewhere : Failed;
        }
        struct stat named;
        if (::lstat(native.constData(), &named) == 0 && isSameFile(opened, named)) {
            if ((opened.st_mode & 07777) != 0600)
                ::fchmod(fd, 0600);
            *lockedFd = fd;
            return Acquired;
        }
        ::close(fd);
    }
    return Failed;
}

InstanceLock::Result InstanceLock::tryAcquire()
{
    if (m_fd >= 0)
        return Acquired;
    return lockAt(&m_fd);
}

namespace {

bool replaceContent(int fd, const QByteArray& content)
{
    if (::ftruncate(fd, 0) != 0)
        return false;
    qint64 done = 0;
    while (done < content.size()) {
        const ssize_t n = ::pwrite(fd, content.constData() + done, size_t(content.size() - done), off_t(done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += n;
    }
    return true;
}

} // namespace

bool InstanceLock::write(const QByteArray& content)
{
    if (m_fd < 0)
        return false;
    m_content = content;
    return replaceContent(m_fd, content);
}

bool InstanceLock::isStillNamed() const
{
    if (m_fd < 0)
        return false;
    struct stat held;
    struct stat named;
    return ::fstat(m_fd, &held) == 0 && ::lstat(QFile::encodeName(m_path).constData(), &named) == 0
        && isSameFile(held, named);
}

bool InstanceLock::restoreName()
{
    if (m_fd < 0)
        return false;
    if (isStillNamed())
        return true;
    int fd = -1;
    if (lockAt(&fd) != Acquired)
        return false;
    if (!replaceContent(fd, m_content)) {
        ::unlink(QFile::encodeName(m_path).constData());
        ::close(fd);
        return false;
    }
    ::close(m_fd);
    m_fd = fd;
    return true;
}

void InstanceLock::release()
{
    if (m_fd < 0)
        return;
    // Whatever has the name now (another instance's lock, a file of the user's) stays.
    if (isStillNamed())
        ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
    m_fd = -1;
}

QByteArray InstanceLock::readContent(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return QByteArray();
    QByteArray content;
    struct stat info;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid()) {
        // A port or "loading": a few bytes; more is no content of this program's.
        char buffer[64];
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
        if (n > 0)
            content = QByteArray(buffer, int(n));
    }
    ::close(fd);
    return content;
}

#else

// Elsewhere an open file cannot be deleted: holding it open is the lock.
InstanceLock::Result InstanceLock::tryAcquire()
{
    if (m_fd >= 0)
        return Acquired;
    if (!FileHelper::createPrivateDirectory(QFileInfo(m_path).absolutePath()))
        return Failed;
    if (QFile::exists(m_path) && !QFile::remove(m_path))
        return HeldElsewhere;
    auto* file = new QFile(m_path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        delete file;
        return Failed;
    }
    m_file = file;
    m_fd = 0;
    return Acquired;
}

bool InstanceLock::write(const QByteArray& content)
{
    if (!m_file)
        return false;
    m_file->resize(0);
    m_file->seek(0);
    const bool ok = m_file->write(content) == content.size();
    m_file->flush();
    return ok;
}

bool InstanceLock::isStillNamed() const
{
    return m_file != nullptr;
}

bool InstanceLock::restoreName()
{
    return m_file != nullptr;
}

void InstanceLock::release()
{
    if (!m_file)
        return;
    m_file->flush();
    m_file->close();
    QFile::remove(m_path);
    delete m_file;
    m_file = nullptr;
    m_fd = -1;
}

QByteArray InstanceLock::readContent(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.read(64);
}

#endif

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
