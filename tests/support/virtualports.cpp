#include "virtualports.h"

#include "portenumerator.h"

#include <QDir>
#include <QStringList>

namespace VirtualPorts {

void add(const QString& path)
{
    QStringList ports = qEnvironmentVariable("DOVREL_VIRTUAL_PORTS").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    if (!ports.contains(path))
        ports << path;
    qputenv("DOVREL_VIRTUAL_PORTS", ports.join(QDir::listSeparator()).toLocal8Bit());
    Orvane::Tavrix::Runtime::PortEnumerator::reloadVirtualPorts();
}

void remove(const QString& path)
{
    QStringList ports = qEnvironmentVariable("DOVREL_VIRTUAL_PORTS").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    ports.removeAll(path);
    qputenv("DOVREL_VIRTUAL_PORTS", ports.join(QDir::listSeparator()).toLocal8Bit());
    Orvane::Tavrix::Runtime::PortEnumerator::reloadVirtualPorts();
}

} // namespace VirtualPorts
