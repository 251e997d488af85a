#ifndef MINISIGNTEXT_P_H
#define MINISIGNTEXT_P_H

#include <QByteArray>
#include <QList>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Common {

// The line-level reading that minisign's key and signature files share. Every
// failure leaves the reason, for people, in error.
class MinisignText
{
public:
    static constexpr const char* UntrustedPrefix = "untrusted comment: ";
    static constexpr int UntrustedCommentMaxBytes = 1024;
    static constexpr int TrustedCommentMaxBytes = 8192;
    // A signature file with the longest comments both allow, with room for its lines.
    static constexpr int MaxFileBytes = UntrustedCommentMaxBytes + TrustedCommentMaxBytes + 512;

    // A key or signature file's text, one byte more than allowed when it is larger.
    static bool readFile(const QString& path, QByteArray* text, QString* error);
    // Splits text into exactly `count` lines ("\n", or "\r\n" as an editor on Windows
    // leaves them); only line ends may follow the last one.
    static bool lines(const QByteArray& text, int count, QList<QByteArray>* lines, QString* error);
    // The text after prefix on line `number` (from 1), at most maxBytes long as a whole.
    static bool prefixed(const QByteArray& line, int number, const char* prefix, int maxBytes, QByteArray* rest,
                         QString* error);
    // Line `number` as padded base64 of exactly `size` bytes, nothing else.
    static bool decode(const QByteArray& line, int number, int size, QByteArray* bytes, QString* error);
    // Whether the decoded bytes begin with one of the algorithm tags.
    static bool algorithm(const QByteArray& decoded, const QList<QByteArray>& known, QString* error);
    // Sets *error (when given) and answers false.
    static bool fail(QString* error, const QString& reason);
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // MINISIGNTEXT_P_H
