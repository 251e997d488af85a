#ifndef DEVICESESSION_H
#define DEVICESESSION_H

#include "deviceinformation.h"
#include "devicetask.h"
#include "exitcode.h"
#include "servicerecord.h"

#include <QList>
#include <QPair>
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
class DeviceLink;
class SerialPortManager;
}
}
}

// The CLI's hold on the devices: finds and identifies them through the serial port
// manager's own discovery, and runs one operation on the device's link, returning
// when the link says the operation has ended (operationEnded), with progress shown
// on the way.
class DeviceSession : public QObject
{
    Q_OBJECT
public:
    using ProgressUnit = DeviceTask::ProgressUnit;
    static constexpr ProgressUnit AddedBytes = DeviceTask::AddedBytes;
    static constexpr ProgressUnit Steps = DeviceTask::Steps;
    using Outcome = DeviceTask::Outcome;

    explicit DeviceSession(ProgressReporter* progress, QObject* parent = nullptr);
    ~DeviceSession() override;

    // Starts discovery (a given port is registered first) and waits until exactly
    // one device is identified; Success, or the exit code with *error.
    ExitCode connectDevice(const QString& portOption, QString* error);
    // Identifies every matching port (or the given one).
    ExitCode listDevices(const QString& portOption, QList<QMap<QString, QString>>* devices, QString* error);
    // Identifies the given ports (all matching ports when none is given) for a run on
    // several devices: *ports gets the identified ones, *failures a port and its reason
    // for each port that cannot be used. NoDevice with *error when there is neither.
    ExitCode connectDevices(const QStringList& portOptions, QStringList* ports, QList<QPair<QString, QString>>* failures,
                            QString* error);

    QString port() const { return m_port; }
    QMap<QString, QString> info() const;
    Orvane::Tavrix::Runtime::DeviceInformation device() const;
    Orvane::Tavrix::Runtime::SerialPortManager* manager() const;

    // Runs one operation on the device with start(link) and returns once it has ended.
    // The operation goes into the service history as the given one (none: not recorded).
    Outcome run(Orvane::Tavrix::Common::ServiceRecord::Operation operation,
                const std::function<bool(Orvane::Tavrix::Runtime::DeviceLink*)>& start);

    static int identificationTimeoutMs();
    static QString permissionText(const QString& port);
    static QString inUseText();

private:
    // With failures, a port that cannot be used is listed there instead of ending the run.
    ExitCode prepare(const QStringList& portOptions, QString* error, QList<QPair<QString, QString>>* failures = nullptr);
    // Runs the event loop until the condition holds, checked again whenever
    // discovery reports something; false when timeoutMs passed first.
    bool waitForDiscovery(const std::function<bool()>& condition, int timeoutMs);
    bool identificationSettled() const;
    QString notIdentifiedText(const QString& port, bool complete) const;
    QString unidentifiedText(const QString& port) const;
    // Waits for the ports' paths to exist, at most timeoutMs.
    static bool waitForPaths(const QStringList& paths, int timeoutMs);
    QSerialPort::SerialPortError probe(const QString& port, QString* errorText) const;
    // Waits while another program holds the port, at most timeoutMs; false when it still does.
    bool waitWhileInUse(const QString& port, int timeoutMs) const;

    ProgressReporter* m_progress = nullptr;
    QString m_port;
    QStringList m_requestedPorts;
    mutable QStringList m_requestedPortsSeen; // listed once: gone since means restarting
    QMap<QString, QString> m_probeFailures; // port -> why it cannot be opened
    QString m_refusal;                       // why discovery refused a device
};

#endif // DEVICESESSION_H
