// The records a project carries: its version information ("versionInfo.txverinf", a
// serialized map) and the device settings text in it, plus the configuration run's job
// list filled from such values.
#include "fuzzsupport.h"

#include "calibrationinfo.h"
#include "configurationinfo.h"
#include "devicerules.h"
#include "filehelper.h"

#include <QVariant>

using namespace Orvane::Tavrix::Common;

DOVREL_FUZZ_INITIALIZE

namespace {

void readSettings(const QString& text)
{
    bool ok = false;
    const ConfigurationInfo settings(text, &ok);
    if (!ok)
        return;
    settings.isValid();
    Orvane::Tavrix::Runtime::DeviceRules::brightnessAfterUpload(settings);
    // The text form is what the configurator edits and sends back: it must read back as itself.
    const QString written = settings.toString();
    bool again = false;
    const ConfigurationInfo reread(written, &again);
    if (!again || reread.toString() != written)
        qFatal("settings text does not read back: \"%s\" gave \"%s\"", qPrintable(written), qPrintable(reread.toString()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);

    readSettings(QString::fromUtf8(input));

    const QVariantMap info = FileHelper::variantFromBinary(input).toMap();
    readSettings(info.value(QStringLiteral("configInfo")).toString());

    CalibrationInfo run;
    run.setDeviceName(QString::fromUtf8(input.left(32)));
    run.setDeviceNameChange(size % 2 == 1);
    run.setTimeZone(size > 1 ? int(qint16(data[0] << 8 | data[1])) : 0);
    run.setRealTimeClock(size % 3 == 0);
    run.setRestoreSplashScreen(size % 7 == 0);
    run.setSplashScreenData(input.mid(32));
    run.setBackup(size % 5 == 0);
    if (run.timeZone() < -720 || run.timeZone() > 720 || (run.isRestoreSplashScreen() && !run.splashScreenData().isEmpty()))
        qFatal("the configuration run took a value it must refuse");
    run.taskCount();
    run.skipCalibration();
    return 0;
}
