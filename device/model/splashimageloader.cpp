#include "splashimageloader.h"

#include "localizationhelper.h"
#include "texthelper.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

// The image format a file's name suggests: "bmp", "jpeg", "png", or empty.
QString formatOfName(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("bmp") || suffix == QLatin1String("png"))
        return suffix;
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return QStringLiteral("jpeg");
    return QString();
}

} // namespace

bool SplashImageLoader::acceptsFileName(const QString& path)
{
    return !formatOfName(path).isEmpty();
}

QString SplashImageLoader::fileNamePatterns()
{
    return QStringLiteral("*.bmp *.jpeg *.jpg *.png");
}

QSize SplashImageLoader::screenSize(const QMap<QString, QString>& deviceInfo)
{
    bool okWidth = false;
    bool okHeight = false;
    const int width = deviceInfo.value(QStringLiteral("screenWidth")).toInt(&okWidth);
    const int height = deviceInfo.value(QStringLiteral("screenHeight")).toInt(&okHeight);
    if (!okWidth || !okHeight || width <= 0 || height <= 0)
        return QSize();
    return QSize(width, height);
}

bool SplashImageLoader::load(const QString& path, const QSize& targetSize)
{
    m_path = path;
    m_format.clear();
    m_original = QImage();
    m_target = targetSize;
    m_errorTitle.clear();
    m_errorText.clear();

    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QString format = QString::fromLatin1(reader.format()).toLower();
    if (format == QLatin1String("jpg"))
        format = QStringLiteral("jpeg");
    // The content decides, whatever the name says.
    QImage image;
    if (format == QLatin1String("bmp") || format == QLatin1String("jpeg") || format == QLatin1String("png"))
        image = reader.read();
    if (image.isNull()) {
        m_errorTitle = guiText("Choose Image");
        if (acceptsFileName(path))
            m_errorText = guiText("\"%1\" is not a valid %2 image.").arg(TextHelper::toSystemPath(path), QFileInfo(path).suffix().toLower());
        else
            m_errorText = guiText("\"%1\" cannot be a splash image: BMP, JPEG and PNG images are taken.").arg(TextHelper::toSystemPath(path));
        return false;
    }
    if (image.hasAlphaChannel()) {
        QImage opaque(image.size(), QImage::Format_RGB32);
        opaque.fill(Qt::black);
        QPainter painter(&opaque);
        painter.drawImage(0, 0, image);
        painter.end();
        image = opaque;
    }
    m_format = format;
    m_original = image;
    if (!m_target.isValid())
        m_target = image.size();
    return true;
}

bool SplashImageLoader::needsScaling() const
{
    return !m_original.isNull() && m_original.size() != m_target;
}

QImage SplashImageLoader::image() const
{
    if (m_original.isNull() || !needsScaling())
        return m_original;
    return m_original.scaled(m_target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QByteArray SplashImageLoader::bmpData() const
{
    const QImage shown = image();
    if (shown.isNull())
        return QByteArray();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    writer.setQuality(100);
    if (!writer.write(shown))
        return QByteArray();
    return bytes;
}

QString SplashImageLoader::scalingText() const
{
    return guiText("This image will be resized and scaled to %1x%2.\n\nWould you like to continue?")
        .arg(m_target.width())
        .arg(m_target.height());
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
