// Interoperability of the archive helper with Info-ZIP zip/unzip and Python's zipfile.
#include "helpers/unzip.h"
#include "helpers/zip.h"
#include "helpers/ziphelper.h"

#include <QLoggingCategory>
#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace Orvane::Tavrix::Common;

namespace {

QStringList g_messages;

void captureMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_messages.append(message);
}

struct ProcessResult
{
    int code = -1;
    QByteArray out;
    QByteArray err;
};

ProcessResult run(const QString& program, const QStringList& args, const QString& workDir = QString(),
                  const QString& stdoutFile = QString())
{
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    if (!stdoutFile.isEmpty())
        p.setStandardOutputFile(stdoutFile);
    p.start(program, args);
    ProcessResult r;
    if (!p.waitForStarted(60000))
        return r;
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& data, const QDateTime& stamp)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size() && f.flush()
        && f.setFileTime(stamp, QFileDevice::FileModificationTime);
}

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray data(size, Qt::Uninitialized);
    for (char& c : data)
        c = char(rng.bounded(256));
    return data;
}

QByteArray text(int size)
{
    QByteArray t;
    for (int i = 0; t.size() < size; ++i)
        t += "line " + QByteArray::number(i) + " of the project configuration\n";
    t.truncate(size);
    return t;
}

// Relative path to content; folders end with "/" and map to an empty array.
QMap<QString, QByteArray> treeOf(const QString& root)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(root).relativeFilePath(path);
        if (QFileInfo(path).isDir())
            tree.insert(rel + QLatin1Char('/'), QByteArray());
        else
            tree.insert(rel, readAll(path));
    }
    return tree;
}

const char* const PythonExtract = R"(
import sys, zipfile
zf = zipfile.ZipFile(sys.argv[1])
if len(sys.argv) > 3:
    zf.setpassword(sys.argv[3].encode('latin-1'))
bad = zf.testzip()
if bad is not None:
    sys.exit('bad entry ' + bad)
zf.extractall(sys.argv[2])
sys.stdout.write(zf.comment.decode('utf-8'))
)";

const char* const PythonZip64 = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as zf:
    zf.writestr('plain.txt', 'plain text\n' * 20)
    with zf.open('big.bin', 'w', force_zip64=True) as f:
        f.write(b'x' * 1000)
    zf.writestr('after.txt', 'after\n' * 30)
# The version the archive states for the forced ZIP64 entry (older Pythons leave it at 20).
print(zipfile.ZipFile(sys.argv[1]).getinfo('big.bin').extract_version)
)";

} // namespace

class TestZipPeers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readsInfoZip_data();
    void readsInfoZip();
    void peersReadOurs_data();
    void peersReadOurs();
    void zip64EntrySkipped();

private:
    QTemporaryDir m_tmp;
    QString m_parent; // holds the folder "tree"
    QMap<QString, QByteArray> m_tree;
    QDateTime m_stamp;
    QString m_zip;
    QString m_unzip;
    QString m_python;
    int m_counter = 0;

    QString fresh(const QString& name) { return m_tmp.filePath(QStringLiteral("%1-%2").arg(++m_counter).arg(name)); }
    QString freshDir()
    {
        const QString path = fresh(QStringLiteral("out"));
        QDir().mkpath(path);
        return path;
    }
    void compareStamps(const QString& root)
    {
        for (auto it = m_tree.cbegin(); it != m_tree.cend(); ++it) {
            if (!it.key().endsWith(QLatin1Char('/')))
                QCOMPARE(QFileInfo(root + QStringLiteral("/tree/") + it.key()).lastModified(), m_stamp);
        }
    }
};

void TestZipPeers::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    m_zip = QStandardPaths::findExecutable(QStringLiteral("zip"));
    m_unzip = QStandardPaths::findExecutable(QStringLiteral("unzip"));
    m_python = QStandardPaths::findExecutable(QStringLiteral("python3"));

    m_stamp = QDateTime(QDate(2022, 11, 12), QTime(13, 14, 16));
    m_parent = m_tmp.filePath(QStringLiteral("src"));
    const QMap<QString, QByteArray> files = {
        { QStringLiteral("config.txrc"), text(59) },
        { QStringLiteral("versionInfo.txverinf"), text(61) },
        { QStringLiteral("readme.txt"), text(50000) },
        { QStringLiteral("update.tar.gz"), randomBytes(40000, 11) },
        { QStringLiteral("project/images/splash.png"), randomBytes(70000, 12) },
        { QStringLiteral("project/qml/Main.qml"), text(120000) },
        { QStringLiteral("project/empty.dat"), QByteArray() },
        { QStringLiteral("project/grüße/straße.txt"), text(300) },
    };
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        QVERIFY(writeFile(m_parent + QStringLiteral("/tree/") + it.key(), it.value(), m_stamp));
    QVERIFY(QDir().mkpath(m_parent + QStringLiteral("/tree/logs")));
    m_tree = treeOf(m_parent + QStringLiteral("/tree"));
}

void TestZipPeers::readsInfoZip_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<bool>("streamed");
    QTest::newRow("stored") << QStringList{ "-0" } << QByteArray() << false;
    QTest::newRow("deflate 1") << QStringList{ "-1" } << QByteArray() << false;
    QTest::newRow("deflate 6") << QStringList{ "-6" } << QByteArray() << false;
    QTest::newRow("deflate 9") << QStringList{ "-9" } << QByteArray() << false;
    QTest::newRow("encrypted") << QStringList{ "-6", "-P", "pw" } << QByteArray("pw") << false;
    QTest::newRow("encrypted stored") << QStringList{ "-0", "-P", "pw" } << QByteArray("pw") << false;
    // Written to a pipe: sizes follow the data and the check byte comes from the time.
    QTest::newRow("streamed") << QStringList{ "-6" } << QByteArray() << true;
    QTest::newRow("streamed encrypted") << QStringList{ "-6", "-P", "pw" } << QByteArray("pw") << true;
}

void TestZipPeers::readsInfoZip()
{
    if (m_zip.isEmpty())
        QSKIP("Info-ZIP zip is not installed");
    QFETCH(QStringList, options);
    QFETCH(QByteArray, password);
    QFETCH(bool, streamed);
    const char* pwd = password.isEmpty() ? nullptr : password.constData();

    const QString archive = fresh(QStringLiteral("infozip.zip"));
    const ProcessResult r = streamed
        ? run(m_zip, QStringList{ "-q", "-r" } + options + QStringList{ "-", "tree" }, m_parent, archive)
        : run(m_zip, QStringList{ "-q", "-r" } + options + QStringList{ archive, "tree" }, m_parent);
    QVERIFY2(r.code == 0, r.err.constData());

    QStringList expectedNames;
    for (auto it = m_tree.cbegin(); it != m_tree.cend(); ++it)
        expectedNames.append(QStringLiteral("tree/") + it.key());
    expectedNames.append(QStringLiteral("tree/"));
    expectedNames.sort();
    QStringList listed = ZipHelper::listContents(archive, pwd);
    listed.sort();
    QCOMPARE(listed, expectedNames);
    QVERIFY(ZipHelper::isValidZip(archive));

    const QString out = freshDir();
    QVERIFY(ZipHelper::extractAll(archive, out, pwd));
    QCOMPARE(treeOf(out + QStringLiteral("/tree")), m_tree);
    compareStamps(out);
    QCOMPARE(ZipHelper::extractFileContent(archive, QStringLiteral("tree/project/qml/Main.qml"), pwd),
             m_tree.value(QStringLiteral("project/qml/Main.qml")));
    if (pwd) {
        g_messages.clear();
        // The diagnostics are silent unless asked for, as QT_LOGGING_RULES does.
        QLoggingCategory::setFilterRules(QStringLiteral("dovrel.*.debug=true"));
        const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
        const QByteArray wrong = ZipHelper::extractFileContent(archive, QStringLiteral("tree/readme.txt"), "nope");
        qInstallMessageHandler(previous);
        QVERIFY(wrong.isEmpty());
        QVERIFY(g_messages.contains(QStringLiteral("Unable to decrypt tree/readme.txt")));
    }
}

void TestZipPeers::peersReadOurs_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QString>("comment");
    for (int level = 0; level <= 12; ++level) {
        QTest::addRow("level %d", level) << level << QByteArray() << QString();
        QTest::addRow("level %d encrypted, comment", level)
            << level << QByteArray("pw") << QStringLiteral("Dovrel package %1").arg(level);
    }
    QTest::newRow("comment only") << 12 << QByteArray() << QStringLiteral("Größe: 12 — ok");
}

void TestZipPeers::peersReadOurs()
{
    QFETCH(int, level);
    QFETCH(QByteArray, password);
    QFETCH(QString, comment);
    const char* pwd = password.isEmpty() ? nullptr : password.constData();

    const QString archive = fresh(QStringLiteral("ours.zip"));
    QVERIFY(ZipHelper::zipWithDirectory(m_parent + QStringLiteral("/tree"), archive, false, pwd, comment,
                                        Zip::CompressionLevel(level)));

    if (m_unzip.isEmpty()) {
        qWarning("Info-ZIP unzip is not installed");
    } else {
        const QStringList pw = pwd ? QStringList{ "-P", QString::fromLatin1(pwd) } : QStringList();
        ProcessResult r = run(m_unzip, QStringList{ "-t", "-q" } + pw + QStringList{ archive });
        QVERIFY2(r.code == 0, (r.out + r.err).constData());
        const QString out = freshDir();
        r = run(m_unzip, QStringList{ "-q", "-o" } + pw + QStringList{ archive, "-d", out });
        QVERIFY2(r.code == 0, (r.out + r.err).constData());
        QCOMPARE(treeOf(out + QStringLiteral("/tree")), m_tree);
        compareStamps(out);
    }

    if (m_python.isEmpty())
        QSKIP("python3 is not installed");
    const QString out = freshDir();
    QStringList args{ "-c", QString::fromLatin1(PythonExtract), archive, out };
    if (pwd)
        args.append(QString::fromLatin1(pwd));
    const ProcessResult r = run(m_python, args);
    QVERIFY2(r.code == 0, r.err.constData());
    QCOMPARE(QString::fromUtf8(r.out), comment);
    QCOMPARE(treeOf(out + QStringLiteral("/tree")), m_tree);
    if (m_unzip.isEmpty())
        QSKIP("Info-ZIP unzip is not installed; only Python checked");
}

void TestZipPeers::zip64EntrySkipped()
{
    if (m_python.isEmpty())
        QSKIP("python3 is not installed");
    const QString archive = fresh(QStringLiteral("zip64.zip"));
    const ProcessResult r = run(m_python, { "-c", QString::fromLatin1(PythonZip64), archive });
    QVERIFY2(r.code == 0, r.err.constData());
    // Some Pythons (Debian 12's 3.11.2) write the ZIP64 fields but state version 20 for the
    // entry, with its true sizes: such an entry does not say it needs ZIP64 and is read.
    const int stated = r.out.trimmed().toInt();
    if (stated < 45) {
        QCOMPARE(ZipHelper::listContents(archive),
                 QStringList({ QStringLiteral("plain.txt"), QStringLiteral("big.bin"), QStringLiteral("after.txt") }));
        QCOMPARE(ZipHelper::extractFileContent(archive, QStringLiteral("big.bin")), QByteArray(1000, 'x'));
        QCOMPARE(ZipHelper::extractFileContent(archive, QStringLiteral("after.txt")), QByteArray("after\n").repeated(30));
        return;
    }

    g_messages.clear();
    // The diagnostics are silent unless asked for, as QT_LOGGING_RULES does.
    QLoggingCategory::setFilterRules(QStringLiteral("dovrel.*.debug=true"));
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    const QStringList listed = ZipHelper::listContents(archive);
    qInstallMessageHandler(previous);
    QCOMPARE(listed, QStringList({ QStringLiteral("plain.txt"), QStringLiteral("after.txt") }));
    QVERIFY(g_messages.contains(QStringLiteral("Unsupported PKZip version (45). Skipping file: big.bin")));
    QCOMPARE(ZipHelper::extractFileContent(archive, QStringLiteral("after.txt")), QByteArray("after\n").repeated(30));
    const QString out = freshDir();
    QVERIFY(ZipHelper::extractAll(archive, out));
    QCOMPARE(treeOf(out).keys(), QStringList({ QStringLiteral("after.txt"), QStringLiteral("plain.txt") }));
}

QTEST_GUILESS_MAIN(TestZipPeers)
#include "tst_zippeers.moc"
