#ifndef SERIALDEVICESCANNER_H
#define SERIALDEVICESCANNER_H

#include "device_global.h"

#include <QAtomicInt>
#include <QMap>
#include <QObject>
#include <QSerialPort>
#include <QString>

class QTimer;

namespace Orvane {
namespace Tavrix {
namespace Runtime {

// Identifies the device on one port. Lives, with its port and timers, in a
// worker thread of its own; results leave through queued signals.
class DEVICE_EXPORT SerialDeviceScanner : public QObject
{
    Q_OBJECT
public:
    enum State { Failed = -1, WaitingForBoot = 0, WaitingForDescription = 1, Identified = 2 };

    SerialDeviceScanner(QSerialPort* port, QTimer* bootTimer, QTimer* scanTimer, bool bootUp, QObject* parent = nullptr);
    ~SerialDeviceScanner() override;

    int state() const { return m_state; }
    QString portName() const;

    // Scanners alive in the process, for leak checks.
    static int liveCount();

signals:
    // The port would not open: the port's error code, or -1 without one.
    void scanError(int lastError);
    void portOpened();
    void startBootTimer(int msecs);
    void stopBootTimer();
    void startScanTimer(int msecs);
    void stopScanTimer();
    void scanStopped();
    void deviceConnected(const QMap<QString, QString>& info);
    void deviceBootedUp();

public slots:
    void starScan();
    void stopScan();
    void onReadyRead();
    void onBootUpTimerFired();
    void onScanTimerFired();

private slots:
    void onPortError(QSerialPort::SerialPortError error);
    void onBootSettled();

private:
    void writeText(const QByteArray& text);
    void requestDescription(int scanMsecs);
    void examineReply(const QString& reply);
    void unrecognizedReply(const QString& reply);
    void closePort();

    QSerialPort* m_port;
    QTimer* m_bootTimer;
    QTimer* m_scanTimer;
    bool m_bootUp;
    int m_state;
    QMap<QString, QString> m_info;
    QString m_buffer;
    bool m_bootWaitClosed = false;
    bool m_replyWaitClosed = false;
    bool m_stopped = false;
    bool m_settling = false; // between "<BOOT_UP>" and the request
    int m_retries = 0;
    QString m_portName;

    static QAtomicInt s_liveCount;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // SERIALDEVICESCANNER_H
