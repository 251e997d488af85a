#include "messagebox.h"
#include "modaldriver.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QResource>
#include <QTest>
#include <QVBoxLayout>

// Every picture and the style sheet that the code names are in the resource sets, load, and the
// style sheet does what the windows rely on.
class TestResources : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void namedPicturesLoad_data();
    void namedPicturesLoad();
    void everyAliasLoadsAndIsRecorded();
    void styleSheetIsCompressedAndParses();
    void styleSheetStylesTheNamedWidgets();

private:
    QString m_styleSheet;
};

namespace {

QString sourcePath(const QString& relative)
{
    return QDir(QStringLiteral(DOVREL_SOURCE_DIR)).filePath(relative);
}

QStringList aliases(const QString& qrc)
{
    QFile file(sourcePath(qrc));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList result;
    const QString text = QString::fromUtf8(file.readAll());
    QRegularExpression alias(QStringLiteral("<file alias=\"([^\"]+)\"[^>]*>images/([^<]+)</file>"));
    auto it = alias.globalMatch(text);
    while (it.hasNext()) {
        const auto match = it.next();
        result << match.captured(1) + QLatin1Char('|') + match.captured(2);
    }
    return result;
}

QColor averageColor(const QImage& image)
{
    qint64 r = 0, g = 0, b = 0, n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            r += c.red();
            g += c.green();
            b += c.blue();
            ++n;
        }
    }
    return n ? QColor(int(r / n), int(g / n), int(b / n)) : QColor();
}

} // namespace

void TestResources::initTestCase()
{
    // The library's own set comes with the library: asking it for an icon loads it.
    using Orvane::Tavrix::Designer::MessageBox;
    QVERIFY(!MessageBox::iconPixmap(MessageBox::Critical).isNull());
    QVERIFY(registerProgramResources());
    QFile file(QStringLiteral(":/stylesheets/stylesheet"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    m_styleSheet = QString::fromUtf8(file.readAll());
}

void TestResources::namedPicturesLoad_data()
{
    QTest::addColumn<QString>("path");
    // The Gui library's own set.
    for (const char* name : {"open", "close", "moveUp", "moveDown", "uploadingProject", "preview", "new", "undo",
                             "redo", "copy", "cut", "paste", "delete", "transparentTexture",
                             "deviceFunctionMenuNormal", "deviceFunctionMenuHover", "deviceFunctionMenuPressed",
                             "critical", "warning", "question"})
        QTest::newRow(name) << QStringLiteral(":/images/%1").arg(QLatin1String(name));
    // The program's set.
    for (const char* name : {"appIcon1", "information", "splash", "spinUp", "spinDown", "dropDown"})
        QTest::newRow(name) << QStringLiteral(":/images/%1").arg(QLatin1String(name));
}

void TestResources::namedPicturesLoad()
{
    QFETCH(QString, path);
    QVERIFY2(QFile::exists(path), qPrintable(path));
    const QPixmap pixmap(path);
    QVERIFY2(!pixmap.isNull(), qPrintable(path));
    // Drawn, not blank.
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    bool painted = false;
    for (int y = 0; y < image.height() && !painted; ++y) {
        for (int x = 0; x < image.width() && !painted; ++x)
            painted = qAlpha(image.pixel(x, y)) > 0;
    }
    QVERIFY2(painted, qPrintable(path));
}

void TestResources::everyAliasLoadsAndIsRecorded()
{
    QFile readme(sourcePath("resources/README"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QString origins = QString::fromUtf8(readme.readAll());
    QStringList entries = aliases("resources/gui.qrc") + aliases("resources/dovrel.qrc");
    QVERIFY(entries.size() >= 26);
    QStringList files;
    for (const QString& entry : entries) {
        const QString alias = entry.section('|', 0, 0);
        const QString file = entry.section('|', 1, 1);
        files << file;
        QVERIFY2(!QPixmap(":/images/" + alias).isNull(), qPrintable(alias));
        // Each picture's origin is written down; the prefix covers the Hover/Pressed variants.
        QString recorded = alias;
        recorded.remove(QRegularExpression("(Hover|Pressed|Normal|Disabled)$"));
        QVERIFY2(origins.contains(recorded), qPrintable(alias));
    }
    // No picture lies in the tree without being in a resource set.
    const QStringList onDisk = QDir(sourcePath("resources/images")).entryList(QDir::Files);
    for (const QString& file : onDisk)
        QVERIFY2(files.contains(file), qPrintable(file));
}

void TestResources::styleSheetIsCompressedAndParses()
{
    QResource resource(QStringLiteral(":/stylesheets/stylesheet"));
    QVERIFY(resource.isValid());
    QVERIFY(resource.compressionAlgorithm() != QResource::NoCompression);
    QVERIFY(m_styleSheet.size() > 500);
    QVERIFY(m_styleSheet.size() < 16 * 1024); // small and readable

    // Every picture it names exists.
    QRegularExpression url(QStringLiteral("url\\((:/[^)]+)\\)"));
    auto it = url.globalMatch(m_styleSheet);
    int count = 0;
    while (it.hasNext()) {
        const QString path = it.next().captured(1);
        QVERIFY2(!QPixmap(path).isNull(), qPrintable(path));
        ++count;
    }
    QVERIFY(count >= 6);

    QTest::failOnWarning(QRegularExpression("(?i)style ?sheet"));
    qApp->setStyleSheet(m_styleSheet);
    QLabel probe("probe");
    probe.ensurePolished();
    qApp->setStyleSheet(QString());
}

void TestResources::styleSheetStylesTheNamedWidgets()
{
    qApp->setStyleSheet(m_styleSheet);
    QWidget window;
    window.setObjectName("general");
    auto* layout = new QVBoxLayout(&window);
    auto* menuBar = new QMenuBar(&window);
    menuBar->addMenu("&File");
    menuBar->addMenu("&Help");
    layout->setMenuBar(menuBar);
    auto* heading = new QLabel("Devices", &window);
    heading->setObjectName("listHeading");
    heading->setMinimumHeight(60); // the style sheet caps it
    layout->addWidget(heading);
    auto* menuButton = new QPushButton(&window);
    menuButton->setObjectName("deviceFunctionMenuButton");
    layout->addWidget(menuButton);
    layout->addStretch();
    window.resize(300, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QVERIFY(heading->height() <= 30);
    const QImage shot = window.grab().toImage();
    const QColor headingColor = averageColor(shot.copy(heading->geometry()));
    QVERIFY2(headingColor.lightness() < 110 && headingColor.lightness() > 30, qPrintable(headingColor.name()));
    QCOMPARE(menuButton->size(), QSize(30, 29));

    // White text on near-black: dark background, and the text colour is white.
    const QColor barColor = averageColor(shot.copy(menuBar->geometry()));
    QVERIFY2(barColor.lightness() < 70, qPrintable(barColor.name()));
    QCOMPARE(menuBar->palette().color(QPalette::WindowText), QColor(Qt::white));
    qApp->setStyleSheet(QString());
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
