// The device's side of a whole operation, packets included: the first byte picks the
// operation (a retrieval, a send, a listing), the rest is what the device writes, in
// pieces separated by FuzzDevice::Separator.
#include "fuzzdevice.h"
#include "fuzzsupport.h"

DOVREL_FUZZ_INITIALIZE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const auto operation = FuzzDevice::Operation(data[0] % FuzzDevice::OperationCount);
    FuzzDevice::instance().converse(operation, FuzzSupport::bytes(data + 1, size - 1));
    return 0;
}
