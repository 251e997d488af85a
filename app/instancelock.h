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
// when the holder ends, so a file left by a killed process never blocks. The file
// is opened without following links, made 0600, and only a plain file of this
// user is ever taken, written or deleted.
class InstanceLock
{
public:
    enum Result {
        Acquired,
        HeldElsewhere,
        Failed,
        Foreign // a link, no plain file, or another user's file: left untouched
    };

    explicit InstanceLock(const QString& path);
    ~InstanceLock();

    // Takes the lock without waiting.
    Result tryAcquire();
    bool isHeld() const;
    QString path() const { return m_path; }

    // Replaces the whole content of the held file; false when it cannot be written.
    bool write(const QByteArray& content);
    // Whether the path still names the file this lock holds (someone may have
    // deleted or replaced it).
    bool isStillNamed() const;
    // Puts a held lock that lost its name back in place with its content; false
    // when the name is taken by another holder meanwhile.
    bool restoreName();
    // Deletes the file, only if the path still names the held one, then lets go.
    void release();

    // The file's content as another process sees it; empty when unreadable, or
    // when it is a link or another user's file.
    static QByteArray readContent(const QString& path);

private:
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    Result lockAt(int* fd) const;

    QString m_path;
    QByteArray m_content;
    int m_fd = -1;
    QFile* m_file = nullptr; // where holding the open file is the lock
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // INSTANCELOCK_H
