#include "filehelper.h"

#include "diagnostics.h"
#include "systemhelper.h"
#include "texthelper.h"
#include "windowshelper.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDebug>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QMimeDatabase>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <QSvgRenderer>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using Orvane::Tavrix::Common::lcFiles;
#endif

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

// Stored variants stay readable by the program's earlier releases.
const QDataStream::Version kVariantStreamVersion = QDataStream::Qt_4_8;
const qint64 kDigestChunkSize = 64 * 1024;

// Stored variants are checked before Qt reads them: Qt creates whatever type a stream
// names (polygons, images, registered classes) and reserves room for a list's whole
// count before reading a single item, so a few bytes of a project file could ask for
// gigabytes. Project files hold maps and lists of texts, numbers, truth values and dates,
// which have the same type numbers in this stream version as in Qt 6.
bool skipBytes(QDataStream& in, qint64 count)
{
    return count <= in.device()->bytesAvailable() && in.skipRawData(int(count)) == count;
}

bool skipText(QDataStream& in, bool utf16)
{
    quint32 length = 0;
    in >> length;
    if (in.status() != QDataStream::Ok)
        return false;
    if (length == 0xffffffff)
        return true; // a null text
    return (!utf16 || length % 2 == 0) && skipBytes(in, length);
}

// A count of items that each take at least itemBytes: more than the rest can hold is a lie.
bool readCount(QDataStream& in, quint32* count, qint64 itemBytes)
{
    in >> *count;
    return in.status() == QDataStream::Ok && qint64(*count) * itemBytes <= in.device()->bytesAvailable();
}

bool skipPlainVariant(QDataStream& in, int depth)
{
    quint32 type = 0;
    qint8 isNull = 0;
    in >> type >> isNull;
    if (in.status() != QDataStream::Ok || depth > 64)
        return false;
    constexpr qint64 SmallestVariant = 5; // type and null flag
    quint32 count = 0;
    switch (type) {
    case QMetaType::UnknownType:
        return skipText(in, true); // written with an empty text after it
    case QMetaType::Bool:
        return skipBytes(in, 1);
    case QMetaType::QChar:
        return skipBytes(in, 2);
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::QDate:
    case QMetaType::QTime:
        return skipBytes(in, 4);
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return skipBytes(in, 8);
    case QMetaType::QDateTime:
        return skipBytes(in, 9); // date, time and time spec
    case QMetaType::QString:
        return skipText(in, true);
    case QMetaType::QByteArray:
        return skipText(in, false);
    case QMetaType::QStringList:
        if (!readCount(in, &count, 4))
            return false;
        for (quint32 i = 0; i < count; ++i) {
            if (!skipText(in, true))
                return false;
        }
        return true;
    case QMetaType::QVariantList:
        if (!readCount(in, &count, SmallestVariant))
            return false;
        for (quint32 i = 0; i < count; ++i) {
            if (!skipPlainVariant(in, depth + 1))
                return false;
        }
        return true;
    case QMetaType::QVariantMap:
        if (!readCount(in, &count, 4 + SmallestVariant))
            return false;
        for (quint32 i = 0; i < count; ++i) {
            if (!skipText(in, true) || !skipPlainVariant(in, depth + 1))
                return false;
        }
        return true;
    default:
        return false;
    }
}

QString fileDigest(const QString& path, QCryptographicHash::Algorithm algorithm)
{
    if (!QFileInfo(path).isFile())
        return QString();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(algorithm);
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(kDigestChunkSize);
        if (chunk.isEmpty() && file.error() != QFileDevice::NoError)
            return QString();
        hash.addData(chunk);
    }
    return QString::fromLatin1(hash.result().toHex());
}

QString standardLocation(QStandardPaths::StandardLocation location)
{
    return TextHelper::toStandardPath(QStandardPaths::writableLocation(location));
}

#ifdef Q_OS_UNIX
// A real folder (not a link) of this user that nobody else may enter; one that is
// ours but open to others is closed.
bool makeFolderPrivate(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info;
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
        qCWarning(lcFiles).noquote() << QStringLiteral("Refusing %1: not a folder of this user").arg(path);
        return false;
    }
    if ((info.st_mode & 0077) != 0 && ::chmod(native.constData(), 0700) != 0)
        return false;
    return true;
}
#endif

// True when child is the folder itself or lies inside it.
bool isSameOrInside(const QString& folder, const QString& child)
{
    const QString a = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const QString b = QDir::cleanPath(QFileInfo(child).absoluteFilePath());
    return b == a || b.startsWith(a.endsWith(QLatin1Char('/')) ? a : a + QLatin1Char('/'));
}

} // namespace

QString FileHelper::normalizeFilePath(const QString& path)
{
    QString result = path.trimmed();
    while (result.endsWith(QLatin1Char('/')) || result.endsWith(QLatin1Char('\\'))) {
        result.chop(1);
        result = result.trimmed();
    }
    return result;
}

QString FileHelper::getNameFromPath(const QString& path)
{
    const QString standard = TextHelper::toStandardPath(normalizeFilePath(path));
    return standard.mid(standard.lastIndexOf(QLatin1Char('/')) + 1);
}

QString FileHelper::getParentPath(const QString& path)
{
    const QString standard = TextHelper::toStandardPath(normalizeFilePath(path));
    const int slash = standard.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : standard.left(slash);
}

QString FileHelper::getFileExtension(const QString& path)
{
    const QString name = getNameFromPath(path);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

int FileHelper::compareFileExtension(const QString& a, const QString& b, Qt::CaseSensitivity cs)
{
    return QString::compare(getFileExtension(a), getFileExtension(b), cs);
}

QString FileHelper::findFileTarget(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink()) { // also Windows shortcuts
        const QString target = info.symLinkTarget();
        if (!target.isEmpty())
            return target;
    }
    return path;
}

FileHelper::FileType FileHelper::getFileType(const QString& path, bool followLink)
{
    if (path.isEmpty())
        return NotExistFileType;
    QFileInfo info(path);
    if (info.isSymLink()) {
        if (!followLink)
            return LinkFileType;
        info = QFileInfo(info.symLinkTarget());
    }
    if (!info.exists())
        return NotExistFileType;
    if (info.isDir())
        return info.isRoot() ? RootFileType : DirectoryFileType;
    if (info.isFile())
        return NormalFileType;
    return OtherFileType;
}

bool FileHelper::isNormalFile(const QString& path, bool followLink)
{
    return getFileType(path, followLink) == NormalFileType;
}

bool FileHelper::isDirectory(const QString& path, bool followLink)
{
    const FileType type = getFileType(path, followLink);
    return type == DirectoryFileType || type == RootFileType;
}

QRegularExpression FileHelper::validFileNameExpression()
{
    // One character of: "]", space, letters, digits and ~`!@#$%&'(){},._+=[^-
    // (the wildcard class "[] a-zA-Z0-9~`!@#$%&'(){},._+=[^-]" written out).
    static const QRegularExpression expression(QStringLiteral("[\\] a-zA-Z0-9~`!@#$%&'(){},._+=\\[\\^\\-]"));
    return expression;
}

bool FileHelper::isValidFileNameFormat(const QString& name)
{
    if (name.isEmpty() || name.endsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char(' ')))
        return false;
    QString rest = name;
    rest.remove(validFileNameExpression());
    return rest.isEmpty();
}

QStringList FileHelper::illegalFileNameCharacters()
{
    static const QStringList characters = {
        QStringLiteral("/"), QStringLiteral("\\"), QStringLiteral(":"), QStringLiteral("*"),
        QStringLiteral("?"), QStringLiteral("\""), QStringLiteral("<"), QStringLiteral(">"),
        QString(QChar(0x00A6)), QString(QChar(0x00A3)), QString(QChar(0x00AC)),
    };
    return characters;
}

QStringList FileHelper::windowsReservedNames()
{
    static const QStringList names = [] {
        QStringList list { QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"), QStringLiteral("NUL") };
        for (int i = 1; i <= 9; ++i)
            list << QStringLiteral("COM%1").arg(i);
        for (int i = 1; i <= 9; ++i)
            list << QStringLiteral("LPT%1").arg(i);
        return list;
    }();
    return names;
}

bool FileHelper::isValidWindowsName(const QString& path)
{
    const QString name = getNameFromPath(path);
    if (name.isEmpty())
        return false;
    // Windows reserves these names in any letter case ("con.txt" too).
    for (const QString& reserved : windowsReservedNames()) {
        if (name.compare(reserved, Qt::CaseInsensitive) == 0
            || name.startsWith(reserved + QLatin1Char('.'), Qt::CaseInsensitive))
            return false;
    }
    return true;
}

QStringList FileHelper::validImageFileExtensions(bool withDot)
{
    static const QStringList extensions = { QStringLiteral("tiff"), QStringLiteral("tif"), QStringLiteral("svgz"),
                                            QStringLiteral("svg"),  QStringLiteral("png"), QStringLiteral("jpg"),
                                            QStringLiteral("jpeg"), QStringLiteral("gif"), QStringLiteral("bmp") };
    if (!withDot)
        return extensions;
    QStringList dotted;
    for (const QString& extension : extensions)
        dotted << QLatin1Char('.') + extension;
    return dotted;
}

bool FileHelper::isValidImageFileExtension(const QString& path)
{
    return validImageFileExtensions(false).contains(getFileExtension(path).toLower());
}

bool FileHelper::isValidImage(const QString& path)
{
    return getImageSize(path).isValid();
}

QSize FileHelper::getImageSize(const QString& path)
{
    const QString extension = getFileExtension(path).toLower();
    if (!validImageFileExtensions(false).contains(extension) || !QFileInfo(path).isFile())
        return QSize();
    if (extension == QLatin1String("svg") || extension == QLatin1String("svgz")) {
        QSvgRenderer renderer;
        if (!renderer.load(path) || !renderer.isValid())
            return QSize();
        return renderer.defaultSize();
    }
    QImageReader reader(path);
    return reader.size();
}

bool FileHelper::isSameImageExtensionFormat(const QString& path)
{
    QString extension = getFileExtension(path).toUpper();
    QString format = QString::fromLatin1(QImageReader::imageFormat(path)).toUpper();
    if (format.isEmpty())
        return false;
    auto canonical = [](QString& text) {
        if (text == QLatin1String("JPG"))
            text = QStringLiteral("JPEG");
        else if (text == QLatin1String("TIF"))
            text = QStringLiteral("TIFF");
    };
    canonical(extension);
    canonical(format);
    return extension == format;
}

bool FileHelper::createDirectory(const QString& path)
{
    if (path.trimmed().isEmpty())
        return false;
    QDir().mkpath(path);
    return QFileInfo(path).isDir();
}

bool FileHelper::removeDirectory(const QString& path)
{
    if (!QFileInfo(path).isDir())
        return false;
    return QDir().rmdir(path);
}

bool FileHelper::removeDirectoryAndContent(const QString& path)
{
    const QFileInfo root(normalizeFilePath(path));
    if (!root.exists() && !root.isSymLink())
        return true;
    // A link to a folder (or a shortcut) goes, never what it points to.
    if (root.isSymLink() || root.isShortcut() || root.isJunction()) {
        if (QFile::remove(root.absoluteFilePath()) || QDir().rmdir(root.absoluteFilePath()))
            return true;
        qCDebug(lcFiles).noquote() << QStringLiteral("removeDirectoryAndContent failed to delete %1").arg(path);
        return false;
    }
    bool ok = true;
    const QDir dir(root.absoluteFilePath());
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        // Links are removed, never followed.
        if (entry.isDir() && !entry.isSymLink()) {
            if (!removeDirectoryAndContent(entry.absoluteFilePath()))
                ok = false;
        } else if (!QFile::remove(entry.absoluteFilePath())) {
            qCDebug(lcFiles).noquote() << QStringLiteral("removeDirectoryAndContent failed to delete %1").arg(entry.absoluteFilePath());
            ok = false;
        }
    }
    if (ok && !QDir().rmdir(root.absoluteFilePath())) {
        qCDebug(lcFiles).noquote() << QStringLiteral("removeDirectoryAndContent failed to delete %1").arg(path);
        ok = false;
    }
    return ok;
}

bool FileHelper::copyDirectory(const QString& source, const QString& target)
{
    if (!QFileInfo(source).isDir())
        return false;
    // Copying a folder into itself would never end.
    if (isSameOrInside(source, target))
        return false;
    if (!createDirectory(target))
        return false;
    const QDir dir(source);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString destination = QStringLiteral("%1/%2").arg(target, entry.fileName());
        if (entry.isSymLink() && entry.isDir()) {
            if (!QFile::link(entry.symLinkTarget(), destination))
                return false;
        } else if (entry.isDir()) {
            if (!copyDirectory(entry.absoluteFilePath(), destination))
                return false;
        } else if (!QFile::copy(entry.absoluteFilePath(), destination)) {
            return false;
        }
    }
    return true;
}

void FileHelper::recursiveAddDirectoryFiles(const QDir& dir, QStringList& files)
{
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                          QDir::Name | QDir::DirsLast);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir()) {
            if (!entry.isSymLink())
                recursiveAddDirectoryFiles(QDir(entry.absoluteFilePath()), files);
        } else {
            files << QDir::toNativeSeparators(entry.absoluteFilePath());
        }
    }
}

QString FileHelper::getStandardDesktopLocation()
{
    static const QString location = standardLocation(QStandardPaths::DesktopLocation);
    return location;
}

QString FileHelper::getStandardDocumentLocation()
{
    static const QString location = standardLocation(QStandardPaths::DocumentsLocation);
    return location;
}

QString FileHelper::getStandardPictureLocation()
{
    static const QString location = standardLocation(QStandardPaths::PicturesLocation);
    return location;
}

QString FileHelper::getStandardMusicLocation()
{
    static const QString location = standardLocation(QStandardPaths::MusicLocation);
    return location;
}

QString FileHelper::getStandardMovieLocation()
{
    static const QString location = standardLocation(QStandardPaths::MoviesLocation);
    return location;
}

QString FileHelper::getStandardTemporatyLocation()
{
    static const QString location = standardLocation(QStandardPaths::TempLocation);
    return location;
}

QString FileHelper::getStandardHomeLocation()
{
    static const QString location = standardLocation(QStandardPaths::HomeLocation);
    return location;
}

QString FileHelper::getStandardDownloadLocation()
{
    static const QString location = [] {
#ifdef Q_OS_WIN
        // Windows XP and Server 2003 kept downloads under the documents folder.
        const QString version = SystemHelper::systemVersion();
        if (version == QLatin1String("5.1") || version == QLatin1String("5.2"))
            return QStringLiteral("%1/Downloads").arg(getStandardDocumentLocation());
        return QStringLiteral("%1/Downloads").arg(getStandardHomeLocation());
#else
        // The desktop's own choice (XDG user folders), by default "~/Downloads".
        const QString xdg = standardLocation(QStandardPaths::DownloadLocation);
        return xdg.isEmpty() ? QStringLiteral("%1/Downloads").arg(getStandardHomeLocation()) : xdg;
#endif
    }();
    return location;
}

QString FileHelper::getStandardRuntimeLocation()
{
    static const QString location = [] {
#ifdef Q_OS_WIN
        return standardLocation(QStandardPaths::TempLocation);
#else
        // Qt gives the runtime folder only when it is this user's and closed to others.
        const QString runtime = standardLocation(QStandardPaths::RuntimeLocation);
        if (!runtime.isEmpty())
            return runtime;
        const QString cache = standardLocation(QStandardPaths::GenericCacheLocation);
        QDir().mkpath(cache);
        const QString own = cache + QStringLiteral("/Lumatra");
        ::mkdir(QFile::encodeName(own).constData(), 0700);
        return own;
#endif
    }();
    return location;
}

bool FileHelper::createPrivateDirectory(const QString& path)
{
#ifdef Q_OS_UNIX
    const QString base = QDir::cleanPath(getStandardRuntimeLocation());
    const QString target = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (base.isEmpty() || (target != base && !target.startsWith(base + QLatin1Char('/'))))
        return false;
    if (!makeFolderPrivate(base))
        return false;
    QString folder = base;
    const QStringList parts = target.mid(base.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        folder += QLatin1Char('/') + part;
        if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
            return false;
        if (!makeFolderPrivate(folder))
            return false;
    }
    return true;
#else
    return QDir().mkpath(path);
#endif
}

QByteArray FileHelper::getFileRawData(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QByteArray FileHelper::getFileBase64(const QString& path)
{
    return getFileRawData(path).toBase64();
}

QByteArray FileHelper::rawDataFromBase64(const QByteArray& base64)
{
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(base64, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? decoded.decoded : QByteArray();
}

bool FileHelper::writeDataToFile(const QByteArray& data, const QString& path, bool overwrite)
{
    const QFileInfo info(path);
    if (path.isEmpty() || info.isDir())
        return false;
    if (info.exists() && !overwrite)
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    if (file.write(data) != data.size()) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool FileHelper::writeBase64ToFile(const QByteArray& base64, const QString& path, bool overwrite)
{
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(base64, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return false;
    return writeDataToFile(decoded.decoded, path, overwrite);
}

QString FileHelper::getFileMD4(const QString& path)
{
    return fileDigest(path, QCryptographicHash::Md4);
}

QString FileHelper::getFileMD5(const QString& path)
{
    return fileDigest(path, QCryptographicHash::Md5);
}

QString FileHelper::getFileSHA1(const QString& path)
{
    return fileDigest(path, QCryptographicHash::Sha1);
}

QByteArray FileHelper::variantToBinary(const QVariant& variant)
{
    QByteArray data;
    QDataStream stream(&data, QIODevice::WriteOnly);
    stream.setVersion(kVariantStreamVersion);
    stream.setByteOrder(QDataStream::BigEndian);
    stream << variant;
    if (stream.status() != QDataStream::Ok)
        return QByteArray();
    return data;
}

QVariant FileHelper::variantFromBinary(const QByteArray& data)
{
    if (data.isEmpty())
        return QVariant();
    QDataStream check(data);
    check.setVersion(kVariantStreamVersion);
    check.setByteOrder(QDataStream::BigEndian);
    if (!skipPlainVariant(check, 0)) {
        qDebug() << "Stored value refused: not a plain map, list or value, or longer than its data";
        return QVariant();
    }
    QDataStream stream(data);
    stream.setVersion(kVariantStreamVersion);
    stream.setByteOrder(QDataStream::BigEndian);
    QVariant variant;
    stream >> variant;
    if (stream.status() != QDataStream::Ok)
        return QVariant();
    return variant;
}

bool FileHelper::variantToFile(const QVariant& variant, const QString& path, bool overwrite)
{
    const QByteArray data = variantToBinary(variant);
    if (data.isEmpty())
        return false;
    return writeDataToFile(data, path, overwrite);
}

QVariant FileHelper::variantFromFile(const QString& path)
{
    return variantFromBinary(getFileRawData(path));
}

bool FileHelper::activateFileViewerSelectingFile(const QString& path)
{
    return WindowsHelper::activateFileViewerSelectingFile(normalizeFilePath(path));
}

bool FileHelper::activateFileViewerSelectingFiles(const QStringList& paths)
{
    // One viewer per folder is enough.
    QSet<QString> folders;
    bool started = false;
    for (const QString& path : paths) {
        const QString normalized = normalizeFilePath(path);
        const QString folder = getParentPath(QFileInfo(normalized).absoluteFilePath());
        if (folders.contains(folder))
            continue;
        if (WindowsHelper::activateFileViewerSelectingFile(normalized)) {
            folders.insert(folder);
            started = true;
        }
    }
    return started;
}

QIcon FileHelper::getFileIcon(const QString& path)
{
    // Icons need the GUI side of the toolkit.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return QIcon();
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    if (!type.isValid())
        return QIcon();
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    return icon;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
