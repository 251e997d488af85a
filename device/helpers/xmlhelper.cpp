#include "xmlhelper.h"

#include "diagnostics.h"
#include "texthelper.h"

#include <QDebug>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

using Orvane::Tavrix::Common::lcFiles;

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

bool readFile(const QString& path, QString* content)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCDebug(lcFiles).noquote() << QStringLiteral("Cannot read %1").arg(path);
        return false;
    }
    *content = QString::fromUtf8(file.readAll());
    return true;
}

// The attribute must stand on its own ("filename=" is not "name=").
QString attribute(const QString& line, const QRegularExpression& expression, bool* found)
{
    const QRegularExpressionMatch match = expression.match(line);
    *found = match.hasMatch();
    return match.captured(1);
}

} // namespace

QMap<QString, QString> XmlHelper::getValuesFromContent(const QString& content, const QStringList& names)
{
    static const QRegularExpression nameExpression(QStringLiteral("\\sname=\"([^\"]*)\""));
    static const QRegularExpression valueExpression(QStringLiteral("\\svalue=\"([^\"]*)\""));

    QMap<QString, QString> values;
    const int wanted = QSet<QString>(names.begin(), names.end()).size();
    if (wanted == 0)
        return values;
    const QStringList lines = TextHelper::formatLineEndings(content).trimmed().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (!line.startsWith(QLatin1String("<Property")) || !line.endsWith(QLatin1String("/>")))
            continue;
        bool hasName = false;
        bool hasValue = false;
        const QString name = attribute(line, nameExpression, &hasName);
        const QString value = attribute(line, valueExpression, &hasValue);
        if (!hasName || !hasValue)
            continue;
        if (names.contains(name) && !values.contains(name)) {
            values.insert(name, value);
            if (values.size() == wanted)
                break;
        }
    }
    return values;
}

QMap<QString, QString> XmlHelper::getValuesFromData(const QByteArray& utf8, const QStringList& names)
{
    return getValuesFromContent(QString::fromUtf8(utf8), names);
}

QMap<QString, QString> XmlHelper::getValuesFromFile(const QString& path, const QStringList& names)
{
    QString content;
    if (!readFile(path, &content))
        return QMap<QString, QString>();
    return getValuesFromContent(content, names);
}

QString XmlHelper::getValueFromContent(const QString& content, const QString& name, bool* ok)
{
    const QMap<QString, QString> values = getValuesFromContent(content, QStringList() << name);
    if (ok)
        *ok = values.contains(name);
    return values.value(name);
}

QString XmlHelper::getValueFromData(const QByteArray& utf8, const QString& name, bool* ok)
{
    return getValueFromContent(QString::fromUtf8(utf8), name, ok);
}

QString XmlHelper::getValueFromFile(const QString& path, const QString& name, bool* ok)
{
    QString content;
    if (!readFile(path, &content)) {
        if (ok)
            *ok = false;
        return QString();
    }
    return getValueFromContent(content, name, ok);
}

QString XmlHelper::getRootTypeFromContent(const QString& content)
{
    const QStringList lines = TextHelper::formatLineEndings(content).split(QLatin1Char('\n'));
    for (const QString& rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.size() < 3 || !line.startsWith(QLatin1Char('<')) || !line.endsWith(QLatin1Char('>')))
            continue;
        // Declarations and comments are not elements.
        if (line.startsWith(QLatin1String("<?")) || line.startsWith(QLatin1String("<!")))
            continue;
        bool bare = true;
        for (const QChar c : line) {
            if (c == QLatin1Char('"') || c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char('=')
                || c == QLatin1Char(' ')) {
                bare = false;
                break;
            }
        }
        if (bare)
            return line.mid(1, line.size() - 2);
    }
    return QString();
}

QString XmlHelper::getRootTypeFromData(const QByteArray& utf8)
{
    return getRootTypeFromContent(QString::fromUtf8(utf8));
}

QString XmlHelper::getRootTypeFromFile(const QString& path)
{
    QString content;
    if (!readFile(path, &content))
        return QString();
    return getRootTypeFromContent(content);
}

QDomElement XmlHelper::getChildElement(const QDomElement& parent, const QString& tagName)
{
    if (parent.isNull())
        return QDomElement();
    return parent.firstChildElement(tagName);
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
