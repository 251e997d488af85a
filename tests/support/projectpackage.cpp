#include "projectpackage.h"

#include "filehelper.h"
#include "zip.h"
#include "ziphelper.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace Orvane::Tavrix::Common;

namespace {

QString writeSoftware(const QString& archive, const QString& runtimeVersion, const QString& newVersion, const QByteArray& image)
{
    QTemporaryDir source;
    const QByteArray xml = "<?xml version=\"1.0\"?><Update><Info><NewRuntime Ver=\"" + newVersion.toLatin1()
        + "\" Date=\"2026-03-14\"/></Info><Device Model_Name=\"QMX 70-A\" Firmware_Ver=\"1.0.4\" Runtime_Ver=\""
        + runtimeVersion.toLatin1() + "\"/></Update>";
    const bool ok = source.isValid() && !image.isEmpty()
        && FileHelper::writeDataToFile(xml, source.filePath(QStringLiteral("update.xml")), true)
        && FileHelper::writeDataToFile(image, source.filePath(QStringLiteral("update.tar.gz")), true)
        && ZipHelper::zipWithDirectoryContents(source.path(), archive, false);
    return ok ? archive : QString();
}

} // namespace

QString writeSoftwarePackage(const QString& archive, const QString& runtimeVersion, int imageSize)
{
    return writeSoftware(archive, runtimeVersion, QStringLiteral("2.2.0.3000"), QByteArray(imageSize, 'u'));
}

QString writeSoftwarePackage(const QString& archive, const QString& runtimeVersion, const QString& newVersion)
{
    // Made by tar itself, as a real image is.
    QTemporaryDir files;
    if (!files.isValid() || !FileHelper::writeDataToFile(newVersion.toLatin1() + '\n', files.filePath(QStringLiteral("version")), true)
        || !FileHelper::writeDataToFile(QByteArray(20000, 'r'), files.filePath(QStringLiteral("runtime.bin")), true))
        return QString();
    const QString image = files.filePath(QStringLiteral("image.tar.gz"));
    if (QProcess::execute(QStringLiteral("tar"), { QStringLiteral("-czf"), image, QStringLiteral("-C"), files.path(),
                                                  QStringLiteral("version"), QStringLiteral("runtime.bin") })
        != 0)
        return QString();
    return writeSoftware(archive, runtimeVersion, newVersion, FileHelper::getFileRawData(image));
}

bool writeProjectPackage(const QString& archive, const QList<QPair<QString, QByteArray>>& entries, const QString& models)
{
    const QVariantMap info = { { "compatibleModels", models }, { "minDeviceSoftwareVersion", "1.0.0.0" },
                               { "configInfo", "colorDepth: 16;" } };
    const QList<QPair<QString, QByteArray>> all = QList<QPair<QString, QByteArray>> {
        { "config.txrc", "colorDepth: 16;" }, { "versionInfo.txverinf", FileHelper::variantToBinary(info) } } + entries;
    QTemporaryDir files;
    Zip zip;
    bool ok = files.isValid() && zip.createArchive(archive) == Zip::Ok;
    for (int i = 0; ok && i < all.size(); ++i) {
        // Added as "<root>/<leaf>": the leaf is the file's name, the rest of the entry name its root.
        const QString& name = all.at(i).first;
        const int slash = name.lastIndexOf(QLatin1Char('/'));
        const QString file = files.filePath(QStringLiteral("%1/%2").arg(i).arg(name.mid(slash + 1)));
        QFile out(file);
        ok = QDir().mkpath(QFileInfo(file).absolutePath()) && out.open(QIODevice::WriteOnly) && out.write(all.at(i).second) >= 0;
        out.close();
        ok = ok && zip.addFile(file, slash < 0 ? QString() : name.left(slash)) == Zip::Ok;
    }
    return zip.closeArchive() == Zip::Ok && ok;
}
