#include "splashscreen.h"

#include "localizationhelper.h"

#include <QPainter>

using Orvane::Tavrix::Common::localizableText;

using Orvane::Tavrix::Common::LocalizationHelper;

namespace Orvane {
namespace Tavrix {
namespace Designer {

SplashScreen::SplashScreen(const QPixmap& pixmap)
    : QSplashScreen(pixmap, Qt::FramelessWindowHint | Qt::SplashScreen | Qt::WindowStaysOnTopHint)
{
}

SplashScreen::~SplashScreen() = default;

void SplashScreen::setText(const QString& text)
{
    if (text == m_message)
        return;
    m_message = text;
    repaint();
}

void SplashScreen::drawContents(QPainter* painter)
{
    QSplashScreen::drawContents(painter);
    painter->setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    painter->setPen(Qt::white);
    m_font.setFamily(QStringLiteral("Droid Sans"));
    if (!m_message.isEmpty()) {
        m_font.setPixelSize(15);
        painter->setFont(m_font);
        painter->drawText(QRect(45, 200, 390, 40), Qt::AlignCenter, m_message);
    }
    m_font.setPixelSize(11);
    painter->setFont(m_font);
    painter->drawText(QRect(10, 255, 460, 40), Qt::AlignCenter,
                      localizableText("This program is protected by copyright. See Help > About for details."));
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
