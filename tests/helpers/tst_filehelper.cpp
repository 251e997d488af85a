#include "helpers/filehelper.h"

#include <QtTest>

#include <QCryptographicHash>
#include <QDateTime>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

using Orvane::Tavrix::Common::FileHelper;

namespace {

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write(data) == data.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return geteuid() == 0;
#else
    return false;
#endif
}

} // namespace

class TestFileHelper : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void pathsAndNames();
    void fileTypes();
    void fileNameFormat_data();
    void fileNameFormat();
    void windowsNames_data();
    void windowsNames();
    void characterLists();
    void images();
    void folders();
    void removeKeepsLinkTargets();
    void removeGivenALinkRemovesTheLinkOnly();
    void removeReportsFailure();
    void copyDirectory();
    void standardLocations();
    void writeKeepsOldFileOnFailure();
    void writeFailingMidwayKeepsOldFile();
    void base64AndContent();
    void digests();
    void variants_data();
    void variants();
    void variantStreamFormat();
    void shell();

private:
    QScopedPointer<QTemporaryDir> m_dir;
    QString path(const QString& name) const { return m_dir->filePath(name); }
};

void TestFileHelper::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void TestFileHelper::pathsAndNames()
{
    QCOMPARE(FileHelper::normalizeFilePath(QStringLiteral("  /a/b/ \\ / ")), QStringLiteral("/a/b"));
    QCOMPARE(FileHelper::normalizeFilePath(QStringLiteral("C:\\data\\")), QStringLiteral("C:\\data"));
    QCOMPARE(FileHelper::getNameFromPath(QStringLiteral("C:\\x\\y.txt")), QStringLiteral("y.txt"));
    QCOMPARE(FileHelper::getNameFromPath(QStringLiteral("/x/folder/")), QStringLiteral("folder"));
    QCOMPARE(FileHelper::getNameFromPath(QStringLiteral("plain")), QStringLiteral("plain"));
    QCOMPARE(FileHelper::getParentPath(QStringLiteral("C:\\x\\y.txt")), QStringLiteral("C:/x"));
    QCOMPARE(FileHelper::getParentPath(QStringLiteral("/x/folder/")), QStringLiteral("/x"));
    QCOMPARE(FileHelper::getParentPath(QStringLiteral("plain")), QString());

    QCOMPARE(FileHelper::getFileExtension(QStringLiteral("/a/b.tar.gz")), QStringLiteral("gz"));
    QCOMPARE(FileHelper::getFileExtension(QStringLiteral("/a.d/readme")), QString());
    QCOMPARE(FileHelper::getFileExtension(QStringLiteral("C:\\p\\Image.PNG")), QStringLiteral("PNG"));
    QCOMPARE(FileHelper::compareFileExtension(QStringLiteral("a.PNG"), QStringLiteral("b.png"), Qt::CaseInsensitive), 0);
    QVERIFY(FileHelper::compareFileExtension(QStringLiteral("a.PNG"), QStringLiteral("b.png"), Qt::CaseSensitive) != 0);
    QVERIFY(FileHelper::compareFileExtension(QStringLiteral("a.bmp"), QStringLiteral("b.png")) < 0);
}

void TestFileHelper::fileTypes()
{
    const QString file = path(QStringLiteral("f.txt"));
    QVERIFY(writeFile(file, "x"));
    const QString folder = path(QStringLiteral("sub"));
    QVERIFY(QDir().mkdir(folder));
    QCOMPARE(FileHelper::getFileType(file), FileHelper::NormalFileType);
    QCOMPARE(FileHelper::getFileType(folder), FileHelper::DirectoryFileType);
    QCOMPARE(FileHelper::getFileType(QDir::rootPath()), FileHelper::RootFileType);
    QCOMPARE(FileHelper::getFileType(path(QStringLiteral("missing"))), FileHelper::NotExistFileType);
    QCOMPARE(FileHelper::getFileType(QString()), FileHelper::NotExistFileType);
    QVERIFY(FileHelper::isNormalFile(file));
    QVERIFY(!FileHelper::isNormalFile(folder));
    QVERIFY(FileHelper::isDirectory(folder));
    QVERIFY(FileHelper::isDirectory(QDir::rootPath()));
    QCOMPARE(FileHelper::findFileTarget(file), file);

#ifdef Q_OS_UNIX
    const QString fileLink = path(QStringLiteral("f.lnk"));
    const QString folderLink = path(QStringLiteral("sub.lnk"));
    const QString dangling = path(QStringLiteral("gone.lnk"));
    QVERIFY(QFile::link(file, fileLink));
    QVERIFY(QFile::link(folder, folderLink));
    QVERIFY(QFile::link(path(QStringLiteral("nothing")), dangling));
    QCOMPARE(FileHelper::getFileType(fileLink, false), FileHelper::LinkFileType);
    QCOMPARE(FileHelper::getFileType(fileLink, true), FileHelper::NormalFileType);
    QCOMPARE(FileHelper::getFileType(folderLink, true), FileHelper::DirectoryFileType);
    QVERIFY(!FileHelper::isDirectory(folderLink, false));
    QCOMPARE(FileHelper::getFileType(dangling, true), FileHelper::NotExistFileType);
    QCOMPARE(FileHelper::getFileType(dangling, false), FileHelper::LinkFileType);
    QCOMPARE(FileHelper::findFileTarget(fileLink), QFileInfo(file).absoluteFilePath());
#endif
}

void TestFileHelper::fileNameFormat_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "report.txt" << true;
    QTest::newRow("space inside") << "my report 2.txt" << true;
    QTest::newRow("punctuation") << "a~`!@#$%&'(){},._+=b" << true;
    QTest::newRow("brackets caret dash") << "[x]^-y" << true;
    QTest::newRow("trailing dot") << "name." << false;
    QTest::newRow("leading space") << " name" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("asterisk") << "a*b" << false;
    QTest::newRow("question") << "a?b" << false;
    QTest::newRow("slash") << "a/b" << false;
    QTest::newRow("backslash") << "a\\b" << false;
    QTest::newRow("colon") << "a:b" << false;
    QTest::newRow("semicolon") << "a;b" << false;
    QTest::newRow("tab") << "a\tb" << false;
    QTest::newRow("umlaut") << QStringLiteral("Grüße") << false;
    QTest::newRow("pound") << QStringLiteral("a£") << false;
}

void TestFileHelper::fileNameFormat()
{
    QFETCH(QString, name);
    QFETCH(bool, valid);
    QCOMPARE(FileHelper::isValidFileNameFormat(name), valid);
}

void TestFileHelper::windowsNames_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("valid");
    QTest::newRow("COM1") << "COM1" << false;
    QTest::newRow("CON with extension") << "/tmp/CON.txt" << false;
    QTest::newRow("con lower case") << "con.tar.gz" << false;
    QTest::newRow("LPT9 in folder") << "C:\\out\\LPT9" << false;
    QTest::newRow("NUL") << "NUL" << false;
    QTest::newRow("console log") << "console.log" << true;
    QTest::newRow("COM10") << "COM10" << true;
    QTest::newRow("AUXILIARY") << "AUXILIARY.txt" << true;
    QTest::newRow("folder with trailing slash") << "/a/data/" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("only slashes") << "//" << false;
}

void TestFileHelper::windowsNames()
{
    QFETCH(QString, path);
    QFETCH(bool, valid);
    QCOMPARE(FileHelper::isValidWindowsName(path), valid);
}

void TestFileHelper::characterLists()
{
    const QStringList illegal = FileHelper::illegalFileNameCharacters();
    QCOMPARE(illegal.size(), 11);
    for (const QString& c : illegal) {
        QCOMPARE(c.size(), 1);
        QVERIFY2(!FileHelper::isValidFileNameFormat(QStringLiteral("a") + c + QStringLiteral("b")), qPrintable(c));
    }
    QVERIFY(illegal.contains(QString(QChar(0x00A6))));
    QVERIFY(illegal.contains(QString(QChar(0x00AC))));
    const QStringList reserved = FileHelper::windowsReservedNames();
    QCOMPARE(reserved.size(), 22);
    QCOMPARE(QSet<QString>(reserved.begin(), reserved.end()).size(), 22);
    QVERIFY(reserved.contains(QStringLiteral("COM9")) && reserved.contains(QStringLiteral("LPT1")));
    QVERIFY(FileHelper::validFileNameExpression().isValid());
}

void TestFileHelper::images()
{
    QCOMPARE(FileHelper::validImageFileExtensions(false).size(), 9);
    QVERIFY(FileHelper::validImageFileExtensions(true).contains(QStringLiteral(".svgz")));
    QVERIFY(FileHelper::isValidImageFileExtension(QStringLiteral("/x/photo.JPG")));
    QVERIFY(!FileHelper::isValidImageFileExtension(QStringLiteral("/x/photo.webp")));

    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QString png = path(QStringLiteral("a.png"));
    const QString jpg = path(QStringLiteral("b.jpg"));
    const QString disguised = path(QStringLiteral("c.png"));
    QVERIFY(image.save(png, "PNG"));
    QVERIFY(image.save(jpg, "JPEG"));
    QVERIFY(image.save(disguised, "JPEG"));
    QCOMPARE(FileHelper::getImageSize(png), QSize(40, 30));
    QCOMPARE(FileHelper::getImageSize(jpg), QSize(40, 30));
    QVERIFY(FileHelper::isValidImage(png));
    QVERIFY(FileHelper::isSameImageExtensionFormat(png));
    QVERIFY(FileHelper::isSameImageExtensionFormat(jpg)); // JPG counts as JPEG
    QVERIFY(!FileHelper::isSameImageExtensionFormat(disguised));

    const QString svg = path(QStringLiteral("d.svg"));
    QVERIFY(writeFile(svg, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"48\">"
                           "<rect width=\"10\" height=\"10\"/></svg>"));
    QCOMPARE(FileHelper::getImageSize(svg), QSize(64, 48));
    const QString brokenSvg = path(QStringLiteral("e.svg"));
    QVERIFY(writeFile(brokenSvg, "<svg this is not xml"));
    QVERIFY(!FileHelper::getImageSize(brokenSvg).isValid());
    QVERIFY(!FileHelper::isValidImage(brokenSvg));

    const QString text = path(QStringLiteral("f.txt"));
    QVERIFY(writeFile(text, "hello"));
    QVERIFY(!FileHelper::isValidImage(text));
    const QString brokenPng = path(QStringLiteral("g.png"));
    QVERIFY(writeFile(brokenPng, "not a png"));
    QVERIFY(!FileHelper::isValidImage(brokenPng));
    QVERIFY(!FileHelper::isValidImage(path(QStringLiteral("missing.png"))));
}

void TestFileHelper::folders()
{
    const QString nested = path(QStringLiteral("a/b/c"));
    QVERIFY(FileHelper::createDirectory(nested));
    QVERIFY(QFileInfo(nested).isDir());
    QVERIFY(FileHelper::createDirectory(nested)); // already there
    QVERIFY(writeFile(path(QStringLiteral("blocker")), "x"));
    QVERIFY(!FileHelper::createDirectory(path(QStringLiteral("blocker/sub"))));

    QVERIFY(!FileHelper::removeDirectory(path(QStringLiteral("a")))); // not empty
    QVERIFY(FileHelper::removeDirectory(nested));
    QVERIFY(!QFileInfo::exists(nested));

    QVERIFY(writeFile(path(QStringLiteral("a/b/.hidden")), "h"));
    QVERIFY(writeFile(path(QStringLiteral("a/one.txt")), "1"));
    QStringList files;
    FileHelper::recursiveAddDirectoryFiles(QDir(path(QStringLiteral("a"))), files);
    QCOMPARE(files.size(), 2);
    QVERIFY(files.contains(QDir::toNativeSeparators(QFileInfo(path(QStringLiteral("a/b/.hidden"))).absoluteFilePath())));

    QVERIFY(FileHelper::removeDirectoryAndContent(path(QStringLiteral("a"))));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("a"))));
    QVERIFY(FileHelper::removeDirectoryAndContent(path(QStringLiteral("never-existed"))));
}

void TestFileHelper::removeKeepsLinkTargets()
{
#ifdef Q_OS_UNIX
    const QString outside = path(QStringLiteral("outside"));
    QVERIFY(FileHelper::createDirectory(outside));
    QVERIFY(writeFile(outside + QStringLiteral("/keep.txt"), "keep"));
    const QString victim = path(QStringLiteral("victim"));
    QVERIFY(FileHelper::createDirectory(victim));
    QVERIFY(QFile::link(outside, victim + QStringLiteral("/link")));

    QStringList files;
    FileHelper::recursiveAddDirectoryFiles(QDir(victim), files);
    QVERIFY(files.isEmpty()); // links to folders are not followed

    QVERIFY(FileHelper::removeDirectoryAndContent(victim));
    QVERIFY(!QFileInfo::exists(victim));
    QCOMPARE(readFile(outside + QStringLiteral("/keep.txt")), QByteArray("keep"));
#else
    QSKIP("needs symbolic links");
#endif
}

void TestFileHelper::removeGivenALinkRemovesTheLinkOnly()
{
#ifdef Q_OS_UNIX
    const QString target = path(QStringLiteral("target"));
    QVERIFY(QDir().mkpath(target + QStringLiteral("/sub")));
    QVERIFY(writeFile(target + QStringLiteral("/keep.txt"), "keep"));
    QVERIFY(writeFile(target + QStringLiteral("/sub/deep.txt"), "deep"));
    const QString link = path(QStringLiteral("link"));
    QVERIFY(QFile::link(target, link));

    QVERIFY(FileHelper::removeDirectoryAndContent(link));
    QVERIFY(!QFileInfo(link).isSymLink());
    QCOMPARE(readFile(target + QStringLiteral("/keep.txt")), QByteArray("keep"));
    QCOMPARE(readFile(target + QStringLiteral("/sub/deep.txt")), QByteArray("deep"));
    // Written with a trailing separator, as paths from a folder picker may be.
    QVERIFY(QFile::link(target, link));
    QVERIFY(FileHelper::removeDirectoryAndContent(link + QLatin1Char('/')));
    QVERIFY(!QFileInfo(link).isSymLink());
    QVERIFY(QFileInfo::exists(target + QStringLiteral("/keep.txt")));
    // A dangling link goes as well.
    QVERIFY(FileHelper::removeDirectoryAndContent(target));
    QVERIFY(QFile::link(target, link));
    QVERIFY(FileHelper::removeDirectoryAndContent(link));
    QVERIFY(!QFileInfo(link).isSymLink());
#else
    QSKIP("needs symbolic links");
#endif
}

void TestFileHelper::removeReportsFailure()
{
#ifdef Q_OS_UNIX
    if (runningAsRoot())
        QSKIP("permissions do not bind root");
    const QString locked = path(QStringLiteral("locked"));
    QVERIFY(FileHelper::createDirectory(locked));
    QVERIFY(writeFile(locked + QStringLiteral("/f.txt"), "x"));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^removeDirectoryAndContent failed to delete .*f\\.txt$")));
    const bool removed = FileHelper::removeDirectoryAndContent(locked);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!removed);
    QVERIFY(QFileInfo::exists(locked + QStringLiteral("/f.txt")));
#else
    QSKIP("needs POSIX permissions");
#endif
}

void TestFileHelper::copyDirectory()
{
    const QString source = path(QStringLiteral("src"));
    QVERIFY(FileHelper::createDirectory(source + QStringLiteral("/deep/er")));
    QVERIFY(writeFile(source + QStringLiteral("/top.txt"), "top"));
    QVERIFY(writeFile(source + QStringLiteral("/deep/er/low.bin"), QByteArray(3000, '\x07')));
    QVERIFY(FileHelper::createDirectory(source + QStringLiteral("/empty")));

    const QString target = path(QStringLiteral("copy/of/src"));
    QVERIFY(FileHelper::copyDirectory(source, target));
    QCOMPARE(readFile(target + QStringLiteral("/top.txt")), QByteArray("top"));
    QCOMPARE(readFile(target + QStringLiteral("/deep/er/low.bin")), QByteArray(3000, '\x07'));
    QVERIFY(QFileInfo(target + QStringLiteral("/empty")).isDir());

    // Into itself: refused instead of recursing forever.
    QVERIFY(!FileHelper::copyDirectory(source, source + QStringLiteral("/inner")));
    QVERIFY(!FileHelper::copyDirectory(source, source));
    QVERIFY(!QFileInfo::exists(source + QStringLiteral("/inner")));
    QVERIFY(!FileHelper::copyDirectory(path(QStringLiteral("missing")), path(QStringLiteral("t"))));
    // A file already in the way stops the copy.
    QVERIFY(!FileHelper::copyDirectory(source, target));
}

void TestFileHelper::standardLocations()
{
    QCOMPARE(FileHelper::getStandardHomeLocation(), QDir::homePath());
    QVERIFY(!FileHelper::getStandardTemporatyLocation().isEmpty());
    QVERIFY(!FileHelper::getStandardDocumentLocation().contains(QLatin1Char('\\')));
    for (const QString& location : { FileHelper::getStandardDesktopLocation(), FileHelper::getStandardPictureLocation(),
                                     FileHelper::getStandardMusicLocation(), FileHelper::getStandardMovieLocation() })
        QVERIFY(!location.isEmpty());
#ifdef Q_OS_UNIX
    // Without XDG user folders the downloads live in the home folder.
    const QString userDirs = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/user-dirs.dirs");
    if (!QFileInfo::exists(userDirs))
        QCOMPARE(FileHelper::getStandardDownloadLocation(), QDir::homePath() + QStringLiteral("/Downloads"));
#endif
    // Cached: the same answer after the environment changes.
    const QString home = FileHelper::getStandardHomeLocation();
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(path(QStringLiteral("elsewhere"))));
    QCOMPARE(FileHelper::getStandardHomeLocation(), home);
    qputenv("HOME", oldHome);
}

void TestFileHelper::writeKeepsOldFileOnFailure()
{
    const QString file = path(QStringLiteral("data.bin"));
    QVERIFY(FileHelper::writeDataToFile("first", file, false));
    QCOMPARE(readFile(file), QByteArray("first"));
    QVERIFY(!FileHelper::writeDataToFile("second", file, false));
    QCOMPARE(readFile(file), QByteArray("first"));
    QVERIFY(FileHelper::writeDataToFile("third", file, true));
    QCOMPARE(readFile(file), QByteArray("third"));
    QVERIFY(!FileHelper::writeDataToFile("x", m_dir->path(), true)); // a folder
    QVERIFY(!FileHelper::writeDataToFile("x", path(QStringLiteral("no/such/folder/f")), true));

    // Invalid Base64 writes nothing.
    QVERIFY(!FileHelper::writeBase64ToFile("@@not base64@@", file, true));
    QCOMPARE(readFile(file), QByteArray("third"));

#ifdef Q_OS_UNIX
    if (runningAsRoot())
        QSKIP("permissions do not bind root");
    const QString folder = path(QStringLiteral("readonly"));
    QVERIFY(FileHelper::createDirectory(folder));
    const QString good = folder + QStringLiteral("/good.txt");
    QVERIFY(writeFile(good, "good content"));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    const bool written = FileHelper::writeDataToFile("replacement", good, true);
    const bool written64 = FileHelper::writeBase64ToFile(QByteArray("replacement").toBase64(), good, true);
    const QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!written);
    QVERIFY(!written64);
    QCOMPARE(readFile(good), QByteArray("good content"));
    QCOMPARE(left, QStringList { QStringLiteral("good.txt") }); // no temporary leftovers
#endif
}

void TestFileHelper::writeFailingMidwayKeepsOldFile()
{
#ifdef Q_OS_UNIX
    // A file size limit makes the write fail part-way, for root as well.
    const QString good = path(QStringLiteral("settings.bin"));
    QVERIFY(writeFile(good, "good content"));
    struct rlimit old;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit limited = old;
    limited.rlim_cur = 4096;
    void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool written = FileHelper::writeDataToFile(QByteArray(256 * 1024, 'x'), good, true);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(!written);
    QCOMPARE(readFile(good), QByteArray("good content"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList { QStringLiteral("settings.bin") });
#else
    QSKIP("needs POSIX resource limits");
#endif
}

void TestFileHelper::base64AndContent()
{
    const QByteArray data("\x00\x01\xfe\xffhello", 9);
    const QString file = path(QStringLiteral("b64.bin"));
    QVERIFY(FileHelper::writeBase64ToFile(data.toBase64(), file, false));
    QCOMPARE(FileHelper::getFileRawData(file), data);
    QCOMPARE(FileHelper::getFileBase64(file), data.toBase64());
    QCOMPARE(FileHelper::rawDataFromBase64(data.toBase64()), data);
    QVERIFY(FileHelper::getFileRawData(path(QStringLiteral("missing"))).isEmpty());
    QVERIFY(FileHelper::getFileRawData(m_dir->path()).isEmpty());
}

void TestFileHelper::digests()
{
    const QString small = path(QStringLiteral("abc.txt"));
    QVERIFY(writeFile(small, "abc"));
    QCOMPARE(FileHelper::getFileMD4(small), QStringLiteral("a448017aaf21d8525fc10ae87aa6729d"));
    QCOMPARE(FileHelper::getFileMD5(small), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    QCOMPARE(FileHelper::getFileSHA1(small), QStringLiteral("a9993e364706816aba3e25717850c26c9cd0d89d"));

    // Larger than one read chunk.
    QByteArray big;
    for (int i = 0; i < 300000; ++i)
        big.append(char(i * 7));
    const QString large = path(QStringLiteral("big.bin"));
    QVERIFY(writeFile(large, big));
    QCOMPARE(FileHelper::getFileSHA1(large), QString::fromLatin1(QCryptographicHash::hash(big, QCryptographicHash::Sha1).toHex()));
    QCOMPARE(FileHelper::getFileMD5(large), QString::fromLatin1(QCryptographicHash::hash(big, QCryptographicHash::Md5).toHex()));

    const QString empty = path(QStringLiteral("empty"));
    QVERIFY(writeFile(empty, QByteArray()));
    QCOMPARE(FileHelper::getFileMD5(empty), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
    QVERIFY(FileHelper::getFileMD5(path(QStringLiteral("missing"))).isEmpty());
    QVERIFY(FileHelper::getFileSHA1(m_dir->path()).isEmpty());
}

void TestFileHelper::variants_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::newRow("int") << QVariant(-42);
    QTest::newRow("string") << QVariant(QStringLiteral("Grüße"));
    QTest::newRow("string list") << QVariant(QStringList { "a", "", "c" });
    QTest::newRow("bytes") << QVariant(QByteArray("\x00\x01\x02", 3));
    QTest::newRow("double") << QVariant(0.1);
    QTest::newRow("bool") << QVariant(true);
    QTest::newRow("date") << QVariant(QDate(2024, 2, 29));
    QTest::newRow("utc time") << QVariant(QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58), Qt::UTC));
    QVariantMap map;
    map.insert(QStringLiteral("count"), 3);
    map.insert(QStringLiteral("names"), QStringList { "x", "y" });
    QTest::newRow("map") << QVariant(map);
    QTest::newRow("list") << QVariant(QVariantList { 1, QStringLiteral("two"), 3.5 });
}

void TestFileHelper::variants()
{
    QFETCH(QVariant, value);
    const QByteArray binary = FileHelper::variantToBinary(value);
    QVERIFY(!binary.isEmpty());
    QCOMPARE(FileHelper::variantFromBinary(binary), value);

    const QString file = path(QStringLiteral("value.bin"));
    QVERIFY(FileHelper::variantToFile(value, file, false));
    QCOMPARE(FileHelper::variantFromFile(file), value);
    QVERIFY(!FileHelper::variantToFile(QVariant(7), file, false));
    QCOMPARE(FileHelper::variantFromFile(file), value);
}

void TestFileHelper::variantStreamFormat()
{
    // Big-endian and in the older stream format: type 10 (string), not-null flag, length, UTF-16BE.
    QCOMPARE(FileHelper::variantToBinary(QVariant(QStringLiteral("A"))),
             QByteArray("\x00\x00\x00\x0a\x00\x00\x00\x00\x02\x00\x41", 11));
    QCOMPARE(FileHelper::variantToBinary(QVariant(int(258))), QByteArray("\x00\x00\x00\x02\x00\x00\x00\x01\x02", 9));
    QVERIFY(!FileHelper::variantFromBinary(QByteArray("\x00\x00\x00\x0a\x00\x00\x00\x00\x09", 9)).isValid());
    // Types a project file never holds, and counts beyond the data, are refused unread:
    // a polygon and a text list claiming two billion items.
    QVERIFY(!FileHelper::variantFromBinary(QByteArray("\x00\x00\x00\xb7\x00\x7f\xff\xff\xff\x00", 10)).isValid());
    QVERIFY(!FileHelper::variantFromBinary(QByteArray("\x00\x00\x00\x0b\x00\x7f\xff\xff\xff\x00\x00\x00\x00", 13)).isValid());
    QVERIFY(!FileHelper::variantFromBinary(QByteArray()).isValid());
    QVERIFY(!FileHelper::variantFromFile(path(QStringLiteral("missing"))).isValid());
}

void TestFileHelper::shell()
{
    QVERIFY(!FileHelper::activateFileViewerSelectingFile(path(QStringLiteral("missing.txt"))));
    QVERIFY(!FileHelper::activateFileViewerSelectingFile(QDir::rootPath()));
    QVERIFY(!FileHelper::activateFileViewerSelectingFiles({ path(QStringLiteral("a")), path(QStringLiteral("b")) }));
    QVERIFY(!FileHelper::activateFileViewerSelectingFiles(QStringList()));

    const QIcon icon = FileHelper::getFileIcon(m_dir->path());
    if (QIcon::hasThemeIcon(QStringLiteral("inode-directory")) || QIcon::hasThemeIcon(QStringLiteral("folder")))
        QVERIFY(!icon.isNull());
    else
        QVERIFY(icon.isNull() || !icon.name().isEmpty());
}

QTEST_MAIN(TestFileHelper)
#include "tst_filehelper.moc"
