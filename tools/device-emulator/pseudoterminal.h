#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

// The device's end of the serial line: a pty master whose slave plays the
// serial port. The emulator keeps a slave fd open for its whole life so the
// master never sees EIO while the program under test closes and reopens the
// port between operations.
class PseudoTerminal : public QObject
{
    Q_OBJECT
public:
    explicit PseudoTerminal(QObject* parent = nullptr);
    ~PseudoTerminal() override;

    bool open(QString* error);
    // Creates linkPath -> slave path; an existing symlink is replaced.
    bool createLink(const QString& linkPath, QString* error);
    void removeLink();
    void close();

    QString slavePath() const { return m_slavePath; }
    QString publicPath() const { return m_linkPath.isEmpty() ? m_slavePath : m_linkPath; }
    bool isOpen() const { return m_master >= 0; }

    // 0 means unlimited; limits both directions, like the baud rate of a real line.
    void setThrottle(int bytesPerSecond) { m_throttle = bytesPerSecond; }
    void write(const QByteArray& bytes);
    bool hasPendingOutput() const { return !m_outQueue.isEmpty(); }

signals:
    void received(const QByteArray& bytes);
    void outputDrained();

private:
    void onReadable();
    void pump();
    void deliver();

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_linkPath;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QTimer* m_throttleTimer = nullptr;
    QByteArray m_outQueue;
    int m_throttle = 0;
    QElapsedTimer m_throttleClock;
    double m_budget = 0;
    // Host-to-device bytes wait here until the line rate lets them "arrive".
    QByteArray m_inQueue;
    QTimer* m_inTimer = nullptr;
    QElapsedTimer m_inClock;
    double m_inBudget = 0;
    qint64 m_inLastNs = 0;
    qint64 m_lastNs = 0;
};
