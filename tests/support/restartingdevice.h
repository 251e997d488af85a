#ifndef RESTARTINGDEVICE_H
#define RESTARTINGDEVICE_H

#include "emulator.h"

#include <QMap>
#include <QString>
#include <QStringList>

// An emulated device as the program meets a real one: its port is a node under /dev
// (a link the emulator itself keeps, like /dev/ttyACM0), it leaves the bus on every
// restart and comes back under the same path, and it can be unplugged. Found by the
// program's own discovery through DOVREL_VIRTUAL_PORTS. Needs a writable /dev.
class RestartingDevice
{
public:
    RestartingDevice();
    ~RestartingDevice();

    static bool devIsWritable();

    // Starts the emulator (restarting in restartMs) and, unless told otherwise, waits
    // until the manager has identified the device.
    bool start(const QStringList& args = {}, int restartMs = 700, bool waitForIdentification = true);
    bool waitForIdentification(int timeoutMs = 30000) const;
    // How often the device has left the bus for a restart so far.
    int restarts() const;
    // Waits until the device has restarted more than `restartsBefore` times and has been
    // identified again after the last restart.
    bool waitForReturn(int restartsBefore, int timeoutMs = 30000) const;
    bool isIdentified() const;
    // Pulls the cable; the path goes away for good.
    void unplug();
    void stop();

    QString port() const { return m_port; }
    QString serial() const { return m_serial; }
    QMap<QString, QString> info() const;
    // Got only what every newly shown device gets: its identification and its clock.
    bool onlyIdentified() const;

    DeviceEmulator emulator;

private:
    QString m_port;
    QString m_serial;
};

#endif // RESTARTINGDEVICE_H
