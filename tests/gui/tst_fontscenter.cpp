// The application font centre: built-in fonts, the user font folder and adding fonts.
#include "englishtexts.h"
#include "fontscenter.h"
#include "tst_fontsupport.h"

#include <QApplication>
#include <QFont>
#include <QGlyphRun>
#include <QProcess>
#include <QTextStream>
#include <QRawFont>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextLayout>

using Orvane::Tavrix::Designer::FontsCenter;

namespace {

const QStringList BuiltInFamilies = {
    QStringLiteral("Droid Sans"),         QStringLiteral("NanumGothic"),        QStringLiteral("Noto Sans Thai"),
    QStringLiteral("Droid Sans Fallback"), QStringLiteral("Noto Naskh Arabic"), QStringLiteral("Noto Sans Armenian"),
    QStringLiteral("Noto Sans Ethiopic"), QStringLiteral("Noto Sans Georgian"), QStringLiteral("Noto Sans Hebrew"),
};

struct ShapedText {
    int missingGlyphs = 0;
    QStringList families;
};

ShapedText shape(const QString& text, const QFont& font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    ShapedText result;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        for (quint32 glyph : run.glyphIndexes()) {
            if (glyph == 0)
                ++result.missingGlyphs;
        }
        const QString family = run.rawFont().familyName();
        if (!result.families.contains(family))
            result.families << family;
    }
    return result;
}

} // namespace

class TestFontsCenter : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void builtInFamiliesAndFiles();
    void substitutionsMakeEveryScriptRender_data();
    void substitutionsMakeEveryScriptRender();
    void languageNames();
    void userFolderScannedAtStart();
    void addFontFromPath();
    void addFontWhenTargetCannotBeWritten();
    void informationText();
    void applicationFolderBeforeUserFolder();
    void removeFontFilesBeforeRestart();

private:
    QTemporaryDir m_work;
};

void TestFontsCenter::initTestCase()
{
    useEnglishTexts();
    QVERIFY(m_work.isValid());
    const QString folder = userFontFolder();
    QDir(folder).removeRecursively();
    QVERIFY(QDir().mkpath(folder));

    // Present before the centre starts: a family of its own in two files, a file whose
    // family is built in already, a lookalike of a built-in file and a text file.
    QVERIFY(writeBytes(folder + "/TestHebrew-Regular.ttf",
                       renamedFont(":/fonts/DroidSansHebrew", "Noto Sans Hebrew", "Test Sans Hebrew")));
    QVERIFY(writeBytes(folder + "/TestHebrew-Bold.ttf",
                       renamedFont(":/fonts/DroidSansHebrewBold", "Noto Sans Hebrew", "Test Sans Hebrew")));
    QVERIFY(writeBytes(folder + "/OtherDroid.ttf", resourceBytes(":/fonts/DroidSans") + QByteArray(16, '\0')));
    QVERIFY(writeBytes(folder + "/Georgian.ttf", resourceBytes(":/fonts/DroidSansGeorgian")));
    QVERIFY(writeBytes(folder + "/notes.ttf", "just some words\n"));

    FontsCenter::instance();
}

void TestFontsCenter::builtInFamiliesAndFiles()
{
    FontsCenter* center = FontsCenter::instance();
    QCOMPARE(center->applicationFonts().mid(0, BuiltInFamilies.size()), BuiltInFamilies);
    QCOMPARE(FontsCenter::defaultFamily(), QStringLiteral("Droid Sans"));
    QVERIFY(center->isBuiltInFont("Droid Sans Fallback"));

    QCOMPARE(center->fontPath("Droid Sans"), QStringList{":/fonts/DroidSans"});
    QCOMPARE(center->fontPath("NanumGothic"), (QStringList{":/fonts/NanumGothic", ":/fonts/NanumGothicBold"}));
    QCOMPARE(center->fontPath("Noto Sans Hebrew"), (QStringList{":/fonts/DroidSansHebrew", ":/fonts/DroidSansHebrewBold"}));
    QCOMPARE(center->fontPath("Noto Naskh Arabic"), (QStringList{":/fonts/DroidNaskh", ":/fonts/DroidNaskhBold"}));
    QCOMPARE(center->familyOfFile(":/fonts/DroidSansThai"), QStringLiteral("Noto Sans Thai"));
    QVERIFY(center->fontPath("No Such Family").isEmpty());

    for (const QString& family : BuiltInFamilies) {
        QStringList others = BuiltInFamilies;
        others.removeAll(family);
        // The font database keeps substitutions in lower case.
        QStringList lowered;
        for (const QString& other : others)
            lowered << other.toLower();
        QCOMPARE(QFont::substitutes(family), lowered);
    }
}

void TestFontsCenter::substitutionsMakeEveryScriptRender_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("renderedBy");
    QTest::newRow("Thai") << QStringLiteral("ภาษาไทยสวัสดี") << QStringLiteral("Noto Sans Thai");
    QTest::newRow("Hebrew") << QStringLiteral("שלום עולם") << QStringLiteral("Noto Sans Hebrew");
    QTest::newRow("Korean") << QStringLiteral("안녕하세요 한국어") << QStringLiteral("NanumGothic");
    QTest::newRow("Chinese") << QStringLiteral("你好，世界。中文字体") << QStringLiteral("Droid Sans Fallback");
    QTest::newRow("Armenian") << QStringLiteral("Բարեւ աշխարհ") << QStringLiteral("Noto Sans Armenian");
    QTest::newRow("Arabic") << QStringLiteral("مرحبا بالعالم") << QStringLiteral("Noto Naskh Arabic");
    QTest::newRow("Georgian") << QStringLiteral("გამარჯობა") << QStringLiteral("Noto Sans Georgian");
    QTest::newRow("Ethiopic") << QStringLiteral("ሰላም ለዓለም") << QStringLiteral("Noto Sans Ethiopic");
}

void TestFontsCenter::substitutionsMakeEveryScriptRender()
{
    QFETCH(QString, text);
    QFETCH(QString, renderedBy);
    FontsCenter::instance();
    QFont font(FontsCenter::defaultFamily());
    font.setPixelSize(16);
    const ShapedText shaped = shape(text, font);
    QCOMPARE(shaped.missingGlyphs, 0);
    // The built-in fonts draw it, not whatever this machine has installed.
    QVERIFY2(shaped.families.contains(renderedBy), qPrintable(shaped.families.join(", ")));
    for (const QString& family : shaped.families)
        QVERIFY2(BuiltInFamilies.contains(family), qPrintable(family));

    // The same with a bold default font, which Qt emboldens from the regular face.
    font.setBold(true);
    QCOMPARE(shape(text, font).missingGlyphs, 0);
}

void TestFontsCenter::languageNames()
{
    FontsCenter::instance();
    QVERIFY(FontsCenter::getLanguagesForFont(QFont("Noto Sans Hebrew")).contains("Hebrew"));
    QVERIFY(FontsCenter::getLanguagesForFont(QFont("Noto Sans Thai")).contains("Thai"));
    QVERIFY(FontsCenter::getLanguagesForFont(QFont("NanumGothic")).contains("Korean"));
    QVERIFY(FontsCenter::getLanguagesForFont(QFont("Droid Sans Fallback")).contains("Simplified Chinese"));
    QVERIFY(FontsCenter::getLanguagesForFont(QFont("Droid Sans")).contains("Latin"));
    QVERIFY(!FontsCenter::getLanguagesForFont(QFont("Droid Sans")).contains("Hebrew"));

    QCOMPARE(FontsCenter::writingSystemName(QFontDatabase::Nko), QStringLiteral("N'Ko"));
    QCOMPARE(FontsCenter::writingSystemName(QFontDatabase::TraditionalChinese), QStringLiteral("Traditional Chinese"));
    QCOMPARE(FontsCenter::writingSystemName(QFontDatabase::Symbol), QStringLiteral("Symbol"));
    QCOMPARE(FontsCenter::writingSystemName(QFontDatabase::WritingSystem(999)), QStringLiteral("Undefined"));
}

void TestFontsCenter::userFolderScannedAtStart()
{
    FontsCenter* center = FontsCenter::instance();
    const QString folder = userFontFolder();
    QCOMPARE(center->userFonts(), QStringList{"Test Sans Hebrew"});
    QCOMPARE(center->fontPath("Test Sans Hebrew"),
             (QStringList{folder + "/TestHebrew-Bold.ttf", folder + "/TestHebrew-Regular.ttf"}));
    // Families already known are recorded once, with the files they came from first.
    QCOMPARE(center->fonts().count("Droid Sans"), 1);
    QCOMPARE(center->fonts().count("Noto Sans Georgian"), 1);
    QCOMPARE(center->fontPath("Droid Sans"), QStringList{":/fonts/DroidSans"});
    QCOMPARE(center->fontPath("Noto Sans Georgian"), QStringList{":/fonts/DroidSansGeorgian"});
    QVERIFY(center->familyOfFile(folder + "/notes.ttf").isEmpty());
    QCOMPARE(center->fonts(), center->applicationFonts() + center->userFonts());
}

void TestFontsCenter::addFontFromPath()
{
    FontsCenter* center = FontsCenter::instance();
    const QString folder = userFontFolder();
    const QStringList before = filesIn(folder);
    QSignalSpy added(center, &FontsCenter::fontAdded);

    QCOMPARE(center->addFontFromPath(m_work.filePath("missing.ttf")), int(FontsCenter::FontDoesNotExist));
    QCOMPARE(center->addFontFromPath(m_work.path()), int(FontsCenter::FontDoesNotExist));
    QCOMPARE(center->addFontFromPath(QString()), int(FontsCenter::FontDoesNotExist));

    // A copy of a built-in file, under any name.
    QVERIFY(writeBytes(m_work.filePath("MyCopy.ttf"), resourceBytes(":/fonts/NanumGothicBold")));
    QCOMPARE(center->addFontFromPath(m_work.filePath("MyCopy.ttf")), int(FontsCenter::FontBuiltIn));

    // A text file with a font's name leaves nothing behind.
    QVERIFY(writeBytes(m_work.filePath("x.ttf"), "This is not a font.\n"));
    QCOMPARE(center->addFontFromPath(m_work.filePath("x.ttf")), int(FontsCenter::FontNotValid));
    QCOMPARE(filesIn(folder), before);
    QCOMPARE(added.count(), 0);

    // A new family is copied, registered and announced.
    const QByteArray armenian = renamedFont(":/fonts/DroidSansArmenian", "Noto Sans Armenian", "Test Sans Armenian");
    QVERIFY(writeBytes(m_work.filePath("Armenian Test.ttf"), armenian));
    QCOMPARE(center->addFontFromPath(m_work.filePath("Armenian Test.ttf") + "/"), int(FontsCenter::FontAdded));
    QCOMPARE(added.count(), 1);
    QCOMPARE(added.first().first().toStringList(), QStringList{"Test Sans Armenian"});
    QCOMPARE(center->userFonts(), (QStringList{"Test Sans Hebrew", "Test Sans Armenian"}));
    QCOMPARE(center->fontPath("Test Sans Armenian"), QStringList{folder + "/Armenian Test.ttf"});
    QCOMPARE(resourceBytes(folder + "/Armenian Test.ttf"), armenian);
    QVERIFY(QFontDatabase::families().contains("Test Sans Armenian"));
    QCOMPARE(shape(QStringLiteral("Բարեւ"), QFont("Test Sans Armenian")).families, QStringList{"Test Sans Armenian"});
    // What it lacks comes from the built-in fonts, not from this machine's.
    const ShapedText mixed = shape(QStringLiteral("Բարեւ Hello 你好 שלום"), QFont("Test Sans Armenian"));
    QCOMPARE(mixed.missingGlyphs, 0);
    for (const QString& family : mixed.families)
        QVERIFY2(family == "Test Sans Armenian" || BuiltInFamilies.contains(family), qPrintable(family));

    // The same file again, from anywhere.
    QVERIFY(writeBytes(m_work.filePath("again/Renamed.ttf"), armenian));
    QCOMPARE(center->addFontFromPath(m_work.filePath("Armenian Test.ttf")), int(FontsCenter::FontAlreadyAdded));
    QCOMPARE(center->addFontFromPath(m_work.filePath("again/Renamed.ttf")), int(FontsCenter::FontAlreadyAdded));

    // A different file of a family that is known: the copy is removed again.
    QVERIFY(writeBytes(m_work.filePath("Other.ttf"), armenian + QByteArray(8, '\0')));
    QCOMPARE(center->addFontFromPath(m_work.filePath("Other.ttf")), int(FontsCenter::FontAlreadyAddedRename));
    QVERIFY(writeBytes(m_work.filePath("Hebrew2.otf"),
                       renamedFont(":/fonts/DroidSansHebrewBold", "Noto Sans Hebrew", "Test Sans Hebrew") + "x"));
    QCOMPARE(center->addFontFromPath(m_work.filePath("Hebrew2.otf")), int(FontsCenter::FontAlreadyAddedRename));
    // A new family whose file name is taken in the user folder keeps the file there.
    QVERIFY(writeBytes(m_work.filePath("more/TestHebrew-Regular.ttf"),
                       renamedFont(":/fonts/DroidSansThai", "Noto Sans Thai", "Test Sans Thai")));
    QCOMPARE(center->addFontFromPath(m_work.filePath("more/TestHebrew-Regular.ttf")),
             int(FontsCenter::FontAlreadyAddedRename));
    QCOMPARE(resourceBytes(folder + "/TestHebrew-Regular.ttf"),
             renamedFont(":/fonts/DroidSansHebrew", "Noto Sans Hebrew", "Test Sans Hebrew"));

    QStringList expected = before + QStringList{"Armenian Test.ttf"};
    expected.sort();
    QCOMPARE(filesIn(folder), expected);
    QCOMPARE(added.count(), 1);
    QCOMPARE(center->userFonts(), (QStringList{"Test Sans Hebrew", "Test Sans Armenian"}));
}

void TestFontsCenter::addFontWhenTargetCannotBeWritten()
{
    FontsCenter* center = FontsCenter::instance();
    const QString folder = userFontFolder();
    // Something that is not a file holds the name the copy would get.
    QVERIFY(QDir().mkpath(folder + "/Blocked.ttf"));
    const QStringList before = filesIn(folder);
    QVERIFY(writeBytes(m_work.filePath("Blocked.ttf"),
                       renamedFont(":/fonts/DroidSansGeorgian", "Noto Sans Georgian", "Test Sans Georgian")));
    QSignalSpy added(center, &FontsCenter::fontAdded);
    QCOMPARE(center->addFontFromPath(m_work.filePath("Blocked.ttf")), int(FontsCenter::FontCannotBeCopied));
    QCOMPARE(filesIn(folder), before);
    QCOMPARE(added.count(), 0);
    QVERIFY(!center->fonts().contains("Test Sans Georgian"));
    QVERIFY(QDir(folder + "/Blocked.ttf").removeRecursively());

    // Once the way is free the same file is added.
    QCOMPARE(center->addFontFromPath(m_work.filePath("Blocked.ttf")), int(FontsCenter::FontAdded));
    QVERIFY(center->userFonts().contains("Test Sans Georgian"));
}

void TestFontsCenter::informationText()
{
    FontsCenter* center = FontsCenter::instance();
    const QString html = center->fontInformationHtml("Noto Sans Hebrew");
    QVERIFY2(html.startsWith("<html>Font \"Noto Sans Hebrew\" supports the following language: <ul><li>Hebrew</li></ul>"), qPrintable(html));
    QVERIFY(center->fontInformationHtml("Droid Sans Fallback").contains("supports the following languages: <ul><li>"));
    QVERIFY(html.contains("<br/>The font is using the following files: <ul><li>:/fonts/DroidSansHebrew</li>"));
    QVERIFY(html.endsWith("</ul></html>"));

    const QString user = center->fontInformationHtml("Test Sans Armenian");
    const QString file = userFontFolder() + "/Armenian Test.ttf";
    QVERIFY2(user.contains("The font is using the following file: <ul><li><a href=\"" + QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)
                           + "\">Armenian Test.ttf</a></li></ul>"),
             qPrintable(user));

    QCoreApplication::setApplicationName("Veltane");
    QCOMPARE(center->fontInformationHtml("No Such Family"),
             QStringLiteral("<html>Veltane was unable to obtain the supported languages for font \"No Such Family\".<br/>"
                            "The font is using the following files: <ul></ul></html>"));
}

// The program's own "Fonts" folder beside the executable: this test program is copied to a
// folder of its own and run there with a documents folder of its own.
void TestFontsCenter::applicationFolderBeforeUserFolder()
{
    QTemporaryDir place;
    QVERIFY(place.isValid());
    const QString program = place.filePath("bin/" + QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    QVERIFY(QDir().mkpath(place.filePath("bin/Fonts")));
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
    QVERIFY(QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeUser));

    const QByteArray shared = renamedFont(":/fonts/DroidSansThai", "Noto Sans Thai", "Test Sans Thai");
    QVERIFY(writeBytes(place.filePath("bin/Fonts/SharedThai.ttf"), shared));
    QVERIFY(writeBytes(place.filePath("bin/Fonts/Ethiopic.otf"),
                       renamedFont(":/fonts/DroidSansEthiopic", "Noto Sans Ethiopic", "Test Sans Ethiopic")));
    const QString userFolder = place.filePath("test-home/Documents/Lumatra/Fonts");
    QVERIFY(writeBytes(userFolder + "/MyThai.ttf", shared + QByteArray(4, '\0')));
    QVERIFY(writeBytes(userFolder + "/Georgian.ttf",
                       renamedFont(":/fonts/DroidSansGeorgian", "Noto Sans Georgian", "Test Sans Georgian")));

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", place.filePath("test-home"));
    env.insert("XDG_CONFIG_HOME", place.filePath("test-home/.config"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    process.start(program, {"--list-fonts"});
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), QStringList(BuiltInFamilies + QStringList{"Test Sans Ethiopic", "Test Sans Thai"}).join('|'));
    QCOMPARE(lines.at(1), QStringLiteral("Test Sans Georgian"));
    QCOMPARE(lines.at(2), QFileInfo(place.filePath("bin/Fonts/SharedThai.ttf")).absoluteFilePath());
}

// Last: it unloads every application font, as the program does just before it restarts.
void TestFontsCenter::removeFontFilesBeforeRestart()
{
    FontsCenter* center = FontsCenter::instance();
    const QString folder = userFontFolder();
    const QString outside = m_work.filePath("Armenian Test.ttf");
    QVERIFY(QFile::exists(outside));
    const QStringList marked = center->fontPath("Test Sans Hebrew") + center->fontPath("Test Sans Armenian");
    QCOMPARE(marked.size(), 3);

    const QStringList kept = FontsCenter::removeFontFiles(marked + QStringList{":/fonts/DroidSans", outside, folder + "/gone.ttf"});
    QCOMPARE(kept, (QStringList{":/fonts/DroidSans", outside, folder + "/gone.ttf"}));
    for (const QString& file : marked)
        QVERIFY2(!QFile::exists(file), qPrintable(file));
    QVERIFY(QFile::exists(outside));
    QVERIFY(QFile::exists(folder + "/Georgian.ttf"));
    QVERIFY(!QFontDatabase::families().contains("Test Sans Armenian"));
}

int main(int argc, char** argv)
{
    // Never the real documents folder when run by hand.
    QTemporaryDir home;
    if (!qEnvironmentVariable("HOME").contains("test-home")) {
        qputenv("HOME", home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit());
    }
    QApplication app(argc, argv);
    if (app.arguments().contains("--list-fonts")) {
        // Run by applicationFolderBeforeUserFolder() from a copy of this program.
        FontsCenter* center = FontsCenter::instance();
        QTextStream out(stdout);
        out << center->applicationFonts().join('|') << '\n'
            << center->userFonts().join('|') << '\n'
            << center->fontPath("Test Sans Thai").join('|') << '\n';
        return 0;
    }
    TestFontsCenter test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fontscenter.moc"
