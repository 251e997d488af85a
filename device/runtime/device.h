#ifndef DEVICE_H
#define DEVICE_H

#include "device_global.h"
#include "operationresult.h"
#include "servicerecord.h"

#include <QMap>
#include <QObject>
#include <QString>

#include <functional>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

class DevicePrivate;

// One identified device as this process knows it (by serial number, whatever its port),
// and the service history of what is done to it. Every front end starts an operation on
// a device through run(): it records the start, lets the front end start the operation on
// the device link, and completes the entry itself when that device's operation ends
// (operationEnded for the device's port). When the device comes back after a restart,
// in this process or in another one, the entry gets the software version it came back with.
// The entries are written on the history writer's thread: an operation never waits for them.
//
//   Device::beginRecording(ServiceRecord::WindowFrontEnd);   // once, at start
//   Device::at(port)->run(ServiceRecord::Upgrade, [&] { return manager->upgradeDeviceSoftware(content); }, packagePath);
class DEVICE_EXPORT Device : public QObject
{
    Q_OBJECT
public:
    ~Device() override;

    // Names the front end in the entries this process records ("dovrel", "dovrelctl"),
    // opens the history (a file that cannot be used is set aside: the returned text tells
    // the user, empty otherwise) and follows discovery for devices coming back. Does
    // nothing while the history is switched off.
    static QString beginRecording(const QString& frontEnd);
    static QString frontEnd();

    // The device identified at this port, made on first use and kept until the device
    // link goes; null when no device is identified there.
    static Device* at(const QString& port);
    // The device with this serial number if this process has met it.
    static Device* find(const QString& serial);

    QString serial() const;
    QString port() const;
    QMap<QString, QString> information() const;

    // Runs start(), which starts one operation on this device and says whether it did.
    // Started, the operation gets one entry: written now, completed at its end. A start
    // that is refused (false, and no end) leaves none. The package's file name and SHA-256
    // go into the entry. frontEnd overrides the process's front end (the batch window).
    bool run(Common::ServiceRecord::Operation operation, const std::function<bool()>& start,
             const QString& packagePath = QString(), const QString& frontEnd = QString());
    // The same on the device at port; without one there, only start().
    static bool run(const QString& port, Common::ServiceRecord::Operation operation, const std::function<bool()>& start,
                    const QString& packagePath = QString(), const QString& frontEnd = QString());
    // A command written without waiting for an answer (the window's identify, clock and
    // reboot): one finished entry at once.
    void recordSent(Common::ServiceRecord::Operation operation, bool restarts, const QString& frontEnd = QString());

    // An operation of this device is being recorded: started and not ended yet.
    bool isRecording() const;
    // The operation kind the device link reports for a history operation.
    static OperationResult::Kind kindOf(Common::ServiceRecord::Operation operation);
    static Common::ServiceRecord::Outcome outcomeOf(OperationResult::Outcome outcome);

private:
    explicit Device(const QMap<QString, QString>& info, QObject* parent);
    void setInformation(const QMap<QString, QString>& info);
    Common::ServiceRecord newRecord(Common::ServiceRecord::Operation operation, const QString& frontEnd) const;
    // Hooked to the device link: the end of an operation on this device's port.
    void onOperationEnded(const OperationResult& result);
    static void onDeviceIdentified(const QMap<QString, QString>& info);

    DevicePrivate* d;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICE_H
