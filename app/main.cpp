#include "exception.h"
#include "localizationhelper.h"
#include "mainwindow.h"
#include "messagebox.h"
#include "norraapplication.h"
#include "splashscreen.h"

#include <QDir>
#include <QIcon>
#include <QPixmap>
#include <QProcess>

#include <exception>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

using Orvane::Tavrix::Common::localizableText;
#endif

using Orvane::Tavrix::Common::Exception;
using Orvane::Tavrix::Common::LocalizationHelper;
using Orvane::Tavrix::Designer::MainWindow;
using Orvane::Tavrix::Designer::NorraApplication;
using Orvane::Tavrix::Designer::SplashScreen;

#ifdef Q_OS_UNIX
namespace {

int signalSockets[2] = { -1, -1 };

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[1], &byte, 1);
}

// SIGTERM, SIGINT and SIGHUP end the event loop like closing the window, so the
// instance lock file and the device rows are cleaned up as usual. The handler is
// in place from the start; a signal that comes before the event loop waits in the
// socket until the loop reads it.
void catchTerminationSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSockets) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

void quitOnTerminationSignals()
{
    if (signalSockets[0] < 0)
        return;
    auto* notifier = new QSocketNotifier(signalSockets[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, []() {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalSockets[0], &byte, 1);
        QCoreApplication::quit();
    });
}

} // namespace
#endif

int main(int argc, char** argv)
{
    auto* application = new NorraApplication(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/appIcon1")));
    if (application->lockFailed()) {
        delete application;
        return -1;
    }
    if (application->alreadyRunning()) {
        delete application;
        return 0;
    }
#ifdef Q_OS_UNIX
    catchTerminationSignals();
#endif

    QPixmap picture(QStringLiteral(":/images/splash"));
    auto* splash = new SplashScreen(picture);
    application->setSplashScreen(splash);
    splash->show();
    QCoreApplication::processEvents();

    MainWindow* window = nullptr;
    const QString title = localizableText("Veltane");
    QString failure;
    int result = 0;
    try {
        application->initialize();
        window = new MainWindow;
        window->setUpWindow();
        window->show();
        splash->finish(window);
        delete splash;
        splash = nullptr;
        application->clearSplashScreen();
#ifdef Q_OS_UNIX
        quitOnTerminationSignals();
#endif
        result = application->exec();
    } catch (const Exception& e) {
        failure = e.message();
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
    } catch (...) {
        failure = localizableText("An error occurred.");
    }
    if (!failure.isEmpty()) {
        if (splash) {
            splash->close();
            delete splash;
            application->clearSplashScreen();
        }
        NorraApplication::showStartupError(title, failure);
        delete window;
        delete application;
        return -1;
    }

    delete window;
    const bool restart = application->restartRequested();
    const QString program = QCoreApplication::applicationFilePath();
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const QString directory = QDir::currentPath();
    delete application;
    if (restart)
        QProcess::startDetached(program, arguments, directory);
    return result;
}
