#include "helpers/texthelper.h"

#include <QtTest>

#include <QCryptographicHash>

using Orvane::Tavrix::Common::TextHelper;

class TestTextHelper : public QObject
{
    Q_OBJECT

private slots:
    void versionCompare_data();
    void versionCompare();
    void versionValidity_data();
    void versionValidity();
    void paths();
    void lineEndingsAndQml();
    void spacesAndConversions();
    void numberFromString_data();
    void numberFromString();
    void floats();
    void digests();
    void naturalSort_data();
    void naturalSort();
    void sortFiles();
    void cipherRoundTrip_data();
    void cipherRoundTrip();
    void cipherRejectsDamage();
    void cipherRejectsForgedFlagsAndSizes();
    void cipherForgedPayloads();
    void wordLists();
};

namespace {

// Builds a ciphertext by hand, with the key the program derives from its identifier.
QString forge(char flags, const QByteArray& payload)
{
    const QByteArray digest = TextHelper::getMD4(QStringLiteral("com.orvane.kavendi.link"));
    QByteArray picked;
    for (int i = 0; i < 16; i += 2)
        picked.append(digest.at(i));
    const quint64 key = picked.toULongLong();
    QByteArray plain = QByteArray(1, '\x5a') + payload;
    char last = 0;
    for (int pos = 0; pos < plain.size(); ++pos) {
        plain[pos] = char(plain.at(pos) ^ char((key >> (8 * (pos % 8))) & 0xFF) ^ last);
        last = plain.at(pos);
    }
    return QString::fromLatin1((QByteArray(1, 3) + QByteArray(1, flags) + plain).toHex());
}

QByteArray withChecksum(const QByteArray& body)
{
    const quint16 crc = qChecksum(QByteArrayView(body));
    return QByteArray(1, char(crc >> 8)) + QByteArray(1, char(crc & 0xFF)) + body;
}

} // namespace

void TestTextHelper::versionCompare_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("expected");
    QTest::newRow("same") << "1.1.0.1910" << "1.1.0.1910" << 0;
    QTest::newRow("fewer parts older") << "1.1" << "1.1.0" << -1;
    QTest::newRow("more parts newer") << "1.1.0" << "1.1" << 1;
    QTest::newRow("numeric not text") << "1.10" << "1.9" << 1;
    QTest::newRow("numeric build") << "1.1.0.1910" << "1.1.0.999" << 1;
    QTest::newRow("older") << "1.0.5" << "1.2.0" << -1;
    QTest::newRow("leading zero text") << "1.01" << "1.1" << -1;
    QTest::newRow("leading zero text reverse") << "1.1" << "1.01" << 1;
    QTest::newRow("010 before 10") << "1.010" << "1.10" << -1;
    QTest::newRow("long numbers") << "1.123456789012345678901" << "1.99999999999999999999" << 1;
    QTest::newRow("one part") << "1" << "1.0" << 2;
    QTest::newRow("double dot") << "1..2" << "1.2" << 2;
    QTest::newRow("dash") << "1.2-beta" << "1.2" << 2;
    QTest::newRow("leading dot") << ".1.2" << "1.2" << 2;
    QTest::newRow("trailing dot") << "1.2" << "1.2." << 2;
    QTest::newRow("letter") << "1.a" << "1.2" << 2;
    QTest::newRow("empty") << "" << "1.2" << 2;
    QTest::newRow("space") << "1. 2" << "1.2" << 2;
    QTest::newRow("sign") << "1.+2" << "1.2" << 2;
}

void TestTextHelper::versionCompare()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, expected);
    QCOMPARE(TextHelper::versionCompare(a, b), expected);
    if (expected != 2)
        QCOMPARE(TextHelper::versionCompare(b, a), -expected);
}

void TestTextHelper::versionValidity_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("project");
    QTest::newRow("three") << "1.2.3" << true << true;
    QTest::newRow("four") << "1.1.0.1910" << true << false;
    QTest::newRow("one") << "7" << true << false;
    QTest::newRow("empty") << "" << false << false;
    QTest::newRow("dash") << "1-2.3" << false << false;
    QTest::newRow("empty part") << "1..3" << false << false;
    QTest::newRow("tab") << "1.\t2.3" << false << false;
    QTest::newRow("space") << "1.2 .3" << false << false;
    QTest::newRow("letter") << "1.2.x" << false << false;
    QTest::newRow("trailing dot") << "1.2.3." << false << false;
}

void TestTextHelper::versionValidity()
{
    QFETCH(QString, version);
    QFETCH(bool, valid);
    QFETCH(bool, project);
    QCOMPARE(TextHelper::isValidVersion(version), valid);
    QCOMPARE(TextHelper::isValidProjectVersion(version), project);
}

void TestTextHelper::paths()
{
    QCOMPARE(TextHelper::toStandardPath(QStringLiteral("C:\\a\\b/c")), QStringLiteral("C:/a/b/c"));
    // URLs keep forward slashes on every platform.
    QCOMPARE(TextHelper::toSystemPath(QStringLiteral("FILE:\\\\host\\x")), QStringLiteral("FILE://host/x"));
    QCOMPARE(TextHelper::toSystemPath(QStringLiteral("http://a\\b")), QStringLiteral("http://a/b"));
#ifdef Q_OS_WIN
    QCOMPARE(TextHelper::pathSeparator(), QLatin1Char('\\'));
    QCOMPARE(TextHelper::toSystemPath(QStringLiteral("C:/a/b")), QStringLiteral("C:\\a\\b"));
#else
    QCOMPARE(TextHelper::pathSeparator(), QLatin1Char('/'));
    QCOMPARE(TextHelper::toSystemPath(QStringLiteral("a\\b/c")), QStringLiteral("a/b/c"));
#endif
}

void TestTextHelper::lineEndingsAndQml()
{
    QCOMPARE(TextHelper::formatLineEndings(QStringLiteral("a\r\nb\rc")), QStringLiteral("a\nb\nc"));
    QCOMPARE(TextHelper::formatLineEndings(QStringLiteral("a") + QChar(0x2028) + QStringLiteral("b\r\r\n")),
             QStringLiteral("a\nb\n\n"));
    QCOMPARE(TextHelper::toQmlValueString(QStringLiteral("say \"hi\"\\\r\nnext")),
             QStringLiteral("say \\\"hi\\\"\\\\\\nnext"));
}

void TestTextHelper::spacesAndConversions()
{
    QCOMPARE(TextHelper::removeLeadingSpaces(QStringLiteral(" \t \tab c \t")), QStringLiteral("ab c \t"));
    QCOMPARE(TextHelper::removeTrailingSpaces(QStringLiteral(" \tab c \t \t")), QStringLiteral(" \tab c"));
    QCOMPARE(TextHelper::removeTrailingSpaces(QStringLiteral(" \t")), QString());

    const QString text = QStringLiteral("Grüße €");
    QCOMPARE(TextHelper::convertToHex(text), QStringLiteral("4772c3bcc39f6520e282ac"));
    QCOMPARE(TextHelper::convertFromHex(TextHelper::convertToHex(text)), text);
    QCOMPARE(TextHelper::convertToBase64(QStringLiteral("ab?")), QStringLiteral("YWI/"));
    QCOMPARE(TextHelper::convertFromBase64(TextHelper::convertToBase64(text)), text);
}

void TestTextHelper::numberFromString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("rest");
    QTest::newRow("label") << "Label12" << "12" << "Label";
    QTest::newRow("no digits") << "Label" << "" << "Label";
    QTest::newRow("digits only") << "0042" << "0042" << "";
    QTest::newRow("inner digits") << "a1b" << "" << "a1b";
    QTest::newRow("empty") << "" << "" << "";
}

void TestTextHelper::numberFromString()
{
    QFETCH(QString, text);
    QFETCH(QString, number);
    QFETCH(QString, rest);
    QString actualRest = QStringLiteral("untouched");
    QCOMPARE(TextHelper::numberFromString(text, &actualRest), number);
    QCOMPARE(actualRest, rest);
    QCOMPARE(TextHelper::numberFromString(text, nullptr), number);
}

void TestTextHelper::floats()
{
    QCOMPARE(TextHelper::floatToString(0.25f), QStringLiteral("0.25"));
    QCOMPARE(TextHelper::floatToString(10.0f), QStringLiteral("10"));
    QCOMPARE(TextHelper::floatToString(1.5f), QStringLiteral("1.5"));
    QCOMPARE(TextHelper::floatToString(-2.0f), QStringLiteral("-2"));
    QCOMPARE(TextHelper::floatToString(100.0f), QStringLiteral("100"));
    QCOMPARE(TextHelper::floatToString(0.0f), QStringLiteral("0"));

    QCOMPARE(TextHelper::floatToDouble(0.1f), 0.1);
    QCOMPARE(TextHelper::floatToDouble(-3.75f), -3.75);
    QCOMPARE(TextHelper::floatToDouble(1e-7f), 1e-7);
    QCOMPARE(TextHelper::doubleToFloat(0.1), 0.1f);
    QCOMPARE(TextHelper::realToFloat(2.5), 2.5f);
    QCOMPARE(TextHelper::realToDouble(0.3), 0.3);
}

void TestTextHelper::digests()
{
    // The "MD4" helper is MD5 by design.
    QCOMPARE(TextHelper::getMD4(QByteArray("abc")), QByteArray("900150983cd24fb0d6963f7d28e17f72"));
    QCOMPARE(TextHelper::getMD4(QStringLiteral("abc")), QByteArray("900150983cd24fb0d6963f7d28e17f72"));
    QCOMPARE(TextHelper::getSHA1(QByteArray("abc")), QByteArray("a9993e364706816aba3e25717850c26c9cd0d89d"));
    QCOMPARE(TextHelper::getSHA1(QStringLiteral("ü")), TextHelper::getSHA1(QByteArray("\xc3\xbc")));
}

void TestTextHelper::naturalSort_data()
{
    QTest::addColumn<QStringList>("input");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("numbers") << QStringList { "a10", "a2", "a1" } << false << QStringList { "a1", "a2", "a10" };
    QTest::newRow("prefix first")
        << QStringList { "Item10", "Item", "Item2" } << false << QStringList { "Item", "Item2", "Item10" };
    QTest::newRow("case-insensitive groups")
        << QStringList { "b1", "B2", "a3", "A1", "a2" } << false << QStringList { "A1", "a2", "a3", "B2", "b1" };
    QTest::newRow("case-sensitive")
        << QStringList { "b1", "B2", "a3", "A1" } << true << QStringList { "A1", "B2", "a3", "b1" };
    QTest::newRow("leading zeros") << QStringList { "x1", "x01", "x2" } << false << QStringList { "x01", "x1", "x2" };
    QTest::newRow("huge numbers")
        << QStringList { "n123456789012345678901", "n99" } << false << QStringList { "n99", "n123456789012345678901" };
    QTest::newRow("empty") << QStringList() << false << QStringList();
}

void TestTextHelper::naturalSort()
{
    QFETCH(QStringList, input);
    QFETCH(bool, caseSensitive);
    QFETCH(QStringList, expected);
    QCOMPARE(TextHelper::sortStringList(input, caseSensitive, Qt::AscendingOrder), expected);
    QCOMPARE(TextHelper::sortStringList(input, caseSensitive, Qt::DescendingOrder),
             TextHelper::reverseStringList(expected));
}

void TestTextHelper::sortFiles()
{
    const QStringList files { "img10.png", "img2.png", "img1.jpg", "img1.bmp", "readme" };
    QCOMPARE(TextHelper::sortFiles(files), (QStringList { "img1.bmp", "img1.jpg", "img2.png", "img10.png", "readme" }));
    QCOMPARE(TextHelper::sortFiles(files, Qt::DescendingOrder),
             (QStringList { "readme", "img10.png", "img2.png", "img1.jpg", "img1.bmp" }));

    // Only the file name counts, not the folder.
    const QStringList paths { "/z/page10.qml", "/a/page2.qml", "C:\\m\\page1.qml" };
    QCOMPARE(TextHelper::sortFilesByFileName(paths),
             (QStringList { "C:\\m\\page1.qml", "/a/page2.qml", "/z/page10.qml" }));
    QCOMPARE(TextHelper::reverseStringList({ "1", "2", "3" }), (QStringList { "3", "2", "1" }));
}

void TestTextHelper::cipherRoundTrip_data()
{
    QTest::addColumn<QString>("plain");
    QTest::newRow("short") << "secret";
    QTest::newRow("one char") << "x";
    QTest::newRow("unicode") << QStringLiteral("Paßwort € 中文");
    QTest::newRow("compressible") << QString(5000, QLatin1Char('a'));
}

void TestTextHelper::cipherRoundTrip()
{
    QFETCH(QString, plain);
    const QString cipher = TextHelper::encryptString(plain);
    QVERIFY(!cipher.isEmpty());
    QVERIFY(!cipher.contains(plain));
    QCOMPARE(cipher, cipher.toLower());
    QCOMPARE(TextHelper::decryptString(cipher), plain);
    QCOMPARE(TextHelper::decryptString(TextHelper::encryptString(plain.toUtf8())), plain);
    // Version byte 3 in front.
    QVERIFY(cipher.startsWith(QLatin1String("03")));
    if (plain.size() > 1000)
        QVERIFY(cipher.size() < plain.size()); // compressed
    QVERIFY(TextHelper::encryptString(QString()).isEmpty());
}

void TestTextHelper::cipherRejectsDamage()
{
    const QString cipher = TextHelper::encryptString(QStringLiteral("a secret that matters"));
    QVERIFY(!cipher.isEmpty());

    // Every truncation fails cleanly.
    for (int n = 0; n < cipher.size(); n += 2)
        QVERIFY2(TextHelper::decryptString(cipher.left(n)).isEmpty(), qPrintable(QString::number(n)));

    // Every single-bit flip of the body is caught by the checksum or breaks the format.
    const QByteArray raw = QByteArray::fromHex(cipher.toLatin1());
    int accepted = 0;
    for (int i = 2; i < raw.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            QByteArray damaged = raw;
            damaged[i] = char(damaged.at(i) ^ (1 << bit));
            const QString result = TextHelper::decryptString(QString::fromLatin1(damaged.toHex()));
            if (!result.isEmpty())
                ++accepted;
        }
    }
    QCOMPARE(accepted, 0);

    QTest::ignoreMessage(QtWarningMsg, "Invalid version or not a cyphertext.");
    QVERIFY(TextHelper::decryptString(QStringLiteral("04") + cipher.mid(2)).isEmpty());
    QVERIFY(TextHelper::decryptString(cipher + QLatin1Char('0')).isEmpty()); // odd length
    QVERIFY(TextHelper::decryptString(cipher.left(10) + QStringLiteral("zz") + cipher.mid(12)).isEmpty());
    QVERIFY(TextHelper::decryptString(QString()).isEmpty());
}

void TestTextHelper::cipherRejectsForgedFlagsAndSizes()
{
    const QString cipher = TextHelper::encryptString(QString(3000, QLatin1Char('z')));
    QByteArray raw = QByteArray::fromHex(cipher.toLatin1());
    QCOMPARE(int(raw.at(1)), 0x03); // compressed and checksummed

    QByteArray noCheck = raw;
    noCheck[1] = 0x01;
    QVERIFY(TextHelper::decryptString(QString::fromLatin1(noCheck.toHex())).isEmpty());

    // Claiming a SHA-1 digest on a body shorter than one must not read past the end.
    for (const char* hex : { "030400", "03040011223344", "0304" }) {
        QVERIFY(TextHelper::decryptString(QString::fromLatin1(hex)).isEmpty());
    }
    QByteArray shaClaim = raw;
    shaClaim[1] = 0x05;
    QVERIFY(TextHelper::decryptString(QString::fromLatin1(shaClaim.toHex())).isEmpty());

    QByteArray unknownFlag = raw;
    unknownFlag[1] = char(0x43);
    QVERIFY(TextHelper::decryptString(QString::fromLatin1(unknownFlag.toHex())).isEmpty());
}

void TestTextHelper::cipherForgedPayloads()
{
    // The forger itself is right: a well-formed text decodes.
    QCOMPARE(TextHelper::decryptString(forge(0x02, withChecksum("hello"))), QStringLiteral("hello"));
    QCOMPARE(TextHelper::decryptString(forge(0x03, withChecksum(qCompress(QByteArray(400, 'q'))))),
             QString(400, QLatin1Char('q')));
    QCOMPARE(TextHelper::decryptString(forge(0x04, QCryptographicHash::hash("hi", QCryptographicHash::Sha1) + "hi")),
             QStringLiteral("hi"));

    // Valid checksums over hostile compressed data.
    const QByteArray hugeClaim = QByteArray("\xff\xff\xff\xff", 4) + QByteArray(16, '\x01');
    QVERIFY(TextHelper::decryptString(forge(0x03, withChecksum(hugeClaim))).isEmpty());
    const QByteArray garbage = QByteArray("\x00\x00\x00\x10", 4) + QByteArray(16, '\x01');
    QVERIFY(TextHelper::decryptString(forge(0x03, withChecksum(garbage))).isEmpty());
    QVERIFY(TextHelper::decryptString(forge(0x03, withChecksum("\x00\x00"))).isEmpty());
    // A size header that lies about a valid stream.
    QByteArray lying = qCompress(QByteArray(50, 'w'));
    lying[3] = char(60);
    QVERIFY(TextHelper::decryptString(forge(0x03, withChecksum(lying))).isEmpty());

    // Digest flag with too little data, or a wrong digest.
    QVERIFY(TextHelper::decryptString(forge(0x04, QByteArray(19, 'x'))).isEmpty());
    QVERIFY(TextHelper::decryptString(forge(0x04, QByteArray(20, 'x') + "hi")).isEmpty());
    // Checksum flag with fewer than two bytes after the random byte.
    QVERIFY(TextHelper::decryptString(forge(0x02, QByteArray(1, 'x'))).isEmpty());
}

void TestTextHelper::wordLists()
{
    const QStringList reserved = TextHelper::reservedWords();
    QCOMPARE(reserved.size(), 156);
    QCOMPARE(QSet<QString>(reserved.begin(), reserved.end()).size(), 156);
    QCOMPARE(reserved.first(), QStringLiteral("yield"));
    QCOMPARE(reserved.last(), QStringLiteral("abstract"));
    for (const char* word : { "function", "Function", "nullptr", "Uint8ClampedArray", "console", "byte" })
        QVERIFY2(reserved.contains(QLatin1String(word)), word);

    const QStringList math = TextHelper::mathWords();
    QCOMPARE(math.size(), 26);
    QCOMPARE(QSet<QString>(math.begin(), math.end()).size(), 26);
    QVERIFY(math.contains(QStringLiteral("SQRT1_2")));
    QCOMPARE(math.last(), QStringLiteral("E"));
}

QTEST_GUILESS_MAIN(TestTextHelper)
#include "tst_texthelper.moc"
