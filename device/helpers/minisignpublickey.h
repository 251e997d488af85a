#ifndef MINISIGNPUBLICKEY_H
#define MINISIGNPUBLICKEY_H

#include "device_global.h"

#include <QByteArray>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Common {

// An Ed25519 public key as minisign writes it (".pub"): an untrusted comment line,
// then base64 of the algorithm "Ed", the 8-byte key id and the 32-byte key.
class DEVICE_EXPORT MinisignPublicKey
{
public:
    static constexpr int KeyIdBytes = 8;
    static constexpr int KeyBytes = 32;

    // The key the text holds; an invalid one with the reason in *error when it holds none.
    static MinisignPublicKey read(const QByteArray& text, QString* error = nullptr);
    static MinisignPublicKey readFile(const QString& path, QString* error = nullptr);

    bool isValid() const { return m_key.size() == KeyBytes; }
    QByteArray keyId() const { return m_keyId; }
    // The id as minisign prints it: 16 upper-case hex digits.
    QString keyIdText() const { return keyIdText(m_keyId); }
    static QString keyIdText(const QByteArray& keyId);
    QByteArray key() const { return m_key; }
    QString comment() const { return m_comment; }

    // Whether signature is this key's Ed25519 signature of message.
    bool verify(const QByteArray& signature, const QByteArray& message) const;

private:
    QByteArray m_keyId;
    QByteArray m_key;
    QString m_comment;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // MINISIGNPUBLICKEY_H
