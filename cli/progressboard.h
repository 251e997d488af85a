#ifndef PROGRESSBOARD_H
#define PROGRESSBOARD_H

#include <QElapsedTimer>
#include <QList>
#include <QString>

// Progress of several devices at once on standard error: one line per device, redrawn in
// place when standard error is a terminal; otherwise every step as a line of its own
// that starts with the device's label. Lines written through it (warnings, steps
// without a terminal) appear above the devices' lines.
class ProgressBoard
{
public:
    explicit ProgressBoard(bool terminal);
    ~ProgressBoard();

    bool isTerminal() const { return m_terminal; }

    // A new device line; its index.
    int addRow(const QString& text);
    void setRow(int row, const QString& text, bool force);
    void writeLine(const QString& text);
    // Leaves the devices' lines as they are and moves below them.
    void close();

private:
    void clear();
    void draw();
    int width() const;

    bool m_terminal = false;
    QList<QString> m_rows;
    int m_drawn = 0; // rows on the screen now
    QElapsedTimer m_clock;
    qint64 m_lastDraw = -1000;
};

#endif // PROGRESSBOARD_H
