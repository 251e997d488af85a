#include "helpers/enumhelper.h"
#include "helpers/localizationhelper.h"

#include <QMetaEnum>
#include <QSet>
#include <QSettings>
#include <QtTest>

using Orvane::Tavrix::Common::EnumHelper;
using Orvane::Tavrix::Common::LocalizationHelper;

class TestEnumHelper : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void createEnum_data();
    void createEnum();
    void createEnumUnknown();
    void enumValues_data();
    void enumValues();
    void tablesCoverTheirEnumerations();
    void germanTexts_data();
    void germanTexts();
    void translatedTexts();
    void configurationKeyTable();
    void dispatchByName();
    void modbusReadWriteCommands();

private:
    QVariant m_previousLanguage;
};

void TestEnumHelper::initTestCase()
{
    // The translator reads the language once, on its first use: choose German
    // before anything looks up a text.
    QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Lumatra"));
    m_previousLanguage = settings.value(QStringLiteral("language"));
    settings.setValue(QStringLiteral("language"), QStringLiteral("de"));
    settings.sync();
    LocalizationHelper* translator = LocalizationHelper::appTranslator();
    QVERIFY(translator);
    QCOMPARE(translator->currentLocale(), QStringLiteral("de"));
}

void TestEnumHelper::cleanupTestCase()
{
    QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Lumatra"));
    if (m_previousLanguage.isValid())
        settings.setValue(QStringLiteral("language"), m_previousLanguage);
    else
        settings.remove(QStringLiteral("language"));
}

void TestEnumHelper::createEnum_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("keyCount");
    const QList<QPair<const char*, int>> enums {
        { "BaudRate", 8 }, { "CanbusDeviceState", 4 }, { "CanbusError", 6 }, { "CanbusFrameError", 12 },
        { "CanbusFrameType", 5 }, { "CanNetwork", 3 }, { "ChartTheme", 9 }, { "ColorFormat", 3 },
        { "ClockHandStyle", 2 }, { "CommunicationDirection", 2 }, { "CommunicationType", 4 }, { "ColorRole", 2 },
        { "EndingChar", 6 }, { "EncodeDataType", 9 }, { "EncodeByteOrder", 4 }, { "FtpType", 2 },
        { "ErrorCheckLevel", 4 }, { "EthernetConfig", 2 }, { "FlowControl", 3 }, { "FrameRate", 4 },
        { "GradientSpread", 3 }, { "InputOutputType", 8 }, { "LetterCase", 3 }, { "ParityCheck", 3 },
        { "ResetBehavior", 3 }, { "RollOverBehavior", 3 }, { "SerialCommunicationError", 7 }, { "SeparatorChar", 5 },
        { "SerialComType", 4 }, { "ServiceType", 3 }, { "StopBit", 2 }, { "StringFormat", 5 },
        { "StringOperation", 6 }, { "TemplateCategory", 6 }, { "TerminalMode", 4 }, { "TextAlignment", 9 },
        { "TextStyle", 4 }, { "ThermistorUnits", 3 }, { "VariableAccessMode", 3 }, { "VariableType", 14 },
        { "ProtocolType", 2 }, { "MessageType", 2 }, { "ModeType", 2 }, { "ModbusCommandType", 14 },
        { "ModbusError", 9 }, { "ModbusState", 4 }, { "RegisterType", 10 }, { "NetworkError", 33 },
        { "TransformOrigin", 9 },
    };
    for (const auto& e : enums)
        QTest::newRow(e.first) << QString::fromLatin1(e.first) << e.second;
}

void TestEnumHelper::createEnum()
{
    QFETCH(QString, name);
    QFETCH(int, keyCount);
    const QMetaEnum meta = EnumHelper::createEnum(name);
    QVERIFY(meta.isValid());
    QCOMPARE(QString::fromLatin1(meta.name()), name);
    QCOMPARE(meta.keyCount(), keyCount);
}

void TestEnumHelper::createEnumUnknown()
{
    QVERIFY(!EnumHelper::createEnum(QStringLiteral("NoSuchEnum")).isValid());
    QVERIFY(!EnumHelper::createEnum(QString()).isValid());
    // A table, but not an enumeration.
    QVERIFY(!EnumHelper::createEnum(QStringLiteral("ConfigurationKey")).isValid());
}

void TestEnumHelper::enumValues_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("value");
    auto row = [](const char* name, int index, const char* key, int value) {
        QTest::addRow("%s.%s", name, key) << QString::fromLatin1(name) << index << QString::fromLatin1(key) << value;
    };
    row("TextAlignment", 0, "AlignTopLeft", 33);
    row("TextAlignment", 1, "AlignTop", 36);
    row("TextAlignment", 2, "AlignTopRight", 34);
    row("TextAlignment", 4, "AlignCenter", 132);
    row("TextAlignment", 8, "AlignBottomRight", 66);
    row("NetworkError", 0, "NoNetworkError", 0);
    row("NetworkError", 5, "SslHandshakeFailedError", 6);
    row("NetworkError", 16, "ContentAccessDenied", 201);
    row("NetworkError", 26, "ProtocolUnknownError", 301);
    row("NetworkError", 28, "UnknownNetworkError", 99);
    row("NetworkError", 32, "UnknownServerError", 499);
    row("InputOutputType", 0, "UnavailableType", -1);
    row("InputOutputType", 6, "RecieveType", 5);
    row("InputOutputType", 7, "Direction", 6);
    row("EncodeByteOrder", 2, "LowByteHighWord", 3);
    row("RollOverBehavior", 2, "SaveAndReset", 3);
    row("VariableType", 13, "FtpType", 13);
    row("FtpType", 1, "SFTP", 1);
    row("BaudRate", 7, "Rate115200", 115200);
    row("StopBit", 0, "OneBit", 1);
    row("CanbusFrameError", 11, "AnyError", 12);
    row("ModbusCommandType", 9, "ReadExceptionStatus", 9);
    row("RegisterType", 9, "VirtualAddresses", 9);
    row("TransformOrigin", 0, "TopLeft", 0);
    row("TransformOrigin", 8, "BottomRight", 8);
}

void TestEnumHelper::enumValues()
{
    QFETCH(QString, name);
    QFETCH(int, index);
    QFETCH(QString, key);
    QFETCH(int, value);
    const QMetaEnum meta = EnumHelper::createEnum(name);
    QVERIFY(meta.isValid());
    QCOMPARE(QString::fromLatin1(meta.key(index)), key);
    QCOMPARE(meta.value(index), value);
    bool ok = false;
    QCOMPARE(meta.keyToValue(key.toLatin1().constData(), &ok), value);
    QVERIFY(ok);
}

void TestEnumHelper::tablesCoverTheirEnumerations()
{
    const QStringList names = EnumHelper::tableNames();
    QCOMPARE(names.size(), 50);
    for (const QString& name : names) {
        const QMap<QString, QString> table = EnumHelper::getEnumNames(name);
        QVERIFY2(!table.isEmpty(), qPrintable(name));
        for (auto it = table.constBegin(); it != table.constEnd(); ++it)
            QVERIFY2(!it.value().trimmed().isEmpty(), qPrintable(name + QLatin1Char('.') + it.key()));
        if (name == QLatin1String("ConfigurationKey"))
            continue;
        const QMetaEnum meta = EnumHelper::createEnum(name);
        QVERIFY2(meta.isValid(), qPrintable(name));
        QSet<QString> keys;
        for (int i = 0; i < meta.keyCount(); ++i)
            keys.insert(QString::fromLatin1(meta.key(i)));
        const QStringList tableKeys = table.keys();
        const QSet<QString> tableKeySet(tableKeys.cbegin(), tableKeys.cend());
        if (name == QLatin1String("InputOutputType")) {
            QCOMPARE(tableKeySet,
                     (QSet<QString> { QStringLiteral("UnavailableType"), QStringLiteral("UnusedType"),
                                      QStringLiteral("InputType"), QStringLiteral("OutputType") }));
        } else {
            QVERIFY2(tableKeySet == keys, qPrintable(name));
        }
    }
}

void TestEnumHelper::germanTexts_data()
{
    // The names as the German table gives them.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    auto row = [](const char* name, const char* key, const char* text) {
        QTest::addRow("%s.%s", name, key) << QString::fromLatin1(name) << QString::fromLatin1(key) << QString::fromUtf8(text);
    };
    row("InputOutputType", "UnusedType", "Unbenutzt");
    row("ClockHandStyle", "DiscreteHand", "Diskret");
    row("ClockHandStyle", "ContinuousHand", "Fortlaufend");
    row("ParityCheck", "NoParity", "Keine");
    row("ParityCheck", "OddParity", "Ungerade");
    row("ParityCheck", "EvenParity", "Gerade");
    row("FlowControl", "NoFlowControl", "Keine");
    row("FlowControl", "XONXOFF", "XON/XOFF");
    row("FlowControl", "HardwareControl", "Hardware");
    row("StopBit", "OneBit", "1 Bit");
    row("StopBit", "TwoBits", "2 Bits");
    row("FrameRate", "Frame125", "125 kBit/s");
    row("FrameRate", "Frame1000", "1000 kBit/s");
    row("EndingChar", "NoEOL", "Keine");
    row("EndingChar", "LF", "Zeilenvorschub (LF)");
    row("EndingChar", "CR", "Wagenrücklauf (CR)");
    row("EndingChar", "CRLF", "CR + LF");
    row("EndingChar", "End", "ENDE");
    row("EndingChar", "EndWithBrackets", "[ENDE]");
    row("ColorRole", "MajorColorRole", "Füllen");
    row("ColorRole", "MinorColorRole", "Rahmen");
    row("ErrorCheckLevel", "ErrorCheckLevel0", "Stufe 0");
    row("ErrorCheckLevel", "ErrorCheckLevel3", "Stufe 3");
    row("TransformOrigin", "BottomRight", "Unten rechts");
}

void TestEnumHelper::germanTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, key);
    QFETCH(QString, text);
    QCOMPARE(EnumHelper::getEnumNames(name).value(key), text);
}

void TestEnumHelper::translatedTexts()
{
    const QMap<QString, QString> table = EnumHelper::getInputOutputTypeNames();
    QCOMPARE(table.size(), 4);
    QCOMPARE(table.value(QStringLiteral("UnavailableType")), QString::fromUtf8("Nicht verf\xc3\xbcgbar"));
    QCOMPARE(table.value(QStringLiteral("InputType")), QStringLiteral("Eingang"));
    QCOMPARE(table.value(QStringLiteral("OutputType")), QStringLiteral("Ausgang"));
    QVERIFY(!table.contains(QStringLiteral("ComType")));
}

void TestEnumHelper::configurationKeyTable()
{
    const QMap<QString, QString> table = EnumHelper::getConfigurationKeyNames();
    QCOMPARE(table.keys(),
             (QStringList { QStringLiteral("BitRateKey"), QStringLiteral("CanFdKey"), QStringLiteral("ErrorFilterKey"),
                            QStringLiteral("LoopBackKey"), QStringLiteral("RawFilterKey"), QStringLiteral("ReceiveOwnKey") }));
}

void TestEnumHelper::dispatchByName()
{
    QCOMPARE(EnumHelper::getEnumNames(QStringLiteral("ParityCheck")), EnumHelper::getParityCheckNames());
    QCOMPARE(EnumHelper::getEnumNames(QStringLiteral("SerialComType")), EnumHelper::getSerialComNames());
    QCOMPARE(EnumHelper::getEnumNames(QStringLiteral("SerialCommunicationError")), EnumHelper::getSerialComErrorNames());
    QCOMPARE(EnumHelper::getEnumNames(QStringLiteral("BaudRate")), EnumHelper::getBaudeRateNames());
    QCOMPARE(EnumHelper::getEnumNames(QStringLiteral("TransformOrigin")).size(), 9);
    QVERIFY(EnumHelper::getEnumNames(QStringLiteral("NoSuchEnum")).isEmpty());
    QVERIFY(EnumHelper::getEnumNames(QStringLiteral("parityCheck")).isEmpty());
    QVERIFY(EnumHelper::getEnumNames(QString()).isEmpty());
}

void TestEnumHelper::modbusReadWriteCommands()
{
    const QMap<QString, QList<int>> commands = EnumHelper::getModbusReadWriteCommands();
    QCOMPARE(commands.keys(), (QStringList { QStringLiteral("Read"), QStringLiteral("Write") }));
    QCOMPARE(commands.value(QStringLiteral("Read")), (QList<int> { 1, 2, 9, 4, 10, 11, 3 }));
    QCOMPARE(commands.value(QStringLiteral("Write")), (QList<int> { 7, 5, 6, 8, 12, 13 }));
}

QTEST_GUILESS_MAIN(TestEnumHelper)
#include "tst_enumhelper.moc"
