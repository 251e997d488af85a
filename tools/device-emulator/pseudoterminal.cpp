#include "pseudoterminal.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal(QObject* parent)
    : QObject(parent)
{
    m_throttleTimer = new QTimer(this);
    m_throttleTimer->setSingleShot(true);
    m_throttleTimer->setTimerType(Qt::PreciseTimer);
    connect(m_throttleTimer, &QTimer::timeout, this, &PseudoTerminal::pump);
    m_inTimer = new QTimer(this);
    m_inTimer->setSingleShot(true);
    m_inTimer->setTimerType(Qt::PreciseTimer);
    connect(m_inTimer, &QTimer::timeout, this, &PseudoTerminal::deliver);
    m_throttleClock.start();
    m_inClock.start();
}

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::open(QString* error)
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        if (error)
            *error = QStringLiteral("cannot create a pseudo terminal: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        close();
        return false;
    }
    char name[256] = {};
    if (ptsname_r(m_master, name, sizeof name) != 0) {
        if (error)
            *error = QStringLiteral("ptsname failed");
        close();
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0) {
        if (error)
            *error = QStringLiteral("cannot open %1: %2").arg(m_slavePath, QString::fromLocal8Bit(strerror(errno)));
        close();
        return false;
    }
    termios tio{};
    tcgetattr(m_slave, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tcsetattr(m_slave, TCSANOW, &tio);

    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PseudoTerminal::onReadable);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PseudoTerminal::pump);
    return true;
}

bool PseudoTerminal::createLink(const QString& linkPath, QString* error)
{
    const QByteArray link = QFile::encodeName(linkPath);
    struct stat st{};
    if (lstat(link.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            if (error)
                *error = QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath);
            return false;
        }
        ::unlink(link.constData());
    }
    if (::symlink(QFile::encodeName(m_slavePath).constData(), link.constData()) != 0) {
        if (error)
            *error = QStringLiteral("cannot create link %1: %2").arg(linkPath, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    m_linkPath = linkPath;
    return true;
}

void PseudoTerminal::removeLink()
{
    if (m_linkPath.isEmpty())
        return;
    ::unlink(QFile::encodeName(m_linkPath).constData());
    m_linkPath.clear();
}

void PseudoTerminal::close()
{
    // Closing may happen inside the read notifier's own signal (an unplug
    // fault), so the notifiers go later.
    for (QSocketNotifier* notifier : {m_readNotifier, m_writeNotifier}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
    m_throttleTimer->stop();
    m_inTimer->stop();
    m_inQueue.clear();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
    m_outQueue.clear();
}

void PseudoTerminal::write(const QByteArray& bytes)
{
    if (m_master < 0 || bytes.isEmpty())
        return;
    if (m_outQueue.isEmpty() && m_throttle > 0) {
        m_lastNs = m_throttleClock.nsecsElapsed();
        m_budget = 1; // let the first byte go at once
    }
    m_outQueue.append(bytes);
    pump();
}

void PseudoTerminal::onReadable()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0 && m_throttle > 0) {
            if (m_inQueue.isEmpty()) {
                m_inLastNs = m_inClock.nsecsElapsed();
                m_inBudget = 1;
            }
            m_inQueue.append(buffer, int(n));
            continue;
        }
        if (n > 0) {
            emit received(QByteArray(buffer, int(n)));
            if (m_master < 0)
                return; // unplugged while handling the data
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: drained. EIO cannot happen while our slave fd is open.
        break;
    }
    if (!m_inQueue.isEmpty())
        deliver();
}

void PseudoTerminal::deliver()
{
    while (!m_inQueue.isEmpty() && m_master >= 0) {
        const qint64 inNow = m_inClock.nsecsElapsed();
        m_inBudget += double(inNow - m_inLastNs) * m_throttle / 1e9;
        m_inLastNs = inNow;
        m_inBudget = qMin(m_inBudget, qMax(1.0, m_throttle / 50.0));
        const double wanted = qMin(double(m_inQueue.size()), qMax(1.0, m_throttle / 100.0));
        if (m_inBudget < wanted) {
            m_inTimer->start(qMax(1, int(std::ceil((wanted - m_inBudget) * 1000.0 / m_throttle))));
            return;
        }
        const qsizetype chunk = qMin<qsizetype>(m_inQueue.size(), qsizetype(m_inBudget));
        const QByteArray bytes = m_inQueue.left(chunk);
        m_inQueue.remove(0, chunk);
        m_inBudget -= double(chunk);
        emit received(bytes);
    }
}

void PseudoTerminal::pump()
{
    if (m_master < 0)
        return;
    while (!m_outQueue.isEmpty()) {
        qsizetype chunk = m_outQueue.size();
        if (m_throttle > 0) {
            const qint64 now = m_throttleClock.nsecsElapsed();
            m_budget += double(now - m_lastNs) * m_throttle / 1e9;
            m_lastNs = now;
            m_budget = qMin(m_budget, qMax(1.0, m_throttle / 50.0));
            // Write in slices of about 10 ms of line time rather than byte by byte.
            const double wanted = qMin(double(m_outQueue.size()), qMax(1.0, m_throttle / 100.0));
            if (m_budget < wanted) {
                const int waitMs = qMax(1, int(std::ceil((wanted - m_budget) * 1000.0 / m_throttle)));
                m_throttleTimer->start(waitMs);
                return;
            }
            chunk = qMin<qsizetype>(chunk, qsizetype(m_budget));
        }
        const ssize_t n = ::write(m_master, m_outQueue.constData(), size_t(chunk));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                m_writeNotifier->setEnabled(true);
                return;
            }
            m_outQueue.clear(); // the line is gone; nothing to deliver to
            break;
        }
        m_outQueue.remove(0, n);
        if (m_throttle > 0)
            m_budget -= double(n);
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
    emit outputDrained();
}
