#include "helpers/unzip.h"
#include "foldertree.h"
#include "helpers/zip.h"
#include "helpers/ziphelper.h"

#include <QLoggingCategory>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace Orvane::Tavrix::Common;

namespace {

QStringList g_messages;

void captureMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_messages.append(message);
}

// Collects the debug output for the lifetime of the object.
struct MessageCapture
{
    QtMessageHandler previous;
    MessageCapture()
    {
        g_messages.clear();
        // The diagnostics are silent unless asked for, as QT_LOGGING_RULES does.
        QLoggingCategory::setFilterRules(QStringLiteral("dovrel.*.debug=true"));
        previous = qInstallMessageHandler(captureMessage);
    }
    ~MessageCapture() { qInstallMessageHandler(previous); }
    bool contains(const QString& text) const { return g_messages.contains(text); }
};

quint32 crc32Of(const QByteArray& data)
{
    quint32 c = 0xffffffffu;
    for (char ch : data) {
        c ^= static_cast<quint8>(ch);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1u)));
    }
    return ~c;
}

void put16(QByteArray& out, quint16 v)
{
    out.append(char(v & 0xff));
    out.append(char(v >> 8));
}

void put32(QByteArray& out, quint32 v)
{
    put16(out, quint16(v & 0xffff));
    put16(out, quint16(v >> 16));
}

void set16(QByteArray& data, qint64 pos, quint16 v)
{
    data[pos] = char(v & 0xff);
    data[pos + 1] = char(v >> 8);
}

void set32(QByteArray& data, qint64 pos, quint32 v)
{
    set16(data, pos, quint16(v & 0xffff));
    set16(data, pos + 2, quint16(v >> 16));
}

quint16 get16(const QByteArray& data, qint64 pos)
{
    return quint16(quint8(data.at(pos)) | (quint8(data.at(pos + 1)) << 8));
}

quint32 get32(const QByteArray& data, qint64 pos)
{
    return get16(data, pos) | (quint32(get16(data, pos + 2)) << 16);
}

// A stored archive with exactly the given names, bypassing every check of the writer.
QByteArray craftArchive(const QList<QPair<QByteArray, QByteArray>>& entries)
{
    QByteArray out;
    QByteArray central;
    for (const auto& entry : entries) {
        const quint32 offset = quint32(out.size());
        const quint32 crc = crc32Of(entry.second);
        QByteArray common;
        put16(common, 20);
        put16(common, 0);
        put16(common, 0);
        put32(common, (quint32(41) << 25) | (1u << 21) | (1u << 16));
        put32(common, crc);
        put32(common, quint32(entry.second.size()));
        put32(common, quint32(entry.second.size()));
        put16(common, quint16(entry.first.size()));
        put16(common, 0);
        put32(out, 0x04034b50u);
        out += common + entry.first + entry.second;
        put32(central, 0x02014b50u);
        put16(central, 20);
        central += common;
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put32(central, 0);
        put32(central, offset);
        central += entry.first;
    }
    const quint32 cdOffset = quint32(out.size());
    out += central;
    put32(out, 0x06054b50u);
    put32(out, 0);
    put16(out, quint16(entries.size()));
    put16(out, quint16(entries.size()));
    put32(out, quint32(central.size()));
    put32(out, cdOffset);
    put16(out, 0);
    return out;
}

// Positions of the records of an archive without comment.
struct Layout
{
    qint64 end = 0;
    qint64 cdOffset = 0;
    QList<qint64> central;
    QList<qint64> local;
};

Layout layoutOf(const QByteArray& archive)
{
    Layout l;
    l.end = archive.size() - 22;
    l.cdOffset = get32(archive, l.end + 16);
    const int count = get16(archive, l.end + 10);
    qint64 pos = l.cdOffset;
    for (int i = 0; i < count; ++i) {
        l.central.append(pos);
        l.local.append(get32(archive, pos + 42));
        pos += 46 + get16(archive, pos + 28) + get16(archive, pos + 30) + get16(archive, pos + 32);
    }
    return l;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Text that deflates differently at different levels.
QByteArray wordText(int size, quint32 seed)
{
    static const char* words[] = { "display", "serial", "device", "project", "runtime", "touch",
                                   "screen", "calibration", "font", "upload", "log", "zone" };
    QRandomGenerator rng(seed);
    QByteArray text;
    while (text.size() < size) {
        text += words[rng.bounded(12)];
        text += rng.bounded(9) == 0 ? '\n' : ' ';
    }
    text.truncate(size);
    return text;
}

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray data(size, Qt::Uninitialized);
    for (char& c : data)
        c = char(rng.bounded(256));
    return data;
}

// Every file below root, relative path to content; folders end with "/".
QMap<QString, QByteArray> treeOf(const QString& root)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(root).relativeFilePath(path);
        if (QFileInfo(path).isDir())
            tree.insert(rel + QLatin1Char('/'), QByteArray());
        else
            tree.insert(rel, readAll(path));
    }
    return tree;
}

} // namespace

class TestZipHelper : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTrip_data();
    void roundTrip();
    void folderPrefixes();
    void levelPerFile_data();
    void levelPerFile();
    void levelInArchive();
    void shortFilesStoredAtEveryLevel();
    void wrongPassword();
    void missingEntry();
    void containsFile();
    void renameRule();
    void comments();
    void overlongNameRefused();
    void failedWriteDeletesArchive();
    void archiveInsideSource();
    void unsafeNamesRefused_data();
    void unsafeNamesRefused();
    void brokenArchives_data();
    void brokenArchives();
    void inflationCapped();
    void localHeaderPushesDataPastBound();
    void endRecordSearchWindow();
    void unsupportedEntriesSkipped();
    void deviceDestroyed();
    void missingOutputFolder();

private:
    QTemporaryDir m_tmp;
    QString m_source;           // a small tree with text, binary, nested and empty folders
    QByteArray m_corpusBase;    // alpha.txt (deflated) then beta.bin (stored)
    QByteArray m_alpha;
    QByteArray m_beta;
    QDateTime m_stamp;
    int m_counter = 0;

    QString freshPath(const QString& name) { return m_tmp.filePath(QStringLiteral("%1-%2").arg(++m_counter).arg(name)); }
    QString freshDir()
    {
        const QString path = freshPath(QStringLiteral("dir"));
        QDir().mkpath(path);
        return path;
    }
    QString saveArchive(const QByteArray& bytes)
    {
        const QString path = freshPath(QStringLiteral("a.zip"));
        FolderTree::writeFile(path, bytes);
        return path;
    }
};

void TestZipHelper::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    m_stamp = QDateTime(QDate(2021, 3, 4), QTime(5, 6, 8));
    m_source = m_tmp.filePath(QStringLiteral("package"));
    const QMap<QString, QByteArray> files = {
        { QStringLiteral("config.txrc"), wordText(59, 1) },
        { QStringLiteral("readme.TXT"), wordText(20000, 2) },
        { QStringLiteral("images/photo.bin"), randomBytes(300 * 1024, 3) }, // beyond one I/O buffer
        { QStringLiteral("project/qml/main.qml"), wordText(700000, 4) },
        { QStringLiteral("project/empty.txt"), QByteArray() },
        { QStringLiteral(".hidden"), QByteArray("dot file\n") },
    };
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const QString path = m_source + QLatin1Char('/') + it.key();
        QVERIFY(FolderTree::writeFile(path, it.value()));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(m_stamp, QFileDevice::FileModificationTime));
    }
    QVERIFY(QDir().mkpath(m_source + QStringLiteral("/logs/empty")));

    m_alpha = wordText(5000, 5);
    m_beta = randomBytes(3000, 6);
    const QString a = m_tmp.filePath(QStringLiteral("corpus/alpha.txt"));
    const QString b = m_tmp.filePath(QStringLiteral("corpus/beta.bin"));
    QVERIFY(FolderTree::writeFile(a, m_alpha));
    QVERIFY(FolderTree::writeFile(b, m_beta));
    const QString archive = m_tmp.filePath(QStringLiteral("corpus.zip"));
    QVERIFY(ZipHelper::zipWithFiles({ a, b }, archive));
    m_corpusBase = readAll(archive);
    QCOMPARE(layoutOf(m_corpusBase).central.size(), 2);
}

void TestZipHelper::roundTrip_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QByteArray>("password");
    for (int level = 0; level <= 12; ++level) {
        QTest::addRow("level %d", level) << level << QByteArray();
        QTest::addRow("level %d encrypted", level) << level << QByteArray("s3cr\xe9t");
    }
}

void TestZipHelper::roundTrip()
{
    QFETCH(int, level);
    QFETCH(QByteArray, password);
    const char* pwd = password.isEmpty() ? nullptr : password.constData();

    const QString archive = freshPath(QStringLiteral("round.zip"));
    QVERIFY(ZipHelper::zipWithDirectoryContents(m_source, archive, false, pwd, QString(),
                                                Zip::CompressionLevel(level)));
    QVERIFY(ZipHelper::isValidZip(archive, pwd));

    const QMap<QString, QByteArray> expected = treeOf(m_source);
    QStringList listed = ZipHelper::listContents(archive, pwd);
    listed.sort();
    QCOMPARE(listed, QStringList(expected.keys()));

    const QString out = freshDir();
    QVERIFY(ZipHelper::extractAll(archive, out, pwd));
    QCOMPARE(treeOf(out), expected);
    QCOMPARE(QFileInfo(out + QStringLiteral("/readme.TXT")).lastModified(), m_stamp);
    QCOMPARE(QFileInfo(out + QStringLiteral("/images/photo.bin")).lastModified(), m_stamp);

    const auto infos = ZipHelper::listContentInfo(archive, pwd);
    for (const UnZip::ZipEntry& e : infos) {
        QCOMPARE(e.encrypted, pwd != nullptr && e.type == UnZip::File);
        QCOMPARE(e.type == UnZip::Directory, e.filename.endsWith(QLatin1Char('/')));
        if (e.type == UnZip::File) {
            QCOMPARE(qint64(e.uncompressedSize), qint64(expected.value(e.filename).size()));
            QCOMPARE(e.crc32, crc32Of(expected.value(e.filename)));
            QCOMPARE(e.lastModified, m_stamp);
        }
    }
}

void TestZipHelper::folderPrefixes()
{
    const QString withFolder = freshPath(QStringLiteral("with.zip"));
    const QString contents = freshPath(QStringLiteral("contents.zip"));
    const QString files = freshPath(QStringLiteral("files.zip"));
    QVERIFY(ZipHelper::zipWithDirectory(m_source, withFolder));
    QVERIFY(ZipHelper::zipWithDirectoryContents(m_source, contents));
    QVERIFY(ZipHelper::zipWithFiles({ m_source + QStringLiteral("/readme.TXT"), m_source + QStringLiteral("/logs") },
                                    files));

    const QStringList a = ZipHelper::listContents(withFolder);
    const QStringList b = ZipHelper::listContents(contents);
    QCOMPARE(a.first(), QStringLiteral("package/"));
    QCOMPARE(a.size(), b.size() + 1);
    for (const QString& name : b)
        QVERIFY2(a.contains(QStringLiteral("package/") + name), qPrintable(name));
    QCOMPARE(ZipHelper::listContents(files),
             QStringList({ QStringLiteral("readme.TXT"), QStringLiteral("logs/"), QStringLiteral("logs/empty/") }));

    // The source folder must exist.
    QVERIFY(!ZipHelper::zipWithDirectory(m_tmp.filePath(QStringLiteral("nowhere")), freshPath(QStringLiteral("x.zip"))));
}

void TestZipHelper::levelPerFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("expected");
    QTest::newRow("text upper case suffix") << "readme.TXT" << 1000 << 11 << 9;
    QTest::newRow("double suffix") << "backup.tar.gz" << 1000 << 11 << 5;
    QTest::newRow("archive") << "package.zip" << 1000 << 12 << 0;
    QTest::newRow("tarball") << "data.tgz" << 1000 << 12 << 0;
    QTest::newRow("video") << "clip.MKV" << 1000 << 11 << 2;
    QTest::newRow("picture") << "splash.jpeg" << 1000 << 12 << 2;
    QTest::newRow("source") << "main.cpp" << 1000 << 12 << 9;
    QTest::newRow("unknown") << "font.ttf" << 1000 << 11 << 5;
    QTest::newRow("no suffix") << "Makefile" << 1000 << 11 << 5;
    QTest::newRow("cpu level") << "readme.txt" << 1000 << 10 << 5;
    QTest::newRow("explicit") << "package.zip" << 1000 << 3 << 3;
    QTest::newRow("store") << "readme.txt" << 1000 << 0 << 0;
    QTest::newRow("59 bytes") << "readme.txt" << 59 << 9 << 0;
    QTest::newRow("60 bytes") << "readme.txt" << 60 << 9 << 9;
    QTest::newRow("59 bytes auto") << "readme.txt" << 59 << 12 << 0;
}

void TestZipHelper::levelPerFile()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(int, level);
    QFETCH(int, expected);
    QCOMPARE(Zip::deflateLevel(name, size, Zip::CompressionLevel(level)), expected);
}

void TestZipHelper::levelInArchive()
{
    // zlib's own output at a level, without the qCompress framing (4 + 2 + 4 bytes).
    const QByteArray text = wordText(40000, 7);
    const qint64 sizeAt9 = qCompress(text, 9).size() - 10;
    const qint64 sizeAt5 = qCompress(text, 5).size() - 10;
    QVERIFY(sizeAt9 != sizeAt5);

    const QString dir = freshDir();
    QVERIFY(FolderTree::writeFile(dir + QStringLiteral("/readme.TXT"), text));
    QVERIFY(FolderTree::writeFile(dir + QStringLiteral("/backup.tar.gz"), text));
    const QString archive = freshPath(QStringLiteral("levels.zip"));
    QVERIFY(ZipHelper::zipWithDirectoryContents(dir, archive, false, nullptr, QString(), Zip::AutoMIME));

    const auto infos = ZipHelper::listContentInfo(archive);
    QCOMPARE(infos.size(), 2);
    for (const UnZip::ZipEntry& e : infos) {
        QCOMPARE(e.compression, UnZip::Deflated);
        QCOMPARE(qint64(e.compressedSize), e.filename == QLatin1String("readme.TXT") ? sizeAt9 : sizeAt5);
    }
}

void TestZipHelper::shortFilesStoredAtEveryLevel()
{
    const QString dir = freshDir();
    QVERIFY(FolderTree::writeFile(dir + QStringLiteral("/short.txt"), QByteArray(59, 'a')));
    QVERIFY(FolderTree::writeFile(dir + QStringLiteral("/long.txt"), QByteArray(60, 'a')));
    for (int level = 0; level <= 12; ++level) {
        const QString archive = freshPath(QStringLiteral("short.zip"));
        QVERIFY(ZipHelper::zipWithDirectoryContents(dir, archive, false, nullptr, QString(),
                                                    Zip::CompressionLevel(level)));
        const auto infos = ZipHelper::listContentInfo(archive);
        QCOMPARE(infos.size(), 2);
        for (const UnZip::ZipEntry& e : infos) {
            const bool stored = e.filename == QLatin1String("short.txt") || level == 0;
            QCOMPARE(e.compression, stored ? UnZip::NoCompression : UnZip::Deflated);
        }
        QCOMPARE(ZipHelper::extractFileContent(archive, QStringLiteral("short.txt")), QByteArray(59, 'a'));
    }
}

void TestZipHelper::wrongPassword()
{
    const QString archive = freshPath(QStringLiteral("locked.zip"));
    QVERIFY(ZipHelper::zipWithDirectoryContents(m_source, archive, false, "right"));

    {
        MessageCapture capture;
        QVERIFY(ZipHelper::extractFileContent(archive, QStringLiteral("readme.TXT"), "wrong").isEmpty());
        QVERIFY(capture.contains(QStringLiteral("Unable to decrypt readme.TXT")));
    }
    {
        MessageCapture capture;
        QVERIFY(ZipHelper::extractFileContent(archive, QStringLiteral("readme.TXT")).isEmpty());
        QVERIFY(capture.contains(QStringLiteral("Unable to decrypt readme.TXT")));
    }
    // One wrong password in 256 passes the header's check byte; it must still be refused as a password.
    for (int i = 0; i < 600; ++i) {
        MessageCapture capture;
        const QByteArray password = "wrong" + QByteArray::number(i);
        QVERIFY(ZipHelper::extractFileContent(archive, QStringLiteral("readme.TXT"), password.constData()).isEmpty());
        QVERIFY2(capture.contains(QStringLiteral("Unable to decrypt readme.TXT")), password.constData());
    }
    // Nothing is left behind for the entries that could not be decrypted.
    const QString out = freshDir();
    QVERIFY(!ZipHelper::extractAll(archive, out, "wrong"));
    const QMap<QString, QByteArray> left = treeOf(out);
    for (auto it = left.cbegin(); it != left.cend(); ++it)
        QVERIFY2(it.key().endsWith(QLatin1Char('/')), qPrintable(it.key()));

    QCOMPARE(ZipHelper::extractFileContent(archive, QStringLiteral("readme.TXT"), "right"),
             readAll(m_source + QStringLiteral("/readme.TXT")));
}

void TestZipHelper::missingEntry()
{
    const QString archive = freshPath(QStringLiteral("m.zip"));
    QVERIFY(ZipHelper::zipWithDirectoryContents(m_source, archive));
    QVERIFY(ZipHelper::extractFileContent(archive, QStringLiteral("not/there.txt")).isEmpty());
    QVERIFY(!ZipHelper::extractFile(archive, QStringLiteral("not/there.txt"), freshDir()));
    QVERIFY(ZipHelper::extractFileContent(freshPath(QStringLiteral("absent.zip")), QStringLiteral("readme.TXT")).isEmpty());
    // Backslash separators are accepted for the name.
    QCOMPARE(ZipHelper::extractFileContent(archive, QStringLiteral("project\\qml\\main.qml")),
             readAll(m_source + QStringLiteral("/project/qml/main.qml")));
    const QString out = freshDir();
    QVERIFY(ZipHelper::extractFiles({ QStringLiteral("readme.TXT"), QStringLiteral("project/qml/main.qml") }, archive, out));
    QCOMPARE(treeOf(out).keys(), QStringList({ QStringLiteral("project/"), QStringLiteral("project/qml/"),
                                               QStringLiteral("project/qml/main.qml"), QStringLiteral("readme.TXT") }));
}

void TestZipHelper::containsFile()
{
    const QString archive = freshPath(QStringLiteral("c.zip"));
    QVERIFY(ZipHelper::zipWithDirectoryContents(m_source, archive));
    QVERIFY(ZipHelper::containsFile(archive, QStringLiteral("config.txrc")));
    QVERIFY(!ZipHelper::containsFile(archive, QStringLiteral("CONFIG.txrc")));
    QVERIFY(ZipHelper::containsFile(archive, QStringLiteral("CONFIG.txrc"), nullptr, true, Qt::CaseInsensitive));
    QVERIFY(!ZipHelper::containsFile(archive, QStringLiteral("main.qml")));
    QVERIFY(ZipHelper::containsFile(archive, QStringLiteral("main.qml"), nullptr, false));
    QVERIFY(ZipHelper::containsFile(archive, QStringLiteral("project/qml/main.qml")));
}

void TestZipHelper::renameRule()
{
    const QString file = m_source + QStringLiteral("/config.txrc");
    const QString archive = freshPath(QStringLiteral("r.zip"));
    QVERIFY(FolderTree::writeFile(archive, "keep me"));
    QVERIFY(!ZipHelper::zipWithFiles({ file }, archive, false));
    QCOMPARE(readAll(archive), QByteArray("keep me"));

    QVERIFY(ZipHelper::zipWithFiles({ file }, archive, true));
    QCOMPARE(readAll(archive), QByteArray("keep me"));
    QCOMPARE(ZipHelper::listContents(archive + QStringLiteral("0")), QStringList(QStringLiteral("config.txrc")));
    QVERIFY(ZipHelper::zipWithFiles({ file }, archive, true));
    QVERIFY(ZipHelper::isValidZip(archive + QStringLiteral("1")));
}

void TestZipHelper::comments()
{
    const QString file = m_source + QStringLiteral("/readme.TXT");
    const QString plain = freshPath(QStringLiteral("c1.zip"));
    QVERIFY(ZipHelper::zipWithFiles({ file }, plain, false, nullptr, QStringLiteral("Package für Gerät")));
    QCOMPARE(ZipHelper::comment(plain), QStringLiteral("Package für Gerät"));

    // The longest comment puts the end record as far from the end as it can be.
    const QString longest = freshPath(QStringLiteral("c2.zip"));
    QVERIFY(ZipHelper::zipWithFiles({ file }, longest, false, nullptr, QString(65535, QLatin1Char('c'))));
    QCOMPARE(ZipHelper::comment(longest), QString(65535, QLatin1Char('c')));
    QCOMPARE(ZipHelper::listContents(longest), QStringList(QStringLiteral("readme.TXT")));

    const QString tooLong = freshPath(QStringLiteral("c3.zip"));
    QVERIFY(!ZipHelper::zipWithFiles({ file }, tooLong, false, nullptr, QString(65536, QLatin1Char('c'))));
    QVERIFY(!QFile::exists(tooLong));
}

void TestZipHelper::overlongNameRefused()
{
    const QString archive = freshPath(QStringLiteral("long.zip"));
    Zip zip;
    QCOMPARE(zip.createArchive(archive), Zip::Ok);
    QCOMPARE(zip.addFile(m_source + QStringLiteral("/readme.TXT"), QString(65530, QLatin1Char('d'))),
             Zip::InvalidArgument);
    QVERIFY(!zip.isOpen());
    QVERIFY(!QFile::exists(archive));

    // Just within the limit is fine.
    QCOMPARE(zip.createArchive(archive), Zip::Ok);
    const QString root(65535 - 11, QLatin1Char('d'));
    QCOMPARE(zip.addFile(m_source + QStringLiteral("/readme.TXT"), root), Zip::Ok);
    QCOMPARE(zip.closeArchive(), Zip::Ok);
    QCOMPARE(ZipHelper::listContents(archive), QStringList(root + QStringLiteral("/readme.TXT")));
}

void TestZipHelper::failedWriteDeletesArchive()
{
    const QString archive = freshPath(QStringLiteral("f.zip"));
    MessageCapture capture;
    QVERIFY(!ZipHelper::zipWithFiles({ m_source + QStringLiteral("/readme.TXT"), m_tmp.filePath(QStringLiteral("missing.txt")) },
                                     archive));
    QVERIFY(!QFile::exists(archive));
    QVERIFY(capture.contains(QStringLiteral("An error occurred while opening %1").arg(m_tmp.filePath(QStringLiteral("missing.txt")))));

    QVERIFY(!ZipHelper::zipWithFiles({ m_source + QStringLiteral("/readme.TXT") },
                                     m_tmp.filePath(QStringLiteral("no/such/folder/x.zip"))));
    QVERIFY(capture.contains(QStringLiteral("Unable to open device for writing.")));
}

void TestZipHelper::archiveInsideSource()
{
    const QString dir = freshDir();
    QVERIFY(FolderTree::writeFile(dir + QStringLiteral("/data.txt"), wordText(5000, 8)));
    const QString archive = dir + QStringLiteral("/self.zip");
    QVERIFY(ZipHelper::zipWithDirectoryContents(dir, archive, false, nullptr, QString(), Zip::Store));
    QCOMPARE(ZipHelper::listContents(archive), QStringList(QStringLiteral("data.txt")));
    QVERIFY(ZipHelper::zipWithFiles({ dir + QStringLiteral("/data.txt"), archive + QStringLiteral("0") }, archive, true));
    QCOMPARE(ZipHelper::listContents(archive + QStringLiteral("0")), QStringList(QStringLiteral("data.txt")));
}

void TestZipHelper::unsafeNamesRefused_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("parent") << QByteArray("../evil.txt");
    QTest::newRow("nested parent") << QByteArray("a/../../evil.txt");
    QTest::newRow("parent inside") << QByteArray("a/../evil.txt");
    QTest::newRow("absolute") << QByteArray("ABSOLUTE");
    QTest::newRow("drive") << QByteArray("C:evil.txt");
    QTest::newRow("drive root") << QByteArray("C:/evil.txt");
    QTest::newRow("unc") << QByteArray("\\\\server\\share\\evil.txt");
    QTest::newRow("unc slashes") << QByteArray("//server/share/evil.txt");
    QTest::newRow("backslash parent") << QByteArray("..\\evil.txt");
    QTest::newRow("backslash") << QByteArray("a\\evil.txt");
    QTest::newRow("empty component") << QByteArray("a//evil.txt");
    QTest::newRow("dot") << QByteArray("./evil.txt");
    QTest::newRow("nul") << QByteArray("evil.txt\0.bin", 13);
}

void TestZipHelper::unsafeNamesRefused()
{
    QFETCH(QByteArray, name);
    const QString parent = freshDir();
    const QString out = parent + QStringLiteral("/out");
    QVERIFY(QDir().mkpath(out));
    if (name == "ABSOLUTE")
        name = (parent + QStringLiteral("/evil.txt")).toUtf8();

    const QString archive = saveArchive(craftArchive({ { "good.txt", "fine" },
                                                       { "folder/", QByteArray() },
                                                       { name, "evil" } }));
    MessageCapture capture;
    QVERIFY(!ZipHelper::extractAll(archive, out));
    QVERIFY(!g_messages.filter(QStringLiteral("Refusing entry outside the output folder")).isEmpty());
    QCOMPARE(treeOf(parent).keys(), QStringList({ QStringLiteral("out/"), QStringLiteral("out/folder/"),
                                                  QStringLiteral("out/good.txt") }));
    QVERIFY(!ZipHelper::extractFile(archive, QString::fromUtf8(name), out));
    QCOMPARE(treeOf(parent).size(), 3);
}

void TestZipHelper::brokenArchives_data()
{
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QStringList>("listing"); // what stays readable
    QTest::addColumn<bool>("alphaReadable");
    QTest::addColumn<QString>("message");

    const QByteArray base = m_corpusBase;
    const Layout l = layoutOf(base);
    const QStringList both = { QStringLiteral("alpha.txt"), QStringLiteral("beta.bin") };
    const QStringList alphaOnly = { QStringLiteral("alpha.txt") };
    const QStringList betaOnly = { QStringLiteral("beta.bin") };
    const QString closing = QStringLiteral("Corrupted or invalid zip archive. Closing.");
    const QString partly = QStringLiteral("Corrupted zip archive. Some files might be extracted.");
    const QString corrupted = QStringLiteral("Corrupted entry");
    const qint64 alphaData = l.local[0] + 30 + 9;
    auto patched = [&base](const std::function<void(QByteArray&)>& change) {
        QByteArray copy = base;
        change(copy);
        return copy;
    };

    QTest::newRow("intact") << base << both << true << QString();
    QTest::newRow("empty file") << QByteArray() << QStringList() << false << closing;
    QTest::newRow("truncated to 21") << base.left(21) << QStringList() << false << closing;
    QTest::newRow("truncated to half") << base.left(base.size() / 2) << QStringList() << false << closing;
    QTest::newRow("last byte missing") << base.left(base.size() - 1) << QStringList() << false << closing;
    QTest::newRow("directory beyond file")
        << patched([&](QByteArray& a) { set32(a, l.end + 16, 0x7ffffff0u); }) << QStringList() << false << closing;
    QTest::newRow("directory size huge")
        << patched([&](QByteArray& a) { set32(a, l.end + 12, 0xffffff00u); }) << QStringList() << false << closing;
    QTest::newRow("entry count huge")
        << patched([&](QByteArray& a) { set16(a, l.end + 8, 0xffff); set16(a, l.end + 10, 0xffff); })
        << QStringList() << false << closing;
    QTest::newRow("spanned archive")
        << patched([&](QByteArray& a) { set16(a, l.end + 4, 1); }) << QStringList() << false << closing;
    QTest::newRow("local header beyond file")
        << patched([&](QByteArray& a) { set32(a, l.central[0] + 42, 0x7ffffff0u); }) << QStringList() << false << closing;
    QTest::newRow("compressed size lies")
        << patched([&](QByteArray& a) { set32(a, l.central[0] + 20, 0xfffffff0u); }) << QStringList() << false << closing;
    QTest::newRow("uncompressed size huge")
        << patched([&](QByteArray& a) { set32(a, l.central[0] + 24, 0xfffffff0u); }) << QStringList() << false << closing;
    QTest::newRow("second record broken")
        << patched([&](QByteArray& a) { a[l.central[1]] = 'X'; }) << alphaOnly << true << partly;
    QTest::newRow("second name length past directory")
        << patched([&](QByteArray& a) { set16(a, l.central[1] + 28, 0xffff); }) << alphaOnly << true << partly;
    QTest::newRow("stored size lies")
        << patched([&](QByteArray& a) { set32(a, l.central[1] + 24, get32(a, l.central[1] + 24) + 1); })
        << alphaOnly << true << partly;
    QTest::newRow("same offset twice")
        << patched([&](QByteArray& a) { set32(a, l.central[1] + 42, quint32(l.local[0])); })
        << QStringList() << false << closing;
    QTest::newRow("header inside other data")
        << patched([&](QByteArray& a) { set32(a, l.central[1] + 42, quint32(alphaData + 40)); })
        << QStringList() << false << closing;
    QTest::newRow("uncompressed size too small")
        << patched([&](QByteArray& a) { set32(a, l.central[0] + 24, 100); }) << both << false << corrupted;
    QTest::newRow("bad crc")
        << patched([&](QByteArray& a) { set32(a, l.central[0] + 16, get32(a, l.central[0] + 16) ^ 1u); })
        << both << false << corrupted;
    QTest::newRow("damaged deflate data")
        << patched([&](QByteArray& a) { for (int i = 20; i < 60; ++i) a[alphaData + i] = char(0xff); })
        << both << false << corrupted;
    QTest::newRow("local signature broken")
        << patched([&](QByteArray& a) { a[l.local[0] + 2] = 9; }) << both << false
        << QStringLiteral("Filename in local header mismatches.");
    QTest::newRow("local name differs")
        << patched([&](QByteArray& a) { a[l.local[0] + 30] = 'A'; }) << both << false
        << QStringLiteral("Filename in local header mismatches.");
    QTest::newRow("local extra length lies")
        << patched([&](QByteArray& a) { set16(a, l.local[0] + 28, 0xffff); }) << both << false << corrupted;
}

void TestZipHelper::brokenArchives()
{
    QFETCH(QByteArray, archive);
    QFETCH(QStringList, listing);
    QFETCH(bool, alphaReadable);
    QFETCH(QString, message);

    const QString path = saveArchive(archive);
    MessageCapture capture;
    QCOMPARE(ZipHelper::listContents(path), listing);
    QCOMPARE(ZipHelper::isValidZip(path), message.isEmpty() || message == QLatin1String("Corrupted entry")
                                              || message.startsWith(QLatin1String("Filename")));
    QCOMPARE(ZipHelper::extractFileContent(path, QStringLiteral("alpha.txt")),
             alphaReadable ? m_alpha : QByteArray());
    if (!message.isEmpty())
        QVERIFY2(capture.contains(message), qPrintable(g_messages.join(QLatin1Char('\n'))));

    const QString out = freshDir();
    QCOMPARE(ZipHelper::extractAll(path, out), message.isEmpty());
    // Only complete, verified files are left behind.
    QMap<QString, QByteArray> expected;
    if (alphaReadable)
        expected.insert(QStringLiteral("alpha.txt"), m_alpha);
    if (listing.contains(QStringLiteral("beta.bin")))
        expected.insert(QStringLiteral("beta.bin"), m_beta);
    QCOMPARE(treeOf(out), expected);
}

void TestZipHelper::localHeaderPushesDataPastBound()
{
    // beta.bin is stored and last: a longer local extra field moves its data 40
    // bytes into the central directory, still inside the file. The entry must be
    // refused as corrupted before a single byte reaches the output.
    QByteArray archive = m_corpusBase;
    const Layout l = layoutOf(archive);
    const quint16 extra = get16(archive, l.local[1] + 28);
    set16(archive, l.local[1] + 28, quint16(extra + 40));
    const QString path = saveArchive(archive);

    MessageCapture capture;
    UnZip unzip;
    QCOMPARE(unzip.openArchive(path), UnZip::Ok);
    QBuffer sink;
    QVERIFY(sink.open(QIODevice::WriteOnly));
    QCOMPARE(unzip.extractFile(QStringLiteral("beta.bin"), &sink), UnZip::Corrupted);
    QCOMPARE(sink.data().size(), 0);
    QVERIFY(capture.contains(QStringLiteral("Corrupted entry")));
    unzip.closeArchive();

    // To disk: no file of the entry is created at all; the intact entry comes out.
    const QString out = freshDir();
    QVERIFY(!ZipHelper::extractFile(path, QStringLiteral("beta.bin"), out));
    QVERIFY(!QFileInfo::exists(out + QStringLiteral("/beta.bin")));
    QCOMPARE(ZipHelper::extractFileContent(path, QStringLiteral("alpha.txt")), m_alpha);
}

void TestZipHelper::inflationCapped()
{
    // The header claims 100 bytes; not one byte more may come out.
    QByteArray archive = m_corpusBase;
    set32(archive, layoutOf(archive).central[0] + 24, 100);
    UnZip unzip;
    QCOMPARE(unzip.openArchive(saveArchive(archive)), UnZip::Ok);
    QBuffer sink;
    QVERIFY(sink.open(QIODevice::WriteOnly));
    QCOMPARE(unzip.extractFile(QStringLiteral("alpha.txt"), &sink), UnZip::Corrupted);
    QVERIFY(sink.data().size() <= 100);
}

void TestZipHelper::endRecordSearchWindow()
{
    // Trailing bytes are tolerated while the end record stays in the last 65557 bytes.
    QByteArray near = m_corpusBase + QByteArray(65557 - 22, '\0');
    QCOMPARE(ZipHelper::listContents(saveArchive(near)).size(), 2);
    QByteArray far = m_corpusBase + QByteArray(65557 - 21, '\0');
    QVERIFY(ZipHelper::listContents(saveArchive(far)).isEmpty());
}

void TestZipHelper::unsupportedEntriesSkipped()
{
    const Layout l = layoutOf(m_corpusBase);
    QByteArray zip64 = m_corpusBase;
    set16(zip64, l.central[0] + 6, 45);
    {
        MessageCapture capture;
        QCOMPARE(ZipHelper::listContents(saveArchive(zip64)), QStringList(QStringLiteral("beta.bin")));
        QVERIFY(capture.contains(QStringLiteral("Unsupported PKZip version (45). Skipping file: alpha.txt")));
    }
    QByteArray method = m_corpusBase;
    set16(method, l.central[1] + 10, 12);
    {
        MessageCapture capture;
        QCOMPARE(ZipHelper::listContents(saveArchive(method)), QStringList(QStringLiteral("alpha.txt")));
        QVERIFY(capture.contains(QStringLiteral("Unsupported compression method. Skipping file.")));
    }
    {
        MessageCapture capture;
        const QString path = saveArchive(craftArchive({ { "", "x" }, { "b.txt", "bee" } }));
        QCOMPARE(ZipHelper::listContents(path), QStringList(QStringLiteral("b.txt")));
        QVERIFY(capture.contains(QStringLiteral("Skipping file with no name.")));
    }
}

void TestZipHelper::deviceDestroyed()
{
    auto* buffer = new QBuffer;
    buffer->setData(m_corpusBase);
    QVERIFY(buffer->open(QIODevice::ReadOnly));
    UnZip unzip;
    QCOMPARE(unzip.openArchive(buffer), UnZip::Ok);
    QCOMPARE(unzip.fileList().size(), 2);
    MessageCapture capture;
    delete buffer;
    QVERIFY(capture.contains(QStringLiteral("Unexpected device destruction detected.")));
    QVERIFY(!unzip.isOpen());
    QVERIFY(unzip.fileList().isEmpty());
    QBuffer sink;
    QCOMPARE(unzip.extractFile(QStringLiteral("alpha.txt"), &sink), UnZip::NoOpenArchive);
}

void TestZipHelper::missingOutputFolder()
{
    const QString archive = saveArchive(m_corpusBase);
    const QString out = m_tmp.filePath(QStringLiteral("not-made"));
    QVERIFY(!ZipHelper::extractAll(archive, out));
    QVERIFY(!ZipHelper::extractFile(archive, QStringLiteral("alpha.txt"), out));
    QVERIFY(!QFileInfo::exists(out));

    // A folder in the way of a file: that entry fails, the others are unpacked.
    const QString blocked = freshDir();
    QVERIFY(QDir().mkpath(blocked + QStringLiteral("/alpha.txt")));
    MessageCapture capture;
    QVERIFY(!ZipHelper::extractAll(archive, blocked));
    QVERIFY(capture.contains(QStringLiteral("Unable to open %1 for writing").arg(blocked + QStringLiteral("/alpha.txt"))));
    QCOMPARE(readAll(blocked + QStringLiteral("/beta.bin")), m_beta);
}

QTEST_GUILESS_MAIN(TestZipHelper)
#include "tst_ziphelper.moc"
