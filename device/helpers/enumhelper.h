#ifndef ENUMHELPER_H
#define ENUMHELPER_H

#include "device_global.h"

#include <QList>
#include <QMap>
#include <QMetaEnum>
#include <QObject>
#include <QString>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Common {

// The enumerations shared by the project model, registered with the meta-object
// system so that values can be handled by key name, and their display texts.
//
// VariableType is a scoped enumeration: its key "FtpType" would otherwise hide the
// enumeration type FtpType inside this class.
class DEVICE_EXPORT EnumHelper : public QObject
{
    Q_OBJECT
public:
    enum BaudRate {
        Rate1200 = 1200,
        Rate2400 = 2400,
        Rate4800 = 4800,
        Rate9600 = 9600,
        Rate19200 = 19200,
        Rate38400 = 38400,
        Rate57600 = 57600,
        Rate115200 = 115200
    };
    Q_ENUM(BaudRate)

    enum CanbusDeviceState {
        CANConnectedState = 1,
        CANUnconnectedState = 2,
        CANConnectingState = 3,
        CANClosingState = 4
    };
    Q_ENUM(CanbusDeviceState)

    enum CanbusError {
        CANNoError = 1,
        CANReadError = 2,
        CANWriteError = 3,
        CANConnectionError = 4,
        CANConfigurationError = 5,
        CANUnknownError = 6
    };
    Q_ENUM(CanbusError)

    enum CanbusFrameError {
        FrameNoError = 1,
        TransmissionTimeOutError = 2,
        LostArbitrationError = 3,
        ControllerError = 4,
        ProtocolViolationError = 5,
        TransceiverError = 6,
        MissingAcknowledgmentError = 7,
        BusOffError = 8,
        BusError = 9,
        ControllerRestartError = 10,
        FrameUnknownError = 11,
        AnyError = 12
    };
    Q_ENUM(CanbusFrameError)

    enum CanbusFrameType {
        UnknownFrame = 0,
        DataFrame = 1,
        ErrorFrame = 2,
        RemoteRequestFrame = 3,
        InvalidFrame = 4
    };
    Q_ENUM(CanbusFrameType)

    enum CanNetwork {
        RawCAN = 0,
        OpenCAN = 1,
        J1939 = 2
    };
    Q_ENUM(CanNetwork)

    enum ChartTheme {
        ChartThemeLight = 0,
        ChartThemeBlueCerulean = 1,
        ChartThemeDark = 2,
        ChartThemeBrownSand = 3,
        ChartThemeBlueNcs = 4,
        ChartThemeHighContrast = 5,
        ChartThemeBlueIcy = 6,
        ChartThemeQt = 7,
        NoChartTheme = 8
    };
    Q_ENUM(ChartTheme)

    enum ColorFormat {
        CMYK = 0,
        HSV = 1,
        RGB = 2
    };
    Q_ENUM(ColorFormat)

    enum ClockHandStyle {
        DiscreteHand = 0,
        ContinuousHand = 1
    };
    Q_ENUM(ClockHandStyle)

    enum CommunicationDirection {
        Receive = 0,
        Send = 1
    };
    Q_ENUM(CommunicationDirection)

    enum CommunicationType {
        ModbusType = 0,
        CanBusType = 1,
        EthernetType = 2,
        SerialCommunicationType = 3
    };
    Q_ENUM(CommunicationType)

    enum ColorRole {
        MajorColorRole = 0,
        MinorColorRole = 1
    };
    Q_ENUM(ColorRole)

    enum EndingChar {
        NoEOL = 0,
        LF = 1,
        CR = 2,
        CRLF = 3,
        End = 4,
        EndWithBrackets = 5
    };
    Q_ENUM(EndingChar)

    enum EncodeDataType {
        NotUsed = 0,
        UnsignedInt16Bit = 1,
        SignedInt16Bit = 2,
        TwoCharAsciiString = 3,
        DiscreteOnOff = 4,
        UnsignedInt32Bit = 5,
        SignedInt32Bit = 6,
        SinglePrecFloat32Bit = 7,
        FourCharAsciiStr = 8
    };
    Q_ENUM(EncodeDataType)

    enum EncodeByteOrder {
        HighByteHighWord = 0,
        HighByteLowWord = 1,
        LowByteHighWord = 3,
        LowByteLowWord = 4
    };
    Q_ENUM(EncodeByteOrder)

    enum FtpType {
        FTP = 0,
        SFTP = 1
    };
    Q_ENUM(FtpType)

    enum ErrorCheckLevel {
        ErrorCheckLevel0 = 0,
        ErrorCheckLevel1 = 1,
        ErrorCheckLevel2 = 2,
        ErrorCheckLevel3 = 3
    };
    Q_ENUM(ErrorCheckLevel)

    enum EthernetConfig {
        Dynamic = 0,
        Static = 1
    };
    Q_ENUM(EthernetConfig)

    enum FlowControl {
        NoFlowControl = 0,
        XONXOFF = 1,
        HardwareControl = 2
    };
    Q_ENUM(FlowControl)

    enum FrameRate {
        Frame125 = 0,
        Frame250 = 1,
        Frame500 = 2,
        Frame1000 = 3
    };
    Q_ENUM(FrameRate)

    enum GradientSpread {
        PadSpread = 0,
        ReflectSpread = 1,
        RepeatSpread = 2
    };
    Q_ENUM(GradientSpread)

    enum InputOutputType {
        UnavailableType = -1,
        UnusedType = 0,
        InputType = 1,
        OutputType = 2,
        ComType = 3,
        SendType = 4,
        RecieveType = 5,
        Direction = 6
    };
    Q_ENUM(InputOutputType)

    enum LetterCase {
        NaturalCase = 0,
        UpperCase = 1,
        LowerCase = 2
    };
    Q_ENUM(LetterCase)

    enum ParityCheck {
        NoParity = 0,
        OddParity = 1,
        EvenParity = 2
    };
    Q_ENUM(ParityCheck)

    enum ResetBehavior {
        AutomaticReset = 0,
        ManualReset = 1,
        CustomReset = 2
    };
    Q_ENUM(ResetBehavior)

    enum RollOverBehavior {
        Append = 0,
        Ignore = 1,
        SaveAndReset = 3
    };
    Q_ENUM(RollOverBehavior)

    enum SerialCommunicationError {
        TargetOffline = 0,
        TargetBusy = 1,
        NameDecodeError = 2,
        TypeDecodeError = 3,
        ValueDecodeError = 4,
        DataOverFlowError = 5,
        IDDecodeError = 6
    };
    Q_ENUM(SerialCommunicationError)

    enum SeparatorChar {
        NoSeparator = 0,
        SpaceSeparator = 1,
        CommaSeparator = 2,
        SemiColonSeparator = 3,
        TabSeparator = 4
    };
    Q_ENUM(SeparatorChar)

    enum SerialComType {
        RS232 = 0,
        RS485 = 1,
        I2C = 2,
        SPI = 3
    };
    Q_ENUM(SerialComType)

    enum ServiceType {
        UnusedService = 0,
        NativeService = 1,
        TerminalService = 2
    };
    Q_ENUM(ServiceType)

    enum StopBit {
        OneBit = 1,
        TwoBits = 2
    };
    Q_ENUM(StopBit)

    enum StringFormat {
        NaturalFormat = 0,
        ScientificFormat = 1,
        AutomaticFormat = 2,
        HexadecimalFormat = 3,
        ThousandSeparatorFormat = 4
    };
    Q_ENUM(StringFormat)

    enum StringOperation {
        ConcatString = 0,
        ReplaceString = 1,
        ReplaceFirstString = 2,
        SplitString = 3,
        SubString = 4,
        ToLowerCaseString = 5
    };
    Q_ENUM(StringOperation)

    enum TemplateCategory {
        MeterTemplate = 0,
        VisualTemplate = 1,
        FunctionTemplate = 2,
        HardwareTemplate = 3,
        OtherTemplate = 4,
        UserTemplate = 5
    };
    Q_ENUM(TemplateCategory)

    enum TerminalMode {
        TerminalMode0 = 0,
        TerminalMode1 = 1,
        TerminalMode2 = 2,
        TerminalMode3 = 3
    };
    Q_ENUM(TerminalMode)

    enum TextAlignment {
        AlignTopLeft = 33,
        AlignTop = 36,
        AlignTopRight = 34,
        AlignLeft = 129,
        AlignCenter = 132,
        AlignRight = 130,
        AlignBottomLeft = 65,
        AlignBottom = 68,
        AlignBottomRight = 66
    };
    Q_ENUM(TextAlignment)

    enum TextStyle {
        Standard = 0,
        Outline = 1,
        Raised = 2,
        Sunken = 3
    };
    Q_ENUM(TextStyle)

    enum ThermistorUnits {
        Celsius = 0,
        Fahrenheit = 1,
        Kelvin = 2
    };
    Q_ENUM(ThermistorUnits)

    enum VariableAccessMode {
        ReadOnly = 0,
        ReadWrite = 1,
        Constant = 2
    };
    Q_ENUM(VariableAccessMode)

    enum class VariableType {
        UndefinedType = 0,
        BooleanType = 1,
        IntegerType = 2,
        RealType = 3,
        StringType = 4,
        EnumType = 5,
        ColorType = 6,
        ObjectType = 7,
        VoidType = 8,
        ListType = 9,
        MapType = 10,
        NumberType = 11,
        BytesType = 12,
        FtpType = 13
    };
    Q_ENUM(VariableType)

    enum ProtocolType {
        NoProtocol = 0,
        Modbus = 1
    };
    Q_ENUM(ProtocolType)

    enum MessageType {
        Broadcast = 0,
        Direct = 1
    };
    Q_ENUM(MessageType)

    enum ModeType {
        Master = 0,
        Slave = 1
    };
    Q_ENUM(ModeType)

    enum ModbusCommandType {
        NoCommand = 0,
        ReadCoils = 1,
        ReadDiscrete = 2,
        ReadHoldingRegisters = 3,
        ReadInputRegisters = 4,
        WriteSingleCoil = 5,
        WriteSingleRegister = 6,
        WriteMultipleCoils = 7,
        WriteMultipleRegisters = 8,
        ReadExceptionStatus = 9,
        GetRegister = 10,
        GetString = 11,
        SetRegister = 12,
        SetString = 13
    };
    Q_ENUM(ModbusCommandType)

    enum ModbusError {
        DataAddressNoMatchError = 1,
        ReadError = 2,
        WriteError = 3,
        ConnectionError = 4,
        ConfigurationError = 5,
        TimeOutError = 6,
        ProtocolError = 7,
        ReplyAbortedError = 8,
        UnknownError = 9
    };
    Q_ENUM(ModbusError)

    enum ModbusState {
        UnconnectedState = 0,
        ConnectingState = 1,
        ConnectedState = 2,
        ClosingState = 3
    };
    Q_ENUM(ModbusState)

    enum RegisterType {
        InvalidRegister = 0,
        DiscreteInputs = 1,
        Coil = 2,
        Coils = 3,
        InputRegisters = 4,
        HoldingRegister = 5,
        HoldingRegisters = 6,
        VirtualRegisters = 7,
        VirtualStrings = 8,
        VirtualAddresses = 9
    };
    Q_ENUM(RegisterType)

    enum NetworkError {
        NoNetworkError = 0,
        ConnectionRefusedError = 1,
        RemoteHostClosedError = 2,
        HostNotFoundError = 3,
        NetworkTimeOutError = 4,
        SslHandshakeFailedError = 6,
        TemporaryNetworkFailureError = 7,
        NetworkSessionFailedError = 8,
        BackgroundRequestNotAllowedError = 9,
        TooManyRedirectsError = 10,
        InsecureRedirectError = 11,
        ProxyConnectionRefusedError = 101,
        ProxyConnectionClosedError = 102,
        ProxyNotFoundError = 103,
        ProxyTimeoutError = 104,
        ProxyAuthenticationRequiredError = 105,
        ContentAccessDenied = 201,
        ContentOperationNotPermittedError = 202,
        ContentNotFoundError = 203,
        AuthenticationRequiredError = 204,
        ContentReSendError = 205,
        ContentConflictError = 206,
        ContentGoneError = 207,
        InternalServerError = 401,
        OperationNotImplementedError = 402,
        ServiceUnavailableError = 403,
        ProtocolUnknownError = 301,
        ProtocolInvalidOperationError = 302,
        UnknownNetworkError = 99,
        UnknownProxyError = 199,
        UnknownContentError = 299,
        ProtocolFailure = 399,
        UnknownServerError = 499
    };
    Q_ENUM(NetworkError)

    // The meta enumeration of that name; "TransformOrigin" comes from QQuickItem.
    // An unknown name gives an invalid QMetaEnum.
    static QMetaEnum createEnum(const QString& name);

    // Key name to localized display text. Each table is built once per process.
    static QMap<QString, QString> getBaudeRateNames();
    static QMap<QString, QString> getCANNetworkNames();
    static QMap<QString, QString> getCANBusDeviceStateNames();
    static QMap<QString, QString> getCANBusErrorNames();
    static QMap<QString, QString> getCanbusFrameErrorNames();
    static QMap<QString, QString> getCanbusFrameTypeNames();
    static QMap<QString, QString> getChartThemeNames();
    static QMap<QString, QString> getClockHandStyleNames();
    static QMap<QString, QString> getColorFormatNames();
    static QMap<QString, QString> getColorRoleNames();
    static QMap<QString, QString> getCommunicationDirectionNames();
    static QMap<QString, QString> getCommunicationTypeNames();
    static QMap<QString, QString> getConfigurationKeyNames();
    static QMap<QString, QString> getEncodeByteOrderNames();
    static QMap<QString, QString> getEncodeDataTypeNames();
    static QMap<QString, QString> getEndingCharNames();
    static QMap<QString, QString> getErrorCheckLevelNames();
    static QMap<QString, QString> getEthernetConfigNames();
    static QMap<QString, QString> getFlowControlNames();
    static QMap<QString, QString> getFrameRateNames();
    static QMap<QString, QString> getFtpTypeNames();
    static QMap<QString, QString> getGradientSpreadNames();
    static QMap<QString, QString> getInputOutputTypeNames();
    static QMap<QString, QString> getLetterCaseNames();
    static QMap<QString, QString> getMessageTypeNames();
    static QMap<QString, QString> getModbusCommandTypeNames();
    static QMap<QString, QString> getModbusErrorNames();
    static QMap<QString, QString> getModbusStateNames();
    static QMap<QString, QString> getModeTypeNames();
    static QMap<QString, QString> getNetworkErrorNames();
    static QMap<QString, QString> getParityCheckNames();
    static QMap<QString, QString> getProtocolTypeNames();
    static QMap<QString, QString> getRegisterTypeNames();
    static QMap<QString, QString> getResetBehaviorNames();
    static QMap<QString, QString> getRollOverBehaviorNames();
    static QMap<QString, QString> getSeparatorCharNames();
    static QMap<QString, QString> getSerialComNames();
    static QMap<QString, QString> getSerialComErrorNames();
    static QMap<QString, QString> getServiceTypeNames();
    static QMap<QString, QString> getStopBitNames();
    static QMap<QString, QString> getStringFormatNames();
    static QMap<QString, QString> getStringOperationNames();
    static QMap<QString, QString> getTemplateCategoryNames();
    static QMap<QString, QString> getTerminalModeNames();
    static QMap<QString, QString> getTextAlignmentNames();
    static QMap<QString, QString> getTextStyleNames();
    static QMap<QString, QString> getThermistorUnitsNames();
    static QMap<QString, QString> getTransformOriginNames();
    static QMap<QString, QString> getVariableAccessModeNames();
    static QMap<QString, QString> getVariableTypeNames();

    // Dispatches to the table of that enumeration; an empty map for a name without a table.
    static QMap<QString, QString> getEnumNames(const QString& enumName);
    // The names getEnumNames() knows, in alphabetical order.
    static QStringList tableNames();

    // "Read" and "Write" to the ModbusCommandType values of each kind.
    static QMap<QString, QList<int>> getModbusReadWriteCommands();

private:
    explicit EnumHelper(QObject* parent = nullptr);
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // ENUMHELPER_H
