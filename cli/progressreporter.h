#ifndef PROGRESSREPORTER_H
#define PROGRESSREPORTER_H

#include "transferrate.h"

#include <QElapsedTimer>
#include <QString>

class ProgressBoard;

// Progress on standard error: a redrawn bar with bytes, rate and time left when
// standard error is a terminal, plain step lines otherwise; nothing when quiet.
// On a board of several devices it is one device's line: the device's label, its
// bar and its last step.
class ProgressReporter
{
public:
    enum Unit { Bytes, Steps };

    explicit ProgressReporter(bool quiet);
    ProgressReporter(bool quiet, ProgressBoard* board, const QString& device);
    ~ProgressReporter();

    bool isTerminal() const { return m_terminal; }
    QString device() const { return m_device; }

    // A step line (the device link's progress messages and the like).
    void message(const QString& text);
    // A warning that is shown even when quiet.
    void warning(const QString& text);

    void begin(const QString& label, qint64 total, Unit unit = Bytes);
    void add(qint64 delta);
    void set(qint64 value);
    void setTotal(qint64 total);
    // The item is complete (the last received block is not reported on its own).
    void complete() { set(m_total); }
    void finish();

    static QString formatBytes(qint64 bytes);

private:
    QString barText() const;
    void draw(bool force);
    void drawRow(bool force);
    void clearLine();
    void writeLine(const QString& text);

    bool m_quiet = false;
    bool m_terminal = false;
    bool m_active = false;
    bool m_drawn = false;
    QString m_label;
    qint64 m_total = 0;
    qint64 m_value = 0;
    int m_lastQuarter = 0;
    Unit m_unit = Bytes;
    QElapsedTimer m_clock;
    // Speed and time left, measured as the program's windows measure them.
    Orvane::Tavrix::Common::TransferRate m_rate;
    qint64 m_lastDraw = -1000;

    ProgressBoard* m_board = nullptr;
    int m_row = -1;
    QString m_device;
    QString m_status; // the last step, shown at the end of the device's line
    QString m_lastBar;
};

#endif // PROGRESSREPORTER_H
