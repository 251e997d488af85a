#ifndef SERIALPORTMANAGER_P_H
#define SERIALPORTMANAGER_P_H

#include "devicelink_p.h"

#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <QVariant>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

class DeviceLink;
class PortEnumerator;
class SerialDeviceScanner;

class SerialPortManagerPrivate
{
public:
    QString m_activePort;
    // One link per identified device, by port name.
    QMap<QString, DeviceLink*> m_links;
    // Ports found again while their link was busy: identified once it is free.
    QStringList m_deferredScans;

    // Discovery.
    PortEnumerator* m_enumerator = nullptr;
    QStringList m_devicePorts;
    QMap<QString, QMap<QString, QVariant>> m_serialDevices;
    QMap<QString, QMap<QString, QString>> m_devices;
    QStringList m_deniedPorts; // device ports this user may not open
    QStringList m_portsInUse;  // device ports another program holds: tried again
    QTimer* m_inUseRetry = nullptr;
    struct ScannerRecord
    {
        QString portName;
        QPointer<SerialDeviceScanner> scanner;
        QPointer<QThread> thread;
    };
    QList<ScannerRecord> m_scanners;
    QMap<QString, QString> m_designerVersions;
};

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane

#endif // SERIALPORTMANAGER_P_H
