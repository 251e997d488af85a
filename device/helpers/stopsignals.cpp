#include "stopsignals.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <csignal>
#include <cstdlib>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

QPointer<StopSignals> g_instance;
// How many requests came; the second ends the process from the handler itself.
volatile std::sig_atomic_t g_requests = 0;

#ifdef Q_OS_WIN
BOOL WINAPI consoleHandler(DWORD type)
{
    const int number = type == CTRL_C_EVENT ? SIGINT : SIGTERM;
    if (g_requests++ > 0)
        std::_Exit(StopSignals::exitCode(number));
    // Called in a thread of the system's: the request goes to the object's own thread.
    if (g_instance)
        QMetaObject::invokeMethod(g_instance.data(), "stopRequested", Qt::QueuedConnection, Q_ARG(int, number));
    return TRUE;
}
#else
int g_pipe[2] = { -1, -1 };

void handler(int number)
{
    if (g_requests++ > 0)
        _exit(StopSignals::exitCode(number));
    const char byte = char(number);
    // Nothing else is safe here: the notifier takes it up in the program's thread.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}
#endif

} // namespace

StopSignals::StopSignals()
    : QObject(QCoreApplication::instance())
{
#ifdef Q_OS_WIN
    connect(this, &StopSignals::stopRequested, this, [this](int number) { m_signal = number; });
    SetConsoleCtrlHandler(consoleHandler, TRUE);
#else
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::onReadable);
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : { SIGINT, SIGTERM, SIGHUP })
        sigaction(number, &action, nullptr);
#endif
}

StopSignals::~StopSignals()
{
#ifndef Q_OS_WIN
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    for (int number : { SIGINT, SIGTERM, SIGHUP })
        sigaction(number, &action, nullptr);
    for (int& fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
#else
    SetConsoleCtrlHandler(consoleHandler, FALSE);
#endif
}

StopSignals* StopSignals::install()
{
    if (!g_instance && QCoreApplication::instance())
        g_instance = new StopSignals;
    return g_instance;
}

StopSignals* StopSignals::instance()
{
    return g_instance;
}

int StopSignals::exitCode(int signalNumber)
{
    return 128 + signalNumber;
}

void StopSignals::onReadable()
{
#ifndef Q_OS_WIN
    char byte = 0;
    if (::read(g_pipe[0], &byte, 1) != 1)
        return;
    m_signal = int(byte);
    emit stopRequested(m_signal);
#endif
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
