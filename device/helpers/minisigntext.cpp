#include "minisigntext_p.h"

#include "localizationhelper.h"

#include <QFile>

#include <sodium.h>

#include <algorithm>

namespace Orvane {
namespace Tavrix {
namespace Common {

bool MinisignText::fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

bool MinisignText::readFile(const QString& path, QByteArray* text, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, file.errorString());
    *text = file.read(MaxFileBytes + 1);
    return true;
}

bool MinisignText::lines(const QByteArray& text, int count, QList<QByteArray>* lines, QString* error)
{
    if (text.size() > MaxFileBytes)
        return fail(error, deviceText("it is larger than a minisign file can be"));
    QList<QByteArray> found = text.split('\n');
    for (QByteArray& line : found) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    while (!found.isEmpty() && found.last().isEmpty() && found.size() > count)
        found.removeLast();
    if (found.size() != count)
        return fail(error, deviceText("it has %1 lines instead of %2").arg(found.size()).arg(count));
    *lines = found;
    return true;
}

bool MinisignText::prefixed(const QByteArray& line, int number, const char* prefix, int maxBytes, QByteArray* rest,
                            QString* error)
{
    if (!line.startsWith(prefix))
        return fail(error, deviceText("line %1 does not begin with \"%2\"").arg(number).arg(QString::fromLatin1(prefix)));
    if (line.size() > maxBytes)
        return fail(error, deviceText("line %1 is longer than %2 bytes").arg(number).arg(maxBytes));
    *rest = line.mid(int(qstrlen(prefix)));
    return true;
}

bool MinisignText::decode(const QByteArray& line, int number, int size, QByteArray* bytes, QString* error)
{
    // Exactly the padded length: libsodium's strict decoder then refuses stray
    // characters, wrong padding and unused bits that are not zero.
    const int expectedLength = int(sodium_base64_encoded_len(size_t(size), sodium_base64_VARIANT_ORIGINAL)) - 1;
    QByteArray decoded(size, '\0');
    size_t length = 0;
    if (line.size() != expectedLength
        || sodium_base642bin(reinterpret_cast<unsigned char*>(decoded.data()), size_t(decoded.size()), line.constData(),
                             size_t(line.size()), nullptr, &length, nullptr, sodium_base64_VARIANT_ORIGINAL)
            != 0
        || length != size_t(size))
        return fail(error, deviceText("line %1 is not base64 of %2 bytes").arg(number).arg(size));
    *bytes = decoded;
    return true;
}

bool MinisignText::algorithm(const QByteArray& decoded, const QList<QByteArray>& known, QString* error)
{
    const QByteArray tag = decoded.left(2);
    if (known.contains(tag))
        return true;
    const bool printable = std::all_of(tag.begin(), tag.end(), [](char c) { return c > 0x20 && c < 0x7f; });
    return fail(error, deviceText("it uses the signature algorithm \"%1\", which is not known")
                           .arg(printable ? QString::fromLatin1(tag) : QStringLiteral("0x") + QString::fromLatin1(tag.toHex())));
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
