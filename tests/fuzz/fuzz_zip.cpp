// ZIP archives from anyone: project and software packages read from a file, and the
// same bytes streamed from memory through a QIODevice.
#include "fuzzsupport.h"

#include "projectpackagechecker.h"
#include "softwarepackagechecker.h"
#include "unzip.h"
#include "ziphelper.h"

#include <QBuffer>
#include <QDir>

using namespace Orvane::Tavrix::Common;

DOVREL_FUZZ_INITIALIZE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);

    // Streamed: every entry extracted into memory.
    QBuffer archive;
    archive.setData(input);
    archive.open(QIODevice::ReadOnly);
    UnZip unzip;
    if (unzip.openArchive(&archive) == UnZip::Ok) {
        unzip.archiveComment();
        unzip.fileList();
        for (const UnZip::ZipEntry& entry : unzip.entryList()) {
            QBuffer out;
            out.open(QIODevice::WriteOnly);
            unzip.extractFile(entry.filename, &out);
        }
        unzip.closeArchive();
    }

    // Whole archive: the helpers and both package checks, as a dropped file meets them.
    const QString path = FuzzSupport::writeScratchFile(QStringLiteral("archive.zip"), input);
    if (ZipHelper::isValidZip(path)) {
        ZipHelper::comment(path);
        const QStringList names = ZipHelper::listContents(path);
        ZipHelper::listContentInfo(path);
        ZipHelper::containsFile(path, QStringLiteral("config.txrc"), nullptr, false, Qt::CaseInsensitive);
        if (!names.isEmpty())
            ZipHelper::extractFileContent(path, names.first());
        const QString out = FuzzSupport::scratchPath(QStringLiteral("unzipped"));
        QDir().mkpath(out);
        ZipHelper::extractAll(path, out);
        QDir(out).removeRecursively();
    }
    ProjectPackageChecker project(path);
    project.check({ { QStringLiteral("model"), QStringLiteral("QMX 70-A") },
                    { QStringLiteral("deviceAppVer"), QStringLiteral("2.1.6.2886") } });
    project.configuration();
    SoftwarePackageChecker software(path);
    software.read();
    return 0;
}
