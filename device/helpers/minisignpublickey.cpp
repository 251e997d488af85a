#include "minisignpublickey.h"

#include "minisigntext_p.h"

#include <sodium.h>

#include <algorithm>

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

const char* const KeyAlgorithm = "Ed";

} // namespace

MinisignPublicKey MinisignPublicKey::read(const QByteArray& text, QString* error)
{
    QList<QByteArray> lines;
    QByteArray comment;
    QByteArray decoded;
    if (!MinisignText::lines(text, 2, &lines, error)
        || !MinisignText::prefixed(lines.at(0), 1, MinisignText::UntrustedPrefix, MinisignText::UntrustedCommentMaxBytes, &comment, error)
        || !MinisignText::decode(lines.at(1), 2, 2 + KeyIdBytes + KeyBytes, &decoded, error)
        || !MinisignText::algorithm(decoded, { QByteArray(KeyAlgorithm) }, error))
        return MinisignPublicKey();
    MinisignPublicKey key;
    key.m_keyId = decoded.mid(2, KeyIdBytes);
    key.m_key = decoded.mid(2 + KeyIdBytes);
    key.m_comment = QString::fromUtf8(comment);
    return key;
}

MinisignPublicKey MinisignPublicKey::readFile(const QString& path, QString* error)
{
    QByteArray text;
    return MinisignText::readFile(path, &text, error) ? read(text, error) : MinisignPublicKey();
}

QString MinisignPublicKey::keyIdText(const QByteArray& keyId)
{
    // minisign prints the id as a little-endian number.
    QByteArray reversed = keyId;
    std::reverse(reversed.begin(), reversed.end());
    return QString::fromLatin1(reversed.toHex()).toUpper();
}

bool MinisignPublicKey::verify(const QByteArray& signature, const QByteArray& message) const
{
    if (!isValid() || signature.size() != crypto_sign_BYTES || sodium_init() < 0)
        return false;
    return crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.constData()),
                                       reinterpret_cast<const unsigned char*>(message.constData()),
                                       quint64(message.size()), reinterpret_cast<const unsigned char*>(m_key.constData()))
        == 0;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
