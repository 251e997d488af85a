#ifndef SPLASHSCREENGUARD_H
#define SPLASHSCREENGUARD_H

#include "gui_global.h"

#include <QPointer>
#include <QWidget>

namespace Orvane {
namespace Tavrix {
namespace Designer {

// While a modal box runs during start-up, the splash screen must not stay on top of it.
// The guard takes the stay-on-top flag away on construction and gives it back (and shows
// the splash screen again) on destruction, when the splash screen is still up then.
class GUI_EXPORT SplashScreenGuard
{
public:
    SplashScreenGuard();
    ~SplashScreenGuard();

    SplashScreenGuard(const SplashScreenGuard&) = delete;
    SplashScreenGuard& operator=(const SplashScreenGuard&) = delete;

    // The splash screen named by the application's "splashScreen" property, or null. The address is
    // only trusted when it is one of the application's live top-level widgets, so a stale value
    // never reaches a deleted object.
    static QWidget* splashScreen();

private:
    QPointer<QWidget> m_splash;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // SPLASHSCREENGUARD_H
