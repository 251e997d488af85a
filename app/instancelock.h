#ifndef INSTANCELOCK_H
#define INSTANCELOCK_H

#include <QByteArray>
#include <QString>

class QFile;

namespace Orvane {
namespace Tavrix {
namespace Designer {

// The single-instance lock file. On Linux an open file can be deleted by anyone,
// so "held" means an advisory lock (flock) on the open file; the kernel drops it
// when the holder ends, so a file left by a killed process never blocks.
class InstanceLock
{
public:
    enum Result { Acquired, HeldElsewhere, Failed };

    explicit InstanceLock(const QString& path);
    ~InstanceLock();

    // Takes the lock without waiting.
    Result tryAcquire();
    bool isHeld() const;
    QString path() const { return m_path; }

    // Replaces the whole content of the held file; false when it cannot be written.
    bool write(const QByteArray& content);
    // Deletes the file while still holding it, then lets go.
    void release();

    // The file's content as another process sees it; empty when unreadable.
    static QByteArray readContent(const QString& path);

private:
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    QString m_path;
    int m_fd = -1;
    QFile* m_file = nullptr; // where holding the open file is the lock
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // INSTANCELOCK_H
