#include "devportlink.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
int nextNumber()
{
    static int number = 0;
    return ++number;
}
} // namespace

DevPortLink::DevPortLink(const QString& target, Style style)
{
    const QString unique = QStringLiteral("%1-%2").arg(QCoreApplication::applicationPid()).arg(nextNumber());
    QString path;
    if (style == TtyName) {
        path = QStringLiteral("/dev/ttyDOVREL") + unique;
    } else {
        const QString dir = QStringLiteral("/dev/serial/by-id");
        for (const QString& folder : { QStringLiteral("/dev/serial"), dir }) {
            if (QFileInfo::exists(folder))
                continue;
            if (!QDir().mkdir(folder))
                return;
            m_createdDirs.prepend(folder);
        }
        path = dir + QStringLiteral("/dovrel-test-") + unique;
    }
    QFile::remove(path);
    if (QFile::link(target, path))
        m_path = path;
}

DevPortLink::~DevPortLink()
{
    if (!m_path.isEmpty())
        QFile::remove(m_path);
    // Only folders this link needed, and only when nothing else was put there.
    for (const QString& folder : std::as_const(m_createdDirs))
        QDir().rmdir(folder);
}
