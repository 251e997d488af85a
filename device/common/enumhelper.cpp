#include "enumhelper.h"

#include "localizationhelper.h"

#include <QCoreApplication>
#include <QDebug>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QQuickItem>

#include <functional>

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

using Table = QMap<QString, QString>;
using TableGetter = Table (*)();

QMutex g_cacheMutex;
QHash<QString, Table>& tableCache()
{
    static QHash<QString, Table> cache;
    return cache;
}

// Tables do not change during a run, so each is built on first use and kept.
// Without an application object there is no translator yet; such a table is
// handed out but not kept, so that a later call can still pick up translations.
Table cachedTable(const QString& name, const std::function<Table()>& build)
{
    QMutexLocker locker(&g_cacheMutex);
    QHash<QString, Table>& cache = tableCache();
    const auto it = cache.constFind(name);
    if (it != cache.constEnd())
        return it.value();
    const Table table = build();
    if (QCoreApplication::instance())
        cache.insert(name, table);
    return table;
}

} // namespace

EnumHelper::EnumHelper(QObject* parent)
    : QObject(parent)
{
}

QMetaEnum EnumHelper::createEnum(const QString& name)
{
    const QByteArray enumName = name.toLatin1();
    if (name == QLatin1String("TransformOrigin")) {
        const QMetaObject& meta = QQuickItem::staticMetaObject;
        return meta.enumerator(meta.indexOfEnumerator(enumName.constData()));
    }
    const QMetaObject& meta = EnumHelper::staticMetaObject;
    const int index = meta.indexOfEnumerator(enumName.constData());
    if (index < 0) {
        qDebug().noquote() << QStringLiteral("Unknown enumeration \"%1\".").arg(name);
        return QMetaEnum();
    }
    return meta.enumerator(index);
}

namespace {

const QMap<QString, TableGetter>& tableGetters()
{
    static const QMap<QString, TableGetter> getters {
        { QStringLiteral("BaudRate"), &EnumHelper::getBaudeRateNames },
        { QStringLiteral("CanNetwork"), &EnumHelper::getCANNetworkNames },
        { QStringLiteral("CanbusDeviceState"), &EnumHelper::getCANBusDeviceStateNames },
        { QStringLiteral("CanbusError"), &EnumHelper::getCANBusErrorNames },
        { QStringLiteral("CanbusFrameError"), &EnumHelper::getCanbusFrameErrorNames },
        { QStringLiteral("CanbusFrameType"), &EnumHelper::getCanbusFrameTypeNames },
        { QStringLiteral("ChartTheme"), &EnumHelper::getChartThemeNames },
        { QStringLiteral("ClockHandStyle"), &EnumHelper::getClockHandStyleNames },
        { QStringLiteral("ColorFormat"), &EnumHelper::getColorFormatNames },
        { QStringLiteral("ColorRole"), &EnumHelper::getColorRoleNames },
        { QStringLiteral("CommunicationDirection"), &EnumHelper::getCommunicationDirectionNames },
        { QStringLiteral("CommunicationType"), &EnumHelper::getCommunicationTypeNames },
        { QStringLiteral("ConfigurationKey"), &EnumHelper::getConfigurationKeyNames },
        { QStringLiteral("EncodeByteOrder"), &EnumHelper::getEncodeByteOrderNames },
        { QStringLiteral("EncodeDataType"), &EnumHelper::getEncodeDataTypeNames },
        { QStringLiteral("EndingChar"), &EnumHelper::getEndingCharNames },
        { QStringLiteral("ErrorCheckLevel"), &EnumHelper::getErrorCheckLevelNames },
        { QStringLiteral("EthernetConfig"), &EnumHelper::getEthernetConfigNames },
        { QStringLiteral("FlowControl"), &EnumHelper::getFlowControlNames },
        { QStringLiteral("FrameRate"), &EnumHelper::getFrameRateNames },
        { QStringLiteral("FtpType"), &EnumHelper::getFtpTypeNames },
        { QStringLiteral("GradientSpread"), &EnumHelper::getGradientSpreadNames },
        { QStringLiteral("InputOutputType"), &EnumHelper::getInputOutputTypeNames },
        { QStringLiteral("LetterCase"), &EnumHelper::getLetterCaseNames },
        { QStringLiteral("MessageType"), &EnumHelper::getMessageTypeNames },
        { QStringLiteral("ModbusCommandType"), &EnumHelper::getModbusCommandTypeNames },
        { QStringLiteral("ModbusError"), &EnumHelper::getModbusErrorNames },
        { QStringLiteral("ModbusState"), &EnumHelper::getModbusStateNames },
        { QStringLiteral("ModeType"), &EnumHelper::getModeTypeNames },
        { QStringLiteral("NetworkError"), &EnumHelper::getNetworkErrorNames },
        { QStringLiteral("ParityCheck"), &EnumHelper::getParityCheckNames },
        { QStringLiteral("ProtocolType"), &EnumHelper::getProtocolTypeNames },
        { QStringLiteral("RegisterType"), &EnumHelper::getRegisterTypeNames },
        { QStringLiteral("ResetBehavior"), &EnumHelper::getResetBehaviorNames },
        { QStringLiteral("RollOverBehavior"), &EnumHelper::getRollOverBehaviorNames },
        { QStringLiteral("SeparatorChar"), &EnumHelper::getSeparatorCharNames },
        { QStringLiteral("SerialComType"), &EnumHelper::getSerialComNames },
        { QStringLiteral("SerialCommunicationError"), &EnumHelper::getSerialComErrorNames },
        { QStringLiteral("ServiceType"), &EnumHelper::getServiceTypeNames },
        { QStringLiteral("StopBit"), &EnumHelper::getStopBitNames },
        { QStringLiteral("StringFormat"), &EnumHelper::getStringFormatNames },
        { QStringLiteral("StringOperation"), &EnumHelper::getStringOperationNames },
        { QStringLiteral("TemplateCategory"), &EnumHelper::getTemplateCategoryNames },
        { QStringLiteral("TerminalMode"), &EnumHelper::getTerminalModeNames },
        { QStringLiteral("TextAlignment"), &EnumHelper::getTextAlignmentNames },
        { QStringLiteral("TextStyle"), &EnumHelper::getTextStyleNames },
        { QStringLiteral("ThermistorUnits"), &EnumHelper::getThermistorUnitsNames },
        { QStringLiteral("TransformOrigin"), &EnumHelper::getTransformOriginNames },
        { QStringLiteral("VariableAccessMode"), &EnumHelper::getVariableAccessModeNames },
        { QStringLiteral("VariableType"), &EnumHelper::getVariableTypeNames },
    };
    return getters;
}

} // namespace

QMap<QString, QString> EnumHelper::getEnumNames(const QString& enumName)
{
    const TableGetter getter = tableGetters().value(enumName, nullptr);
    if (!getter) {
        qDebug().noquote() << QStringLiteral("No name table for enumeration \"%1\".").arg(enumName);
        return QMap<QString, QString>();
    }
    return getter();
}

QStringList EnumHelper::tableNames()
{
    return tableGetters().keys();
}

QMap<QString, QList<int>> EnumHelper::getModbusReadWriteCommands()
{
    QMap<QString, QList<int>> commands;
    commands.insert(QStringLiteral("Read"), QList<int> { ReadCoils, ReadDiscrete, ReadExceptionStatus, ReadInputRegisters,
                                                         GetRegister, GetString, ReadHoldingRegisters });
    commands.insert(QStringLiteral("Write"), QList<int> { WriteMultipleCoils, WriteSingleCoil, WriteSingleRegister,
                                                          WriteMultipleRegisters, SetRegister, SetString });
    return commands;
}

QMap<QString, QString> EnumHelper::getBaudeRateNames()
{
    return cachedTable(QStringLiteral("BaudRate"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("Rate1200"), LocalizationHelper::deviceString(QStringLiteral("1200")));
        table.insert(QStringLiteral("Rate2400"), LocalizationHelper::deviceString(QStringLiteral("2400")));
        table.insert(QStringLiteral("Rate4800"), LocalizationHelper::deviceString(QStringLiteral("4800")));
        table.insert(QStringLiteral("Rate9600"), LocalizationHelper::deviceString(QStringLiteral("9600")));
        table.insert(QStringLiteral("Rate19200"), LocalizationHelper::deviceString(QStringLiteral("19200")));
        table.insert(QStringLiteral("Rate38400"), LocalizationHelper::deviceString(QStringLiteral("38400")));
        table.insert(QStringLiteral("Rate57600"), LocalizationHelper::deviceString(QStringLiteral("57600")));
        table.insert(QStringLiteral("Rate115200"), LocalizationHelper::deviceString(QStringLiteral("115200")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getCANBusDeviceStateNames()
{
    return cachedTable(QStringLiteral("CanbusDeviceState"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("CANConnectedState"), LocalizationHelper::deviceString(QStringLiteral("Connected")));
        table.insert(QStringLiteral("CANUnconnectedState"), LocalizationHelper::deviceString(QStringLiteral("Unconnected")));
        table.insert(QStringLiteral("CANConnectingState"), LocalizationHelper::deviceString(QStringLiteral("Connecting")));
        table.insert(QStringLiteral("CANClosingState"), LocalizationHelper::deviceString(QStringLiteral("Closing")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getCANBusErrorNames()
{
    return cachedTable(QStringLiteral("CanbusError"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("CANNoError"), LocalizationHelper::deviceString(QStringLiteral("No Error")));
        table.insert(QStringLiteral("CANReadError"), LocalizationHelper::deviceString(QStringLiteral("Read Error")));
        table.insert(QStringLiteral("CANWriteError"), LocalizationHelper::deviceString(QStringLiteral("Write Error")));
        table.insert(QStringLiteral("CANConnectionError"), LocalizationHelper::deviceString(QStringLiteral("Connection Error")));
        table.insert(QStringLiteral("CANConfigurationError"), LocalizationHelper::deviceString(QStringLiteral("Configuration Error")));
        table.insert(QStringLiteral("CANUnknownError"), LocalizationHelper::deviceString(QStringLiteral("Unknown Error")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getCanbusFrameErrorNames()
{
    return cachedTable(QStringLiteral("CanbusFrameError"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("FrameNoError"), LocalizationHelper::deviceString(QStringLiteral("No Error")));
        table.insert(QStringLiteral("TransmissionTimeOutError"), LocalizationHelper::deviceString(QStringLiteral("Transmission Timeout")));
        table.insert(QStringLiteral("LostArbitrationError"), LocalizationHelper::deviceString(QStringLiteral("Lost Arbitration")));
        table.insert(QStringLiteral("ControllerError"), LocalizationHelper::deviceString(QStringLiteral("Controller Error")));
        table.insert(QStringLiteral("ProtocolViolationError"), LocalizationHelper::deviceString(QStringLiteral("Protocol Violation")));
        table.insert(QStringLiteral("TransceiverError"), LocalizationHelper::deviceString(QStringLiteral("Transceiver Error")));
        table.insert(QStringLiteral("MissingAcknowledgmentError"), LocalizationHelper::deviceString(QStringLiteral("Missing Acknowledgment")));
        table.insert(QStringLiteral("BusOffError"), LocalizationHelper::deviceString(QStringLiteral("Bus Off")));
        table.insert(QStringLiteral("BusError"), LocalizationHelper::deviceString(QStringLiteral("Bus Error")));
        table.insert(QStringLiteral("ControllerRestartError"), LocalizationHelper::deviceString(QStringLiteral("Controller Restart")));
        table.insert(QStringLiteral("FrameUnknownError"), LocalizationHelper::deviceString(QStringLiteral("Unknown Error")));
        table.insert(QStringLiteral("AnyError"), LocalizationHelper::deviceString(QStringLiteral("Any Error")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getCanbusFrameTypeNames()
{
    return cachedTable(QStringLiteral("CanbusFrameType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("UnknownFrame"), LocalizationHelper::deviceString(QStringLiteral("Unknown Frame")));
        table.insert(QStringLiteral("DataFrame"), LocalizationHelper::deviceString(QStringLiteral("Data Frame")));
        table.insert(QStringLiteral("ErrorFrame"), LocalizationHelper::deviceString(QStringLiteral("Error Frame")));
        table.insert(QStringLiteral("RemoteRequestFrame"), LocalizationHelper::deviceString(QStringLiteral("Remote Request Frame")));
        table.insert(QStringLiteral("InvalidFrame"), LocalizationHelper::deviceString(QStringLiteral("Invalid Frame")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getCANNetworkNames()
{
    return cachedTable(QStringLiteral("CanNetwork"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("RawCAN"), LocalizationHelper::deviceString(QStringLiteral("Raw CAN")));
        table.insert(QStringLiteral("OpenCAN"), LocalizationHelper::deviceString(QStringLiteral("CANopen")));
        table.insert(QStringLiteral("J1939"), LocalizationHelper::deviceString(QStringLiteral("SAE J1939")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getChartThemeNames()
{
    return cachedTable(QStringLiteral("ChartTheme"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("ChartThemeLight"), LocalizationHelper::deviceString(QStringLiteral("Light")));
        table.insert(QStringLiteral("ChartThemeBlueCerulean"), LocalizationHelper::deviceString(QStringLiteral("Blue Cerulean")));
        table.insert(QStringLiteral("ChartThemeDark"), LocalizationHelper::deviceString(QStringLiteral("Dark")));
        table.insert(QStringLiteral("ChartThemeBrownSand"), LocalizationHelper::deviceString(QStringLiteral("Brown Sand")));
        table.insert(QStringLiteral("ChartThemeBlueNcs"), LocalizationHelper::deviceString(QStringLiteral("Blue NCS")));
        table.insert(QStringLiteral("ChartThemeHighContrast"), LocalizationHelper::deviceString(QStringLiteral("High Contrast")));
        table.insert(QStringLiteral("ChartThemeBlueIcy"), LocalizationHelper::deviceString(QStringLiteral("Blue Icy")));
        table.insert(QStringLiteral("ChartThemeQt"), LocalizationHelper::deviceString(QStringLiteral("Qt")));
        table.insert(QStringLiteral("NoChartTheme"), LocalizationHelper::deviceString(QStringLiteral("No Theme")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getColorFormatNames()
{
    return cachedTable(QStringLiteral("ColorFormat"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("CMYK"), LocalizationHelper::deviceString(QStringLiteral("CMYK")));
        table.insert(QStringLiteral("HSV"), LocalizationHelper::deviceString(QStringLiteral("HSV")));
        table.insert(QStringLiteral("RGB"), LocalizationHelper::deviceString(QStringLiteral("RGB")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getClockHandStyleNames()
{
    return cachedTable(QStringLiteral("ClockHandStyle"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("DiscreteHand"), LocalizationHelper::deviceString(QStringLiteral("Discrete")));
        table.insert(QStringLiteral("ContinuousHand"), LocalizationHelper::deviceString(QStringLiteral("Continuous")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getCommunicationDirectionNames()
{
    return cachedTable(QStringLiteral("CommunicationDirection"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("Receive"), LocalizationHelper::deviceString(QStringLiteral("Receive")));
        table.insert(QStringLiteral("Send"), LocalizationHelper::deviceString(QStringLiteral("Send")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getCommunicationTypeNames()
{
    return cachedTable(QStringLiteral("CommunicationType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("ModbusType"), LocalizationHelper::deviceString(QStringLiteral("Modbus")));
        table.insert(QStringLiteral("CanBusType"), LocalizationHelper::deviceString(QStringLiteral("CAN Bus")));
        table.insert(QStringLiteral("EthernetType"), LocalizationHelper::deviceString(QStringLiteral("Ethernet")));
        table.insert(QStringLiteral("SerialCommunicationType"), LocalizationHelper::deviceString(QStringLiteral("Serial Communication")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getColorRoleNames()
{
    return cachedTable(QStringLiteral("ColorRole"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("MajorColorRole"), LocalizationHelper::deviceString(QStringLiteral("Fill")));
        table.insert(QStringLiteral("MinorColorRole"), LocalizationHelper::deviceString(QStringLiteral("Border")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getEndingCharNames()
{
    return cachedTable(QStringLiteral("EndingChar"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NoEOL"), LocalizationHelper::deviceString(QStringLiteral("None")));
        table.insert(QStringLiteral("LF"), LocalizationHelper::deviceString(QStringLiteral("Line Feed (LF)")));
        table.insert(QStringLiteral("CR"), LocalizationHelper::deviceString(QStringLiteral("Carriage Return (CR)")));
        table.insert(QStringLiteral("CRLF"), LocalizationHelper::deviceString(QStringLiteral("CR + LF")));
        table.insert(QStringLiteral("End"), LocalizationHelper::deviceString(QStringLiteral("END")));
        table.insert(QStringLiteral("EndWithBrackets"), LocalizationHelper::deviceString(QStringLiteral("[END]")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getEncodeDataTypeNames()
{
    return cachedTable(QStringLiteral("EncodeDataType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NotUsed"), LocalizationHelper::deviceString(QStringLiteral("Not Used")));
        table.insert(QStringLiteral("UnsignedInt16Bit"), LocalizationHelper::deviceString(QStringLiteral("Unsigned 16-bit Integer")));
        table.insert(QStringLiteral("SignedInt16Bit"), LocalizationHelper::deviceString(QStringLiteral("Signed 16-bit Integer")));
        table.insert(QStringLiteral("TwoCharAsciiString"), LocalizationHelper::deviceString(QStringLiteral("2-Character ASCII String")));
        table.insert(QStringLiteral("DiscreteOnOff"), LocalizationHelper::deviceString(QStringLiteral("Discrete On/Off")));
        table.insert(QStringLiteral("UnsignedInt32Bit"), LocalizationHelper::deviceString(QStringLiteral("Unsigned 32-bit Integer")));
        table.insert(QStringLiteral("SignedInt32Bit"), LocalizationHelper::deviceString(QStringLiteral("Signed 32-bit Integer")));
        table.insert(QStringLiteral("SinglePrecFloat32Bit"), LocalizationHelper::deviceString(QStringLiteral("32-bit Single Precision Float")));
        table.insert(QStringLiteral("FourCharAsciiStr"), LocalizationHelper::deviceString(QStringLiteral("4-Character ASCII String")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getEncodeByteOrderNames()
{
    return cachedTable(QStringLiteral("EncodeByteOrder"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("HighByteHighWord"), LocalizationHelper::deviceString(QStringLiteral("High Byte, High Word")));
        table.insert(QStringLiteral("HighByteLowWord"), LocalizationHelper::deviceString(QStringLiteral("High Byte, Low Word")));
        table.insert(QStringLiteral("LowByteHighWord"), LocalizationHelper::deviceString(QStringLiteral("Low Byte, High Word")));
        table.insert(QStringLiteral("LowByteLowWord"), LocalizationHelper::deviceString(QStringLiteral("Low Byte, Low Word")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getFtpTypeNames()
{
    return cachedTable(QStringLiteral("FtpType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("FTP"), LocalizationHelper::deviceString(QStringLiteral("FTP")));
        table.insert(QStringLiteral("SFTP"), LocalizationHelper::deviceString(QStringLiteral("SFTP")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getErrorCheckLevelNames()
{
    return cachedTable(QStringLiteral("ErrorCheckLevel"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("ErrorCheckLevel0"), LocalizationHelper::deviceString(QStringLiteral("Level-%1")).arg(0));
        table.insert(QStringLiteral("ErrorCheckLevel1"), LocalizationHelper::deviceString(QStringLiteral("Level-%1")).arg(1));
        table.insert(QStringLiteral("ErrorCheckLevel2"), LocalizationHelper::deviceString(QStringLiteral("Level-%1")).arg(2));
        table.insert(QStringLiteral("ErrorCheckLevel3"), LocalizationHelper::deviceString(QStringLiteral("Level-%1")).arg(3));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getEthernetConfigNames()
{
    return cachedTable(QStringLiteral("EthernetConfig"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("Dynamic"), LocalizationHelper::deviceString(QStringLiteral("Dynamic")));
        table.insert(QStringLiteral("Static"), LocalizationHelper::deviceString(QStringLiteral("Static")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getFlowControlNames()
{
    return cachedTable(QStringLiteral("FlowControl"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NoFlowControl"), LocalizationHelper::deviceString(QStringLiteral("None")));
        table.insert(QStringLiteral("XONXOFF"), LocalizationHelper::deviceString(QStringLiteral("XON/XOFF")));
        table.insert(QStringLiteral("HardwareControl"), LocalizationHelper::deviceString(QStringLiteral("Hardware")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getFrameRateNames()
{
    return cachedTable(QStringLiteral("FrameRate"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("Frame125"), LocalizationHelper::deviceString(QStringLiteral("125Kbit/s")));
        table.insert(QStringLiteral("Frame250"), LocalizationHelper::deviceString(QStringLiteral("250Kbit/s")));
        table.insert(QStringLiteral("Frame500"), LocalizationHelper::deviceString(QStringLiteral("500Kbit/s")));
        table.insert(QStringLiteral("Frame1000"), LocalizationHelper::deviceString(QStringLiteral("1000Kbit/s")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getGradientSpreadNames()
{
    return cachedTable(QStringLiteral("GradientSpread"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("PadSpread"), LocalizationHelper::deviceString(QStringLiteral("Pad")));
        table.insert(QStringLiteral("ReflectSpread"), LocalizationHelper::deviceString(QStringLiteral("Reflect")));
        table.insert(QStringLiteral("RepeatSpread"), LocalizationHelper::deviceString(QStringLiteral("Repeat")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getInputOutputTypeNames()
{
    return cachedTable(QStringLiteral("InputOutputType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("UnavailableType"), LocalizationHelper::deviceString(QStringLiteral("Unavailable")));
        table.insert(QStringLiteral("UnusedType"), LocalizationHelper::deviceString(QStringLiteral("Unused")));
        table.insert(QStringLiteral("InputType"), LocalizationHelper::deviceString(QStringLiteral("Input")));
        table.insert(QStringLiteral("OutputType"), LocalizationHelper::deviceString(QStringLiteral("Output")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getLetterCaseNames()
{
    return cachedTable(QStringLiteral("LetterCase"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NaturalCase"), LocalizationHelper::deviceString(QStringLiteral("Natural Case")));
        table.insert(QStringLiteral("UpperCase"), LocalizationHelper::deviceString(QStringLiteral("Upper Case")));
        table.insert(QStringLiteral("LowerCase"), LocalizationHelper::deviceString(QStringLiteral("Lower Case")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getParityCheckNames()
{
    return cachedTable(QStringLiteral("ParityCheck"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NoParity"), LocalizationHelper::deviceString(QStringLiteral("None")));
        table.insert(QStringLiteral("OddParity"), LocalizationHelper::deviceString(QStringLiteral("Odd")));
        table.insert(QStringLiteral("EvenParity"), LocalizationHelper::deviceString(QStringLiteral("Even")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getResetBehaviorNames()
{
    return cachedTable(QStringLiteral("ResetBehavior"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("AutomaticReset"), LocalizationHelper::deviceString(QStringLiteral("Automatic Reset")));
        table.insert(QStringLiteral("ManualReset"), LocalizationHelper::deviceString(QStringLiteral("Manual Reset")));
        table.insert(QStringLiteral("CustomReset"), LocalizationHelper::deviceString(QStringLiteral("Custom Reset")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getRollOverBehaviorNames()
{
    return cachedTable(QStringLiteral("RollOverBehavior"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("Append"), LocalizationHelper::deviceString(QStringLiteral("Append")));
        table.insert(QStringLiteral("Ignore"), LocalizationHelper::deviceString(QStringLiteral("Ignore")));
        table.insert(QStringLiteral("SaveAndReset"), LocalizationHelper::deviceString(QStringLiteral("Save and Reset")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getSerialComErrorNames()
{
    return cachedTable(QStringLiteral("SerialCommunicationError"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("TargetOffline"), LocalizationHelper::deviceString(QStringLiteral("Target Offline")));
        table.insert(QStringLiteral("TargetBusy"), LocalizationHelper::deviceString(QStringLiteral("Target Busy")));
        table.insert(QStringLiteral("NameDecodeError"), LocalizationHelper::deviceString(QStringLiteral("Name Decode Error")));
        table.insert(QStringLiteral("TypeDecodeError"), LocalizationHelper::deviceString(QStringLiteral("Type Decode Error")));
        table.insert(QStringLiteral("ValueDecodeError"), LocalizationHelper::deviceString(QStringLiteral("Value Decode Error")));
        table.insert(QStringLiteral("DataOverFlowError"), LocalizationHelper::deviceString(QStringLiteral("Data Overflow")));
        table.insert(QStringLiteral("IDDecodeError"), LocalizationHelper::deviceString(QStringLiteral("ID Decode Error")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getSeparatorCharNames()
{
    return cachedTable(QStringLiteral("SeparatorChar"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NoSeparator"), LocalizationHelper::deviceString(QStringLiteral("None")));
        table.insert(QStringLiteral("SpaceSeparator"), LocalizationHelper::deviceString(QStringLiteral("Space")));
        table.insert(QStringLiteral("CommaSeparator"), LocalizationHelper::deviceString(QStringLiteral("Comma")));
        table.insert(QStringLiteral("SemiColonSeparator"), LocalizationHelper::deviceString(QStringLiteral("Semicolon")));
        table.insert(QStringLiteral("TabSeparator"), LocalizationHelper::deviceString(QStringLiteral("Tab")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getSerialComNames()
{
    return cachedTable(QStringLiteral("SerialComType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("RS232"), LocalizationHelper::deviceString(QStringLiteral("RS-232")));
        table.insert(QStringLiteral("RS485"), LocalizationHelper::deviceString(QStringLiteral("RS-485")));
        table.insert(QStringLiteral("I2C"), LocalizationHelper::deviceString(QStringLiteral("I2C")));
        table.insert(QStringLiteral("SPI"), LocalizationHelper::deviceString(QStringLiteral("SPI")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getServiceTypeNames()
{
    return cachedTable(QStringLiteral("ServiceType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("UnusedService"), LocalizationHelper::deviceString(QStringLiteral("Unused")));
        table.insert(QStringLiteral("NativeService"), LocalizationHelper::deviceString(QStringLiteral("Native")));
        table.insert(QStringLiteral("TerminalService"), LocalizationHelper::deviceString(QStringLiteral("Terminal")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getStopBitNames()
{
    return cachedTable(QStringLiteral("StopBit"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("OneBit"), LocalizationHelper::deviceString(QStringLiteral("1 Bit")));
        table.insert(QStringLiteral("TwoBits"), LocalizationHelper::deviceString(QStringLiteral("2 Bits")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getStringFormatNames()
{
    return cachedTable(QStringLiteral("StringFormat"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NaturalFormat"), LocalizationHelper::deviceString(QStringLiteral("Natural")));
        table.insert(QStringLiteral("ScientificFormat"), LocalizationHelper::deviceString(QStringLiteral("Scientific")));
        table.insert(QStringLiteral("AutomaticFormat"), LocalizationHelper::deviceString(QStringLiteral("Automatic")));
        table.insert(QStringLiteral("HexadecimalFormat"), LocalizationHelper::deviceString(QStringLiteral("Hexadecimal")));
        table.insert(QStringLiteral("ThousandSeparatorFormat"), LocalizationHelper::deviceString(QStringLiteral("Thousand Separator")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getStringOperationNames()
{
    return cachedTable(QStringLiteral("StringOperation"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("ConcatString"), LocalizationHelper::deviceString(QStringLiteral("Concatenate")));
        table.insert(QStringLiteral("ReplaceString"), LocalizationHelper::deviceString(QStringLiteral("Replace")));
        table.insert(QStringLiteral("ReplaceFirstString"), LocalizationHelper::deviceString(QStringLiteral("Replace First")));
        table.insert(QStringLiteral("SplitString"), LocalizationHelper::deviceString(QStringLiteral("Split")));
        table.insert(QStringLiteral("SubString"), LocalizationHelper::deviceString(QStringLiteral("Substring")));
        table.insert(QStringLiteral("ToLowerCaseString"), LocalizationHelper::deviceString(QStringLiteral("To Lower Case")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getTemplateCategoryNames()
{
    return cachedTable(QStringLiteral("TemplateCategory"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("MeterTemplate"), LocalizationHelper::deviceString(QStringLiteral("Meter")));
        table.insert(QStringLiteral("VisualTemplate"), LocalizationHelper::deviceString(QStringLiteral("Visual")));
        table.insert(QStringLiteral("FunctionTemplate"), LocalizationHelper::deviceString(QStringLiteral("Function")));
        table.insert(QStringLiteral("HardwareTemplate"), LocalizationHelper::deviceString(QStringLiteral("Hardware")));
        table.insert(QStringLiteral("OtherTemplate"), LocalizationHelper::deviceString(QStringLiteral("Other")));
        table.insert(QStringLiteral("UserTemplate"), LocalizationHelper::deviceString(QStringLiteral("User")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getTerminalModeNames()
{
    return cachedTable(QStringLiteral("TerminalMode"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("TerminalMode0"), LocalizationHelper::deviceString(QStringLiteral("Mode %1")).arg(0));
        table.insert(QStringLiteral("TerminalMode1"), LocalizationHelper::deviceString(QStringLiteral("Mode %1")).arg(1));
        table.insert(QStringLiteral("TerminalMode2"), LocalizationHelper::deviceString(QStringLiteral("Mode %1")).arg(2));
        table.insert(QStringLiteral("TerminalMode3"), LocalizationHelper::deviceString(QStringLiteral("Mode %1")).arg(3));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getTextAlignmentNames()
{
    return cachedTable(QStringLiteral("TextAlignment"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("AlignTopLeft"), LocalizationHelper::deviceString(QStringLiteral("Top Left")));
        table.insert(QStringLiteral("AlignTop"), LocalizationHelper::deviceString(QStringLiteral("Top")));
        table.insert(QStringLiteral("AlignTopRight"), LocalizationHelper::deviceString(QStringLiteral("Top Right")));
        table.insert(QStringLiteral("AlignLeft"), LocalizationHelper::deviceString(QStringLiteral("Left")));
        table.insert(QStringLiteral("AlignCenter"), LocalizationHelper::deviceString(QStringLiteral("Center")));
        table.insert(QStringLiteral("AlignRight"), LocalizationHelper::deviceString(QStringLiteral("Right")));
        table.insert(QStringLiteral("AlignBottomLeft"), LocalizationHelper::deviceString(QStringLiteral("Bottom Left")));
        table.insert(QStringLiteral("AlignBottom"), LocalizationHelper::deviceString(QStringLiteral("Bottom")));
        table.insert(QStringLiteral("AlignBottomRight"), LocalizationHelper::deviceString(QStringLiteral("Bottom Right")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getTextStyleNames()
{
    return cachedTable(QStringLiteral("TextStyle"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("Standard"), LocalizationHelper::deviceString(QStringLiteral("Standard")));
        table.insert(QStringLiteral("Outline"), LocalizationHelper::deviceString(QStringLiteral("Outline")));
        table.insert(QStringLiteral("Raised"), LocalizationHelper::deviceString(QStringLiteral("Raised")));
        table.insert(QStringLiteral("Sunken"), LocalizationHelper::deviceString(QStringLiteral("Sunken")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getThermistorUnitsNames()
{
    return cachedTable(QStringLiteral("ThermistorUnits"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("Celsius"), LocalizationHelper::deviceString(QStringLiteral("Celsius")));
        table.insert(QStringLiteral("Fahrenheit"), LocalizationHelper::deviceString(QStringLiteral("Fahrenheit")));
        table.insert(QStringLiteral("Kelvin"), LocalizationHelper::deviceString(QStringLiteral("Kelvin")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getVariableAccessModeNames()
{
    return cachedTable(QStringLiteral("VariableAccessMode"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("ReadOnly"), LocalizationHelper::deviceString(QStringLiteral("Read Only")));
        table.insert(QStringLiteral("ReadWrite"), LocalizationHelper::deviceString(QStringLiteral("Read/Write")));
        table.insert(QStringLiteral("Constant"), LocalizationHelper::deviceString(QStringLiteral("Constant")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getVariableTypeNames()
{
    return cachedTable(QStringLiteral("VariableType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("UndefinedType"), LocalizationHelper::deviceString(QStringLiteral("Undefined")));
        table.insert(QStringLiteral("BooleanType"), LocalizationHelper::deviceString(QStringLiteral("Boolean")));
        table.insert(QStringLiteral("IntegerType"), LocalizationHelper::deviceString(QStringLiteral("Integer")));
        table.insert(QStringLiteral("RealType"), LocalizationHelper::deviceString(QStringLiteral("Real")));
        table.insert(QStringLiteral("StringType"), LocalizationHelper::deviceString(QStringLiteral("String")));
        table.insert(QStringLiteral("EnumType"), LocalizationHelper::deviceString(QStringLiteral("Enumeration")));
        table.insert(QStringLiteral("ColorType"), LocalizationHelper::deviceString(QStringLiteral("Color")));
        table.insert(QStringLiteral("ObjectType"), LocalizationHelper::deviceString(QStringLiteral("Object")));
        table.insert(QStringLiteral("VoidType"), LocalizationHelper::deviceString(QStringLiteral("Void")));
        table.insert(QStringLiteral("ListType"), LocalizationHelper::deviceString(QStringLiteral("List")));
        table.insert(QStringLiteral("MapType"), LocalizationHelper::deviceString(QStringLiteral("Map")));
        table.insert(QStringLiteral("NumberType"), LocalizationHelper::deviceString(QStringLiteral("Number")));
        table.insert(QStringLiteral("BytesType"), LocalizationHelper::deviceString(QStringLiteral("Bytes")));
        table.insert(QStringLiteral("FtpType"), LocalizationHelper::deviceString(QStringLiteral("FTP")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getProtocolTypeNames()
{
    return cachedTable(QStringLiteral("ProtocolType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NoProtocol"), LocalizationHelper::deviceString(QStringLiteral("None")));
        table.insert(QStringLiteral("Modbus"), LocalizationHelper::deviceString(QStringLiteral("Modbus")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getMessageTypeNames()
{
    return cachedTable(QStringLiteral("MessageType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("Broadcast"), LocalizationHelper::deviceString(QStringLiteral("Broadcast")));
        table.insert(QStringLiteral("Direct"), LocalizationHelper::deviceString(QStringLiteral("Direct")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getModeTypeNames()
{
    return cachedTable(QStringLiteral("ModeType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("Master"), LocalizationHelper::deviceString(QStringLiteral("Master")));
        table.insert(QStringLiteral("Slave"), LocalizationHelper::deviceString(QStringLiteral("Slave")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getModbusCommandTypeNames()
{
    return cachedTable(QStringLiteral("ModbusCommandType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NoCommand"), LocalizationHelper::deviceString(QStringLiteral("No Command")));
        table.insert(QStringLiteral("ReadCoils"), LocalizationHelper::deviceString(QStringLiteral("Read Coils")));
        table.insert(QStringLiteral("ReadDiscrete"), LocalizationHelper::deviceString(QStringLiteral("Read Discrete Inputs")));
        table.insert(QStringLiteral("ReadHoldingRegisters"), LocalizationHelper::deviceString(QStringLiteral("Read Holding Registers")));
        table.insert(QStringLiteral("ReadInputRegisters"), LocalizationHelper::deviceString(QStringLiteral("Read Input Registers")));
        table.insert(QStringLiteral("WriteSingleCoil"), LocalizationHelper::deviceString(QStringLiteral("Write Single Coil")));
        table.insert(QStringLiteral("WriteSingleRegister"), LocalizationHelper::deviceString(QStringLiteral("Write Single Register")));
        table.insert(QStringLiteral("WriteMultipleCoils"), LocalizationHelper::deviceString(QStringLiteral("Write Multiple Coils")));
        table.insert(QStringLiteral("WriteMultipleRegisters"), LocalizationHelper::deviceString(QStringLiteral("Write Multiple Registers")));
        table.insert(QStringLiteral("ReadExceptionStatus"), LocalizationHelper::deviceString(QStringLiteral("Read Exception Status")));
        table.insert(QStringLiteral("GetRegister"), LocalizationHelper::deviceString(QStringLiteral("Get Register")));
        table.insert(QStringLiteral("GetString"), LocalizationHelper::deviceString(QStringLiteral("Get String")));
        table.insert(QStringLiteral("SetRegister"), LocalizationHelper::deviceString(QStringLiteral("Set Register")));
        table.insert(QStringLiteral("SetString"), LocalizationHelper::deviceString(QStringLiteral("Set String")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getModbusErrorNames()
{
    return cachedTable(QStringLiteral("ModbusError"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("DataAddressNoMatchError"), LocalizationHelper::deviceString(QStringLiteral("Data Address Mismatch")));
        table.insert(QStringLiteral("ReadError"), LocalizationHelper::deviceString(QStringLiteral("Read Error")));
        table.insert(QStringLiteral("WriteError"), LocalizationHelper::deviceString(QStringLiteral("Write Error")));
        table.insert(QStringLiteral("ConnectionError"), LocalizationHelper::deviceString(QStringLiteral("Connection Error")));
        table.insert(QStringLiteral("ConfigurationError"), LocalizationHelper::deviceString(QStringLiteral("Configuration Error")));
        table.insert(QStringLiteral("TimeOutError"), LocalizationHelper::deviceString(QStringLiteral("Timeout")));
        table.insert(QStringLiteral("ProtocolError"), LocalizationHelper::deviceString(QStringLiteral("Protocol Error")));
        table.insert(QStringLiteral("ReplyAbortedError"), LocalizationHelper::deviceString(QStringLiteral("Reply Aborted")));
        table.insert(QStringLiteral("UnknownError"), LocalizationHelper::deviceString(QStringLiteral("Unknown Error")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getModbusStateNames()
{
    return cachedTable(QStringLiteral("ModbusState"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("UnconnectedState"), LocalizationHelper::deviceString(QStringLiteral("Unconnected")));
        table.insert(QStringLiteral("ConnectingState"), LocalizationHelper::deviceString(QStringLiteral("Connecting")));
        table.insert(QStringLiteral("ConnectedState"), LocalizationHelper::deviceString(QStringLiteral("Connected")));
        table.insert(QStringLiteral("ClosingState"), LocalizationHelper::deviceString(QStringLiteral("Closing")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getRegisterTypeNames()
{
    return cachedTable(QStringLiteral("RegisterType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("InvalidRegister"), LocalizationHelper::deviceString(QStringLiteral("Invalid Register")));
        table.insert(QStringLiteral("DiscreteInputs"), LocalizationHelper::deviceString(QStringLiteral("Discrete Inputs")));
        table.insert(QStringLiteral("Coil"), LocalizationHelper::deviceString(QStringLiteral("Coil")));
        table.insert(QStringLiteral("Coils"), LocalizationHelper::deviceString(QStringLiteral("Coils")));
        table.insert(QStringLiteral("InputRegisters"), LocalizationHelper::deviceString(QStringLiteral("Input Registers")));
        table.insert(QStringLiteral("HoldingRegister"), LocalizationHelper::deviceString(QStringLiteral("Holding Register")));
        table.insert(QStringLiteral("HoldingRegisters"), LocalizationHelper::deviceString(QStringLiteral("Holding Registers")));
        table.insert(QStringLiteral("VirtualRegisters"), LocalizationHelper::deviceString(QStringLiteral("Virtual Registers")));
        table.insert(QStringLiteral("VirtualStrings"), LocalizationHelper::deviceString(QStringLiteral("Virtual Strings")));
        table.insert(QStringLiteral("VirtualAddresses"), LocalizationHelper::deviceString(QStringLiteral("Virtual Addresses")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getNetworkErrorNames()
{
    return cachedTable(QStringLiteral("NetworkError"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NoNetworkError"), LocalizationHelper::deviceString(QStringLiteral("No Error")));
        table.insert(QStringLiteral("ConnectionRefusedError"), LocalizationHelper::deviceString(QStringLiteral("Connection Refused")));
        table.insert(QStringLiteral("RemoteHostClosedError"), LocalizationHelper::deviceString(QStringLiteral("Remote Host Closed")));
        table.insert(QStringLiteral("HostNotFoundError"), LocalizationHelper::deviceString(QStringLiteral("Host Not Found")));
        table.insert(QStringLiteral("NetworkTimeOutError"), LocalizationHelper::deviceString(QStringLiteral("Network Timeout")));
        table.insert(QStringLiteral("SslHandshakeFailedError"), LocalizationHelper::deviceString(QStringLiteral("SSL Handshake Failed")));
        table.insert(QStringLiteral("TemporaryNetworkFailureError"), LocalizationHelper::deviceString(QStringLiteral("Temporary Network Failure")));
        table.insert(QStringLiteral("NetworkSessionFailedError"), LocalizationHelper::deviceString(QStringLiteral("Network Session Failed")));
        table.insert(QStringLiteral("BackgroundRequestNotAllowedError"), LocalizationHelper::deviceString(QStringLiteral("Background Request Not Allowed")));
        table.insert(QStringLiteral("TooManyRedirectsError"), LocalizationHelper::deviceString(QStringLiteral("Too Many Redirects")));
        table.insert(QStringLiteral("InsecureRedirectError"), LocalizationHelper::deviceString(QStringLiteral("Insecure Redirect")));
        table.insert(QStringLiteral("ProxyConnectionRefusedError"), LocalizationHelper::deviceString(QStringLiteral("Proxy Connection Refused")));
        table.insert(QStringLiteral("ProxyConnectionClosedError"), LocalizationHelper::deviceString(QStringLiteral("Proxy Connection Closed")));
        table.insert(QStringLiteral("ProxyNotFoundError"), LocalizationHelper::deviceString(QStringLiteral("Proxy Not Found")));
        table.insert(QStringLiteral("ProxyTimeoutError"), LocalizationHelper::deviceString(QStringLiteral("Proxy Timeout")));
        table.insert(QStringLiteral("ProxyAuthenticationRequiredError"), LocalizationHelper::deviceString(QStringLiteral("Proxy Authentication Required")));
        table.insert(QStringLiteral("ContentAccessDenied"), LocalizationHelper::deviceString(QStringLiteral("Content Access Denied")));
        table.insert(QStringLiteral("ContentOperationNotPermittedError"), LocalizationHelper::deviceString(QStringLiteral("Content Operation Not Permitted")));
        table.insert(QStringLiteral("ContentNotFoundError"), LocalizationHelper::deviceString(QStringLiteral("Content Not Found")));
        table.insert(QStringLiteral("AuthenticationRequiredError"), LocalizationHelper::deviceString(QStringLiteral("Authentication Required")));
        table.insert(QStringLiteral("ContentReSendError"), LocalizationHelper::deviceString(QStringLiteral("Content Resend Error")));
        table.insert(QStringLiteral("ContentConflictError"), LocalizationHelper::deviceString(QStringLiteral("Content Conflict")));
        table.insert(QStringLiteral("ContentGoneError"), LocalizationHelper::deviceString(QStringLiteral("Content Gone")));
        table.insert(QStringLiteral("InternalServerError"), LocalizationHelper::deviceString(QStringLiteral("Internal Server Error")));
        table.insert(QStringLiteral("OperationNotImplementedError"), LocalizationHelper::deviceString(QStringLiteral("Operation Not Implemented")));
        table.insert(QStringLiteral("ServiceUnavailableError"), LocalizationHelper::deviceString(QStringLiteral("Service Unavailable")));
        table.insert(QStringLiteral("ProtocolUnknownError"), LocalizationHelper::deviceString(QStringLiteral("Unknown Protocol")));
        table.insert(QStringLiteral("ProtocolInvalidOperationError"), LocalizationHelper::deviceString(QStringLiteral("Invalid Protocol Operation")));
        table.insert(QStringLiteral("UnknownNetworkError"), LocalizationHelper::deviceString(QStringLiteral("Unknown Network Error")));
        table.insert(QStringLiteral("UnknownProxyError"), LocalizationHelper::deviceString(QStringLiteral("Unknown Proxy Error")));
        table.insert(QStringLiteral("UnknownContentError"), LocalizationHelper::deviceString(QStringLiteral("Unknown Content Error")));
        table.insert(QStringLiteral("ProtocolFailure"), LocalizationHelper::deviceString(QStringLiteral("Protocol Failure")));
        table.insert(QStringLiteral("UnknownServerError"), LocalizationHelper::deviceString(QStringLiteral("Unknown Server Error")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getConfigurationKeyNames()
{
    return cachedTable(QStringLiteral("ConfigurationKey"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("RawFilterKey"), LocalizationHelper::deviceString(QStringLiteral("Raw Filter")));
        table.insert(QStringLiteral("ErrorFilterKey"), LocalizationHelper::deviceString(QStringLiteral("Error Filter")));
        table.insert(QStringLiteral("LoopBackKey"), LocalizationHelper::deviceString(QStringLiteral("Loopback")));
        table.insert(QStringLiteral("ReceiveOwnKey"), LocalizationHelper::deviceString(QStringLiteral("Receive Own Frames")));
        table.insert(QStringLiteral("BitRateKey"), LocalizationHelper::deviceString(QStringLiteral("Bit Rate")));
        table.insert(QStringLiteral("CanFdKey"), LocalizationHelper::deviceString(QStringLiteral("CAN FD")));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getTransformOriginNames()
{
    return cachedTable(QStringLiteral("TransformOrigin"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("TopLeft"), LocalizationHelper::deviceString(QStringLiteral("Top Left")));
        table.insert(QStringLiteral("Top"), LocalizationHelper::deviceString(QStringLiteral("Top")));
        table.insert(QStringLiteral("TopRight"), LocalizationHelper::deviceString(QStringLiteral("Top Right")));
        table.insert(QStringLiteral("Left"), LocalizationHelper::deviceString(QStringLiteral("Left")));
        table.insert(QStringLiteral("Center"), LocalizationHelper::deviceString(QStringLiteral("Center")));
        table.insert(QStringLiteral("Right"), LocalizationHelper::deviceString(QStringLiteral("Right")));
        table.insert(QStringLiteral("BottomLeft"), LocalizationHelper::deviceString(QStringLiteral("Bottom Left")));
        table.insert(QStringLiteral("Bottom"), LocalizationHelper::deviceString(QStringLiteral("Bottom")));
        table.insert(QStringLiteral("BottomRight"), LocalizationHelper::deviceString(QStringLiteral("Bottom Right")));
        return table;
    });
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
