#ifndef NORRAAPPLICATION_H
#define NORRAAPPLICATION_H

#include <QApplication>
#include <QString>

class QTcpSocket;

namespace Orvane {
namespace Tavrix {
namespace Designer {

class InstanceLock;
class SplashScreen;

// The program's application object: the single-instance guard, the user
// folders, the style sheet and the splash screen hand-over.
class NorraApplication : public QApplication
{
    Q_OBJECT
public:
    // How long a second start waits for a starting instance to publish its port.
    static const int InstanceWaitMs = 30000;

    NorraApplication(int& argc, char** argv);
    ~NorraApplication() override;

    bool alreadyRunning() const { return m_alreadyRunning; }
    // The single-instance guard itself could not work; start-up ends with -1.
    bool lockFailed() const { return m_lockFailed; }

    // Prepares the temporary and user folders and the style sheet; throws Common::Exception.
    void initialize();

    void setSplashScreen(SplashScreen* splash);
    void clearSplashScreen();
    SplashScreen* splashScreen() const { return m_splashScreen; }

    // The lock, still held, for the main window to publish its port in; null when none.
    InstanceLock* takeInstanceLock();

    static QString lockFilePath();
    // A box for start-up failures. Where nobody can see a window (offscreen), the
    // text goes to the error output only, so that the process can still end.
    static void showStartupError(const QString& title, const QString& text);

    // Start the program again once this run has ended (after the font settings changed).
    void setRestartRequested(bool restart) { m_restartRequested = restart; }
    bool restartRequested() const { return m_restartRequested; }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void guardSingleInstance();
    // Shows why the lock cannot be had (an InstanceLock::Result) and fails start-up.
    void lockFailure(int result);
    void handOverToRunningInstance();

    InstanceLock* m_lockFile = nullptr;
    QTcpSocket* m_socket = nullptr;
    bool m_alreadyRunning = false;
    bool m_lockFailed = false;
    bool m_restartRequested = false;
    SplashScreen* m_splashScreen = nullptr;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // NORRAAPPLICATION_H
