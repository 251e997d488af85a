#ifndef CALIBRATIONINFO_H
#define CALIBRATIONINFO_H

#include "device_global.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Common {

// The job list of one device configuration run: which maintenance tasks it
// performs and with which values. A new record only has the battery-low check on.
class DEVICE_EXPORT CalibrationInfo
{
public:
    CalibrationInfo() = default;

    bool isRestore() const { return m_restore; }
    void setRestore(bool restore) { m_restore = restore; }
    bool isBackup() const { return m_backup; }
    void setBackup(bool backup) { m_backup = backup; }
    bool isBatteryLowCheck() const { return m_batteryLowCheck; }
    void setBatteryLowCheck(bool check) { m_batteryLowCheck = check; }
    bool isDeviceCallibrate() const { return m_deviceCallibrate; }
    void setDeviceCallibrate(bool calibrate) { m_deviceCallibrate = calibrate; }
    bool isSetRealTimeClock() const { return m_setRealTimeClock; }
    void setRealTimeClock(bool set) { m_setRealTimeClock = set; }

    // Minutes east of UTC; values outside -720..720 are ignored.
    int timeZone() const { return m_timeZone; }
    void setTimeZone(int minutes);

    bool isDeviceNameChange() const { return m_deviceNameChange; }
    void setDeviceNameChange(bool change) { m_deviceNameChange = change; }
    // An empty name is ignored.
    QString deviceName() const { return m_deviceName; }
    void setDeviceName(const QString& name);

    // Splash data and the factory-image restore exclude each other: setting one clears the other.
    QByteArray splashScreenData() const { return m_splashScreenData; }
    void setSplashScreenData(const QByteArray& data);
    bool isRestoreSplashScreen() const { return m_restoreSplashScreen; }
    void setRestoreSplashScreen(bool restore);

    // Number of progress steps the run reports.
    int taskCount() const;
    // True when the run has nothing to do.
    bool skipCalibration() const;

    bool operator==(const CalibrationInfo& other) const;
    bool operator!=(const CalibrationInfo& other) const { return !(*this == other); }

private:
    bool m_restore = false;
    bool m_backup = false;
    bool m_batteryLowCheck = true;
    bool m_deviceCallibrate = false;
    bool m_setRealTimeClock = false;
    int m_timeZone = 0;
    bool m_deviceNameChange = false;
    QString m_deviceName;
    QByteArray m_splashScreenData;
    bool m_restoreSplashScreen = false;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

Q_DECLARE_METATYPE(Orvane::Tavrix::Common::CalibrationInfo)

#endif // CALIBRATIONINFO_H
