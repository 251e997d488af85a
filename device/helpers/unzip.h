#ifndef UNZIP_H
#define UNZIP_H

#include "device_global.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class QIODevice;

namespace Orvane {
namespace Tavrix {
namespace Common {

class UnzipPrivate;

// Reads ZIP archives (stored and deflated entries, traditional PKWARE
// encryption). Every size and offset found in the archive is checked against
// the archive itself before it is trusted, and extraction never leaves the
// output folder.
class DEVICE_EXPORT UnZip
{
public:
    enum ErrorCode {
        Ok,
        ZlibInit,
        ZlibError,
        OpenFailed,
        PartiallyCorrupted,
        Corrupted,
        WrongPassword,
        NoOpenArchive,
        FileNotFound,
        ReadFailed,
        WriteFailed,
        SeekFailed,
        CreateDirFailed,
        InvalidDevice,
        InvalidArchive,
        HeaderConsistencyError,
        UnsafeName
    };

    enum CompressionMethod { NoCompression, Deflated, UnknownCompression };
    enum FileType { File, Directory };

    // One archive entry as its central directory record describes it.
    struct ZipEntry
    {
        QString filename;
        QString comment;
        quint32 compressedSize = 0;
        quint32 uncompressedSize = 0;
        quint32 crc32 = 0;
        QDateTime lastModified;
        CompressionMethod compression = NoCompression;
        FileType type = File;
        bool encrypted = false;
    };

    UnZip();
    ~UnZip();

    bool isOpen() const;

    ErrorCode openArchive(const QString& fileName);
    // The device must be random access; it stays owned by the caller.
    ErrorCode openArchive(QIODevice* device);
    void closeArchive();

    QString archiveComment() const;

    // Latin-1 password for encrypted entries; empty means none.
    void setPassword(const QString& password);

    bool contains(const QString& name, Qt::CaseSensitivity cs = Qt::CaseSensitive) const;
    QStringList fileList() const;
    QList<ZipEntry> entryList() const;

    // Entries that fail are skipped; the first error is answered.
    ErrorCode extractAll(const QString& dirName);
    ErrorCode extractFile(const QString& name, const QString& dirName);
    ErrorCode extractFile(const QString& name, QIODevice* device);
    ErrorCode extractFiles(const QStringList& names, const QString& dirName);

    // Whether an entry name stays inside the output folder once extracted.
    static bool isSafeEntryName(const QString& name);
    static QDateTime fromDosDateTime(quint16 date, quint16 time);

private:
    UnzipPrivate* d;
    Q_DISABLE_COPY(UnZip)
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // UNZIP_H
