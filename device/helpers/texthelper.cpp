#include "texthelper.h"

#include "diagnostics.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDebug>
#include <QDir>
#include <QLocale>
#include <QRandomGenerator>

#include <algorithm>
#include <cctype>
#include <charconv>

#ifdef Q_OS_WIN
#include "windowshelper.h"
#endif

using Orvane::Tavrix::Common::lcFiles;

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

bool isDecimal(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

// Compares two runs of decimal digits by value, whatever their length.
int compareDecimal(const QString& a, const QString& b)
{
    int i = 0;
    while (i < a.size() - 1 && a.at(i) == QLatin1Char('0'))
        ++i;
    int j = 0;
    while (j < b.size() - 1 && b.at(j) == QLatin1Char('0'))
        ++j;
    const QStringView x = QStringView(a).mid(i);
    const QStringView y = QStringView(b).mid(j);
    if (x.size() != y.size())
        return x.size() < y.size() ? -1 : 1;
    const int c = x.compare(y);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int sign(int value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

// The application identifier the cipher key is derived from.
const char* const kCipherIdentifier = "com.orvane.kavendi.link";
const char kCipherVersion = 3;
enum CipherFlag : char { FlagCompression = 0x01, FlagChecksum = 0x02, FlagHash = 0x04 };

QByteArray cipherKeyBytes()
{
    static const QByteArray bytes = [] {
        const QByteArray digest = TextHelper::getMD4(QString::fromLatin1(kCipherIdentifier));
        QByteArray picked;
        for (int i = 0; i < 16 && i < digest.size(); i += 2)
            picked.append(digest.at(i));
        bool ok = false;
        const quint64 key = QString::fromLatin1(picked).toULongLong(&ok, 10);
        QByteArray parts;
        if (ok && key != 0) {
            for (int i = 0; i < 8; ++i)
                parts.append(char((key >> (8 * i)) & 0xFF));
        }
        return parts;
    }();
    return bytes;
}

// Sort key of natural ordering: leading text and trailing digits.
struct NaturalKey
{
    QString lower;
    QString leading;
    QString digits;
    QString suffix; // extension put back after the split, compared last
    QString whole;
};

NaturalKey makeKey(const QString& text, const QString& suffix, const QString& whole)
{
    NaturalKey key;
    key.digits = TextHelper::numberFromString(text, &key.leading);
    key.lower = key.leading.toLower();
    key.suffix = suffix;
    key.whole = whole;
    return key;
}

bool naturalLess(const NaturalKey& a, const NaturalKey& b, bool caseSensitive)
{
    int c = 0;
    if (!caseSensitive) {
        c = a.lower.compare(b.lower);
        if (c != 0)
            return c < 0;
    }
    c = a.leading.compare(b.leading);
    if (c != 0)
        return c < 0;
    // A text without trailing digits comes before the numbered ones.
    if (a.digits.isEmpty() != b.digits.isEmpty())
        return a.digits.isEmpty();
    c = compareDecimal(a.digits, b.digits);
    if (c != 0)
        return c < 0;
    c = a.suffix.compare(b.suffix);
    if (c != 0)
        return c < 0;
    // Equal values written with different leading zeros: fewer zeros last, like the version rule.
    return a.whole.compare(b.whole) < 0;
}

QStringList sortByKeys(const QStringList& list, const QList<NaturalKey>& keys, bool caseSensitive, Qt::SortOrder order)
{
    QList<int> index;
    index.reserve(list.size());
    for (int i = 0; i < list.size(); ++i)
        index << i;
    std::stable_sort(index.begin(), index.end(), [&](int x, int y) {
        return naturalLess(keys.at(x), keys.at(y), caseSensitive);
    });
    QStringList sorted;
    sorted.reserve(list.size());
    for (int i : index)
        sorted << list.at(i);
    return order == Qt::DescendingOrder ? TextHelper::reverseStringList(sorted) : sorted;
}

NaturalKey fileKey(const QString& fileName, const QString& whole)
{
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return makeKey(fileName, QString(), whole);
    return makeKey(fileName.left(dot), fileName.mid(dot), whole);
}

} // namespace

int TextHelper::versionCompare(const QString& a, const QString& b)
{
    for (const QString* v : { &a, &b }) {
        if (v->contains(QLatin1String("..")) || v->contains(QLatin1Char('-')))
            return 2;
        if (v->startsWith(QLatin1Char('.')) || v->endsWith(QLatin1Char('.')))
            return 2;
    }
    const QStringList pa = a.isEmpty() ? QStringList() : a.split(QLatin1Char('.'));
    const QStringList pb = b.isEmpty() ? QStringList() : b.split(QLatin1Char('.'));
    if (pa.size() < 2 || pb.size() < 2)
        return 2;
    for (const QString& part : pa + pb) {
        if (!isDecimal(part))
            return 2;
    }
    const int common = qMin(pa.size(), pb.size());
    for (int i = 0; i < common; ++i) {
        const int byValue = compareDecimal(pa.at(i), pb.at(i));
        if (byValue != 0)
            return byValue;
        const int byText = sign(pa.at(i).compare(pb.at(i)));
        if (byText != 0)
            return byText;
    }
    if (pa.size() == pb.size())
        return 0;
    return pa.size() > pb.size() ? 1 : -1;
}

bool TextHelper::isValidVersion(const QString& version)
{
    if (version.isEmpty() || version.contains(QLatin1Char('-')))
        return false;
    const QStringList parts = version.split(QLatin1Char('.'));
    for (const QString& part : parts) {
        if (!isDecimal(part))
            return false;
    }
    return true;
}

bool TextHelper::isValidProjectVersion(const QString& version)
{
    return isValidVersion(version) && version.split(QLatin1Char('.')).size() == 3;
}

QChar TextHelper::pathSeparator()
{
    return QDir::separator();
}

QString TextHelper::toStandardPath(const QString& path)
{
    QString result = path;
    return result.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

QString TextHelper::toSystemPath(const QString& path)
{
    QString result = path;
    if (path.startsWith(QLatin1String("file:"), Qt::CaseInsensitive) || path.contains(QLatin1String("://")))
        return result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (pathSeparator() == QLatin1Char('\\'))
        return result.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return result.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

QString TextHelper::formatLineEndings(const QString& text)
{
    QString result = text;
    result.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    result.replace(QChar(0x2028), QLatin1Char('\n'));
    return result;
}

QString TextHelper::toQmlValueString(const QString& text)
{
    QString result = text;
    result.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    result.replace(QLatin1Char('"'), QLatin1String("\\\""));
    result = formatLineEndings(result);
    result.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return result;
}

QString TextHelper::removeLeadingSpaces(const QString& text)
{
    int i = 0;
    while (i < text.size() && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    return text.mid(i);
}

QString TextHelper::removeTrailingSpaces(const QString& text)
{
    int n = text.size();
    while (n > 0 && (text.at(n - 1) == QLatin1Char(' ') || text.at(n - 1) == QLatin1Char('\t')))
        --n;
    return text.left(n);
}

QString TextHelper::convertToBase64(const QString& text)
{
    return QString::fromLatin1(text.toUtf8().toBase64());
}

QString TextHelper::convertFromBase64(const QString& base64)
{
    return QString::fromUtf8(QByteArray::fromBase64(base64.toLatin1()));
}

QString TextHelper::convertToHex(const QString& text)
{
    return QString::fromLatin1(text.toUtf8().toHex());
}

QString TextHelper::convertFromHex(const QString& hex)
{
    return QString::fromUtf8(QByteArray::fromHex(hex.toLatin1()));
}

QString TextHelper::numberFromString(const QString& text, QString* rest)
{
    int start = text.size();
    while (start > 0 && text.at(start - 1) >= QLatin1Char('0') && text.at(start - 1) <= QLatin1Char('9'))
        --start;
    if (rest)
        *rest = text.left(start);
    return text.mid(start);
}

QString TextHelper::floatToString(float value)
{
    QString text = QString::asprintf("%f", double(value));
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text;
}

float TextHelper::doubleToFloat(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest).toFloat();
}

double TextHelper::floatToDouble(float value)
{
    // The shortest text that reads back as the same float: 0.1f gives exactly 0.1,
    // and values below the sixth decimal are not lost to "%f" rounding.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    if (result.ec != std::errc())
        return double(value);
    return QString::fromLatin1(buffer, int(result.ptr - buffer)).toDouble();
}

float TextHelper::realToFloat(double value)
{
    return doubleToFloat(value);
}

double TextHelper::realToDouble(double value)
{
    return value;
}

QString TextHelper::systemLocale()
{
#ifdef Q_OS_WIN
    return WindowsHelper::windowsSystemLocale();
#else
    const QLocale system = QLocale::system();
    return QStringLiteral("%1_%2").arg(QLocale::languageToCode(system.language()).left(5),
                                       QLocale::territoryToCode(system.territory()).left(5));
#endif
}

QByteArray TextHelper::getMD4(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
}

QByteArray TextHelper::getMD4(const QString& text)
{
    return getMD4(text.toUtf8());
}

QByteArray TextHelper::getSHA1(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex();
}

QByteArray TextHelper::getSHA1(const QString& text)
{
    return getSHA1(text.toUtf8());
}

QStringList TextHelper::sortStringList(const QStringList& list, bool caseSensitive, Qt::SortOrder order)
{
    QList<NaturalKey> keys;
    keys.reserve(list.size());
    for (const QString& text : list)
        keys << makeKey(text, QString(), text);
    return sortByKeys(list, keys, caseSensitive, order);
}

QStringList TextHelper::sortFiles(const QStringList& files, Qt::SortOrder order)
{
    QList<NaturalKey> keys;
    keys.reserve(files.size());
    for (const QString& file : files)
        keys << fileKey(file, file);
    return sortByKeys(files, keys, false, order);
}

QStringList TextHelper::sortFilesByFileName(const QStringList& paths, Qt::SortOrder order)
{
    QList<NaturalKey> keys;
    keys.reserve(paths.size());
    for (const QString& path : paths) {
        const QString standard = toStandardPath(path);
        const QString name = standard.mid(standard.lastIndexOf(QLatin1Char('/')) + 1);
        keys << fileKey(name, path);
    }
    return sortByKeys(paths, keys, false, order);
}

QStringList TextHelper::reverseStringList(const QStringList& list)
{
    QStringList reversed;
    reversed.reserve(list.size());
    for (auto it = list.crbegin(); it != list.crend(); ++it)
        reversed << *it;
    return reversed;
}

QString TextHelper::encryptString(const QString& text)
{
    return encryptString(text.toUtf8());
}

QString TextHelper::encryptString(const QByteArray& data)
{
    const QByteArray key = cipherKeyBytes();
    if (key.isEmpty()) {
        qCWarning(lcFiles) << "No key set.";
        return QString();
    }
    if (data.isEmpty())
        return QString();

    QByteArray body = data;
    char flags = 0;
    const QByteArray compressed = qCompress(data, 9);
    if (compressed.size() < data.size()) {
        body = compressed;
        flags |= FlagCompression;
    }

    QByteArray checksum;
    {
        QDataStream stream(&checksum, QIODevice::WriteOnly);
        stream.setByteOrder(QDataStream::BigEndian);
        stream << quint16(qChecksum(QByteArrayView(body)));
    }
    flags |= FlagChecksum;

    QByteArray plain;
    plain.reserve(body.size() + 3);
    plain.append(char(QRandomGenerator::global()->generate() & 0xFF));
    plain.append(checksum);
    plain.append(body);

    char last = 0;
    for (int pos = 0; pos < plain.size(); ++pos) {
        plain[pos] = char(plain.at(pos) ^ key.at(pos % 8) ^ last);
        last = plain.at(pos);
    }

    QByteArray result;
    result.reserve(plain.size() + 2);
    result.append(kCipherVersion);
    result.append(flags);
    result.append(plain);
    return QString::fromLatin1(result.toHex());
}

QString TextHelper::decryptString(const QString& hexText)
{
    const QByteArray key = cipherKeyBytes();
    if (key.isEmpty()) {
        qCWarning(lcFiles) << "No key set.";
        return QString();
    }
    // fromHex() skips foreign characters silently; a damaged text must not decode.
    const QByteArray hex = hexText.trimmed().toLatin1();
    if (hex.size() % 2 != 0)
        return QString();
    for (const char c : hex) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return QString();
    }
    QByteArray data = QByteArray::fromHex(hex);
    if (data.size() < 3)
        return QString();
    if (data.at(0) != kCipherVersion) {
        qCWarning(lcFiles) << "Invalid version or not a cyphertext.";
        return QString();
    }
    const char flags = data.at(1);
    // Unknown flags, or no integrity check at all, mean the text was not made here.
    if ((flags & ~(FlagCompression | FlagChecksum | FlagHash)) != 0 || !(flags & (FlagChecksum | FlagHash)))
        return QString();

    QByteArray plain = data.mid(2);
    char last = 0;
    for (int pos = 0; pos < plain.size(); ++pos) {
        const char current = plain.at(pos);
        plain[pos] = char(plain.at(pos) ^ last ^ key.at(pos % 8));
        last = current;
    }
    plain.remove(0, 1); // the random byte

    if (flags & FlagChecksum) {
        if (plain.size() < 2)
            return QString();
        const quint16 stored = quint16((quint8(plain.at(0)) << 8) | quint8(plain.at(1)));
        plain.remove(0, 2);
        if (stored != qChecksum(QByteArrayView(plain)))
            return QString();
    } else {
        const int hashLength = 20;
        if (plain.size() < hashLength)
            return QString();
        const QByteArray stored = plain.left(hashLength);
        plain.remove(0, hashLength);
        if (stored != QCryptographicHash::hash(plain, QCryptographicHash::Sha1))
            return QString();
    }

    if (flags & FlagCompression) {
        // qCompress() puts the big-endian original size in front; zlib cannot expand
        // beyond about 1032:1, so a larger claim is a forged header, not data.
        if (plain.size() < 5)
            return QString();
        const quint32 expected = (quint32(quint8(plain.at(0))) << 24) | (quint32(quint8(plain.at(1))) << 16)
                                 | (quint32(quint8(plain.at(2))) << 8) | quint32(quint8(plain.at(3)));
        if (expected == 0 || quint64(expected) > quint64(plain.size() - 4) * 1032 + 64)
            return QString();
        plain = qUncompress(plain);
        if (plain.size() != int(expected))
            return QString();
    }
    return QString::fromUtf8(plain);
}

QStringList TextHelper::reservedWords()
{
    static const QStringList words = {
        QStringLiteral("yield"), QStringLiteral("with"), QStringLiteral("while"), QStringLiteral("WeakSet"),
        QStringLiteral("WeakMap"), QStringLiteral("wchar_t"), QStringLiteral("volatile"), QStringLiteral("void"),
        QStringLiteral("virtual"), QStringLiteral("var"), QStringLiteral("using"), QStringLiteral("URIError"),
        QStringLiteral("unsigned"), QStringLiteral("union"), QStringLiteral("uneval"), QStringLiteral("unescape"),
        QStringLiteral("undefined"), QStringLiteral("Uint8ClampedArray"), QStringLiteral("Uint8Array"),
        QStringLiteral("Uint32Array"), QStringLiteral("Uint16Array"), QStringLiteral("typeof"),
        QStringLiteral("typename"), QStringLiteral("typeid"), QStringLiteral("TypeError"), QStringLiteral("typedef"),
        QStringLiteral("try"), QStringLiteral("true"), QStringLiteral("transient"), QStringLiteral("throws"),
        QStringLiteral("throw"), QStringLiteral("thread_local"), QStringLiteral("this"), QStringLiteral("template"),
        QStringLiteral("SyntaxError"), QStringLiteral("synchronized"), QStringLiteral("Symbol"),
        QStringLiteral("switch"), QStringLiteral("super"), QStringLiteral("struct"), QStringLiteral("String"),
        QStringLiteral("StopIteration"), QStringLiteral("static_cast"), QStringLiteral("static_assert"),
        QStringLiteral("static"), QStringLiteral("sizeof"), QStringLiteral("signed"), QStringLiteral("short"),
        QStringLiteral("Set"), QStringLiteral("return"), QStringLiteral("reinterpret_cast"),
        QStringLiteral("register"), QStringLiteral("RegExp"), QStringLiteral("Reflect"),
        QStringLiteral("ReferenceError"), QStringLiteral("RangeError"), QStringLiteral("public"),
        QStringLiteral("Proxy"), QStringLiteral("protected"), QStringLiteral("Promise"), QStringLiteral("private"),
        QStringLiteral("parseInt"), QStringLiteral("parseFloat"), QStringLiteral("ParallelArray"),
        QStringLiteral("package"), QStringLiteral("operator"), QStringLiteral("Object"), QStringLiteral("Number"),
        QStringLiteral("nullptr"), QStringLiteral("null"), QStringLiteral("noexcept"), QStringLiteral("new"),
        QStringLiteral("native"), QStringLiteral("NaN"), QStringLiteral("namespace"), QStringLiteral("mutable"),
        QStringLiteral("Math"), QStringLiteral("Map"), QStringLiteral("long"), QStringLiteral("let"),
        QStringLiteral("JSON"), QStringLiteral("Iterator"), QStringLiteral("isNaN"), QStringLiteral("isFinite"),
        QStringLiteral("Intl"), QStringLiteral("InternalError"), QStringLiteral("interface"),
        QStringLiteral("Int8Array"), QStringLiteral("Int32Array"), QStringLiteral("Int16Array"),
        QStringLiteral("int"), QStringLiteral("instanceof"), QStringLiteral("inline"), QStringLiteral("Infinity"),
        QStringLiteral("in"), QStringLiteral("import"), QStringLiteral("implements"), QStringLiteral("if"),
        QStringLiteral("goto"), QStringLiteral("Generator"), QStringLiteral("Function"), QStringLiteral("function"),
        QStringLiteral("friend"), QStringLiteral("for"), QStringLiteral("Float64Array"),
        QStringLiteral("Float32Array"), QStringLiteral("float"), QStringLiteral("finally"), QStringLiteral("final"),
        QStringLiteral("false"), QStringLiteral("extern"), QStringLiteral("extends"), QStringLiteral("export"),
        QStringLiteral("explicit"), QStringLiteral("EvalError"), QStringLiteral("eval"), QStringLiteral("escape"),
        QStringLiteral("Error"), QStringLiteral("enum"), QStringLiteral("encodeURIComponent"),
        QStringLiteral("encodeURI"), QStringLiteral("else"), QStringLiteral("dynamic_cast"),
        QStringLiteral("double"), QStringLiteral("do"), QStringLiteral("delete"), QStringLiteral("default"),
        QStringLiteral("decodeURIComponent"), QStringLiteral("decodeURI"), QStringLiteral("decltype"),
        QStringLiteral("debugger"), QStringLiteral("Date"), QStringLiteral("DataView"), QStringLiteral("continue"),
        QStringLiteral("const_cast"), QStringLiteral("constexpr"), QStringLiteral("const"),
        QStringLiteral("console"), QStringLiteral("class"), QStringLiteral("char32_t"), QStringLiteral("char16_t"),
        QStringLiteral("char"), QStringLiteral("catch"), QStringLiteral("case"), QStringLiteral("byte"),
        QStringLiteral("break"), QStringLiteral("boolean"), QStringLiteral("Boolean"), QStringLiteral("bool"),
        QStringLiteral("auto"), QStringLiteral("asm"), QStringLiteral("ArrayBuffer"), QStringLiteral("Array"),
        QStringLiteral("arguments"), QStringLiteral("alignof"), QStringLiteral("abstract"),
    };
    return words;
}

QStringList TextHelper::mathWords()
{
    static const QStringList words = {
        QStringLiteral("tan"), QStringLiteral("sqrt"), QStringLiteral("sin"), QStringLiteral("round"),
        QStringLiteral("random"), QStringLiteral("pow"), QStringLiteral("min"), QStringLiteral("max"),
        QStringLiteral("log"), QStringLiteral("floor"), QStringLiteral("exp"), QStringLiteral("cos"),
        QStringLiteral("ceil"), QStringLiteral("atan2"), QStringLiteral("atan"), QStringLiteral("asin"),
        QStringLiteral("acos"), QStringLiteral("abs"), QStringLiteral("SQRT2"), QStringLiteral("SQRT1_2"),
        QStringLiteral("PI"), QStringLiteral("LOG10E"), QStringLiteral("LOG2E"), QStringLiteral("LN10"),
        QStringLiteral("LN2"), QStringLiteral("E"),
    };
    return words;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
