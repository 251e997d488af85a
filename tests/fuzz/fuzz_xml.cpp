// XML: the property helper's reads of project files, and a software package's
// "update.xml" as the upgrade check reads it.
#include "fuzzsupport.h"

#include "softwarepackagechecker.h"
#include "xmlhelper.h"
#include "ziphelper.h"

#include <QDomDocument>
#include <QFile>

using namespace Orvane::Tavrix::Common;

DOVREL_FUZZ_INITIALIZE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);

    XmlHelper::getValuesFromData(input, { QStringLiteral("name"), QStringLiteral("version"), QStringLiteral("model") });
    XmlHelper::getValueFromData(input, QStringLiteral("name"));
    XmlHelper::getRootTypeFromData(input);
    QDomDocument document;
    if (document.setContent(input))
        XmlHelper::getChildElement(document.documentElement(), QStringLiteral("Info"));

    const QString xml = FuzzSupport::writeScratchFile(QStringLiteral("update.xml"), input);
    static const QString image = FuzzSupport::writeScratchFile(QStringLiteral("update.tar.gz"), QByteArray(64, 'I'));
    const QString package = FuzzSupport::scratchPath(QStringLiteral("fuzz.txsw"));
    QFile::remove(package);
    if (!ZipHelper::zipWithFiles({ xml, image }, package, false, nullptr, QString(), Zip::Store))
        qFatal("cannot pack the software package");
    SoftwarePackageChecker checker(package);
    checker.check({ { QStringLiteral("model"), QStringLiteral("QMX 70-A") },
                    { QStringLiteral("firmware"), QStringLiteral("1.0.4") },
                    { QStringLiteral("deviceAppVer"), QStringLiteral("2.1.6.2886") } });
    checker.releaseDate();
    return 0;
}
