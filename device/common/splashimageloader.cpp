#include "splashimageloader.h"

#include "localizationhelper.h"
#include "texthelper.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {


} // namespace

bool SplashImageLoader::acceptsFileName(const QString& path)
{
    const QString lower = path.toLower();
    return lower.endsWith(QLatin1String(".bmp")) || lower.endsWith(QLatin1String(".jpg")) || lower.endsWith(QLatin1String(".jpeg"));
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
    const QString format = QString::fromLatin1(reader.format()).toLower();
    QImage image;
    if (format == QLatin1String("bmp") || format == QLatin1String("jpg") || format == QLatin1String("jpeg"))
        image = reader.read();
    if (image.isNull()) {
        m_errorTitle = guiText("Choose Image");
        m_errorText = guiText("\"%1\" is not a valid %2 image.").arg(TextHelper::toSystemPath(path), QFileInfo(path).suffix().toLower());
        return false;
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
