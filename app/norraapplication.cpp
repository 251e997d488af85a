#include "norraapplication.h"

#include "exception.h"
#include "filehelper.h"
#include "fontscenter.h"
#include "instancelock.h"
#include "localizationhelper.h"
#include "messagebox.h"
#include "splashscreen.h"
#include "threadhelper.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QHostAddress>
#include <QIcon>
#include <QRegularExpression>
#include <QTcpSocket>

#include <cstdio>
#include <exception>

using Orvane::Tavrix::Common::localizableText;

using Orvane::Tavrix::Common::Exception;
using Orvane::Tavrix::Common::FileHelper;
using Orvane::Tavrix::Common::LocalizationHelper;
using Orvane::Tavrix::Common::ThreadHelper;

namespace Orvane {
namespace Tavrix {
namespace Designer {

namespace {

bool isPortText(const QByteArray& content)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    return digits.match(QString::fromLatin1(content)).hasMatch();
}

} // namespace

NorraApplication::NorraApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    guardSingleInstance();
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    FontsCenter::instance();
    QFont font = QApplication::font();
    font.setFamily(QStringLiteral("Droid Sans"));
    QApplication::setFont(font);
    LocalizationHelper::appTranslator();
    setApplicationName(QStringLiteral("Veltane"));
    // One version for the program, its libraries and its package, set in CMake.
    setApplicationVersion(QStringLiteral(DOVREL_VERSION));
    setOrganizationName(QStringLiteral("Kavendi."));
    setOrganizationDomain(QStringLiteral(" "));
    setWindowIcon(QIcon(QStringLiteral(":/images/appIcon1")));
    setProperty("splashScreen", QVariant::fromValue<quint64>(0));
}

NorraApplication::~NorraApplication()
{
    if (m_lockFile) {
        // Still ours only when start-up ended before the main window took it.
        if (!m_alreadyRunning)
            m_lockFile->release();
        delete m_lockFile;
    }
}

QString NorraApplication::lockFilePath()
{
    return QStringLiteral("%1/Kavendi-lockfile").arg(FileHelper::getStandardRuntimeLocation());
}

void NorraApplication::showStartupError(const QString& title, const QString& text)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    std::fflush(stderr);
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return;
    MessageBox::critical(nullptr, title, text);
}

void NorraApplication::lockFailure(int result)
{
    m_lockFailed = true;
    QString text = localizableText("Failed to acquire file lock.");
    if (result == InstanceLock::Foreign) {
        text += QLatin1Char('\n')
            + localizableText("\"%1\" or its folder is a link, not a plain file, or belongs to another user; it was left as it is.")
                  .arg(QDir::toNativeSeparators(m_lockFile->path()));
    }
    showStartupError(localizableText("Error"), text);
}

void NorraApplication::guardSingleInstance()
{
    m_lockFile = new InstanceLock(lockFilePath());
    const InstanceLock::Result result = m_lockFile->tryAcquire();
    switch (result) {
    case InstanceLock::Acquired:
        if (!m_lockFile->write(QByteArrayLiteral("loading")))
            lockFailure(InstanceLock::Failed);
        return;
    case InstanceLock::Failed:
    case InstanceLock::Foreign:
        lockFailure(result);
        return;
    case InstanceLock::HeldElsewhere:
        m_alreadyRunning = true;
        handOverToRunningInstance();
        return;
    }
}

void NorraApplication::handOverToRunningInstance()
{
    // The running instance writes "loading" while it starts, then its port.
    QElapsedTimer waited;
    waited.start();
    QByteArray content = InstanceLock::readContent(m_lockFile->path());
    while (!isPortText(content)) {
        if (waited.elapsed() >= InstanceWaitMs) {
            showStartupError(localizableText("Error"),
                             localizableText("Another instance of the application is still starting and did not become ready "
                                 "within %1 seconds. Close it or wait, then try again.")
                                 .arg(InstanceWaitMs / 1000));
            return;
        }
        ThreadHelper::msleep(500);
        // The other instance may have ended meanwhile; then this one is the first.
        const InstanceLock::Result result = m_lockFile->tryAcquire();
        if (result == InstanceLock::Acquired) {
            m_alreadyRunning = false;
            if (!m_lockFile->write(QByteArrayLiteral("loading")))
                lockFailure(InstanceLock::Failed);
            return;
        }
        if (result != InstanceLock::HeldElsewhere) {
            m_alreadyRunning = false;
            lockFailure(result);
            return;
        }
        content = InstanceLock::readContent(m_lockFile->path());
    }

    bool ok = false;
    const int port = QString::fromLatin1(content).toInt(&ok, 10);
    if (!ok || port <= 0 || port > 65535) {
        showStartupError(localizableText("Error"), localizableText("Failed to acquire file lock."));
        return;
    }
    m_socket = new QTcpSocket(this);
    m_socket->connectToHost(QHostAddress(QStringLiteral("127.0.0.1")), quint16(port), QIODevice::ReadWrite);
    if (m_socket->waitForConnected(500)) {
        m_socket->write(QStringLiteral(":new").toUtf8());
        m_socket->disconnect();
        m_socket->flush();
        m_socket->close();
    } else {
        showStartupError(localizableText("Error"), localizableText("Failed to communicate with the application."));
    }
}

InstanceLock* NorraApplication::takeInstanceLock()
{
    if (m_alreadyRunning || !m_lockFile || !m_lockFile->isHeld())
        return nullptr;
    InstanceLock* lock = m_lockFile;
    m_lockFile = nullptr;
    return lock;
}

void NorraApplication::initialize()
{
    QString error;
    if (!QDir(QCoreApplication::applicationDirPath()).exists())
        error = localizableText("The application path does not exist.");

    // The working folders of the last run go; the device rows work below a fresh one,
    // in the user's own folder where no other user can put or read anything.
    const QString own = FileHelper::getStandardRuntimeLocation();
    const QString work = QStringLiteral("%1/%2").arg(own, QStringLiteral("Kavendi"));
    if (QFileInfo::exists(work))
        FileHelper::removeDirectoryAndContent(work);
    FileHelper::createPrivateDirectory(
        QDir(own).absoluteFilePath(QStringLiteral("%1/Kavendi/DeviceProject").arg(QStringLiteral("Kavendi"))));

    QDir user(FileHelper::getStandardDocumentLocation());
    if (error.isEmpty()) {
        // With parents: a fresh account may have no documents folder yet.
        if (!user.exists(QStringLiteral("Lumatra")) && !QDir().mkpath(user.filePath(QStringLiteral("Lumatra"))))
            error = localizableText("The user directory cannot be created.");
        if (!user.cd(QStringLiteral("Lumatra")))
            error = localizableText("The user directory cannot be accessed.");
    }
    if (error.isEmpty()) {
        if (!user.exists(QStringLiteral("Calibrations")) && !user.mkdir(QStringLiteral("Calibrations")))
            error = localizableText("The Calibrations directory cannot be created.");
        if (!user.cd(QStringLiteral("Calibrations")))
            error = localizableText("The Calibrations directory cannot be accessed.");
    }
    if (error.isEmpty()) {
        QFile sheet(QStringLiteral(":/stylesheets/stylesheet"));
        if (sheet.open(QIODevice::ReadOnly)) {
            const QString text = QString::fromUtf8(sheet.readAll());
            sheet.close();
            setStyleSheet(text);
        } else {
            error = localizableText("Cannot open the appication stylesheet.");
        }
    }
    if (!error.isEmpty()) {
        throw Exception(QStringLiteral("DesignerAppliction"), QStringLiteral("initialize"),
                        localizableText("The application cannot be opened. The following error occurred:\n%1").arg(error));
    }
    // The lock stays held: the main window publishes its port in it without a gap
    // in which a second start could take it.
}

void NorraApplication::setSplashScreen(SplashScreen* splash)
{
    m_splashScreen = splash;
    setProperty("splashScreen", QVariant::fromValue<quint64>(quint64(quintptr(splash))));
}

void NorraApplication::clearSplashScreen()
{
    m_splashScreen = nullptr;
    setProperty("splashScreen", QVariant::fromValue<quint64>(0));
}

bool NorraApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        MessageBox::warning(nullptr, localizableText("Veltane"), QString::fromLocal8Bit(e.what()));
    } catch (...) {
        MessageBox::warning(nullptr, localizableText("Veltane"), localizableText("An error occurred."));
    }
    return false;
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
