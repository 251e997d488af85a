#ifndef RESTARTWATCHER_H
#define RESTARTWATCHER_H

#include "device_global.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

// Waits for a device that has just been told to restart to be back: its port goes
// away and the device (known by its serial number) is identified again, under
// whatever port. A device whose port stays through the restart counts as back once
// settleMs have passed without it going. Ends once, with finished().
class DEVICE_EXPORT RestartWatcher : public QObject
{
    Q_OBJECT
public:
    enum State { Waiting, Back, Lost };
    Q_ENUM(State)

    // How long a real device may take to leave the bus, and to come back.
    static constexpr int SettleMs = 2000;
    static constexpr int ReturnMs = 45000;

    explicit RestartWatcher(const QString& serial, int settleMs = SettleMs, int returnMs = ReturnMs,
                            QObject* parent = nullptr);

    QString serial() const { return m_serial; }
    State state() const { return m_state; }
    // The device's port once it is back.
    QString port() const { return m_port; }

signals:
    void finished(bool back);

private:
    void onDeviceConnected(const QMap<QString, QString>& info);
    void onDeviceDisconnected(const QMap<QString, QString>& info);
    void finish(State state);

    QString m_serial;
    QString m_port;
    State m_state = Waiting;
    bool m_gone = false;
    int m_returnMs = ReturnMs;
    QTimer m_settle;
    QTimer m_return;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // RESTARTWATCHER_H
