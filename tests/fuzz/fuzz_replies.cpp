// What a device says about itself: the "#HWCF#" description read at discovery, and the
// font and project file lists it answers with.
#include "fuzzdevice.h"
#include "fuzzsupport.h"

#include "deviceinformation.h"
#include "devicerules.h"
#include "serialportmanager.h"
#include "splashimageloader.h"

using namespace Orvane::Tavrix::Runtime;
using Orvane::Tavrix::Common::SplashImageLoader;

DOVREL_FUZZ_INITIALIZE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);

    QMap<QString, QString> map = SerialPortManager::parseHardwareDescription(QString::fromLatin1(input));
    map.insert(QStringLiteral("port"), QStringLiteral("/dev/ttyFUZZ0"));
    SerialPortManager::isCompleteDeviceInformation(map);
    const DeviceInformation device(map);
    device.displayName();
    device.screenWidth();
    device.screenHeight();
    device.colorDepth();
    device.backlight();
    device.timeZone();
    DeviceRules::featureRefusal(device, DeviceRules::DataLogFeature);
    DeviceRules::featureRefusal(device, DeviceRules::FontFeature);
    DeviceRules::isProtocolSafe(device.deviceName());
    SplashImageLoader::screenSize(map);

    FuzzDevice::instance().converse(FuzzDevice::FontListing, input);
    FuzzDevice::instance().converse(FuzzDevice::ProjectRetrieval, input);
    return 0;
}
