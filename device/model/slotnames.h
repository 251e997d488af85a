#ifndef SLOTNAMES_H
#define SLOTNAMES_H

#include "device_global.h"

#include <QMap>
#include <QObject>
#include <QString>

namespace Orvane {
namespace Tavrix {
namespace Common {

// The names an operator gives the USB sockets of a station ("Slot 1", "Slot 2", ...).
// A socket is known by the physical path of the port plugged into it (udev's ID_PATH,
// or the USB interface's sysfs path where udev has none): it stays the same when the
// kernel numbers the port anew, so a device plugged in again keeps its slot. Ports
// without a physical path (virtual, emulated) have no slot. The names are a setting of
// the user, shared by the program and dovrelctl. PortEnumerator gives each port its path
// and finds the port at a path.
class DEVICE_EXPORT SlotNames : public QObject
{
    Q_OBJECT
public:
    // For changed(); null without an application.
    static SlotNames* instance();

    // Physical path -> name, every named slot.
    static QMap<QString, QString> all();
    // The name of the slot at this physical path; empty when it has none.
    static QString nameOf(const QString& slotPath);
    // The physical path of the slot of this name (case does not matter); empty when none.
    static QString pathOf(const QString& name);
    // Names the slot at slotPath; an empty name forgets it. False, with the reason, when
    // another slot has the name already.
    static bool setName(const QString& slotPath, const QString& name, QString* error = nullptr);
    // Names several slots at once (path -> name; an empty name forgets one), the others
    // kept: two slots may swap their names. False, with the reason, and nothing changed
    // when two slots would have one name.
    static bool setNames(const QMap<QString, QString>& names, QString* error = nullptr);


signals:
    void changed();

private:
    using QObject::QObject;
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // SLOTNAMES_H
