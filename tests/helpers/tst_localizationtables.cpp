// The per-table lookup helpers: each one reads its own table of the process-wide
// translator. A program of its own, since the translator is made once per process.
#include "localizationhelper.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

using namespace Orvane::Tavrix::Common;

class TestLocalizationTables : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void eachHelperReadsItsTable();
    void placeholdersAreFilledAfterTheLookup();
};

void TestLocalizationTables::initTestCase()
{
    // The German tables are installed beside the program like the English ones.
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"), QStringLiteral("Lumatra"));
    settings.setValue(QStringLiteral("language"), QStringLiteral("de"));
    settings.sync();
    LocalizationHelper* translator = LocalizationHelper::appTranslator();
    QVERIFY(translator);
    QCOMPARE(translator->currentLocale(), QStringLiteral("de"));
    settings.remove(QStringLiteral("language"));
}

void TestLocalizationTables::eachHelperReadsItsTable()
{
    QCOMPARE(guiText("Cancel"), QStringLiteral("Abbrechen"));
    QCOMPARE(runtimeText("The connection to the device was lost."), QStringLiteral("Die Verbindung zum Gerät wurde unterbrochen."));
    QCOMPARE(deviceText("An exception occurred."), QStringLiteral("Eine Ausnahme ist aufgetreten."));
    QCOMPARE(localizableText("Kavendi"), QStringLiteral("Kavendi"));
    // A key of another table is not found: the English key comes back.
    QCOMPARE(deviceText("Cancel"), QStringLiteral("Cancel"));
    QCOMPARE(guiText("The connection to the device was lost."), QStringLiteral("The connection to the device was lost."));
    // Non-ASCII keys are UTF-8 literals.
    QCOMPARE(guiText("Grüße"), QStringLiteral("Grüße"));
}

void TestLocalizationTables::placeholdersAreFilledAfterTheLookup()
{
    // A "%" in a filled-in name must not be taken for a placeholder.
    QCOMPARE(guiText("Close (%1)").arg(QStringLiteral("%2")), QStringLiteral("Schließen (%2)"));
    QCOMPARE(guiText("\"%1\" already exists and was kept; add --force to replace it.").arg(QStringLiteral("a%1.txt")),
             QStringLiteral("\"a%1.txt\" existiert bereits und wurde behalten; mit --force wird sie ersetzt."));
}

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    TestLocalizationTables test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_localizationtables.moc"
