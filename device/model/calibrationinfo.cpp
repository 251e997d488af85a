#include "calibrationinfo.h"

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {
// Registered by name as well, so that string-based queued connections work.
void registerCalibrationInfoType()
{
    qRegisterMetaType<CalibrationInfo>("CalibrationInfo");
    qRegisterMetaType<CalibrationInfo>("Orvane::Tavrix::Common::CalibrationInfo");
}
} // namespace
Q_CONSTRUCTOR_FUNCTION(registerCalibrationInfoType)

void CalibrationInfo::setTimeZone(int minutes)
{
    if (minutes >= -720 && minutes <= 720)
        m_timeZone = minutes;
}

void CalibrationInfo::setDeviceName(const QString& name)
{
    if (!name.isEmpty())
        m_deviceName = name;
}

void CalibrationInfo::setSplashScreenData(const QByteArray& data)
{
    if (data == m_splashScreenData)
        return;
    m_splashScreenData = data;
    if (!data.isEmpty())
        m_restoreSplashScreen = false;
}

void CalibrationInfo::setRestoreSplashScreen(bool restore)
{
    m_restoreSplashScreen = restore;
    if (restore)
        m_splashScreenData.clear();
}

int CalibrationInfo::taskCount() const
{
    int count = 0;
    // The battery-low check is sent only together with the clock, so on its own
    // (it is on by default) it is no task.
    if (m_batteryLowCheck && m_setRealTimeClock)
        ++count;
    if (m_deviceCallibrate)
        ++count;
    if (m_setRealTimeClock)
        ++count;
    if (m_deviceNameChange)
        count += 2;
    if (!m_splashScreenData.isEmpty() || m_restoreSplashScreen)
        count += 2;
    if (m_restore || m_backup)
        count += 2;
    return count;
}

bool CalibrationInfo::skipCalibration() const
{
    return !m_restore && !m_backup && taskCount() == 0;
}

bool CalibrationInfo::operator==(const CalibrationInfo& other) const
{
    return m_restore == other.m_restore && m_backup == other.m_backup && m_batteryLowCheck == other.m_batteryLowCheck
        && m_deviceCallibrate == other.m_deviceCallibrate && m_setRealTimeClock == other.m_setRealTimeClock
        && m_timeZone == other.m_timeZone && m_deviceNameChange == other.m_deviceNameChange
        && m_deviceName == other.m_deviceName && m_splashScreenData == other.m_splashScreenData
        && m_restoreSplashScreen == other.m_restoreSplashScreen;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
