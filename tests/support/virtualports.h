#ifndef VIRTUALPORTS_H
#define VIRTUALPORTS_H

#include <QString>

// Ports listed in DOVREL_VIRTUAL_PORTS count as device ports while their path exists;
// a change of the list is made known to discovery at once.
namespace VirtualPorts {
void add(const QString& path);
void remove(const QString& path);
}

#endif // VIRTUALPORTS_H
