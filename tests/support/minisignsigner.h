#ifndef MINISIGNSIGNER_H
#define MINISIGNSIGNER_H

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

// A fresh key pair made by the real minisign without a password (-W), and signatures made
// with it by the real tool. The public key is the only file of keysFolder().
class MinisignSigner
{
public:
    bool create()
    {
        QFile key(publicKeyPath());
        if (!QDir().mkpath(keysFolder()) || !minisign({ "-G", "-W", "-p", publicKeyPath(), "-s", secretKeyPath() })
            || !key.open(QIODevice::ReadOnly))
            return false;
        // "untrusted comment: minisign public key <id>", the id without its leading zeros
        m_keyId = QString::fromLatin1(key.readLine().trimmed()).section(QLatin1Char(' '), -1).rightJustified(16, QLatin1Char('0'));
        return m_keyId.size() == 16;
    }
    // file.minisig (or signaturePath): prehashed unless legacy.
    bool sign(const QString& file, const QString& comment, bool legacy = false, const QString& signaturePath = QString())
    {
        QStringList args { "-S", "-s", secretKeyPath(), "-m", file, "-t", comment };
        if (legacy)
            args << "-l";
        return minisign(signaturePath.isEmpty() ? args : args + QStringList { "-x", signaturePath });
    }
    QString keysFolder() const { return m_dir.filePath(QStringLiteral("keys")); }
    QString publicKeyPath() const { return m_dir.filePath(QStringLiteral("keys/team.pub")); }
    QString keyId() const { return m_keyId; } // as minisign names the key in its comment, 16 digits

private:
    QString secretKeyPath() const { return m_dir.filePath(QStringLiteral("team.key")); }
    bool minisign(const QStringList& args)
    {
        QProcess process;
        process.start(QStandardPaths::findExecutable(QStringLiteral("minisign")), args);
        process.closeWriteChannel();
        const bool ok = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        if (!ok) // scripts/install-deps installs minisign
            qWarning() << "minisign" << args << "failed:" << process.errorString() << process.readAllStandardError();
        return ok;
    }

    QTemporaryDir m_dir;
    QString m_keyId;
};

#endif // MINISIGNSIGNER_H
