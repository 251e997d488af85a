// Project retrieval sequence.
#include "serialportmanager.h"
#include "serialportmanager_p.h"

namespace Orvane {
namespace Tavrix {
namespace Runtime {

bool SerialPortManager::retrieveProjectFiles(const QString& destination)
{
    Q_UNUSED(destination)
    return false;
}

void SerialPortManager::onRetrieveProjectFileStatusChange(int status) { Q_UNUSED(status) }
bool SerialPortManager::processRetrieveProjFileLst() { return true; }

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
