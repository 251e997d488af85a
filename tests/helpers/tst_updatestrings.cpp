// scripts/update-strings finds every key by the lookup helpers, so that its
// --check fails for a text without an English entry, wherever the text is.
// Runs a copy of the script over a small tree of its own.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestUpdateStrings : public QObject
{
    Q_OBJECT

private:
    QString m_python;

    static bool put(const QString& file, const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile f(file);
        return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
    }

    // A tree with the script and one source file; returns the script's exit code and output.
    int check(const QString& sourceName, const QByteArray& source, const QByteArray& guiTable, QString* output, bool write = false,
              const QByteArray* germanGuiTable = nullptr)
    {
        QTemporaryDir tree;
        if (!tree.isValid())
            return -1;
        QDir().mkpath(tree.filePath(QStringLiteral("scripts")));
        QFile::copy(QStringLiteral(DOVREL_SOURCE_DIR "/scripts/update-strings"), tree.filePath(QStringLiteral("scripts/update-strings")));
        put(tree.filePath(sourceName), source);
        for (const char* table : { "Device", "Runtime", "Localizable" })
            put(tree.filePath(QStringLiteral("resources/Localizations/en/%1.strings").arg(QLatin1String(table))), QByteArray());
        put(tree.filePath(QStringLiteral("resources/Localizations/en/Gui.strings")), guiTable);
        if (germanGuiTable)
            put(tree.filePath(QStringLiteral("resources/Localizations/de/Gui.strings")), *germanGuiTable);
        QProcess process;
        QStringList arguments { tree.filePath(QStringLiteral("scripts/update-strings")) };
        if (!write)
            arguments << QStringLiteral("--check");
        process.start(m_python, arguments);
        process.waitForFinished(60000);
        *output = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
        if (write) {
            QFile table(tree.filePath(QStringLiteral("resources/Localizations/en/Gui.strings")));
            table.open(QIODevice::ReadOnly);
            *output = QString::fromUtf8(table.readAll());
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

private slots:
    void initTestCase()
    {
        m_python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (m_python.isEmpty())
            QSKIP("python3 is not installed");
    }

    void keysFoundByHelpers_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("key");
        QTest::newRow("cli helper") << "cli/x.cpp" << QByteArray("return guiText(\"Usage: x\");") << "Usage: x";
        QTest::newRow("qualified") << "gui/widgets/w.cpp" << QByteArray("Common::guiText(\"Open\" \" file\")") << "Open file";
        QTest::newRow("kept in a table") << "cli/t.cpp"
                                         << QByteArray("{ \"a\", QT_TRANSLATE_NOOP(\"Gui\", \"Line one\\nline two\") },") << "Line one\nline two";
    }

    // A key without an entry fails the check; writing the tables adds it.
    void keysFoundByHelpers()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, source);
        QFETCH(QString, key);
        QString output;
        QCOMPARE(check(file, source, QByteArray(), &output), 1);
        QVERIFY2(output.contains(QStringLiteral("Gui.strings lacks: %1").arg(key)), qPrintable(output));
        QCOMPARE(check(file, source, QByteArray(), &output, true), 0);
        QString escaped = key;
        escaped.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        QVERIFY2(output.contains(QStringLiteral("\"%1\" = \"%1\";").arg(escaped)), qPrintable(output));
    }

    void presentKeyPasses()
    {
        QString output;
        QCOMPARE(check(QStringLiteral("cli/x.cpp"), "guiText(\"Done\")", "\"Done\" = \"Done\";\n", &output), 0);
    }

    // Every English key needs its German entry; a table without one fails the check.
    void translationsAreChecked_data()
    {
        QTest::addColumn<QByteArray>("german");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("translated") << QByteArray("// Deutsch\n\"Done\" = \"Fertig\";\n") << 0;
        QTest::newRow("missing") << QByteArray("\"Other\" = \"Anderes\";\n") << 1;
        QTest::newRow("no table") << QByteArray() << 1;
    }

    void translationsAreChecked()
    {
        QFETCH(QByteArray, german);
        QFETCH(int, exitCode);
        QString output;
        QCOMPARE(check(QStringLiteral("cli/x.cpp"), "guiText(\"Done\")", "\"Done\" = \"Done\";\n", &output, false, &german), exitCode);
        QCOMPARE(output.contains(QStringLiteral("de/Gui.strings lacks: Done")), exitCode != 0);
    }

    // The project's own tables: every text has its English entry and a German one.
    void projectTablesAreComplete()
    {
        QProcess process;
        process.start(m_python, { QStringLiteral(DOVREL_SOURCE_DIR "/scripts/update-strings"), QStringLiteral("--check") });
        QVERIFY(process.waitForFinished(60000));
        const QString output = QString::fromUtf8(process.readAllStandardOutput());
        QVERIFY2(process.exitCode() == 0, qPrintable(output.left(4000)));
    }

    // A literal handed to a static lookup never reaches a table: the check fails.
    void staticLookupWithLiteralFails()
    {
        QString output;
        QCOMPARE(check(QStringLiteral("cli/x.cpp"), "LocalizationHelper::guiString(QStringLiteral(\"Hidden\"))", QByteArray(), &output), 1);
        QVERIFY2(output.contains(QStringLiteral("cli/x.cpp:1")), qPrintable(output));
    }
};

QTEST_GUILESS_MAIN(TestUpdateStrings)
#include "tst_updatestrings.moc"
