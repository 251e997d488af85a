// ".strings" translation tables: a table file of a locale folder, read at start-up.
#include "fuzzsupport.h"

#include "localizationhelper.h"

#include <QMap>

using Orvane::Tavrix::Common::LocalizationHelper;

DOVREL_FUZZ_INITIALIZE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = FuzzSupport::writeScratchFile(QStringLiteral("Fuzz.strings"), FuzzSupport::bytes(data, size));
    QMap<QString, QString> table;
    LocalizationHelper::parseStringsFile(path, &table);
    return 0;
}
