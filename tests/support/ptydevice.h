#ifndef PTYDEVICE_H
#define PTYDEVICE_H

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTemporaryDir>

class QSocketNotifier;

// A device played by the test itself on a pseudo terminal: it answers the
// identification handshake and otherwise records every byte the program sends,
// so tests can check exact bytes and reply at exactly the moment they choose.
class PtyDevice : public QObject
{
    Q_OBJECT
public:
    explicit PtyDevice(QObject* parent = nullptr);
    ~PtyDevice() override;

    bool open();
    QString portPath() const { return m_linkPath; }
    // The pseudo terminal itself ("/dev/pts/N").
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    // Registers the port for discovery and waits until the manager identified it.
    bool connectToManager(bool makeActive = true, int timeoutMs = 20000);

    void setSerial(const QString& serial) { m_serial = serial; }
    QString hardwareDescription() const;
    void setAutoIdentify(bool on) { m_autoIdentify = on; }

    QByteArray received() const { return m_received; }
    void clearReceived() { m_received.clear(); }
    bool waitForReceived(const QByteArray& needle, int timeoutMs = 10000);
    void write(const QByteArray& bytes);

    // While paused the test does not read the master, so another process can own it.
    void setReadingPaused(bool paused);
    // Forwards everything between the pty and fd (another program's end of a socket pair),
    // so that program talks to the port without touching the line settings.
    void bridgeTo(int fd);
    void endBridge();

    // Pulls the cable: the link disappears and the pty closes.
    void unplug();

signals:
    void dataReceived(const QByteArray& data);

private:
    void onReadable();
    static void writeAll(int fd, const QByteArray& bytes);

    QTemporaryDir m_dir;
    QString m_linkPath;
    QString m_slavePath;
    int m_master = -1;
    int m_slave = -1;
    QSocketNotifier* m_notifier = nullptr;
    QSocketNotifier* m_bridgeNotifier = nullptr;
    int m_bridge = -1;
    QByteArray m_received;
    QByteArray m_pending;
    QString m_serial = QStringLiteral("PTY0001");
    bool m_autoIdentify = true;
};

#endif // PTYDEVICE_H
