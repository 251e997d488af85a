#ifndef DEVICESESSION_H
#define DEVICESESSION_H

#include "deviceinformation.h"
#include "exitcode.h"
#include "operationresult.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>

#include <functional>

class ProgressReporter;

namespace Orvane {
namespace Tavrix {
namespace Runtime {
class SerialPortManager;
}
}
}

// The CLI's hold on the device link: finds and identifies the device through the
// serial port manager's own discovery, runs one operation of the manager and
// returns when the manager says the operation has ended (operationEnded), with
// progress shown on the way. The CLI keeps no clock of its own on an operation:
// every time limit belongs to the library's watchdogs.
class DeviceSession : public QObject
{
    Q_OBJECT
public:
    // How progressUpdated is read.
    enum ProgressUnit { AddedBytes, Steps };

    struct Outcome
    {
        ExitCode exitCode = ExitCode::Success;
        QString error;
        bool deviceRestarts = false;
        bool noData = false; // the device has nothing to fetch (no data log)
        QStringList fonts;   // the installed fonts, for a font listing
    };

    explicit DeviceSession(ProgressReporter* progress, QObject* parent = nullptr);
    ~DeviceSession() override;

    // Starts discovery (a given port is registered first) and waits until exactly
    // one device is identified; Success, or the exit code with *error.
    ExitCode connectDevice(const QString& portOption, QString* error);
    // Identifies every matching port (or the given one).
    ExitCode listDevices(const QString& portOption, QList<QMap<QString, QString>>* devices, QString* error);

    QString port() const { return m_port; }
    QMap<QString, QString> info() const;
    Orvane::Tavrix::Runtime::DeviceInformation device() const;
    Orvane::Tavrix::Runtime::SerialPortManager* manager() const;

    // Runs start(), which starts one manager operation and says whether it did,
    // and returns once operationEnded has come for it.
    Outcome run(const std::function<bool()>& start, ProgressUnit unit = AddedBytes);

    // After an operation that restarted the device: if its port goes away within
    // settleMs, waits up to identifyMs for the device to be identified again.
    bool waitForDeviceBack(int settleMs, int identifyMs);


    static int identificationTimeoutMs();
    static QString permissionText(const QString& port);

private:
    ExitCode prepare(const QString& portOption, QString* error);
    // Runs the event loop until the condition holds, checked again whenever
    // discovery reports something; false when timeoutMs passed first.
    bool waitForDiscovery(const std::function<bool()>& condition, int timeoutMs);
    bool identificationSettled() const;
    // Waits for a port's path to exist, at most timeoutMs.
    static bool waitForPath(const QString& path, int timeoutMs);
    QSerialPort::SerialPortError probe(const QString& port, QString* errorText) const;

    ProgressReporter* m_progress = nullptr;
    QString m_port;
    QString m_requestedPort;
    mutable bool m_requestedPortSeen = false;
    QMap<QString, QString> m_probeFailures; // port -> why it cannot be opened
    QString m_refusal;                       // why discovery refused a device

    bool m_running = false;
    ProgressUnit m_unit = AddedBytes;
    Outcome m_outcome;
};

#endif // DEVICESESSION_H
