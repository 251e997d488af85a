#ifndef XMLHELPER_H
#define XMLHELPER_H

#include "device_global.h"

#include <QByteArray>
#include <QDomElement>
#include <QMap>
#include <QString>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Common {

// Reads a few facts out of project XML files without a full parse: the root
// element's name and "<Property name=... value=.../>" lines. When a name occurs
// on several property lines, the first one wins.
class DEVICE_EXPORT XmlHelper
{
public:
    static QMap<QString, QString> getValuesFromContent(const QString& content, const QStringList& names);
    static QMap<QString, QString> getValuesFromData(const QByteArray& utf8, const QStringList& names);
    static QMap<QString, QString> getValuesFromFile(const QString& path, const QStringList& names);

    static QString getValueFromContent(const QString& content, const QString& name, bool* ok = nullptr);
    static QString getValueFromData(const QByteArray& utf8, const QString& name, bool* ok = nullptr);
    static QString getValueFromFile(const QString& path, const QString& name, bool* ok = nullptr);

    static QString getRootTypeFromContent(const QString& content);
    static QString getRootTypeFromData(const QByteArray& utf8);
    static QString getRootTypeFromFile(const QString& path);

    // First child element with the tag name; a null element when there is none.
    static QDomElement getChildElement(const QDomElement& parent, const QString& tagName);
};

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

#endif // XMLHELPER_H
