#include "ziphelper.h"

#include "diagnostics.h"

#include <QBuffer>
#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <functional>

using Orvane::Tavrix::Common::lcFiles;

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

QString passwordText(const char* password)
{
    return password ? QString::fromLatin1(password) : QString();
}

// Opens the archive for reading; false when it cannot be read without error.
bool openReader(UnZip& unzip, const QString& archive, const char* password, bool acceptPartial)
{
    unzip.setPassword(passwordText(password));
    const UnZip::ErrorCode ec = unzip.openArchive(archive);
    return ec == UnZip::Ok || (acceptPartial && ec == UnZip::PartiallyCorrupted && unzip.isOpen());
}

bool outputFolderExists(const QString& outputDir)
{
    if (QFileInfo(outputDir).isDir())
        return true;
    qCDebug(lcFiles).noquote() << QStringLiteral("Output directory %1 does not exist").arg(outputDir);
    return false;
}

// Writes a new archive through add, following the existing-archive rule.
bool writeArchive(const QString& archive, bool rename, const char* password, const QString& comment,
                  const std::function<Zip::ErrorCode(Zip&)>& add)
{
    QString target = archive;
    if (QFileInfo::exists(target)) {
        if (!rename) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Archive %1 already exists").arg(archive);
            return false;
        }
        for (quint64 counter = 0;; ++counter) {
            target = archive + QString::number(counter);
            if (!QFileInfo::exists(target))
                break;
        }
    }

    Zip zip;
    if (zip.createArchive(target, true) != Zip::Ok)
        return false;
    const QString pwd = passwordText(password);
    if (!pwd.isEmpty())
        zip.setPassword(pwd);
    if (!comment.isEmpty())
        zip.setArchiveComment(comment);
    // Zip deletes the partial archive itself when adding or closing fails.
    if (add(zip) != Zip::Ok)
        return false;
    return zip.closeArchive() == Zip::Ok;
}

} // namespace

bool ZipHelper::isValidZip(const QString& archive, const char* password)
{
    UnZip unzip;
    return openReader(unzip, archive, password, false);
}

QString ZipHelper::comment(const QString& archive, const char* password)
{
    UnZip unzip;
    if (!openReader(unzip, archive, password, true))
        return QString();
    return unzip.archiveComment();
}

QStringList ZipHelper::listContents(const QString& archive, const char* password)
{
    UnZip unzip;
    if (!openReader(unzip, archive, password, true))
        return QStringList();
    return unzip.fileList();
}

QList<UnZip::ZipEntry> ZipHelper::listContentInfo(const QString& archive, const char* password)
{
    UnZip unzip;
    if (!openReader(unzip, archive, password, true))
        return QList<UnZip::ZipEntry>();
    return unzip.entryList();
}

bool ZipHelper::containsFile(const QString& archive, const QString& name, const char* password,
                             bool fullPath, Qt::CaseSensitivity cs)
{
    UnZip unzip;
    if (!openReader(unzip, archive, password, true))
        return false;
    const QString wanted = QDir::fromNativeSeparators(name);
    if (fullPath)
        return unzip.contains(wanted, cs);
    const QStringList names = unzip.fileList();
    for (const QString& entry : names) {
        QString last = entry;
        if (last.endsWith(QLatin1Char('/')))
            last.chop(1);
        last = last.mid(last.lastIndexOf(QLatin1Char('/')) + 1);
        if (last.compare(wanted, cs) == 0)
            return true;
    }
    return false;
}

QByteArray ZipHelper::extractFileContent(const QString& archive, const QString& name, const char* password)
{
    UnZip unzip;
    if (!openReader(unzip, archive, password, true))
        return QByteArray();
    QString normalized = name;
    normalized.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QByteArray content;
    QBuffer buffer(&content);
    buffer.open(QIODevice::WriteOnly);
    if (unzip.extractFile(normalized, &buffer) != UnZip::Ok)
        return QByteArray();
    buffer.close();
    return content;
}

bool ZipHelper::extractFile(const QString& archive, const QString& name, const QString& outputDir,
                            const char* password)
{
    if (!outputFolderExists(outputDir))
        return false;
    UnZip unzip;
    if (!openReader(unzip, archive, password, true))
        return false;
    return unzip.extractFile(name, outputDir) == UnZip::Ok;
}

bool ZipHelper::extractFiles(const QStringList& names, const QString& archive, const QString& outputDir,
                             const char* password)
{
    if (!outputFolderExists(outputDir))
        return false;
    UnZip unzip;
    if (!openReader(unzip, archive, password, true))
        return false;
    return unzip.extractFiles(names, outputDir) == UnZip::Ok;
}

bool ZipHelper::extractAll(const QString& archive, const QString& outputDir, const char* password)
{
    if (!outputFolderExists(outputDir))
        return false;
    UnZip unzip;
    unzip.setPassword(passwordText(password));
    const UnZip::ErrorCode opened = unzip.openArchive(archive);
    if (!unzip.isOpen())
        return false;
    // What is readable of a damaged archive is unpacked, but not everything was.
    return unzip.extractAll(outputDir) == UnZip::Ok && opened == UnZip::Ok;
}

namespace {

// Opens an archive held in memory; a partly damaged one is read as far as it goes.
UnZip::ErrorCode openInMemory(UnZip& unzip, QBuffer& buffer, const QByteArray& archive)
{
    buffer.setData(archive);
    return buffer.open(QIODevice::ReadOnly) ? unzip.openArchive(&buffer) : UnZip::OpenFailed;
}

bool isReadable(const UnZip& unzip, UnZip::ErrorCode ec)
{
    return ec == UnZip::Ok || (ec == UnZip::PartiallyCorrupted && unzip.isOpen());
}

} // namespace

QStringList ZipHelper::listContents(const QByteArray& archive)
{
    QBuffer buffer;
    UnZip unzip;
    if (!isReadable(unzip, openInMemory(unzip, buffer, archive)))
        return QStringList();
    return unzip.fileList();
}

QByteArray ZipHelper::extractFileContent(const QByteArray& archive, const QString& name)
{
    QBuffer buffer;
    UnZip unzip;
    if (!isReadable(unzip, openInMemory(unzip, buffer, archive)))
        return QByteArray();
    QByteArray content;
    QBuffer out(&content);
    out.open(QIODevice::WriteOnly);
    if (unzip.extractFile(name, &out) != UnZip::Ok)
        return QByteArray();
    return content;
}

bool ZipHelper::extractAll(const QByteArray& archive, const QString& outputDir)
{
    if (!outputFolderExists(outputDir))
        return false;
    QBuffer buffer;
    UnZip unzip;
    const UnZip::ErrorCode opened = openInMemory(unzip, buffer, archive);
    if (!unzip.isOpen())
        return false;
    return unzip.extractAll(outputDir) == UnZip::Ok && opened == UnZip::Ok;
}

bool ZipHelper::zipWithDirectory(const QString& dir, const QString& archive, bool rename,
                                 const char* password, const QString& comment, Zip::CompressionLevel level)
{
    if (!QFileInfo(dir).isDir()) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Directory not found: %1").arg(dir);
        return false;
    }
    return writeArchive(archive, rename, password, comment,
                        [&](Zip& zip) { return zip.addDirectory(dir, QString(), level); });
}

bool ZipHelper::zipWithDirectoryContents(const QString& dir, const QString& archive, bool rename,
                                         const char* password, const QString& comment,
                                         Zip::CompressionLevel level)
{
    if (!QFileInfo(dir).isDir()) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Directory not found: %1").arg(dir);
        return false;
    }
    return writeArchive(archive, rename, password, comment,
                        [&](Zip& zip) { return zip.addDirectoryContents(dir, QString(), level); });
}

bool ZipHelper::zipWithFiles(const QStringList& files, const QString& archive, bool rename,
                             const char* password, const QString& comment, Zip::CompressionLevel level)
{
    return writeArchive(archive, rename, password, comment, [&](Zip& zip) {
        for (const QString& file : files) {
            const Zip::ErrorCode ec = zip.addFile(file, QString(), level);
            if (ec != Zip::Ok)
                return ec;
        }
        return Zip::Ok;
    });
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
