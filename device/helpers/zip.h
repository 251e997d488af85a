#ifndef ZIP_H
#define ZIP_H

#include "device_global.h"

#include <QDateTime>
#include <QString>

class QIODevice;

namespace Orvane {
namespace Tavrix {
namespace Common {

class ZipPrivate;

// Writes ZIP archives (stored or raw-deflated entries, optional traditional
// PKWARE encryption). Any failure while writing aborts the archive: the
// partly written file is deleted so that no broken archive is left behind.
class DEVICE_EXPORT Zip
{
public:
    enum ErrorCode {
        Ok,
        ZlibInit,
        ZlibError,
        FileExists,
        OpenFailed,
        NoOpenArchive,
        FileNotFound,
        ReadFailed,
        WriteFailed,
        SeekFailed,
        InvalidArgument
    };

    enum CompressionLevel {
        Store = 0,
        Deflate1 = 1,
        Deflate2,
        Deflate3,
        Deflate4,
        Deflate5,
        Deflate6,
        Deflate7,
        Deflate8,
        Deflate9,
        AutoCPU = 10,
        AutoMIME = 11,
        AutoFull = 12
    };

    Zip();
    ~Zip();

    bool isOpen() const;

    // Latin-1 password used for every entry added afterwards; empty means none.
    void setPassword(const QString& password);
    void clearPassword();
    QString password() const;

    ErrorCode createArchive(const QString& fileName, bool overwrite = true);
    ErrorCode createArchive(QIODevice* device);

    QString archiveComment() const;
    void setArchiveComment(const QString& comment);

    // Adds the folder itself: entries are "<root>/<folder name>/...".
    ErrorCode addDirectory(const QString& path, const QString& root = QString(),
                           CompressionLevel level = AutoFull);
    // Adds what is inside the folder: entries are "<root>/...".
    ErrorCode addDirectoryContents(const QString& path, const QString& root = QString(),
                                   CompressionLevel level = AutoFull);
    // Adds one file (or folder, recursively) as "<root>/<file name>".
    ErrorCode addFile(const QString& path, const QString& root = QString(),
                      CompressionLevel level = AutoFull);

    // Writes the central directory and the end record and closes the archive.
    ErrorCode closeArchive();

    // Deflate level (0 = stored) used for a file of that name and size.
    static int deflateLevel(const QString& fileName, qint64 size, CompressionLevel level);
    // MS-DOS date (high word) and time (low word) of a local time stamp.
    static quint32 toDosDateTime(const QDateTime& dateTime);

private:
    ZipPrivate* d;
    Q_DISABLE_COPY(Zip)
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // ZIP_H
