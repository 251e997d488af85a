#include "configurationinfo.h"

#include "diagnostics.h"

#include <QDebug>
#include <QStringList>

#include <algorithm>
#include <optional>

using Orvane::Tavrix::Common::lcFiles;

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

void registerConfigurationInfoType()
{
    qRegisterMetaType<ConfigurationInfo>("ConfigurationInfo");
    qRegisterMetaType<ConfigurationInfo>("Orvane::Tavrix::Common::ConfigurationInfo");
}

const QString kAlarmOutputs = QStringLiteral("alarmOutputs");
const QString kAnalogInputs = QStringLiteral("analogInputs");
const QString kCanPorts = QStringLiteral("canPorts");
const QString kColorDepth = QStringLiteral("colorDepth");
const QString kDigitalInputOutputs = QStringLiteral("digitalInputOutputs");
const QString kDisplayBrightness = QStringLiteral("displayBrightness");
const QString kDisplaySize = QStringLiteral("displaySize");
const QString kPassword = QStringLiteral("password");
const QString kPwmFrequency = QStringLiteral("pwmFrequency");
const QString kPwmOutputs = QStringLiteral("pwmOutputs");
const QString kSerial485COMPorts = QStringLiteral("serial485COMPorts");
const QString kSerialCOMPorts = QStringLiteral("serialCOMPorts");

QString rolesText(const ConfigurationInfo::ChannelMap& map)
{
    QStringList roles;
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        roles << QString::number(static_cast<int>(it.value()));
    return roles.join(QLatin1Char(','));
}

// Six significant digits as the device writes them; a frequency that six digits
// cannot carry (9999999 would become "1e+07") gets the digits a float needs.
QString frequencyText(float frequency)
{
    const QString shortText = QString::number(frequency, 'g', 6);
    bool ok = false;
    if (shortText.toFloat(&ok) == frequency && ok)
        return shortText;
    return QString::number(frequency, 'g', 9);
}

QString frequenciesText(const ConfigurationInfo::FrequencyMap& map)
{
    QStringList values;
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        values << frequencyText(it.value());
    return values.join(QLatin1Char(','));
}

std::optional<int> parseInt(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

// "1,0,2" gives channels 0, 1 and 2; an empty text gives no channel.
std::optional<ConfigurationInfo::ChannelMap> parseRoles(const QString& text)
{
    ConfigurationInfo::ChannelMap map;
    if (text.isEmpty())
        return map;
    const QStringList items = text.split(QLatin1Char(','));
    for (int i = 0; i < items.size(); ++i) {
        const std::optional<int> role = parseInt(items.at(i));
        // Only a defined role may become one: any other number is no value of the enumeration.
        if (!role || *role < EnumHelper::UnavailableType || *role > EnumHelper::Direction)
            return std::nullopt;
        map.insert(i, static_cast<EnumHelper::InputOutputType>(*role));
    }
    return map;
}

std::optional<ConfigurationInfo::FrequencyMap> parseFrequencies(const QString& text)
{
    ConfigurationInfo::FrequencyMap map;
    if (text.isEmpty())
        return map;
    const QStringList items = text.split(QLatin1Char(','));
    for (int i = 0; i < items.size(); ++i) {
        bool ok = false;
        const float value = items.at(i).trimmed().toFloat(&ok);
        if (!ok)
            return std::nullopt;
        map.insert(i, value);
    }
    return map;
}

bool hasOnlyRoles(const ConfigurationInfo::ChannelMap& map, std::initializer_list<int> allowed)
{
    int expected = 0;
    for (auto it = map.constBegin(); it != map.constEnd(); ++it, ++expected) {
        if (it.key() != expected)
            return false;
        if (std::find(allowed.begin(), allowed.end(), static_cast<int>(it.value())) == allowed.end())
            return false;
    }
    return true;
}

} // namespace

Q_CONSTRUCTOR_FUNCTION(registerConfigurationInfoType)

ConfigurationInfo::ConfigurationInfo() = default;

ConfigurationInfo::ConfigurationInfo(const QString& text, bool* ok)
{
    if (ok)
        *ok = false;

    // Everything is read into a copy first, so that a malformed text changes nothing.
    ConfigurationInfo parsed;
    const QStringList items = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& item : items) {
        if (item.trimmed().isEmpty())
            continue;
        const QStringList parts = item.split(QLatin1Char(':'));
        if (parts.size() != 2) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Malformed configuration item \"%1\".").arg(item);
            return;
        }
        const QString key = parts.at(0).trimmed();
        const QString value = parts.at(1).trimmed();
        bool valueOk = true;

        if (key == kColorDepth || key == kDisplayBrightness) {
            const std::optional<int> number = parseInt(value);
            valueOk = number.has_value();
            if (valueOk)
                (key == kColorDepth ? parsed.m_colorDepth : parsed.m_displayBrightness) = *number;
        } else if (key == kDisplaySize) {
            const QStringList numbers = value.split(QLatin1Char(','));
            const std::optional<int> width = numbers.size() == 2 ? parseInt(numbers.at(0)) : std::nullopt;
            const std::optional<int> height = numbers.size() == 2 ? parseInt(numbers.at(1)) : std::nullopt;
            valueOk = width && height;
            if (valueOk)
                parsed.m_displaySize = QSize(*width, *height);
        } else if (key == kPassword) {
            parsed.m_password = value;
        } else if (key == kPwmFrequency) {
            const std::optional<FrequencyMap> map = parseFrequencies(value);
            valueOk = map.has_value();
            if (valueOk)
                parsed.m_pwmFrequencies = *map;
        } else {
            ChannelMap* target = nullptr;
            if (key == kAlarmOutputs)
                target = &parsed.m_alarmOutputs;
            else if (key == kAnalogInputs)
                target = &parsed.m_analogInputs;
            else if (key == kCanPorts)
                target = &parsed.m_canPorts;
            else if (key == kDigitalInputOutputs)
                target = &parsed.m_digitalInputOutputs;
            else if (key == kPwmOutputs)
                target = &parsed.m_pwmOutputs;
            else if (key == kSerial485COMPorts)
                target = &parsed.m_serial485COMPorts;
            else if (key == kSerialCOMPorts)
                target = &parsed.m_serialCOMPorts;
            if (target) {
                const std::optional<ChannelMap> map = parseRoles(value);
                valueOk = map.has_value();
                if (valueOk)
                    *target = *map;
            }
        }
        if (!valueOk) {
            qCDebug(lcFiles).noquote() << QStringLiteral("Malformed value of configuration key \"%1\": \"%2\".").arg(key, value);
            return;
        }
    }
    *this = parsed;
    if (ok)
        *ok = true;
}

bool ConfigurationInfo::isValid() const
{
    if (m_colorDepth < 1)
        return false;
    if (!hasOnlyRoles(m_digitalInputOutputs, { EnumHelper::UnusedType, EnumHelper::InputType, EnumHelper::OutputType }))
        return false;
    if (!hasOnlyRoles(m_analogInputs, { EnumHelper::UnusedType, EnumHelper::InputType }))
        return false;
    if (!hasOnlyRoles(m_alarmOutputs, { EnumHelper::UnusedType, EnumHelper::OutputType })
        || !hasOnlyRoles(m_pwmOutputs, { EnumHelper::UnusedType, EnumHelper::OutputType }))
        return false;
    if (!hasOnlyRoles(m_serialCOMPorts, { EnumHelper::UnusedType, EnumHelper::ComType })
        || !hasOnlyRoles(m_canPorts, { EnumHelper::UnusedType, EnumHelper::ComType }))
        return false;
    if (!hasOnlyRoles(m_serial485COMPorts, { EnumHelper::InputType, EnumHelper::OutputType }))
        return false;
    int expected = 0;
    for (auto it = m_pwmFrequencies.constBegin(); it != m_pwmFrequencies.constEnd(); ++it, ++expected) {
        // Written so that NaN fails too.
        if (it.key() != expected || !(it.value() >= 10.0f && it.value() <= 9999999.0f))
            return false;
    }
    return true;
}

QString ConfigurationInfo::toString() const
{
    // Ascending key order.
    const QList<QPair<QString, QString>> entries {
        { kAlarmOutputs, rolesText(m_alarmOutputs) },
        { kAnalogInputs, rolesText(m_analogInputs) },
        { kCanPorts, rolesText(m_canPorts) },
        { kColorDepth, QString::number(m_colorDepth) },
        { kDigitalInputOutputs, rolesText(m_digitalInputOutputs) },
        { kDisplayBrightness, QString::number(m_displayBrightness) },
        { kDisplaySize, QStringLiteral("%1,%2").arg(m_displaySize.width()).arg(m_displaySize.height()) },
        { kPassword, m_password },
        { kPwmFrequency, frequenciesText(m_pwmFrequencies) },
        { kPwmOutputs, rolesText(m_pwmOutputs) },
        { kSerial485COMPorts, rolesText(m_serial485COMPorts) },
        { kSerialCOMPorts, rolesText(m_serialCOMPorts) },
    };
    QStringList parts;
    for (const auto& entry : entries)
        parts << QStringLiteral("%1: %2;").arg(entry.first, entry.second);
    return parts.join(QLatin1Char(' '));
}

bool ConfigurationInfo::operator==(const ConfigurationInfo& other) const
{
    return m_displayBrightness == other.m_displayBrightness && m_displaySize == other.m_displaySize
        && m_colorDepth == other.m_colorDepth && m_rs485Enabled == other.m_rs485Enabled
        && m_passwordEnabled == other.m_passwordEnabled && m_password == other.m_password
        && m_pwmFrequencies == other.m_pwmFrequencies && m_analogInputs == other.m_analogInputs
        && m_alarmOutputs == other.m_alarmOutputs && m_pwmOutputs == other.m_pwmOutputs
        && m_serialCOMPorts == other.m_serialCOMPorts && m_digitalInputOutputs == other.m_digitalInputOutputs
        && m_serial485COMPorts == other.m_serial485COMPorts && m_canPorts == other.m_canPorts;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
