#ifndef PACKAGESIGNATURE_H
#define PACKAGESIGNATURE_H

#include "device_global.h"
#include "trustedkeys.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Common {

class BatchResult;
class ServiceRecord;

// Who signed a package, judged before anything of it goes to a device. A package P is
// signed when "P.minisig", as minisign writes it, lies beside it; the signature counts
// when its key is trusted (TrustedKeys) and it matches the package's bytes and its
// trusted comment. A signature that does not match, or cannot be read, refuses the
// package always; an unsigned or untrusted one only when signatures are required.
class DEVICE_EXPORT PackageSignature
{
public:
    enum Status {
        Unsigned,  // no signature file
        Verified,  // a trusted key signed these bytes
        Untrusted, // signed by a key that is not trusted: not checked
        Bad        // the signature does not match, or its file cannot be read
    };

    static QString signaturePath(const QString& packagePath);
    // Reads the package whole into *content and judges those bytes: what is checked,
    // unpacked and sent afterwards is *content, never the file read again.
    static PackageSignature read(const QString& packagePath, QByteArray* content);
    // The SHA-256 (hex) of the bytes read() judged.
    QString sha256() const { return m_sha256; }
    // The package's bytes judged by the signature file beside it.
    static PackageSignature check(const QString& packagePath, const QByteArray& content,
                                  const TrustedKeys& keys = TrustedKeys::load());

    // False for a package never judged.
    bool isChecked() const { return m_checked; }
    Status status() const { return m_status; }
    // "verified", "unsigned", "untrusted" or "bad"; empty when not judged.
    QString statusCode() const;
    static QString statusCode(Status status);
    // minisign's 16 hex digits; empty when unsigned or unreadable.
    QString keyId() const { return m_keyId; }
    // Only of a verified signature: an unchecked one would say what anyone wrote.
    QString trustedComment() const { return m_trustedComment; }
    // Why a bad signature is bad.
    QString problem() const { return m_problem; }

    // "Signed by <key id> (<trusted comment>)", "Not signed", ...
    QString text() const;
    bool allows(bool required) const;
    static QString refusalTitle();
    // Names the package, the reason and the key; empty when allowed.
    QString refusalText(bool required) const;
    // {"status", "keyId", "trustedComment"}, null where there is none.
    QJsonObject toJson() const;

    // The key id and status of a history entry or a batch line.
    void describe(ServiceRecord& record) const;
    void describe(BatchResult& result) const;
    // The last judgement read() made of the package in this process, for its history entry;
    // none (not checked) when it judged other bytes than those with this SHA-256.
    static PackageSignature lastChecked(const QString& packagePath, const QString& sha256);

private:
    bool m_checked = false;
    Status m_status = Unsigned;
    QString m_packagePath;
    QString m_sha256;
    QString m_keyId;
    QString m_trustedComment;
    QString m_problem;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // PACKAGESIGNATURE_H
