// What a device says about itself: the "#HWCF#" description that discovery reads on a
// new port, and the font and project file lists it answers with.
#include "fuzzdevice.h"
#include "fuzzline.h"
#include "fuzzsupport.h"
#include "ptydevice.h"

#include "deviceinformation.h"
#include "devicerules.h"
#include "serialdevicescanner.h"
#include "serialportmanager.h"
#include "splashimageloader.h"

#include <QSerialPort>
#include <QTimer>

using namespace Orvane::Tavrix::Runtime;
using Orvane::Tavrix::Common::SplashImageLoader;

DOVREL_FUZZ_INITIALIZE

namespace {

// What discovery does with an identified device's description.
void readDescription(QMap<QString, QString> map)
{
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
}

// A scanner as discovery runs one on a new port (here in this thread, with timers that
// never fire within one input), given the input as the device's answers.
void scan(const QByteArray& input, bool bootUp)
{
    static FuzzLine line;
    line.device().setAutoIdentify(false);
    QSerialPort port;
    port.setPortName(line.device().slavePath());
    QTimer bootTimer;
    QTimer scanTimer;
    SerialDeviceScanner scanner(&port, &bootTimer, &scanTimer, bootUp);
    QObject::connect(&port, &QSerialPort::readyRead, &scanner, &SerialDeviceScanner::onReadyRead);
    QObject::connect(&scanner, &SerialDeviceScanner::deviceConnected, [](const QMap<QString, QString>& info) {
        readDescription(info);
    });
    scanner.starScan();
    line.converse(input, [&] { return port.isOpen() && scanner.state() != SerialDeviceScanner::Failed; });
    scanner.stopScan();
    line.flush();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);

    readDescription(SerialPortManager::parseHardwareDescription(QString::fromLatin1(input)));
    scan(input, true);
    scan(input, false);
    FuzzDevice::instance().converse(FuzzDevice::FontListing, input);
    FuzzDevice::instance().converse(FuzzDevice::ProjectRetrieval, input);
    return 0;
}
