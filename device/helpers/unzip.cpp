#include "unzip.h"
#include "diagnostics.h"
#include "unzip_p.h"
#include "zipcipher.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>

#include <zlib.h>

using Orvane::Tavrix::Common::lcFiles;

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

constexpr int BufferSize = 256 * 1024;
constexpr quint32 LocalHeaderSignature = 0x04034b50u;
constexpr quint32 CentralHeaderSignature = 0x02014b50u;
constexpr int LocalHeaderSize = 30;
constexpr int CentralHeaderSize = 46;
constexpr int EndRecordSize = 22;
constexpr qint64 MaxCommentSize = 0xffff;
// Deflate cannot expand data by more than about 1032 to 1; a header that
// claims more is lying.
constexpr quint64 MaxDeflateRatio = 1032;

quint16 get16(const QByteArray& data, qint64 pos)
{
    return static_cast<quint16>(static_cast<quint8>(data.at(pos))
                                | (static_cast<quint8>(data.at(pos + 1)) << 8));
}

quint32 get32(const QByteArray& data, qint64 pos)
{
    return static_cast<quint32>(get16(data, pos)) | (static_cast<quint32>(get16(data, pos + 2)) << 16);
}

QString decodeText(const QByteArray& bytes, bool utf8Flag)
{
    if (utf8Flag)
        return QString::fromUtf8(bytes);
    // Names without the UTF-8 flag are UTF-8 from most current tools; anything
    // that does not decode as such is taken byte for byte.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (!decoder.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

struct InflateStream
{
    z_stream stream{};
    bool active = false;
    ~InflateStream()
    {
        if (active)
            inflateEnd(&stream);
    }
};

} // namespace

// ---------------------------------------------------------------------------

UnzipPrivate::UnzipPrivate() = default;

UnzipPrivate::~UnzipPrivate()
{
    closeArchive();
}

void UnzipPrivate::reset()
{
    device = nullptr;
    delete file;
    file = nullptr;
    entries.clear();
    comment.clear();
    buffer1.clear();
    buffer2.clear();
}

void UnzipPrivate::closeArchive()
{
    if (device)
        disconnect(device, nullptr, this, nullptr);
    if (file)
        file->close();
    reset();
}

void UnzipPrivate::deviceDestroyed(QObject* object)
{
    if (object != device)
        return;
    qCDebug(lcFiles).noquote() << QStringLiteral("Unexpected device destruction detected.");
    if (file == object)
        file = nullptr;
    device = nullptr;
    reset();
}

UnZip::ErrorCode UnzipPrivate::openArchive(QIODevice* dev, QFile* owned)
{
    closeArchive();
    file = owned;
    if (!dev) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Invalid device.");
        return UnZip::InvalidDevice;
    }
    if ((!dev->isOpen() && !dev->open(QIODevice::ReadOnly)) || !dev->isReadable() || dev->isSequential()) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Unable to open device for reading");
        reset();
        return UnZip::OpenFailed;
    }
    device = dev;
    connect(device, &QObject::destroyed, this, &UnzipPrivate::deviceDestroyed);
    buffer1.resize(BufferSize);
    buffer2.resize(BufferSize);

    const UnZip::ErrorCode ec = readCentralDirectory(device->size());
    if (ec == UnZip::PartiallyCorrupted) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Corrupted zip archive. Some files might be extracted.");
    } else if (ec != UnZip::Ok) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Corrupted or invalid zip archive. Closing.");
        closeArchive();
    }
    return ec;
}

UnZip::ErrorCode UnzipPrivate::readCentralDirectory(qint64 archiveSize)
{
    if (archiveSize < EndRecordSize)
        return UnZip::Corrupted;

    // The end record is 22 bytes plus a comment of at most 65535 bytes, so it
    // can only be in the archive's last 65557 bytes.
    const qint64 scanSize = qMin<qint64>(archiveSize, EndRecordSize + MaxCommentSize);
    const qint64 scanStart = archiveSize - scanSize;
    if (!device->seek(scanStart))
        return UnZip::SeekFailed;
    const QByteArray tail = device->read(scanSize);
    if (tail.size() != scanSize)
        return UnZip::Corrupted;

    qint64 end = -1;
    for (qint64 p = scanSize - EndRecordSize; p >= 0; --p) {
        if (tail.at(p) == 'P' && tail.at(p + 1) == 'K' && tail.at(p + 2) == 5 && tail.at(p + 3) == 6
            && p + EndRecordSize + get16(tail, p + 20) <= scanSize) {
            end = p;
            break;
        }
    }
    if (end < 0)
        return UnZip::Corrupted;

    const qint64 endOffset = scanStart + end;
    const quint16 disk = get16(tail, end + 4);
    const quint16 cdDisk = get16(tail, end + 6);
    const quint16 entriesOnDisk = get16(tail, end + 8);
    const quint16 entryCount = get16(tail, end + 10);
    const quint32 cdSize = get32(tail, end + 12);
    const quint32 cdOffset = get32(tail, end + 16);
    const quint16 commentSize = get16(tail, end + 20);
    // Spanned archives are not supported; the directory must lie before its end record.
    if (disk != 0 || cdDisk != 0 || entriesOnDisk != entryCount)
        return UnZip::Corrupted;
    if (static_cast<qint64>(cdOffset) + cdSize > endOffset)
        return UnZip::Corrupted;
    if (static_cast<qint64>(entryCount) * CentralHeaderSize > cdSize)
        return UnZip::Corrupted;
    comment = decodeText(tail.mid(end + EndRecordSize, commentSize), false);

    if (!device->seek(cdOffset))
        return UnZip::SeekFailed;
    const QByteArray cd = device->read(cdSize);
    if (cd.size() != static_cast<qint64>(cdSize))
        return UnZip::Corrupted;

    QList<Entry> all;
    bool damaged = false;
    qint64 pos = 0;
    for (int i = 0; i < entryCount; ++i) {
        if (pos + CentralHeaderSize > cd.size() || get32(cd, pos) != CentralHeaderSignature) {
            damaged = true;
            break;
        }
        Entry e;
        e.versionNeeded = get16(cd, pos + 6);
        e.flags = get16(cd, pos + 8);
        e.method = get16(cd, pos + 10);
        e.dosTime = get16(cd, pos + 12);
        e.dosDate = get16(cd, pos + 14);
        e.crc = get32(cd, pos + 16);
        e.compressedSize = get32(cd, pos + 20);
        e.uncompressedSize = get32(cd, pos + 24);
        const quint16 nameSize = get16(cd, pos + 28);
        const quint16 extraSize = get16(cd, pos + 30);
        const quint16 entryCommentSize = get16(cd, pos + 32);
        e.offset = get32(cd, pos + 42);
        const qint64 recordSize = CentralHeaderSize + nameSize + extraSize + entryCommentSize;
        if (pos + recordSize > cd.size()) {
            damaged = true;
            break;
        }
        e.rawName = cd.mid(pos + CentralHeaderSize, nameSize);
        const bool utf8 = e.flags & 0x0800;
        e.name = decodeText(e.rawName, utf8);
        e.comment = decodeText(cd.mid(pos + CentralHeaderSize + nameSize + extraSize, entryCommentSize), utf8);
        pos += recordSize;

        const int version = e.versionNeeded & 0xff;
        if (version > 20) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Unsupported PKZip version (%1). Skipping file: %2")
                                      .arg(version)
                                      .arg(e.name);
            e.listed = false;
        } else if (e.method != 0 && e.method != 8) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Unsupported compression method. Skipping file.");
            e.listed = false;
        } else if (e.name.isEmpty()) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Skipping file with no name.");
            e.listed = false;
        }
        if (!e.listed)
            continue;

        // Sizes and offsets must fit in the archive before anything trusts them.
        const bool encrypted = e.flags & 0x0001;
        const quint64 headerEnd = quint64(e.offset) + LocalHeaderSize + nameSize;
        bool sane = headerEnd + e.compressedSize <= cdOffset;
        if (encrypted && e.compressedSize < ZipCipher::HeaderSize)
            sane = false;
        const quint64 payload = e.compressedSize - (encrypted ? ZipCipher::HeaderSize : 0);
        if (sane && e.method == 0 && payload != e.uncompressedSize)
            sane = false;
        if (sane && e.method == 8 && e.uncompressedSize > payload * MaxDeflateRatio + 64)
            sane = false;
        if (!sane) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Sizes or offset of %1 do not fit the archive.").arg(e.name);
            damaged = true;
            break;
        }
        all.append(e);
    }

    // Entries sharing bytes are the mark of an overlapping-files bomb; each
    // entry is confined to the space up to the next local header.
    QList<int> order(all.size());
    for (int i = 0; i < all.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&all](int a, int b) { return all.at(a).offset < all.at(b).offset; });
    for (int i = 0; i < order.size(); ++i) {
        Entry& e = all[order.at(i)];
        e.limit = cdOffset;
        if (i + 1 < order.size()) {
            const Entry& next = all.at(order.at(i + 1));
            const quint64 minimumEnd = quint64(e.offset) + LocalHeaderSize + e.rawName.size() + e.compressedSize;
            if (minimumEnd > next.offset) {
                qCDebug(lcFiles).noquote() << QStringLiteral("Entries %1 and %2 overlap.").arg(e.name, next.name);
                entries.clear();
                return UnZip::Corrupted;
            }
            e.limit = next.offset;
        }
    }
    entries = all;

    if (damaged)
        return entries.isEmpty() ? UnZip::Corrupted : UnZip::PartiallyCorrupted;
    return UnZip::Ok;
}

const UnzipPrivate::Entry* UnzipPrivate::findEntry(const QString& name, Qt::CaseSensitivity cs) const
{
    for (const Entry& e : entries) {
        if (e.name.compare(name, cs) == 0)
            return &e;
    }
    return nullptr;
}

UnZip::ZipEntry UnzipPrivate::publicEntry(const Entry& e) const
{
    UnZip::ZipEntry z;
    z.filename = e.name;
    z.comment = e.comment;
    z.compressedSize = e.compressedSize;
    z.uncompressedSize = e.uncompressedSize;
    z.crc32 = e.crc;
    z.lastModified = UnZip::fromDosDateTime(e.dosDate, e.dosTime);
    z.compression = e.method == 0 ? UnZip::NoCompression
                                  : (e.method == 8 ? UnZip::Deflated : UnZip::UnknownCompression);
    z.type = e.name.endsWith(QLatin1Char('/')) ? UnZip::Directory : UnZip::File;
    z.encrypted = e.flags & 0x0001;
    return z;
}

UnZip::ErrorCode UnzipPrivate::extractEntry(const Entry& e, QIODevice* out,
                                            const std::function<bool()>& openOutput)
{
    if (!device)
        return UnZip::NoOpenArchive;
    if (!device->seek(e.offset))
        return UnZip::SeekFailed;
    const QByteArray header = device->read(LocalHeaderSize);
    if (header.size() != LocalHeaderSize || get32(header, 0) != LocalHeaderSignature
        || device->read(get16(header, 26)) != e.rawName) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Filename in local header mismatches.");
        return UnZip::HeaderConsistencyError;
    }
    const qint64 dataStart = qint64(e.offset) + LocalHeaderSize + get16(header, 26) + get16(header, 28);
    if (dataStart + e.compressedSize > e.limit || !device->seek(dataStart)) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Corrupted entry");
        return UnZip::Corrupted;
    }

    qint64 remaining = e.compressedSize;
    const bool encrypted = e.flags & 0x0001;
    ZipCipher cipher(password.toLatin1());
    if (encrypted) {
        QByteArray check = device->read(ZipCipher::HeaderSize);
        if (check.size() != ZipCipher::HeaderSize) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Corrupted entry");
            return UnZip::Corrupted;
        }
        cipher.decrypt(check.data(), check.size());
        // With a data descriptor the writer did not know the CRC yet and used the time.
        const quint8 expected = (e.flags & 0x0008) ? static_cast<quint8>(e.dosTime >> 8)
                                                   : static_cast<quint8>(e.crc >> 24);
        if (password.isEmpty() || static_cast<quint8>(check.at(ZipCipher::HeaderSize - 1)) != expected) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Unable to decrypt %1").arg(e.name);
            return UnZip::WrongPassword;
        }
        remaining -= ZipCipher::HeaderSize;
    }

    InflateStream z;
    if (e.method == 8) {
        if (inflateInit2(&z.stream, -MAX_WBITS) != Z_OK) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Could not initialize zlib for decompression");
            return UnZip::ZlibInit;
        }
        z.active = true;
    }
    if (openOutput && !openOutput())
        return UnZip::WriteFailed;

    quint32 crc = crc32(0L, Z_NULL, 0);
    quint64 produced = 0;
    bool streamEnded = e.method == 0;
    auto emitData = [&](const char* data, qint64 length) {
        if (produced + quint64(length) > e.uncompressedSize)
            return UnZip::Corrupted;
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(length));
        produced += quint64(length);
        if (length > 0 && out->write(data, length) != length)
            return UnZip::WriteFailed;
        return UnZip::Ok;
    };

    while (remaining > 0) {
        const qint64 chunk = qMin<qint64>(remaining, BufferSize);
        if (device->read(buffer1.data(), chunk) != chunk) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Corrupted entry");
            return UnZip::ReadFailed;
        }
        remaining -= chunk;
        if (encrypted)
            cipher.decrypt(buffer1.data(), chunk);

        UnZip::ErrorCode ec = UnZip::Ok;
        if (e.method == 0) {
            ec = emitData(buffer1.constData(), chunk);
        } else {
            z.stream.next_in = reinterpret_cast<Bytef*>(buffer1.data());
            z.stream.avail_in = static_cast<uInt>(chunk);
            do {
                z.stream.next_out = reinterpret_cast<Bytef*>(buffer2.data());
                z.stream.avail_out = BufferSize;
                const int ret = inflate(&z.stream, Z_NO_FLUSH);
                if (ret == Z_NEED_DICT || ret == Z_DATA_ERROR || ret == Z_MEM_ERROR || ret == Z_STREAM_ERROR) {
                    ec = UnZip::Corrupted;
                    break;
                }
                ec = emitData(buffer2.constData(), BufferSize - z.stream.avail_out);
                if (ec != UnZip::Ok)
                    break;
                if (ret == Z_STREAM_END) {
                    streamEnded = true;
                    break;
                }
            } while (z.stream.avail_out == 0);
        }
        if (ec == UnZip::WriteFailed) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Error while writing %1").arg(e.name);
            return ec;
        }
        if (ec != UnZip::Ok) {
            // The one-byte password check passes for 1 in 256 wrong passwords; garbage then
            // shows up here, and for an encrypted entry that means the password.
            if (encrypted && ec == UnZip::Corrupted) {
                qCDebug(lcFiles).noquote() << QStringLiteral("Unable to decrypt %1").arg(e.name);
                return UnZip::WrongPassword;
            }
            qCDebug(lcFiles).noquote() << QStringLiteral("Corrupted entry");
            return ec;
        }
        if (streamEnded && e.method == 8)
            break;
    }

    if (!streamEnded || produced != e.uncompressedSize || crc != e.crc) {
        if (encrypted) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Unable to decrypt %1").arg(e.name);
            return UnZip::WrongPassword;
        }
        qCDebug(lcFiles).noquote() << QStringLiteral("Corrupted entry");
        return UnZip::Corrupted;
    }
    return UnZip::Ok;
}

UnZip::ErrorCode UnzipPrivate::extractToDir(const Entry& e, const QString& dirName)
{
    if (!UnZip::isSafeEntryName(e.name)) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Refusing entry outside the output folder: %1").arg(e.name);
        return UnZip::UnsafeName;
    }
    QDir dir(dirName);
    if (!dir.exists() && !QDir().mkpath(dirName)) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Unable to create output directory %1").arg(dirName);
        return UnZip::CreateDirFailed;
    }
    const QString base = QDir::cleanPath(dir.absolutePath());
    const QString target = QDir::cleanPath(base + QLatin1Char('/') + e.name);
    if (!target.startsWith(base + QLatin1Char('/'))) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Refusing entry outside the output folder: %1").arg(e.name);
        return UnZip::UnsafeName;
    }

    if (e.name.endsWith(QLatin1Char('/'))) {
        if (!QDir().mkpath(target)) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Unable to create directory: %1").arg(target);
            return UnZip::CreateDirFailed;
        }
        return UnZip::Ok;
    }

    const QString parent = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(parent)) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Unable to create directory: %1").arg(parent);
        return UnZip::CreateDirFailed;
    }

    QFile out(target);
    bool opened = false;
    const UnZip::ErrorCode ec = extractEntry(e, &out, [&out, &opened, &target]() {
        opened = out.open(QIODevice::WriteOnly | QIODevice::Truncate);
        if (!opened)
            qCDebug(lcFiles).noquote() << QStringLiteral("Unable to open %1 for writing").arg(target);
        return opened;
    });
    if (ec != UnZip::Ok) {
        if (opened) {
            out.close();
            if (!out.remove())
                qCDebug(lcFiles).noquote() << QStringLiteral("Unable to remove corrupted file: %1").arg(target);
        }
        return ec;
    }
    if (!out.flush()) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Error while writing %1").arg(target);
        out.close();
        out.remove();
        return UnZip::WriteFailed;
    }
    const QDateTime modified = UnZip::fromDosDateTime(e.dosDate, e.dosTime);
    if (modified.isValid() && !out.setFileTime(modified, QFileDevice::FileModificationTime))
        qCDebug(lcFiles).noquote() << QStringLiteral("Unable to set last modified time on file: %1").arg(target);
    out.close();
    return UnZip::Ok;
}

// ---------------------------------------------------------------------------

UnZip::UnZip()
    : d(new UnzipPrivate)
{
}

UnZip::~UnZip()
{
    delete d;
}

bool UnZip::isOpen() const
{
    return d->device != nullptr;
}

UnZip::ErrorCode UnZip::openArchive(const QString& fileName)
{
    closeArchive();
    auto* file = new QFile(fileName);
    if (!file->open(QIODevice::ReadOnly)) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Unable to open device for reading");
        delete file;
        return OpenFailed;
    }
    return d->openArchive(file, file);
}

UnZip::ErrorCode UnZip::openArchive(QIODevice* device)
{
    return d->openArchive(device);
}

void UnZip::closeArchive()
{
    d->closeArchive();
}

QString UnZip::archiveComment() const
{
    return d->comment;
}

void UnZip::setPassword(const QString& password)
{
    d->password = password;
}

bool UnZip::contains(const QString& name, Qt::CaseSensitivity cs) const
{
    return d->findEntry(name, cs) != nullptr;
}

QStringList UnZip::fileList() const
{
    QStringList list;
    for (const auto& e : std::as_const(d->entries))
        list.append(e.name);
    return list;
}

QList<UnZip::ZipEntry> UnZip::entryList() const
{
    QList<ZipEntry> list;
    for (const auto& e : std::as_const(d->entries))
        list.append(d->publicEntry(e));
    return list;
}

UnZip::ErrorCode UnZip::extractAll(const QString& dirName)
{
    if (!isOpen())
        return NoOpenArchive;
    ErrorCode first = Ok;
    const auto list = d->entries;
    for (const auto& e : list) {
        const ErrorCode ec = d->extractToDir(e, dirName);
        if (ec != Ok && first == Ok)
            first = ec;
        if (!isOpen())
            break;
    }
    return first;
}

UnZip::ErrorCode UnZip::extractFile(const QString& name, const QString& dirName)
{
    if (!isOpen())
        return NoOpenArchive;
    const UnzipPrivate::Entry* e = d->findEntry(name);
    if (!e)
        return FileNotFound;
    return d->extractToDir(*e, dirName);
}

UnZip::ErrorCode UnZip::extractFile(const QString& name, QIODevice* device)
{
    if (!isOpen())
        return NoOpenArchive;
    if (!device)
        return InvalidDevice;
    const UnzipPrivate::Entry* e = d->findEntry(name);
    if (!e)
        return FileNotFound;
    if (!device->isOpen() && !device->open(QIODevice::WriteOnly))
        return WriteFailed;
    return d->extractEntry(*e, device);
}

UnZip::ErrorCode UnZip::extractFiles(const QStringList& names, const QString& dirName)
{
    if (!isOpen())
        return NoOpenArchive;
    ErrorCode first = Ok;
    for (const QString& name : names) {
        const ErrorCode ec = extractFile(name, dirName);
        if (ec != Ok && first == Ok)
            first = ec;
        if (!isOpen())
            break;
    }
    return first;
}

bool UnZip::isSafeEntryName(const QString& name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('\\')) || name.contains(QChar(0))
        || name.startsWith(QLatin1Char('/')))
        return false;
    // A drive letter ("C:", "C:foo") would leave the output folder on Windows.
    if (name.size() >= 2 && name.at(1) == QLatin1Char(':') && name.at(0).isLetter())
        return false;
#ifdef Q_OS_WIN
    if (name.contains(QLatin1Char(':')))
        return false;
#endif
    QString body = name;
    if (body.endsWith(QLatin1Char('/')))
        body.chop(1);
    const QStringList parts = body.split(QLatin1Char('/'));
    for (const QString& part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    }
    return true;
}

QDateTime UnZip::fromDosDateTime(quint16 date, quint16 time)
{
    const QDate day(1980 + (date >> 9), (date >> 5) & 0x0f, date & 0x1f);
    const QTime clock(time >> 11, (time >> 5) & 0x3f, (time & 0x1f) * 2);
    if (!day.isValid() || !clock.isValid())
        return QDateTime();
    return QDateTime(day, clock);
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
