#include "exception.h"
#include "localizationhelper.h"
#include "mainwindow.h"
#include "messagebox.h"
#include "norraapplication.h"
#include "splashscreen.h"
#include "stopsignals.h"

#include <QDir>
#include <QIcon>
#include <QPixmap>
#include <QProcess>

#include <exception>

using Orvane::Tavrix::Common::Exception;
using Orvane::Tavrix::Common::localizableText;
using Orvane::Tavrix::Common::LocalizationHelper;
using Orvane::Tavrix::Common::StopSignals;
using Orvane::Tavrix::Designer::MainWindow;
using Orvane::Tavrix::Designer::NorraApplication;
using Orvane::Tavrix::Designer::SplashScreen;

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
    // A logout, a service manager or Ctrl-C: in place from the start, taken up once the window is.
    StopSignals::install();

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
        // The devices' operations stop safely first, then the program ends as closed by its window.
        QObject::connect(StopSignals::instance(), &StopSignals::stopRequested, window, &MainWindow::stopSafelyAndQuit);
        if (StopSignals::instance()->signalNumber() != 0)
            QMetaObject::invokeMethod(window, &MainWindow::stopSafelyAndQuit, Qt::QueuedConnection);
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
