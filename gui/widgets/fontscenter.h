#ifndef FONTSCENTER_H
#define FONTSCENTER_H

#include "gui_global.h"

#include <QFont>
#include <QFontDatabase>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

namespace Orvane {
namespace Tavrix {
namespace Designer {

// The application's own fonts: the built-in files, the "Fonts" folder beside the
// executable and the user font folder, all registered with the font database.
class GUI_EXPORT FontsCenter : public QObject
{
    Q_OBJECT
public:
    // Results of addFontFromPath().
    enum AddFontResult {
        FontAdded = 0,
        FontDoesNotExist,
        FontNotValid,
        FontBuiltIn,
        FontAlreadyAdded,
        FontAlreadyAddedRename,
        FontCannotBeCopied,
        FontCannotBeAdded
    };
    Q_ENUM(AddFontResult)

    static FontsCenter* instance();
    ~FontsCenter() override;

    QStringList fonts() const;
    QStringList applicationFonts() const;
    QStringList userFonts() const;
    QStringList fontPath(const QString& family) const;
    QString familyOfFile(const QString& path) const;

    bool isBuiltInFont(const QString& family) const;
    bool isUserFont(const QString& family) const;

    static QString defaultFamily();
    static QString fallbackFamily();
    static QStringList builtInFontResources();
    static QString applicationFontDirectory();
    static QString userFontDirectory();

    // The information pane text: supported languages and the family's files.
    QString fontInformationHtml(const QString& family) const;

    static QStringList getLanguagesForFont(const QFont& font);
    static QString writingSystemName(QFontDatabase::WritingSystem system);

    int addFontFromPath(const QString& path);

    // Before a restart: unloads every application font and deletes those of the given
    // files that lie in the user font folder (nothing else is ever deleted). Returns the
    // files that were not deleted. The centre's records are stale afterwards.
    static QStringList removeFontFiles(const QStringList& files);

signals:
    void fontAdded(const QStringList& families);

private:
    explicit FontsCenter(QObject* parent = nullptr);

    enum Source { BuiltIn, ApplicationFolder, UserFolder };

    void registerBuiltInFonts();
    void scanFolder(const QString& directory, Source source);
    void recordFile(const QString& path, const QString& family, const QString& digest, int id, Source source);
    QStringList knownFamilies() const;

    QStringList m_builtInFamilies;
    QStringList m_applicationFolderFamilies;
    QStringList m_userFamilies;
    QMap<QString, QStringList> m_familyFiles;
    QMap<QString, QString> m_fileFamily;
    QHash<QString, Source> m_digests;
    QHash<QString, int> m_fileIds;
};

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane

#endif // FONTSCENTER_H
