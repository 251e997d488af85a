#ifndef ZIP_P_H
#define ZIP_P_H

#include "zip.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>

class QFile;
class QFileInfo;

namespace Orvane {
namespace Tavrix {
namespace Common {

// Implementation of Zip. Internal to the library.
class ZipPrivate : public QObject
{
    Q_OBJECT
public:
    // What the central directory needs to know about one written entry.
    struct Entry
    {
        QByteArray name;
        quint16 flags = 0;
        quint16 method = 0;
        quint32 dosDateTime = 0;
        quint32 crc = 0;
        quint32 compressedSize = 0;
        quint32 uncompressedSize = 0;
        quint32 offset = 0;
        quint32 externalAttributes = 0;
    };

    ZipPrivate();
    ~ZipPrivate() override;

    Zip::ErrorCode createArchive(QIODevice* device);
    Zip::ErrorCode addDirectory(const QString& path, const QString& root, bool includeSelf,
                                Zip::CompressionLevel level);
    Zip::ErrorCode addFile(const QString& path, const QString& root, Zip::CompressionLevel level);
    Zip::ErrorCode closeArchive();
    // Gives up the archive after an error, deleting the partial file.
    void abort();
    void reset();

    QIODevice* device = nullptr;
    QFile* file = nullptr; // owned when the archive was created from a file name
    QString archivePath;   // canonical path of that file
    QString password;
    QString comment;
    QList<Entry> entries;
    QByteArray buffer1;
    QByteArray buffer2;

private slots:
    void deviceDestroyed(QObject* object);

private:
    Zip::ErrorCode addTree(const QString& path, const QString& prefix, Zip::CompressionLevel level,
                           int depth);
    Zip::ErrorCode addFolderEntry(const QFileInfo& info, const QString& entryName);
    Zip::ErrorCode addFileEntry(const QFileInfo& info, const QString& entryName,
                                Zip::CompressionLevel level);
    Zip::ErrorCode fileCrc(QFile& source, qint64 size, quint32* crc);
    Zip::ErrorCode writeLocalHeader(const Entry& entry);
    bool isArchiveItself(const QFileInfo& info) const;
    bool writeBytes(const char* data, qint64 length);
    bool encodeName(const QString& entryName, Entry* entry);
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // ZIP_P_H
