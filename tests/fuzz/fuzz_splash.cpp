// A splash image chosen by the user (BMP or JPEG, judged by content), scaled to the
// device's screen and encoded as BMP for the device.
#include "fuzzsupport.h"

#include "splashimageloader.h"

using Orvane::Tavrix::Common::SplashImageLoader;

DOVREL_FUZZ_INITIALIZE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = FuzzSupport::writeScratchFile(QStringLiteral("splash.bmp"), FuzzSupport::bytes(data, size));
    SplashImageLoader loader;
    // A small screen keeps the scaling cheap; the path through the loader is the same.
    if (!loader.load(path, QSize(80, 48)))
        return 0;
    loader.needsScaling();
    loader.scalingText();
    loader.bmpData();
    return 0;
}
