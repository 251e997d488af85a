#include "zip.h"
#include "diagnostics.h"
#include "zip_p.h"
#include "zipcipher.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <cstring>

#include <zlib.h>

using Orvane::Tavrix::Common::lcFiles;

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

constexpr int BufferSize = 256 * 1024;
constexpr quint32 LocalHeaderSignature = 0x04034b50u;
constexpr quint32 CentralHeaderSignature = 0x02014b50u;
constexpr quint32 EndRecordSignature = 0x06054b50u;
constexpr quint16 VersionNeeded = 20;
constexpr quint16 VersionMadeBy = (3 << 8) | 20; // Unix host, so permissions survive
constexpr quint16 FlagEncrypted = 0x0001;
constexpr quint16 FlagUtf8 = 0x0800;
constexpr qint64 MaxField = 0xffff;
constexpr qint64 MaxOffset = 0xffffffffLL;
// Deepest folder nesting followed while packing; guards against pathological trees.
constexpr int MaxDepth = 256;

void put16(QByteArray& out, quint16 value)
{
    out.append(static_cast<char>(value & 0xff));
    out.append(static_cast<char>((value >> 8) & 0xff));
}

void put32(QByteArray& out, quint32 value)
{
    put16(out, static_cast<quint16>(value & 0xffff));
    put16(out, static_cast<quint16>(value >> 16));
}

quint32 unixMode(QFileDevice::Permissions p, bool folder)
{
    quint32 mode = folder ? 040000u : 0100000u;
    const struct { QFileDevice::Permission flag; quint32 bit; } bits[] = {
        { QFileDevice::ReadOwner, 0400 }, { QFileDevice::WriteOwner, 0200 }, { QFileDevice::ExeOwner, 0100 },
        { QFileDevice::ReadGroup, 040 },  { QFileDevice::WriteGroup, 020 },  { QFileDevice::ExeGroup, 010 },
        { QFileDevice::ReadOther, 04 },   { QFileDevice::WriteOther, 02 },   { QFileDevice::ExeOther, 01 },
    };
    for (const auto& b : bits) {
        if (p & b.flag)
            mode |= b.bit;
    }
    if ((mode & 0777) == 0)
        mode |= folder ? 0755 : 0644;
    return mode;
}

// Releases a deflate stream on every way out of a function.
struct DeflateStream
{
    z_stream stream{};
    bool active = false;
    ~DeflateStream()
    {
        if (active)
            deflateEnd(&stream);
    }
};

QSet<QString> suffixSet(std::initializer_list<const char*> list)
{
    QSet<QString> set;
    for (const char* s : list)
        set.insert(QString::fromLatin1(s));
    return set;
}

} // namespace

// ---------------------------------------------------------------------------

ZipPrivate::ZipPrivate() = default;

ZipPrivate::~ZipPrivate()
{
    if (device)
        disconnect(device, nullptr, this, nullptr);
    delete file;
}

void ZipPrivate::reset()
{
    if (device)
        disconnect(device, nullptr, this, nullptr);
    device = nullptr;
    delete file;
    file = nullptr;
    archivePath.clear();
    entries.clear();
    comment.clear();
    buffer1.clear();
    buffer2.clear();
}

void ZipPrivate::deviceDestroyed(QObject* object)
{
    if (object == device) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Unexpected device destruction detected.");
        device = nullptr;
        if (file == object)
            file = nullptr;
        reset();
    }
}

Zip::ErrorCode ZipPrivate::createArchive(QIODevice* dev)
{
    if (!dev) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Invalid device.");
        return Zip::OpenFailed;
    }
    if (!dev->isOpen() && !dev->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Unable to open device for writing.");
        return Zip::OpenFailed;
    }
    if (!dev->isWritable() || dev->isSequential()) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Unable to open device for writing.");
        return Zip::OpenFailed;
    }
    device = dev;
    connect(device, &QObject::destroyed, this, &ZipPrivate::deviceDestroyed);
    buffer1.resize(BufferSize);
    buffer2.resize(BufferSize);
    return Zip::Ok;
}

void ZipPrivate::abort()
{
    if (file) {
        disconnect(file, nullptr, this, nullptr);
        file->close();
        if (!file->remove())
            qCDebug(lcFiles).noquote() << QStringLiteral("Failed to delete corrupt archive.");
    }
    reset();
}

bool ZipPrivate::isArchiveItself(const QFileInfo& info) const
{
    // Packing the archive into itself would read it while it grows.
    if (archivePath.isEmpty() || info.canonicalFilePath() != archivePath)
        return false;
    qCDebug(lcFiles).noquote() << QStringLiteral("Skipping the archive itself: %1").arg(info.filePath());
    return true;
}

bool ZipPrivate::writeBytes(const char* data, qint64 length)
{
    return device->write(data, length) == length;
}

bool ZipPrivate::encodeName(const QString& entryName, Entry* entry)
{
    entry->name = entryName.toUtf8();
    if (entry->name.size() > MaxField) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Entry name too long (%1 bytes): %2")
                                  .arg(entry->name.size())
                                  .arg(entryName.left(80));
        return false;
    }
    for (char c : entry->name) {
        if (static_cast<quint8>(c) >= 0x80) {
            entry->flags |= FlagUtf8;
            break;
        }
    }
    return true;
}

Zip::ErrorCode ZipPrivate::writeLocalHeader(const Entry& e)
{
    // No extra field is written; the length is still checked so that a
    // future one can never overflow its 16-bit size.
    const QByteArray extra;
    if (extra.size() > MaxField)
        return Zip::InvalidArgument;
    QByteArray header;
    header.reserve(30 + e.name.size());
    put32(header, LocalHeaderSignature);
    put16(header, VersionNeeded);
    put16(header, e.flags);
    put16(header, e.method);
    put32(header, e.dosDateTime);
    put32(header, e.crc);
    put32(header, e.compressedSize);
    put32(header, e.uncompressedSize);
    put16(header, static_cast<quint16>(e.name.size()));
    put16(header, static_cast<quint16>(extra.size()));
    header.append(e.name);
    header.append(extra);
    return writeBytes(header.constData(), header.size()) ? Zip::Ok : Zip::WriteFailed;
}

Zip::ErrorCode ZipPrivate::addFolderEntry(const QFileInfo& info, const QString& entryName)
{
    Entry e;
    if (!encodeName(entryName, &e))
        return Zip::InvalidArgument;
    e.dosDateTime = Zip::toDosDateTime(info.lastModified());
    e.externalAttributes = (unixMode(info.permissions(), true) << 16) | 0x10u;
    const qint64 pos = device->pos();
    if (pos > MaxOffset) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Archive too large: %1").arg(entryName);
        return Zip::InvalidArgument;
    }
    e.offset = static_cast<quint32>(pos);
    const Zip::ErrorCode ec = writeLocalHeader(e);
    if (ec != Zip::Ok) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Error while writing %1").arg(info.filePath());
        return ec;
    }
    entries.append(e);
    return Zip::Ok;
}

Zip::ErrorCode ZipPrivate::fileCrc(QFile& source, qint64 size, quint32* crc)
{
    quint32 value = crc32(0L, Z_NULL, 0);
    qint64 total = 0;
    for (;;) {
        const qint64 n = source.read(buffer1.data(), BufferSize);
        if (n < 0) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Error while reading %1").arg(source.fileName());
            return Zip::ReadFailed;
        }
        if (n == 0)
            break;
        total += n;
        value = crc32(value, reinterpret_cast<const Bytef*>(buffer1.constData()), static_cast<uInt>(n));
    }
    if (total != size || !source.seek(0)) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Error while reading %1").arg(source.fileName());
        return Zip::ReadFailed;
    }
    *crc = value;
    return Zip::Ok;
}

Zip::ErrorCode ZipPrivate::addFileEntry(const QFileInfo& info, const QString& entryName,
                                        Zip::CompressionLevel requested)
{
    const QString path = info.filePath();
    Entry e;
    if (!encodeName(entryName, &e))
        return Zip::InvalidArgument;

    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        qCDebug(lcFiles).noquote() << QStringLiteral("An error occurred while opening %1").arg(path);
        return Zip::OpenFailed;
    }
    const qint64 size = source.size();
    if (size > MaxOffset) {
        qCDebug(lcFiles).noquote() << QStringLiteral("File too large for a zip archive: %1").arg(path);
        return Zip::InvalidArgument;
    }

    const int level = Zip::deflateLevel(info.fileName(), size, requested);
    const bool encrypted = !password.isEmpty();
    e.method = level > 0 ? 8 : 0;
    if (encrypted)
        e.flags |= FlagEncrypted;
    if (level >= 8)
        e.flags |= 0x0002;
    else if (level == 2)
        e.flags |= 0x0004;
    else if (level == 1)
        e.flags |= 0x0006;
    e.dosDateTime = Zip::toDosDateTime(info.lastModified());
    e.externalAttributes = (unixMode(info.permissions(), false) << 16)
                           | (info.isWritable() ? 0u : 0x01u);

    // The check byte of the encryption header is the CRC's high byte, so the
    // CRC must be known before the data goes out.
    quint32 knownCrc = 0;
    if (encrypted) {
        const Zip::ErrorCode ec = fileCrc(source, size, &knownCrc);
        if (ec != Zip::Ok)
            return ec;
        e.crc = knownCrc;
    }

    const qint64 start = device->pos();
    if (start > MaxOffset) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Archive too large: %1").arg(path);
        return Zip::InvalidArgument;
    }
    e.offset = static_cast<quint32>(start);
    if (writeLocalHeader(e) != Zip::Ok) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Error while writing %1").arg(path);
        return Zip::WriteFailed;
    }

    ZipCipher cipher(password.toLatin1());
    qint64 written = 0;
    if (encrypted) {
        quint32 noise[ZipCipher::HeaderSize / 4];
        QRandomGenerator::system()->fillRange(noise);
        char header[ZipCipher::HeaderSize];
        memcpy(header, noise, ZipCipher::HeaderSize);
        header[ZipCipher::HeaderSize - 1] = static_cast<char>(knownCrc >> 24);
        cipher.encrypt(header, ZipCipher::HeaderSize);
        if (!writeBytes(header, ZipCipher::HeaderSize)) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Error while writing %1").arg(path);
            return Zip::WriteFailed;
        }
        written += ZipCipher::HeaderSize;
    }

    DeflateStream z;
    if (e.method == 8) {
        if (deflateInit2(&z.stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Could not initialize zlib for compression");
            return Zip::ZlibInit;
        }
        z.active = true;
    }

    quint32 crc = crc32(0L, Z_NULL, 0);
    qint64 total = 0;
    for (;;) {
        const qint64 n = source.read(buffer1.data(), BufferSize);
        if (n < 0) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Error while reading %1").arg(path);
            return Zip::ReadFailed;
        }
        total += n;
        crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer1.constData()), static_cast<uInt>(n));
        if (e.method == 0) {
            if (n == 0)
                break;
            cipher.encrypt(buffer1.data(), encrypted ? n : 0);
            if (!writeBytes(buffer1.constData(), n)) {
                qCDebug(lcFiles).noquote() << QStringLiteral("Error while writing %1").arg(path);
                return Zip::WriteFailed;
            }
            written += n;
            continue;
        }
        const int flush = n == 0 ? Z_FINISH : Z_NO_FLUSH;
        z.stream.next_in = reinterpret_cast<Bytef*>(buffer1.data());
        z.stream.avail_in = static_cast<uInt>(n);
        int ret = Z_OK;
        do {
            z.stream.next_out = reinterpret_cast<Bytef*>(buffer2.data());
            z.stream.avail_out = BufferSize;
            ret = deflate(&z.stream, flush);
            if (ret == Z_STREAM_ERROR) {
                qCDebug(lcFiles).noquote() << QStringLiteral("Error while writing %1").arg(path);
                return Zip::ZlibError;
            }
            const qint64 have = BufferSize - z.stream.avail_out;
            if (encrypted)
                cipher.encrypt(buffer2.data(), have);
            if (have > 0 && !writeBytes(buffer2.constData(), have)) {
                qCDebug(lcFiles).noquote() << QStringLiteral("Error while writing %1").arg(path);
                return Zip::WriteFailed;
            }
            written += have;
        } while (z.stream.avail_out == 0);
        if (flush == Z_FINISH) {
            if (ret != Z_STREAM_END) {
                qCDebug(lcFiles).noquote() << QStringLiteral("Error while writing %1").arg(path);
                return Zip::ZlibError;
            }
            break;
        }
    }

    if (encrypted && crc != knownCrc) {
        // The file changed between the two passes.
        qCDebug(lcFiles).noquote() << QStringLiteral("Error while reading %1").arg(path);
        return Zip::ReadFailed;
    }
    if (total > MaxOffset || written > MaxOffset || device->pos() > MaxOffset) {
        qCDebug(lcFiles).noquote() << QStringLiteral("File too large for a zip archive: %1").arg(path);
        return Zip::InvalidArgument;
    }
    e.crc = crc;
    e.compressedSize = static_cast<quint32>(written);
    e.uncompressedSize = static_cast<quint32>(total);

    // Sizes and CRC go back into the local header, so no data descriptor is needed.
    const qint64 end = device->pos();
    QByteArray patch;
    put32(patch, e.crc);
    put32(patch, e.compressedSize);
    put32(patch, e.uncompressedSize);
    if (!device->seek(start + 14) || !writeBytes(patch.constData(), patch.size()) || !device->seek(end)) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Error while writing %1").arg(path);
        return Zip::SeekFailed;
    }
    entries.append(e);
    return Zip::Ok;
}

Zip::ErrorCode ZipPrivate::addTree(const QString& path, const QString& prefix,
                                   Zip::CompressionLevel level, int depth)
{
    if (depth > MaxDepth) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Folder nesting too deep: %1").arg(path);
        return Zip::InvalidArgument;
    }
    const QFileInfoList list = QDir(path).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QFileInfo& info : list) {
        if (isArchiveItself(info))
            continue;
        Zip::ErrorCode ec = Zip::Ok;
        if (info.isDir()) {
            // A linked folder could lead back into the tree: it is not followed.
            if (info.isSymLink())
                continue;
            const QString name = prefix + info.fileName() + QLatin1Char('/');
            ec = addFolderEntry(info, name);
            if (ec == Zip::Ok)
                ec = addTree(info.filePath(), name, level, depth + 1);
        } else if (info.isFile()) {
            ec = addFileEntry(info, prefix + info.fileName(), level);
        }
        if (ec != Zip::Ok)
            return ec;
    }
    return Zip::Ok;
}

static QString normalizedRoot(const QString& root)
{
    QString r = QDir::fromNativeSeparators(root);
    while (r.startsWith(QLatin1Char('/')))
        r.remove(0, 1);
    if (!r.isEmpty() && !r.endsWith(QLatin1Char('/')))
        r.append(QLatin1Char('/'));
    return r;
}

Zip::ErrorCode ZipPrivate::addDirectory(const QString& path, const QString& root, bool includeSelf,
                                        Zip::CompressionLevel level)
{
    const QFileInfo info(path);
    if (!info.isDir()) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Directory not found: %1").arg(path);
        return Zip::FileNotFound;
    }
    QString prefix = normalizedRoot(root);
    if (includeSelf) {
        const QFileInfo self(QDir::cleanPath(info.absoluteFilePath()));
        prefix += self.fileName() + QLatin1Char('/');
        const Zip::ErrorCode ec = addFolderEntry(self, prefix);
        if (ec != Zip::Ok)
            return ec;
    }
    return addTree(path, prefix, level, 0);
}

Zip::ErrorCode ZipPrivate::addFile(const QString& path, const QString& root, Zip::CompressionLevel level)
{
    const QFileInfo info(path);
    if (info.isDir())
        return addDirectory(path, root, true, level);
    if (!info.isFile()) {
        qCDebug(lcFiles).noquote() << QStringLiteral("An error occurred while opening %1").arg(path);
        return Zip::FileNotFound;
    }
    if (isArchiveItself(info))
        return Zip::Ok;
    return addFileEntry(info, normalizedRoot(root) + info.fileName(), level);
}

Zip::ErrorCode ZipPrivate::closeArchive()
{
    const QByteArray commentBytes = comment.toUtf8();
    if (commentBytes.size() > MaxField) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Archive comment too long (%1 bytes).").arg(commentBytes.size());
        return Zip::InvalidArgument;
    }
    if (entries.size() > MaxField) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Too many entries for a zip archive (%1).").arg(entries.size());
        return Zip::InvalidArgument;
    }
    const qint64 cdStart = device->pos();
    QByteArray record;
    for (const Entry& e : std::as_const(entries)) {
        record.clear();
        put32(record, CentralHeaderSignature);
        put16(record, VersionMadeBy);
        put16(record, VersionNeeded);
        put16(record, e.flags);
        put16(record, e.method);
        put32(record, e.dosDateTime);
        put32(record, e.crc);
        put32(record, e.compressedSize);
        put32(record, e.uncompressedSize);
        put16(record, static_cast<quint16>(e.name.size()));
        put16(record, 0); // extra field
        put16(record, 0); // comment
        put16(record, 0); // disk number
        put16(record, 0); // internal attributes
        put32(record, e.externalAttributes);
        put32(record, e.offset);
        record.append(e.name);
        if (!writeBytes(record.constData(), record.size())) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Error while writing %1").arg(QString::fromUtf8(e.name));
            return Zip::WriteFailed;
        }
    }
    const qint64 cdEnd = device->pos();
    if (cdEnd > MaxOffset) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Archive too large.");
        return Zip::InvalidArgument;
    }
    record.clear();
    put32(record, EndRecordSignature);
    put16(record, 0);
    put16(record, 0);
    put16(record, static_cast<quint16>(entries.size()));
    put16(record, static_cast<quint16>(entries.size()));
    put32(record, static_cast<quint32>(cdEnd - cdStart));
    put32(record, static_cast<quint32>(cdStart));
    put16(record, static_cast<quint16>(commentBytes.size()));
    record.append(commentBytes);
    if (!writeBytes(record.constData(), record.size())) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Error while writing %1").arg(QStringLiteral("central directory"));
        return Zip::WriteFailed;
    }
    if (file) {
        if (!file->flush()) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Error while writing %1").arg(file->fileName());
            return Zip::WriteFailed;
        }
        file->close();
    }
    reset();
    return Zip::Ok;
}

// ---------------------------------------------------------------------------

Zip::Zip()
    : d(new ZipPrivate)
{
}

Zip::~Zip()
{
    if (isOpen())
        closeArchive();
    delete d;
}

bool Zip::isOpen() const
{
    return d->device != nullptr;
}

void Zip::setPassword(const QString& password)
{
    d->password = password;
}

void Zip::clearPassword()
{
    d->password.clear();
}

QString Zip::password() const
{
    return d->password;
}

Zip::ErrorCode Zip::createArchive(const QString& fileName, bool overwrite)
{
    if (isOpen())
        closeArchive();
    if (QFileInfo::exists(fileName) && !overwrite)
        return FileExists;
    auto* file = new QFile(fileName);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Unable to open device for writing.");
        delete file;
        return OpenFailed;
    }
    const ErrorCode ec = d->createArchive(file);
    if (ec != Ok) {
        delete file;
        return ec;
    }
    d->file = file;
    d->archivePath = QFileInfo(fileName).canonicalFilePath();
    return Ok;
}

Zip::ErrorCode Zip::createArchive(QIODevice* device)
{
    if (isOpen())
        closeArchive();
    return d->createArchive(device);
}

QString Zip::archiveComment() const
{
    return d->comment;
}

void Zip::setArchiveComment(const QString& comment)
{
    d->comment = comment;
}

Zip::ErrorCode Zip::addDirectory(const QString& path, const QString& root, CompressionLevel level)
{
    if (!isOpen())
        return NoOpenArchive;
    const ErrorCode ec = d->addDirectory(path, root, true, level);
    if (ec != Ok)
        d->abort();
    return ec;
}

Zip::ErrorCode Zip::addDirectoryContents(const QString& path, const QString& root, CompressionLevel level)
{
    if (!isOpen())
        return NoOpenArchive;
    const ErrorCode ec = d->addDirectory(path, root, false, level);
    if (ec != Ok)
        d->abort();
    return ec;
}

Zip::ErrorCode Zip::addFile(const QString& path, const QString& root, CompressionLevel level)
{
    if (!isOpen())
        return NoOpenArchive;
    const ErrorCode ec = d->addFile(path, root, level);
    if (ec != Ok)
        d->abort();
    return ec;
}

Zip::ErrorCode Zip::closeArchive()
{
    if (!isOpen())
        return Ok;
    const ErrorCode ec = d->closeArchive();
    if (ec != Ok)
        d->abort();
    return ec;
}

int Zip::deflateLevel(const QString& fileName, qint64 size, CompressionLevel level)
{
    // Tiny files only grow when deflated.
    if (size < 60)
        return 0;
    if (level >= Store && level <= Deflate9)
        return static_cast<int>(level);
    if (level != AutoMIME && level != AutoFull)
        return 5;

    static const QSet<QString> stored = suffixSet(
        { "7z", "bin", "deb", "exe", "gz", "gz2", "jar", "rar", "rpm", "tar", "tgz", "z", "zip" });
    static const QSet<QString> fast = suffixSet(
        { "asf", "avi", "divx", "doc", "docx", "flv", "gif", "iso", "jpg", "jpeg", "mka", "mkv",
          "mp3", "mp4", "mpeg", "mpg", "odt", "ogg", "ogm", "ra", "rm", "wma", "wmv" });
    static const QSet<QString> best = suffixSet(
        { "asp", "bat", "c", "conf", "cpp", "css", "csv", "cxx", "h", "hpp", "htm", "html", "hxx",
          "ini", "js", "php", "pl", "py", "rtf", "sh", "tsv", "txt", "vb", "vbs", "xml", "xst" });

    const QString suffix = QFileInfo(fileName).completeSuffix().toLower();
    if (stored.contains(suffix))
        return 0;
    if (fast.contains(suffix))
        return 2;
    if (best.contains(suffix))
        return 9;
    return 5;
}

quint32 Zip::toDosDateTime(const QDateTime& dateTime)
{
    QDateTime local = dateTime.isValid() ? dateTime.toLocalTime() : QDateTime::currentDateTime();
    QDate date = local.date();
    QTime time = local.time();
    // The MS-DOS format covers 1980 to 2107 only.
    if (date.year() < 1980) {
        date = QDate(1980, 1, 1);
        time = QTime(0, 0);
    } else if (date.year() > 2107) {
        date = QDate(2107, 12, 31);
        time = QTime(23, 59, 58);
    }
    const quint32 dosDate = (static_cast<quint32>(date.year() - 1980) << 9)
                            | (static_cast<quint32>(date.month()) << 5)
                            | static_cast<quint32>(date.day());
    const quint32 dosTime = (static_cast<quint32>(time.hour()) << 11)
                            | (static_cast<quint32>(time.minute()) << 5)
                            | static_cast<quint32>(time.second() / 2);
    return (dosDate << 16) | dosTime;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
