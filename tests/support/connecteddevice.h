#ifndef CONNECTEDDEVICE_H
#define CONNECTEDDEVICE_H

#include "devportlink.h"
#include "emulator.h"

#include <QMap>
#include <QScopedPointer>
#include <QString>
#include <QStringList>

// An emulated device that the real SerialPortManager has discovered and identified.
// Its port is made known to discovery through DOVREL_VIRTUAL_PORTS.
class ConnectedDevice
{
public:
    ConnectedDevice();
    ~ConnectedDevice();

    // Starts the emulator with the given extra arguments and waits until the
    // manager announces the device; makes it the active port when asked.
    bool start(const QStringList& emulatorArgs = {}, bool makeActive = true, int timeoutMs = 20000);
    // The same with the device reached as a real one is, through a link under /dev that
    // stays when the device restarts under a new pseudo terminal. False (and isDevPath()
    // false) when /dev is not writable here.
    bool startUnderDev(const QStringList& emulatorArgs = {}, int timeoutMs = 20000);
    bool isDevPath() const { return !m_devLink.isNull() && m_devLink->isValid(); }

    DeviceEmulator& emulator() { return m_emulator; }
    QString port() const { return m_port; }
    QMap<QString, QString> info() const;

    // Pulls the cable: the emulator is killed and its port path disappears.
    void unplug();
    // Waits until the manager has forgotten the port.
    bool waitForRemoval(int timeoutMs = 10000);

private:
    bool announce(bool makeActive, int timeoutMs);

    DeviceEmulator m_emulator;
    QScopedPointer<DevPortLink> m_devLink;
    QString m_port;
};

#endif // CONNECTEDDEVICE_H
