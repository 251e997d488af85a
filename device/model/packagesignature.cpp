#include "packagesignature.h"

#include "batchresult.h"
#include "diagnostics.h"
#include "filehelper.h"
#include "localizationhelper.h"
#include "minisignsignature.h"
#include "minisigntext_p.h"
#include "servicerecord.h"
#include "texthelper.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QFileInfo>
#include <QHash>
#include <QMutex>

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

QMutex& lastCheckedLock()
{
    static QMutex lock;
    return lock;
}

QHash<QString, PackageSignature>& lastCheckedSignatures()
{
    static QHash<QString, PackageSignature> signatures;
    return signatures;
}

// One name for a package however a front end spells its path.
QString packageKey(const QString& packagePath)
{
    return QFileInfo(FileHelper::normalizeFilePath(packagePath)).absoluteFilePath();
}

QJsonValue nullable(const QString& text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

// A trusted comment on one line: minisign's own holds tabs.
QString shownComment(const QString& comment)
{
    QString shown = comment;
    for (QChar& c : shown) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return shown.simplified();
}

} // namespace

QString PackageSignature::signaturePath(const QString& packagePath)
{
    return packagePath + QStringLiteral(".minisig");
}

PackageSignature PackageSignature::read(const QString& packagePath, QByteArray* content)
{
    *content = FileHelper::getFileRawData(packagePath);
    PackageSignature signature = check(packagePath, *content);
    signature.m_sha256 = QString::fromLatin1(QCryptographicHash::hash(*content, QCryptographicHash::Sha256).toHex());
    qCDebug(lcFiles).noquote() << QStringLiteral("Signature of %1: %2 %3").arg(packagePath, signature.statusCode(), signature.keyId());
    const QMutexLocker locker(&lastCheckedLock());
    lastCheckedSignatures().insert(packageKey(packagePath), signature);
    return signature;
}

PackageSignature PackageSignature::check(const QString& packagePath, const QByteArray& content, const TrustedKeys& keys)
{
    PackageSignature judged;
    judged.m_checked = true;
    judged.m_packagePath = packagePath;
    const QString path = signaturePath(packagePath);
    if (!QFileInfo::exists(path))
        return judged;

    judged.m_status = Bad;
    QByteArray text;
    QString error;
    const MinisignSignature signature = MinisignText::readFile(path, &text, &error) ? MinisignSignature::read(text, &error)
                                                                                    : MinisignSignature();
    if (!signature.isValid()) {
        judged.m_problem = deviceText("The signature file cannot be read: %1.").arg(error);
        return judged;
    }
    judged.m_keyId = signature.keyIdText();
    const QList<MinisignPublicKey> candidates = keys.find(signature.keyId());
    if (candidates.isEmpty()) {
        judged.m_status = Untrusted;
        return judged;
    }
    for (const MinisignPublicKey& key : candidates) {
        if (signature.verify(content, key)) {
            judged.m_status = Verified;
            judged.m_trustedComment = QString::fromUtf8(signature.trustedComment());
            return judged;
        }
    }
    judged.m_problem = deviceText("The package was changed after it was signed, or the signature belongs to another file.");
    return judged;
}

QString PackageSignature::statusCode() const
{
    return m_checked ? statusCode(m_status) : QString();
}

QString PackageSignature::statusCode(Status status)
{
    switch (status) {
    case Unsigned: return QStringLiteral("unsigned");
    case Verified: return QStringLiteral("verified");
    case Untrusted: return QStringLiteral("untrusted");
    case Bad: return QStringLiteral("bad");
    }
    return QString();
}

QString PackageSignature::text() const
{
    switch (m_status) {
    case Unsigned: return deviceText("Not signed");
    case Verified:
        if (shownComment(m_trustedComment).isEmpty())
            return deviceText("Signed by %1").arg(m_keyId);
        return deviceText("Signed by %1 (%2)").arg(m_keyId, shownComment(m_trustedComment));
    case Untrusted: return deviceText("Signed by %1, a key that is not trusted").arg(m_keyId);
    case Bad:
        if (m_keyId.isEmpty())
            return deviceText("Bad signature: %1").arg(m_problem);
        return deviceText("Bad signature by %1: %2").arg(m_keyId, m_problem);
    }
    return QString();
}

bool PackageSignature::allows(bool required) const
{
    return m_status == Verified || (!required && (m_status == Unsigned || m_status == Untrusted));
}

QString PackageSignature::refusalTitle()
{
    return deviceText("Package Signature");
}

QString PackageSignature::refusalText(bool required) const
{
    if (allows(required))
        return QString();
    const QString package = TextHelper::toSystemPath(m_packagePath);
    switch (m_status) {
    case Bad:
        if (m_keyId.isEmpty())
            return deviceText("\"%1\" is not sent: its signature \"%2\" cannot be read. %3")
                .arg(package, TextHelper::toSystemPath(signaturePath(m_packagePath)), m_problem);
        return deviceText("\"%1\" is not sent: it does not match its signature by key %2. %3").arg(package, m_keyId, m_problem);
    case Unsigned:
        return deviceText("\"%1\" is not sent: it is not signed (there is no \"%2\" beside it), and only signed packages "
                          "may be sent.")
            .arg(package, QFileInfo(signaturePath(m_packagePath)).fileName());
    case Untrusted: {
        QStringList folders;
        for (const QString& folder : TrustedKeys::folders())
            folders << TextHelper::toSystemPath(folder);
        return deviceText("\"%1\" is not sent: it is signed by key %2, which is not trusted, and only packages signed by "
                          "a trusted key may be sent. The trusted keys are the public key files (*.pub) in %3.")
            .arg(package, m_keyId, folders.join(QStringLiteral(", ")));
    }
    case Verified: break;
    }
    return QString();
}

QJsonObject PackageSignature::toJson() const
{
    QJsonObject object;
    object.insert(QStringLiteral("status"), statusCode());
    object.insert(QStringLiteral("keyId"), nullable(m_keyId));
    object.insert(QStringLiteral("trustedComment"), nullable(m_trustedComment));
    return object;
}

void PackageSignature::describe(ServiceRecord& record) const
{
    record.signatureKeyId = m_keyId;
    record.signatureStatus = statusCode();
}

void PackageSignature::describe(BatchResult& result) const
{
    result.signatureKeyId = m_keyId;
    result.signatureStatus = statusCode();
}

PackageSignature PackageSignature::lastChecked(const QString& packagePath, const QString& sha256)
{
    const QMutexLocker locker(&lastCheckedLock());
    const PackageSignature signature = lastCheckedSignatures().value(packageKey(packagePath));
    return signature.m_sha256 == sha256 ? signature : PackageSignature();
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
