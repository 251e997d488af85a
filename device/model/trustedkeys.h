#ifndef TRUSTEDKEYS_H
#define TRUSTEDKEYS_H

#include "device_global.h"
#include "minisignpublickey.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Common {

// The public keys whose signatures are trusted: the minisign key files ("*.pub") in the
// folder named by DOVREL_TRUSTED_KEYS or, without it, in the user's "trusted-keys" folder
// beside the program's settings and in the computer's.
class DEVICE_EXPORT TrustedKeys
{
public:
    // The folders read, in order.
    static QStringList folders();
    // The keys of the files in folders; a file that holds no key is left out (a warning says so).
    static TrustedKeys load(const QStringList& folders = TrustedKeys::folders());

    QList<MinisignPublicKey> keys() const { return m_keys; }
    // The keys with this id; two files may hold one key.
    QList<MinisignPublicKey> find(const QByteArray& keyId) const;
    // "file: reason" for every file left out.
    QStringList skipped() const { return m_skipped; }

private:
    QList<MinisignPublicKey> m_keys;
    QStringList m_skipped;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // TRUSTEDKEYS_H
