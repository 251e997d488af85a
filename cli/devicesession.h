#ifndef DEVICESESSION_H
#define DEVICESESSION_H

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
// follows it until it has really ended (signal received, port closed, operation
// cleared), so the program never exits in the middle of a sequence or hangs.
class DeviceSession : public QObject
{
    Q_OBJECT
public:
    // How the end of an operation is recognised.
    enum Kind {
        ProgressOperation, // progressFinished / progressError
        DataLogRetrieval,  // retrievedDataLogFile / retrieveDataLogError / retrieveDataLogNoFile
        DataLogUpdate,     // its last step, no completion signal
        ProjectRetrieval,  // retrievedProjectFiles / retrieveProjectError
        FontListing        // notifyInstalledFonts
    };
    // How progressUpdated is read.
    enum ProgressUnit { AddedBytes, Steps };

    struct Outcome
    {
        int exitCode = 0;
        QString error;
        bool needReboot = false;
        bool noDataLog = false;
        QStringList fonts;
    };

    explicit DeviceSession(ProgressReporter* progress, QObject* parent = nullptr);
    ~DeviceSession() override;

    // Starts discovery (a given port is registered first) and waits until exactly
    // one device is identified; returns an exit code with *error on failure.
    int connectDevice(const QString& portOption, QString* error);
    // Identifies every matching port (or the given one).
    int listDevices(const QString& portOption, QList<QMap<QString, QString>>* devices, QString* error);

    QString port() const { return m_port; }
    QMap<QString, QString> info() const;
    Orvane::Tavrix::Runtime::SerialPortManager* manager() const;

    // Runs start() (which starts one manager operation and says whether it did)
    // and returns once the operation has ended.
    Outcome run(const std::function<bool()>& start, Kind kind, ProgressUnit unit = AddedBytes);

    // Waits for a re-identification of the port when the device restarted.
    bool waitForDevice(int timeoutMs);
    // After a sequence that ended with a restart of the device's runtime: waits
    // the settle time after the end of the last operation; when the port went
    // away meanwhile, waits for the device to be identified again.
    bool waitAfterRestart(int settleMs, int identifyMs);

    // Writes single commands with the port open, then lets them leave and closes it.
    bool openPort();
    void closePort();

    // Runs the event loop until the condition holds or the time is up.
    static bool waitFor(const std::function<bool()>& condition, int timeoutMs);

    static int identificationTimeoutMs();
    static QString permissionText(const QString& port);

private slots:
    void onProgressError(const QString& error, bool needReboot);
    void onProgressFinished(bool needReboot);
    void onDeviceDisconnected(const QMap<QString, QString>& info);

private:
    int prepare(const QString& portOption, QString* error);
    bool waitForIdentification(int timeoutMs);
    QSerialPort::SerialPortError probe(const QString& port, QString* errorText) const;
    void touch();

    ProgressReporter* m_progress = nullptr;
    QString m_port;
    QString m_requestedPort;
    QMap<QString, QString> m_probeFailures; // port -> why it cannot be opened
    QString m_refusal;                       // why discovery refused a device

    // State of the running operation.
    bool m_running = false;
    bool m_ended = false;
    bool m_lost = false;
    Outcome m_outcome;
    ProgressUnit m_unit = AddedBytes;
    qint64 m_lastActivity = 0;
    qint64 m_lastEnd = 0;
    int m_disconnects = 0;
};

#endif // DEVICESESSION_H
