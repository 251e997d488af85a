#ifndef CONFIGURATIONINFO_H
#define CONFIGURATIONINFO_H

#include "device_global.h"
#include "enumhelper.h"

#include <QMap>
#include <QMetaType>
#include <QSize>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Common {

// The hardware configuration a project carries: display, password protection and
// the roles of the input/output channels and ports. Its one-line text form is the
// one a device reports and the configurator edits.
class DEVICE_EXPORT ConfigurationInfo
{
public:
    using ChannelMap = QMap<int, EnumHelper::InputOutputType>;
    using FrequencyMap = QMap<int, float>;

    // Brightness 100, colour depth 0 (unknown, so the record is not valid until a
    // depth is set), size (-1, -1), both flags off, no password and no channels.
    ConfigurationInfo();
    // Reads the text form. With a malformed text *ok (if given) becomes false and
    // the record keeps the defaults above.
    ConfigurationInfo(const QString& text, bool* ok);
    ConfigurationInfo(const ConfigurationInfo& other) = default;
    ConfigurationInfo& operator=(const ConfigurationInfo& other) = default;

    int displayBrightness() const { return m_displayBrightness; }
    void setDisplayBrightness(int brightness) { m_displayBrightness = brightness; }
    QSize displaySize() const { return m_displaySize; }
    void setDisplaySize(const QSize& size) { m_displaySize = size; }
    int colorDepth() const { return m_colorDepth; }
    void setColorDepth(int depth) { m_colorDepth = depth; }
    bool isRS485Enabled() const { return m_rs485Enabled; }
    void setRS485Enabled(bool enabled) { m_rs485Enabled = enabled; }
    bool isPasswordEnabled() const { return m_passwordEnabled; }
    void setPasswordEnabled(bool enabled) { m_passwordEnabled = enabled; }
    QString password() const { return m_password; }
    void setPassword(const QString& password) { m_password = password; }

    FrequencyMap pwmFrequencies() const { return m_pwmFrequencies; }
    void setPWMFrequency(const FrequencyMap& frequencies) { m_pwmFrequencies = frequencies; }
    void setPWMFrequency(int channel, float frequency) { m_pwmFrequencies.insert(channel, frequency); }

    ChannelMap analogInputs() const { return m_analogInputs; }
    void setAnalogInputs(const ChannelMap& map) { m_analogInputs = map; }
    ChannelMap alarmOutputs() const { return m_alarmOutputs; }
    void setAlarmOutputs(const ChannelMap& map) { m_alarmOutputs = map; }
    ChannelMap pwmOutputs() const { return m_pwmOutputs; }
    void setPWMOutputs(const ChannelMap& map) { m_pwmOutputs = map; }
    ChannelMap serialCOMPorts() const { return m_serialCOMPorts; }
    void setSerialCOMPorts(const ChannelMap& map) { m_serialCOMPorts = map; }
    ChannelMap digitalInputOutputs() const { return m_digitalInputOutputs; }
    void setDigitalInputOutputs(const ChannelMap& map) { m_digitalInputOutputs = map; }
    ChannelMap serial485COMPorts() const { return m_serial485COMPorts; }
    void setSerial485COMPorts(const ChannelMap& map) { m_serial485COMPorts = map; }
    ChannelMap canPorts() const { return m_canPorts; }
    void setCanPorts(const ChannelMap& map) { m_canPorts = map; }

    int analogInputCount() const { return m_analogInputs.size(); }
    int alarmOutputCount() const { return m_alarmOutputs.size(); }
    int pwmOutputCount() const { return m_pwmOutputs.size(); }
    int serialCOMPortCount() const { return m_serialCOMPorts.size(); }
    int serial485COMPortCount() const { return m_serial485COMPorts.size(); }
    int canPortCount() const { return m_canPorts.size(); }

    bool isValid() const;
    QString toString() const;

    bool operator==(const ConfigurationInfo& other) const;
    bool operator!=(const ConfigurationInfo& other) const { return !(*this == other); }

private:
    int m_displayBrightness = 100;
    QSize m_displaySize { -1, -1 };
    int m_colorDepth = 0;
    bool m_rs485Enabled = false;
    bool m_passwordEnabled = false;
    QString m_password;
    FrequencyMap m_pwmFrequencies;
    ChannelMap m_analogInputs;
    ChannelMap m_alarmOutputs;
    ChannelMap m_pwmOutputs;
    ChannelMap m_serialCOMPorts;
    ChannelMap m_digitalInputOutputs;
    ChannelMap m_serial485COMPorts;
    ChannelMap m_canPorts;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

Q_DECLARE_METATYPE(Orvane::Tavrix::Common::ConfigurationInfo)

#endif // CONFIGURATIONINFO_H
