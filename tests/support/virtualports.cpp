#include "virtualports.h"

#include <QDir>
#include <QStringList>

namespace VirtualPorts {

void add(const QString& path)
{
    QStringList ports = qEnvironmentVariable("DOVREL_VIRTUAL_PORTS").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    if (!ports.contains(path))
        ports << path;
    qputenv("DOVREL_VIRTUAL_PORTS", ports.join(QDir::listSeparator()).toLocal8Bit());
}

void remove(const QString& path)
{
    QStringList ports = qEnvironmentVariable("DOVREL_VIRTUAL_PORTS").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    ports.removeAll(path);
    qputenv("DOVREL_VIRTUAL_PORTS", ports.join(QDir::listSeparator()).toLocal8Bit());
}

} // namespace VirtualPorts
