#ifndef RESTARTWATCHER_H
#define RESTARTWATCHER_H

#include "device_global.h"

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

class DeviceLink;
class OperationResult;

// Waits for a device that has just been told to restart to be back: identified again with
// the same serial number, on whatever port. A device that leaves the bus is back when
// discovery identifies it anew; one that stays is asked for its description once its
// restart has had time to begin, and again until it answers or leaves. There is no guess
// of how long a restart takes: a device that stays on the line for seconds before it
// leaves is followed as well. Ends once, with finished().
class DEVICE_EXPORT RestartWatcher : public QObject
{
    Q_OBJECT
public:
    enum State { Waiting, Back, Lost };
    Q_ENUM(State)

    // When the device that stayed on the line is first asked, and how long it has to answer.
    static constexpr int ProbeAfterMs = 1000;
    static constexpr int ProbeReplyMs = 1500;
    // How long a real device may take to come back.
    static constexpr int ReturnMs = 45000;

    // port: where the device was when it was told to restart (empty: where it is now).
    explicit RestartWatcher(const QString& serial, const QString& port = QString(), int returnMs = ReturnMs,
                            QObject* parent = nullptr);

    QString serial() const { return m_serial; }
    State state() const { return m_state; }
    // The device's port and record once it is back.
    QString port() const { return m_port; }
    QMap<QString, QString> information() const { return m_info; }

signals:
    void finished(bool back);

private:
    void onDeviceConnected(const QMap<QString, QString>& info);
    void onDeviceDisconnected(const QMap<QString, QString>& info);
    void probe();
    void leave();
    void onProbeEnded(const OperationResult& result);
    void finish(State state);

    QString m_serial;
    QString m_port;
    QMap<QString, QString> m_info;
    // Ports where another device with the same serial number was: never taken for this one.
    QStringList m_twinPorts;
    State m_state = Waiting;
    bool m_gone = false;
    QPointer<DeviceLink> m_probing;
    QTimer m_probe;
    QTimer m_return;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // RESTARTWATCHER_H
