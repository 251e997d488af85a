#include "progressreporter.h"

#include "progressboard.h"

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

ProgressReporter::ProgressReporter(bool quiet)
    : m_quiet(quiet)
    , m_terminal(isatty(fileno(stderr)) != 0)
{
}

ProgressReporter::ProgressReporter(bool quiet, ProgressBoard* board, const QString& device)
    : m_quiet(quiet)
    , m_terminal(board->isTerminal())
    , m_board(board)
    , m_device(device)
{
    m_row = board->addRow(device);
}

ProgressReporter::~ProgressReporter()
{
    if (m_drawn)
        clearLine();
}

void ProgressReporter::writeLine(const QString& text)
{
    if (m_board) {
        m_board->writeLine(m_device + QStringLiteral(": ") + text);
        return;
    }
    if (m_drawn)
        clearLine();
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    if (m_active && m_terminal)
        draw(true);
}

void ProgressReporter::message(const QString& text)
{
    if (m_quiet || text.trimmed().isEmpty())
        return;
    if (m_board && m_terminal) {
        m_status = text.trimmed();
        drawRow(true);
        return;
    }
    writeLine(text.trimmed());
}

void ProgressReporter::warning(const QString& text)
{
    if (m_board) {
        m_board->writeLine(QStringLiteral("dovrelctl: warning: ") + m_device + QStringLiteral(": ") + text);
        return;
    }
    writeLine(QStringLiteral("dovrelctl: warning: %1").arg(text));
}

void ProgressReporter::begin(const QString& label, qint64 total, Unit unit)
{
    if (m_active)
        finish();
    m_label = label;
    m_total = total;
    m_value = 0;
    m_unit = unit;
    m_lastQuarter = 0;
    m_active = true;
    m_clock.start();
    m_rate.start(total);
    m_lastDraw = -1000;
    if (m_quiet)
        return;
    if (m_terminal) {
        draw(true);
    } else if (unit == Bytes && total > 0) {
        writeLine(QStringLiteral("%1 (%2)").arg(label, formatBytes(total)));
    } else {
        writeLine(label);
    }
}

void ProgressReporter::add(qint64 delta)
{
    set(m_value + delta);
}

void ProgressReporter::setTotal(qint64 total)
{
    m_total = total;
    m_rate.setTotal(total);
}

void ProgressReporter::set(qint64 value)
{
    if (!m_active)
        return;
    m_value = value;
    m_rate.update(value);
    if (m_quiet)
        return;
    if (m_terminal) {
        draw(false);
        return;
    }
    if (m_total > 0 && m_unit == Bytes) {
        const int quarter = int(qMin<qint64>(4, m_value * 4 / m_total));
        if (quarter > m_lastQuarter) {
            m_lastQuarter = quarter;
            // One arg() for all: the label may be a file name holding "%1".
            writeLine(QStringLiteral("%1: %2% (%3 of %4)")
                          .arg(m_label, QString::number(quarter * 25), formatBytes(m_value), formatBytes(m_total)));
        }
    }
}

void ProgressReporter::finish()
{
    if (!m_active)
        return;
    if (m_board) {
        m_lastBar = barText();
        m_active = false;
        if (!m_quiet && m_terminal)
            drawRow(true);
        return;
    }
    if (!m_quiet && m_terminal) {
        draw(true);
        std::fputc('\n', stderr);
        std::fflush(stderr);
        m_drawn = false;
    }
    m_active = false;
}

QString ProgressReporter::formatBytes(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KiB").arg(double(bytes) / 1024.0, 0, 'f', 1);
    return QStringLiteral("%1 MiB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

void ProgressReporter::clearLine()
{
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_drawn = false;
}

QString ProgressReporter::barText() const
{
    const qint64 now = m_clock.elapsed();
    QString line = m_label;
    if (m_total > 0) {
        const int width = 24;
        const qint64 shown = qBound<qint64>(0, m_value, m_total);
        const int filled = int(shown * width / m_total);
        line += QStringLiteral(" [%1%2] %3%")
                    .arg(QString(filled, QLatin1Char('#')), QString(width - filled, QLatin1Char('-')))
                    .arg(shown * 100 / m_total, 3);
    }
    if (m_unit == Bytes) {
        line += QStringLiteral(" %1").arg(formatBytes(m_value));
        if (m_total > 0)
            line += QStringLiteral("/%1").arg(formatBytes(m_total));
        if (m_rate.isKnown() && m_value > 0) {
            line += QStringLiteral(" %1/s").arg(formatBytes(qint64(m_rate.bytesPerSecond())));
            if (m_total > m_value && m_rate.secondsLeft() >= 0) {
                const qint64 left = qint64(m_rate.secondsLeft() + 0.5);
                line += QStringLiteral(" %1:%2 left").arg(left / 60).arg(left % 60, 2, 10, QLatin1Char('0'));
            }
        }
    } else if (m_total > 0) {
        line += QStringLiteral(" %1/%2").arg(m_value).arg(m_total);
    }
    return line;
}

void ProgressReporter::draw(bool force)
{
    if (m_board) {
        drawRow(force);
        return;
    }
    const qint64 now = m_clock.elapsed();
    if (!force && now - m_lastDraw < 100)
        return;
    m_lastDraw = now;
    const QString line = barText();
    std::fputs("\r\033[K", stderr);
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    m_drawn = true;
}

void ProgressReporter::drawRow(bool force)
{
    QString line = m_device;
    const QString bar = m_active ? barText() : m_lastBar;
    if (!bar.isEmpty())
        line += QStringLiteral("  ") + bar;
    if (!m_status.isEmpty())
        line += QStringLiteral("  ") + m_status;
    m_board->setRow(m_row, line, force);
}
