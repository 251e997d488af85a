#include "fuzzline.h"

#include "ptydevice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

FuzzLine::FuzzLine()
    : m_device(new PtyDevice)
{
    if (!m_device->open())
        qFatal("cannot open a pseudo terminal for the fuzz input");
    m_slave = ::open(QFile::encodeName(m_device->slavePath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_slave < 0)
        qFatal("cannot open the fuzz line's pseudo terminal");
}

FuzzLine::~FuzzLine()
{
    ::close(m_slave);
    delete m_device;
}

int FuzzLine::pendingInput() const
{
    int pending = 0;
    if (::ioctl(m_slave, FIONREAD, &pending) != 0)
        return 0;
    return pending;
}

void FuzzLine::converse(const QByteArray& conversation, const std::function<bool()>& reading)
{
    settle(reading);
    const QByteArray separator(Separator);
    qsizetype from = 0;
    while (from <= conversation.size() && reading()) {
        qsizetype to = conversation.indexOf(separator, from);
        if (to < 0)
            to = conversation.size();
        deliver(conversation.mid(from, to - from), reading);
        from = to + separator.size();
    }
}

void FuzzLine::deliver(const QByteArray& piece, const std::function<bool()>& reading)
{
    // No more than the terminal's input buffer at once. The kernel hands the bytes over
    // asynchronously: all of them must be there before the reader may read.
    constexpr qsizetype MaxWrite = 4000;
    for (qsizetype at = 0; at < piece.size() && reading(); at += MaxWrite) {
        const QByteArray part = piece.mid(at, MaxWrite);
        m_device->write(part);
        QElapsedTimer timer;
        timer.start();
        while (pendingInput() < part.size() && timer.elapsed() < 1000)
            QThread::usleep(20);
        settle(reading);
    }
}

void FuzzLine::settle(const std::function<bool()>& reading)
{
    QElapsedTimer timer;
    timer.start();
    // Two passes after the last byte was taken deliver what its handling queued.
    int idlePasses = 0;
    while (idlePasses < 2) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (pendingInput() > 0 && reading())
            idlePasses = 0;
        else
            ++idlePasses;
        // A reader that stops taking what it listens for would hang a device: worth a report
        // (the bound leaves room for a loaded machine).
        if (timer.elapsed() > 20000)
            qFatal("the port's reader stopped reading");
    }
}

void FuzzLine::flush()
{
    ::tcflush(m_slave, TCIFLUSH);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_device->clearReceived();
}
