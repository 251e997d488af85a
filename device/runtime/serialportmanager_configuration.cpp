// Device configuration sequence.
#include "serialportmanager.h"
#include "serialportmanager_p.h"

namespace Orvane {
namespace Tavrix {
namespace Runtime {

void SerialPortManager::configureDevice(Common::CalibrationInfo* calibrationInfo) { Q_UNUSED(calibrationInfo) }
void SerialPortManager::onConfigureStateChange(int state) { Q_UNUSED(state) }
void SerialPortManager::failConfiguration(const QString& text) { Q_UNUSED(text) }
void SerialPortManager::finishConfiguration() {}
QString SerialPortManager::calibrationBackupPath() const { return QString(); }

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
