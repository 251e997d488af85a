// Project upload sequence.
#include "serialportmanager.h"
#include "serialportmanager_p.h"

namespace Orvane {
namespace Tavrix {
namespace Runtime {

void SerialPortManager::uploadProject(const QStringList& projectFiles, const Common::ConfigurationInfo& projectConfig, int totalSize)
{
    Q_UNUSED(projectFiles) Q_UNUSED(projectConfig) Q_UNUSED(totalSize)
}

void SerialPortManager::onProcessUploadFile(int status) { Q_UNUSED(status) }
void SerialPortManager::uploadNextFile() {}
void SerialPortManager::applyProjectSettings() {}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
