#include "localizationhelper.h"

#include "diagnostics.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QSettings>

using Orvane::Tavrix::Common::lcLocalization;

namespace Orvane {
namespace Tavrix {
namespace Common {

namespace {

QPointer<LocalizationHelper> g_appTranslator;

QString followShortcut(const QString& path)
{
    QFileInfo info(path);
#ifdef Q_OS_WIN
    if (info.isShortcut())
        return info.symLinkTarget();
#endif
    if (info.isSymLink())
        return info.symLinkTarget();
    return path;
}

bool isFolder(const QString& path)
{
    QFileInfo info(path);
    return info.exists() && info.isDir();
}

} // namespace

LocalizationHelper::LocalizationHelper(const QString& directory, const QString& locale, QObject* parent)
    : QObject(parent)
{
    chooseLocale(locale);
    findLocaleFolder(directory);
    if (!m_localizationPath.isEmpty())
        loadTables();
}

LocalizationHelper::~LocalizationHelper() = default;

LocalizationHelper* LocalizationHelper::appTranslator()
{
    if (g_appTranslator)
        return g_appTranslator;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return nullptr;
    g_appTranslator = new LocalizationHelper(QString(), QString(), app);
    qCDebug(lcLocalization).noquote() << QStringLiteral("Set application locale to %1").arg(g_appTranslator->currentLocale());
    return g_appTranslator;
}

void LocalizationHelper::chooseLocale(const QString& locale)
{
    if (!locale.isEmpty()) {
        m_currentLocale = locale;
        return;
    }
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"), QStringLiteral("Lumatra"));
    if (settings.contains(QStringLiteral("language"))) {
        m_currentLocale = settings.value(QStringLiteral("language")).toString();
        return;
    }
    const QLocale system = QLocale::system();
    const QString language = QLocale::languageToCode(system.language()).left(5);
    const QString country = QLocale::territoryToCode(system.territory()).left(5);
    m_currentLocale = QStringLiteral("%1_%2").arg(language, country);
}

void LocalizationHelper::findLocaleFolder(const QString& directory)
{
    m_localizationPath.clear();
    QString base;
    if (!directory.isEmpty() && isFolder(directory)) {
        base = QDir(directory).absolutePath();
    } else {
        // Beside the executable in a build tree; under share/dovrel when installed.
        const QString programDir = QCoreApplication::applicationDirPath();
        for (const QString& candidate : { programDir + QStringLiteral("/Localizations"),
                                          programDir + QStringLiteral("/../share/dovrel/Localizations") }) {
            if (isFolder(candidate)) {
                base = QDir(candidate).absolutePath();
                break;
            }
        }
        if (base.isEmpty()) {
            qCDebug(lcLocalization) << "Cannot find localizations directory.";
            return;
        }
    }

    const QString exact = base + QLatin1Char('/') + m_currentLocale;
    if (!m_currentLocale.isEmpty() && isFolder(exact)) {
        m_localizationPath = QDir(exact).absolutePath();
        return;
    }

    const QStringList aliases = getLocaleAlias(m_currentLocale);
    for (int i = aliases.size() - 1; i >= 0; --i) {
        const QString candidate = followShortcut(base + QLatin1Char('/') + aliases.at(i));
        if (isFolder(candidate)) {
            qCDebug(lcLocalization).noquote() << QStringLiteral("Reset locale from %1 to %2").arg(m_currentLocale, aliases.at(i));
            m_currentLocale = aliases.at(i);
            m_localizationPath = QDir(candidate).absolutePath();
            return;
        }
    }

    const QString english = base + QStringLiteral("/en");
    if (isFolder(english)) {
        qCDebug(lcLocalization).noquote() << QStringLiteral("Reset locale from %1 to en").arg(m_currentLocale);
        m_currentLocale = QStringLiteral("en");
        m_localizationPath = QDir(english).absolutePath();
        return;
    }
    qCDebug(lcLocalization) << "Cannot find default directory.";
}

void LocalizationHelper::loadTables()
{
    QDir dir(m_localizationPath);
    const QFileInfoList files = dir.entryInfoList(QStringList() << QStringLiteral("*.strings"), QDir::Files | QDir::Readable);
    QList<QFileInfo> usable;
    for (const QFileInfo& info : files) {
        if (info.isReadable() && info.size() > 0)
            usable << info;
    }
    m_tables.clear();
    for (const QFileInfo& info : usable) {
        const QString name = info.fileName().left(info.fileName().size() - 8);
        QMap<QString, QString> table;
        QFile file(info.absoluteFilePath());
        if (!file.open(QIODevice::ReadOnly)) {
            m_tables.insert(name, table);
            continue;
        }
        file.close();
        // A malformed file contributes no table at all.
        if (parseStringsFile(info.absoluteFilePath(), &table))
            m_tables.insert(name, table);
    }
}

bool LocalizationHelper::parseStringsFile(const QString& filePath, QMap<QString, QString>* table)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString path = QFileInfo(filePath).absoluteFilePath();
    QMap<QString, QString> entries;
    int commentDepth = 0;
    int lineNumber = 0;
    while (!file.atEnd()) {
        QString line = QString::fromUtf8(file.readLine());
        ++lineNumber;
        line.remove(QLatin1Char('\r'));
        line = line.trimmed();
        if (line.isEmpty())
            continue;

        // Comments: "//" lines, and "/* ... */" blocks whose markers start or end a line.
        const bool opens = line.startsWith(QLatin1String("/*"));
        const bool closes = line.endsWith(QLatin1String("*/")) && !(opens && line.size() < 4);
        if (commentDepth == 0 && line.startsWith(QLatin1String("//")))
            continue;
        if (opens || closes || commentDepth > 0) {
            if (opens)
                ++commentDepth;
            if (closes)
                --commentDepth;
            if (commentDepth < 0) {
                qCDebug(lcLocalization).noquote() << QStringLiteral("Error reading at line %1 in file %2").arg(lineNumber).arg(path);
                return false;
            }
            continue;
        }

        QStringList pieces { QString() };
        for (int i = 0; i < line.size(); ++i) {
            const QChar c = line.at(i);
            if (c == QLatin1Char('\\')) {
                if (i + 1 >= line.size()) {
                    qCDebug(lcLocalization).noquote() << QStringLiteral("Error line ending at %1 in file %2").arg(lineNumber).arg(path);
                    return false;
                }
                const QChar next = line.at(++i);
                if (next == QLatin1Char('\\'))
                    pieces.last() += QLatin1Char('\\');
                else if (next == QLatin1Char('"'))
                    pieces.last() += QLatin1Char('"');
                else if (next == QLatin1Char('n'))
                    pieces.last() += QLatin1Char('\n');
                else {
                    qCDebug(lcLocalization).noquote() << QStringLiteral("Character '%1' cannot be escaped at line %2 in file %3").arg(QString(next), QString::number(lineNumber), path);
                    return false;
                }
            } else if (c == QLatin1Char('"')) {
                pieces << QString();
            } else {
                pieces.last() += c;
            }
        }
        if (pieces.size() != 5 || !pieces.at(0).isEmpty()) {
            qCDebug(lcLocalization).noquote() << QStringLiteral("Wrong format at line %1 in file %2").arg(lineNumber).arg(path);
            return false;
        }
        if (pieces.at(2).trimmed() != QLatin1String("=")) {
            qCDebug(lcLocalization).noquote() << QStringLiteral("Unexpected character between the key and the value at line %1 in file %2").arg(lineNumber).arg(path);
            return false;
        }
        if (pieces.at(4).trimmed() != QLatin1String(";")) {
            qCDebug(lcLocalization).noquote() << QStringLiteral("Unexpected line ending at %1 in file %2").arg(lineNumber).arg(path);
            return false;
        }
        if (pieces.at(1).isEmpty()) {
            qCDebug(lcLocalization).noquote() << QStringLiteral("Undefined key at line %1 in file %2").arg(lineNumber).arg(path);
            return false;
        }
        entries.insert(pieces.at(1), pieces.at(3));
    }
    if (commentDepth != 0) {
        qCDebug(lcLocalization).noquote() << QStringLiteral("Error reading at line %1 in file %2").arg(lineNumber).arg(path);
        return false;
    }
    if (table)
        *table = entries;
    return true;
}

QString LocalizationHelper::localizedString(const QString& table, const QString& key, const QString& defaultValue) const
{
    const auto it = m_tables.constFind(table);
    if (it != m_tables.constEnd()) {
        const auto entry = it->constFind(key);
        if (entry != it->constEnd())
            return entry.value();
        if (!defaultValue.isEmpty()) {
            qCWarning(lcLocalization).noquote() << QStringLiteral("Cannot find \"%1\" in table \"%2\", return default value \"%3\".").arg(key, table, defaultValue);
            return defaultValue;
        }
        qCWarning(lcLocalization).noquote() << QStringLiteral("Cannot find \"%1\" in table \"%2\", no default value is given.").arg(key, table);
        return key;
    }
    if (!defaultValue.isEmpty()) {
        qCWarning(lcLocalization).noquote() << QStringLiteral("Cannot find table \"%1\", return default value \"%2\" for key \"%3\".").arg(table, defaultValue, key);
        return defaultValue;
    }
    qCWarning(lcLocalization).noquote() << QStringLiteral("Cannot find table \"%1\", return key \"%2\".").arg(table, key);
    return key;
}

QString LocalizationHelper::localizedString(const QString& key) const
{
    return localizedString(QStringLiteral("Localizable"), key, key);
}

namespace {
QString lookup(const char* table, const QString& key)
{
    LocalizationHelper* translator = LocalizationHelper::appTranslator();
    if (!translator)
        return key;
    return translator->localizedString(QString::fromLatin1(table), key, key);
}
} // namespace

QString LocalizationHelper::applicationString(const QString& key) { return lookup("Localizable", key); }
QString LocalizationHelper::deviceString(const QString& key) { return lookup("Device", key); }
QString LocalizationHelper::runtimeString(const QString& key) { return lookup("Runtime", key); }
QString LocalizationHelper::guiString(const QString& key) { return lookup("Gui", key); }

QString deviceText(const char* key) { return lookup("Device", QString::fromUtf8(key)); }
QString runtimeText(const char* key) { return lookup("Runtime", QString::fromUtf8(key)); }
QString guiText(const char* key) { return lookup("Gui", QString::fromUtf8(key)); }
QString localizableText(const char* key) { return lookup("Localizable", QString::fromUtf8(key)); }

QMap<QString, QString> LocalizationHelper::localizedStringsFromTable(const QString& table) const
{
    return m_tables.value(table);
}

QStringList LocalizationHelper::tables() const
{
    return m_tables.keys();
}

QStringList LocalizationHelper::locales() const
{
    if (m_localizationPath.isEmpty() || !QFileInfo::exists(m_localizationPath))
        return QStringList();
    QDir base(m_localizationPath);
    base.cdUp();
    return base.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

QString LocalizationHelper::currentLocale() const { return m_currentLocale; }
QString LocalizationHelper::localizationPath() const { return m_localizationPath; }

QString LocalizationHelper::localizedFilePath(const QString& name) const
{
    const QString path = QStringLiteral("%1/%2").arg(m_localizationPath, name);
    if (!m_localizationPath.isEmpty() && QFileInfo::exists(path))
        return QFileInfo(path).absoluteFilePath();
    return QString();
}

QStringList LocalizationHelper::getLocaleAlias(const QString& locale)
{
    QString text = locale.trimmed();
    if (text.isEmpty())
        return QStringList();
    text.replace(QLatin1Char('-'), QLatin1Char('_'));
    const QStringList parts = text.split(QLatin1Char('_'));
    const QString language = parts.first().toLower();
    // "en_" (or the "C_" of the C locale) names no country.
    if (parts.size() < 2 || parts.last().isEmpty())
        return QStringList() << language;
    const QString country = parts.last().toUpper();
    const QString normalized = QStringLiteral("%1_%2").arg(language, country);

    if (language == QLatin1String("en")) {
        if (country == QLatin1String("US"))
            return { QStringLiteral("en"), QStringLiteral("en_US") };
        if (country == QLatin1String("AU") || country == QLatin1String("GB"))
            return { QStringLiteral("en"), QStringLiteral("en_GB"), QStringLiteral("en_AU") };
        if (country == QLatin1String("HK") || country == QLatin1String("SG") || country == QLatin1String("IE")
            || country == QLatin1String("NZ"))
            return { QStringLiteral("en"), QStringLiteral("en_GB"), normalized };
        if (country == QLatin1String("PH") || country == QLatin1String("CA"))
            return { QStringLiteral("en"), normalized };
        return { QStringLiteral("en"), normalized };
    }
    if (language == QLatin1String("zh")) {
        if (country == QLatin1String("CN") || country == QLatin1String("HANS") || country == QLatin1String("CHS"))
            return { QStringLiteral("zh"), QStringLiteral("zh_CN") };
        if (country == QLatin1String("TW") || country == QLatin1String("HANT") || country == QLatin1String("CHT"))
            return { QStringLiteral("zh"), QStringLiteral("zh_TW") };
        if (country == QLatin1String("HK") || country == QLatin1String("MO"))
            return { QStringLiteral("zh"), QStringLiteral("zh_TW"), normalized };
        if (country == QLatin1String("SG"))
            return { QStringLiteral("zh"), QStringLiteral("zh_CN"), QStringLiteral("zh_SG") };
        return { QStringLiteral("zh"), normalized };
    }
    return { language, normalized };
}

} // namespace Common
} // namespace Tavrix
} // namespace Orvane
