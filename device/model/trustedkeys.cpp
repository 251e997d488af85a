#include "trustedkeys.h"

#include "diagnostics.h"
#include "texthelper.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace Orvane {
namespace Tavrix {
namespace Common {

QStringList TrustedKeys::folders()
{
    const QString named = qEnvironmentVariable("DOVREL_TRUSTED_KEYS");
    if (!named.isEmpty())
        return { named };
    // Beside the settings of every front end, whatever each calls itself.
    const QString user = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                             .filePath(QStringLiteral("Kavendi/Lumatra/trusted-keys"));
#ifdef Q_OS_WIN
    const QString system = QDir(qEnvironmentVariable("ProgramData", QStringLiteral("C:/ProgramData")))
                               .filePath(QStringLiteral("Kavendi/Lumatra/trusted-keys"));
#else
    // Made by the Debian package, for the keys every user of the computer trusts.
    const QString system = QStringLiteral("/etc/dovrel/trusted-keys");
#endif
    return { user, system };
}

TrustedKeys TrustedKeys::load(const QStringList& folders)
{
    TrustedKeys trusted;
    for (const QString& folder : folders) {
        const QFileInfoList files = QDir(folder).entryInfoList({ QStringLiteral("*.pub") }, QDir::Files, QDir::Name);
        for (const QFileInfo& file : files) {
            QString error;
            const MinisignPublicKey key = MinisignPublicKey::readFile(file.absoluteFilePath(), &error);
            if (key.isValid()) {
                trusted.m_keys << key;
                continue;
            }
            const QString skipped = QStringLiteral("%1: %2").arg(TextHelper::toSystemPath(file.absoluteFilePath()), error);
            qCWarning(lcFiles).noquote() << "Not a public key, left out:" << skipped;
            trusted.m_skipped << skipped;
        }
    }
    return trusted;
}

QList<MinisignPublicKey> TrustedKeys::find(const QByteArray& keyId) const
{
    QList<MinisignPublicKey> found;
    for (const MinisignPublicKey& key : m_keys) {
        if (key.keyId() == keyId)
            found << key;
    }
    return found;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
