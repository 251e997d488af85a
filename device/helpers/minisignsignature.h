#ifndef MINISIGNSIGNATURE_H
#define MINISIGNSIGNATURE_H

#include "device_global.h"

#include <QByteArray>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Common {

class MinisignPublicKey;

// A signature file as minisign writes it (".minisig"): an untrusted comment line; base64
// of the algorithm, the signer's 8-byte key id and the 64-byte Ed25519 signature; the
// trusted comment line; and base64 of the global signature, which signs the signature
// together with the trusted comment. "ED" (minisign's default) signs the BLAKE2b-512
// hash of the file, the legacy "Ed" the file itself.
class DEVICE_EXPORT MinisignSignature
{
public:
    enum Algorithm { Legacy, Prehashed };

    static constexpr int SignatureBytes = 64;

    // The signature the text holds; an invalid one with the reason in *error when it holds none.
    static MinisignSignature read(const QByteArray& text, QString* error = nullptr);

    bool isValid() const { return m_signature.size() == SignatureBytes; }
    Algorithm algorithm() const { return m_algorithm; }
    QByteArray keyId() const { return m_keyId; }
    QString keyIdText() const;
    QByteArray signature() const { return m_signature; }
    // As signed: the bytes after "trusted comment: ".
    QByteArray trustedComment() const { return m_trustedComment; }
    QByteArray globalSignature() const { return m_globalSignature; }
    QString comment() const { return m_comment; }

    // Whether key made this signature of content, and of its trusted comment.
    bool verify(const QByteArray& content, const MinisignPublicKey& key) const;

private:
    Algorithm m_algorithm = Prehashed;
    QByteArray m_keyId;
    QByteArray m_signature;
    QByteArray m_trustedComment;
    QByteArray m_globalSignature;
    QString m_comment;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // MINISIGNSIGNATURE_H
