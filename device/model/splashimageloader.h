#ifndef SPLASHIMAGELOADER_H
#define SPLASHIMAGELOADER_H

#include "device_global.h"

#include <QByteArray>
#include <QImage>
#include <QMap>
#include <QSize>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Common {

// Loads a splash image for a device: a BMP, JPEG or PNG file (judged by its content),
// scaled to the device's screen when its size differs, stored as BMP
// bytes. Transparent parts become black, as the screen around a picture is.
class DEVICE_EXPORT SplashImageLoader
{
public:
    SplashImageLoader() = default;

    // A file name a splash image may have (".bmp", ".jpg", ".jpeg", ".png", any case).
    static bool acceptsFileName(const QString& path);
    // The file dialog's patterns for those names.
    static QString fileNamePatterns();
    // "screenWidth" x "screenHeight" of a device information map; invalid when missing.
    static QSize screenSize(const QMap<QString, QString>& deviceInfo);

    // Reads the file; false with errorTitle()/errorText() when it is not a BMP, JPEG
    // or PNG image. An invalid target size keeps the image's own size.
    bool load(const QString& path, const QSize& targetSize);

    QString path() const { return m_path; }
    QString format() const { return m_format; }
    QSize originalSize() const { return m_original.size(); }
    QSize targetSize() const { return m_target; }
    // The image must be scaled (aspect ratio ignored) to fit the screen.
    bool needsScaling() const;
    // The image as the device will show it.
    QImage image() const;
    // That image encoded as BMP.
    QByteArray bmpData() const;

    QString errorTitle() const { return m_errorTitle; }
    QString errorText() const { return m_errorText; }
    // The preview question asked before a scaled image is used.
    QString scalingText() const;

private:
    QString m_path;
    QString m_format;
    QImage m_original;
    QSize m_target;
    QString m_errorTitle;
    QString m_errorText;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // SPLASHIMAGELOADER_H
