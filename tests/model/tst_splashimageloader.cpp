#include "splashimageloader.h"
#include "texthelper.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QSettings>
#include <QTest>

using namespace Orvane::Tavrix::Common;

class TestSplashImageLoader : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString image(const QString& name, const QSize& size, const char* format)
    {
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        const QString path = m_dir.filePath(name);
        return picture.save(path, format) ? path : QString();
    }

private slots:
    // The texts are compared in English whatever the machine's language.
    void initTestCase()
    {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"), QStringLiteral("Lumatra"))
            .setValue(QStringLiteral("language"), QStringLiteral("en"));
    }

    void scalesToTheScreen_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("bmp") << "big.bmp" << QByteArray("BMP");
        QTest::newRow("jpeg") << "big.JPEG" << QByteArray("JPEG");
        QTest::newRow("jpg named bmp") << "photo.bmp" << QByteArray("JPEG");
        QTest::newRow("png") << "big.png" << QByteArray("PNG");
    }

    void scalesToTheScreen()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        const QString path = image(name, QSize(1024, 600), format.constData());
        QVERIFY(!path.isEmpty());
        SplashImageLoader loader;
        QVERIFY(loader.load(path, QSize(480, 272)));
        QVERIFY(loader.needsScaling());
        QCOMPARE(loader.scalingText(), QStringLiteral("This image will be resized and scaled to 480x272.\n\nWould you like to continue?"));
        QByteArray bytes = loader.bmpData();
        QBuffer buffer(&bytes);
        QImageReader reader(&buffer);
        QCOMPARE(reader.format(), QByteArray("bmp"));
        QCOMPARE(reader.size(), QSize(480, 272));
    }

    void exactSizeIsKept()
    {
        SplashImageLoader loader;
        QVERIFY(loader.load(image(QStringLiteral("exact.bmp"), QSize(480, 272), "BMP"), QSize(480, 272)));
        QVERIFY(!loader.needsScaling());
        QCOMPARE(QImage::fromData(loader.bmpData(), "BMP").size(), QSize(480, 272));
    }

    // The content decides; what is no BMP, JPEG or PNG is refused, naming what is taken
    // when the name promises nothing of the kind.
    void otherFormatsAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QString>("text");
        QTest::newRow("text named bmp") << "fake.bmp" << QByteArray() << "\"%1\" is not a valid bmp image.";
        QTest::newRow("ppm named png") << "fake.png" << QByteArray("PPM") << "\"%1\" is not a valid png image.";
        QTest::newRow("ppm") << "picture.ppm" << QByteArray("PPM")
                             << "\"%1\" cannot be a splash image: BMP, JPEG and PNG images are taken.";
    }

    void otherFormatsAreRefused()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        QFETCH(QString, text);
        QString path = m_dir.filePath(name);
        if (format.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a picture") > 0);
        } else {
            path = image(name, QSize(10, 10), format.constData());
        }
        SplashImageLoader loader;
        QVERIFY(!loader.load(path, QSize(480, 272)));
        QCOMPARE(loader.errorTitle(), QStringLiteral("Choose Image"));
        QCOMPARE(loader.errorText(), text.arg(TextHelper::toSystemPath(path)));
        QVERIFY(loader.bmpData().isEmpty());
    }

    void namesAndScreenSize()
    {
        QVERIFY(SplashImageLoader::acceptsFileName(QStringLiteral("a.JPG")));
        QVERIFY(SplashImageLoader::acceptsFileName(QStringLiteral("a.jpeg")));
        QVERIFY(SplashImageLoader::acceptsFileName(QStringLiteral("a.PNG")));
        QVERIFY(!SplashImageLoader::acceptsFileName(QStringLiteral("a.gif")));
        QCOMPARE(SplashImageLoader::screenSize({ { "screenWidth", "1024" }, { "screenHeight", "600" } }), QSize(1024, 600));
        QVERIFY(!SplashImageLoader::screenSize({ { "screenWidth", "1024" } }).isValid());
    }
};

QTEST_GUILESS_MAIN(TestSplashImageLoader)
#include "tst_splashimageloader.moc"
