#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Writes a zip archive holding a single deflated entry; enough for the
// device's zipped data log.
class ZipWriter
{
public:
    static QByteArray singleEntry(const QString& entryName, const QByteArray& content,
                                  const QDateTime& modified);
    static bool writeSingleEntry(const QString& zipPath, const QString& entryName,
                                 const QByteArray& content, const QDateTime& modified);
};
