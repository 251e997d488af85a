#include "portenumerator.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

PortEnumerator::PortEnumerator(QObject* parent)
    : QObject(parent)
{
    m_timer.setInterval(PollInterval);
    connect(&m_timer, &QTimer::timeout, this, &PortEnumerator::pollNow);
}

QStringList PortEnumerator::virtualPorts()
{
    const QString list = qEnvironmentVariable("DOVREL_VIRTUAL_PORTS");
    QStringList ports;
    for (const QString& path : list.split(QDir::listSeparator(), Qt::SkipEmptyParts)) {
        const QString trimmed = path.trimmed();
        if (!trimmed.isEmpty() && !ports.contains(trimmed))
            ports << trimmed;
    }
    return ports;
}

QList<QMap<QString, QVariant>> PortEnumerator::getPorts()
{
    QList<QMap<QString, QVariant>> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        QMap<QString, QVariant> map;
        map.insert(QStringLiteral("portName"), info.portName());
        map.insert(QStringLiteral("friendName"), info.description());
        map.insert(QStringLiteral("physName"), info.systemLocation());
        map.insert(QStringLiteral("enumName"), info.manufacturer());
        map.insert(QStringLiteral("vendorID"), info.hasVendorIdentifier() ? int(info.vendorIdentifier()) : 0);
        map.insert(QStringLiteral("productID"), info.hasProductIdentifier() ? int(info.productIdentifier()) : 0);
        ports << map;
    }
    for (const QString& path : virtualPorts()) {
        QFileInfo file(path);
        if (!file.exists())
            continue;
        QMap<QString, QVariant> map;
        map.insert(QStringLiteral("portName"), path);
        map.insert(QStringLiteral("friendName"), QStringLiteral("Virtual device port"));
        map.insert(QStringLiteral("physName"), file.isSymLink() ? file.symLinkTarget() : path);
        map.insert(QStringLiteral("enumName"), QStringLiteral("virtual"));
        map.insert(QStringLiteral("vendorID"), DeviceVendorId);
        map.insert(QStringLiteral("productID"), DeviceProductId);
        ports << map;
    }
    return ports;
}

bool PortEnumerator::isDevicePort(const QMap<QString, QVariant>& info)
{
    return info.value(QStringLiteral("vendorID")).toInt() == DeviceVendorId
        && info.value(QStringLiteral("productID")).toInt() == DeviceProductId;
}

bool PortEnumerator::setUpNotifications()
{
    m_known.clear();
    for (const auto& info : getPorts())
        m_known.insert(info.value(QStringLiteral("portName")).toString(), info);
    m_timer.start();
    return true;
}

void PortEnumerator::pollNow()
{
    QMap<QString, QMap<QString, QVariant>> present;
    for (const auto& info : getPorts())
        present.insert(info.value(QStringLiteral("portName")).toString(), info);

    const QMap<QString, QMap<QString, QVariant>> before = m_known;
    m_known = present;
    for (auto it = before.constBegin(); it != before.constEnd(); ++it) {
        if (!present.contains(it.key()))
            emit deviceRemoved(it.value());
    }
    for (auto it = present.constBegin(); it != present.constEnd(); ++it) {
        if (!before.contains(it.key()))
            emit deviceDiscovered(it.value());
    }
}

} // namespace Runtime
} // namespace Tavrix
} // namespace Orvane
