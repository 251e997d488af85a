// Splash image and calibration file operations.
#include "serialportmanager.h"
#include "serialportmanager_p.h"

namespace Orvane {
namespace Tavrix {
namespace Runtime {

void SerialPortManager::remoteRestoreSplashScreen() {}
void SerialPortManager::remoteMoveSplashScreen() {}
void SerialPortManager::remoteUploadSplashScreenFile() {}
void SerialPortManager::remoteRestoreFile(const QString& localFilePath, const QString& remotePath)
{
    Q_UNUSED(localFilePath) Q_UNUSED(remotePath)
}
QString SerialPortManager::activeModel() const { return QString(); }
QString SerialPortManager::activeSoftwareVersion() const { return QString(); }

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
