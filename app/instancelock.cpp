#include "instancelock.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

InstanceLock::Result InstanceLock::tryAcquire()
{
    if (m_fd >= 0)
        return Acquired;
    const QByteArray native = QFile::encodeName(m_path);
    // A holder deletes the file before it lets go; a lock taken on such a
    // deleted file means nothing, so try again on the file the path names now.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            return Failed;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool busy = errno == EWOULDBLOCK;
            ::close(fd);
            return busy ? HeldElsewhere : Failed;
        }
        struct stat opened;
        struct stat named;
        if (::fstat(fd, &opened) == 0 && ::stat(native.constData(), &named) == 0
            && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
            m_fd = fd;
            return Acquired;
        }
        ::close(fd);
    }
    return Failed;
}

bool InstanceLock::write(const QByteArray& content)
{
    if (m_fd < 0)
        return false;
    if (::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0)
        return false;
    qint64 done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(m_fd, content.constData() + done, size_t(content.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += n;
    }
    return true;
}

void InstanceLock::release()
{
    if (m_fd < 0)
        return;
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
    m_fd = -1;
}

#else

// Elsewhere an open file cannot be deleted: holding it open is the lock.
InstanceLock::Result InstanceLock::tryAcquire()
{
    if (m_fd >= 0)
        return Acquired;
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

#endif

QByteArray InstanceLock::readContent(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
