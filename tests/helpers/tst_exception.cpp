#include "helpers/argumentexception.h"
#include "helpers/argumentnulloremptyexception.h"
#include "helpers/directoryexception.h"
#include "helpers/directorynotexistexception.h"
#include "helpers/exception.h"
#include "helpers/existsexception.h"
#include "helpers/fileexception.h"
#include "helpers/filenotexistexception.h"
#include "helpers/localizationhelper.h"
#include "helpers/notexistsexception.h"
#include "helpers/nullexception.h"
#include "helpers/typemismatchexception.h"
#include "helpers/xmlexception.h"

#include <QtTest>

#include <QSettings>
#include <QStandardPaths>

#include <exception>
#include <memory>
#include <type_traits>

using namespace Orvane::Tavrix::Common;

static_assert(!std::is_base_of<std::exception, Exception>::value, "the tree is its own root");
static_assert(!std::is_base_of<FileException, DirectoryException>::value, "separate branches");

namespace {
// Messages of exceptions built before any application object exists.
QString g_messageWithoutApplication;
QString g_fileMessageWithoutApplication;
} // namespace

class TestException : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void englishWithoutApplication();
    void defaultMessages_data();
    void defaultMessages();
    void givenMessageIsKept();
    void fieldsAndSetters();
    void copiesAreIndependent();
    void fileEquality();
    void branchesNeverEqual();
    void ownFieldEquality();
    void assignFromBase();
    void assignThroughBaseReference();
    void fileNotExistFromFileException();
    void catchByBase();
};

void TestException::initTestCase()
{
    LocalizationHelper* translator = LocalizationHelper::appTranslator();
    QVERIFY(translator);
    QCOMPARE(translator->currentLocale(), QStringLiteral("de"));
}

void TestException::englishWithoutApplication()
{
    QCOMPARE(g_messageWithoutApplication, QStringLiteral("The directory does not exist."));
    QCOMPARE(g_fileMessageWithoutApplication, QStringLiteral("An exception occurred."));
}

void TestException::defaultMessages_data()
{
    QTest::addColumn<QSharedPointer<Exception>>("exception");
    QTest::addColumn<QString>("message");
    auto row = [](const char* name, Exception* e, const QString& message) {
        QTest::newRow(name) << QSharedPointer<Exception>(e) << message;
    };
    // Each exception has its own text, in German here.
    row("Exception", new Exception, QStringLiteral("Eine Ausnahme ist aufgetreten."));
    row("FileNotExist", new FileNotExistException, QStringLiteral("Die Datei existiert nicht."));
    row("DirectoryNotExist", new DirectoryNotExistException(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("d"), QStringLiteral("/d")),
        QStringLiteral("Das Verzeichnis existiert nicht."));
    row("Xml", new XmlException, QStringLiteral("Eine XML-Ausnahme ist aufgetreten."));
    row("Null", new NullException, QStringLiteral("Eine Null-Ausnahme ist aufgetreten."));
    row("File", new FileException, QStringLiteral("Eine Datei-Ausnahme ist aufgetreten."));
    row("Directory", new DirectoryException, QStringLiteral("Eine Verzeichnis-Ausnahme ist aufgetreten."));
    row("Argument", new ArgumentException, QStringLiteral("Ein Argument ist ungültig."));
    row("ArgumentNullorEmpty", new ArgumentNullorEmptyException, QStringLiteral("Ein Argument ist null oder leer."));
    row("Exists", new ExistsException, QStringLiteral("Das Objekt existiert bereits."));
    row("NotExists", new NotExistsException, QStringLiteral("Das Objekt existiert nicht."));
    row("TypeMismatch", new TypeMismatchException, QStringLiteral("Eine Typfehler-Ausnahme ist aufgetreten."));
}

void TestException::defaultMessages()
{
    QFETCH(QSharedPointer<Exception>, exception);
    QFETCH(QString, message);
    QCOMPARE(exception->message(), message);
}

void TestException::givenMessageIsKept()
{
    // A translation exists for this text, but a given message is stored as it is.
    const FileNotExistException e(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("n"), QStringLiteral("p"),
                                  QStringLiteral("The file does not exist."));
    QCOMPARE(e.message(), QStringLiteral("The file does not exist."));
    const Exception plain(QString(), QString(), QStringLiteral("An exception occurred."));
    QCOMPARE(plain.message(), QStringLiteral("An exception occurred."));
}

void TestException::fieldsAndSetters()
{
    FileException e(QStringLiteral("Loader"), QStringLiteral("load"), QStringLiteral("a.txt"), QStringLiteral("/x/a.txt"),
                    QStringLiteral("bad"));
    QCOMPARE(e.className(), QStringLiteral("Loader"));
    QCOMPARE(e.functionName(), QStringLiteral("load"));
    QCOMPARE(e.name(), QStringLiteral("a.txt"));
    QCOMPARE(e.path(), QStringLiteral("/x/a.txt"));
    QCOMPARE(e.message(), QStringLiteral("bad"));
    e.setPath(QStringLiteral("/y/a.txt"));
    e.setMessage(QStringLiteral("worse"));
    QCOMPARE(e.path(), QStringLiteral("/y/a.txt"));
    QCOMPARE(e.message(), QStringLiteral("worse"));

    NullException n(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("ptr"));
    QCOMPARE(n.variableName(), QStringLiteral("ptr"));
    ArgumentNullorEmptyException a(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("path"));
    QCOMPARE(a.parameterName(), QStringLiteral("path"));
    NotExistsException x(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("device"));
    QCOMPARE(x.entityName(), QStringLiteral("device"));
}

void TestException::copiesAreIndependent()
{
    FileException original(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("n"), QStringLiteral("p"), QStringLiteral("m"));
    FileException copy(original);
    QVERIFY(copy == original);
    copy.setName(QStringLiteral("other"));
    copy.setClassName(QStringLiteral("D"));
    QCOMPARE(original.name(), QStringLiteral("n"));
    QCOMPARE(original.className(), QStringLiteral("C"));
    QVERIFY(copy != original);

    FileException assigned;
    assigned = original;
    QVERIFY(assigned == original);
    assigned.setPath(QStringLiteral("q"));
    QCOMPARE(original.path(), QStringLiteral("p"));
}

void TestException::fileEquality()
{
    const FileException a(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("n"), QStringLiteral("/a/n"), QStringLiteral("m"));
    const FileException b(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("n"), QStringLiteral("/b/n"), QStringLiteral("m"));
    const FileException c(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("n"), QStringLiteral("/a/n"), QStringLiteral("m"));
    QVERIFY(a != b);
    QVERIFY(!(a == b));
    QVERIFY(a == c);
    // Case matters.
    const FileException d(QStringLiteral("c"), QStringLiteral("f"), QStringLiteral("n"), QStringLiteral("/a/n"), QStringLiteral("m"));
    QVERIFY(a != d);
    // A file-not-exist exception with the same texts is still a file exception.
    const FileNotExistException e(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("n"), QStringLiteral("/a/n"), QStringLiteral("m"));
    QVERIFY(a == e);
}

void TestException::branchesNeverEqual()
{
    const FileException file(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("n"), QStringLiteral("p"), QStringLiteral("m"));
    const DirectoryException dir(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("n"), QStringLiteral("p"), QStringLiteral("m"));
    QVERIFY(file != dir);
    QVERIFY(dir != file);
    const ExistsException exists(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("e"), QStringLiteral("m"));
    const NotExistsException notExists(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("e"), QStringLiteral("m"));
    QVERIFY(exists != notExists);
    QVERIFY(notExists != exists);
}

void TestException::ownFieldEquality()
{
    const NullException n1(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("a"), QStringLiteral("m"));
    const NullException n2(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("b"), QStringLiteral("m"));
    QVERIFY(n1 != n2);
    const ArgumentException a1(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("a"), QStringLiteral("m"));
    const ArgumentNullorEmptyException a2(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("a"), QStringLiteral("m"));
    const ArgumentNullorEmptyException a3(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("b"), QStringLiteral("m"));
    QVERIFY(a1 == a2);
    QVERIFY(a2 != a3);
    // Plain exceptions with the same common texts, and the base comparing only those.
    const Exception e1(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("m"));
    QVERIFY(e1 == Exception(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("m")));
    QVERIFY(e1 != Exception(QStringLiteral("C"), QStringLiteral("g"), QStringLiteral("m")));
    QVERIFY(TypeMismatchException(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("m")) == e1);
}

void TestException::assignFromBase()
{
    FileException file(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("n"), QStringLiteral("p"), QStringLiteral("m"));
    const Exception plain(QStringLiteral("K"), QStringLiteral("g"), QStringLiteral("other"));
    file = plain;
    QCOMPARE(file.className(), QStringLiteral("K"));
    QCOMPARE(file.functionName(), QStringLiteral("g"));
    QCOMPARE(file.message(), QStringLiteral("other"));
    QCOMPARE(file.name(), QStringLiteral("n"));
    QCOMPARE(file.path(), QStringLiteral("p"));

    // A directory exception is not a file exception: its name and path are not taken.
    const DirectoryException dir(QStringLiteral("D"), QStringLiteral("h"), QStringLiteral("dn"), QStringLiteral("dp"), QStringLiteral("dm"));
    file = dir;
    QCOMPARE(file.className(), QStringLiteral("D"));
    QCOMPARE(file.name(), QStringLiteral("n"));
    QCOMPARE(file.path(), QStringLiteral("p"));
}

void TestException::assignThroughBaseReference()
{
    FileNotExistException target(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("n"), QStringLiteral("p"), QStringLiteral("m"));
    const FileException source(QStringLiteral("S"), QStringLiteral("s"), QStringLiteral("sn"), QStringLiteral("sp"), QStringLiteral("sm"));
    Exception& base = target;
    base = source; // dispatches to the file exception's own assign
    QCOMPARE(target.name(), QStringLiteral("sn"));
    QCOMPARE(target.path(), QStringLiteral("sp"));
    QCOMPARE(target.message(), QStringLiteral("sm"));
    QVERIFY(base == source);

    // Self-assignment keeps everything.
    target = target;
    QCOMPARE(target.name(), QStringLiteral("sn"));
}

void TestException::fileNotExistFromFileException()
{
    const FileException general(QStringLiteral("C"), QStringLiteral("f"), QStringLiteral("n"), QStringLiteral("p"), QStringLiteral("m"));
    const FileNotExistException converted(general);
    QCOMPARE(converted.className(), QStringLiteral("C"));
    QCOMPARE(converted.functionName(), QStringLiteral("f"));
    QCOMPARE(converted.name(), QStringLiteral("n"));
    QCOMPARE(converted.path(), QStringLiteral("p"));
    QCOMPARE(converted.message(), QStringLiteral("m"));

    FileException emptied = general;
    emptied.setMessage(QString());
    QCOMPARE(FileNotExistException(emptied).message(), QStringLiteral("Eine Datei-Ausnahme ist aufgetreten."));
}

void TestException::catchByBase()
{
    bool caught = false;
    try {
        throw DirectoryNotExistException(QStringLiteral("App"), QStringLiteral("initialize"), QStringLiteral("Fonts"),
                                         QStringLiteral("/x/Fonts"));
    } catch (const FileException&) {
        QFAIL("a directory exception is not a file exception");
    } catch (const DirectoryException& e) {
        caught = true;
        QCOMPARE(e.path(), QStringLiteral("/x/Fonts"));
        QCOMPARE(e.message(), QStringLiteral("Das Verzeichnis existiert nicht."));
    }
    QVERIFY(caught);

    // Deleting through the base frees the derived record too (checked under sanitizers).
    std::unique_ptr<Exception> owned(new FileNotExistException);
    QCOMPARE(owned->message(), QStringLiteral("Die Datei existiert nicht."));
}

int main(int argc, char** argv)
{
    // Before the application object exists there is no translator.
    g_messageWithoutApplication = DirectoryNotExistException().message();
    g_fileMessageWithoutApplication = Exception().message();

    QStandardPaths::setTestModeEnabled(true); // keeps the settings away from a real profile
    QCoreApplication app(argc, argv);
    // The test has a HOME of its own; choose German before the translator is created.
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"), QStringLiteral("Lumatra"))
        .setValue(QStringLiteral("language"), QStringLiteral("de"));
    TestException test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_exception.moc"
