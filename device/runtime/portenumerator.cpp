#include "portenumerator.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace Orvane {
namespace Tavrix {
namespace Runtime {

namespace {

QStringList& restriction()
{
    static QStringList ports;
    return ports;
}

// The device file a name finally reaches; empty when it does not exist.
QString targetOf(const QString& canonicalName)
{
#ifdef Q_OS_WIN
    return canonicalName.toUpper();
#else
    return QFileInfo(canonicalName).canonicalFilePath();
#endif
}

} // namespace

PortEnumerator::PortEnumerator(QObject* parent)
    : QObject(parent)
{
    m_timer.setInterval(PollInterval);
    connect(&m_timer, &QTimer::timeout, this, &PortEnumerator::pollNow);
}

QString PortEnumerator::canonicalPortName(const QString& name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return QString();
#ifdef Q_OS_WIN
    // "\\.\COM12" is the system location of "COM12".
    QString port = trimmed;
    if (port.startsWith(QLatin1String("\\\\.\\")))
        port = port.mid(4);
    return port;
#else
    if (trimmed.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(trimmed);
    // A path relative to the working folder stays one; otherwise, as QSerialPort has it,
    // the name lives under /dev ("ttyACM0", and "pts/3", its short form of /dev/pts/3).
    if (trimmed.startsWith(QLatin1String("./")) || trimmed.startsWith(QLatin1String("../"))
        || (trimmed.contains(QLatin1Char('/')) && QFileInfo::exists(trimmed)))
        return QDir::cleanPath(QFileInfo(trimmed).absoluteFilePath());
    return QDir::cleanPath(QStringLiteral("/dev/") + trimmed);
#endif
}

bool PortEnumerator::isSamePort(const QString& first, const QString& second)
{
    const QString a = canonicalPortName(first);
    const QString b = canonicalPortName(second);
    if (a.isEmpty() || b.isEmpty())
        return false;
    if (a == b)
        return true;
    const QString target = targetOf(a);
    return !target.isEmpty() && target == targetOf(b);
}

QString PortEnumerator::resolvePortName(const QString& name)
{
    for (const auto& info : allPorts()) {
        const QString listed = info.value(QStringLiteral("portName")).toString();
        if (isSamePort(listed, name))
            return listed;
    }
    return canonicalPortName(name);
}

void PortEnumerator::setPortRestriction(const QStringList& ports)
{
    QStringList names;
    for (const QString& port : ports) {
        const QString name = canonicalPortName(port);
        if (!name.isEmpty() && !names.contains(name))
            names << name;
    }
    restriction() = names;
}

QStringList PortEnumerator::portRestriction()
{
    return restriction();
}

QStringList PortEnumerator::virtualPorts()
{
    const QString list = qEnvironmentVariable("DOVREL_VIRTUAL_PORTS");
    QStringList ports;
    for (const QString& path : list.split(QDir::listSeparator(), Qt::SkipEmptyParts)) {
        const QString name = canonicalPortName(path);
        if (!name.isEmpty() && !ports.contains(name))
            ports << name;
    }
    return ports;
}

QList<QMap<QString, QVariant>> PortEnumerator::allPorts()
{
    QList<QMap<QString, QVariant>> ports;
    QStringList targets; // one entry per device file, however many names reach it
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_WIN
        const QString name = canonicalPortName(info.portName());
#else
        const QString name = canonicalPortName(info.systemLocation());
#endif
        QMap<QString, QVariant> map;
        map.insert(QStringLiteral("portName"), name);
        map.insert(QStringLiteral("friendName"), info.description());
        map.insert(QStringLiteral("physName"), info.systemLocation());
        map.insert(QStringLiteral("enumName"), info.manufacturer());
        map.insert(QStringLiteral("vendorID"), info.hasVendorIdentifier() ? int(info.vendorIdentifier()) : 0);
        map.insert(QStringLiteral("productID"), info.hasProductIdentifier() ? int(info.productIdentifier()) : 0);
        ports << map;
        targets << targetOf(name);
    }
    for (const QString& path : virtualPorts()) {
        QFileInfo file(path);
        if (!file.exists())
            continue;
        const QString target = targetOf(path);
        if (!target.isEmpty() && targets.contains(target))
            continue;
        targets << target;
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

QList<QMap<QString, QVariant>> PortEnumerator::getPorts()
{
    const QList<QMap<QString, QVariant>> all = allPorts();
    const QStringList& allowed = restriction();
    if (allowed.isEmpty())
        return all;
    QList<QMap<QString, QVariant>> ports;
    for (const auto& info : all) {
        const QString name = info.value(QStringLiteral("portName")).toString();
        for (const QString& port : allowed) {
            if (isSamePort(name, port)) {
                ports << info;
                break;
            }
        }
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
