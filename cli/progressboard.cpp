#include "progressboard.h"

#include <cstdio>

#ifndef Q_OS_WIN
#include <sys/ioctl.h>
#include <unistd.h>
#endif

ProgressBoard::ProgressBoard(bool terminal)
    : m_terminal(terminal)
{
    m_clock.start();
}

ProgressBoard::~ProgressBoard()
{
    close();
}

int ProgressBoard::width() const
{
#ifndef Q_OS_WIN
    winsize size {};
    if (::ioctl(fileno(stderr), TIOCGWINSZ, &size) == 0 && size.ws_col > 10)
        return size.ws_col - 1;
#endif
    return 99;
}

int ProgressBoard::addRow(const QString& text)
{
    m_rows << text;
    if (m_terminal)
        draw();
    return int(m_rows.size()) - 1;
}

void ProgressBoard::setRow(int row, const QString& text, bool force)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row] = text;
    if (!m_terminal)
        return;
    // Several devices redraw often; the screen needs it only a few times a second.
    const qint64 now = m_clock.elapsed();
    if (!force && now - m_lastDraw < 100)
        return;
    m_lastDraw = now;
    draw();
}

void ProgressBoard::writeLine(const QString& text)
{
    clear();
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
    if (m_terminal && !m_rows.isEmpty())
        draw();
    std::fflush(stderr);
}

void ProgressBoard::close()
{
    if (!m_terminal || m_drawn == 0)
        return;
    draw();
    std::fputc('\n', stderr);
    std::fflush(stderr);
    m_drawn = 0;
    m_rows.clear();
}

void ProgressBoard::clear()
{
    if (m_drawn == 0)
        return;
    // Back to the first device line, and everything below it goes.
    std::fputc('\r', stderr);
    for (int i = 1; i < m_drawn; ++i)
        std::fputs("\033[A", stderr);
    std::fputs("\033[J", stderr);
    m_drawn = 0;
}

void ProgressBoard::draw()
{
    clear();
    const int columns = width();
    for (int i = 0; i < m_rows.size(); ++i) {
        // A line longer than the screen would wrap and break the way back up.
        const QString line = m_rows.at(i).left(columns);
        std::fputs(line.toLocal8Bit().constData(), stderr);
        if (i + 1 < m_rows.size())
            std::fputc('\n', stderr);
    }
    m_drawn = int(m_rows.size());
    std::fflush(stderr);
}
