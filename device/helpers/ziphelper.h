#ifndef ZIPHELPER_H
#define ZIPHELPER_H

#include "device_global.h"
#include "unzip.h"
#include "zip.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Common {

// One static operation per use of ZIP archives: listing and reading packages,
// unpacking retrieved files and packing folders. Failures are reported by the
// result (false, empty) with the reason in the debug output; nothing throws.
// A null or empty password means none; it is read as Latin-1.
class DEVICE_EXPORT ZipHelper
{
public:
    static bool isValidZip(const QString& archive, const char* password = nullptr);
    static QString comment(const QString& archive, const char* password = nullptr);
    static QStringList listContents(const QString& archive, const char* password = nullptr);
    static QList<UnZip::ZipEntry> listContentInfo(const QString& archive, const char* password = nullptr);
    // fullPath false compares name with the entries' last path component only.
    static bool containsFile(const QString& archive, const QString& name, const char* password = nullptr,
                             bool fullPath = true, Qt::CaseSensitivity cs = Qt::CaseSensitive);

    static QByteArray extractFileContent(const QString& archive, const QString& name,
                                         const char* password = nullptr);
    static bool extractFile(const QString& archive, const QString& name, const QString& outputDir,
                            const char* password = nullptr);
    static bool extractFiles(const QStringList& names, const QString& archive, const QString& outputDir,
                             const char* password = nullptr);
    static bool extractAll(const QString& archive, const QString& outputDir, const char* password = nullptr);
    // The same on an archive read into memory: what was checked is what is unpacked.
    static QStringList listContents(const QByteArray& archive);
    static QByteArray extractFileContent(const QByteArray& archive, const QString& name);
    static bool extractAll(const QByteArray& archive, const QString& outputDir);

    static bool zipWithDirectory(const QString& dir, const QString& archive, bool rename = false,
                                 const char* password = nullptr, const QString& comment = QString(),
                                 Zip::CompressionLevel level = Zip::AutoFull);
    static bool zipWithDirectoryContents(const QString& dir, const QString& archive, bool rename = false,
                                         const char* password = nullptr, const QString& comment = QString(),
                                         Zip::CompressionLevel level = Zip::AutoFull);
    static bool zipWithFiles(const QStringList& files, const QString& archive, bool rename = false,
                             const char* password = nullptr, const QString& comment = QString(),
                             Zip::CompressionLevel level = Zip::AutoFull);

private:
    ZipHelper() = delete;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // ZIPHELPER_H
