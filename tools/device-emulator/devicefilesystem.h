#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The device's home folder "/home/DuDov_ODU", kept in a local folder. Every
// device path is resolved against it and nothing may leave it.
class DeviceFileSystem
{
public:
    static const QString DeviceHome;

    explicit DeviceFileSystem(const QString& root);

    QString root() const { return m_root; }
    // Local path for a device path (absolute under the device home, or
    // relative to it); empty when the path would leave the root.
    QString resolve(const QString& devicePath) const;
    // Path relative to the root, for the transcript.
    QString relativeName(const QString& localPath) const;

    // Runs one of the device shell's commands (mkdir, rm, mv, cp, ls, sync,
    // touch) with the outcome a real shell would have. "reboot" is the
    // caller's business.
    bool runShell(const QString& commandLine, QString* reason = nullptr);

    bool writeFile(const QString& localPath, const QByteArray& content);

    // Files below qml/project, relative to it, sorted, recursive.
    QStringList projectFiles() const;
    // Files in fonts/, sorted by name.
    QStringList userFonts() const;
    // Font files waiting at the top of tmp/ move into fonts/.
    bool installWaitingFonts(QStringList* installed);

    static QStringList splitCommandLine(const QString& line, bool* ok);

private:
    bool mkdirCmd(const QStringList& flags, const QStringList& operands, QString* reason);
    bool rmCmd(const QStringList& flags, const QStringList& operands, QString* reason);
    bool mvCmd(const QStringList& operands, QString* reason);
    bool cpCmd(const QStringList& flags, const QStringList& operands, QString* reason);
    bool lsCmd(const QStringList& operands, QString* reason);
    bool touchCmd(const QStringList& operands, QString* reason);

    QString m_root;
    QString m_canonicalRoot;
};
