#ifndef DEVICE_H
#define DEVICE_H

#include "device_global.h"
#include "operationresult.h"
#include "servicerecord.h"

#include <QMap>
#include <QObject>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Common {
class ServiceHistoryWriter;
}
namespace Runtime {

class DevicePrivate;

// One identified device as this process knows it (by serial number, whatever its port),
// and the service history of what is done to it. Operations are recorded by the
// OperationRun that runs them; when a device comes back after a restart, in this process
// or in another one, its entries get the software version it came back with.
// The entries are written on the history writer's thread: an operation never waits for them.
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

    // Where entries go; null while the history is switched off or its file cannot be used.
    static Common::ServiceHistoryWriter* historyWriter();
    // The operation kind the device link reports for a history operation.
    static OperationResult::Kind kindOf(Common::ServiceRecord::Operation operation);
    static Common::ServiceRecord::Outcome outcomeOf(OperationResult::Outcome outcome);

private:
    explicit Device(const QMap<QString, QString>& info, QObject* parent);
    void setInformation(const QMap<QString, QString>& info);
    static void onDeviceIdentified(const QMap<QString, QString>& info);

    DevicePrivate* d;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // DEVICE_H
