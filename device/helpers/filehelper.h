#ifndef FILEHELPER_H
#define FILEHELPER_H

#include "device_global.h"

#include <QByteArray>
#include <QDir>
#include <QIcon>
#include <QRegularExpression>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace Orvane {
namespace Tavrix {
namespace Common {

// Static operations on paths, files, folders and images. Paths use "/" separators;
// failures give false, an empty text or an empty byte array, never an exception.
class DEVICE_EXPORT FileHelper
{
public:
    enum FileType {
        NotExistFileType = 0,
        NormalFileType = 1,
        DirectoryFileType = 2,
        RootFileType = 3,
        LinkFileType = 4,
        OtherFileType = 5 // sockets, devices, pipes
    };

    // Paths and names
    static QString normalizeFilePath(const QString& path);
    static QString getNameFromPath(const QString& path);
    static QString getParentPath(const QString& path);
    static QString getFileExtension(const QString& path);
    static int compareFileExtension(const QString& a, const QString& b, Qt::CaseSensitivity cs = Qt::CaseInsensitive);
    static QString findFileTarget(const QString& path);
    // With followLink a link is classified by its target (a dangling link does not exist).
    static FileType getFileType(const QString& path, bool followLink = true);
    static bool isNormalFile(const QString& path, bool followLink = true);
    static bool isDirectory(const QString& path, bool followLink = true);

    // Name validity
    static QRegularExpression validFileNameExpression();
    static bool isValidFileNameFormat(const QString& name);
    static QStringList illegalFileNameCharacters();
    static QStringList windowsReservedNames();
    static bool isValidWindowsName(const QString& path);

    // Images
    static QStringList validImageFileExtensions(bool withDot = false);
    static bool isValidImageFileExtension(const QString& path);
    static bool isValidImage(const QString& path);
    static QSize getImageSize(const QString& path);
    static bool isSameImageExtensionFormat(const QString& path);

    // Folders
    static bool createDirectory(const QString& path);
    static bool removeDirectory(const QString& path);
    static bool removeDirectoryAndContent(const QString& path);
    static bool copyDirectory(const QString& source, const QString& target);
    static void recursiveAddDirectoryFiles(const QDir& dir, QStringList& files);

    // Standard locations, computed once per process
    static QString getStandardDesktopLocation();
    static QString getStandardDocumentLocation();
    static QString getStandardPictureLocation();
    static QString getStandardMusicLocation();
    static QString getStandardMovieLocation();
    static QString getStandardTemporatyLocation();
    static QString getStandardHomeLocation();
    static QString getStandardDownloadLocation();
    // The user's own folder for the program's lock and working files: on Linux the
    // runtime folder (XDG_RUNTIME_DIR), or "Lumatra" in the cache folder when there
    // is none of the user's own; on Windows the temporary folder.
    static QString getStandardRuntimeLocation();
    // Creates a folder inside getStandardRuntimeLocation() with its missing parents.
    // On Linux each one is made 0700 and must be a real folder of this user (a link
    // or another user's folder is refused, and left as it is).
    static bool createPrivateDirectory(const QString& path);

    // File content
    static QByteArray getFileRawData(const QString& path);
    static QByteArray getFileBase64(const QString& path);
    static QByteArray rawDataFromBase64(const QByteArray& base64);
    // Written through a temporary file: a failed write never replaces a good file.
    static bool writeDataToFile(const QByteArray& data, const QString& path, bool overwrite = true);
    static bool writeBase64ToFile(const QByteArray& base64, const QString& path, bool overwrite = true);
    static QString getFileMD4(const QString& path);
    static QString getFileMD5(const QString& path);
    static QString getFileSHA1(const QString& path);

    static QByteArray variantToBinary(const QVariant& variant);
    static QVariant variantFromBinary(const QByteArray& data);
    static bool variantToFile(const QVariant& variant, const QString& path, bool overwrite = true);
    static QVariant variantFromFile(const QString& path);

    // Shell
    static bool activateFileViewerSelectingFile(const QString& path);
    static bool activateFileViewerSelectingFiles(const QStringList& paths);
    static QIcon getFileIcon(const QString& path);
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // FILEHELPER_H
