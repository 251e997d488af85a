#include "enumhelper.h"

#include "diagnostics.h"
#include "localizationhelper.h"

#include <QCoreApplication>
#include <QDebug>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QQuickItem>

#include <functional>

using Orvane::Tavrix::Common::lcFiles;

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
        qCDebug(lcFiles).noquote() << QStringLiteral("Unknown enumeration \"%1\".").arg(name);
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
        qCDebug(lcFiles).noquote() << QStringLiteral("No name table for enumeration \"%1\".").arg(enumName);
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
        table.insert(QStringLiteral("Rate1200"), deviceText("1200"));
        table.insert(QStringLiteral("Rate2400"), deviceText("2400"));
        table.insert(QStringLiteral("Rate4800"), deviceText("4800"));
        table.insert(QStringLiteral("Rate9600"), deviceText("9600"));
        table.insert(QStringLiteral("Rate19200"), deviceText("19200"));
        table.insert(QStringLiteral("Rate38400"), deviceText("38400"));
        table.insert(QStringLiteral("Rate57600"), deviceText("57600"));
        table.insert(QStringLiteral("Rate115200"), deviceText("115200"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getCANBusDeviceStateNames()
{
    return cachedTable(QStringLiteral("CanbusDeviceState"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("CANConnectedState"), deviceText("Connected"));
        table.insert(QStringLiteral("CANUnconnectedState"), deviceText("Unconnected"));
        table.insert(QStringLiteral("CANConnectingState"), deviceText("Connecting"));
        table.insert(QStringLiteral("CANClosingState"), deviceText("Closing"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getCANBusErrorNames()
{
    return cachedTable(QStringLiteral("CanbusError"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("CANNoError"), deviceText("No Error"));
        table.insert(QStringLiteral("CANReadError"), deviceText("Read Error"));
        table.insert(QStringLiteral("CANWriteError"), deviceText("Write Error"));
        table.insert(QStringLiteral("CANConnectionError"), deviceText("Connection Error"));
        table.insert(QStringLiteral("CANConfigurationError"), deviceText("Configuration Error"));
        table.insert(QStringLiteral("CANUnknownError"), deviceText("Unknown Error"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getCanbusFrameErrorNames()
{
    return cachedTable(QStringLiteral("CanbusFrameError"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("FrameNoError"), deviceText("No Error"));
        table.insert(QStringLiteral("TransmissionTimeOutError"), deviceText("Transmission Timeout"));
        table.insert(QStringLiteral("LostArbitrationError"), deviceText("Lost Arbitration"));
        table.insert(QStringLiteral("ControllerError"), deviceText("Controller Error"));
        table.insert(QStringLiteral("ProtocolViolationError"), deviceText("Protocol Violation"));
        table.insert(QStringLiteral("TransceiverError"), deviceText("Transceiver Error"));
        table.insert(QStringLiteral("MissingAcknowledgmentError"), deviceText("Missing Acknowledgment"));
        table.insert(QStringLiteral("BusOffError"), deviceText("Bus Off"));
        table.insert(QStringLiteral("BusError"), deviceText("Bus Error"));
        table.insert(QStringLiteral("ControllerRestartError"), deviceText("Controller Restart"));
        table.insert(QStringLiteral("FrameUnknownError"), deviceText("Unknown Error"));
        table.insert(QStringLiteral("AnyError"), deviceText("Any Error"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getCanbusFrameTypeNames()
{
    return cachedTable(QStringLiteral("CanbusFrameType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("UnknownFrame"), deviceText("Unknown Frame"));
        table.insert(QStringLiteral("DataFrame"), deviceText("Data Frame"));
        table.insert(QStringLiteral("ErrorFrame"), deviceText("Error Frame"));
        table.insert(QStringLiteral("RemoteRequestFrame"), deviceText("Remote Request Frame"));
        table.insert(QStringLiteral("InvalidFrame"), deviceText("Invalid Frame"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getCANNetworkNames()
{
    return cachedTable(QStringLiteral("CanNetwork"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("RawCAN"), deviceText("Raw CAN"));
        table.insert(QStringLiteral("OpenCAN"), deviceText("CANopen"));
        table.insert(QStringLiteral("J1939"), deviceText("SAE J1939"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getChartThemeNames()
{
    return cachedTable(QStringLiteral("ChartTheme"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("ChartThemeLight"), deviceText("Light"));
        table.insert(QStringLiteral("ChartThemeBlueCerulean"), deviceText("Blue Cerulean"));
        table.insert(QStringLiteral("ChartThemeDark"), deviceText("Dark"));
        table.insert(QStringLiteral("ChartThemeBrownSand"), deviceText("Brown Sand"));
        table.insert(QStringLiteral("ChartThemeBlueNcs"), deviceText("Blue NCS"));
        table.insert(QStringLiteral("ChartThemeHighContrast"), deviceText("High Contrast"));
        table.insert(QStringLiteral("ChartThemeBlueIcy"), deviceText("Blue Icy"));
        table.insert(QStringLiteral("ChartThemeQt"), deviceText("Qt"));
        table.insert(QStringLiteral("NoChartTheme"), deviceText("No Theme"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getColorFormatNames()
{
    return cachedTable(QStringLiteral("ColorFormat"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("CMYK"), deviceText("CMYK"));
        table.insert(QStringLiteral("HSV"), deviceText("HSV"));
        table.insert(QStringLiteral("RGB"), deviceText("RGB"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getClockHandStyleNames()
{
    return cachedTable(QStringLiteral("ClockHandStyle"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("DiscreteHand"), deviceText("Discrete"));
        table.insert(QStringLiteral("ContinuousHand"), deviceText("Continuous"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getCommunicationDirectionNames()
{
    return cachedTable(QStringLiteral("CommunicationDirection"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("Receive"), deviceText("Receive"));
        table.insert(QStringLiteral("Send"), deviceText("Send"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getCommunicationTypeNames()
{
    return cachedTable(QStringLiteral("CommunicationType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("ModbusType"), deviceText("Modbus"));
        table.insert(QStringLiteral("CanBusType"), deviceText("CAN Bus"));
        table.insert(QStringLiteral("EthernetType"), deviceText("Ethernet"));
        table.insert(QStringLiteral("SerialCommunicationType"), deviceText("Serial Communication"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getColorRoleNames()
{
    return cachedTable(QStringLiteral("ColorRole"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("MajorColorRole"), deviceText("Fill"));
        table.insert(QStringLiteral("MinorColorRole"), deviceText("Border"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getEndingCharNames()
{
    return cachedTable(QStringLiteral("EndingChar"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NoEOL"), deviceText("None"));
        table.insert(QStringLiteral("LF"), deviceText("Line Feed (LF)"));
        table.insert(QStringLiteral("CR"), deviceText("Carriage Return (CR)"));
        table.insert(QStringLiteral("CRLF"), deviceText("CR + LF"));
        table.insert(QStringLiteral("End"), deviceText("END"));
        table.insert(QStringLiteral("EndWithBrackets"), deviceText("[END]"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getEncodeDataTypeNames()
{
    return cachedTable(QStringLiteral("EncodeDataType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NotUsed"), deviceText("Not Used"));
        table.insert(QStringLiteral("UnsignedInt16Bit"), deviceText("Unsigned 16-bit Integer"));
        table.insert(QStringLiteral("SignedInt16Bit"), deviceText("Signed 16-bit Integer"));
        table.insert(QStringLiteral("TwoCharAsciiString"), deviceText("2-Character ASCII String"));
        table.insert(QStringLiteral("DiscreteOnOff"), deviceText("Discrete On/Off"));
        table.insert(QStringLiteral("UnsignedInt32Bit"), deviceText("Unsigned 32-bit Integer"));
        table.insert(QStringLiteral("SignedInt32Bit"), deviceText("Signed 32-bit Integer"));
        table.insert(QStringLiteral("SinglePrecFloat32Bit"), deviceText("32-bit Single Precision Float"));
        table.insert(QStringLiteral("FourCharAsciiStr"), deviceText("4-Character ASCII String"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getEncodeByteOrderNames()
{
    return cachedTable(QStringLiteral("EncodeByteOrder"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("HighByteHighWord"), deviceText("High Byte, High Word"));
        table.insert(QStringLiteral("HighByteLowWord"), deviceText("High Byte, Low Word"));
        table.insert(QStringLiteral("LowByteHighWord"), deviceText("Low Byte, High Word"));
        table.insert(QStringLiteral("LowByteLowWord"), deviceText("Low Byte, Low Word"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getFtpTypeNames()
{
    return cachedTable(QStringLiteral("FtpType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("FTP"), deviceText("FTP"));
        table.insert(QStringLiteral("SFTP"), deviceText("SFTP"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getErrorCheckLevelNames()
{
    return cachedTable(QStringLiteral("ErrorCheckLevel"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("ErrorCheckLevel0"), deviceText("Level-%1").arg(0));
        table.insert(QStringLiteral("ErrorCheckLevel1"), deviceText("Level-%1").arg(1));
        table.insert(QStringLiteral("ErrorCheckLevel2"), deviceText("Level-%1").arg(2));
        table.insert(QStringLiteral("ErrorCheckLevel3"), deviceText("Level-%1").arg(3));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getEthernetConfigNames()
{
    return cachedTable(QStringLiteral("EthernetConfig"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("Dynamic"), deviceText("Dynamic"));
        table.insert(QStringLiteral("Static"), deviceText("Static"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getFlowControlNames()
{
    return cachedTable(QStringLiteral("FlowControl"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NoFlowControl"), deviceText("None"));
        table.insert(QStringLiteral("XONXOFF"), deviceText("XON/XOFF"));
        table.insert(QStringLiteral("HardwareControl"), deviceText("Hardware"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getFrameRateNames()
{
    return cachedTable(QStringLiteral("FrameRate"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("Frame125"), deviceText("125Kbit/s"));
        table.insert(QStringLiteral("Frame250"), deviceText("250Kbit/s"));
        table.insert(QStringLiteral("Frame500"), deviceText("500Kbit/s"));
        table.insert(QStringLiteral("Frame1000"), deviceText("1000Kbit/s"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getGradientSpreadNames()
{
    return cachedTable(QStringLiteral("GradientSpread"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("PadSpread"), deviceText("Pad"));
        table.insert(QStringLiteral("ReflectSpread"), deviceText("Reflect"));
        table.insert(QStringLiteral("RepeatSpread"), deviceText("Repeat"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getInputOutputTypeNames()
{
    return cachedTable(QStringLiteral("InputOutputType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("UnavailableType"), deviceText("Unavailable"));
        table.insert(QStringLiteral("UnusedType"), deviceText("Unused"));
        table.insert(QStringLiteral("InputType"), deviceText("Input"));
        table.insert(QStringLiteral("OutputType"), deviceText("Output"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getLetterCaseNames()
{
    return cachedTable(QStringLiteral("LetterCase"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NaturalCase"), deviceText("Natural Case"));
        table.insert(QStringLiteral("UpperCase"), deviceText("Upper Case"));
        table.insert(QStringLiteral("LowerCase"), deviceText("Lower Case"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getParityCheckNames()
{
    return cachedTable(QStringLiteral("ParityCheck"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NoParity"), deviceText("None"));
        table.insert(QStringLiteral("OddParity"), deviceText("Odd"));
        table.insert(QStringLiteral("EvenParity"), deviceText("Even"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getResetBehaviorNames()
{
    return cachedTable(QStringLiteral("ResetBehavior"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("AutomaticReset"), deviceText("Automatic Reset"));
        table.insert(QStringLiteral("ManualReset"), deviceText("Manual Reset"));
        table.insert(QStringLiteral("CustomReset"), deviceText("Custom Reset"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getRollOverBehaviorNames()
{
    return cachedTable(QStringLiteral("RollOverBehavior"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("Append"), deviceText("Append"));
        table.insert(QStringLiteral("Ignore"), deviceText("Ignore"));
        table.insert(QStringLiteral("SaveAndReset"), deviceText("Save and Reset"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getSerialComErrorNames()
{
    return cachedTable(QStringLiteral("SerialCommunicationError"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("TargetOffline"), deviceText("Target Offline"));
        table.insert(QStringLiteral("TargetBusy"), deviceText("Target Busy"));
        table.insert(QStringLiteral("NameDecodeError"), deviceText("Name Decode Error"));
        table.insert(QStringLiteral("TypeDecodeError"), deviceText("Type Decode Error"));
        table.insert(QStringLiteral("ValueDecodeError"), deviceText("Value Decode Error"));
        table.insert(QStringLiteral("DataOverFlowError"), deviceText("Data Overflow"));
        table.insert(QStringLiteral("IDDecodeError"), deviceText("ID Decode Error"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getSeparatorCharNames()
{
    return cachedTable(QStringLiteral("SeparatorChar"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NoSeparator"), deviceText("None"));
        table.insert(QStringLiteral("SpaceSeparator"), deviceText("Space"));
        table.insert(QStringLiteral("CommaSeparator"), deviceText("Comma"));
        table.insert(QStringLiteral("SemiColonSeparator"), deviceText("Semicolon"));
        table.insert(QStringLiteral("TabSeparator"), deviceText("Tab"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getSerialComNames()
{
    return cachedTable(QStringLiteral("SerialComType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("RS232"), deviceText("RS-232"));
        table.insert(QStringLiteral("RS485"), deviceText("RS-485"));
        table.insert(QStringLiteral("I2C"), deviceText("I2C"));
        table.insert(QStringLiteral("SPI"), deviceText("SPI"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getServiceTypeNames()
{
    return cachedTable(QStringLiteral("ServiceType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("UnusedService"), deviceText("Unused"));
        table.insert(QStringLiteral("NativeService"), deviceText("Native"));
        table.insert(QStringLiteral("TerminalService"), deviceText("Terminal"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getStopBitNames()
{
    return cachedTable(QStringLiteral("StopBit"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("OneBit"), deviceText("1 Bit"));
        table.insert(QStringLiteral("TwoBits"), deviceText("2 Bits"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getStringFormatNames()
{
    return cachedTable(QStringLiteral("StringFormat"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NaturalFormat"), deviceText("Natural"));
        table.insert(QStringLiteral("ScientificFormat"), deviceText("Scientific"));
        table.insert(QStringLiteral("AutomaticFormat"), deviceText("Automatic"));
        table.insert(QStringLiteral("HexadecimalFormat"), deviceText("Hexadecimal"));
        table.insert(QStringLiteral("ThousandSeparatorFormat"), deviceText("Thousand Separator"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getStringOperationNames()
{
    return cachedTable(QStringLiteral("StringOperation"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("ConcatString"), deviceText("Concatenate"));
        table.insert(QStringLiteral("ReplaceString"), deviceText("Replace"));
        table.insert(QStringLiteral("ReplaceFirstString"), deviceText("Replace First"));
        table.insert(QStringLiteral("SplitString"), deviceText("Split"));
        table.insert(QStringLiteral("SubString"), deviceText("Substring"));
        table.insert(QStringLiteral("ToLowerCaseString"), deviceText("To Lower Case"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getTemplateCategoryNames()
{
    return cachedTable(QStringLiteral("TemplateCategory"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("MeterTemplate"), deviceText("Meter"));
        table.insert(QStringLiteral("VisualTemplate"), deviceText("Visual"));
        table.insert(QStringLiteral("FunctionTemplate"), deviceText("Function"));
        table.insert(QStringLiteral("HardwareTemplate"), deviceText("Hardware"));
        table.insert(QStringLiteral("OtherTemplate"), deviceText("Other"));
        table.insert(QStringLiteral("UserTemplate"), deviceText("User"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getTerminalModeNames()
{
    return cachedTable(QStringLiteral("TerminalMode"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("TerminalMode0"), deviceText("Mode %1").arg(0));
        table.insert(QStringLiteral("TerminalMode1"), deviceText("Mode %1").arg(1));
        table.insert(QStringLiteral("TerminalMode2"), deviceText("Mode %1").arg(2));
        table.insert(QStringLiteral("TerminalMode3"), deviceText("Mode %1").arg(3));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getTextAlignmentNames()
{
    return cachedTable(QStringLiteral("TextAlignment"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("AlignTopLeft"), deviceText("Top Left"));
        table.insert(QStringLiteral("AlignTop"), deviceText("Top"));
        table.insert(QStringLiteral("AlignTopRight"), deviceText("Top Right"));
        table.insert(QStringLiteral("AlignLeft"), deviceText("Left"));
        table.insert(QStringLiteral("AlignCenter"), deviceText("Center"));
        table.insert(QStringLiteral("AlignRight"), deviceText("Right"));
        table.insert(QStringLiteral("AlignBottomLeft"), deviceText("Bottom Left"));
        table.insert(QStringLiteral("AlignBottom"), deviceText("Bottom"));
        table.insert(QStringLiteral("AlignBottomRight"), deviceText("Bottom Right"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getTextStyleNames()
{
    return cachedTable(QStringLiteral("TextStyle"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("Standard"), deviceText("Standard"));
        table.insert(QStringLiteral("Outline"), deviceText("Outline"));
        table.insert(QStringLiteral("Raised"), deviceText("Raised"));
        table.insert(QStringLiteral("Sunken"), deviceText("Sunken"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getThermistorUnitsNames()
{
    return cachedTable(QStringLiteral("ThermistorUnits"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("Celsius"), deviceText("Celsius"));
        table.insert(QStringLiteral("Fahrenheit"), deviceText("Fahrenheit"));
        table.insert(QStringLiteral("Kelvin"), deviceText("Kelvin"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getVariableAccessModeNames()
{
    return cachedTable(QStringLiteral("VariableAccessMode"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("ReadOnly"), deviceText("Read Only"));
        table.insert(QStringLiteral("ReadWrite"), deviceText("Read/Write"));
        table.insert(QStringLiteral("Constant"), deviceText("Constant"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getVariableTypeNames()
{
    return cachedTable(QStringLiteral("VariableType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("UndefinedType"), deviceText("Undefined"));
        table.insert(QStringLiteral("BooleanType"), deviceText("Boolean"));
        table.insert(QStringLiteral("IntegerType"), deviceText("Integer"));
        table.insert(QStringLiteral("RealType"), deviceText("Real"));
        table.insert(QStringLiteral("StringType"), deviceText("String"));
        table.insert(QStringLiteral("EnumType"), deviceText("Enumeration"));
        table.insert(QStringLiteral("ColorType"), deviceText("Color"));
        table.insert(QStringLiteral("ObjectType"), deviceText("Object"));
        table.insert(QStringLiteral("VoidType"), deviceText("Void"));
        table.insert(QStringLiteral("ListType"), deviceText("List"));
        table.insert(QStringLiteral("MapType"), deviceText("Map"));
        table.insert(QStringLiteral("NumberType"), deviceText("Number"));
        table.insert(QStringLiteral("BytesType"), deviceText("Bytes"));
        table.insert(QStringLiteral("FtpType"), deviceText("FTP"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getProtocolTypeNames()
{
    return cachedTable(QStringLiteral("ProtocolType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NoProtocol"), deviceText("None"));
        table.insert(QStringLiteral("Modbus"), deviceText("Modbus"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getMessageTypeNames()
{
    return cachedTable(QStringLiteral("MessageType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("Broadcast"), deviceText("Broadcast"));
        table.insert(QStringLiteral("Direct"), deviceText("Direct"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getModeTypeNames()
{
    return cachedTable(QStringLiteral("ModeType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("Master"), deviceText("Master"));
        table.insert(QStringLiteral("Slave"), deviceText("Slave"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getModbusCommandTypeNames()
{
    return cachedTable(QStringLiteral("ModbusCommandType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NoCommand"), deviceText("No Command"));
        table.insert(QStringLiteral("ReadCoils"), deviceText("Read Coils"));
        table.insert(QStringLiteral("ReadDiscrete"), deviceText("Read Discrete Inputs"));
        table.insert(QStringLiteral("ReadHoldingRegisters"), deviceText("Read Holding Registers"));
        table.insert(QStringLiteral("ReadInputRegisters"), deviceText("Read Input Registers"));
        table.insert(QStringLiteral("WriteSingleCoil"), deviceText("Write Single Coil"));
        table.insert(QStringLiteral("WriteSingleRegister"), deviceText("Write Single Register"));
        table.insert(QStringLiteral("WriteMultipleCoils"), deviceText("Write Multiple Coils"));
        table.insert(QStringLiteral("WriteMultipleRegisters"), deviceText("Write Multiple Registers"));
        table.insert(QStringLiteral("ReadExceptionStatus"), deviceText("Read Exception Status"));
        table.insert(QStringLiteral("GetRegister"), deviceText("Get Register"));
        table.insert(QStringLiteral("GetString"), deviceText("Get String"));
        table.insert(QStringLiteral("SetRegister"), deviceText("Set Register"));
        table.insert(QStringLiteral("SetString"), deviceText("Set String"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getModbusErrorNames()
{
    return cachedTable(QStringLiteral("ModbusError"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("DataAddressNoMatchError"), deviceText("Data Address Mismatch"));
        table.insert(QStringLiteral("ReadError"), deviceText("Read Error"));
        table.insert(QStringLiteral("WriteError"), deviceText("Write Error"));
        table.insert(QStringLiteral("ConnectionError"), deviceText("Connection Error"));
        table.insert(QStringLiteral("ConfigurationError"), deviceText("Configuration Error"));
        table.insert(QStringLiteral("TimeOutError"), deviceText("Timeout"));
        table.insert(QStringLiteral("ProtocolError"), deviceText("Protocol Error"));
        table.insert(QStringLiteral("ReplyAbortedError"), deviceText("Reply Aborted"));
        table.insert(QStringLiteral("UnknownError"), deviceText("Unknown Error"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getModbusStateNames()
{
    return cachedTable(QStringLiteral("ModbusState"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("UnconnectedState"), deviceText("Unconnected"));
        table.insert(QStringLiteral("ConnectingState"), deviceText("Connecting"));
        table.insert(QStringLiteral("ConnectedState"), deviceText("Connected"));
        table.insert(QStringLiteral("ClosingState"), deviceText("Closing"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getRegisterTypeNames()
{
    return cachedTable(QStringLiteral("RegisterType"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("InvalidRegister"), deviceText("Invalid Register"));
        table.insert(QStringLiteral("DiscreteInputs"), deviceText("Discrete Inputs"));
        table.insert(QStringLiteral("Coil"), deviceText("Coil"));
        table.insert(QStringLiteral("Coils"), deviceText("Coils"));
        table.insert(QStringLiteral("InputRegisters"), deviceText("Input Registers"));
        table.insert(QStringLiteral("HoldingRegister"), deviceText("Holding Register"));
        table.insert(QStringLiteral("HoldingRegisters"), deviceText("Holding Registers"));
        table.insert(QStringLiteral("VirtualRegisters"), deviceText("Virtual Registers"));
        table.insert(QStringLiteral("VirtualStrings"), deviceText("Virtual Strings"));
        table.insert(QStringLiteral("VirtualAddresses"), deviceText("Virtual Addresses"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getNetworkErrorNames()
{
    return cachedTable(QStringLiteral("NetworkError"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("NoNetworkError"), deviceText("No Error"));
        table.insert(QStringLiteral("ConnectionRefusedError"), deviceText("Connection Refused"));
        table.insert(QStringLiteral("RemoteHostClosedError"), deviceText("Remote Host Closed"));
        table.insert(QStringLiteral("HostNotFoundError"), deviceText("Host Not Found"));
        table.insert(QStringLiteral("NetworkTimeOutError"), deviceText("Network Timeout"));
        table.insert(QStringLiteral("SslHandshakeFailedError"), deviceText("SSL Handshake Failed"));
        table.insert(QStringLiteral("TemporaryNetworkFailureError"), deviceText("Temporary Network Failure"));
        table.insert(QStringLiteral("NetworkSessionFailedError"), deviceText("Network Session Failed"));
        table.insert(QStringLiteral("BackgroundRequestNotAllowedError"), deviceText("Background Request Not Allowed"));
        table.insert(QStringLiteral("TooManyRedirectsError"), deviceText("Too Many Redirects"));
        table.insert(QStringLiteral("InsecureRedirectError"), deviceText("Insecure Redirect"));
        table.insert(QStringLiteral("ProxyConnectionRefusedError"), deviceText("Proxy Connection Refused"));
        table.insert(QStringLiteral("ProxyConnectionClosedError"), deviceText("Proxy Connection Closed"));
        table.insert(QStringLiteral("ProxyNotFoundError"), deviceText("Proxy Not Found"));
        table.insert(QStringLiteral("ProxyTimeoutError"), deviceText("Proxy Timeout"));
        table.insert(QStringLiteral("ProxyAuthenticationRequiredError"), deviceText("Proxy Authentication Required"));
        table.insert(QStringLiteral("ContentAccessDenied"), deviceText("Content Access Denied"));
        table.insert(QStringLiteral("ContentOperationNotPermittedError"), deviceText("Content Operation Not Permitted"));
        table.insert(QStringLiteral("ContentNotFoundError"), deviceText("Content Not Found"));
        table.insert(QStringLiteral("AuthenticationRequiredError"), deviceText("Authentication Required"));
        table.insert(QStringLiteral("ContentReSendError"), deviceText("Content Resend Error"));
        table.insert(QStringLiteral("ContentConflictError"), deviceText("Content Conflict"));
        table.insert(QStringLiteral("ContentGoneError"), deviceText("Content Gone"));
        table.insert(QStringLiteral("InternalServerError"), deviceText("Internal Server Error"));
        table.insert(QStringLiteral("OperationNotImplementedError"), deviceText("Operation Not Implemented"));
        table.insert(QStringLiteral("ServiceUnavailableError"), deviceText("Service Unavailable"));
        table.insert(QStringLiteral("ProtocolUnknownError"), deviceText("Unknown Protocol"));
        table.insert(QStringLiteral("ProtocolInvalidOperationError"), deviceText("Invalid Protocol Operation"));
        table.insert(QStringLiteral("UnknownNetworkError"), deviceText("Unknown Network Error"));
        table.insert(QStringLiteral("UnknownProxyError"), deviceText("Unknown Proxy Error"));
        table.insert(QStringLiteral("UnknownContentError"), deviceText("Unknown Content Error"));
        table.insert(QStringLiteral("ProtocolFailure"), deviceText("Protocol Failure"));
        table.insert(QStringLiteral("UnknownServerError"), deviceText("Unknown Server Error"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getConfigurationKeyNames()
{
    return cachedTable(QStringLiteral("ConfigurationKey"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("RawFilterKey"), deviceText("Raw Filter"));
        table.insert(QStringLiteral("ErrorFilterKey"), deviceText("Error Filter"));
        table.insert(QStringLiteral("LoopBackKey"), deviceText("Loopback"));
        table.insert(QStringLiteral("ReceiveOwnKey"), deviceText("Receive Own Frames"));
        table.insert(QStringLiteral("BitRateKey"), deviceText("Bit Rate"));
        table.insert(QStringLiteral("CanFdKey"), deviceText("CAN FD"));
        return table;
    });
}

QMap<QString, QString> EnumHelper::getTransformOriginNames()
{
    return cachedTable(QStringLiteral("TransformOrigin"), [] {
        QMap<QString, QString> table;
        table.insert(QStringLiteral("TopLeft"), deviceText("Top Left"));
        table.insert(QStringLiteral("Top"), deviceText("Top"));
        table.insert(QStringLiteral("TopRight"), deviceText("Top Right"));
        table.insert(QStringLiteral("Left"), deviceText("Left"));
        table.insert(QStringLiteral("Center"), deviceText("Center"));
        table.insert(QStringLiteral("Right"), deviceText("Right"));
        table.insert(QStringLiteral("BottomLeft"), deviceText("Bottom Left"));
        table.insert(QStringLiteral("Bottom"), deviceText("Bottom"));
        table.insert(QStringLiteral("BottomRight"), deviceText("Bottom Right"));
        return table;
    });
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
