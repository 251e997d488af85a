#include "helpers/localizationhelper.h"
#include "foldertree.h"

#include <QLoggingCategory>
#include <QtTest>

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

using Orvane::Tavrix::Common::LocalizationHelper;

namespace {

QStringList g_messages;
QtMessageHandler g_previousHandler = nullptr;

void captureMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    g_messages << message;
    if (type == QtFatalMsg && g_previousHandler)
        g_previousHandler(type, context, message);
}

// Collects the debug and warning lines written while it lives.
class MessageCapture
{
public:
    MessageCapture()
    {
        g_messages.clear();
        // The diagnostics are silent unless asked for, as QT_LOGGING_RULES does.
        QLoggingCategory::setFilterRules(QStringLiteral("dovrel.*.debug=true"));
        g_previousHandler = qInstallMessageHandler(captureMessages);
    }
    ~MessageCapture() { qInstallMessageHandler(g_previousHandler); }
    QStringList messages() const { return g_messages; }
};

} // namespace

class TestLocalizationHelper : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void grammar();
    void parseErrors_data();
    void parseErrors();
    void comments_data();
    void comments();
    void failedFileLeavesOtherTables();
    void aliases_data();
    void aliases();
    void folderFallback_data();
    void folderFallback();
    void noFolderAtAll();
    void lookups();
    void localesAndFiles();
    void localeFromSettings();

private:
    QString parseOne(const QByteArray& content, QMap<QString, QString>* table, bool* ok);
    QScopedPointer<QTemporaryDir> m_dir;
};

void TestLocalizationHelper::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

QString TestLocalizationHelper::parseOne(const QByteArray& content, QMap<QString, QString>* table, bool* ok)
{
    const QString path = m_dir->filePath(QStringLiteral("Test.strings"));
    FolderTree::writeFile(path, content);
    MessageCapture capture;
    *ok = LocalizationHelper::parseStringsFile(path, table);
    return capture.messages().join(QLatin1Char('\n'));
}

void TestLocalizationHelper::grammar()
{
    QMap<QString, QString> table;
    bool ok = false;
    const QString log = parseOne("\xef\xbb\xbf\"first\" = \"1\";\r\n"
                                 "\n"
                                 "  \"tight\"=\"x\" ;  \n"
                                 "\"spaced\" = \"x\";\n"
                                 "\"say \\\"hi\\\"\" = \"line one\\nline two\";\n"
                                 "\"back\\\\slash\" = \"\";\n"
                                 "\"dup\" = \"old\";\n"
                                 "\"dup\" = \"new\";\n"
                                 "\"Grüße\" = \"Schöne Grüße\";\n",
                                 &table, &ok);
    QVERIFY2(ok, qPrintable(log));
    QCOMPARE(table.value(QStringLiteral("first")), QStringLiteral("1")); // byte order mark ignored
    QCOMPARE(table.value(QStringLiteral("tight")), table.value(QStringLiteral("spaced")));
    QCOMPARE(table.value(QStringLiteral("say \"hi\"")), QStringLiteral("line one\nline two"));
    QVERIFY(table.contains(QStringLiteral("back\\slash")));
    QVERIFY(table.value(QStringLiteral("back\\slash")).isEmpty());
    QCOMPARE(table.value(QStringLiteral("dup")), QStringLiteral("new"));
    QCOMPARE(table.value(QStringLiteral("Grüße")), QStringLiteral("Schöne Grüße"));
    QCOMPARE(table.size(), 7);
}

void TestLocalizationHelper::parseErrors_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message"); // %F stands for the file's absolute path
    QTest::newRow("escaped t") << QByteArray("\"a\" = \"b\";\n\"k\\t\" = \"v\";\n")
                               << "Character 't' cannot be escaped at line 2 in file %F";
    QTest::newRow("backslash at end") << QByteArray("\n\n\"k\" = \"v\";\\\n") << "Error line ending at 3 in file %F";
    QTest::newRow("text before quote") << QByteArray("k\"a\" = \"b\";\n") << "Wrong format at line 1 in file %F";
    QTest::newRow("too many quotes") << QByteArray("\"a\" = \"b\" \"c\";\n") << "Wrong format at line 1 in file %F";
    QTest::newRow("unquoted") << QByteArray("key = value;\n") << "Wrong format at line 1 in file %F";
    QTest::newRow("no equals") << QByteArray("\"a\" : \"b\";\n")
                               << "Unexpected character between the key and the value at line 1 in file %F";
    QTest::newRow("missing semicolon") << QByteArray("\"a\" = \"b\";\n\r\n\"c\" = \"d\"\n")
                                       << "Unexpected line ending at 3 in file %F";
    QTest::newRow("empty key") << QByteArray("\"\" = \"b\";\n") << "Undefined key at line 1 in file %F";
}

void TestLocalizationHelper::parseErrors()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QMap<QString, QString> table;
    table.insert(QStringLiteral("untouched"), QStringLiteral("yes"));
    bool ok = true;
    const QString log = parseOne(content, &table, &ok);
    QVERIFY(!ok);
    QCOMPARE(log, QString(message).replace(QLatin1String("%F"), QFileInfo(m_dir->filePath(QStringLiteral("Test.strings"))).absoluteFilePath()));
    // Nothing read before the faulty line is handed out.
    QCOMPARE(table.size(), 1);
}

void TestLocalizationHelper::comments_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("line comment") << QByteArray("// about\n\"a\" = \"1\";\n  // indented\n") << true << ""
                                  << QStringList { "a" };
    QTest::newRow("block") << QByteArray("/* start\n\"hidden\" = \"x\";\nstill inside\nend */\n\"a\" = \"1\";\n") << true
                           << "" << QStringList { "a" };
    QTest::newRow("one-line block") << QByteArray("/* note */\n\"a\" = \"1\";\n") << true << "" << QStringList { "a" };
    QTest::newRow("nested") << QByteArray("/* outer\n/* inner */\n\"hidden\" = \"x\";\n*/\n\"a\" = \"1\";\n") << true << ""
                            << QStringList { "a" };
    QTest::newRow("comment marker inside value")
        << QByteArray("\"url\" = \"http://x/*\";\n") << true << "" << QStringList { "url" };
    QTest::newRow("close without open") << QByteArray("\"a\" = \"1\";\nstray */\n") << false
                                        << "Error reading at line 2 in file %F" << QStringList();
    QTest::newRow("unclosed") << QByteArray("\"a\" = \"1\";\n/* open\n\"b\" = \"2\";\n") << false
                              << "Error reading at line 3 in file %F" << QStringList();
}

void TestLocalizationHelper::comments()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    QFETCH(QStringList, keys);
    QMap<QString, QString> table;
    bool parsed = !ok;
    const QString log = parseOne(content, &table, &parsed);
    QCOMPARE(parsed, ok);
    QCOMPARE(log, message.replace(QLatin1String("%F"), QFileInfo(m_dir->filePath(QStringLiteral("Test.strings"))).absoluteFilePath()));
    if (ok)
        QCOMPARE(table.keys(), keys);
}

void TestLocalizationHelper::failedFileLeavesOtherTables()
{
    const QString base = m_dir->filePath(QStringLiteral("Localizations"));
    QVERIFY(FolderTree::writeFile(base + QStringLiteral("/de/Gui.strings"), "\"Open\" = \"Öffnen\";\n"));
    QVERIFY(FolderTree::writeFile(base + QStringLiteral("/de/Device.strings"), "\"a\" = \"1\";\n\"b\" = \"2\"\n"));
    QVERIFY(FolderTree::writeFile(base + QStringLiteral("/de/Empty.strings"), QByteArray()));
    MessageCapture capture;
    LocalizationHelper helper(base, QStringLiteral("de"));
    QCOMPARE(helper.tables(), QStringList { QStringLiteral("Gui") });
    QVERIFY(helper.localizedStringsFromTable(QStringLiteral("Device")).isEmpty());
    QCOMPARE(helper.localizedString(QStringLiteral("Gui"), QStringLiteral("Open"), QStringLiteral("Open")), QStringLiteral("Öffnen"));
    QVERIFY(capture.messages().contains(
        QStringLiteral("Unexpected line ending at 2 in file %1").arg(QFileInfo(base + QStringLiteral("/de/Device.strings")).absoluteFilePath())));
}

void TestLocalizationHelper::aliases_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("aliases");
    QTest::newRow("empty") << "  " << QStringList();
    QTest::newRow("language only") << "DE" << QStringList { "de" };
    QTest::newRow("empty country") << "en_" << QStringList { "en" };
    QTest::newRow("en_US") << "en_US" << QStringList { "en", "en_US" };
    QTest::newRow("en-au") << " en-au " << QStringList { "en", "en_GB", "en_AU" };
    QTest::newRow("en_GB") << "en_GB" << QStringList { "en", "en_GB", "en_AU" };
    QTest::newRow("en_HK") << "en_HK" << QStringList { "en", "en_GB", "en_HK" };
    QTest::newRow("en_SG") << "en_SG" << QStringList { "en", "en_GB", "en_SG" };
    QTest::newRow("en_IE") << "en_IE" << QStringList { "en", "en_GB", "en_IE" };
    QTest::newRow("en_NZ") << "en_nz" << QStringList { "en", "en_GB", "en_NZ" };
    QTest::newRow("en_PH") << "en_PH" << QStringList { "en", "en_PH" };
    QTest::newRow("en_CA") << "en_CA" << QStringList { "en", "en_CA" };
    QTest::newRow("en_IN") << "en_IN" << QStringList { "en", "en_IN" };
    QTest::newRow("pt_BR") << "pt_BR" << QStringList { "pt", "pt_BR" };
    QTest::newRow("de_AT") << "de-at" << QStringList { "de", "de_AT" };
    QTest::newRow("zh_CN") << "zh_CN" << QStringList { "zh", "zh_CN" };
    QTest::newRow("zh_Hans") << "zh-Hans" << QStringList { "zh", "zh_CN" };
    QTest::newRow("zh_CHS") << "zh_CHS" << QStringList { "zh", "zh_CN" };
    QTest::newRow("zh_Hant") << "zh_Hant" << QStringList { "zh", "zh_TW" };
    QTest::newRow("zh_CHT") << "zh_CHT" << QStringList { "zh", "zh_TW" };
    QTest::newRow("zh_Hant_HK") << "zh_Hant_HK" << QStringList { "zh", "zh_TW", "zh_HK" };
    QTest::newRow("zh_MO") << "zh_MO" << QStringList { "zh", "zh_TW", "zh_MO" };
    QTest::newRow("zh_SG") << "zh_SG" << QStringList { "zh", "zh_CN", "zh_SG" };
    QTest::newRow("zh_XX") << "zh_XX" << QStringList { "zh", "zh_XX" };
    QTest::newRow("ja_JP") << "JA_jp" << QStringList { "ja", "ja_JP" };
}

void TestLocalizationHelper::aliases()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, aliases);
    QCOMPARE(LocalizationHelper::getLocaleAlias(locale), aliases);
}

void TestLocalizationHelper::folderFallback_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("loaded");
    QTest::addColumn<QString>("log");
    QTest::newRow("exact") << QStringList { "en", "pt_BR", "pt" } << "pt_BR" << "pt_BR" << "";
    QTest::newRow("australian to british") << QStringList { "en", "en_GB" } << "en-au" << "en_GB"
                                           << "Reset locale from en-au to en_GB";
    QTest::newRow("normalized name") << QStringList { "en", "pt", "pt_BR" } << "pt-br" << "pt_BR"
                                     << "Reset locale from pt-br to pt_BR";
    QTest::newRow("language") << QStringList { "en", "pt" } << "pt_BR" << "pt" << "Reset locale from pt_BR to pt";
    QTest::newRow("english") << QStringList { "en", "de" } << "pt_BR" << "en" << "Reset locale from pt_BR to en";
}

void TestLocalizationHelper::folderFallback()
{
    QFETCH(QStringList, folders);
    QFETCH(QString, locale);
    QFETCH(QString, loaded);
    QFETCH(QString, log);
    const QString base = m_dir->filePath(QStringLiteral("Localizations"));
    for (const QString& folder : folders)
        QVERIFY(FolderTree::writeFile(QStringLiteral("%1/%2/Gui.strings").arg(base, folder), QStringLiteral("\"Name\" = \"%1\";\n").arg(folder).toUtf8()));
    MessageCapture capture;
    LocalizationHelper helper(base, locale);
    QCOMPARE(helper.currentLocale(), loaded);
    QCOMPARE(helper.localizationPath(), QDir(base + QLatin1Char('/') + loaded).absolutePath());
    QCOMPARE(helper.localizedString(QStringLiteral("Gui"), QStringLiteral("Name"), QString()), loaded);
    QCOMPARE(capture.messages().join(QLatin1Char('\n')), log);
}

void TestLocalizationHelper::noFolderAtAll()
{
    const QString base = m_dir->filePath(QStringLiteral("Localizations"));
    QVERIFY(QDir().mkpath(base + QStringLiteral("/fr")));
    MessageCapture capture;
    LocalizationHelper helper(base, QStringLiteral("ja_JP"));
    QVERIFY(helper.localizationPath().isEmpty());
    QVERIFY(helper.tables().isEmpty());
    QVERIFY(helper.locales().isEmpty());
    QCOMPARE(capture.messages(), QStringList { QStringLiteral("Cannot find default directory.") });
}

void TestLocalizationHelper::lookups()
{
    const QString base = m_dir->filePath(QStringLiteral("Localizations"));
    QVERIFY(FolderTree::writeFile(base + QStringLiteral("/de/Device.strings"), "\"Yes\" = \"Ja\";\n"));
    LocalizationHelper helper(base, QStringLiteral("de"));
    QCOMPARE(helper.localizedString(QStringLiteral("Device"), QStringLiteral("Yes"), QStringLiteral("Yes")), QStringLiteral("Ja"));

    MessageCapture capture;
    QCOMPARE(helper.localizedString(QStringLiteral("Device"), QStringLiteral("No"), QStringLiteral("Nope")), QStringLiteral("Nope"));
    QCOMPARE(helper.localizedString(QStringLiteral("Device"), QStringLiteral("No"), QString()), QStringLiteral("No"));
    QCOMPARE(helper.localizedString(QStringLiteral("Gui"), QStringLiteral("Open"), QStringLiteral("Open!")), QStringLiteral("Open!"));
    QCOMPARE(helper.localizedString(QStringLiteral("Gui"), QStringLiteral("Open"), QString()), QStringLiteral("Open"));
    QCOMPARE(helper.localizedString(QStringLiteral("Missing key")), QStringLiteral("Missing key"));
    QCOMPARE(capture.messages(),
             (QStringList { QStringLiteral("Cannot find \"No\" in table \"Device\", return default value \"Nope\"."),
                            QStringLiteral("Cannot find \"No\" in table \"Device\", no default value is given."),
                            QStringLiteral("Cannot find table \"Gui\", return default value \"Open!\" for key \"Open\"."),
                            QStringLiteral("Cannot find table \"Gui\", return key \"Open\"."),
                            QStringLiteral("Cannot find table \"Localizable\", return default value \"Missing key\" for key \"Missing key\".") }));
    // The shortcut returns the key for a missing translation.
    QCOMPARE(LocalizationHelper::deviceString(QStringLiteral("No such text %1")), QStringLiteral("No such text %1"));
}

void TestLocalizationHelper::localesAndFiles()
{
    const QString base = m_dir->filePath(QStringLiteral("Localizations"));
    QVERIFY(FolderTree::writeFile(base + QStringLiteral("/en/Gui.strings"), "\"a\" = \"b\";\n"));
    QVERIFY(FolderTree::writeFile(base + QStringLiteral("/en/readme.html"), "<p/>"));
    QVERIFY(FolderTree::writeFile(base + QStringLiteral("/zh_CN/Gui.strings"), "\"a\" = \"b\";\n"));
    QVERIFY(QDir().mkpath(base + QStringLiteral("/de")));
    LocalizationHelper helper(base, QStringLiteral("en"));
    QCOMPARE(helper.locales(), (QStringList { "de", "en", "zh_CN" }));
    QCOMPARE(helper.localizedFilePath(QStringLiteral("readme.html")), QFileInfo(base + QStringLiteral("/en/readme.html")).absoluteFilePath());
    QVERIFY(helper.localizedFilePath(QStringLiteral("missing.html")).isEmpty());
}

void TestLocalizationHelper::localeFromSettings()
{
    const QString base = m_dir->filePath(QStringLiteral("Localizations"));
    QVERIFY(FolderTree::writeFile(base + QStringLiteral("/en/Gui.strings"), "\"a\" = \"en\";\n"));
    QVERIFY(FolderTree::writeFile(base + QStringLiteral("/fr/Gui.strings"), "\"a\" = \"fr\";\n"));
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"), QStringLiteral("Lumatra"));
    settings.setValue(QStringLiteral("language"), QStringLiteral("fr"));
    settings.sync();
    {
        LocalizationHelper helper(base, QString());
        QCOMPARE(helper.currentLocale(), QStringLiteral("fr"));
    }
    settings.remove(QStringLiteral("language"));
    settings.sync();
    // Without the setting, the system locale decides.
    LocalizationHelper helper(base, QString());
    const QLocale system = QLocale::system();
    const QString systemName = QLocale::languageToCode(system.language()) + QLatin1Char('_') + QLocale::territoryToCode(system.territory());
    if (!systemName.startsWith(QLatin1String("fr")))
        QCOMPARE(helper.currentLocale(), QStringLiteral("en"));
}

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true); // keeps the settings away from a real profile
    QCoreApplication app(argc, argv);
    TestLocalizationHelper test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_localizationhelper.moc"
