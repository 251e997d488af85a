#include "projectpackage.h"

#include "filehelper.h"
#include "zip.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace Orvane::Tavrix::Common;

bool writeProjectPackage(const QString& archive, const QList<QPair<QString, QByteArray>>& entries,
                         const QString& models, const QString& minimumVersion)
{
    const QVariantMap versionInfo = { { QStringLiteral("compatibleModels"), models },
                                      { QStringLiteral("minDeviceSoftwareVersion"), minimumVersion },
                                      { QStringLiteral("ethernetPort"), 0 },
                                      { QStringLiteral("configInfo"), QStringLiteral("colorDepth: 16;") } };
    QList<QPair<QString, QByteArray>> all = {
        { QStringLiteral("config.txrc"), QByteArray("colorDepth: 16;") },
        { QStringLiteral("versionInfo.txverinf"), FileHelper::variantToBinary(versionInfo) },
    };
    all += entries;

    QTemporaryDir files;
    Zip zip;
    if (!files.isValid() || zip.createArchive(archive) != Zip::Ok)
        return false;
    int count = 0;
    for (const auto& [name, content] : std::as_const(all)) {
        // Each file is added under its own leaf name, with the rest of the entry name as its root.
        const int slash = name.lastIndexOf(QLatin1Char('/'));
        const QString folder = files.filePath(QString::number(++count));
        const QString file = folder + QLatin1Char('/') + name.mid(slash + 1);
        QDir().mkpath(folder);
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size())
            return false;
        out.close();
        if (zip.addFile(file, slash < 0 ? QString() : name.left(slash)) != Zip::Ok)
            return false;
    }
    return zip.closeArchive() == Zip::Ok;
}
