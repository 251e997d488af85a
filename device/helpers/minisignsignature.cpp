#include "minisignsignature.h"

#include "minisignpublickey.h"
#include "minisigntext_p.h"

#include <sodium.h>

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

const char* const TrustedPrefix = "trusted comment: ";
const char* const LegacyAlgorithm = "Ed";
const char* const PrehashedAlgorithm = "ED";

} // namespace

MinisignSignature MinisignSignature::read(const QByteArray& text, QString* error)
{
    constexpr int KeyIdBytes = MinisignPublicKey::KeyIdBytes;
    QList<QByteArray> lines;
    QByteArray comment;
    QByteArray decoded;
    QByteArray trusted;
    QByteArray global;
    if (!MinisignText::lines(text, 4, &lines, error)
        || !MinisignText::prefixed(lines.at(0), 1, MinisignText::UntrustedPrefix, MinisignText::UntrustedCommentMaxBytes, &comment, error)
        || !MinisignText::decode(lines.at(1), 2, 2 + KeyIdBytes + SignatureBytes, &decoded, error)
        || !MinisignText::algorithm(decoded, { QByteArray(LegacyAlgorithm), QByteArray(PrehashedAlgorithm) }, error)
        || !MinisignText::prefixed(lines.at(2), 3, TrustedPrefix, MinisignText::TrustedCommentMaxBytes, &trusted, error)
        || !MinisignText::decode(lines.at(3), 4, SignatureBytes, &global, error))
        return MinisignSignature();
    MinisignSignature signature;
    signature.m_algorithm = decoded.startsWith(PrehashedAlgorithm) ? Prehashed : Legacy;
    signature.m_keyId = decoded.mid(2, KeyIdBytes);
    signature.m_signature = decoded.mid(2 + KeyIdBytes);
    signature.m_trustedComment = trusted;
    signature.m_globalSignature = global;
    signature.m_comment = QString::fromUtf8(comment);
    return signature;
}

QString MinisignSignature::keyIdText() const
{
    return MinisignPublicKey::keyIdText(m_keyId);
}

bool MinisignSignature::verify(const QByteArray& content, const MinisignPublicKey& key) const
{
    if (!isValid() || !key.isValid() || key.keyId() != m_keyId || sodium_init() < 0)
        return false;
    QByteArray message = content;
    if (m_algorithm == Prehashed) {
        message = QByteArray(crypto_generichash_BYTES_MAX, '\0');
        crypto_generichash(reinterpret_cast<unsigned char*>(message.data()), size_t(message.size()),
                           reinterpret_cast<const unsigned char*>(content.constData()), quint64(content.size()), nullptr, 0);
    }
    // The trusted comment counts only with its own signature: otherwise it could be swapped.
    return key.verify(m_signature, message) && key.verify(m_globalSignature, m_signature + m_trustedComment);
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
