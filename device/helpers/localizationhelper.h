#ifndef LOCALIZATIONHELPER_H
#define LOCALIZATIONHELPER_H

#include "device_global.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Common {

// Loads the ".strings" translation tables of one locale and answers lookups.
class DEVICE_EXPORT LocalizationHelper : public QObject
{
    Q_OBJECT
public:
    LocalizationHelper(const QString& directory, const QString& locale, QObject* parent = nullptr);
    ~LocalizationHelper() override;

    static LocalizationHelper* appTranslator();

    QString localizedString(const QString& table, const QString& key, const QString& defaultValue) const;
    QString localizedString(const QString& key) const;

    static QString applicationString(const QString& key);
    static QString deviceString(const QString& key);
    static QString runtimeString(const QString& key);
    static QString guiString(const QString& key);

    QMap<QString, QString> localizedStringsFromTable(const QString& table) const;
    QStringList tables() const;
    QStringList locales() const;
    QString currentLocale() const;
    QString localizationPath() const;
    QString localizedFilePath(const QString& name) const;

    static QStringList getLocaleAlias(const QString& locale);

    // Parses one ".strings" file; false (with the reason logged) when the file is malformed.
    static bool parseStringsFile(const QString& filePath, QMap<QString, QString>* table);

private:
    void chooseLocale(const QString& locale);
    void findLocaleFolder(const QString& directory);
    void loadTables();

    QString m_currentLocale;
    QString m_localizationPath;
    QMap<QString, QMap<QString, QString>> m_tables;
};

// One lookup helper per table, as tr() is for Qt: the English text is the key,
// given as a literal so that scripts/update-strings finds it. Placeholders are
// filled in after the lookup, with the multi-argument .arg(a, b) where names
// may hold a "%".
DEVICE_EXPORT QString deviceText(const char* key);      // "Device": the common library
DEVICE_EXPORT QString runtimeText(const char* key);     // "Runtime": the device link
DEVICE_EXPORT QString guiText(const char* key);         // "Gui": windows, dialogs and dovrelctl
DEVICE_EXPORT QString localizableText(const char* key); // "Localizable": start-up

} // namespace Common
} // namespace Tavrix
} // namespace Orvane

// A key kept in a table of the code (looked up later with a variable): marks it
// for scripts/update-strings: QT_TRANSLATE_NOOP with the table name and the key.
#include <QtGlobal>

#endif // LOCALIZATIONHELPER_H
