#ifndef DEVPORTLINK_H
#define DEVPORTLINK_H

#include <QString>
#include <QStringList>

// A link under /dev to a test's port, named like a real device's port
// ("/dev/ttyDOVREL<pid>-<n>", "/dev/serial/by-id/dovrel-test-<pid>-<n>"), removed again
// on destruction. Creating it needs a writable /dev (root in CI); tests skip otherwise.
class DevPortLink
{
public:
    enum Style { TtyName, ByIdName };

    DevPortLink(const QString& target, Style style);
    ~DevPortLink();
    DevPortLink(const DevPortLink&) = delete;
    DevPortLink& operator=(const DevPortLink&) = delete;

    bool isValid() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }

private:
    QString m_path;
    QStringList m_createdDirs; // folders made for the link, innermost first
};

#endif // DEVPORTLINK_H
