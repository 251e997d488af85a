#ifndef UNZIP_P_H
#define UNZIP_P_H

#include "unzip.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>

#include <functional>

class QFile;

namespace Orvane {
namespace Tavrix {
namespace Common {

// Implementation of UnZip. Internal to the library.
class UnzipPrivate : public QObject
{
    Q_OBJECT
public:
    struct Entry
    {
        QByteArray rawName;
        QString name;
        QString comment;
        quint16 versionNeeded = 0;
        quint16 flags = 0;
        quint16 method = 0;
        quint16 dosTime = 0;
        quint16 dosDate = 0;
        quint32 crc = 0;
        quint32 compressedSize = 0;
        quint32 uncompressedSize = 0;
        quint32 offset = 0;
        // End of the bytes this entry may occupy: the next entry's local header
        // or the central directory.
        qint64 limit = 0;
        bool listed = true;
    };

    UnzipPrivate();
    ~UnzipPrivate() override;

    // owned, when given, is deleted with the archive.
    UnZip::ErrorCode openArchive(QIODevice* device, QFile* owned = nullptr);
    void closeArchive();
    const Entry* findEntry(const QString& name, Qt::CaseSensitivity cs = Qt::CaseSensitive) const;
    UnZip::ErrorCode extractToDir(const Entry& entry, const QString& dirName);
    // Unpacks one entry into out; openOutput, when given, is called once the
    // entry has proved readable (header and password), before any byte is written.
    UnZip::ErrorCode extractEntry(const Entry& entry, QIODevice* out,
                                  const std::function<bool()>& openOutput = {});
    UnZip::ZipEntry publicEntry(const Entry& entry) const;

    QIODevice* device = nullptr;
    QFile* file = nullptr; // owned when opened from a file name
    QString password;
    QString comment;
    QList<Entry> entries; // listed entries, central directory order
    QByteArray buffer1;
    QByteArray buffer2;

private slots:
    void deviceDestroyed(QObject* object);

private:
    UnZip::ErrorCode readCentralDirectory(qint64 archiveSize);
    void reset();
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // UNZIP_P_H
