#include "splashscreenguard.h"

#include <QApplication>
#include <QVariant>

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

constexpr Qt::WindowFlags SplashFlags = Qt::SplashScreen | Qt::FramelessWindowHint;

} // namespace

QWidget* SplashScreenGuard::splashScreen()
{
    if (!qApp)
        return nullptr;
    const quint64 address = qApp->property("splashScreen").toULongLong();
    if (address == 0)
        return nullptr;
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget* widget : widgets) {
        if (reinterpret_cast<quintptr>(widget) == static_cast<quintptr>(address))
            return widget;
    }
    return nullptr;
}

SplashScreenGuard::SplashScreenGuard()
    : m_splash(splashScreen())
{
    if (!m_splash)
        return;
    m_splash->setWindowFlags(SplashFlags);
    QCoreApplication::processEvents();
}

SplashScreenGuard::~SplashScreenGuard()
{
    // Start-up may have removed the splash screen while the box was open.
    if (!m_splash || splashScreen() != m_splash)
        return;
    m_splash->setWindowFlags(SplashFlags | Qt::WindowStaysOnTopHint);
    m_splash->show();
    QCoreApplication::processEvents();
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
