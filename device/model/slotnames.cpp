#include "slotnames.h"
#include "systemhelper.h"

#include "localizationhelper.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSettings>

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

const char* const SlotsKey = "usbSlots";

} // namespace

SlotNames* SlotNames::instance()
{
    static QPointer<SlotNames> names;
    if (!names && QCoreApplication::instance())
        names = new SlotNames(QCoreApplication::instance());
    return names;
}

QMap<QString, QString> SlotNames::all()
{
    // One value, not a group: physical paths are full of the separators of settings keys.
    const QVariantMap stored = SystemHelper::userSettings().value(QLatin1String(SlotsKey)).toMap();
    QMap<QString, QString> names;
    for (auto it = stored.constBegin(); it != stored.constEnd(); ++it) {
        const QString name = it.value().toString().trimmed();
        if (!it.key().isEmpty() && !name.isEmpty())
            names.insert(it.key(), name);
    }
    return names;
}

QString SlotNames::nameOf(const QString& slotPath)
{
    return slotPath.isEmpty() ? QString() : all().value(slotPath);
}

QString SlotNames::pathOf(const QString& name)
{
    const QString wanted = name.trimmed();
    const QMap<QString, QString> names = all();
    for (auto it = names.constBegin(); it != names.constEnd(); ++it) {
        if (it.value().compare(wanted, Qt::CaseInsensitive) == 0)
            return it.key();
    }
    return QString();
}

bool SlotNames::setName(const QString& slotPath, const QString& name, QString* error)
{
    return setNames({ { slotPath, name } }, error);
}

bool SlotNames::setNames(const QMap<QString, QString>& names, QString* error)
{
    QMap<QString, QString> merged = all();
    const QMap<QString, QString> before = merged;
    for (auto it = names.constBegin(); it != names.constEnd(); ++it) {
        const QString name = it.value().simplified();
        if (it.key().isEmpty())
            continue;
        if (name.isEmpty())
            merged.remove(it.key());
        else
            merged.insert(it.key(), name);
    }
    QMap<QString, QString> taken; // lower-case name -> path
    for (auto it = merged.constBegin(); it != merged.constEnd(); ++it) {
        const QString key = it.value().toLower();
        if (taken.contains(key)) {
            if (error)
                *error = runtimeText("Two USB slots cannot both be named %1.").arg(it.value());
            return false;
        }
        taken.insert(key, it.key());
    }
    if (merged == before)
        return true;
    QVariantMap stored;
    for (auto it = merged.constBegin(); it != merged.constEnd(); ++it)
        stored.insert(it.key(), it.value());
    SystemHelper::userSettings().setValue(QLatin1String(SlotsKey), stored);
    if (SlotNames* notifier = instance())
        emit notifier->changed();
    return true;
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
